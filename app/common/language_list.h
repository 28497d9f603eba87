#pragma once
// The user-visible texts of the selected language, named by section and key
// or by section and number.
#include <QString>
#include <memory>

#include "app/common/language_file.h"

namespace vexo {

// Common words of section "A_Common", in the order their numbers follow.
enum TCommonWord : int {
  cNA,
  cYes,
  cNo,
  cAnd,
  cOr,
  cTrue,
  cFalse,
  cEna,
  cDis,
  cOn,
  cOff,
  cEmpty,
  cFile,
  cField,
  cColumn,
  cCustom,
  cData,
  cImport,
  cExport,
  cNew,
  cCopyOf,
  cProceed,
  cOKContinue,
  cRemove,
  cName,
  cAddress,
  cDefault,
  cText,
  cImage,
  cBarCode,
  cFont,
  cSize,
  cBold,
  cItalic,
  cUnderline,
  cStrikeout,
  cLeft,
  cTop,
  cRight,
  cBottom,
  cWidth,
  cHeight,
  cShort,
  cLong,
  cColor,
  cClrMore,
  cNoShow,
  cNoAsk,
  cPressProc,
  cPressCont,
  cAddAttach,
  cNoItems,
  cSelOneMsg,
  cSelMsg,
  cAskSave,
  cPrinting,
  cPrintingRec,
  cCard,
  cLayout,
  cJob,
  cUntitled,
  cUnnamed,
  cUnknown,
  cNotAssigned,
  cNone,
  cMyDocuments,
  cType,
  cCreated,
  cModified,
  cCreatedOn,
  cModifiedOn,
  cMode,
  cError,
  kCommonWordCount
};

// Key name of a common word; empty outside the list.
QString CommonWordKey(int index);

// "IDS_" and the number, at least four digits.
QString TextKey(int number);

class TLResList {
 public:
  // Selects the language from language/language.ini beside the program
  // (English when there is none) and parses its .lrf file.
  void Load(const QString& programDir);
  // Parses one language file directly; a missing file leaves nothing loaded.
  void LoadFile(const QString& fileName);
  void Clear();

  bool IsLoaded() const { return FIniFile != nullptr; }
  // Tells the user that the language file is missing; false means the
  // program cannot go on.
  bool CheckLoaded() const;
  QString MissingFileText() const;

  // A key missing from a loaded file is shown in a box and gives "NOT FOUND";
  // an empty value gives def.
  QString GetValue(const QString& section, const QString& key, const QString& def) const;
  // The stored value, also when empty; def when absent. Never shows a box.
  QString ReadValue(const QString& section, const QString& key, const QString& def) const;
  QString GetText(const QString& section, int number) const;
  // The non-empty texts of count numbers from first, joined by sep.
  QString GetTextRange(const QString& section, int first, int count, const QString& sep) const;
  QString GetCommon(int index) const;

  QString FileName;  // the language file looked for
  QString LangName;

 private:
  std::unique_ptr<TLanguageFile> FIniFile;
};

// "gERMAN" gives "German", an empty name "English".
QString NormaliseLanguageName(const QString& name);

extern TLResList LResList;

}  // namespace vexo
