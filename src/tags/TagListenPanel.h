#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <unordered_map>

class CClipPlayer;
class CElapsedTimeLabel;
class CSkinButton;
class CSkinSlider;
class QComboBox;
class QGroupBox;
class QLineEdit;

// The fold-out panel under the recordings list (dialog 132). Its "Information" half edits the
// title, artist, album, year, track, comment and genre of the file selected in the list, shown
// from its ID3v2 tag when it has one and saved into all its tags; its "Listen" half plays
// a file through a CClipPlayer with Play, Pause, Stop, Start and End, a position slider, the
// "00:00 / 00:00" time text and a vertical slider for the speakers volume, which is Sorvane's own
// playback volume (never the system's), remembered between runs in the Data folder.
//
// The main window tells the panel which file the list selects (SetTagFile) and asks it to play
// the selection (ListenSelected); the panel asks back for the selection through the provider the
// window installs. Commands arrive as button clicks or as CAppEvents of type kCommand.
class CTagListenPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 132;
    static constexpr int kTitleEditId = 1011;
    static constexpr int kArtistEditId = 1013;
    static constexpr int kAlbumEditId = 1016;
    static constexpr int kGenreListId = 2063;
    static constexpr int kYearEditId = 1017;
    static constexpr int kTrackEditId = 1018;
    static constexpr int kCommentEditId = 1019;
    static constexpr int kRemoveButtonId = 1043;
    static constexpr int kSaveButtonId = 1044;
    static constexpr int kPlayButtonId = 1020;
    static constexpr int kPauseButtonId = 1030;
    static constexpr int kStopButtonId = 1021;
    static constexpr int kStartButtonId = 1024;
    static constexpr int kEndButtonId = 1025;
    static constexpr int kPositionSliderId = 1028;
    static constexpr int kTimeTextId = 1036;
    static constexpr int kVolumeSliderId = 1052;

    static constexpr const char* kInitialTimeText = "00:00 / 00:00";
    static constexpr const char* kWriteErrorText = "*Error* while writing the ID3... oops :(";
    static constexpr const char* kRemoveQuestion = "Are you sure you want to permanently delete the ID3v1??";
    // Said under the question: the ID3v2 tag holds more than the ID3v1 fields, and goes as well.
    static constexpr const char* kRemoveAlsoText =
        "The ID3v2 tag (with any cover art and lyrics) and an APE tag are deleted as well.";

    // The question Remove asks: Sorvane's own, and under it what else goes.
    static QString RemoveQuestionText()
    {
        return QStringLiteral("%1\n\n%2").arg(QLatin1String(kRemoveQuestion), QLatin1String(kRemoveAlsoText));
    }

    // The file the recordings list selects now; empty when none.
    using SelectedFileProvider = std::function<QString()>;

    explicit CTagListenPanel(QWidget* parent = nullptr);
    ~CTagListenPanel() override;

    void SetSelectedFileProvider(SelectedFileProvider provider) { m_selectedFile = std::move(provider); }

    // Shows the tag of `name`; ignored when the name is empty or already shown.
    void SetTagFile(const QString& name);
    // The main window's Play: plays the list's selection, with the Play button held down.
    void ListenSelected();
    // Runs one of the panel's commands; false for an id it does not know.
    bool OnCommand(int commandId);

    QString TagFile() const { return m_tagFile; }
    QString ListenFile() const { return m_listenFile; }
    // The player of the last Play, open or closed; null before the first.
    const CClipPlayer* Player() const { return m_player.get(); }

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    using Handler = std::function<void()>;

    void CreateControls();
    CSkinButton* CreateButton(QWidget* parent, int id, const char* text, int upImage, int downImage);
    void LayOutControls();
    void BindVolumeSlider();
    void RestoreRememberedVolume();
    void RememberVolume();

    // The data exchange of the edits, the genre list and the volume slider.
    void UpdateMembersFromControls();
    void UpdateControlsFromMembers();
    // Shows the speakers volume as it is now.
    void RefreshVolumeSlider();

    void LoadTag();
    void SaveTag();
    void RemoveTag();
    void Play();
    void Stop();
    void SeekStart();
    void SeekEnd();
    void TogglePause();

    void OnModeNotify(std::intptr_t windowId, int mode);
    void OnPositionNotify(std::intptr_t windowId, std::int64_t positionMs);
    void OnListenSeek(std::int64_t positionMs);
    void OnPositionSliderAction(int action);
    void OnVolumeSliderMoved(int position);
    void ShowTime(std::int64_t positionMs);
    bool IsCurrentPlayer(std::intptr_t windowId) const;

    SelectedFileProvider m_selectedFile;
    std::unordered_map<int, Handler> m_handlers;

    QString m_listenFile;
    QString m_tagFile;
    QString m_title;
    QString m_artist;
    QString m_album;
    QString m_comment;
    QString m_year;
    QString m_track;
    int m_genreSelection = -1;
    // The genre as the file has it, kept while the list stays on the entry it showed for it: a
    // name the ID3v1 table lacks ("Podcast") shows as the empty entry and is not lost.
    QString m_loadedGenre;
    int m_loadedGenreSelection = -1;
    std::unique_ptr<CClipPlayer> m_player;
    int m_busy = 0;
    // The speakers volume range; the slider shows maximum - volume, so the top is loudest.
    int m_volumeMinimum = 0;
    int m_volumeMaximum = 0;
    bool m_volumeBound = false;
    bool m_fillingVolume = false;

    QGroupBox* m_informationBox = nullptr;
    QGroupBox* m_listenBox = nullptr;
    QLineEdit* m_titleEdit = nullptr;
    QLineEdit* m_artistEdit = nullptr;
    QLineEdit* m_albumEdit = nullptr;
    QLineEdit* m_yearEdit = nullptr;
    QLineEdit* m_trackEdit = nullptr;
    QLineEdit* m_commentEdit = nullptr;
    QComboBox* m_genreList = nullptr;
    CSkinButton* m_removeButton = nullptr;
    CSkinButton* m_saveButton = nullptr;
    CSkinButton* m_playButton = nullptr;
    CSkinButton* m_pauseButton = nullptr;
    CSkinButton* m_stopButton = nullptr;
    CSkinButton* m_startButton = nullptr;
    CSkinButton* m_endButton = nullptr;
    CSkinSlider* m_positionSlider = nullptr;
    CSkinSlider* m_volumeSlider = nullptr;
    CElapsedTimeLabel* m_timeLabel = nullptr;
};
