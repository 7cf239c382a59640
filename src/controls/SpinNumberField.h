#pragma once

#include "controls/SpinValue.h"

#include <QLineEdit>

// The text part of a spin edit. It keeps the number, takes only what can make a number, steps
// it with Up/Down and with a vertical mouse drag, and reports the user's changes to its spin
// edit by `notification` (change begins, value changed, change ended).
class CSpinNumberField : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kControlId = 1;

    // Which ends of a change are reported as "change ended".
    static constexpr int kEndOnFocusLoss = 0x1;
    static constexpr int kEndOnKeyOrButtonRelease = 0x2;
    static constexpr int kEndOnDragEnd = 0x4;
    static constexpr int kInitialOptionFlags = kEndOnFocusLoss | kEndOnKeyOrButtonRelease | kEndOnDragEnd;

    // How far the pointer must move during a drag to step once.
    static constexpr int kDragStepPixels = 2;

    explicit CSpinNumberField(QWidget* parent);

    const CSpinValue& Number() const { return m_number; }
    double Value() const { return m_number.Value(); }

    void SetRange(double minimum, double maximum);
    void SetFormat(int width, int decimals);
    void SetStep(double step) { m_number.SetStep(step); }
    // Shows the value (moved into the range) without reporting it as changed.
    void SetValue(double value);
    void StepUp(int count);
    void StepDown(int count);

    int OptionFlags() const { return m_optionFlags; }
    void SetOptionFlags(int flags) { m_optionFlags = flags; }

signals:
    // One of AppEventType::kEditChangeBegin, kEditValueChanged, kEditChangeEnd.
    void notification(int code);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Replaces the text; the change is handled as any other text change.
    void ShowText(const QString& text);
    void OnTextChanged();
    // Reads the text, moves it into the range and shows it in the fixed format.
    void RewriteText();
    void Reset();
    bool FiltersOut(const QString& typed);
    void EndDrag();
    void DragTo(int y);

    CSpinValue m_number;
    int m_optionFlags = kInitialOptionFlags;
    // The text put in at creation must not look like the user's change.
    bool m_silentNextChange = true;
    bool m_setByProgram = false;
    bool m_keyStepping = false;
    bool m_settingText = false;

    bool m_buttonHeld = false;
    bool m_dragging = false;
    int m_dragReferenceY = 0;
};
