#pragma once

#include <QString>

// The fields Sorvane shows and edits of a file's tags, whichever kind of tag they come from or
// go to. Text is Unicode here; each kind of tag stores it in its own way.
struct TagFields
{
    QString title;
    QString artist;
    QString album;
    QString comment;
    QString year;
    // 0 = none.
    int track = 0;
    // A genre name as ID3v2 and APE tags keep it; empty = none. The ID3v1 tag stores the
    // number of the name in its genre table, or "no genre" for a name not in it.
    QString genre;

    bool operator==(const TagFields&) const = default;
    bool IsEmpty() const { return *this == TagFields(); }
};
