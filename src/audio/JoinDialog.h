#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

// "Joint Mp3 File": the bit rate and the new MP3 file for joining the selected files.
class CJoinDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 11149;
    static constexpr int kBitrateComboId = 1053;
    static constexpr int kOutputEditId = 1058;
    static constexpr int kBrowseButtonId = 1060;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    // presetIndex indexes BitrateTable.
    explicit CJoinDialog(int presetIndex, QWidget* parent = nullptr);

    // Valid after OK.
    int BitrateKbps() const;
    QString OutputPath() const;
    // True when the output names an existing file the user agreed to replace.
    bool ReplaceAgreed() const { return m_replaceAgreed; }

private:
    // Asks for the output file, starting in the remembered "OpenDir" folder, and remembers
    // the folder of the chosen file.
    void BrowseForOutput();

    QComboBox* m_bitrateCombo;
    QLineEdit* m_outputEdit;
    bool m_replaceAgreed = false;
};
