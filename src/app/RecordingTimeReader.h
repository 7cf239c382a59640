#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

// Reads the exact playing time of many recordings on a thread of its own, so a long list
// shows at once and its "Time" column fills in moments later. Counting every frame header
// means reading each whole file, which for a thousand recordings takes seconds.
class CRecordingTimeReader
{
public:
    // (full path, "m:ss") pairs; a file that cannot be read any more gets no pair.
    using TimeBatch = std::vector<std::pair<QString, QString>>;
    using BatchCallback = std::function<void(const TimeBatch&)>;

    static constexpr std::size_t kFilesPerBatch = 64;

    // Starts at once; each batch is delivered on `receiver`'s thread, never after the receiver
    // or this reader is gone.
    CRecordingTimeReader(QStringList paths, QObject* receiver, BatchCallback onBatch);
    // Stops after the file being read and waits for the thread.
    ~CRecordingTimeReader();
    CRecordingTimeReader(const CRecordingTimeReader&) = delete;
    CRecordingTimeReader& operator=(const CRecordingTimeReader&) = delete;

private:
    void Run(const QStringList& paths);
    void Deliver(TimeBatch batch);

    // Outlives the thread: its owner destroys the reader first.
    QObject* m_receiver;
    BatchCallback m_onBatch;
    // Shared with queued deliveries, which may run after this reader is destroyed.
    std::shared_ptr<std::atomic<bool>> m_stopped = std::make_shared<std::atomic<bool>>(false);
    std::thread m_thread;
};
