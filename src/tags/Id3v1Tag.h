#pragma once

#include <QByteArray>
#include <QString>

// The 128-byte ID3v1 (and v1.1) tag at the end of an MP3 file. A caller builds one, loads a
// file, copies out what it needs (or fills the fields and writes) and lets it go. Text fields are
// byte strings exactly as stored: no code-page conversion and no trimming.
class CId3v1Tag
{
public:
    static constexpr int kTagSize = 128;
    static constexpr int kNoGenre = 255;

    // An empty name leaves the object reset; any other name is loaded with its exact duration.
    explicit CId3v1Tag(const QString& fileName = QString());
    virtual ~CId3v1Tag();

    void Reset();
    // True when the file could be opened, whether or not it carries a tag.
    bool LoadTag(const QString& fileName, bool exactDuration);
    // Writes the fields as the file's tag, or removes its tag. An empty name means the file last
    // loaded. Only the tag's own 128 bytes at the end of the file are ever written or cut.
    bool WriteTag(const QString& fileName, bool remove);

    QString FileName() const { return m_fileName; }
    QByteArray GetTitle() const { return m_title; }
    QByteArray GetArtist() const { return m_artist; }
    QByteArray GetAlbum() const { return m_album; }
    QByteArray GetComment() const { return m_comment; }
    QByteArray GetYear() const { return m_year; }
    int Track() const { return m_track; }
    int Genre() const { return m_genre; }
    // Whole seconds; 0 unless the last load asked for the exact duration.
    int Duration() const { return m_duration; }

    void SetTitle(const QByteArray& title) { m_title = title; }
    void SetArtist(const QByteArray& artist) { m_artist = artist; }
    void SetAlbum(const QByteArray& album) { m_album = album; }
    void SetComment(const QByteArray& comment) { m_comment = comment; }
    void SetYear(const QByteArray& year) { m_year = year; }
    void SetTrack(int track) { m_track = track; }
    void SetGenre(int genre) { m_genre = genre; }

    // What WriteTag does to a file, done to a whole file's bytes held in memory.
    void WriteTagInto(QByteArray& fileBytes, bool remove) const;
    // Where a file of these bytes keeps its tag: 128 bytes before the end, or the end when none.
    static qsizetype TagPosition(const QByteArray& fileBytes);

    // The 128 tag bytes these fields are written as.
    QByteArray Encode() const;
    // Fills the tag fields from 128 tag bytes; false (fields untouched) when they are no tag.
    bool Decode(const QByteArray& tagBytes);

private:
    QString m_fileName;
    QByteArray m_artist;
    QByteArray m_title;
    QByteArray m_album;
    QByteArray m_comment;
    QByteArray m_year;
    int m_track = 0;
    int m_genre = kNoGenre;
    int m_duration = 0;
};

// A playing time as minutes and seconds, "%d:%02d" (75 -> "1:15", 3600 -> "60:00").
QString FormatMinSec(int seconds);
