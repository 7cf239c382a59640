#include "controls/MenuXP.h"

#include "controls/ControlId.h"
#include "controls/ControlsAccessibility.h"
#include "platform/AppEvent.h"

#include <QAction>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <utility>

namespace
{
// Room either side of a button's text, and between the text and the button's top and bottom.
constexpr int kButtonTextPaddingX = 7;
constexpr int kButtonTextPaddingY = 6;
constexpr int kFrameWidth = 1;

QString TextWithoutMnemonic(QString label)
{
    // "&&" is a literal ampersand; a single "&" only marks the mnemonic.
    label.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    label.remove(QLatin1Char('&'));
    label.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return label;
}

QAction* FirstEnabledAction(const QMenu& menu)
{
    const auto actions = menu.actions();
    for (QAction* action : actions) {
        if (!action->isSeparator() && action->isEnabled() && action->isVisible())
            return action;
    }
    return nullptr;
}
} // namespace

CMenuXP::CMenuXP(QWidget* parent)
    : QWidget(parent)
{
    ControlsAccessibility::EnsureInstalled();
    ControlId::Set(this, kControlId);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    // The window's skin shows between and behind the buttons.
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}

CMenuXP::~CMenuXP()
{
    // Popups are children too, but they must go before the bar stops being a CMenuXP.
    m_switching = true;
    ClosePopup();
    m_popups.clear();
}

void CMenuXP::SetMenu(const MenuDefinition& menu)
{
    ClosePopup();
    m_popups.clear();
    const auto shortcuts = findChildren<QShortcut*>(Qt::FindDirectChildrenOnly);
    for (QShortcut* shortcut : shortcuts)
        shortcut->deleteLater();

    m_menu = menu;
    m_hotIndex = kNoIndex;
    for (std::size_t i = 0; i < m_menu.size(); ++i) {
        const int index = static_cast<int>(i);
        auto popup = std::make_unique<QMenu>(this);
        // Commands pass through the bar, which routes them on to its target.
        PopupMenu::Fill(*popup, m_menu[i], this);
        popup->installEventFilter(this);
        QMenu* raw = popup.get();
        connect(raw, &QMenu::aboutToHide, this, [this, raw] { OnPopupHidden(raw); });
        connect(raw, &QMenu::hovered, this, [this](QAction* action) {
            emit ItemHighlighted(action->property(PopupMenu::kCommandIdProperty).toInt());
        });
        m_popups.push_back(std::move(popup));

        // Alt plus the top-level mnemonic opens the popup from the keyboard.
        const QKeySequence mnemonic = QKeySequence::mnemonic(m_menu[i].label);
        if (!mnemonic.isEmpty()) {
            auto* shortcut = new QShortcut(mnemonic, this);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, [this, index] { SwitchTo(index, true); });
        }
    }
    RebuildButtons();
}

void CMenuXP::SetCommandTarget(QObject* target)
{
    m_commandTarget = target;
}

void CMenuXP::SetItemQueries(MenuItemQueries queries)
{
    m_queries = std::move(queries);
}

int CMenuXP::ButtonCount() const
{
    return static_cast<int>(m_buttonRects.size());
}

QRect CMenuXP::ButtonRect(int index) const
{
    if (index < 0 || index >= ButtonCount())
        return {};
    return m_buttonRects[std::size_t(index)];
}

QString CMenuXP::ButtonText(int index) const
{
    if (index < 0 || index >= int(m_menu.size()))
        return {};
    return TextWithoutMnemonic(m_menu[std::size_t(index)].label);
}

int CMenuXP::ButtonAt(QPoint pos) const
{
    for (int i = 0; i < ButtonCount(); ++i) {
        if (m_buttonRects[std::size_t(i)].contains(pos))
            return i;
    }
    return kNoIndex;
}

QMenu* CMenuXP::OpenMenu() const
{
    return m_openIndex == kNoIndex ? nullptr : m_popups[std::size_t(m_openIndex)].get();
}

void CMenuXP::OpenPopup(int index)
{
    SwitchTo(index, false);
}

void CMenuXP::ClosePopup()
{
    if (QMenu* menu = OpenMenu())
        menu->hide();
}

QSize CMenuXP::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = 0;
    for (const MenuPopup& popup : m_menu)
        width += metrics.horizontalAdvance(TextWithoutMnemonic(popup.label)) + 2 * kButtonTextPaddingX;
    return {width, metrics.height() + 2 * kButtonTextPaddingY};
}

bool CMenuXP::event(QEvent* event)
{
    if (event->type() == AppEventType::kCommand) {
        // Chosen popup items arrive here first and go on to the window's dispatcher.
        const auto* command = static_cast<CAppEvent*>(event);
        QObject* target = m_commandTarget ? m_commandTarget.data() : static_cast<QObject*>(window());
        if (target != this)
            CAppEvent::Send(target, AppEventType::kCommand, command->WParam(), command->LParam());
        return true;
    }
    return QWidget::event(event);
}

bool CMenuXP::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != OpenMenu())
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::KeyPress:
        return HandlePopupKey(static_cast<QKeyEvent*>(event));
    case QEvent::MouseMove:
        return HandlePopupMouseMove(static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return HandlePopupMousePress(static_cast<QMouseEvent*>(event));
    default:
        return QWidget::eventFilter(watched, event);
    }
}

bool CMenuXP::HandlePopupKey(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        ClosePopup();
        return true;
    case Qt::Key_Left:
        SwitchTo(m_openIndex - 1, true);
        return true;
    case Qt::Key_Right:
        SwitchTo(m_openIndex + 1, true);
        return true;
    default:
        return false;
    }
}

bool CMenuXP::HandlePopupMouseMove(QMouseEvent* event)
{
    const QPoint pos = mapFromGlobal(event->globalPosition().toPoint());
    if (pos == m_lastTrackedPos)
        return true;
    m_lastTrackedPos = pos;
    const int hovered = ButtonAt(pos);
    if (hovered != kNoIndex && hovered != m_openIndex) {
        SwitchTo(hovered, false);
        return true;
    }
    return false;
}

bool CMenuXP::HandlePopupMousePress(QMouseEvent* event)
{
    const int pressed = ButtonAt(mapFromGlobal(event->globalPosition().toPoint()));
    // Anywhere else the popup handles the press itself: an item, or outside, which closes it.
    if (pressed == kNoIndex)
        return false;

    // The bar takes the press: without this the toolkit would hand it on to the bar once the
    // popup is gone, and the bar would open the popup again.
    OpenMenu()->setAttribute(Qt::WA_NoMouseReplay);
    m_closingPressTimestamp = event->timestamp();
    if (pressed == m_openIndex)
        ClosePopup();
    else
        SwitchTo(pressed, false);
    return true;
}

void CMenuXP::SwitchTo(int index, bool selectFirstItem)
{
    const int count = ButtonCount();
    if (count == 0)
        return;
    if (index < 0)
        index = count - 1;
    else if (index >= count)
        index = 0;
    if (index == m_openIndex)
        return;

    const bool wasActive = IsMenuActive();
    if (wasActive) {
        m_switching = true;
        ClosePopup();
        m_switching = false;
    }

    QMenu& menu = *m_popups[std::size_t(index)];
    PopupMenu::Refresh(menu, m_queries);
    m_openIndex = index;
    m_hotIndex = kNoIndex;
    m_lastTrackedPos = mapFromGlobal(QCursor::pos());
    menu.setAttribute(Qt::WA_NoMouseReplay, false);
    update();
    if (!wasActive)
        emit MenuLoopEntered();

    menu.popup(PopupPosition(index, menu));
    if (selectFirstItem)
        menu.setActiveAction(FirstEnabledAction(menu));
}

void CMenuXP::OnPopupHidden(QMenu* menu)
{
    if (menu != OpenMenu())
        return;
    m_openIndex = kNoIndex;
    update();
    if (!m_switching)
        emit MenuLoopExited();
}

QPoint CMenuXP::PopupPosition(int index, const QMenu& menu) const
{
    const QRect button = ButtonRect(index);
    const QPoint below = mapToGlobal(button.bottomLeft() + QPoint(0, 1));
    const QScreen* screen = QGuiApplication::screenAt(below);
    if (!screen)
        screen = this->screen();
    if (!screen)
        return below;

    // The popup must not cover its own button: above it when there is no room below.
    const QRect available = screen->availableGeometry();
    const int height = menu.sizeHint().height();
    if (below.y() + height > available.bottom() + 1) {
        const QPoint above = mapToGlobal(button.topLeft()) - QPoint(0, height);
        if (above.y() >= available.top())
            return above;
    }
    return below;
}

void CMenuXP::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int i = 0; i < ButtonCount(); ++i) {
        const QRect rect = m_buttonRects[std::size_t(i)];
        if (i == m_openIndex || (i == m_hotIndex && !IsMenuActive())) {
            painter.fillRect(rect, kHotFill);
            painter.setPen(QPen(kFrame, kFrameWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -kFrameWidth, -kFrameWidth));
        }
        style()->drawItemText(&painter, rect, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                              m_menu[std::size_t(i)].label, QPalette::ButtonText);
    }
}

void CMenuXP::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The press that just closed a popup from inside it, handed back by the toolkit.
    if (m_closingPressTimestamp != 0 && event->timestamp() == m_closingPressTimestamp) {
        m_closingPressTimestamp = 0;
        return;
    }
    const int pressed = ButtonAt(event->position().toPoint());
    if (pressed == kNoIndex)
        return;
    if (pressed == m_openIndex)
        ClosePopup();
    else
        SwitchTo(pressed, false);
}

void CMenuXP::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int hovered = ButtonAt(pos);
    if (IsMenuActive()) {
        m_lastTrackedPos = pos;
        if (hovered != kNoIndex && hovered != m_openIndex)
            SwitchTo(hovered, false);
        return;
    }
    SetHotIndex(hovered);
}

void CMenuXP::leaveEvent(QEvent* event)
{
    SetHotIndex(kNoIndex);
    QWidget::leaveEvent(event);
}

void CMenuXP::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        RebuildButtons();
    QWidget::changeEvent(event);
}

void CMenuXP::resizeEvent(QResizeEvent* event)
{
    RebuildButtons();
    QWidget::resizeEvent(event);
}

void CMenuXP::RebuildButtons()
{
    m_buttonRects.clear();
    const QFontMetrics metrics(font());
    int left = 0;
    for (const MenuPopup& popup : m_menu) {
        const int width = metrics.horizontalAdvance(TextWithoutMnemonic(popup.label)) + 2 * kButtonTextPaddingX;
        // The bar's own height when the text fits it (a larger desktop font must not push the
        // buttons out of the title band), the text's when the bar has none yet.
        const int buttonHeight = height() >= metrics.height() ? height() : sizeHint().height();
        m_buttonRects.emplace_back(left, 0, width, buttonHeight);
        left += width;
    }
    updateGeometry();
    update();
}

void CMenuXP::SetHotIndex(int index)
{
    if (index == m_hotIndex)
        return;
    m_hotIndex = index;
    update();
}
