#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>

class CWaveData;
class CWaveEditCtrl;
class CWavePlayer;
class QTemporaryDir;
class QScrollBar;
class QTimer;
class QToolBar;
class QAction;
class QLabel;

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
    // The selection's start, end and length (or the caret's place) under the waveform.
    QLabel* Readout() const { return m_readout; }
    // The readout's text for the store's present selection; empty when no file is shown.
    static QString ReadoutText(const CWaveData& data);
    // The toolbar's action for a command id (tests press them).
    QAction* CommandAction(int commandId) const;
    // The tooltip text of a toolbar command; empty for any other id.
    static QString TooltipText(int commandId);

    // Runs a command as the toolbar would.
    void OnCommand(int commandId);

public slots:
    // Every way of ending the dialog (Esc, close box) ends playback and drops the cache.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct PlayRange
    {
        std::int64_t start = 0;
        std::int64_t end = 0;
    };

    void CreateControls();
    void AddCommand(int commandId, int bitmapId, bool checkable);
    // Loads the working file into the wave control and resets the scroll bar; false (and the
    // user told) when it cannot be shown.
    bool ShowWorkingFile();
    void UpdateScrollBar();
    void UpdateReadout();
    // Tells the user the file cannot be shown; the reason may be empty.
    void ReportCannotOpen(const QString& path);
    // The selection in bytes; no selection = the whole file, a caret only = caret to the end.
    PlayRange SelectedRange() const;
    bool HasWorkingFile() const;
    // Makes path the working file, deleting a temporary one it replaces.
    void ReplaceWorkingFile(const QString& path, bool temporary);
    void DeleteTemporaryWorkingFile();
    QString WorkingCacheFile() const;

    void OpenAudioFile();
    void SaveSelection();
    bool SaveSelectionAsMp3(const QString& path, const PlayRange& range, int bitrateKbps);
    bool SaveSelectionAsWav(const QString& path, const PlayRange& range);
    void PlaySelection();
    bool StartPlayer();
    void OnPlayTick();
    void FinishPlayback();
    void EndSession();

    QString m_workingFile;
    QScrollBar* m_scrollBar = nullptr;
    bool m_stopRequest = false;
    QToolBar* m_toolBar = nullptr;
    bool m_repeat = true;
    CWaveEditCtrl* m_waveEdit = nullptr;
    QLabel* m_readout = nullptr;
    std::unique_ptr<CWavePlayer> m_player;
    QTimer* m_playTimer = nullptr;
    PlayRange m_playRange;
    // Only a file this dialog decoded is ever deleted: a WAV the user opened is theirs, even
    // when it lives in the temporary folder.
    bool m_workingFileIsTemporary = false;
    // A folder of the dialog's own inside the temporary folder, made at the first decode: a
    // user's file of the same name in the temporary folder is never overwritten or deleted.
    std::unique_ptr<QTemporaryDir> m_decodeFolder;
};
