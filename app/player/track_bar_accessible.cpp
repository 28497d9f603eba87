#include "app/player/track_bar_accessible.h"

#include "app/common/language_list.h"
#include "app/player/track_bar.h"

namespace vexo {

namespace {

QAccessibleInterface* TrackBarFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("vexo::TCTrackBar"))
    if (auto* bar = qobject_cast<TCTrackBar*>(object)) return new TTrackBarAccessible(bar);
  return nullptr;
}

}  // namespace

TTrackBarAccessible::TTrackBarAccessible(TCTrackBar* bar)
    : QAccessibleWidget(bar, QAccessible::Slider) {}

TCTrackBar* TTrackBarAccessible::Bar() const {
  return static_cast<TCTrackBar*>(widget());
}

QString TTrackBarAccessible::text(QAccessible::Text t) const {
  QString own = QAccessibleWidget::text(t);
  if (own.isEmpty() && t == QAccessible::Name)
    own = LResList.ReadValue("Accessible", "Position", {});
  if (t == QAccessible::Value) own = QString::number(Bar()->Position());
  return own;
}

void* TTrackBarAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QVariant TTrackBarAccessible::currentValue() const {
  return Bar()->Position();
}

void TTrackBarAccessible::setCurrentValue(const QVariant& value) {
  if (Bar()->isEnabled()) Bar()->JumpTo(value.toInt());
}

QVariant TTrackBarAccessible::maximumValue() const {
  return Bar()->Max();
}

QVariant TTrackBarAccessible::minimumValue() const {
  return 0;
}

QVariant TTrackBarAccessible::minimumStepSize() const {
  return 1;
}

void TTrackBarAccessible::Register() {
  static const bool registered = [] {
    QAccessible::installFactory(TrackBarFactory);
    return true;
  }();
  (void)registered;
}

}  // namespace vexo
