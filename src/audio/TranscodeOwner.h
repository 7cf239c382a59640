#pragma once

#include <atomic>

class QObject;

// What a decoding run needs from the job that owns it. The job lives on the worker thread
// while its progress receiver lives on the window thread, so both calls must be safe to
// make from the worker and must never wait.
class CTranscodeOwner
{
public:
    virtual ~CTranscodeOwner() = default;

    // True once the user asked to cancel; tested without waiting.
    virtual bool IsCancelRequested() const = 0;
    // The object that receives the progress events (the progress dialog); may be null.
    virtual QObject* ProgressReceiver() const = 0;
    // Index of the file being processed, sent with every progress event.
    virtual int CurrentFileIndex() const = 0;

    // The current file's progress range (seconds of an MP3), set by the decoding run once the
    // file's length is known and read by the progress window.
    void SetCurrentFileRange(int range) { m_currentFileRange.store(range); }
    int CurrentFileRange() const { return m_currentFileRange.load(); }

private:
    std::atomic<int> m_currentFileRange{0};
};
