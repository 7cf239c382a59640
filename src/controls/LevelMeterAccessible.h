#pragma once

#include <QAccessibleWidget>

class CLevelMeter;

// The level meter for a screen reader: a progress bar whose value is the loudest channel's
// level in dB (from the floor to 0), with the per-channel levels and the clip lamp in its
// description.
class CLevelMeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit CLevelMeterAccessible(CLevelMeter* meter);

    void* interface_cast(QAccessible::InterfaceType type) override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    CLevelMeter* Meter() const;
};
