// The desktop entry offers the player for every media type it knows: each
// extension of the options store, and playlists, maps through the system's
// MIME database to a type the entry lists.
#include <gtest/gtest.h>

#include <QFile>
#include <QMimeDatabase>
#include <QStringList>
#include <algorithm>

#include "app/common/media_extensions.h"

namespace vexo {
namespace {

QStringList ListedMimeTypes() {
  QFile entry(VEXO_SOURCE_DIR "/resources/vexoplayer.desktop");
  if (!entry.open(QIODevice::ReadOnly)) return {};
  for (const QByteArray& line : entry.readAll().split('\n'))
    if (line.startsWith("MimeType="))
      return QString::fromUtf8(line.mid(9)).split(u';', Qt::SkipEmptyParts);
  return {};
}

// The types the database gives a file name with this extension, with their aliases.
QStringList TypesOf(const QString& ext) {
  QStringList names;
  for (const QMimeType& type : QMimeDatabase().mimeTypesForFileName("clip" + ext)) {
    names << type.name();
    names << type.aliases();
  }
  return names;
}

TEST(DesktopEntry, ListsATypeForEveryMediaExtensionAndForPlaylists) {
  const QStringList listed = ListedMimeTypes();
  ASSERT_FALSE(listed.isEmpty());
  QStringList extensions{".asx"};
  for (const QString& ext : MediaExtensions())
    if (!ext.isEmpty()) extensions << ext;
  for (const QString& ext : extensions) {
    const QStringList types = TypesOf(ext);
    // An extension the database has no type for cannot be offered by type.
    if (types.isEmpty()) continue;
    const bool offered = std::any_of(types.begin(), types.end(),
                                     [&](const QString& t) { return listed.contains(t); });
    EXPECT_TRUE(offered) << ext.toStdString() << " is " << types.join(", ").toStdString();
  }
}

TEST(DesktopEntry, PlaylistsAreOfferedAsTheAsfTypeTheyAreKnownBy) {
  EXPECT_TRUE(ListedMimeTypes().contains("video/x-ms-asf"));
}

}  // namespace
}  // namespace vexo
