#pragma once

#include "wave_editor/WaveArea.h"
#include "wave_editor/WaveData.h"
#include "wave_editor/WaveStyle.h"

#include <QBasicTimer>
#include <QImage>
#include <QWidget>
#include <cstdint>

// The waveform edit control ("MMWaveEditXCtrl"): shows a waveform store, places a blinking
// caret and drags out or resizes a selection with the mouse, and shows the play cursor the
// cut-and-play dialog moves. It sends nothing; its owner reads the selection from the store.
class CWaveEditCtrl : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kBlinkTimerId = 1971;
    static constexpr int kBlinkIntervalMs = 500;
    static constexpr int kEdgeGrabPixels = 4;
    static constexpr int kCursorWidth = 2;

    // Shows `data` (the program's one store unless a test passes its own) and makes this
    // control the store's style source.
    explicit CWaveEditCtrl(QWidget* parent = nullptr, CWaveData* data = nullptr);
    ~CWaveEditCtrl() override;

    // The widget-class registry's factory for "MMWaveEditXCtrl".
    static QWidget* Create(QWidget* parent);

    bool LoadFile(const QString& path);
    // Both keep the selection, or the caret, in view (see CWaveData::ZoomInKeepingFocus).
    void ZoomIn();
    void ZoomOut();
    void SetScroll(int column);
    int ScrollExtent() const;
    // frame -1 hides the play cursor.
    void ShowPlayCursor(std::int64_t frame);

    CWaveData::ByteRange SelectionBytes() const { return m_data->SelectionBytes(); }
    int FrameSize() const { return m_data->FrameSize(); }
    std::int64_t DataLength() const { return m_data->DataLength(); }
    CWaveData& Data() const { return *m_data; }
    const WaveStyle& Style() const { return m_style; }

    // State a test can look at.
    bool IsCaretShown() const { return m_caretShown; }
    bool IsPlayCursorShown() const { return m_playCursorShown; }
    bool IsDragging() const { return m_dragging; }
    bool IsBlinkTimerRunning() const { return m_blinkTimer.isActive(); }
    // The selection as drawn, in client coordinates; left = -1 when none.
    QRect SelectionRect() const { return m_selectionRect; }
    QRect CaretRect() const { return m_caretRect; }
    QRect PlayCursorRect() const { return m_playCursorRect; }

signals:
    // The caret or the selection moved (a click, a drag, a new file).
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // What the cached view image was rendered from; any difference renders it again.
    struct ViewKey
    {
        QString fileName;
        bool loaded = false;
        std::int64_t dataLength = 0;
        int zoom = 0;
        int scroll = 0;
        QSize size;
        qreal pixelRatio = 1.0;
        bool operator==(const ViewKey&) const = default;
    };

    void leaveEvent(QEvent* event) override;

    // The store's area: the whole client below the top strip.
    WaveArea ViewArea() const;
    ViewKey CurrentViewKey() const;
    void RenderViewIfStale();
    // A caret or play cursor at column x, from the ruler's bottom to the client's bottom.
    QRect CursorRectAt(int x) const;
    // The store's selection columns as inverted on screen (below the ruler); none when there is none.
    QRect ClientSelectionRect() const;
    // Shows the caret at the cursor frame's column when that column may carry it, else hides it.
    void PlaceCaret();
    void RestartBlinkTimer();
    void UpdateEdgeFlags(int x);
    void ForgetPlayCursor();

    CWaveData* m_data;
    WaveStyle m_style;
    bool m_caretShown = false;
    bool m_dragging = false;
    bool m_nearRightEdge = false;
    bool m_nearLeftEdge = false;
    bool m_edgeMode = false;
    bool m_playCursorShown = false;
    QRect m_caretRect;
    QRect m_selectionRect;
    QRect m_playCursorRect;
    QBasicTimer m_blinkTimer;
    QImage m_viewImage;
    ViewKey m_viewKey;
    bool m_viewStale = true;
    int m_markerX = -1; // pointer marker column, -1 when hidden
};
