#include "controls/ControlId.h"

#include <QVariant>

namespace ControlId
{
void Set(QWidget* widget, int id)
{
    widget->setProperty(kPropertyName, id);
    if (widget->objectName().isEmpty())
        widget->setObjectName(QStringLiteral("control%1").arg(id));
}

int Of(const QWidget* widget)
{
    const QVariant id = widget->property(kPropertyName);
    return id.isValid() ? id.toInt() : kNone;
}

QWidget* Find(const QWidget* root, int id)
{
    if (root == nullptr)
        return nullptr;
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (Of(child) == id)
            return child;
    }
    return nullptr;
}
} // namespace ControlId
