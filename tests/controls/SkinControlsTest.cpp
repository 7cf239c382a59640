#include "controls/DialogSkinning.h"
#include "controls/RecordRedioBtn.h"
#include "controls/SkinBackground.h"
#include "controls/SkinButton.h"
#include "controls/SkinCheckBox.h"
#include "controls/SkinSlider.h"
#include "controls/TransparentStatic.h"
#include "platform/AppEvent.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace
{
// A window that records what its skinned children tell it.
class CRecordingParent : public QWidget
{
public:
    int sourceSelected = 0;
    bool checkedWhenTold = false;
    QRadioButton* watched = nullptr;
    int mousePresses = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == AppEventType::kSourceSelected) {
            ++sourceSelected;
            checkedWhenTold = watched && watched->isChecked();
            return true;
        }
        return QWidget::event(event);
    }
    void mousePressEvent(QMouseEvent*) override { ++mousePresses; }
};

CSkinImage Solid(int width, int height, std::uint32_t pixel)
{
    CSkinImage image;
    image.LoadFromBytes(CSkinImage::Encode(width, height, std::vector<std::uint32_t>(width * height, pixel)));
    return image;
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}
} // namespace

TEST(SkinButtonTest, BlendsIntoThePublishedSnapshotUnderIt)
{
    QWidget window;
    window.resize(200, 120);
    QWidget panel(&window); // the button sits in a panel that paints no skin of its own
    panel.setGeometry(30, 40, 150, 70);
    CSkinButton button(&panel);
    button.move(10, 5);
    ASSERT_TRUE(button.SetSkin(Solid(20, 10, 0x80FFFFFFu), Solid(20, 10, 0xFF0000FFu)));
    EXPECT_EQ(button.size(), QSize(20, 10));

    QImage snapshot(window.size(), QImage::Format_RGB32);
    snapshot.fill(Qt::black);
    snapshot.setPixel(30 + 10 + 10, 40 + 5 + 5, qRgb(0, 0, 254)); // under the button's centre
    SkinBackground::Publish(&window, snapshot);

    const QImage drawn = button.grab().toImage();
    EXPECT_EQ(drawn.pixel(3, 3), qRgb(127, 127, 127));
    EXPECT_EQ(drawn.pixel(10, 5), qRgb(127, 127, 254));
}

TEST(SkinButtonTest, ToggleModeLatchesAndPlainModeShowsDownOnlyWhileHeld)
{
    QWidget window;
    CSkinButton button(&window);
    ASSERT_TRUE(button.SetSkin(Solid(40, 20, 0xFF102030u), Solid(40, 20, 0xFFA0B0C0u)));
    const QRgb up = qRgb(0x10, 0x20, 0x30);
    const QRgb down = qRgb(0xA0, 0xB0, 0xC0);
    const QPoint centre(20, 10);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    QTest::mousePress(&button, Qt::LeftButton, {}, centre);
    EXPECT_EQ(button.ComposedPicture().pixel(centre), down);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, centre);
    EXPECT_EQ(button.ComposedPicture().pixel(centre), up);
    EXPECT_EQ(clicks.count(), 1);

    button.SetToggleMode(true);
    button.SetHeldDown(false);
    QTest::mouseClick(&button, Qt::LeftButton, {}, centre);
    EXPECT_TRUE(button.IsHeldDown());
    EXPECT_EQ(button.ComposedPicture().pixel(centre), down);
    QTest::mouseClick(&button, Qt::LeftButton, {}, centre);
    EXPECT_FALSE(button.IsHeldDown());
    EXPECT_EQ(button.ComposedPicture().pixel(centre), up);

    // A press released outside the button changes nothing and clicks nothing.
    QTest::mousePress(&button, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(60, 30));
    EXPECT_FALSE(button.IsHeldDown());
    EXPECT_EQ(clicks.count(), 3);
}

TEST(SkinButtonTest, ClicksInTheCornersFallThroughToTheParent)
{
    CRecordingParent window;
    CSkinButton button(&window);
    ASSERT_TRUE(button.LoadSkin(138, 137));
    EXPECT_EQ(button.size(), QSize(124, 44));
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(121, 41));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(window.mousePresses, 2);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(62, 22));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SkinButtonTest, HighDensityScreensGetTheDoublePictureOverTheSameSkin)
{
    QWidget window;
    window.resize(200, 100);
    CSkinButton button(&window);
    ASSERT_TRUE(button.LoadSkin(138, 137));
    QImage snapshot(window.size(), QImage::Format_RGB32);
    snapshot.fill(qRgb(10, 200, 30));
    SkinBackground::Publish(&window, snapshot);

    const QImage normal = button.ComposedPicture();
    const QImage doubled = button.ComposedDoublePicture();
    ASSERT_FALSE(doubled.isNull());
    EXPECT_EQ(doubled.size(), normal.size() * 2);
    EXPECT_EQ(doubled.devicePixelRatio(), 2.0);
    // The corners lie outside the face: the skin shows there in both.
    EXPECT_EQ(doubled.pixel(1, 1), qRgb(10, 200, 30));
    EXPECT_EQ(normal.pixel(0, 0), qRgb(10, 200, 30));

    // Pictures of one size only: no double picture.
    ASSERT_TRUE(button.SetSkin(Solid(20, 10, 0xFF102030u), Solid(20, 10, 0xFFA0B0C0u)));
    EXPECT_TRUE(button.ComposedDoublePicture().isNull());
}

TEST(RecordRedioBtnTest, CheckingOneClearsEveryRadioSiblingAndTellsTheParent)
{
    CRecordingParent window;
    QRadioButton* first = CRecordRedioBtn::Create(QStringLiteral("Line"), &window);
    QRadioButton* second = CRecordRedioBtn::Create(QStringLiteral("Mic"), &window);
    auto* plain = new QRadioButton(QStringLiteral("plain"), &window);
    QRadioButton* otherGroup = CRecordRedioBtn::Create(QStringLiteral("other"), &window);
    otherGroup->setAutoExclusive(false);
    for (QRadioButton* button : {first, second, plain, otherGroup})
        button->resize(100, 20);
    window.watched = second;

    plain->setChecked(true);
    otherGroup->setChecked(true);
    CRecordRedioBtn::Of(first)->SetCheck(true);
    EXPECT_TRUE(first->isChecked());
    EXPECT_FALSE(plain->isChecked());
    EXPECT_FALSE(otherGroup->isChecked());

    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_TRUE(second->isChecked());
    EXPECT_FALSE(first->isChecked());
    EXPECT_EQ(window.sourceSelected, 1);
    EXPECT_TRUE(window.checkedWhenTold);

    // A click on the checked button keeps it checked and tells the parent again.
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_TRUE(second->isChecked());
    EXPECT_EQ(window.sourceSelected, 2);

    // 0x500 unchecks even the last checked button of an exclusive set; setting from code sends
    // no 0x488.
    CAppEvent::Send(second, CRecordRedioBtn::kUncheckYourself);
    EXPECT_FALSE(second->isChecked());
    EXPECT_FALSE(CRecordRedioBtn::Of(second)->GetCheck());
    EXPECT_EQ(window.sourceSelected, 2);
}

TEST(SkinSliderTest, TintsTheTrackOnTheMinimumSideOfTheThumb)
{
    QWidget window;
    window.resize(200, 60);
    CSkinSlider slider(Qt::Horizontal, &window);
    slider.setGeometry(10, 10, 156, 21);
    slider.setRange(0, 100);
    QImage snapshot(window.size(), QImage::Format_RGB32);
    snapshot.fill(Qt::white);
    SkinBackground::Publish(&window, snapshot);

    const QRect channel = slider.ChannelRect();
    const QPoint groove(channel.left() + 20, channel.center().y());
    const QRgb tint = qRgb(200, 200, 0);
    slider.setValue(0);
    EXPECT_NE(slider.grab().toImage().pixel(groove), tint);
    slider.setValue(100);
    EXPECT_EQ(slider.grab().toImage().pixel(groove), tint);

    // The position slider of the listening panel draws a plain channel: no tint at all.
    slider.SetFillMode(false);
    EXPECT_NE(slider.grab().toImage().pixel(groove), tint);
}

TEST(SkinSliderTest, DraggingTheThumbShowsItPressedAndMovesTheValue)
{
    QWidget window;
    CSkinSlider slider(Qt::Horizontal, &window);
    slider.setGeometry(0, 0, 156, 21);
    slider.setRange(0, 100);
    QSignalSpy released(&slider, &QAbstractSlider::sliderReleased);

    const QPoint grip = slider.ThumbRect().center();
    SendMouse(&slider, QEvent::MouseButtonPress, grip, Qt::LeftButton);
    EXPECT_TRUE(slider.isSliderDown());
    SendMouse(&slider, QEvent::MouseMove, grip + QPoint(70, 0), Qt::LeftButton);
    EXPECT_EQ(slider.value(), 50);
    SendMouse(&slider, QEvent::MouseMove, grip + QPoint(500, 0), Qt::LeftButton);
    SendMouse(&slider, QEvent::MouseButtonRelease, grip + QPoint(500, 0), Qt::NoButton);
    EXPECT_FALSE(slider.isSliderDown());
    EXPECT_EQ(slider.value(), 100);
    EXPECT_EQ(released.count(), 1);

    // A click on the track beside the thumb pages towards the click.
    slider.setPageStep(10);
    SendMouse(&slider, QEvent::MouseButtonPress, QPoint(20, 10), Qt::LeftButton);
    SendMouse(&slider, QEvent::MouseButtonRelease, QPoint(20, 10), Qt::NoButton);
    EXPECT_EQ(slider.value(), 90);
}

TEST(DialogSkinningTest, SkinsTextsRadiosAndCheckBoxesInPlaceOnce)
{
    QWidget dialog;
    auto* text = new QLabel(QStringLiteral("Record File"), &dialog);
    auto* picture = new QLabel(&dialog);
    picture->setPixmap(QPixmap(8, 8));
    auto* group = new QGroupBox(QStringLiteral("Source"), &dialog);
    auto* radio = new QRadioButton(QStringLiteral("Line"), group);
    auto* check = new QCheckBox(QStringLiteral("Loop"), &dialog);

    SkinDialogControls(&dialog);
    SkinDialogControls(&dialog);
    ASSERT_NE(CTransparentStatic::Of(text), nullptr);
    EXPECT_FALSE(CTransparentStatic::Of(text)->IsGroupBox());
    ASSERT_NE(CTransparentStatic::Of(group), nullptr);
    EXPECT_TRUE(CTransparentStatic::Of(group)->IsGroupBox());
    EXPECT_EQ(CTransparentStatic::Of(picture), nullptr);
    EXPECT_NE(CRecordRedioBtn::Of(radio), nullptr);
    EXPECT_NE(CSkinCheckBox::Of(check), nullptr);
    EXPECT_EQ(text->findChildren<CTransparentStatic*>().size(), 1);
    EXPECT_EQ(radio->findChildren<CRecordRedioBtn*>().size(), 1);

    // The skinned controls still paint and behave as themselves.
    dialog.resize(300, 200);
    check->setGeometry(0, 100, 100, 20);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_TRUE(check->isChecked());
    EXPECT_FALSE(dialog.grab().isNull());
}
