// The recording session behind sorvane-cli record and schedule, on the in-memory sound card.
#include "cli/CliRecordingSession.h"

#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "record/RecordingTestHelpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
// Everything written to stderr while it lives goes into a file instead.
class CStderrCapture
{
public:
    explicit CStderrCapture(const QString& path)
        : m_path(path)
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int file = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (file >= 0) {
            ::dup2(file, STDERR_FILENO);
            ::close(file);
        }
    }
    ~CStderrCapture() { Restore(); }
    CStderrCapture(const CStderrCapture&) = delete;
    CStderrCapture& operator=(const CStderrCapture&) = delete;

    QString Text()
    {
        Restore();
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    void Restore()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
    }

    QString m_path;
    int m_saved = -1;
};
} // namespace

TEST(CliRecordingSessionTest, LostSoundIsToldOnStderrWithoutFailingTheRun)
{
    constexpr int kRate = 8000;
    RecordingTest::PrepareProcess();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    RecordingTest::ResetSettings(folder.path() + "/", 1, kRate);
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    auto card = std::make_shared<CMemoryAudioBackend>();
    CScopedAudioBackend installed(card);

    CStderrCapture errors(folder.filePath("stderr.txt"));
    CCliRecordingSession session;
    ASSERT_TRUE(session.Prepare(std::nullopt));
    session.Controller().SetRecordFileText("gap.mp3");
    session.Controller().Record();
    constexpr std::size_t kHalfSecondMono = kRate;
    card->QueueCapture(RecordingTest::Tone(2, 1, kRate));
    card->QueueCaptureLoss(kHalfSecondMono);
    card->QueueCapture(RecordingTest::Tone(1, 1, kRate));
    ASSERT_TRUE(card->WaitUntilCaptureIdle());
    RecordingTest::ProcessPendingEvents();
    session.Controller().Stop();
    session.Quit();
    // The recording was kept whole: a warning, not a failed run.
    EXPECT_TRUE(session.Exec());
    const QString text = errors.Text();
    EXPECT_TRUE(text.contains("0.5 s of sound were lost at 00:02")) << text.toStdString();
    EXPECT_TRUE(QFile::exists(folder.filePath("gap.mp3")));
}
