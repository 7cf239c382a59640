#pragma once

#include <atomic>
#include <cstdint>
#include <map>

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

    // Samples the volume scaling held to the 16-bit range, per file of the job (by index).
    // Counted by the decoding run on the worker; read once the run has ended.
    void AddClippedSamples(int fileIndex, std::uint64_t count) { m_clippedSamples[fileIndex] += count; }
    std::uint64_t ClippedSamples(int fileIndex) const
    {
        const auto found = m_clippedSamples.find(fileIndex);
        return found == m_clippedSamples.end() ? 0 : found->second;
    }

private:
    std::atomic<int> m_currentFileRange{0};
    std::map<int, std::uint64_t> m_clippedSamples;
};
