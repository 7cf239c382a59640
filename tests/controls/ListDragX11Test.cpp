// Dragging rows of the list under a real X server with a window manager, driven by real
// pointer events (xdotool): the drag must end with the button, leaving no grab, no floating
// row picture and a window that still takes clicks.
#include "controls/DragDropListCtrl.h"
#include "support/PrivateXServer.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace
{
constexpr const char* kPointerTool = "xdotool";
// Generous: a loaded machine may take long to deliver a few events, and a pass takes no time.
constexpr int kEventWaitMs = 10000;
constexpr int kDragSteps = 6;

CPrivateXServer* g_server = nullptr;

bool WaitFor(const std::function<bool()>& condition)
{
    QDeadlineTimer deadline(kEventWaitMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets whatever the X server has for us arrive and be handled.
void Settle()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

bool Pointer(const QStringList& arguments)
{
    const bool ok = TestSupport::RunTool(QLatin1String(kPointerTool), arguments).exitCode == 0;
    Settle();
    return ok;
}

bool MoveTo(const QPoint& global)
{
    return Pointer({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
}

// Top-level windows other than `main` that are on the screen.
int OtherVisibleWindows(const QWidget& main)
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += widget != &main && widget->isVisible() ? 1 : 0;
    }
    return count;
}

class ListDragX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!g_server || !g_server->Missing().isEmpty()) {
            GTEST_SKIP() << (g_server ? g_server->Missing() : QStringLiteral("no X server")).toStdString();
        }
        if (QStandardPaths::findExecutable(QLatin1String(kPointerTool)).isEmpty()) {
            GTEST_SKIP() << "xdotool is not installed (scripts/setup.sh installs it)";
        }
        m_window = std::make_unique<QWidget>();
        m_window->setWindowTitle(QStringLiteral("list drag"));
        m_window->setGeometry(100, 100, 520, 360);
        m_list = new CDragDropListCtrl(m_window.get());
        m_list->setGeometry(10, 10, 500, 340);
        // As the recordings list, which also takes files dropped from a file manager.
        m_list->setAcceptDrops(true);
        m_list->SetColumns({"File Name", "Size", "Time(m:s)", "Save Directory"});
        for (const char* name : {"A", "B", "C", "D", "E"}) {
            m_list->AppendRow({QLatin1String(name), "1KB", "0:01", "/music"});
        }
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get(), kEventWaitMs));
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get(), kEventWaitMs));
        Settle();
    }

    void TearDown() override
    {
        // Never leave the pointer held for the next test, whatever happened.
        if (m_window) {
            TestSupport::RunTool(QLatin1String(kPointerTool), {QStringLiteral("mouseup"), QStringLiteral("1")});
        }
    }

    QPoint RowOnScreen(int row) const
    {
        const QRect rect = m_list->visualItemRect(m_list->topLevelItem(row));
        return m_list->viewport()->mapToGlobal(QPoint(rect.left() + 30, rect.center().y()));
    }

    QStringList Names() const
    {
        QStringList names;
        for (int row = 0; row < m_list->RowCount(); ++row) {
            names << m_list->Text(row, 0);
        }
        return names;
    }

    std::unique_ptr<QWidget> m_window;
    CDragDropListCtrl* m_list = nullptr;
};
} // namespace

TEST_F(ListDragX11Test, ADraggedRowLandsAndTheWindowTakesClicksAgain)
{
    ASSERT_TRUE(MoveTo(RowOnScreen(0)));
    ASSERT_TRUE(Pointer({QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(WaitFor([this] { return m_list->IsRowSelected(0); }));
    const QPoint from = RowOnScreen(0);
    const QPoint to = RowOnScreen(3);
    for (int step = 1; step <= kDragSteps; ++step) {
        ASSERT_TRUE(MoveTo(from + (to - from) * step / kDragSteps));
    }
    ASSERT_TRUE(WaitFor([this] { return m_list->IsDragging() && m_list->IsDropHighlighted(3); }));
    EXPECT_EQ(OtherVisibleWindows(*m_window), 1) << "the dragged row's picture follows the pointer";

    ASSERT_TRUE(Pointer({QStringLiteral("mouseup"), QStringLiteral("1")}));
    ASSERT_TRUE(WaitFor([this] { return !m_list->IsDragging(); })) << "the release never reached the list";
    EXPECT_EQ(Names(), QStringList({"B", "C", "A", "D", "E"}));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(OtherVisibleWindows(*m_window), 0) << "a picture of the row stays behind";
    EXPECT_FALSE(m_list->IsDropHighlighted(3));

    // The pointer reaches the window again: a click selects another row.
    ASSERT_TRUE(MoveTo(RowOnScreen(4)));
    ASSERT_TRUE(Pointer({QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(WaitFor([this] { return m_list->IsRowSelected(4) && !m_list->IsRowSelected(2); }));
    EXPECT_EQ(Names(), QStringList({"B", "C", "A", "D", "E"}));
}

// Xvfb (and a window manager) must run before the QApplication connects to the display.
int main(int argc, char** argv)
{
    CPrivateXServer server;
    g_server = &server;
    qputenv("QT_QPA_PLATFORM", server.Missing().isEmpty() ? "xcb" : "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    g_server = nullptr;
    return result;
}
