#include "wave_editor/WaveEditCtrl.h"

#include "wave_editor/WaveDataPainter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

namespace
{
// "No rectangle": left (and everything else) -1.
const QRect kNoRect(-1, -1, 0, 0);
// Drawn with white in difference mode, a shape inverts what lies below it and drawing it a
// second time restores it, as the XOR drawing of caret, cursor and selection always did.
const QColor kInvertColour(Qt::white);

QColor StyleColour(std::uint32_t rgb)
{
    return QColor::fromRgb(static_cast<QRgb>(0xFF000000U | rgb));
}

void Invert(QPainter& painter, const QRect& rect)
{
    if (rect.isEmpty())
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(rect, kInvertColour);
    painter.restore();
}
} // namespace

CWaveEditCtrl::CWaveEditCtrl(QWidget* parent, CWaveData* store)
    : QWidget(parent)
    , m_data(store != nullptr ? store : &CWaveData::Global())
    , m_caretRect(kNoRect)
    , m_selectionRect(kNoRect)
    , m_playCursorRect(kNoRect)
{
    m_data->SetStyle(&m_style);
    setMouseTracking(true);
    // Every pixel is painted from the cached view; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CWaveEditCtrl::~CWaveEditCtrl()
{
    // The store outlives this control; it must not keep painting with our style.
    if (&m_data->Style() == &m_style)
        m_data->SetStyle(nullptr);
}

QWidget* CWaveEditCtrl::Create(QWidget* parent)
{
    return new CWaveEditCtrl(parent);
}

bool CWaveEditCtrl::LoadFile(const QString& path)
{
    const bool loaded = m_data->Load(path);
    // A new file replaces the selection, and the old caret and cursor columns mean nothing now.
    m_viewStale = true;
    m_selectionRect = kNoRect;
    m_nearLeftEdge = false;
    m_nearRightEdge = false;
    m_caretShown = false;
    ForgetPlayCursor();
    update();
    emit selectionChanged();
    return loaded;
}

void CWaveEditCtrl::ZoomIn()
{
    m_data->ZoomInKeepingFocus(ViewArea());
    m_blinkTimer.stop();
    m_caretShown = false;
    ForgetPlayCursor();
    update();
    RestartBlinkTimer();
}

void CWaveEditCtrl::ZoomOut()
{
    m_data->ZoomOutKeepingFocus(ViewArea());
    m_blinkTimer.stop();
    m_caretShown = false;
    ForgetPlayCursor();
    update();
    RestartBlinkTimer();
}

void CWaveEditCtrl::SetScroll(int column)
{
    m_data->SetScroll(column < 0 ? 0 : column);
    m_blinkTimer.stop();
    ForgetPlayCursor();
    PlaceCaret();
    update();
    RestartBlinkTimer();
}

int CWaveEditCtrl::ScrollExtent() const
{
    return m_data->ScrollExtent(WaveArea{0, 0, width(), height()});
}

void CWaveEditCtrl::ShowPlayCursor(std::int64_t frame)
{
    const QRect oldRect = m_playCursorShown ? m_playCursorRect : QRect();
    m_playCursorShown = false;
    int x = 0;
    if (frame >= 0 && m_data->ColumnOfFrame(frame, ViewArea(), &x)) {
        m_playCursorRect = CursorRectAt(x);
        m_playCursorShown = true;
    }
    update(oldRect.united(m_playCursorShown ? m_playCursorRect : QRect()));
}

WaveArea CWaveEditCtrl::ViewArea() const
{
    return WaveArea{0, m_style.topStrip, width(), height()};
}

CWaveEditCtrl::ViewKey CWaveEditCtrl::CurrentViewKey() const
{
    return ViewKey{m_data->FileName(), m_data->IsLoaded(), m_data->DataLength(),
                   m_data->Zoom(),     m_data->Scroll(),   size(),
                   devicePixelRatioF()};
}

void CWaveEditCtrl::RenderViewIfStale()
{
    const ViewKey key = CurrentViewKey();
    if (!m_viewStale && key == m_viewKey)
        return;
    m_viewKey = key;
    m_viewStale = false;
    const WaveArea area = ViewArea();
    if (area.Width() <= 0 || area.bottom <= area.top) {
        m_viewImage = QImage();
        return;
    }
    // Rendered at the screen's pixel density; the painter still works in widget units.
    const qreal ratio = key.pixelRatio;
    m_viewImage = QImage(QSize(area.Width(), area.bottom - area.top) * ratio, QImage::Format_RGB32);
    m_viewImage.setDevicePixelRatio(ratio);
    m_viewImage.fill(StyleColour(m_style.backgroundColour));
    QPainter painter(&m_viewImage);
    CWaveDataPainter::Paint(painter, *m_data, area);
}

QRect CWaveEditCtrl::CursorRectAt(int x) const
{
    const int top = m_style.topStrip + m_style.rulerHeight;
    return QRect(x, top, kCursorWidth, height() - top);
}

QRect CWaveEditCtrl::ClientSelectionRect() const
{
    const WaveArea columns = m_data->SelectionColumns(ViewArea());
    if (columns.IsNone())
        return kNoRect;
    // The inverted band leaves the ruler's bottom line alone.
    const int top = m_style.topStrip + m_style.rulerHeight + 1;
    return QRect(columns.left, top, columns.right - columns.left, height() - top);
}

void CWaveEditCtrl::PlaceCaret()
{
    int x = 0;
    m_caretShown = m_data->CaretColumn(ViewArea(), &x);
    const QRect oldRect = m_caretRect;
    if (m_caretShown)
        m_caretRect = CursorRectAt(x);
    update(oldRect.united(m_caretRect));
}

void CWaveEditCtrl::RestartBlinkTimer()
{
    m_blinkTimer.start(kBlinkIntervalMs, this);
}

void CWaveEditCtrl::UpdateEdgeFlags(int x)
{
    m_nearRightEdge = false;
    m_nearLeftEdge = false;
    if (m_selectionRect.left() == -1)
        return;
    const int left = m_selectionRect.left();
    const int right = left + m_selectionRect.width(); // one past the last inverted column
    if (right - kEdgeGrabPixels < x && x < right + kEdgeGrabPixels)
        m_nearRightEdge = true;
    else if (left - kEdgeGrabPixels < x && x < left + kEdgeGrabPixels)
        m_nearLeftEdge = true;
}

void CWaveEditCtrl::ForgetPlayCursor()
{
    // Its column belonged to the old view; the next ShowPlayCursor places it again.
    m_playCursorShown = false;
}

void CWaveEditCtrl::paintEvent(QPaintEvent* /*event*/)
{
    RenderViewIfStale();
    // The store's selection is the truth; what was drawn during a drag may lag behind it.
    if (!m_dragging)
        m_selectionRect = ClientSelectionRect();

    QPainter painter(this);
    const QColor background = StyleColour(m_style.backgroundColour);
    if (m_viewImage.isNull())
        painter.fillRect(rect(), background);
    else
        painter.drawImage(QPoint(0, m_style.topStrip), m_viewImage);

    if (m_selectionRect.left() != -1)
        Invert(painter, m_selectionRect);
    if (m_caretShown)
        Invert(painter, m_caretRect);
    if (m_playCursorShown)
        Invert(painter, m_playCursorRect);

    painter.fillRect(QRect(0, 0, width(), m_style.topStrip), background);
    if (m_markerX >= 0)
        painter.fillRect(QRect(m_markerX, 0, kCursorWidth, m_style.topStrip), StyleColour(m_style.markerColour));
}

void CWaveEditCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    // Like the pointer marker, a drag follows the pointer only inside the control.
    if (!rect().contains(position))
        return;
    const int x = position.x();

    m_markerX = x;
    update(QRect(0, 0, width(), m_style.topStrip));

    if (!m_dragging) {
        // The store may have changed since the last paint (a new file, a scroll).
        m_selectionRect = ClientSelectionRect();
        UpdateEdgeFlags(x);
        if (m_nearLeftEdge || m_nearRightEdge)
            setCursor(Qt::SizeHorCursor);
        else
            unsetCursor();
        return;
    }

    m_blinkTimer.stop();
    const WaveArea area = ViewArea();
    if (m_edgeMode)
        m_data->DragTo(x, area);
    else
        m_data->SetCursorAt(x);
    const QRect oldSelection = m_selectionRect;
    m_selectionRect = ClientSelectionRect();
    update(oldSelection.united(m_selectionRect));
    PlaceCaret();
    RestartBlinkTimer();
    emit selectionChanged();
}

void CWaveEditCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int x = event->position().toPoint().x();
    // The selection may have moved under a resting pointer (a scroll) since the last move.
    m_selectionRect = ClientSelectionRect();
    UpdateEdgeFlags(x);
    if (m_nearLeftEdge || m_nearRightEdge) {
        setCursor(Qt::SizeHorCursor);
        m_data->ChooseMovingEnd(m_nearLeftEdge);
        m_dragging = true;
        m_edgeMode = true;
        return;
    }

    m_data->SetCursorAt(x);
    m_data->CollapseSelection();
    update(m_selectionRect);
    m_selectionRect = kNoRect;
    PlaceCaret();
    RestartBlinkTimer();
    m_edgeMode = false;
    m_dragging = true;
    emit selectionChanged();
}

void CWaveEditCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    // Qt keeps the mouse grabbed from the press, so this also arrives when the button goes up
    // outside the control.
    m_dragging = false;
    m_nearLeftEdge = false;
    m_nearRightEdge = false;
    m_edgeMode = false;
    unsetCursor();
    update();
}

void CWaveEditCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_blinkTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (m_caretShown) {
        m_caretShown = false;
        update(m_caretRect);
        return;
    }
    PlaceCaret();
}

void CWaveEditCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_viewStale = true;
    ForgetPlayCursor();
    if (m_caretShown)
        PlaceCaret();
    update();
}

void CWaveEditCtrl::leaveEvent(QEvent* event)
{
    m_markerX = -1;
    update(QRect(0, 0, width(), m_style.topStrip));
    QWidget::leaveEvent(event);
}
