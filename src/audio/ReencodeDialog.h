#pragma once

#include <QDialog>

class CEditCtrl;
class QHBoxLayout;
class QComboBox;

// "Change bitrate/Volume": the bit rate and volume scale for re-encoding the selected files.
class CReencodeDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 145;
    static constexpr int kBitrateComboId = 1053;
    static constexpr int kVolumeEditId = 1041;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    static constexpr double kMinVolume = 0.1;
    static constexpr double kMaxVolume = 10.0;
    static constexpr int kVolumeWidth = 4;
    static constexpr int kVolumeDecimals = 2;
    static constexpr double kVolumeStep = 0.01;
    static constexpr double kDefaultVolume = 1.0;

    // presetIndex indexes BitrateTable.
    explicit CReencodeDialog(int presetIndex, QWidget* parent = nullptr);

    // Valid after OK.
    int BitrateKbps() const;
    float VolumeScale() const;

    // Shared with the other dialogs that pick a bit rate: one "%d kbps" entry per BitrateTable
    // entry, with presetIndex selected.
    static QComboBox* CreateBitrateCombo(QWidget* parent, int presetIndex);
    static int BitrateOf(const QComboBox* combo);
    // A volume box with the range, format and step every re-encoding dialog uses, showing 1.0.
    static CEditCtrl* CreateVolumeEdit(QWidget* parent);
    // The OK (default) and Cancel buttons, right-aligned, ending the dialog.
    static QHBoxLayout* CreateOkCancelRow(QDialog* dialog);

private:
    QComboBox* m_bitrateCombo;
    CEditCtrl* m_volumeEdit;
};
