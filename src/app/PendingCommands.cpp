#include "app/PendingCommands.h"

#include "app/CommandIds.h"
#include "app/DialogSeams.h"

#include <array>

namespace
{
struct PendingCommand
{
    int id;
    const char* feature;
};

constexpr std::array kPending{
    PendingCommand{CommandId::kCutAndPlay, "Cutting and playing part of a file"},
};

const PendingCommand* Find(int commandId)
{
    for (const PendingCommand& command : kPending) {
        if (command.id == commandId) {
            return &command;
        }
    }
    return nullptr;
}
} // namespace

namespace PendingCommands
{
bool IsPending(int commandId)
{
    return Find(commandId) != nullptr;
}

QString NotAvailableText(int commandId)
{
    const PendingCommand* command = Find(commandId);
    if (!command) {
        return {};
    }
    return QStringLiteral("%1 is not available yet in this version of Sorvane.").arg(QLatin1String(command->feature));
}

bool Report(int commandId, QWidget* parent)
{
    const QString text = NotAvailableText(commandId);
    if (text.isEmpty()) {
        return false;
    }
    DialogSeams::ShowMessage(parent, text);
    return true;
}
} // namespace PendingCommands
