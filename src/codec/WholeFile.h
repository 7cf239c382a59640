#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

// A whole file read into one memory block: opened, read completely and closed by Load; the
// block is freed with the object. MP3 operations decode from such a copy.
class CWholeFile
{
public:
    CWholeFile() = default;

    // False (with ErrorText) when the file cannot be opened or read completely.
    bool Load(const QString& path);

    const std::uint8_t* Data() const { return m_data.get(); }
    std::size_t Size() const { return m_size; }
    const QString& ErrorText() const { return m_errorText; }

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_size = 0;
    QString m_errorText;
};
