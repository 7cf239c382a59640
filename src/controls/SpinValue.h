#pragma once

#include <QString>
#include <QStringView>

// The number behind a spin edit: a value kept inside a range, stepped by a fixed amount and
// shown with a fixed number of decimals. Nothing here knows about widgets.
class CSpinValue
{
public:
    static constexpr double kInitialMinimum = -1000.0;
    static constexpr double kInitialMaximum = 1000.0;
    static constexpr double kInitialStep = 1.0;
    static constexpr int kInitialWidth = 10;
    static constexpr int kInitialDecimals = 0;
    // Wider fields or more decimals only make the printed number longer, never more exact.
    static constexpr int kMaxWidth = 64;
    static constexpr int kMaxDecimals = 20;

    void SetRange(double minimum, double maximum);
    double Minimum() const { return m_minimum; }
    double Maximum() const { return m_maximum; }

    void SetFormat(int width, int decimals);
    int Width() const { return m_width; }
    int Decimals() const { return m_decimals; }

    void SetStep(double step) { m_step = step; }
    double Step() const { return m_step; }

    double Value() const { return m_value; }
    // The value, moved into the range when it lies outside.
    void SetValue(double value);
    // Stepping stops at the maximum (up) or the minimum (down).
    void StepUp(int count);
    void StepDown(int count);
    // The value becomes the number the text starts with, moved into the range; 0 when the text
    // does not start with a number.
    void SetFromText(QStringView text);
    // Where the reset key puts the field: the minimum when the range lies above zero, else 0.
    double ResetValue() const;

    // The value with the fixed number of decimals, no blanks around it.
    QString Text() const { return FormatNumber(m_value, m_width, m_decimals); }

    static QString FormatNumber(double value, int width, int decimals);
    // The longest decimal number at the start of the text (leading blanks, sign, digits,
    // decimal point, exponent), read the same in every locale; 0 when there is none.
    static double ParseLeadingNumber(QStringView text);
    // Whether a typed character may go into the text: digits always, a decimal point once, a
    // minus sign only at the very start (caret there, or the whole text selected). The
    // selection runs from selectionStart to selectionEnd; both are the caret when none.
    static bool AcceptsCharacter(QChar character, QStringView text, qsizetype selectionStart, qsizetype selectionEnd);

private:
    double Clamped(double value) const;

    double m_value = 0.0;
    double m_minimum = kInitialMinimum;
    double m_maximum = kInitialMaximum;
    double m_step = kInitialStep;
    int m_width = kInitialWidth;
    int m_decimals = kInitialDecimals;
};
