#pragma once

#include <QString>

// How the list control orders two rows by one column's texts when a heading is clicked: sizes
// ("%dKB") and playing times ("m:ss") by their numbers, everything else byte by byte.
namespace ListRowOrder
{
constexpr int kSizeColumn = 1;
constexpr int kTimeColumn = 2;

// Negative when a sorts before b, zero when they tie, positive when b comes first (ascending).
int CompareTexts(int column, const QString& a, const QString& b);

// The decimal integer a text starts with, after optional blanks and sign; 0 when there is none.
// Values beyond the range of int stop growing at its limit.
long long LeadingInteger(const QByteArray& text);
// "m:ss" as seconds: the leading integer before the ':' times 60 plus the one after it. A text
// without ':' counts as whole minutes.
long long TimeSeconds(const QByteArray& text);
} // namespace ListRowOrder
