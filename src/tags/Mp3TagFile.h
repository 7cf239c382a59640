#pragma once

#include "tags/TagFields.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class CId3v1Tag;
struct WaveInfoList;

// The tags of an MP3 file as one set of fields: ID3v2 (2.3 and 2.4) and APE through TagLib, and
// the ID3v1 tag through our own codec, byte for byte by its rules. Reading takes the fields of
// the first tag that holds any, in the order players prefer them: ID3v2, APE, ID3v1. Writing
// puts the same fields into every tag: the ID3v2 tag is updated (or added when there is none),
// an APE tag is updated when there is one, the ID3v1 tag is rewritten; frames and items Sorvane
// does not edit (cover art, lyrics, replay gain and the like) stay as they are, and so does a
// field whose value is unchanged, in whatever form the tag keeps it ("5/12" as track 5).
class CMp3TagFile
{
public:
    struct Reading
    {
        TagFields fields;
        // 2, 3 or 4 for ID3v2.2, 2.3, 2.4; 0 when the file has no ID3v2 tag.
        int id3v2Version = 0;
        bool hasApe = false;
        bool hasId3v1 = false;
        // "ID3v2.3", "APE", "ID3v1": the tags found, in that order.
        QStringList FoundTags() const;
    };

    // Nothing when path is no regular file that can be read.
    static std::optional<Reading> Read(const QString& path);
    // The same for the bytes of a whole file held in memory.
    static Reading ReadBytes(const QByteArray& fileBytes);

    // Writes the fields into the tags of a user's file. The new file is complete beside the old
    // one before it takes its place (keeping owner, mode and hard links), so a failure half-way
    // - a full disk, a file gone meanwhile - leaves the old file whole. A file marked read-only
    // is left alone. False with a reason when nothing was written.
    static bool Write(const QString& path, const TagFields& fields, QString* problem = nullptr);
    // Removes the ID3v2, APE and ID3v1 tags, as safely as Write.
    static bool Remove(const QString& path, QString* problem = nullptr);
    // Tags a file a job is still building under a temporary name: written straight into it.
    static bool WriteInto(const QString& path, const TagFields& fields);

    // What Write and Remove do, done to the bytes of a whole file.
    static bool WriteBytes(QByteArray& fileBytes, const TagFields& fields);
    static bool RemoveFromBytes(QByteArray& fileBytes);

    // The fields a WAV's INFO list gives the MP3 made of it.
    static TagFields FieldsOf(const WaveInfoList& info);

    // The ID3v1 tag these fields are written as: text cut to its fields, the track kept (0..255),
    // the genre by its number in the genre table.
    static CId3v1Tag Id3v1From(const TagFields& fields);
    // The genre number the ID3v1 tag stores for a genre name (a table name, or a number given as
    // text); 255 for none.
    static int Id3v1GenreOf(const QString& genre);

private:
    static bool Replace(const QString& path, bool remove, const TagFields& fields, QString* problem);
};
