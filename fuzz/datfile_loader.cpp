// Feeds arbitrary bytes to the ".dat" folder-memory reader, both as an in-memory image and as a
// real file in a private Data folder, and checks the two agree.
#include "app/DataFileStore.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace
{
const QTemporaryDir& FuzzDataFolder()
{
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        auto created = std::make_unique<QTemporaryDir>();
        qputenv("SORVANE_DATA_DIR", created->path().toLocal8Bit());
        return created;
    }();
    return *folder;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QByteArray> parsed = DataFileStore::ParseDataFile(input);
    if (parsed) {
        DataFileStore::FolderFromPayload(*parsed);
        const std::optional<QByteArray> image = DataFileStore::EncodeDataFile(*parsed);
        if (!image || DataFileStore::ParseDataFile(*image) != parsed) {
            std::abort();
        }
    }

    if (!FuzzDataFolder().isValid()) {
        return 0;
    }
    QFile file(DataFileStore::FilePath(QStringLiteral("OpenDir")));
    if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size()) {
        return 0;
    }
    file.close();
    if (DataFileStore::LoadDataFile(QStringLiteral("OpenDir")) != parsed) {
        std::abort();
    }
    DataFileStore::LoadFolder(QStringLiteral("OpenDir"), QStringLiteral("/"));
    return 0;
}
