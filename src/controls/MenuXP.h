#pragma once

#include "app/MenuDefinition.h"
#include "controls/PopupMenu.h"

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

class QMenu;

// The main window's menu bar: a flat row of buttons, one per top-level popup of a menu, painted
// over the window's skin. A click drops the popup under its button; while a popup is open the
// bar follows the mouse and the Left and Right keys from one popup to the next, as a system menu
// bar does. Every chosen item reaches the command target as a command event.
class CMenuXP : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kControlId = 20;
    static constexpr int kNoIndex = -1;
    static constexpr QColor kHotFill = QColor(193, 210, 238);
    static constexpr QColor kFrame = QColor(49, 106, 197);

    explicit CMenuXP(QWidget* parent = nullptr);
    ~CMenuXP() override;

    // Replaces the menu (closing an open popup) and makes one button per popup.
    void SetMenu(const MenuDefinition& menu);
    // Where commands go; the bar's own window when none is set.
    void SetCommandTarget(QObject* target);
    // Asked each time a popup opens, for check marks and greyed-out items.
    void SetItemQueries(MenuItemQueries queries);

    int ButtonCount() const;
    QRect ButtonRect(int index) const;
    // The button's label as shown (without the mnemonic marker); empty past either end.
    QString ButtonText(int index) const;
    // kNoIndex when `pos` (bar coordinates) is on no button.
    int ButtonAt(QPoint pos) const;

    // Opens the popup of button `index`; an index past either end wraps round.
    void OpenPopup(int index);
    void ClosePopup();
    // The button whose popup is open, or kNoIndex.
    int OpenIndex() const { return m_openIndex; }
    // The open popup, or nullptr.
    QMenu* OpenMenu() const;
    bool IsMenuActive() const { return m_openIndex != kNoIndex; }

    QSize sizeHint() const override;

signals:
    // A popup opened while none was open, and the last one closed again.
    void MenuLoopEntered();
    void MenuLoopExited();
    // The mouse or the keys moved onto an item of the open popup.
    void ItemHighlighted(int id);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RebuildButtons();
    void SwitchTo(int index, bool selectFirstItem);
    void OnPopupHidden(QMenu* menu);
    bool HandlePopupKey(QKeyEvent* event);
    bool HandlePopupMouseMove(QMouseEvent* event);
    bool HandlePopupMousePress(QMouseEvent* event);
    void SetHotIndex(int index);
    QPoint PopupPosition(int index, const QMenu& menu) const;

    MenuDefinition m_menu;
    std::vector<std::unique_ptr<QMenu>> m_popups;
    std::vector<QRect> m_buttonRects;
    QPointer<QObject> m_commandTarget;
    MenuItemQueries m_queries;
    int m_openIndex = kNoIndex;
    int m_hotIndex = kNoIndex;
    // Set while one popup hands over to the next, so the menu loop does not end in between.
    bool m_switching = false;
    // The last pointer position seen over an open popup, in bar coordinates.
    QPoint m_lastTrackedPos;
    // The press that closed a popup, so a replay of it does not open the popup again.
    quint64 m_closingPressTimestamp = 0;
};
