#include "app/common/ini_par.h"

#include <QtGlobal>

#include "app/common/ini_file.h"
#include "app/common/message_boxes.h"

namespace vexo {

TIniPar::TIniPar(TKind kind, const QString& defaultText, const QString& key)
    : Key(key), FKind(kind) {
  SetDefault(defaultText);
}

void TIniPar::CheckKind(TKind kind, int line) const {
  if (FKind != kind)
    qFatal("Assertion failure in ini_par.cpp, line %d: setting \"%s\" is of kind %d, not %d", line,
           qPrintable(Key), int(FKind), int(kind));
}

int TIniPar::GetInt() const {
  CheckKind(ipInteger, __LINE__);
  return FIntValue;
}

void TIniPar::SetInt(int value) {
  CheckKind(ipInteger, __LINE__);
  if (value == FIntValue) return;
  Modified = true;
  FIntValue = value;
  Changed();
}

bool TIniPar::GetBool() const {
  CheckKind(ipBoolean, __LINE__);
  return FBoolValue;
}

void TIniPar::SetBool(bool value) {
  CheckKind(ipBoolean, __LINE__);
  if (value == FBoolValue) return;
  Modified = true;
  FBoolValue = value;
  Changed();
}

double TIniPar::GetFloat() const {
  CheckKind(ipFloat, __LINE__);
  return FFloatValue;
}

void TIniPar::SetFloat(double value) {
  CheckKind(ipFloat, __LINE__);
  if (value == FFloatValue) return;
  Modified = true;
  FFloatValue = value;
  Changed();
}

QString TIniPar::GetText() const {
  CheckKind(ipText, __LINE__);
  return FTextValue;
}

void TIniPar::SetText(const QString& value) {
  CheckKind(ipText, __LINE__);
  if (value == FTextValue) return;
  Modified = true;
  FTextValue = value;
  Changed();
}

void TIniPar::SetDefault(const QString& text) {
  FDefaultText = text;
  Reset();
}

void TIniPar::Reset() {
  FIntValue = 0;
  FBoolValue = false;
  FFloatValue = 0;
  FTextValue.clear();
  if (!FDefaultText.isEmpty()) {
    switch (FKind) {
      case ipInteger: {
        bool ok = false;
        const int value = FDefaultText.trimmed().toInt(&ok);
        if (!ok) {
          ShowError(QStringLiteral("\"%1\" is not a valid integer value").arg(FDefaultText));
          FDefaultText.clear();
        } else {
          FIntValue = value;
        }
        break;
      }
      case ipBoolean:
        FBoolValue = FDefaultText != u"0";
        break;
      case ipFloat:
        FFloatValue = TolerantStrToFloat(FDefaultText, 0);
        break;
      case ipText:
        FTextValue = MultiLine ? DecodeMultiLine(FDefaultText) : FDefaultText;
        break;
    }
  }
  Section.clear();
  Modified = false;
}

void TIniPar::ReadWrite(bool write, TSIniFile* ini, const QString& key, const QString& section) {
  if (!ini) {
    Reset();
    return;
  }
  if (!section.isEmpty()) {
    if (!write && !Section.isEmpty() && Section != section) Reset();
    Section = section;
  }
  if (!Section.isEmpty()) {
    if (!key.isEmpty()) Key = key;
    if (!Key.isEmpty()) {
      switch (FKind) {
        case ipInteger:
          if (write) {
            ini->WriteInteger(Section, Key, FIntValue);
          } else {
            bool ok = true;
            const int value = ini->ReadInteger(Section, Key, FIntValue, &ok);
            if (ok) {
              FIntValue = value;
            } else {
              const QString kept = Section;
              Reset();
              Section = kept;
            }
            if (MinValue != MaxValue) FIntValue = qBound(MinValue, FIntValue, MaxValue);
          }
          break;
        case ipBoolean:
          if (write)
            ini->WriteBool(Section, Key, FBoolValue);
          else
            FBoolValue = ini->ReadBool(Section, Key, FBoolValue);
          break;
        case ipFloat:
          if (write)
            ini->WriteFloat(Section, Key, FFloatValue);
          else
            FFloatValue = ini->ReadFloat(Section, Key, FFloatValue);
          break;
        case ipText:
          if (write) {
            ini->WriteString(Section, Key, MultiLine ? EncodeMultiLine(FTextValue) : FTextValue);
          } else {
            const QString stored =
                ini->ReadString(Section, Key, MultiLine ? EncodeMultiLine(FTextValue) : FTextValue);
            FTextValue = MultiLine ? DecodeMultiLine(stored) : stored;
          }
          break;
      }
    }
  }
  Modified = false;
}

void TIniPar::CopyFrom(const TIniPar& other) {
  const bool modified = Modified;
  const bool changed = !SameValue(other);
  std::function<void()> onChange = std::move(OnChange);
  *this = other;
  Modified = modified;
  OnChange = std::move(onChange);
  if (changed) Changed();
}

bool TIniPar::SameValue(const TIniPar& other) const {
  return FKind == other.FKind && FIntValue == other.FIntValue && FBoolValue == other.FBoolValue &&
         FFloatValue == other.FFloatValue && FTextValue == other.FTextValue;
}

void TIniPar::Changed() {
  if (OnChange) OnChange();
}

}  // namespace vexo
