#pragma once

#include <QObject>

class QLabel;
class QRect;
class QWidget;

// Paints a static text (QLabel) or a group box (QGroupBox) straight onto the skin behind it:
// no background, the text moved 5 pixels right and word-wrapped as the label's alignment says;
// a group box also gets an etched grey-and-white frame broken for its title. Attached to the
// existing widget, which keeps its API (setText() and friends repaint as usual).
class CTransparentStatic : public QObject
{
    Q_OBJECT

public:
    // Skins a QLabel or QGroupBox; nullptr for any other widget. When it is skinned already,
    // returns its existing skin.
    static CTransparentStatic* Attach(QWidget* staticOrGroupBox);
    static CTransparentStatic* Of(const QWidget* widget);

    bool IsGroupBox() const { return m_groupBox; }

    // Where and how a skinned label draws its text.
    static QRect TextRect(const QLabel* label);
    static int TextFlags(const QLabel* label);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CTransparentStatic(QWidget* widget, bool groupBox);
    void PaintStatic();
    void PaintGroupBox();

    QWidget* m_widget;
    bool m_groupBox;
};
