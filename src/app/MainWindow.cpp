#include "app/MainWindow.h"

#include "KeyHook.h"
#include "app/AboutDialog.h"
#include "app/CaptionButtons.h"
#include "app/CommandIds.h"
#include "app/DesktopLauncher.h"
#include "app/DialogSeams.h"
#include "app/ElapsedTimeLabel.h"
#include "app/RecordSettings.h"
#include "app/RecordingsList.h"
#include "app/TrayPresence.h"
#include "audio/Mp3EditCommands.h"
#include "audio/Mp3ToWavCommand.h"
#include "audio/WavToMp3Command.h"
#include "controls/ControlId.h"
#include "controls/DialogSkinning.h"
#include "controls/LevelMeter.h"
#include "controls/MenuXP.h"
#include "controls/SkinBackground.h"
#include "controls/SkinButton.h"
#include "platform/AppEvent.h"
#include "player_transfer/PlayerTransferCommands.h"
#include "record/InputLevelPreview.h"
#include "record/RecordFormatDialog.h"
#include "record/RecordSourcePanel.h"
#include "record/RecordingController.h"
#include "record/TimeRecordSetupDialog.h"
#include "record/VoiceActivationDialog.h"
#include "tags/TagListenPanel.h"
#include "wave_editor/CutPlayDlg.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace
{
constexpr int kClientWidth = 720;
constexpr int kMargin = 8;
constexpr int kTileId = 135;
constexpr int kBandPictureId = 177;
const QColor kBandColour(200, 200, 200);
const QColor kMenuPanelColour(200, 200, 200);
const QColor kTimePanelColour(225, 225, 225);
const QColor kWaveformBackground(Qt::black);
const QColor kWaveformPen(0, 255, 0);

// The band: logo from the left, the menu bar after it, the time panel and the caption buttons.
constexpr int kLogoWidth = 185;
constexpr int kSlant = 10;
constexpr int kMenuBarRightGap = 240;
constexpr int kTimePanelLeftGap = 230;
constexpr int kTimePanelRightGap = 45;
constexpr int kTimeLabelRightGap = 55;

// Below the band.
constexpr int kWaveformHeight = 60;
constexpr int kLevelMeterWidth = 26;
constexpr int kLevelMeterGap = 4;
// About twenty meter updates a second: smooth to the eye, nothing to the processor.
constexpr int kLevelMeterIntervalMs = 50;
constexpr int kListWidth = 480;
constexpr int kListHeight = 250;
constexpr int kColumnGap = 8;
constexpr int kSourcePanelHeight = 250;
constexpr int kRecordFileLabelHeight = 18;
constexpr int kRecordFileBoxHeight = 24;
constexpr int kButtonRowGap = 9;
constexpr int kButtonSpacing = 5;
constexpr int kMainButtonWidth = 124;
constexpr int kMainButtonHeight = 44;
constexpr int kTagPanelFrameHeight = 156;
// The tag panel toggle grows or shrinks the window by the frame's height and this much.
constexpr int kTagPanelExtraHeight = 20;

constexpr int kListTop = CMainWindow::kBandHeight + kWaveformHeight;
constexpr int kRightColumnLeft = kMargin + kListWidth + kColumnGap;
constexpr int kRightColumnWidth = kClientWidth - kRightColumnLeft - kMargin;
constexpr int kButtonRowTop = kListTop + kListHeight + kButtonRowGap;
constexpr int kTagPanelFrameTop = kButtonRowTop + kMainButtonHeight + kButtonRowGap + kMargin;
// Built with the panel's room; set-up folds it away.
constexpr int kFullClientHeight = kTagPanelFrameTop + kTagPanelFrameHeight + kMargin + 4;

struct ButtonSkin
{
    int id;
    const char* text;
    int up;
    int down;
    bool latching;
};

constexpr const char* kKeepScheduleQuestion =
    "A daily recording schedule is set.\n\nKeep recording on schedule from the tray? Sorvane then goes on "
    "running in the system tray; choose No to end Sorvane and its schedule.";
constexpr const char* kEndScheduleQuestion =
    "A daily recording schedule is set. When Sorvane ends, no recording starts on schedule until it "
    "runs again.\n\nEnd the schedule and close Sorvane?";
constexpr const char* kInTrayText = "Sorvane keeps recording on schedule from the tray.";
constexpr const char* kScheduledStartText = "Scheduled recording started: %1";
constexpr const char* kScheduledEndText = "Scheduled recording ended.";

constexpr ButtonSkin kRecordSkin{CommandId::kRecordButton, "Record", 138, 137, true};
constexpr ButtonSkin kPauseSkin{CommandId::kPauseButton, "Pause", 139, 140, true};
constexpr ButtonSkin kStopSkin{CommandId::kStopButton, "Stop", 141, 142, false};
constexpr ButtonSkin kOptionSkin{CommandId::kOptionButton, "Option", 152, 155, false};
constexpr ButtonSkin kPlaySkin{CommandId::kPlayButton, "Play", 154, 153, false};
constexpr ButtonSkin kTagToggleSkin{CommandId::kTagEditToggleButton, "Open/Close Tag Edit", 178, 179, false};

QImage LoadBitmap(int id)
{
    return QImage(QStringLiteral(":/bitmap/%1.png").arg(id));
}

// The same picture at twice the pixels, for high-density screens (device pixel ratio 2).
QImage LoadDoubleBitmap(int id)
{
    QImage picture(QStringLiteral(":/bitmap/%1@2x.png").arg(id));
    picture.setDevicePixelRatio(2);
    return picture;
}
} // namespace

CMainWindow::CMainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_controller(std::make_unique<CRecordingController>())
    , m_inputPreview(std::make_unique<CInputLevelPreview>(m_controller->PeakMeter()))
    , m_tile(LoadBitmap(kTileId))
    , m_band(LoadBitmap(kBandPictureId))
    , m_tileDouble(LoadDoubleBitmap(kTileId))
    , m_bandDouble(LoadDoubleBitmap(kBandPictureId))
{
    ControlId::Set(this, kDialogId);
    setWindowTitle(QLatin1String(kTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icon/%1.png").arg(kIconId)));
    setFixedSize(kClientWidth, kFullClientHeight);

    CreateControls();
    SkinDialogControls(this);
    CreateButtons();
    BuildDispatcher();
    ConnectController();
    ConnectTray();
    // Folded away until the user asks for it.
    ToggleTagPanel(true);
    m_controller->SetScheduleActive(true);
    SetKeyHook(this);
    // What an interrupted run left unfinished is filed (and listed) now.
    m_controller->RecoverOrphanedRecordings();
}

CMainWindow::~CMainWindow()
{
    Shutdown();
}

void CMainWindow::Shutdown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    m_inputPreview->Stop();
    m_controller->Stop();
    m_list->SaveToSettings(CRecordSettings::Instance());
    m_controller->SetScheduleActive(false);
    FreeKeyHook();
}

void CMainWindow::closeEvent(QCloseEvent* event)
{
    // The window closes only through Exit and the close button, which end the application (or,
    // with a schedule kept in the tray, hide it).
    event->ignore();
    RequestClose();
}

void CMainWindow::RequestClose()
{
    if (CRecordSettings::Instance().Schedule().empty()) {
        emit quitRequested();
        return;
    }
    DialogSeams::MessageRequest question;
    question.icon = QMessageBox::Question;
    if (CTrayPresence::IsAvailable()) {
        question.text = QString::fromLatin1(kKeepScheduleQuestion);
        question.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        question.defaultButton = QMessageBox::Yes;
        const QMessageBox::StandardButton answer = DialogSeams::ShowMessage(this, question);
        if (answer == QMessageBox::Yes) {
            hide();
            // Said once, where the window went: the program has not ended.
            m_tray->Notify(QString::fromLatin1(kInTrayText));
        } else if (answer == QMessageBox::No) {
            emit quitRequested();
        }
        return;
    }
    question.text = QString::fromLatin1(kEndScheduleQuestion);
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::No;
    if (DialogSeams::ShowMessage(this, question) == QMessageBox::Yes) {
        emit quitRequested();
    }
}

void CMainWindow::BringForward()
{
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void CMainWindow::OpenFromOutside(const QStringList& paths)
{
    BringForward();
    if (!paths.isEmpty()) {
        m_list->AddOutsideFiles(paths);
    }
}

// --- controls

void CMainWindow::CreateControls()
{
    m_elapsedLabel = new CElapsedTimeLabel(this, true);
    m_elapsedLabel->setGeometry(QRect(QPoint(kClientWidth - kTimePanelLeftGap, 0),
                                      QPoint(kClientWidth - kTimeLabelRightGap - 1, kBandHeight - 1)));
    m_list = new CRecordingsList(this);
    ControlId::Set(m_list, MainControlId::kRecordingsList);
    m_list->setGeometry(kMargin, kListTop, kListWidth, kListHeight);
    m_list->setAccessibleName(QStringLiteral("Recordings"));
    QElapsedTimer fill;
    fill.start();
    m_list->FillFromSettings(CRecordSettings::Instance());
    m_listFillMs = fill.elapsed();
    m_listFillCount = int(CRecordSettings::Instance().Recordings().size());

    auto* menuBar = new CMenuXP(this);
    ControlId::Set(menuBar, MainControlId::kMenuBar);
    menuBar->setGeometry(kLogoWidth, 0, kClientWidth - kMenuBarRightGap - kLogoWidth, kBandHeight);
    menuBar->SetMenu(Menus::MainMenu());
    menuBar->SetCommandTarget(this);
    MenuItemQueries queries;
    queries.isChecked = [](int id) { return id == CommandId::kPlayLoop && CRecordSettings::Instance().PlayLoop(); };
    queries.isEnabled = [this](int id) {
        if (id == CommandId::kShowRecordings) {
            return m_list->ShowsPlayerFiles();
        }
        return id != CommandId::kUpdatePlayerOrder || PlayerTransferCommands::CanUpdatePlayerOrder(*m_list);
    };
    // Joining needs something to join; every other item keeps the answer given above.
    queries.isEnabled = [this, others = std::move(queries.isEnabled)](int id) {
        if (id != CommandId::kJoin) {
            return !others || others(id);
        }
        QStringList selected;
        return m_list->SelectedPaths(selected) > 0;
    };
    menuBar->SetItemQueries(std::move(queries));

    m_captionButtons = new CCaptionButtons(this);
    connect(m_captionButtons, &CCaptionButtons::closeClicked, this, &CMainWindow::RequestClose);
    connect(m_captionButtons, &CCaptionButtons::minimizeClicked, this, &QWidget::showMinimized);

    m_sourcePanel = new CRecordSourcePanel(this);
    m_sourcePanel->setGeometry(kRightColumnLeft, kBandHeight + kMargin, kRightColumnWidth,
                               kSourcePanelHeight - kMargin);
    m_sourcePanel->Bind();

    const int boxTop = kBandHeight + kSourcePanelHeight + kMargin;
    auto* recordFileLabel = new QLabel(QStringLiteral("Record File"), this);
    // A larger desktop font gets taller rows rather than cut letters.
    const int labelHeight = std::max(kRecordFileLabelHeight, recordFileLabel->sizeHint().height());
    recordFileLabel->setGeometry(kRightColumnLeft, boxTop, kRightColumnWidth, labelHeight);
    m_recordFileBox = new QLineEdit(this);
    ControlId::Set(m_recordFileBox, kRecordFileBoxId);
    recordFileLabel->setBuddy(m_recordFileBox);
    const int boxHeight = std::max(kRecordFileBoxHeight, m_recordFileBox->sizeHint().height());
    m_recordFileBox->setGeometry(kRightColumnLeft, boxTop + labelHeight, kRightColumnWidth, boxHeight);
    connect(m_recordFileBox, &QLineEdit::textEdited, m_controller.get(), &CRecordingController::SetRecordFileText);
    connect(m_controller.get(), &CRecordingController::recordFileTextChanged, m_recordFileBox,
            [this](const QString& text) {
                if (m_recordFileBox->text() != text) {
                    m_recordFileBox->setText(text);
                }
            });

    m_levelMeter = new CLevelMeter(this);
    m_levelMeter->setGeometry(LevelMeterRect());
    connect(m_levelMeter, &CLevelMeter::clipClearRequested, this, [this] {
        m_controller->PeakMeter().Reset();
        UpdateLevelMeter();
    });
    m_levelMeterTimer.setInterval(kLevelMeterIntervalMs);
    connect(&m_levelMeterTimer, &QTimer::timeout, this, &CMainWindow::UpdateLevelMeter);
    m_levelMeterClock.start();
    connect(m_sourcePanel, &CRecordSourcePanel::sourceSelected, this, &CMainWindow::RestartInputPreview);

    m_tagPanelFrame = new QFrame(this);
    ControlId::Set(m_tagPanelFrame, MainControlId::kTagPanelFrame);
    m_tagPanelFrame->setGeometry(kMargin, kTagPanelFrameTop, kClientWidth - 2 * kMargin, kTagPanelFrameHeight);
    // Only a placeholder: the tag panel takes its place.
    m_tagPanelFrame->hide();
    m_tagPanel = new CTagListenPanel(this);
    m_tagPanel->setGeometry(m_tagPanelFrame->geometry());
    // Shown in the window as built; set-up then folds it away with the toggle.
    m_tagPanel->show();
    m_tagPanel->SetSelectedFileProvider([this] { return m_list->SelectedPath(); });
    connect(m_list, &CRecordingsList::selectedPathChanged, m_tagPanel, &CTagListenPanel::SetTagFile);
}

void CMainWindow::CreateButtons()
{
    const auto make = [this](const ButtonSkin& skin) {
        auto* button = new CSkinButton(this);
        ControlId::Set(button, skin.id);
        button->setText(QLatin1String(skin.text));
        button->LoadSkin(skin.up, skin.down);
        button->SetToggleMode(skin.latching);
        const int id = skin.id;
        connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
        return button;
    };
    m_recordButton = make(kRecordSkin);
    m_pauseButton = make(kPauseSkin);
    m_stopButton = make(kStopSkin);
    m_optionButton = make(kOptionSkin);
    m_playButton = make(kPlaySkin);
    m_tagToggleButton = make(kTagToggleSkin);

    int left = kMargin;
    for (CSkinButton* button : {m_recordButton, m_pauseButton, m_stopButton, m_optionButton, m_playButton}) {
        button->setGeometry(left, kButtonRowTop, kMainButtonWidth, kMainButtonHeight);
        left += kMainButtonWidth + kButtonSpacing;
    }
    m_tagToggleButton->move(kClientWidth - kMargin - m_tagToggleButton->width(), kButtonRowTop);
    m_pauseButton->setEnabled(false);
}

// --- commands

void CMainWindow::Route(std::initializer_list<int> ids, Handler handler)
{
    for (const int id : ids) {
        m_handlers[id] = handler;
    }
}

void CMainWindow::BuildDispatcher()
{
    using namespace CommandId;
    const auto selectedPaths = [this] {
        QStringList selected;
        m_list->SelectedPaths(selected);
        return selected;
    };
    Route({kRecordButton}, [this] { RecordFromButton(); });
    Route({kRecord}, [this] { RecordFromMenu(); });
    Route({kPauseButton, kPause}, [this] { TogglePause(); });
    Route({kStopButton, kStop}, [this] { StopRecording(); });
    Route({kPlayButton}, [this] { PlaySelected(); });
    Route({kTagEditToggleButton}, [this] { ToggleTagPanel(true); });
    Route({kExit}, [this] { emit quitRequested(); });
    Route({kPlayLoop}, [this] { TogglePlayLoop(); });
    Route({kVolumeControl}, [this] { CDesktopLauncher::StartVolumeControl(this); });
    Route({kSystemSetting}, [this] { CDesktopLauncher::StartSoundSettings(this); });
    Route({kHelp}, [this] { CDesktopLauncher::OpenHelp(this); });
    Route({kHomepage}, [this] { CDesktopLauncher::OpenHomepage(this); });
    Route({kSupport}, [this] { CDesktopLauncher::OpenSupportMail(this); });
    Route({kAbout}, [this] { ShowAbout(); });
    Route({kOptionButton, kFormatSetup}, [this] { RunFormatSetup(); });
    Route({kSilenceDetector}, [this] { CVoiceActivationDialog::Run(this); });
    Route({kTimeRecordSetup}, [this] { CTimeRecordSetupDialog::Run(this); });
    Route({kLoadPlayerFiles}, [this] { PlayerTransferCommands::LoadPlayerFiles(this, *m_list); });
    Route({kUpdatePlayerOrder}, [this] { PlayerTransferCommands::UpdatePlayerOrder(this, *m_list); });
    Route({kShowRecordings}, [this] { m_list->ShowRecordings(); });
    Route({kMp3ToWav}, [this] {
        QStringList selected;
        m_list->SelectedPaths(selected);
        Mp3ToWavCommand::Run(this, selected);
    });
    Route({kChangeBitrate}, [this, selectedPaths] {
        const QStringList paths = selectedPaths();
        Mp3EditCommands::ChangeBitrate(this, paths);
        // Re-encoded in place (also a part of them when the job was cancelled): new sizes.
        m_list->RefreshFiles(paths);
    });
    Route({kSplit}, [this, selectedPaths] { Mp3EditCommands::Split(this, selectedPaths()); });
    Route({kJoin}, [this, selectedPaths] { Mp3EditCommands::Join(this, selectedPaths()); });
    Route({kWavToMp3}, [this] { WavToMp3Command::Run(this); });
    Route({kCutAndPlay}, [this] { CCutPlayDlg::Run(this, m_list->SelectedPath()); });
}

bool CMainWindow::OnCommand(int commandId)
{
    const auto handler = m_handlers.find(commandId);
    if (handler != m_handlers.end()) {
        handler->second();
        return true;
    }
    if (CRecordingsList::IsListCommand(commandId)) {
        return m_list->HandleCommand(commandId);
    }
    if (commandId >= CommandId::kFirstSourceRadio && commandId <= CommandId::kLastSourceRadio) {
        SelectRecordSource(commandId - CommandId::kFirstSourceRadio);
        return true;
    }
    return false;
}

bool CMainWindow::event(QEvent* event)
{
    const int type = int(event->type());
    if (type == AppEventType::kCommand) {
        if (const auto* command = dynamic_cast<const CAppEvent*>(event)) {
            OnCommand(int(command->WParam()));
        }
        return true;
    }
    if (type == AppEventType::kSilenceNewFile) {
        m_controller->ContinueInNewFile();
        return true;
    }
    if (type == AppEventType::kSourceSelected) {
        ReapplyRecordSource();
        return true;
    }
    return QWidget::event(event);
}

void CMainWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter and Escape do nothing here: the window ends only through Exit and close.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// --- recording

void CMainWindow::ConnectTray()
{
    m_tray = new CTrayPresence(this);
    connect(m_tray, &CTrayPresence::commandRequested, this, [this](int id) { OnCommand(id); });
    connect(m_tray, &CTrayPresence::showRequested, this, &CMainWindow::BringForward);
    connect(m_tray, &CTrayPresence::exitRequested, this, &CMainWindow::quitRequested);

    CRecordingController* controller = m_controller.get();
    connect(controller, &CRecordingController::scheduledStartDue, this, [this] { m_scheduledStartPending = true; });
    connect(controller, &CRecordingController::scheduledStopDue, this, [this] { m_scheduledStopPending = true; });
    connect(controller, &CRecordingController::recordingStarted, this, [this](const QString& path) {
        UpdateTray();
        if (std::exchange(m_scheduledStartPending, false) && m_controller->StartFailureText().isEmpty()) {
            m_tray->Notify(QString::fromLatin1(kScheduledStartText).arg(QFileInfo(path).fileName()));
        }
    });
    connect(controller, &CRecordingController::recordingStopped, this, [this] {
        UpdateTray();
        m_scheduledStartPending = false;
        if (std::exchange(m_scheduledStopPending, false)) {
            m_tray->Notify(QString::fromLatin1(kScheduledEndText));
        }
    });
    connect(controller, &CRecordingController::pausedChanged, this, &CMainWindow::UpdateTray);
    connect(controller, &CRecordingController::elapsedTextChanged, this, &CMainWindow::UpdateTray);
    connect(controller, &CRecordingController::soundLost, m_tray, &CTrayPresence::Notify);
}

void CMainWindow::UpdateTray()
{
    m_tray->SetRecordingState(m_controller->IsRecording(), m_controller->IsPaused(), m_controller->ElapsedText());
}

void CMainWindow::ConnectController()
{
    CRecordingController* controller = m_controller.get();
    // Every start, whether by the user, the schedule or a long silence, records from the source
    // the panel shows checked, whatever changed the sound system's default meanwhile.
    connect(controller, &CRecordingController::recordingStarting, this, &CMainWindow::ReapplyRecordSource);
    // The recording takes over the source (and the meter) from the preview.
    // A start that fails (the schedule's too) hands it back once it has run its course.
    connect(controller, &CRecordingController::recordingStarting, this, [this] {
        m_inputPreview->Stop();
        QMetaObject::invokeMethod(this, &CMainWindow::UpdateInputPreview, Qt::QueuedConnection);
    });
    connect(controller, &CRecordingController::recordingStarted, this, &CMainWindow::OnRecordingStarted);
    connect(controller, &CRecordingController::recordingStopped, this, &CMainWindow::OnRecordingStopped);
    connect(controller, &CRecordingController::pausedChanged, this, &CMainWindow::OnPausedChanged);
    connect(controller, &CRecordingController::elapsedTextChanged, this, &CMainWindow::OnElapsedTextChanged);
    connect(controller, &CRecordingController::waveformChanged, this, [this] { update(WaveformRect()); });
    connect(controller, &CRecordingController::recordingFiled, m_list, &CRecordingsList::AddRecording);
    connect(controller, &CRecordingController::scheduledStartDue, this, [this] { m_recordButton->SetHeldDown(true); });
    connect(controller, &CRecordingController::messageToShow, this,
            [this](const QString& text) { DialogSeams::ShowMessage(this, text, QMessageBox::Warning); });
    // Queued: a recording that continues in a new file is under way again before the box shows.
    connect(
        controller, &CRecordingController::soundLost, this,
        [this](const QString& text) { DialogSeams::ShowMessage(this, text, QMessageBox::Warning); },
        Qt::QueuedConnection);
}

void CMainWindow::RecordFromButton()
{
    m_controller->Record();
    // A start that found no free name leaves nothing running; the button must not say otherwise.
    m_recordButton->SetHeldDown(m_controller->IsRecording());
}

void CMainWindow::RecordFromMenu()
{
    m_recordButton->SetHeldDown(true);
    RecordFromButton();
}

void CMainWindow::TogglePause()
{
    m_controller->TogglePause();
    // The button flipped its own look on a click; the state decides what it shows.
    m_pauseButton->SetHeldDown(m_controller->IsRecording() && m_controller->IsPaused());
}

void CMainWindow::StopRecording()
{
    m_controller->Stop();
}

void CMainWindow::OnRecordingStarted()
{
    // Also for the schedule's starts and the continuation files of long silences, which no
    // click pressed the button for.
    m_recordButton->SetHeldDown(true);
    m_recordButton->setEnabled(false);
    m_pauseButton->setEnabled(true);
    m_levelMeterTimer.start();
    if (!m_controller->StartFailureText().isEmpty()) {
        // Told after the start has run its course, so the stop does not run inside it.
        QMetaObject::invokeMethod(this, &CMainWindow::ReportStartFailure, Qt::QueuedConnection);
    }
}

void CMainWindow::ReportStartFailure()
{
    const QString reason = m_controller->StartFailureText();
    if (!m_controller->IsRecording() || reason.isEmpty()) {
        return;
    }
    // A recording that never started is not shown as running: it stops (nothing is filed)
    // and the user hears why.
    StopRecording();
    if (m_reportingStartFailure) {
        return;
    }
    m_reportingStartFailure = true;
    DialogSeams::ShowMessage(this, QStringLiteral("The recording could not start: %1.").arg(reason),
                             QMessageBox::Warning);
    m_reportingStartFailure = false;
}

void CMainWindow::OnRecordingStopped()
{
    // However the recording ended (Stop, a long silence, the schedule, a failure), the title no
    // longer counts its time.
    setWindowTitle(QLatin1String(kTitle));
    m_recordButton->SetHeldDown(false);
    m_recordButton->setEnabled(true);
    m_pauseButton->setEnabled(false);
    m_pauseButton->SetHeldDown(false);
    m_pauseButton->setText(m_controller->PauseCaption());
    m_levelMeterTimer.stop();
    m_levelMeter->Clear();
    update(WaveformRect());
    UpdateInputPreview();
}

bool CMainWindow::IsPreviewingInput() const
{
    return m_inputPreview->IsRunning();
}

void CMainWindow::UpdateInputPreview()
{
    const bool wanted = !m_shutDown && isVisible() && !isMinimized() && !m_controller->IsRecording();
    if (wanted == m_inputPreview->IsRunning()) {
        return;
    }
    // What the last recording left on the meter is not this source's level.
    m_controller->PeakMeter().Reset();
    if (wanted && m_inputPreview->Start(CRecordSettings::Instance().Format())) {
        m_levelMeterTimer.start();
        return;
    }
    m_inputPreview->Stop();
    if (!m_controller->IsRecording()) {
        m_levelMeterTimer.stop();
        m_levelMeter->Clear();
    }
}

void CMainWindow::RestartInputPreview()
{
    // Another source or format: the running stream still listens to the old one.
    m_inputPreview->Stop();
    UpdateInputPreview();
}

void CMainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    UpdateInputPreview();
}

void CMainWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    UpdateInputPreview();
}

void CMainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        UpdateInputPreview();
    }
}

void CMainWindow::UpdateLevelMeter()
{
    const CPeakMeter::Reading reading = m_controller->PeakMeter().Poll(m_levelMeterClock.elapsed());
    m_levelMeter->SetLevels(reading.channels, reading.levelDb, reading.holdDb, reading.clipped);
}

void CMainWindow::OnPausedChanged(bool paused)
{
    m_pauseButton->SetHeldDown(paused);
    m_pauseButton->setText(m_controller->PauseCaption());
}

void CMainWindow::OnElapsedTextChanged(const QString& text)
{
    m_elapsedLabel->SetText(text);
    // The taskbar shows the time while the window is folded away; a restored window has its
    // own label again.
    setWindowTitle(isMinimized() ? text : QLatin1String(kTitle));
}

// --- panels and tools

bool CMainWindow::IsTagPanelShown() const
{
    return !m_tagPanel->isHidden();
}

void CMainWindow::ToggleTagPanel(bool allowHide)
{
    const int change = m_tagPanelFrame->height() + kTagPanelExtraHeight;
    if (m_tagPanel->isHidden()) {
        setFixedSize(width(), height() + change);
        m_tagPanel->show();
    } else if (allowHide) {
        m_tagPanel->hide();
        setFixedSize(width(), height() - change);
    }
}

void CMainWindow::PlaySelected()
{
    m_tagPanel->ListenSelected();
    ToggleTagPanel(false);
}

void CMainWindow::TogglePlayLoop()
{
    CRecordSettings& settings = CRecordSettings::Instance();
    settings.SetPlayLoop(!settings.PlayLoop());
}

void CMainWindow::RunFormatSetup()
{
    if (CRecordFormatDialog::Run(this)) {
        // Another device may have been chosen: fill the source rows again and apply the level.
        m_sourcePanel->Rebind();
        RestartInputPreview();
        update();
    }
}

void CMainWindow::ShowAbout()
{
    auto* about = new CAboutDialog(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void CMainWindow::SelectRecordSource(int index)
{
    m_sourcePanel->SelectSource(index);
}

void CMainWindow::ReapplyRecordSource()
{
    if (m_sourcePanel->SourceCount() > 0) {
        m_sourcePanel->SelectSource(m_sourcePanel->SelectedIndex());
    }
}

// --- painting and dragging

bool CMainWindow::HighDensity() const
{
    return devicePixelRatioF() > 1.0;
}

QRect CMainWindow::WaveformRect() const
{
    return QRect(kMargin, kBandHeight, kListWidth - kLevelMeterWidth - kLevelMeterGap, kListTop - kBandHeight);
}

QRect CMainWindow::LevelMeterRect() const
{
    return QRect(kMargin + kListWidth - kLevelMeterWidth, kBandHeight, kLevelMeterWidth, kListTop - kBandHeight);
}

QPolygon CMainWindow::LeftDragArea() const
{
    return QPolygon(
        {QPoint(0, kBandHeight), QPoint(0, 0), QPoint(kLogoWidth, 0), QPoint(kLogoWidth - kSlant, kBandHeight)});
}

QPolygon CMainWindow::RightDragArea() const
{
    const int right = width();
    return QPolygon({QPoint(right - kMenuBarRightGap, kBandHeight), QPoint(right - kTimePanelLeftGap, 0),
                     QPoint(right, 0), QPoint(right, kBandHeight)});
}

bool CMainWindow::IsDragPoint(const QPoint& point) const
{
    if (LeftDragArea().containsPoint(point, Qt::OddEvenFill)) {
        return true;
    }
    return RightDragArea().containsPoint(point, Qt::OddEvenFill) &&
           m_captionButtons->ButtonAt(point) == CCaptionButtons::kNone;
}

void CMainWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && IsDragPoint(event->position().toPoint()) && windowHandle()) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CMainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_captionButtons->PlaceInOwner();
    RebuildBackground();
}

void CMainWindow::RebuildBackground()
{
    if (m_tile.isNull()) {
        return;
    }
    // The skin under every control: the tile repeated from the top-left corner in whole tiles.
    QImage background(size(), QImage::Format_RGB32);
    QPainter painter(&background);
    painter.drawTiledPixmap(background.rect(), QPixmap::fromImage(m_tile));
    painter.end();
    m_background = background;
    SkinBackground::Publish(this, m_background);
}

void CMainWindow::PaintBand(QPainter& painter) const
{
    const int right = width();
    painter.fillRect(QRect(0, 0, right, kBandHeight), kBandColour);
    const QImage& band = HighDensity() && !m_bandDouble.isNull() ? m_bandDouble : m_band;
    if (!band.isNull()) {
        painter.drawImage(QPoint(0, 0), band);
    }
    const auto slantedPanel = [&](int left, int panelRight, const QColor& colour) {
        const QPolygon panel({QPoint(panelRight - kSlant, kBandHeight), QPoint(panelRight, 0), QPoint(left, 0),
                              QPoint(left - kSlant, kBandHeight)});
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(panel);
    };
    slantedPanel(kLogoWidth, right - kTimePanelLeftGap, kMenuPanelColour);
    slantedPanel(right - kTimePanelLeftGap, right - kTimePanelRightGap, kTimePanelColour);
}

void CMainWindow::PaintWaveform(QPainter& painter) const
{
    const QRect area = WaveformRect();
    painter.fillRect(area, kWaveformBackground);
    const std::vector<QPoint> points = m_controller->WaveformPolyline(area);
    if (points.size() < 2) {
        return;
    }
    painter.setClipRect(area);
    painter.setPen(QPen(kWaveformPen, 1));
    painter.drawPolyline(points.data(), int(points.size()));
    painter.setClipping(false);
}

void CMainWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_background.isNull()) {
        if (HighDensity() && !m_tileDouble.isNull()) {
            // The same tiling as the published skin, drawn from the sharper picture.
            painter.drawTiledPixmap(rect(), QPixmap::fromImage(m_tileDouble));
        } else {
            painter.drawImage(QPoint(0, 0), m_background);
        }
        PaintBand(painter);
    }
    PaintWaveform(painter);
    painter.end();
    if (!m_painted) {
        m_painted = true;
        emit firstPainted();
    }
}
