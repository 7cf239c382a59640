#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class CWaveEditCtrl;
class CWavePlayer;
class QScrollBar;
class QTimer;
class QToolBar;
class QAction;

// "Cut and play what you are interest": shows a sound file as a waveform, plays a selection
// of it (once or repeatedly) and saves the selection as a new MP3 or WAV file. It always works
// on a WAV file: an MP3 is decoded into the temporary folder first, and such a temporary file
// is deleted when it is replaced and when the dialog goes.
class CCutPlayDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 11146;
    static constexpr int kWaveEditId = 1000;
    static constexpr int kScrollBarId = 1001;
    static constexpr int kToolbarFrameId = 1064;
    // Toolbar commands.
    static constexpr int kOpenCommand = 1000;
    static constexpr int kSaveSelectionCommand = 1001;
    static constexpr int kPlaySelectionCommand = 1002;
    static constexpr int kStopCommand = 1003;
    static constexpr int kRepeatCommand = 1004;
    static constexpr int kZoomInCommand = 1005;
    static constexpr int kZoomOutCommand = 1006;

    explicit CCutPlayDlg(QWidget* parent = nullptr);
    ~CCutPlayDlg() override;

    // Decodes an MP3 into the temporary folder (under the "Decode MP3 file" progress window)
    // and makes the result the working file; false leaves the previous working file.
    bool Decode(const QString& mp3Path);
    // The main window's entry: decodes the list's selected file (when there is one) and runs
    // the dialog modally.
    static void Run(QWidget* parent, const QString& selectedFile);

    const QString& WorkingFile() const { return m_workingFile; }
    bool IsPlaying() const;
    bool IsRepeatOn() const { return m_repeat; }
    CWaveEditCtrl* WaveEdit() const { return m_waveEdit; }
    QScrollBar* ScrollBar() const { return m_scrollBar; }
    QToolBar* ToolBar() const { return m_toolBar; }
    // The toolbar's action for a command id (tests press them).
    QAction* CommandAction(int commandId) const;
    // The tooltip text of a toolbar command; empty for any other id.
    static QString TooltipText(int commandId);

    // Runs a command as the toolbar would.
    void OnCommand(int commandId);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // (helper: add private members and functions here as needed)
    QString m_workingFile;
    QScrollBar* m_scrollBar = nullptr;
    bool m_stopRequest = false;
    QToolBar* m_toolBar = nullptr;
    bool m_repeat = true;
    CWaveEditCtrl* m_waveEdit = nullptr;
    std::unique_ptr<CWavePlayer> m_player;
};
