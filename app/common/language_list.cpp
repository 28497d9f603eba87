#include "app/common/language_list.h"

#include <QDir>
#include <QFileInfo>
#include <array>

#include "app/common/language_choice.h"
#include "app/common/message_boxes.h"
#include "app/common/path_utils.h"
#include "app/common/text_utils.h"

namespace vexo {

TLResList LResList;

namespace {

constexpr std::array<const char*, kCommonWordCount> kCommonKeys = {
    "cNA",        "cYes",       "cNo",          "cAnd",         "cOr",         "cTrue",
    "cFalse",     "cEna",       "cDis",         "cOn",          "cOff",        "cEmpty",
    "cFile",      "cField",     "cColumn",      "cCustom",      "cData",       "cImport",
    "cExport",    "cNew",       "cCopyOf",      "cProceed",     "cOKContinue", "cRemove",
    "cName",      "cAddress",   "cDefault",     "cText",        "cImage",      "cBarCode",
    "cFont",      "cSize",      "cBold",        "cItalic",      "cUnderline",  "cStrikeout",
    "cLeft",      "cTop",       "cRight",       "cBottom",      "cWidth",      "cHeight",
    "cShort",     "cLong",      "cColor",       "cClrMore",     "cNoShow",     "cNoAsk",
    "cPressProc", "cPressCont", "cAddAttach",   "cNoItems",     "cSelOneMsg",  "cSelMsg",
    "cAskSave",   "cPrinting",  "cPrintingRec", "cCard",        "cLayout",     "cJob",
    "cUntitled",  "cUnnamed",   "cUnknown",     "cNotAssigned", "cNone",       "cMyDocuments",
    "cType",      "cCreated",   "cModified",    "cCreatedOn",   "cModifiedOn", "cMode",
    "cError"};

}  // namespace

QString CommonWordKey(int index) {
  if (index < 0 || index >= kCommonWordCount) return {};
  return QString::fromLatin1(kCommonKeys[index]);
}

QString TextKey(int number) {
  return QStringLiteral("IDS_%1").arg(number, 4, 10, QLatin1Char('0'));
}

QString NormaliseLanguageName(const QString& name) {
  QString out;
  for (QChar c : name)
    out += (c.unicode() >= 'A' && c.unicode() <= 'Z') ? QChar(c.unicode() + 32) : c;
  if (out.isEmpty()) return QStringLiteral("English");
  out[0] = out[0].toUpper();
  return out;
}

void TLResList::Load(const QString& programDir) {
  const QString folder = LanguageFolder(programDir);
  LangName = ReadLanguageChoice(folder);
  QString fileName = JoinPath(folder, LangName + QStringLiteral(".lrf"));
  // File names here tell capitals apart, the selection does not.
  if (!QFileInfo(fileName).isFile()) {
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.lrf")}, QDir::Files);
    for (const QString& name : files)
      if (name.compare(LangName + QStringLiteral(".lrf"), Qt::CaseInsensitive) == 0)
        fileName = JoinPath(folder, name);
  }
  LoadFile(fileName);
}

void TLResList::LoadFile(const QString& fileName) {
  FileName = fileName;
  FIniFile.reset();
  if (!QFileInfo(fileName).isFile()) return;
  auto file = std::make_unique<TLanguageFile>();
  if (file->LoadFromFile(fileName)) FIniFile = std::move(file);
}

void TLResList::Clear() {
  FIniFile.reset();
  FileName.clear();
  LangName.clear();
}

QString TLResList::MissingFileText() const {
  return QStringLiteral("Language file ") + FileName +
         QStringLiteral(" was not found.\r\nThe program must be reinstalled.");
}

bool TLResList::CheckLoaded() const {
  if (IsLoaded()) return true;
  ShowError(MissingFileText());
  return false;
}

QString TLResList::GetValue(const QString& section, const QString& key, const QString& def) const {
  if (!FIniFile) return def;
  const std::optional<QString> value = FIniFile->Find(section, key);
  if (!value) {
    ShowInfo(FormatText(
        QStringLiteral("Value of \"%s\" in section \"%s\" of language file was not found"),
        {key, section}));
    return QStringLiteral("NOT FOUND");
  }
  return value->isEmpty() ? def : *value;
}

QString TLResList::ReadValue(const QString& section, const QString& key, const QString& def) const {
  if (!FIniFile) return def;
  return FIniFile->Find(section, key).value_or(def);
}

QString TLResList::GetText(const QString& section, int number) const {
  return GetValue(section, TextKey(number), QString());
}

QString TLResList::GetTextRange(const QString& section, int first, int count,
                                const QString& sep) const {
  QString result;
  if (!FIniFile) return result;
  for (int i = 0; i < count; ++i) AppendSep(result, GetText(section, first + i), sep);
  return result;
}

QString TLResList::GetCommon(int index) const {
  return ReadValue(QStringLiteral("A_Common"), CommonWordKey(index), QString());
}

}  // namespace vexo
