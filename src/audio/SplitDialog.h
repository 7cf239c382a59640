#pragma once

#include <QDialog>

class CEditCtrl;

// "Splite": the volume scale and the number of parts for splitting the selected files.
class CSplitDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 144;
    static constexpr int kVolumeEditId = 1041;
    static constexpr int kCountEditId = 1042;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    static constexpr int kMinCount = 2;
    static constexpr int kMaxCount = 100;
    static constexpr int kDefaultCount = 2;
    static constexpr int kCountWidth = 3;

    explicit CSplitDialog(QWidget* parent = nullptr);

    // Valid after OK.
    float VolumeScale() const;
    int SplitCount() const;

private:
    CEditCtrl* m_volumeEdit;
    CEditCtrl* m_countEdit;
};
