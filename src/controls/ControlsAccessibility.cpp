#include "controls/ControlsAccessibility.h"

#include "controls/LevelMeter.h"
#include "controls/LevelMeterAccessible.h"
#include "controls/MenuXP.h"
#include "controls/MenuXPAccessible.h"
#include "controls/SkinButton.h"
#include "controls/SkinButtonAccessible.h"

#include <QAccessible>

namespace
{
QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String(CSkinButton::staticMetaObject.className())) {
        return new CSkinButtonAccessible(static_cast<CSkinButton*>(object));
    }
    if (className == QLatin1String(CMenuXP::staticMetaObject.className())) {
        return new CMenuXPAccessible(static_cast<CMenuXP*>(object));
    }
    if (className == QLatin1String(CLevelMeter::staticMetaObject.className())) {
        return new CLevelMeterAccessible(static_cast<CLevelMeter*>(object));
    }
    return nullptr;
}
} // namespace

namespace ControlsAccessibility
{
void EnsureInstalled()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}
} // namespace ControlsAccessibility
