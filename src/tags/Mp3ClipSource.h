#pragma once

#include "tags/ClipSource.h"

#include <QByteArray>
#include <QString>
#include <set>

class CByteSource;

// An MP3 file decoded for listening, read from disk in pieces as it plays. A start position is
// reached by reading frame headers without decoding them, so seeking far into a long file is
// quick; libmpg123 decodes the few frames before it that the bit reservoir needs. Gapless: the
// positions count the samples mpg123 plays, without the encoder's delay.
class CMp3ClipSource : public CClipSource
{
public:
    // Takes the output format from the file's first decodable frame. False when the file
    // cannot be read or holds no MPEG audio.
    bool Load(const QString& path);
    // The same with the file's bytes at hand.
    bool LoadBytes(const QByteArray& bytes);

    const PcmFormat& Format() const override { return m_format; }
    bool Run(std::int64_t startMs, const PcmConsumer& consumer) override;

private:
    bool TakeFormat(CByteSource& source);
    bool RunOver(CByteSource& source, std::int64_t startMs, const PcmConsumer& consumer);

    QString m_path;     // the file, when loaded by path
    QByteArray m_bytes; // the bytes, when loaded from memory
    bool m_loaded = false;
    PcmFormat m_format;
    std::set<int> m_reportedErrors; // kinds of decoding error already reported for the file
};
