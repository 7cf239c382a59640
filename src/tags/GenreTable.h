#pragma once

#include <QString>

// The fixed ID3v1 genre names; a genre byte is an index into this table. Bytes past the end of
// the table (255 above all) mean "no genre". The odd spellings are the ones stored tags were
// written against and stay as they are.
namespace GenreTable
{
constexpr int kGenreCount = 148;
constexpr int kNoGenre = 255;

extern const char* const kGenreNames[kGenreCount];

// The name of a genre number, or nullptr when the number has no name.
const char* NameOf(int genre);
// The genre number whose name matches, ignoring case; -1 when no name matches.
int NumberOf(const QString& name);
} // namespace GenreTable
