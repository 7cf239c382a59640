#pragma once

#include <QByteArray>
#include <optional>

// The texts of a WAV file's LIST/INFO chunk, where recording and editing programs keep a title,
// an artist and the like. Bytes as stored, without their terminating zero and without any
// code-page conversion.
struct WaveInfoList
{
    QByteArray title;   // INAM
    QByteArray artist;  // IART
    QByteArray album;   // IPRD
    QByteArray comment; // ICMT
    QByteArray date;    // ICRD
    QByteArray genre;   // IGNR
    QByteArray track;   // ITRK, else IPRT

    bool IsEmpty() const;
    // Parses the body of a LIST chunk (its list type first); nothing for a list of another type.
    // A damaged entry ends the list; the entries before it stay.
    static std::optional<WaveInfoList> Parse(const QByteArray& listBody);
};
