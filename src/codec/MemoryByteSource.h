#pragma once

#include "codec/ByteSource.h"

#include <algorithm>
#include <cstring>

// Bytes the caller holds in memory (a fuzzer's input, a test's file); not copied.
class CMemoryByteSource final : public CByteSource
{
public:
    CMemoryByteSource(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(data != nullptr ? size : 0)
    {}

    std::uint64_t Size() const override { return m_size; }
    std::size_t ReadAt(std::uint64_t offset, std::size_t length, std::uint8_t* out) override
    {
        if (offset >= m_size) {
            return 0;
        }
        const std::size_t count = std::min<std::uint64_t>(length, m_size - offset);
        std::memcpy(out, m_data + offset, count);
        return count;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};
