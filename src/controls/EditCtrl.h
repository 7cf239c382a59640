#pragma once

#include "controls/SpinNumberField.h"

#include <QTimer>
#include <QWidget>

class CSpinArrowButton;

// The numeric spin edit dialogs create by the class name "EditCtrl": a number field with a
// fixed number of decimals, kept inside a range, and stepped with two arrow buttons, the Up and
// Down keys or a vertical mouse drag. Its parent (the owner) receives the user's changes as
// CAppEvents of types AppEventType::kEditChangeBegin, kEditValueChanged and kEditChangeEnd,
// with the control's id as wParam and the control itself as lParam. Values set by the program
// are never reported as changes.
class CEditCtrl : public QWidget
{
    Q_OBJECT

public:
    // Style bits.
    static constexpr int kStyleArrowButtons = 0x100;
    static constexpr int kStyleSunkenBorder = 0x400;
    static constexpr int kStyleFlatBorder = 0x800;
    // What every dialog of the program uses.
    static constexpr int kDialogStyle = kStyleSunkenBorder | kStyleArrowButtons;

    static constexpr int kUpButtonId = 2;
    static constexpr int kDownButtonId = 3;
    // Holding an arrow button steps at once, again after the first delay, then at the repeat
    // period until it is released.
    static constexpr int kFirstRepeatDelayMs = 500;
    static constexpr int kRepeatPeriodMs = 30;

    explicit CEditCtrl(QWidget* parent = nullptr, int style = kDialogStyle);

    // The factory of the "EditCtrl" widget class: a control in the dialogs' style.
    static QWidget* Create(QWidget* parent);

    // Minimum first: SetRange(0.1, 10.0) allows 0.1 to 10.0.
    void SetRange(double minimum, double maximum);
    double Minimum() const { return m_field->Number().Minimum(); }
    double Maximum() const { return m_field->Number().Maximum(); }
    void SetFormat(int width, int decimals);
    int FormatWidth() const { return m_field->Number().Width(); }
    int Decimals() const { return m_field->Number().Decimals(); }
    void SetStep(double step);
    double Step() const { return m_field->Number().Step(); }
    void SetValue(double value);
    double GetValue() const;
    void StepUp(int count = 1);
    void StepDown(int count = 1);
    // CSpinNumberField::kEndOn... bits.
    int GetOptionFlags() const;
    void SetOptionFlags(int flags);
    void FocusNumberField();

    // Dialog data exchange: save copies the value out (an integer truncated toward zero),
    // load shows the variable.
    void Exchange(float& variable, bool save);
    void Exchange(int& variable, bool save);

    int Style() const { return m_style; }
    CSpinNumberField* NumberField() const { return m_field; }
    // nullptr without the arrow-button style.
    CSpinArrowButton* UpButton() const { return m_upButton; }
    CSpinArrowButton* DownButton() const { return m_downButton; }

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QMargins BorderInset() const;
    void LayOut();
    void PassOn(int code);
    void OnArrowPressed(CSpinArrowButton* button, QTimer& timer);
    void OnArrowReleased(QTimer& timer);
    void OnRepeat(CSpinArrowButton* button, QTimer& timer);
    void StepWith(const CSpinArrowButton* button);

    int m_style;
    CSpinNumberField* m_field;
    CSpinArrowButton* m_upButton = nullptr;
    CSpinArrowButton* m_downButton = nullptr;
    QTimer m_upRepeat;
    QTimer m_downRepeat;
};
