// Texts that must fit: every label, button text, group title and box of the main window and the
// option dialogs shows its whole text (or, where a long name must be shortened, has the whole
// text in its tool tip), at the normal font and at a larger desktop font. The test binary also
// runs at twice the device pixel ratio.
#include "MainWindowTestSupport.h"
#include "app/AboutDialog.h"
#include "app/CommandIds.h"
#include "app/ElapsedTimeLabel.h"
#include "app/RenameDialog.h"
#include "audio/JoinDialog.h"
#include "audio/ReencodeDialog.h"
#include "audio/SplitDialog.h"
#include "audio/WavToMp3Dialog.h"
#include "controls/ControlId.h"
#include "controls/MenuXP.h"
#include "controls/RecordRedioBtn.h"
#include "controls/SkinButton.h"
#include "controls/SkinCheckBox.h"
#include "controls/SkinIndicator.h"
#include "controls/TransparentStatic.h"
#include "record/RecordFormatDialog.h"
#include "record/TimeRecordSetupDialog.h"
#include "record/VoiceActivationDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <functional>

namespace
{
using Source = CMemoryAudioBackend::Source;
// Room a push button's frame takes beside its text.
constexpr int kPushButtonFrame = 8;
// The desktops' "large text" setting.
constexpr double kLargeFontFactor = 1.25;

QString Describe(const QWidget* widget, const QString& text)
{
    return QStringLiteral("%1 \"%2\" (%3 x %4)")
        .arg(QString::fromLatin1(widget->metaObject()->className()), text)
        .arg(widget->width())
        .arg(widget->height());
}

QString Plain(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// What does not fit in `root`, one line per widget.
QStringList ClippedTexts(const QWidget* root)
{
    QStringList clipped;
    const auto widgets = root->findChildren<QWidget*>();
    for (const QWidget* widget : widgets) {
        if (!widget->isVisibleTo(root) || widget->width() <= 0) {
            continue;
        }
        const QFontMetrics metrics = widget->fontMetrics();
        // A control pushed past its parent's edge is cut whatever its own size.
        const bool control = qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget) ||
                             qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget);
        if (control && widget->parentWidget() && !widget->parentWidget()->rect().contains(widget->geometry())) {
            clipped << Describe(widget, QStringLiteral("outside its parent"));
            continue;
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->text().isEmpty() || !label->pixmap().isNull() || Qt::mightBeRichText(label->text())) {
                continue;
            }
            const bool skinned = CTransparentStatic::Of(label) != nullptr;
            const QRect room = skinned ? CTransparentStatic::TextRect(label) : label->contentsRect();
            const int flags = skinned ? CTransparentStatic::TextFlags(label)
                                      : int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            const QRect needed = metrics.boundingRect(room, flags, label->text());
            if (needed.width() > room.width() || needed.height() > room.height()) {
                clipped << Describe(label, label->text());
            }
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            if (button->text().isEmpty() || qobject_cast<const CSkinButton*>(button)) {
                continue; // a skinned button's text is its tool tip
            }
            const QString text = Plain(button->text());
            const auto* radio = qobject_cast<const QRadioButton*>(button);
            const auto* check = qobject_cast<const QCheckBox*>(button);
            const bool skinned = (radio && CRecordRedioBtn::Of(radio)) || (check && CSkinCheckBox::Of(check));
            bool fits = metrics.height() <= button->height();
            if (skinned) {
                fits = fits && (!SkinIndicator::IsTextElided(button) || button->toolTip().contains(text));
            } else if (radio || check) {
                fits = fits && button->sizeHint().width() <= button->width();
            } else {
                fits = fits && metrics.horizontalAdvance(text) + kPushButtonFrame <= button->width();
            }
            if (!fits) {
                clipped << Describe(button, text);
            }
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            if (metrics.horizontalAdvance(Plain(group->title())) + 2 * kPushButtonFrame > group->width()) {
                clipped << Describe(group, group->title());
            }
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            const int frame = edit->hasFrame() ? 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
            if (metrics.height() + frame > edit->height()) {
                clipped << Describe(edit, edit->text());
            }
        } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
            const int frame = 2 * combo->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            if (metrics.height() + frame > combo->height()) {
                clipped << Describe(combo, combo->currentText());
            }
        } else if (const auto* elapsed = qobject_cast<const CElapsedTimeLabel*>(widget)) {
            if (!elapsed->rect().contains(elapsed->TextInkRect())) {
                clipped << Describe(elapsed, elapsed->Text());
            }
        } else if (const auto* bar = qobject_cast<const CMenuXP*>(widget)) {
            for (int i = 0; i < bar->ButtonCount(); ++i) {
                if (!bar->rect().contains(bar->ButtonRect(i))) {
                    clipped << Describe(bar, bar->ButtonText(i));
                }
            }
        }
    }
    return clipped;
}

class LayoutFitTest : public MainWindowTest, public ::testing::WithParamInterface<double>
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        m_font = QApplication::font();
        QFont font = m_font;
        font.setPointSizeF(m_font.pointSizeF() * GetParam());
        QApplication::setFont(font);
        // Names as a desktop's sound server gives them.
        m_backend->SetSources(
            {Source{QStringLiteral("alsa_output.pci-0000_00_1f.3.analog-stereo.monitor"),
                    QStringLiteral("Monitor of Built-in Audio Analog Stereo"),
                    {40000, 40000}},
             Source{QStringLiteral("sine"), QStringLiteral("Sine source at 440 Hz"), {65535, 65535}},
             Source{QStringLiteral("pipe"), QStringLiteral("Unix FIFO source /tmp/feed"), {65535, 65535}}});
    }

    void TearDown() override
    {
        MainWindowTest::TearDown();
        QApplication::setFont(m_font);
    }

    void ExpectAllFits(QWidget& root, const char* what) const
    {
        root.show();
        QCoreApplication::processEvents();
        // SORVANE_SCREENSHOTS=folder keeps a picture of each window for a look by eye.
        const QString folder = qEnvironmentVariable("SORVANE_SCREENSHOTS");
        if (!folder.isEmpty()) {
            const QString name = QStringLiteral("%1-font%2-ratio%3.png")
                                     .arg(QString::fromLatin1(what).replace(QLatin1Char(' '), QLatin1Char('_')))
                                     .arg(GetParam())
                                     .arg(root.devicePixelRatioF());
            root.grab().save(QDir(folder).filePath(name));
        }
        EXPECT_EQ(ClippedTexts(&root).join(QLatin1Char('\n')).toStdString(), std::string()) << what;
    }

    QFont m_font;
};
} // namespace

TEST_P(LayoutFitTest, MainWindowShowsEveryTextWhole)
{
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kTagEditToggleButton);
    ExpectAllFits(window, "main window");
}

TEST_P(LayoutFitTest, OptionDialogsShowEveryTextWhole)
{
    CMainWindow& window = OpenWindow();
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QDialog>()>>> dialogs = {
        {"record format", [&] { return std::make_unique<CRecordFormatDialog>(&window); }},
        {"silence detector", [&] { return std::make_unique<CVoiceActivationDialog>(&window); }},
        {"schedule", [&] { return std::make_unique<CTimeRecordSetupDialog>(&window); }},
        {"re-encode", [&] { return std::make_unique<CReencodeDialog>(0, &window); }},
        {"split", [&] { return std::make_unique<CSplitDialog>(&window); }},
        {"join", [&] { return std::make_unique<CJoinDialog>(0, &window); }},
        {"wav to mp3", [&] { return std::make_unique<CWavToMp3Dialog>(&window); }},
        {"rename", [&] { return std::make_unique<CRenameDialog>(QStringLiteral("2026-12-08-21-30.mp3"), &window); }},
        {"about", [&] { return std::make_unique<CAboutDialog>(&window); }},
    };
    for (const auto& [name, make] : dialogs) {
        std::unique_ptr<QDialog> dialog = make();
        ExpectAllFits(*dialog, name);
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, LayoutFitTest, ::testing::Values(1.0, kLargeFontFactor),
                         [](const ::testing::TestParamInfo<double>& fontScale) {
                             return fontScale.param == 1.0 ? std::string("DesktopFont") : std::string("LargerFont");
                         });
