#pragma once

#include <QDialog>

class CEditCtrl;
class QComboBox;
class QLineEdit;

// Dialog 146, "Wav to Mp3 Convert": the WAV file to read, the MP3 file to write and the bit
// rate. The two file boxes are filled only by their "..." buttons, each of which remembers the
// folder it was last used in.
class CWavToMp3Dialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 146;
    static constexpr int kBitrateComboId = 1053;
    static constexpr int kVolumeId = 1041;
    static constexpr int kWavEditId = 1056;
    static constexpr int kMp3EditId = 1058;
    static constexpr int kWavBrowseId = 1059;
    static constexpr int kMp3BrowseId = 1060;
    static constexpr int kOkButtonId = 1;
    static constexpr int kCancelButtonId = 2;

    explicit CWavToMp3Dialog(QWidget* parent = nullptr);

    QString WavPath() const;
    QString Mp3Path() const;
    // True when the MP3 path names an existing file the user agreed to replace.
    bool ReplaceAgreed() const { return m_replaceAgreed; }
    // Index into BitrateTable.
    int BitrateIndex() const;
    double VolumeScale() const;

private:
    void CreateControls();
    void BrowseWav();
    void BrowseMp3();

    QComboBox* m_bitrate = nullptr;
    CEditCtrl* m_volume = nullptr;
    QLineEdit* m_wavPath = nullptr;
    QLineEdit* m_mp3Path = nullptr;
    bool m_replaceAgreed = false;
};
