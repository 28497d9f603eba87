#pragma once
// What a screen reader learns of the position bar: a slider named from the
// language file whose value is the position in milliseconds, from 0 to the
// timeline's length; setting the value moves the bar as a click there does.
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace vexo {

class TCTrackBar;

class TTrackBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TTrackBarAccessible(TCTrackBar* bar);

  QString text(QAccessible::Text t) const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  QVariant currentValue() const override;
  void setCurrentValue(const QVariant& value) override;
  QVariant maximumValue() const override;
  QVariant minimumValue() const override;
  QVariant minimumStepSize() const override;

  // Makes Qt answer every position bar with this interface; once is enough.
  static void Register();

 private:
  TCTrackBar* Bar() const;
};

}  // namespace vexo
