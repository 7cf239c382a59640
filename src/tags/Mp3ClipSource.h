#pragma once

#include "tags/ClipSource.h"

#include <QByteArray>
#include <QString>
#include <set>
#include <vector>

// An MP3 file decoded with libmad for listening. The file is held in memory; a start position
// is reached by counting frame headers without decoding them, so seeking far into a long file
// is quick, and a few frames before the position are decoded and thrown away so that the bit
// reservoir and the synthesis filter are warm when the first heard sample comes out.
class CMp3ClipSource : public CClipSource
{
public:
    // Reads the file and takes the output format from its first decodable frame. False when
    // the file cannot be read or holds no MPEG audio.
    bool Load(const QString& path);
    // The same with the file's bytes at hand.
    bool LoadBytes(const QByteArray& bytes);

    const PcmFormat& Format() const override { return m_format; }
    bool Run(std::int64_t startMs, const PcmConsumer& consumer) override;

private:
    // The audio between the tags in front and behind, followed by libmad's guard bytes so the
    // last frame decodes too.
    std::vector<std::uint8_t> m_audio;
    PcmFormat m_format;
    std::set<int> m_reportedErrors; // kinds of decoding error already reported for the file
};
