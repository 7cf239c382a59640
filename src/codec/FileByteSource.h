#pragma once

#include "codec/ByteSource.h"

#include <QFile>
#include <QString>
#include <memory>

// A file read in fixed pieces through one read-ahead buffer: a decoder asks for a few hundred
// bytes at a time, and a long file never sits in memory whole.
class CFileByteSource final : public CByteSource
{
public:
    CFileByteSource();
    ~CFileByteSource() override;
    CFileByteSource(const CFileByteSource&) = delete;
    CFileByteSource& operator=(const CFileByteSource&) = delete;

    // False (with ErrorText) when the path is not a regular file that can be opened for reading.
    bool Open(const QString& path);
    const QString& ErrorText() const { return m_errorText; }

    std::uint64_t Size() const override { return m_size; }
    std::size_t ReadAt(std::uint64_t offset, std::size_t length, std::uint8_t* out) override;
    bool Failed() const override { return m_failed; }

private:
    bool Fill(std::uint64_t offset);

    QFile m_file;
    std::uint64_t m_size = 0;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::uint64_t m_bufferOffset = 0;
    std::size_t m_bufferFill = 0;
    bool m_failed = false;
    QString m_errorText;
};
