#include "wave_editor/WaveEditCtrl.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace
{
constexpr int kWidth = 600;
constexpr int kHeight = 200;
constexpr int kLaneRow = 120;     // a row inside the wave lanes
constexpr int kCursorTop = 34;    // top strip + ruler
constexpr int kSelectionTop = 35; // one below the ruler's bottom line
constexpr int kLabelLineRow = 26; // below the ruler's labels, above its ticks: label lines only
constexpr int kZoom = 1024;       // a 10 s file in view

// A band of the lanes as the control inverts or marks it.
QRect Band(int left, int width, int top = kSelectionTop)
{
    return QRect(left, top, width, kHeight - top);
}

class WaveEditCtrlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("SORVANE_DATA_DIR", m_dir.path().toUtf8());
        const QString wav = m_dir.filePath(QStringLiteral("tone.wav"));
        ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(2, 44100, 10.0, 440.0), 2, 44100));
        m_ctrl = std::make_unique<CWaveEditCtrl>(nullptr, &m_data);
        m_ctrl->resize(kWidth, kHeight);
        ASSERT_TRUE(m_ctrl->LoadFile(wav));
        ASSERT_EQ(m_data.Zoom(), kZoom);
        m_ctrl->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_ctrl.get()));
    }

    void Move(int x, Qt::MouseButtons held = Qt::NoButton)
    {
        const QPoint at(x, kLaneRow);
        QMouseEvent event(QEvent::MouseMove, at, m_ctrl->mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(m_ctrl.get(), &event);
    }

    void Drag(int from, int to)
    {
        Move(from);
        QTest::mousePress(m_ctrl.get(), Qt::LeftButton, {}, QPoint(from, kLaneRow));
        Move(to, Qt::LeftButton);
        QTest::mouseRelease(m_ctrl.get(), Qt::LeftButton, {}, QPoint(to, kLaneRow));
    }

    QTemporaryDir m_dir;
    CWaveData m_data;
    std::unique_ptr<CWaveEditCtrl> m_ctrl;
};
} // namespace

TEST_F(WaveEditCtrlTest, ClickPlacesABlinkingCaretButNotInTheFirstColumn)
{
    Drag(100, 100);
    EXPECT_FALSE(m_data.HasSelection());
    EXPECT_EQ(m_ctrl->SelectionRect().left(), -1);
    EXPECT_EQ(m_data.CursorFrame(), 100 * kZoom);
    EXPECT_TRUE(m_ctrl->IsCaretShown());
    EXPECT_EQ(m_ctrl->CaretRect(), Band(100, 2, kCursorTop));
    EXPECT_TRUE(m_ctrl->IsBlinkTimerRunning());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !m_ctrl->IsCaretShown(); }));
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_ctrl->IsCaretShown(); }));

    m_ctrl->SetScroll(40); // the caret follows the view
    EXPECT_EQ(m_ctrl->CaretRect().left(), 60);
    m_ctrl->SetScroll(0);
    Drag(0, 0);
    EXPECT_FALSE(m_ctrl->IsCaretShown());
}

TEST_F(WaveEditCtrlTest, DragSelectsBetweenColumnsAndInvertsOnlyTheLanes)
{
    const QImage before = m_ctrl->grab().toImage();
    Drag(100, 40);
    EXPECT_EQ(m_data.CursorFrame(), 40 * kZoom);
    EXPECT_EQ(m_data.AnchorFrame(), 100 * kZoom);
    EXPECT_EQ(m_ctrl->SelectionBytes().end, 100 * kZoom * m_ctrl->FrameSize());
    EXPECT_EQ(m_ctrl->SelectionRect(), Band(40, 60));

    const QImage after = m_ctrl->grab().toImage();
    for (const int x : {70, 99})
        for (int y = kSelectionTop; y < kHeight; y += 15)
            EXPECT_EQ(after.pixel(x, y) & RGB_MASK, ~before.pixel(x, y) & RGB_MASK) << x << "," << y;
    EXPECT_EQ(after.pixel(70, kLabelLineRow), before.pixel(70, kLabelLineRow)); // the ruler stays
    EXPECT_EQ(after.pixel(100, kLaneRow), before.pixel(100, kLaneRow));         // right edge exclusive
}

TEST_F(WaveEditCtrlTest, EdgeDragMovesTheGrabbedEndAndKeepsTheOtherFixed)
{
    struct Case
    {
        int from, to, grab, drop;
        int anchorAfter, cursorAfter;
    };
    const Case cases[] = {
        {100, 40, 41, 160, 100, 160}, // left edge is the cursor's, dragged past the right
        {40, 100, 41, 160, 160, 100}, // left edge is the anchor's
        {40, 100, 101, 20, 40, 20},   // right edge (the cursor's) dragged past the left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << "->" << c.to << ", grab " << c.grab);
        Drag(c.from, c.to);
        Move(c.grab);
        EXPECT_EQ(m_ctrl->cursor().shape(), Qt::SizeHorCursor);
        Drag(c.grab, c.drop);
        EXPECT_EQ(m_data.AnchorFrame(), c.anchorAfter * kZoom);
        EXPECT_EQ(m_data.CursorFrame(), c.cursorAfter * kZoom);
        const int left = std::min(c.anchorAfter, c.cursorAfter);
        EXPECT_EQ(m_ctrl->SelectionRect(), Band(left, std::max(c.anchorAfter, c.cursorAfter) - left));
        Move(300);
        EXPECT_NE(m_ctrl->cursor().shape(), Qt::SizeHorCursor);
    }
}

TEST_F(WaveEditCtrlTest, MovesOutsideAreIgnoredAndAReleaseOutsideEndsTheDrag)
{
    Move(100);
    QTest::mousePress(m_ctrl.get(), Qt::LeftButton, {}, QPoint(100, kLaneRow));
    Move(50, Qt::LeftButton);
    Move(kWidth + 50, Qt::LeftButton); // would select to the file's end if it counted
    Move(-20, Qt::LeftButton);
    EXPECT_EQ(m_data.CursorFrame(), 50 * kZoom);

    QTest::mouseRelease(m_ctrl.get(), Qt::LeftButton, {}, QPoint(kWidth + 100, kHeight + 50));
    EXPECT_FALSE(m_ctrl->IsDragging());
    Move(200);
    EXPECT_EQ(m_data.CursorFrame(), 50 * kZoom);
    EXPECT_EQ(m_data.AnchorFrame(), 100 * kZoom);
}

TEST_F(WaveEditCtrlTest, PlayCursorZoomAndScrollRedrawTheView)
{
    m_ctrl->ShowPlayCursor(200 * kZoom);
    EXPECT_TRUE(m_ctrl->IsPlayCursorShown());
    EXPECT_EQ(m_ctrl->PlayCursorRect(), Band(200, 2, kCursorTop));
    m_ctrl->ShowPlayCursor(0); // the first visible column never carries it
    EXPECT_FALSE(m_ctrl->IsPlayCursorShown());
    m_ctrl->ShowPlayCursor(200 * kZoom);
    m_ctrl->ShowPlayCursor(-1);
    EXPECT_FALSE(m_ctrl->IsPlayCursorShown());

    // A label line of the ruler every 80 columns: the cached view must follow the scroll.
    QImage view = m_ctrl->grab().toImage();
    const QRgb labelLine = view.pixel(80, kLabelLineRow);
    EXPECT_NE(view.pixel(40, kLabelLineRow), labelLine);
    m_ctrl->SetScroll(40);
    view = m_ctrl->grab().toImage();
    EXPECT_EQ(view.pixel(40, kLabelLineRow), labelLine);
    EXPECT_NE(view.pixel(80, kLabelLineRow), labelLine);

    Drag(100, 100);
    ASSERT_TRUE(m_ctrl->IsCaretShown());
    m_ctrl->ZoomIn(); // the caret's column changes: it comes back with the next blink
    m_ctrl->ZoomIn();
    EXPECT_EQ(m_data.Zoom(), CWaveData::kSmallestZoom);
    EXPECT_FALSE(m_ctrl->IsCaretShown());
    EXPECT_TRUE(m_ctrl->IsBlinkTimerRunning());
    m_ctrl->ZoomOut();
    m_ctrl->ZoomOut();
    EXPECT_EQ(m_data.Zoom(), kZoom);
}
