#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

class QImage;

// The blue elapsed-time text drawn over the window's skin: italic on a light panel in the main
// window's title band, plain over the skin in the listen panel. It takes no mouse input, so the
// band stays draggable under it.
class CElapsedTimeLabel : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* kInitialText = "00 : 00";

    CElapsedTimeLabel(QWidget* parent, bool italic);

    void SetText(const QString& text);
    QString Text() const { return m_text; }
    bool IsItalic() const { return m_italic; }
    const QFont& LabelFont() const { return m_font; }
    // Where the text's ink lies in the label as it is drawn now.
    QRect TextInkRect() const;

    // The parent's painted background with the parent's client origin at (0, 0); a plain
    // label copies its rectangle from it. Without one it leaves the parent's painting visible.
    void SetBackgroundSnapshot(const QImage* snapshot);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct TextPlacement
    {
        QFont font;
        QPoint baselineStart;
        QRect ink;
    };

    static QFont MakeFont(bool italic);
    TextPlacement PlaceText() const;

    bool m_italic;
    QString m_text = QLatin1String(kInitialText);
    QFont m_font;
    const QImage* m_snapshot = nullptr;
};
