#include "app/AppAccessibility.h"

#include "app/CaptionButtons.h"
#include "app/CaptionButtonsAccessible.h"
#include "app/ElapsedTimeLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace
{
// The elapsed time reads as a label whose text is the time.
class ElapsedTimeAccessible : public QAccessibleWidget
{
public:
    explicit ElapsedTimeAccessible(CElapsedTimeLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value) {
            return static_cast<CElapsedTimeLabel*>(widget())->Text();
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String(CCaptionButtons::staticMetaObject.className())) {
        return new CCaptionButtonsAccessible(static_cast<CCaptionButtons*>(object));
    }
    if (className == QLatin1String(CElapsedTimeLabel::staticMetaObject.className())) {
        return new ElapsedTimeAccessible(static_cast<CElapsedTimeLabel*>(object));
    }
    return nullptr;
}
} // namespace

namespace AppAccessibility
{
void EnsureInstalled()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}
} // namespace AppAccessibility
