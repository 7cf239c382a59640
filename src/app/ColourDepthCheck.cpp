#include "app/ColourDepthCheck.h"

#include "app/DialogSeams.h"

#include <QScreen>

namespace ColourDepthCheck
{
bool Run(const QScreen* screen, QWidget* parent)
{
    if (!screen || screen->depth() >= kMinimumDepth) {
        return false;
    }
    DialogSeams::ShowMessage(parent, QString::fromLatin1(kWarningText));
    return true;
}
} // namespace ColourDepthCheck
