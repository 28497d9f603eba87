#pragma once
// One typed setting with its ini key, default and last section.
#include <QString>
#include <cstdint>
#include <functional>

namespace vexo {

class TSIniFile;

class TIniPar {
 public:
  enum TKind : uint8_t { ipInteger = 0, ipBoolean = 1, ipFloat = 2, ipText = 3 };

  // A default of an integer setting that is no number is reported once in an
  // error box and gives 0.
  TIniPar(TKind kind, const QString& defaultText, const QString& key);

  TKind Kind() const { return FKind; }
  const QString& DefaultText() const { return FDefaultText; }

  // Accessing a value of another kind is a programming error and stops the
  // program with the line that caught it.
  int GetInt() const;
  void SetInt(int value);
  bool GetBool() const;
  void SetBool(bool value);
  double GetFloat() const;
  void SetFloat(double value);
  QString GetText() const;
  void SetText(const QString& value);

  void SetDefault(const QString& text);
  void Reset();
  // Reads or writes the value in section of ini under key (each replaces the
  // one kept when not empty). Without ini the setting returns to its default.
  void ReadWrite(bool write, TSIniFile* ini, const QString& key = {}, const QString& section = {});
  // Every field but Modified and OnChange.
  void CopyFrom(const TIniPar& other);

  // Called after a setter or CopyFrom gave the setting another value
  // (reading the settings file and Reset stay silent).
  std::function<void()> OnChange;

  QString Section;  // section last used; empty until read or written
  QString Key;
  int MinValue = 0;  // clamping range of an integer; none when equal
  int MaxValue = 0;
  bool Modified = false;
  bool MultiLine = false;

 private:
  void CheckKind(TKind kind, int line) const;
  bool SameValue(const TIniPar& other) const;
  void Changed();

  TKind FKind;
  int FIntValue = 0;
  bool FBoolValue = false;
  double FFloatValue = 0;
  QString FTextValue;
  QString FDefaultText;
};

}  // namespace vexo
