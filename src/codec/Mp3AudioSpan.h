#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Where the MPEG audio of an MP3 file lies once its tags are cut away: any ID3v2 tags in front
// (one after another, each skipped by its own size field) and any ID3v1, APE or appended ID3v2
// tags behind. Every reader of MP3 bytes goes through this, so no tag byte is ever taken for a
// frame, however much a picture or private frame inside a tag looks like MPEG audio.
class CMp3AudioSpan
{
public:
    static constexpr std::size_t kId3v2HeaderSize = 10;

    // Reads length bytes at offset into out; false when they are not all there.
    using ByteReader = std::function<bool(std::uint64_t offset, std::size_t length, std::uint8_t* out)>;

    static CMp3AudioSpan Find(std::uint64_t size, const ByteReader& read);
    static CMp3AudioSpan InBuffer(const std::uint8_t* data, std::size_t size);

    // The size of the ID3v2 tag whose header starts at p (header, body and footer), or 0 when no
    // tag header starts there. Needs kId3v2HeaderSize bytes; fewer give 0.
    static std::uint64_t Id3v2TagSize(const std::uint8_t* p, std::size_t available);

    std::uint64_t Start() const { return m_start; }
    std::uint64_t End() const { return m_end; }
    std::uint64_t Size() const { return m_end - m_start; }

private:
    CMp3AudioSpan(std::uint64_t start, std::uint64_t end)
        : m_start(start)
        , m_end(end)
    {}

    std::uint64_t m_start;
    std::uint64_t m_end;
};
