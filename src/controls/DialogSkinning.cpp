#include "controls/DialogSkinning.h"

#include "controls/RecordRedioBtn.h"
#include "controls/SkinCheckBox.h"
#include "controls/TransparentStatic.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTextDocument>

namespace
{
// Qt names the widgets it builds inside its own composite controls "qt_...".
bool IsQtInternal(const QWidget* widget)
{
    return widget->objectName().startsWith(QLatin1String("qt_"));
}

// A label that shows a picture, a movie or rich text draws something a plain text painter
// would lose.
bool IsPlainTextLabel(const QLabel* label)
{
    if (!label->pixmap().isNull() || label->movie() || !label->picture().isNull())
        return false;
    switch (label->textFormat()) {
    case Qt::PlainText:
        return true;
    case Qt::AutoText:
        return !Qt::mightBeRichText(label->text());
    default:
        return false;
    }
}
} // namespace

void SkinDialogControls(QWidget* dialog)
{
    if (!dialog)
        return;
    const QList<QWidget*> children = dialog->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (child->window() != dialog->window() || IsQtInternal(child))
            continue;
        if (auto* label = qobject_cast<QLabel*>(child)) {
            if (IsPlainTextLabel(label))
                CTransparentStatic::Attach(label);
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            if (!group->isCheckable())
                CTransparentStatic::Attach(group);
        } else if (auto* radio = qobject_cast<QRadioButton*>(child)) {
            CRecordRedioBtn::Attach(radio);
        } else if (auto* check = qobject_cast<QCheckBox*>(child)) {
            CSkinCheckBox::Attach(check);
        }
    }
}
