#pragma once

#include <QList>
#include <QWidget>

// Sorvane's windows keep the fixed control ids their dialogs always had; each widget carries its
// id as a property so commands, dialog data and tests can find a control by number.
namespace ControlId
{
constexpr const char* kPropertyName = "sorvaneControlId";
constexpr int kNone = 0;

void Set(QWidget* widget, int id);
// kNone when the widget has no id.
int Of(const QWidget* widget);
// The first descendant of `root` with the id, or nullptr.
QWidget* Find(const QWidget* root, int id);

template <typename Widget>
Widget* Find(const QWidget* root, int id)
{
    return qobject_cast<Widget*>(Find(root, id));
}
} // namespace ControlId
