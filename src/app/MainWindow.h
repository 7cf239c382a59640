#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPolygon>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <unordered_map>

class CCaptionButtons;
class CElapsedTimeLabel;
class CRecordingController;
class CRecordingsList;
class CRecordSourcePanel;
class CTagListenPanel;
class CTrayPresence;
class CSkinButton;
class CInputLevelPreview;
class CLevelMeter;
class QFrame;
class QLineEdit;

// Sorvane's one window: the painted title band with its menu bar, elapsed time and caption
// buttons, the live waveform, the recordings list, the record-source panel, the "Record File"
// box, the six skinned buttons and the fold-out tag and listen panel. Every command of its
// menus, buttons, list menu and keyboard reaches one dispatcher keyed by command id, either as
// a CAppEvent of type kCommand (wParam = id) or through OnCommand.
class CMainWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 102;
    static constexpr int kIconId = 128;
    static constexpr int kRecordFileBoxId = 1033;
    static constexpr const char* kTitle = "Sorvane";
    static constexpr int kBandHeight = 31;

    explicit CMainWindow(QWidget* parent = nullptr);
    // Stops and files a running recording, saves the list into the settings and ends the
    // schedule check.
    ~CMainWindow() override;

    // Runs the command; false for an id the window does not know.
    bool OnCommand(int commandId);

    CRecordingController& Controller() const { return *m_controller; }
    CRecordingsList& List() const { return *m_list; }
    CTagListenPanel& TagPanel() const { return *m_tagPanel; }
    CRecordSourcePanel& SourcePanel() const { return *m_sourcePanel; }
    CTrayPresence& Tray() const { return *m_tray; }
    bool IsTagPanelShown() const;
    // The live waveform's rectangle: the list's width, from the band's bottom to the list.
    QRect WaveformRect() const;
    // The input level meter beside the live waveform.
    CLevelMeter& LevelMeter() const { return *m_levelMeter; }
    // The meter shows the source's level although nothing records.
    bool IsPreviewingInput() const;
    QRect LevelMeterRect() const;
    // Points of the title band that drag the window (the grey panels at both ends).
    bool IsDragPoint(const QPoint& point) const;
    const QImage& BackgroundSnapshot() const { return m_background; }
    // How long the start-up fill of the recordings list took, and for how many files.
    qint64 ListFillMilliseconds() const { return m_listFillMs; }
    int ListFillCount() const { return m_listFillCount; }

    // Files handed in from outside (the command line, another start of the program): listed,
    // and the window comes forward.
    void OpenFromOutside(const QStringList& paths);
    // Shows the window (also from the tray), restored and in front.
    void BringForward();
    // The close button and the desktop's close: with a daily schedule set, asks first whether
    // to keep recording on schedule from the tray (or, without a tray, whether to end it).
    void RequestClose();

signals:
    // Exit and the close button: the application ends its event loop.
    void quitRequested();
    // Emitted once, after the window's first paint.
    void firstPainted();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using Handler = std::function<void()>;

    void CreateControls();
    void CreateButtons();
    void ConnectController();
    void BuildDispatcher();
    void Route(std::initializer_list<int> ids, Handler handler);

    // --- recording
    void RecordFromButton();
    void RecordFromMenu();
    void TogglePause();
    void StopRecording();
    void OnRecordingStarted();
    void ReportStartFailure();
    void OnRecordingStopped();
    void OnPausedChanged(bool paused);
    void OnElapsedTextChanged(const QString& text);
    void ConnectTray();
    void UpdateTray();
    void UpdateLevelMeter();
    // The meter listens to the source while the window is in view and nothing records.
    void UpdateInputPreview();
    void RestartInputPreview();

    // --- panels and tools
    void ToggleTagPanel(bool allowHide);
    void PlaySelected();
    void TogglePlayLoop();
    void ShowAbout();
    void RunFormatSetup();
    void SelectRecordSource(int index);
    void ReapplyRecordSource();

    // --- painting
    void RebuildBackground();
    void PaintBand(QPainter& painter) const;
    void PaintWaveform(QPainter& painter) const;
    bool HighDensity() const;
    QPolygon LeftDragArea() const;
    QPolygon RightDragArea() const;

    void Shutdown();

    std::unique_ptr<CRecordingController> m_controller;
    std::unordered_map<int, Handler> m_handlers;

    CSkinButton* m_recordButton = nullptr;
    CSkinButton* m_pauseButton = nullptr;
    CSkinButton* m_stopButton = nullptr;
    CSkinButton* m_optionButton = nullptr;
    CSkinButton* m_playButton = nullptr;
    CSkinButton* m_tagToggleButton = nullptr;
    CElapsedTimeLabel* m_elapsedLabel = nullptr;
    CCaptionButtons* m_captionButtons = nullptr;
    CRecordingsList* m_list = nullptr;
    QLineEdit* m_recordFileBox = nullptr;
    QFrame* m_tagPanelFrame = nullptr;
    CTagListenPanel* m_tagPanel = nullptr;
    CRecordSourcePanel* m_sourcePanel = nullptr;
    CTrayPresence* m_tray = nullptr;
    CLevelMeter* m_levelMeter = nullptr;
    std::unique_ptr<CInputLevelPreview> m_inputPreview;
    QTimer m_levelMeterTimer;
    QElapsedTimer m_levelMeterClock;

    QImage m_tile;
    QImage m_band;
    QImage m_tileDouble;
    QImage m_bandDouble;
    QImage m_background;
    bool m_painted = false;
    bool m_shutDown = false;
    bool m_reportingStartFailure = false;
    // The schedule started or is ending the recording: the user hears of it when it has.
    bool m_scheduledStartPending = false;
    bool m_scheduledStopPending = false;
    qint64 m_listFillMs = 0;
    int m_listFillCount = 0;
};
