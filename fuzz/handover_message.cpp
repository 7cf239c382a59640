// Feeds arbitrary bytes to the reader of another start's hand-over, whole and cut short, and
// checks that what it read survives being sent again.
#include "app/HandOverMessage.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList paths;
    const HandOverMessage::DecodeStatus status = HandOverMessage::Decode(input, &paths);
    // What was read is sent again unchanged.
    if (status == HandOverMessage::DecodeStatus::Complete) {
        QStringList again;
        if (HandOverMessage::Decode(HandOverMessage::Encode(paths), &again) !=
                HandOverMessage::DecodeStatus::Complete ||
            again != paths) {
            std::abort();
        }
    }
    // Any prefix of a complete message is incomplete, never complete or a crash.
    if (status == HandOverMessage::DecodeStatus::Complete && !input.isEmpty() &&
        HandOverMessage::Decode(input.left(input.size() - 1), nullptr) == HandOverMessage::DecodeStatus::Complete) {
        std::abort();
    }
    return 0;
}
