#pragma once

#include <cstddef>
#include <cstdint>

// Random access to the bytes of an MP3 file, held in memory or read from disk in pieces, so a
// decoder's memory does not grow with the file.
class CByteSource
{
public:
    virtual ~CByteSource() = default;

    virtual std::uint64_t Size() const = 0;
    // Copies up to length bytes at offset into out; the number copied, 0 at the end. A read
    // failure also gives 0 and sets Failed.
    virtual std::size_t ReadAt(std::uint64_t offset, std::size_t length, std::uint8_t* out) = 0;
    // Reads exactly length bytes; false when they are not all there.
    bool ReadExactly(std::uint64_t offset, std::size_t length, std::uint8_t* out);
    virtual bool Failed() const { return false; }
};
