#pragma once

#include <QObject>

class QCheckBox;
class QString;
class QWidget;

// The square check box drawn over a skin: a sunken box with the check mark picture
// ":/bitmap/185.png" when checked, and the text beside it without any background. Attached to
// a QCheckBox like CRecordRedioBtn, so the QCheckBox keeps its API and signals; a click toggles.
class CSkinCheckBox : public QObject
{
    Q_OBJECT

public:
    static constexpr int kCheckMarkBitmapId = 185;

    static QCheckBox* Create(const QString& text, QWidget* parent);
    // Skins `box`; when it is skinned already, returns its existing skin.
    static CSkinCheckBox* Attach(QCheckBox* box);
    static CSkinCheckBox* Of(const QCheckBox* box);

    QCheckBox* Box() const { return m_box; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CSkinCheckBox(QCheckBox* box);
    void Paint();

    QCheckBox* m_box;
};
