#include "app/browser/shell_texts.h"

#include <QLocale>
#include <QMimeDatabase>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"

namespace vexo {

QString SizeText(const TShellNode& node) {
  if (node.IsFolder()) return {};
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  if (node.Size < 1024) return FormatText(LResList.GetText("ShellGrid", 5), {QStringLiteral("1")});
  if (node.Size < 1048576)
    return FormatText(LResList.GetText("ShellGrid", 5),
                      {locale.toString(node.Size / 1024.0, 'f', 2)});
  return FormatText(LResList.GetText("ShellGrid", 6),
                    {locale.toString(node.Size / 1048576.0, 'f', 2)});
}

QString DateTimeText(const QDateTime& time) {
  if (!time.isValid()) return {};
  const QLocale locale;
  const QDateTime local = time.toLocalTime();
  return locale.toString(local.date(), QLocale::ShortFormat) + u' ' +
         locale.toString(local.time(), QStringLiteral("HH:mm:ss"));
}

QString TypeName(const TShellNode& node) {
  static const QMimeDatabase mimes;
  const QMimeType type = node.IsFolder()
                             ? mimes.mimeTypeForName(QStringLiteral("inode/directory"))
                             : mimes.mimeTypeForFile(node.Text, QMimeDatabase::MatchExtension);
  return type.comment().left(80);
}

}  // namespace vexo
