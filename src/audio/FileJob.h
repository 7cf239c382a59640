#pragma once

#include "audio/TranscodeOwner.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>

class QObject;

// A batch file operation: a list of files processed one after the other on a worker thread,
// with a cancel flag the window thread may set at any time and progress posted as
// AppEventType::kJobProgress to a receiver (wParam = file index; lParam 0 = the file starts,
// > 0 = progress within it, in the units of FileRange()).
// Failures are collected in Failures(); those the user must see also go to the message handler,
// which is called on the worker thread.
class CFileJob : public CTranscodeOwner
{
public:
    using MessageHandler = std::function<void(const QString& message)>;

    CFileJob();
    ~CFileJob() override;
    CFileJob(const CFileJob&) = delete;
    CFileJob& operator=(const CFileJob&) = delete;

    void SetFiles(const QStringList& files) { m_files = files; }
    const QStringList& Files() const { return m_files; }
    void SetProgressReceiver(QObject* receiver) { m_progressReceiver = receiver; }
    void SetMessageHandler(MessageHandler handler) { m_messageHandler = std::move(handler); }

    // Processes every file in order until the list ends or the job is cancelled.
    virtual void Run();
    // Handles one file; false when it failed (the reason is in Failures()).
    virtual bool ProcessFile(const QString& path) = 0;

    // Safe from any thread; the running file stops at its next frame or chunk. A job that
    // hands its work to another object passes the request on.
    virtual void RequestCancel() { m_cancelRequested.store(true); }
    bool IsCancelRequested() const override { return m_cancelRequested.load(); }
    QObject* ProgressReceiver() const override { return m_progressReceiver; }
    int CurrentFileIndex() const override { return m_currentFileIndex.load(); }

    // The two progress values: files started out of the list, and the current file's range.
    int FilesPosition() const { return m_filesPosition.load(); }
    int FilesMaximum() const { return m_filesMaximum.load(); }
    virtual int FileRange() const { return CurrentFileRange(); }

    // Every failure of the run so far, in order.
    QStringList Failures() const;

protected:
    // The current file's progress range (seconds of an MP3, data bytes / sample rate of a WAV).
    void SetFileRange(int range) { SetCurrentFileRange(range); }
    void PostFileProgress(int position) const;
    // Records a failure; showUser also hands it to the message handler.
    void ReportFailure(const QString& message, bool showUser);
    // The "Open File %s Error" message for an input that cannot be opened.
    void ReportOpenError(const QString& path);

private:
    QStringList m_files;
    QObject* m_progressReceiver = nullptr;
    MessageHandler m_messageHandler;
    std::atomic<bool> m_cancelRequested{false};
    std::atomic<int> m_currentFileIndex{0};
    std::atomic<int> m_filesPosition{0};
    std::atomic<int> m_filesMaximum{0};
    mutable std::mutex m_failuresMutex;
    QStringList m_failures;
};
