#include "controls/ListRowOrder.h"

#include <QByteArray>
#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
constexpr long long kSecondsPerMinute = 60;
constexpr int kDecimalBase = 10;

template <typename T>
int ThreeWay(T a, T b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Unsigned bytes, a shorter text before a longer one that starts with it.
int CompareBytes(const QByteArray& a, const QByteArray& b)
{
    const auto common = static_cast<std::size_t>(std::min(a.size(), b.size()));
    const int prefix = std::memcmp(a.constData(), b.constData(), common);
    if (prefix != 0) {
        return prefix < 0 ? -1 : 1;
    }
    return ThreeWay(a.size(), b.size());
}
} // namespace

namespace ListRowOrder
{
long long LeadingInteger(const QByteArray& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * kDecimalBase + (text[i] - '0'), INT_MAX);
    }
    return negative ? -value : value;
}

long long TimeSeconds(const QByteArray& text)
{
    const long long minutes = LeadingInteger(text);
    const qsizetype colon = text.indexOf(':');
    const long long seconds = colon < 0 ? 0 : LeadingInteger(text.mid(colon + 1));
    return minutes * kSecondsPerMinute + seconds;
}

int CompareTexts(int column, const QString& a, const QString& b)
{
    const QByteArray bytesA = a.toUtf8();
    const QByteArray bytesB = b.toUtf8();
    switch (column) {
    case kSizeColumn:
        return ThreeWay(LeadingInteger(bytesA), LeadingInteger(bytesB));
    case kTimeColumn:
        return ThreeWay(TimeSeconds(bytesA), TimeSeconds(bytesB));
    default:
        return CompareBytes(bytesA, bytesB);
    }
}
} // namespace ListRowOrder
