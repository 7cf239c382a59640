#include "audio/WavToMp3Command.h"

#include "app/CommandIds.h"
#include "app/DataFileStore.h"
#include "app/MainWindowTestSupport.h"
#include "audio/ProcessDialog.h"
#include "audio/WavToMp3Dialog.h"
#include "controls/ControlId.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace
{
constexpr int kSampleRate = 22050;
constexpr double kSeconds = 2.0;
constexpr int kBitrateIndex = 7; // 64 kbps
constexpr double kOneFrameSeconds = 1152.0 / kSampleRate;

// Fills the modal conversion dialog once it is up, then presses OK.
void AnswerDialog(std::function<void(CWavToMp3Dialog&)> fill)
{
    QTimer::singleShot(0, [fill] {
        auto* dialog = qobject_cast<CWavToMp3Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        fill(*dialog);
        // The spin edit has children of its own numbered 1 to 3, so OK is found by its role.
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
}

void Click(CWavToMp3Dialog& dialog, int buttonId)
{
    QTest::mouseClick(ControlId::Find<QPushButton>(&dialog, buttonId), Qt::LeftButton);
}

QString Text(CWavToMp3Dialog& dialog, int editId)
{
    return ControlId::Find<QLineEdit>(&dialog, editId)->text();
}
} // namespace

class WavToMp3CommandTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_TRUE(m_source.isValid());
        ASSERT_TRUE(m_target.isValid());
        m_wav = m_source.filePath("tone.wav");
        const auto sox = TestSupport::RunTool("sox", {"-n", "-r", QString::number(kSampleRate), "-c", "1", "-b", "16",
                                                      m_wav, "synth", QString::number(kSeconds), "sine", "440"});
        ASSERT_EQ(sox.exitCode, 0) << sox.err.toStdString();
        CRecordSettings::Instance().SetBitrateIndex(kBitrateIndex);
        // The "..." buttons: the WAV chooser gets the tone, the MP3 chooser m_chosenMp3.
        m_files = std::make_unique<DialogSeams::CScopedHandlers>(
            DialogSeams::MessageHandler{}, [this](QWidget*, const DialogSeams::FileRequest& request) {
                m_requests << request;
                return QStringList{request.mode == DialogSeams::FileRequest::Mode::Save ? m_chosenMp3 : m_wav};
            });
    }

    void TearDown() override
    {
        m_files.reset();
        MainWindowTest::TearDown();
    }

    QTemporaryDir m_source;
    QTemporaryDir m_target;
    QString m_wav;
    QString m_chosenMp3;
    QList<DialogSeams::FileRequest> m_requests;
    std::unique_ptr<DialogSeams::CScopedHandlers> m_files;
};

TEST_F(WavToMp3CommandTest, EncodesTheChosenWavAtTheSettingsBitrateAndRemembersBothFolders)
{
    CMainWindow& window = OpenWindow();
    m_chosenMp3 = m_target.filePath("out"); // typed without an extension
    QString shownRate;
    AnswerDialog([&](CWavToMp3Dialog& dialog) {
        shownRate = ControlId::Find<QComboBox>(&dialog, CWavToMp3Dialog::kBitrateComboId)->currentText();
        Click(dialog, CWavToMp3Dialog::kWavBrowseId);
        Click(dialog, CWavToMp3Dialog::kMp3BrowseId);
        // Browsing for the MP3 keeps the WAV already chosen.
        EXPECT_EQ(Text(dialog, CWavToMp3Dialog::kWavEditId), m_wav);
        EXPECT_EQ(Text(dialog, CWavToMp3Dialog::kMp3EditId), m_chosenMp3 + ".mp3");
    });
    window.OnCommand(CommandId::kWavToMp3);
    EXPECT_EQ(shownRate, "64 kbps");

    const QString mp3 = m_target.filePath("out.mp3");
    ASSERT_TRUE(QFileInfo::exists(mp3)) << m_shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(TestSupport::FfprobeField(mp3, "sample_rate"), QString::number(kSampleRate));
    EXPECT_EQ(TestSupport::FfprobeField(mp3, "channels"), "1");
    EXPECT_EQ(TestSupport::FfprobeField(mp3, "bit_rate"), "64000");
    // The last chunk is completed with silence and the encoder adds its start delay: at most a
    // frame each, never less sound than the WAV held.
    const double duration = TestSupport::FfprobeField(mp3, "duration").toDouble();
    EXPECT_GE(duration, kSeconds);
    EXPECT_LE(duration, kSeconds + 2 * kOneFrameSeconds);
    EXPECT_EQ(TestSupport::RunTool("mpg123", {"-q", "-t", mp3}).exitCode, 0);

    ASSERT_EQ(m_requests.size(), 2);
    EXPECT_TRUE(m_requests[0].filter.contains("*.wav"));
    EXPECT_TRUE(m_requests[1].filter.contains("*.mp3"));
    EXPECT_EQ(DataFileStore::LoadFolder(DataFileStore::kOpenWavDirKey), m_source.path() + QLatin1Char('/'));
    EXPECT_EQ(DataFileStore::LoadFolder(DataFileStore::kOpenDirKey), m_target.path() + QLatin1Char('/'));

    // The next time both choosers start in the folders used last.
    AnswerDialog([&](CWavToMp3Dialog& dialog) { Click(dialog, CWavToMp3Dialog::kWavBrowseId); });
    window.OnCommand(CommandId::kWavToMp3);
    ASSERT_EQ(m_requests.size(), 3);
    EXPECT_EQ(QDir(m_requests[2].directory), QDir(m_source.path()));
}

TEST_F(WavToMp3CommandTest, AnEmptyOrUnwritableMp3BoxEndsWithAMessageAndWritesNothing)
{
    CMainWindow& window = OpenWindow();
    AnswerDialog([&](CWavToMp3Dialog& dialog) { Click(dialog, CWavToMp3Dialog::kWavBrowseId); });
    window.OnCommand(CommandId::kWavToMp3);
    EXPECT_EQ(m_shown.value(m_shown.size() - 1), WavToMp3Command::kNoMp3Text);

    m_chosenMp3 = m_target.filePath("missing folder/out.mp3");
    AnswerDialog([&](CWavToMp3Dialog& dialog) {
        Click(dialog, CWavToMp3Dialog::kWavBrowseId);
        Click(dialog, CWavToMp3Dialog::kMp3BrowseId);
    });
    window.OnCommand(CommandId::kWavToMp3);
    EXPECT_TRUE(m_shown.value(m_shown.size() - 1).contains(m_chosenMp3))
        << m_shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QDir(m_target.path()).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(m_wav));
}

TEST_F(WavToMp3CommandTest, ExistingMp3sNeedConsentAndCancelLeavesNoFile)
{
    CMainWindow& window = OpenWindow();
    // A name typed without its extension that adds up to an existing file: asked, and declined.
    const QString existing = m_target.filePath("out.mp3");
    ASSERT_TRUE(TestSupport::WriteAll(existing, "keep"));
    m_chosenMp3 = m_target.filePath("out");
    QStringList questions;
    // On top of the fixture's handlers, which keep answering the file dialogs.
    const DialogSeams::CScopedHandlers answers([&](QWidget*, const DialogSeams::MessageRequest& request) {
        if (request.buttons.testFlag(QMessageBox::Yes)) {
            questions << request.text;
            return QMessageBox::No;
        }
        m_shown << request.text;
        return QMessageBox::Ok;
    });
    AnswerDialog([&](CWavToMp3Dialog& dialog) {
        Click(dialog, CWavToMp3Dialog::kWavBrowseId);
        Click(dialog, CWavToMp3Dialog::kMp3BrowseId);
        EXPECT_TRUE(Text(dialog, CWavToMp3Dialog::kMp3EditId).isEmpty());
    });
    window.OnCommand(CommandId::kWavToMp3);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(existing));
    EXPECT_EQ(TestSupport::ReadAll(existing), QByteArray("keep"));
    ASSERT_TRUE(QFile::remove(existing));

    // Cancel while the MP3 is being written: no file of that name, not even a shorter one.
    const auto sox = TestSupport::RunTool(
        "sox", {"-n", "-r", QString::number(kSampleRate), "-c", "1", "-b", "16", m_wav, "synth", "600", "sine", "440"});
    ASSERT_EQ(sox.exitCode, 0);
    m_chosenMp3 = existing;
    AnswerDialog([&](CWavToMp3Dialog& dialog) {
        Click(dialog, CWavToMp3Dialog::kWavBrowseId);
        Click(dialog, CWavToMp3Dialog::kMp3BrowseId);
    });
    bool cancelled = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = qobject_cast<CProcessDialog*>(QApplication::activeModalWidget());
        if (progress == nullptr || cancelled) {
            return;
        }
        cancelled = true;
        EXPECT_TRUE(TestSupport::WaitUntilWritingInto(QCoreApplication::applicationPid(), m_target.path()));
        ControlId::Find<QPushButton>(progress, CProcessDialog::kCancelId)->click();
    });
    poll.start(10);
    window.OnCommand(CommandId::kWavToMp3);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(QDir(m_target.path()).isEmpty()) << QDir(m_target.path()).entryList().join(u' ').toStdString();
}
