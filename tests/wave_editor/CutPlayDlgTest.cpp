#include "wave_editor/CutPlayDlg.h"

#include "app/CommandIds.h"
#include "app/DataFileStore.h"
#include "app/DialogSeams.h"
#include "app/MainWindowTestSupport.h"
#include "app/RecordSettings.h"
#include "app/RecordingsList.h"
#include "audio/Mp3ToWavJob.h"
#include "audio/ProcessDialog.h"
#include "codec/WaveFile.h"
#include "platform/AppEvent.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "player_transfer/PlayerProgressWindow.h"
#include "support/TestSupport.h"
#include "wave_editor/WaveData.h"
#include "wave_editor/WaveEditCtrl.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <deque>
#include <optional>

namespace
{
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrameBytes = 4;
constexpr int kWavHeaderBytes = 44; // WriteSimpleWav's plain header
constexpr double kMp3FrameSeconds = 1152.0 / kRate;
constexpr int kWaitMs = 10000;

// Noise never repeats itself, so a second pass of playback is told apart from the first.
std::vector<std::int16_t> NoisePcm(double seconds)
{
    std::vector<std::int16_t> pcm(std::size_t(seconds * kRate) * kChannels);
    std::uint32_t state = 12345;
    for (std::int16_t& sample : pcm) {
        state = state * 1664525u + 1013904223u;
        sample = std::int16_t(int(state >> 16) / 4 - 8192);
    }
    return pcm;
}

// TMPDIR as it was, unset when it was.
void RestoreTemp(const std::optional<QByteArray>& previous)
{
    if (previous) {
        qputenv("TMPDIR", *previous);
    } else {
        qunsetenv("TMPDIR");
    }
}

std::optional<QByteArray> CurrentTemp()
{
    return qEnvironmentVariableIsSet("TMPDIR") ? std::optional<QByteArray>(qgetenv("TMPDIR")) : std::nullopt;
}

class CutPlayDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid() && m_temp.isValid() && m_files.isValid());
        qputenv("SORVANE_DATA_DIR", m_data.path().toLocal8Bit());
        m_previousTemp = CurrentTemp();
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
        m_backend = std::make_shared<CMemoryAudioBackend>();
        m_audio = std::make_unique<CScopedAudioBackend>(m_backend);
        m_seams = std::make_unique<DialogSeams::CScopedHandlers>(
            [this](QWidget*, const DialogSeams::MessageRequest& request) {
                m_messages << request.text;
                return QMessageBox::Ok;
            },
            [this](QWidget*, const DialogSeams::FileRequest& request) {
                m_requests.push_back(request);
                if (request.choiceIndex != nullptr) {
                    m_preselectedChoice = *request.choiceIndex;
                    *request.choiceIndex = m_choice;
                }
                if (m_answers.empty()) {
                    return QStringList{};
                }
                const QString answer = m_answers.front();
                m_answers.pop_front();
                return QStringList{answer};
            });
    }

    void TearDown() override
    {
        m_seams.reset();
        m_audio.reset();
        RestoreTemp(m_previousTemp);
    }

    QString WriteNoiseWav(const QString& path, double seconds)
    {
        m_pcm = NoisePcm(seconds);
        EXPECT_TRUE(TestSupport::WriteSimpleWav(path, m_pcm, kChannels, kRate));
        return path;
    }

    QByteArray DataBytes(std::int64_t start, std::int64_t end) const
    {
        return QByteArray(reinterpret_cast<const char*>(m_pcm.data()), qsizetype(m_pcm.size() * 2))
            .mid(start, end - start);
    }

    QString MakeMp3(const QString& name)
    {
        const QString wav = WriteNoiseWav(m_files.filePath(QStringLiteral("source.wav")), 1.0);
        const QString mp3 = m_files.filePath(name);
        const auto result = TestSupport::RunTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, mp3});
        EXPECT_EQ(result.exitCode, 0) << result.err.constData();
        return mp3;
    }

    void Command(CCutPlayDlg& dialog, int commandId, const QString& answer = {})
    {
        if (!answer.isEmpty()) {
            m_answers.push_back(answer);
        }
        dialog.OnCommand(commandId);
    }

    QTemporaryDir m_data;
    QTemporaryDir m_temp;
    QTemporaryDir m_files;
    std::optional<QByteArray> m_previousTemp;
    std::shared_ptr<CMemoryAudioBackend> m_backend;
    std::unique_ptr<CScopedAudioBackend> m_audio;
    std::unique_ptr<DialogSeams::CScopedHandlers> m_seams;
    std::deque<QString> m_answers;
    std::vector<DialogSeams::FileRequest> m_requests;
    QStringList m_messages;
    int m_choice = 11; // 128 kbps
    int m_preselectedChoice = -1;
    std::vector<std::int16_t> m_pcm;
};
} // namespace

TEST_F(CutPlayDlgTest, SavesTheSelectionAsMp3OrWavByExtension)
{
    CRecordSettings::Instance().SetBitrateIndex(5);
    const QString wav = WriteNoiseWav(m_files.filePath(QStringLiteral("Take One.wav")), 10.0);
    CCutPlayDlg dialog;
    Command(dialog, CCutPlayDlg::kOpenCommand, wav);
    EXPECT_EQ(dialog.WorkingFile(), wav);
    EXPECT_EQ(dialog.windowTitle(), wav);
    EXPECT_GT(dialog.ScrollBar()->maximum(), 0);

    CWaveData& store = dialog.WaveEdit()->Data();
    store.SetAnchorAt(10);
    store.SetCursorAt(60);
    const CWaveData::ByteRange range = store.SelectionBytes();
    ASSERT_EQ(range.start, std::int64_t(10) * store.Zoom() * kFrameBytes);
    const double selectedSeconds = double(range.end - range.start) / kFrameBytes / kRate;

    const QString mp3 = m_files.filePath(QStringLiteral("cut.mp3"));
    Command(dialog, CCutPlayDlg::kSaveSelectionCommand, mp3);
    ASSERT_FALSE(m_requests.empty());
    const DialogSeams::FileRequest& request = m_requests.back();
    EXPECT_EQ(request.caption, QStringLiteral("Save selection as audio file"));
    EXPECT_EQ(request.choiceLabel, QStringLiteral("MP3 Bit  Rate"));
    ASSERT_EQ(request.choices.size(), qsizetype(BitrateTable.size())); // every rate up to 320 kbps
    EXPECT_EQ(request.choices.front(), QStringLiteral("8 kbps"));
    EXPECT_EQ(request.choices.back(), QStringLiteral("320 kbps"));
    EXPECT_EQ(m_preselectedChoice, 5);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('\n')).toStdString();
    const double duration = TestSupport::FfprobeField(mp3, QStringLiteral("duration")).toDouble();
    EXPECT_NEAR(duration, selectedSeconds, 2 * kMp3FrameSeconds);
    EXPECT_NEAR(TestSupport::FfprobeField(mp3, QStringLiteral("bit_rate")).toDouble(), 128000, 1000);
    EXPECT_EQ(
        TestSupport::RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), mp3}).exitCode, 0);

    // The extension test ignores case; the bytes are exactly the range.
    const QString copy = m_files.filePath(QStringLiteral("CUT.WAV"));
    Command(dialog, CCutPlayDlg::kSaveSelectionCommand, copy);
    CWaveFile reader;
    ASSERT_EQ(reader.Open(copy, nullptr, CWaveFile::kModeRead), CWaveFile::S_OK);
    ASSERT_EQ(std::int64_t(reader.GetSize()), range.end - range.start);
    QByteArray copied(qsizetype(reader.GetSize()), '\0');
    std::uint32_t bytesRead = 0;
    ASSERT_EQ(reader.Read(copied.data(), reader.GetSize(), &bytesRead), CWaveFile::S_OK);
    EXPECT_TRUE(copied == DataBytes(range.start, range.end));
    const auto soxi = TestSupport::RunTool(QStringLiteral("soxi"), {QStringLiteral("-s"), copy});
    EXPECT_EQ(soxi.out.trimmed().toLongLong(), (range.end - range.start) / kFrameBytes);

    // Any other extension writes nothing, yet the folder is remembered for next time.
    QDir(m_files.path()).mkdir(QStringLiteral("other"));
    const QString otherFolder = m_files.filePath(QStringLiteral("other"));
    Command(dialog, CCutPlayDlg::kSaveSelectionCommand, otherFolder + QStringLiteral("/cut.txt"));
    EXPECT_TRUE(QDir(otherFolder).isEmpty());
    EXPECT_EQ(DataFileStore::LoadFolder(QString::fromLatin1(DataFileStore::kSelectionSaveDirKey)),
              otherFolder + QLatin1Char('/'));
    Command(dialog, CCutPlayDlg::kSaveSelectionCommand);
    EXPECT_EQ(m_requests.back().directory, otherFolder + QLatin1Char('/'));
    EXPECT_TRUE(m_messages.isEmpty());

    // A caret on the last frame selects no sound: neither format writes a file.
    store.SetCursorAt(1 << 20);
    store.CollapseSelection();
    Command(dialog, CCutPlayDlg::kSaveSelectionCommand, otherFolder + QStringLiteral("/end.mp3"));
    Command(dialog, CCutPlayDlg::kSaveSelectionCommand, otherFolder + QStringLiteral("/end.wav"));
    EXPECT_TRUE(QDir(otherFolder).isEmpty());
    store.SetAnchorAt(10);
    store.SetCursorAt(60);

    // Zooming in widens what there is to scroll, and the scroll bar moves the view.
    const int before = dialog.ScrollBar()->maximum();
    Command(dialog, CCutPlayDlg::kZoomInCommand);
    EXPECT_GT(dialog.ScrollBar()->maximum(), before);
    dialog.ScrollBar()->setValue(7);
    EXPECT_EQ(store.Scroll(), 7);
}

TEST_F(CutPlayDlgTest, PlaysTheSelectionOnceOrRepeatedlyUntilStop)
{
    const QString wav = WriteNoiseWav(m_files.filePath(QStringLiteral("noise.wav")), 0.5);
    const std::int64_t dataLength = std::int64_t(m_pcm.size()) * 2;
    const QByteArray head = DataBytes(0, 4096);
    CCutPlayDlg dialog;
    dialog.show();
    Command(dialog, CCutPlayDlg::kOpenCommand, wav);
    QAction* play = dialog.CommandAction(CCutPlayDlg::kPlaySelectionCommand);
    ASSERT_NE(play, nullptr);
    EXPECT_TRUE(dialog.CommandAction(CCutPlayDlg::kRepeatCommand)->isChecked());

    // No selection plays the whole file, and repeat plays it again until Stop.
    play->trigger();
    EXPECT_TRUE(dialog.IsPlaying());
    EXPECT_FALSE(play->isEnabled());
    EXPECT_FALSE(dialog.WaveEdit()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_backend->PlaybackData().indexOf(head, 1) > 0; }, kWaitMs));
    EXPECT_TRUE(dialog.IsPlaying());
    EXPECT_TRUE(m_backend->PlaybackData().startsWith(DataBytes(0, dataLength)));
    dialog.CommandAction(CCutPlayDlg::kStopCommand)->trigger();
    EXPECT_FALSE(dialog.IsPlaying());
    EXPECT_TRUE(play->isEnabled());
    EXPECT_TRUE(dialog.WaveEdit()->isEnabled());

    // Repeat off: one pass from the caret to the end, then the dialog is idle again.
    dialog.CommandAction(CCutPlayDlg::kRepeatCommand)->trigger();
    EXPECT_FALSE(dialog.IsRepeatOn());
    CWaveData& store = dialog.WaveEdit()->Data();
    store.SetCursorAt(20);
    store.CollapseSelection();
    const std::int64_t caret = store.SelectionBytes().start;
    ASSERT_GT(caret, 0);
    m_backend->ClearPlaybackData();
    play->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.IsPlaying(); }, kWaitMs));
    const QByteArray played = m_backend->PlaybackData();
    EXPECT_TRUE(played.startsWith(DataBytes(caret, dataLength)));
    EXPECT_EQ(played.indexOf(DataBytes(caret, caret + 4096), 1), -1);
    EXPECT_TRUE(play->isEnabled());

    // Closing during playback ends it and takes the cache file along.
    dialog.CommandAction(CCutPlayDlg::kRepeatCommand)->trigger();
    play->trigger();
    ASSERT_TRUE(dialog.IsPlaying());
    const QString cache = store.CacheFile();
    ASSERT_TRUE(QFileInfo::exists(cache));
    dialog.close();
    EXPECT_FALSE(dialog.IsPlaying());
    EXPECT_FALSE(QFileInfo::exists(cache));
    EXPECT_TRUE(QFileInfo::exists(wav));
}

TEST_F(CutPlayDlgTest, DecodesMp3IntoAFolderOfItsOwnAndCleansUp)
{
    const QString first = MakeMp3(QStringLiteral("First Song.MP3"));
    const QString second = MakeMp3(QStringLiteral("second.mp3"));
    // A WAV of the user's own that happens to live in the temporary folder.
    const QString ownWav = WriteNoiseWav(m_temp.filePath(QStringLiteral("mine.wav")), 0.2);
    // And one under exactly the name the first decode takes.
    const QString sameName = WriteNoiseWav(CMp3ToWavJob::OutputPathFor(m_temp.path(), first), 0.3);
    const QByteArray sameNameBytes = TestSupport::ReadAll(sameName);
    QString decodeFolder;
    QString secondWav;
    {
        CCutPlayDlg dialog;
        Command(dialog, CCutPlayDlg::kOpenCommand, first);
        const QString firstWav = dialog.WorkingFile();
        decodeFolder = QFileInfo(firstWav).path();
        EXPECT_EQ(firstWav, CMp3ToWavJob::OutputPathFor(decodeFolder, first));
        EXPECT_NE(firstWav, sameName);
        EXPECT_TRUE(decodeFolder.startsWith(m_temp.path() + QLatin1Char('/')));
        EXPECT_EQ(TestSupport::ReadAll(sameName), sameNameBytes);
        EXPECT_EQ(dialog.windowTitle(), first);
        EXPECT_TRUE(dialog.WaveEdit()->Data().IsLoaded());

        Command(dialog, CCutPlayDlg::kOpenCommand, second);
        secondWav = CMp3ToWavJob::OutputPathFor(decodeFolder, second);
        EXPECT_EQ(dialog.WorkingFile(), secondWav);
        EXPECT_FALSE(QFileInfo::exists(firstWav));
        EXPECT_FALSE(QFileInfo::exists(CWaveData::CacheFileFor(firstWav)));
        const QString cache = dialog.WaveEdit()->Data().CacheFile();
        EXPECT_TRUE(QFileInfo::exists(cache));

        // A file that fails to decode leaves the one shown.
        const QString broken = m_files.filePath(QStringLiteral("broken.mp3"));
        ASSERT_TRUE(TestSupport::WriteAll(broken, QByteArray(3000, 'x')));
        Command(dialog, CCutPlayDlg::kOpenCommand, broken);
        EXPECT_EQ(dialog.WorkingFile(), secondWav);
        EXPECT_TRUE(QFileInfo::exists(secondWav));

        dialog.close();
        EXPECT_FALSE(QFileInfo::exists(cache));
        EXPECT_TRUE(QFileInfo::exists(secondWav));
    }
    EXPECT_FALSE(QFileInfo::exists(secondWav));
    EXPECT_FALSE(QFileInfo::exists(decodeFolder));
    {
        CCutPlayDlg dialog;
        Command(dialog, CCutPlayDlg::kOpenCommand, ownWav);
        EXPECT_EQ(dialog.WorkingFile(), ownWav);
    }
    EXPECT_TRUE(QFileInfo::exists(ownWav));
    // The user's file of the decoded file's name was neither replaced nor deleted.
    EXPECT_EQ(TestSupport::ReadAll(sameName), sameNameBytes);
}

class CutPlayCommandTest : public MainWindowTest
{
};

TEST_F(CutPlayCommandTest, CommandOpensTheDialogOnTheSelectedFile)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const std::optional<QByteArray> previousTemp = CurrentTemp();
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const QString wav = SavePath(QStringLiteral("take.wav"));
    ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(2, kRate, 1.0, 440), 2, kRate));
    const QString mp3 = SavePath(QStringLiteral("Take.mp3"));
    ASSERT_EQ(TestSupport::RunTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, mp3}).exitCode, 0);
    CRecordSettings::Instance().SetRecordings({mp3});
    CMainWindow& window = OpenWindow();
    window.List().SelectAllRows();
    ASSERT_EQ(window.List().SelectedPath(), mp3);

    QString shownFile;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<CCutPlayDlg*>(widget);
            if (dialog != nullptr && dialog->isVisible()) {
                shownFile = dialog->WorkingFile();
                dialog->close();
            }
        }
    });
    closer.start();
    CAppEvent::Send(&window, AppEventType::kCommand, CommandId::kCutAndPlay);
    closer.stop();
    EXPECT_EQ(QFileInfo(shownFile).fileName(), QFileInfo(CMp3ToWavJob::OutputPathFor(temp.path(), mp3)).fileName());
    EXPECT_TRUE(shownFile.startsWith(temp.path() + QLatin1Char('/')));
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(QLatin1Char('\n')).toStdString();
    // The dialog is gone, and with it the decoded file.
    EXPECT_FALSE(QFileInfo::exists(shownFile));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(shownFile).path()));
    RestoreTemp(previousTemp);
}

// The bit-rate list must really be there under the program's own save dialog.
TEST(CutPlaySaveDialogTest, ShowsTheExtraListAndReportsTheChoice)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList bitrates{QStringLiteral("8 kbps"), QStringLiteral("16 kbps"), QStringLiteral("24 kbps")};
    int chosenIndex = 1;
    DialogSeams::FileRequest request;
    request.mode = DialogSeams::FileRequest::Mode::Save;
    request.caption = QStringLiteral("Save selection as audio file");
    request.directory = folder.path();
    request.filter = QStringLiteral("MP3 File(*.MP3 *.mp3);;WAV File(*.WAV *.wav)");
    request.defaultSuffix = QStringLiteral("mp3");
    request.choiceLabel = QStringLiteral("MP3 Bit  Rate");
    request.choices = bitrates;
    request.choiceIndex = &chosenIndex;

    int preselected = -1;
    bool labelled = false;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* fileDialog = qobject_cast<QFileDialog*>(window);
            dialog = fileDialog != nullptr && fileDialog->isVisible() ? fileDialog : dialog;
        }
        if (dialog == nullptr) {
            return;
        }
        answer.stop();
        for (auto* combo : dialog->findChildren<QComboBox*>()) {
            if (combo->count() == bitrates.size() && combo->itemText(0) == bitrates.front()) {
                preselected = combo->currentIndex();
                combo->setCurrentIndex(2);
            }
        }
        for (auto* label : dialog->findChildren<QLabel*>()) {
            labelled = labelled || label->text() == request.choiceLabel;
        }
        // Typed as a user would: selectFile may be ignored while the dialog's model still loads.
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            name->setText(QStringLiteral("clip"));
        } else {
            dialog->selectFile(QStringLiteral("clip"));
        }
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept reads the typed name
    });
    answer.start();
    const QStringList chosen = DialogSeams::RunFileDialog(nullptr, request);
    EXPECT_EQ(preselected, 1);
    EXPECT_TRUE(labelled);
    EXPECT_EQ(chosenIndex, 2);
    EXPECT_EQ(chosen, QStringList{folder.filePath(QStringLiteral("clip.mp3"))});
}

TEST_F(CutPlayDlgTest, GrowsWithTheDialogKeepsTheSelectionInViewAndReadsItOut)
{
    const QString wav = WriteNoiseWav(m_files.filePath(QStringLiteral("long.wav")), 30.0);
    CCutPlayDlg dialog;
    Command(dialog, CCutPlayDlg::kOpenCommand, wav);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CWaveEditCtrl* wave = dialog.WaveEdit();
    const QSize before = wave->size();
    dialog.resize(dialog.width() + 300, dialog.height() + 120);
    QCoreApplication::processEvents();
    EXPECT_EQ(wave->width(), before.width() + 300);
    EXPECT_EQ(wave->height(), before.height() + 120);
    EXPECT_EQ(dialog.ScrollBar()->pageStep(), dialog.ScrollBar()->width());

    // A selection well into the file, dragged with the mouse.
    CWaveData& store = wave->Data();
    dialog.ScrollBar()->setValue(dialog.ScrollBar()->maximum() / 2);
    const int scrolled = store.Scroll();
    ASSERT_GT(scrolled, 0);
    const int y = wave->height() / 2;
    QTest::mousePress(wave, Qt::LeftButton, {}, QPoint(100, y));
    QTest::mouseMove(wave, QPoint(160, y));
    QTest::mouseRelease(wave, Qt::LeftButton, {}, QPoint(160, y));
    const std::int64_t first = std::int64_t(100 + scrolled) * store.Zoom();
    const std::int64_t last = std::int64_t(160 + scrolled) * store.Zoom();
    ASSERT_EQ(store.SelectionBytes().start, first * kFrameBytes);
    const auto time = [](std::int64_t frame) {
        const std::int64_t ms = frame * 1000 / kRate;
        return QStringLiteral("%1:%2.%3")
            .arg(ms / 60000)
            .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
            .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    };
    EXPECT_EQ(dialog.Readout()->text(),
              QStringLiteral("Start %1    End %2    Length %3").arg(time(first), time(last), time(last - first)));

    // Each zoom keeps the selection on screen, and the scroll bar shows where the view is.
    const WaveArea view{0, 0, wave->width(), wave->height()};
    for (int step = 0; step < 4; ++step) {
        Command(dialog, CCutPlayDlg::kZoomInCommand);
        EXPECT_FALSE(store.SelectionColumns(view).IsNone()) << "zoom in " << step;
        EXPECT_EQ(dialog.ScrollBar()->value(), store.Scroll());
    }
    for (int step = 0; step < 2; ++step) {
        Command(dialog, CCutPlayDlg::kZoomOutCommand);
        EXPECT_FALSE(store.SelectionColumns(view).IsNone()) << "zoom out " << step;
    }

    // A click leaves only the caret, which the readout then places.
    QTest::mouseClick(wave, Qt::LeftButton, {}, QPoint(40, y));
    const std::int64_t caret = std::int64_t(40 + store.Scroll()) * store.Zoom();
    EXPECT_EQ(dialog.Readout()->text(), QStringLiteral("Caret %1").arg(time(caret)));
    Command(dialog, CCutPlayDlg::kZoomInCommand);
    int x = 0;
    EXPECT_TRUE(store.CaretColumn(view, &x));
}

TEST_F(CutPlayDlgTest, SaysSoWhenAFileCannotBeOpenedAndKeepsTheOneShown)
{
    const QString wav = WriteNoiseWav(m_files.filePath(QStringLiteral("good.wav")), 1.0);
    const QString notWav = m_files.filePath(QStringLiteral("photo.wav"));
    ASSERT_TRUE(TestSupport::WriteAll(notWav, QByteArray(4000, 'j')));
    const QString notMp3 = m_files.filePath(QStringLiteral("text.mp3"));
    ASSERT_TRUE(TestSupport::WriteAll(notMp3, QByteArray(3000, 'x')));

    CCutPlayDlg dialog;
    Command(dialog, CCutPlayDlg::kOpenCommand, wav);
    ASSERT_TRUE(m_messages.isEmpty());
    for (const QString& broken : {notWav, notMp3}) {
        m_messages.clear();
        Command(dialog, CCutPlayDlg::kOpenCommand, broken);
        ASSERT_EQ(m_messages.size(), 1) << broken.toStdString();
        EXPECT_EQ(m_messages.front(),
                  QStringLiteral("Cannot open %1: it holds no sound Sorvane can read.").arg(broken));
        EXPECT_EQ(dialog.WorkingFile(), wav);
        EXPECT_TRUE(dialog.WaveEdit()->Data().IsLoaded());
        EXPECT_EQ(dialog.windowTitle(), wav);
    }
}

TEST_F(CutPlayDlgTest, ProgressWindowsOpenCentredOverTheirWindow)
{
    QWidget owner;
    owner.setGeometry(120, 80, 500, 400);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    const auto expectCentred = [&](QWidget& window) {
        const QPoint offset = window.frameGeometry().center() - owner.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2)
            << window.windowTitle().toStdString() << " at " << window.x() << "," << window.y();
    };

    // The decode runs before the cut-and-play dialog is on screen: it centres over the window
    // under that dialog.
    CCutPlayDlg notShownYet(&owner);
    CMp3ToWavJob job;
    CProcessDialog decode(CProcessDialog::kDecodeMp3Template, job, &notShownYet);
    decode.show();
    expectCentred(decode);
    decode.hide();

    CPlayerProgressWindow* transfer = CPlayerProgressWindow::OpenProgress(&owner, QString());
    ASSERT_NE(transfer, nullptr);
    expectCentred(*transfer);
    CPlayerProgressWindow::CloseProgress();
}
