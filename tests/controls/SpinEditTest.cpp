#include "app/WidgetClassRegistry.h"
#include "controls/ControlId.h"
#include "controls/EditCtrl.h"
#include "controls/SpinArrowButton.h"
#include "controls/SpinNumberField.h"
#include "platform/AppEvent.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace
{
constexpr int kEditId = 1042;

// The dialog that owns the spin edit: keeps the notifications it receives.
class COwner : public QWidget
{
public:
    struct Note
    {
        int code;
        std::intptr_t id;
        std::intptr_t control;
    };
    std::vector<Note> notes;

    int Count(int code) const
    {
        return static_cast<int>(
            std::count_if(notes.begin(), notes.end(), [code](const Note& n) { return n.code == code; }));
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() >= AppEventType::kEditChangeBegin && event->type() <= AppEventType::kEditChangeEnd) {
            const auto* note = static_cast<CAppEvent*>(event);
            notes.push_back({event->type(), note->WParam(), note->LParam()});
            return true;
        }
        return QWidget::event(event);
    }
};

struct SpinEditTest : ::testing::Test
{
    void SetUp() override
    {
        edit = new CEditCtrl(&owner);
        ControlId::Set(edit, kEditId);
        field = edit->NumberField();
        owner.show();
        owner.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
        field->setFocus();
    }
    void Type(const char* keys) { QTest::keyClicks(field, QLatin1String(keys)); }
    static void Mouse(QWidget* widget, QEvent::Type type, int y, Qt::MouseButtons held)
    {
        const QPointF at(5, y);
        QMouseEvent event(type, at, widget->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    COwner owner;
    CEditCtrl* edit = nullptr;
    CSpinNumberField* field = nullptr;
};
} // namespace

TEST_F(SpinEditTest, ClampsShowsFixedDecimalsAndRewritesOnEnter)
{
    edit->SetRange(0.1, 10.0);
    edit->SetFormat(4, 2);
    edit->SetStep(0.01);
    edit->SetValue(1);
    EXPECT_EQ(field->text(), QStringLiteral("1.00"));
    edit->SetValue(-5);
    EXPECT_DOUBLE_EQ(edit->GetValue(), 0.1);
    edit->SetValue(9.995);
    QTest::keyClick(field, Qt::Key_Up);
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(field->text(), QStringLiteral("10.00"));
    EXPECT_DOUBLE_EQ(edit->GetValue(), 10.0);

    field->selectAll();
    Type("12");
    EXPECT_EQ(field->text(), QStringLiteral("12"));
    EXPECT_DOUBLE_EQ(edit->GetValue(), 10.0);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->text(), QStringLiteral("10.00"));

    // Text that is no number reads as 0 and is then clamped; the parse ignores the locale.
    EXPECT_DOUBLE_EQ(CSpinValue::ParseLeadingNumber(u" -1.5e2x"), -150.0);
    EXPECT_DOUBLE_EQ(CSpinValue::ParseLeadingNumber(u"2e"), 2.0);
    EXPECT_DOUBLE_EQ(CSpinValue::ParseLeadingNumber(u"abc"), 0.0);
    field->setText(QStringLiteral("1e999"));
    EXPECT_DOUBLE_EQ(edit->GetValue(), 10.0);
}

TEST_F(SpinEditTest, KeyFilterTakesOnlyWhatMakesANumber)
{
    field->clear();
    Type("1.2.3a-");
    EXPECT_EQ(field->text(), QStringLiteral("1.23"));
    field->setCursorPosition(0);
    Type("-");
    EXPECT_EQ(field->text(), QStringLiteral("-1.23"));
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), QStringLiteral("1.23"));

    // "/" resets: to the minimum when the range lies above zero, else to 0.
    Type("/");
    EXPECT_EQ(field->text(), QStringLiteral("0"));
    EXPECT_EQ(owner.Count(AppEventType::kEditChangeEnd), 1);
    edit->SetRange(3, 9);
    edit->SetValue(7);
    Type("/");
    EXPECT_DOUBLE_EQ(edit->GetValue(), 3.0);
}

TEST_F(SpinEditTest, NotifiesOwnerOfUserChangesOnly)
{
    edit->SetValue(5);
    edit->SetRange(-10, 10);
    edit->SetFormat(10, 1);
    EXPECT_TRUE(owner.notes.empty());

    // A key run begins once, steps (each reported twice: the step and its text) and ends.
    QTest::keyPress(field, Qt::Key_Up);
    QTest::keyPress(field, Qt::Key_Up);
    QTest::keyRelease(field, Qt::Key_Up);
    ASSERT_FALSE(owner.notes.empty());
    EXPECT_EQ(owner.notes.front().code, AppEventType::kEditChangeBegin);
    EXPECT_EQ(owner.notes.front().id, kEditId);
    EXPECT_EQ(owner.notes.front().control, reinterpret_cast<std::intptr_t>(edit));
    EXPECT_EQ(owner.Count(AppEventType::kEditChangeBegin), 1);
    EXPECT_EQ(owner.Count(AppEventType::kEditValueChanged), 4);
    EXPECT_EQ(owner.notes.back().code, AppEventType::kEditChangeEnd);
    EXPECT_EQ(field->text(), QStringLiteral("7.0"));

    // Without option bit 1 the release says nothing; typing reports each change; leaving the
    // field commits with bit 0.
    owner.notes.clear();
    edit->SetOptionFlags(CSpinNumberField::kEndOnFocusLoss);
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(owner.Count(AppEventType::kEditChangeEnd), 0);
    field->selectAll();
    Type("50");
    EXPECT_DOUBLE_EQ(edit->GetValue(), 10.0);
    owner.notes.clear();
    field->clearFocus();
    EXPECT_EQ(field->text(), QStringLiteral("10.0"));
    EXPECT_EQ(owner.Count(AppEventType::kEditChangeEnd), 1);
}

TEST_F(SpinEditTest, HeldArrowStepsAtOnceThenRepeats)
{
    ASSERT_NE(edit->UpButton(), nullptr);
    QTest::mousePress(edit->UpButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(edit->GetValue(), 1.0);
    QTest::qWait(CEditCtrl::kFirstRepeatDelayMs / 2);
    EXPECT_DOUBLE_EQ(edit->GetValue(), 1.0);
    QTest::qWait(CEditCtrl::kFirstRepeatDelayMs + 10 * CEditCtrl::kRepeatPeriodMs);
    EXPECT_GE(edit->GetValue(), 3.0);
    QTest::mouseRelease(edit->UpButton(), Qt::LeftButton);
    const double released = edit->GetValue();
    QTest::qWait(5 * CEditCtrl::kRepeatPeriodMs);
    EXPECT_DOUBLE_EQ(edit->GetValue(), released);
    EXPECT_EQ(owner.notes.back().code, AppEventType::kEditChangeEnd);
    EXPECT_EQ(owner.Count(AppEventType::kEditChangeBegin), 0);
}

TEST_F(SpinEditTest, VerticalDragStepsOnlyOutsideTheFieldBand)
{
    const int middle = field->height() / 2;
    Mouse(field, QEvent::MouseButtonPress, middle, Qt::LeftButton);
    Mouse(field, QEvent::MouseMove, field->height() - 1, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(edit->GetValue(), 0.0);
    EXPECT_TRUE(owner.notes.empty());

    Mouse(field, QEvent::MouseMove, -40, Qt::LeftButton); // far, but one step per move
    EXPECT_DOUBLE_EQ(edit->GetValue(), 1.0);
    Mouse(field, QEvent::MouseMove, -41, Qt::LeftButton); // too small a move
    Mouse(field, QEvent::MouseMove, -38, Qt::LeftButton); // 2 below the reference
    EXPECT_DOUBLE_EQ(edit->GetValue(), 0.0);
    Mouse(field, QEvent::MouseButtonRelease, -38, Qt::NoButton);
    EXPECT_EQ(owner.notes.front().code, AppEventType::kEditChangeBegin);
    EXPECT_EQ(owner.notes.back().code, AppEventType::kEditChangeEnd);
    EXPECT_FALSE(field->isModified());
}

TEST_F(SpinEditTest, DialogDataAndNarrowedRangeKeepTheValueSound)
{
    edit->SetFormat(10, 1);
    edit->SetValue(-2.7);
    int whole = 0;
    edit->Exchange(whole, true);
    EXPECT_EQ(whole, -2); // toward zero
    float fraction = 0.0F;
    edit->Exchange(fraction, true);
    EXPECT_FLOAT_EQ(fraction, -2.7F);
    edit->Exchange(whole, false);
    EXPECT_EQ(field->text(), QStringLiteral("-2.0"));

    // A value far beyond int saturates instead of wrapping.
    edit->SetRange(0, 1e12);
    edit->SetValue(1e11);
    edit->Exchange(whole, true);
    EXPECT_EQ(whole, std::numeric_limits<int>::max());

    // Narrowing the range moves a value now outside it, without reporting a change.
    edit->SetRange(0, 10);
    EXPECT_DOUBLE_EQ(edit->GetValue(), 10.0);
    EXPECT_EQ(field->text(), QStringLiteral("10.0"));
    EXPECT_TRUE(owner.notes.empty());
}

TEST(SpinEditClassTest, RegistryCreatesTheControlByClassName)
{
    CWidgetClassRegistry::Instance().Register(QLatin1String(CWidgetClassRegistry::kSpinEditClass), &CEditCtrl::Create);
    QWidget dialog;
    auto* edit = qobject_cast<CEditCtrl*>(
        CWidgetClassRegistry::Instance().Create(QLatin1String(CWidgetClassRegistry::kSpinEditClass), &dialog));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->parent(), &dialog);
    EXPECT_EQ(edit->Style(), CEditCtrl::kDialogStyle);
    EXPECT_NE(ControlId::Find<CSpinArrowButton>(edit, CEditCtrl::kDownButtonId), nullptr);
}
