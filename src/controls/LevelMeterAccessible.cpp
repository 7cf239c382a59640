#include "controls/LevelMeterAccessible.h"

#include "controls/LevelMeter.h"

#include <algorithm>
#include <cmath>

CLevelMeterAccessible::CLevelMeterAccessible(CLevelMeter* meter)
    : QAccessibleWidget(meter, QAccessible::ProgressBar)
{}

CLevelMeter* CLevelMeterAccessible::Meter() const
{
    return static_cast<CLevelMeter*>(widget());
}

void* CLevelMeterAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface) {
        return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QVariant CLevelMeterAccessible::currentValue() const
{
    double loudest = CLevelMeter::kFloorDb;
    for (int channel = 0; channel < Meter()->Channels(); ++channel) {
        loudest = std::max(loudest, Meter()->LevelDb(channel));
    }
    return int(std::lround(loudest));
}

QVariant CLevelMeterAccessible::maximumValue() const
{
    return 0;
}

QVariant CLevelMeterAccessible::minimumValue() const
{
    return int(CLevelMeter::kFloorDb);
}

QVariant CLevelMeterAccessible::minimumStepSize() const
{
    return 1;
}
