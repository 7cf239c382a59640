#pragma once

#include <QObject>

class QAbstractButton;
class QRadioButton;
class QString;
class QWidget;

// The round radio button drawn over a skin. It is attached to a QRadioButton (the way a window
// is subclassed), so code that already holds the QRadioButton keeps using it: isChecked(),
// setChecked(), toggled() and clicked() all still work, and the skin object dies with it.
//  - Checking it unchecks every other radio button among its siblings, also ones meant as
//    another group, and also siblings that are not skinned.
//  - A click tells the parent with CAppEvent 0x488 (AppEventType::kSourceSelected, both
//    parameters 0), sent at once, after the button has been checked.
//  - CAppEvent 0x500 (kUncheckYourself) sent to the button unchecks it.
//  - Clicking a checked button leaves it checked.
class CRecordRedioBtn : public QObject
{
    Q_OBJECT

public:
    static constexpr int kUncheckYourself = 0x500;

    // A new skinned radio button.
    static QRadioButton* Create(const QString& text, QWidget* parent);
    // Skins `button`; when it is skinned already, returns its existing skin and changes nothing.
    static CRecordRedioBtn* Attach(QRadioButton* button);
    // The skin of `button`, or nullptr.
    static CRecordRedioBtn* Of(const QAbstractButton* button);

    QRadioButton* Button() const { return m_button; }
    bool GetCheck() const;
    // Setting the state the button already has does nothing unless `force` is given, in which case
    // the siblings are cleared and the button repainted anyway.
    void SetCheck(bool checked, bool force = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CRecordRedioBtn(QRadioButton* button);
    void ClearRadioSiblings();
    void Uncheck();
    void Paint();

    QRadioButton* m_button;
};
