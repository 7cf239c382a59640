#pragma once

#include <QAccessibleWidget>
#include <array>

class CCaptionButtons;

// The painted close and minimize buttons as two push buttons of a group a screen reader can
// press.
class CCaptionButtonsAccessible : public QAccessibleWidget
{
public:
    explicit CCaptionButtonsAccessible(CCaptionButtons* buttons);
    ~CCaptionButtonsAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text kind) const override;

private:
    static constexpr int kButtonCount = 2;
    mutable std::array<QAccessible::Id, kButtonCount> m_ids{};
};
