#include "controls/SpinValue.h"

#include <QByteArray>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace
{
// The application takes its number format from the user's environment, where the decimal
// separator may be a comma; the field always uses a point.
class CNumberLocale
{
public:
    CNumberLocale()
        : m_locale(::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr)))
    {}
    ~CNumberLocale()
    {
        if (m_locale)
            ::freelocale(m_locale);
    }
    CNumberLocale(const CNumberLocale&) = delete;
    CNumberLocale& operator=(const CNumberLocale&) = delete;

    locale_t Get() const { return m_locale; }

private:
    locale_t m_locale;
};

double ParseInCLocale(const QByteArray& number)
{
    static const CNumberLocale locale;
    if (!locale.Get())
        return std::atof(number.constData());
    return ::strtod_l(number.constData(), nullptr, locale.Get());
}

bool IsDigit(QChar character)
{
    return character >= QLatin1Char('0') && character <= QLatin1Char('9');
}

bool IsSign(QChar character)
{
    return character == QLatin1Char('+') || character == QLatin1Char('-');
}

qsizetype SkipDigits(QStringView text, qsizetype at)
{
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at;
}
} // namespace

void CSpinValue::SetRange(double minimum, double maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void CSpinValue::SetFormat(int width, int decimals)
{
    m_width = std::clamp(width, 0, kMaxWidth);
    m_decimals = std::clamp(decimals, 0, kMaxDecimals);
}

void CSpinValue::SetValue(double value)
{
    m_value = Clamped(value);
}

void CSpinValue::StepUp(int count)
{
    const double next = m_value + count * m_step;
    if (next >= m_maximum)
        m_value = m_maximum;
    else if (!std::isnan(next))
        m_value = next;
}

void CSpinValue::StepDown(int count)
{
    const double next = m_value - count * m_step;
    if (next <= m_minimum)
        m_value = m_minimum;
    else if (!std::isnan(next))
        m_value = next;
}

void CSpinValue::SetFromText(QStringView text)
{
    m_value = Clamped(ParseLeadingNumber(text));
}

double CSpinValue::ResetValue() const
{
    return m_minimum > 0.0 ? m_minimum : 0.0;
}

QString CSpinValue::FormatNumber(double value, int width, int decimals)
{
    // A left-aligned field of `width` characters pads on the right only, and the blanks are
    // trimmed again, so the width never shows; the decimals are what the user sees.
    Q_UNUSED(width);
    return QString::number(value, 'f', std::clamp(decimals, 0, kMaxDecimals)).trimmed();
}

double CSpinValue::ParseLeadingNumber(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    const qsizetype start = at;
    if (at < text.size() && IsSign(text[at]))
        ++at;
    const qsizetype integerEnd = SkipDigits(text, at);
    qsizetype digitCount = integerEnd - at;
    at = integerEnd;
    if (at < text.size() && text[at] == QLatin1Char('.')) {
        const qsizetype fractionEnd = SkipDigits(text, at + 1);
        digitCount += fractionEnd - (at + 1);
        at = fractionEnd;
    }
    if (digitCount == 0)
        return 0.0;
    // An exponent counts only when digits follow its letter (and optional sign).
    if (at < text.size() && (text[at] == QLatin1Char('e') || text[at] == QLatin1Char('E'))) {
        qsizetype exponent = at + 1;
        if (exponent < text.size() && IsSign(text[exponent]))
            ++exponent;
        const qsizetype exponentEnd = SkipDigits(text, exponent);
        if (exponentEnd > exponent)
            at = exponentEnd;
    }
    return ParseInCLocale(text.mid(start, at - start).toLatin1());
}

bool CSpinValue::AcceptsCharacter(QChar character, QStringView text, qsizetype selectionStart, qsizetype selectionEnd)
{
    if (IsDigit(character))
        return true;
    if (character == QLatin1Char('.'))
        return !text.contains(QLatin1Char('.'));
    if (character == QLatin1Char('-'))
        return selectionStart == 0 && (selectionEnd == 0 || selectionEnd == text.size());
    return false;
}

double CSpinValue::Clamped(double value) const
{
    // A value that is no number at all (from a division by zero in a caller) has no place in
    // the range; the field falls back to zero, moved into the range.
    if (std::isnan(value))
        value = 0.0;
    if (value > m_maximum)
        return m_maximum;
    if (value < m_minimum)
        return m_minimum;
    return value;
}
