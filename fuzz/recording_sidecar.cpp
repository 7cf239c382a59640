// Feeds arbitrary bytes to the reader of the in-progress recording markers, as an image and as
// a marker file left in a save folder, and checks that what it reads survives a write.
#include "record/RecordingSidecar.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace
{
const QTemporaryDir& FuzzSaveFolder()
{
    static const auto folder = std::make_unique<QTemporaryDir>();
    return *folder;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CRecordingSidecar::Contents contents;
    if (CRecordingSidecar::Decode(input, contents)) {
        CRecordingSidecar::Contents again;
        if (!CRecordingSidecar::Decode(CRecordingSidecar::Encode(contents), again) ||
            again.recordFileText != contents.recordFileText || again.samplesPerSec != contents.samplesPerSec) {
            std::abort();
        }
    }

    if (!FuzzSaveFolder().isValid()) {
        return 0;
    }
    const QString recorded = FuzzSaveFolder().filePath(QStringLiteral("2026-12-07-09-05"));
    QFile marker(CRecordingSidecar::PathFor(recorded));
    if (!marker.open(QIODevice::WriteOnly | QIODevice::Truncate) || marker.write(input) != input.size()) {
        return 0;
    }
    marker.close();
    const auto orphan = CRecordingSidecar::ClaimOrphan(recorded);
    if (!orphan || orphan->RecordFileText() != contents.recordFileText ||
        orphan->SamplesPerSec() != contents.samplesPerSec) {
        std::abort();
    }
    return 0;
}
