#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The LAME extension behind the fields of a Xing/Info frame: which encoder wrote the stream and
// how many samples it put in front of the sound (encoder delay) and behind it (padding), so a
// player can cut both away and play the input's samples exactly.
class CLameTag
{
public:
    // From the encoder's name to the last CRC.
    static constexpr std::size_t kSize = 36;

    // Reads the extension at p; none when fewer than kSize bytes are there or no encoder is named
    // (an empty name is how writers that leave the extension out fill its place).
    static std::optional<CLameTag> Read(const std::uint8_t* p, std::size_t available);

    const std::string& Encoder() const { return m_encoder; }
    int EncoderDelay() const { return m_encoderDelay; }
    int Padding() const { return m_padding; }

private:
    std::string m_encoder;
    int m_encoderDelay = 0;
    int m_padding = 0;
};
