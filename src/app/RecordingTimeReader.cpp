#include "app/RecordingTimeReader.h"

#include "tags/Id3v1Tag.h"

CRecordingTimeReader::CRecordingTimeReader(QStringList paths, QObject* receiver, BatchCallback onBatch)
    : m_receiver(receiver)
    , m_onBatch(std::move(onBatch))
    , m_thread([this, paths = std::move(paths)] { Run(paths); })
{}

CRecordingTimeReader::~CRecordingTimeReader()
{
    m_stopped->store(true);
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CRecordingTimeReader::Run(const QStringList& paths)
{
    TimeBatch batch;
    for (const QString& path : paths) {
        if (m_stopped->load()) {
            return;
        }
        CId3v1Tag tag;
        if (tag.LoadTag(path, true)) {
            batch.emplace_back(path, FormatMinSec(tag.Duration()));
        }
        if (batch.size() >= kFilesPerBatch) {
            Deliver(std::exchange(batch, {}));
        }
    }
    if (!batch.empty()) {
        Deliver(std::move(batch));
    }
}

void CRecordingTimeReader::Deliver(TimeBatch batch)
{
    // The callback is copied into the event so a delivery queued just before the reader is
    // destroyed neither touches the reader nor runs once it has been stopped.
    QMetaObject::invokeMethod(
        m_receiver,
        [callback = m_onBatch, stopped = m_stopped, batch = std::move(batch)] {
            if (!stopped->load()) {
                callback(batch);
            }
        },
        Qt::QueuedConnection);
}
