#include "audio/ReplaceQuestion.h"

#include "app/DialogSeams.h"

#include <QFileInfo>

namespace ReplaceQuestion
{
bool Ask(QWidget* parent, const QStringList& existing)
{
    if (existing.isEmpty()) {
        return true;
    }
    DialogSeams::MessageRequest request;
    request.text = existing.size() == 1
                       ? QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(existing.front())
                       : QStringLiteral("These files already exist:\n%1\nDo you want to replace them?")
                             .arg(existing.join(QLatin1Char('\n')));
    request.icon = QMessageBox::Question;
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.defaultButton = QMessageBox::No;
    return DialogSeams::ShowMessage(parent, request) == QMessageBox::Yes;
}

bool AcceptSavePath(QWidget* parent, const QString& chosen, const QString& completed, bool* replacing)
{
    const QFileInfo target(completed);
    const bool exists = target.exists() || target.isSymLink();
    // The save dialog asked about the name it returned; a name completed here it never saw.
    if (exists && completed != chosen && !Ask(parent, {completed})) {
        *replacing = false;
        return false;
    }
    *replacing = exists;
    return true;
}
} // namespace ReplaceQuestion
