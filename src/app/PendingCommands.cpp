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
    PendingCommand{CommandId::kLoadPlayerFiles, "Loading the files of an MP3 player"},
    PendingCommand{CommandId::kUpdatePlayerOrder, "Updating the file order of an MP3 player"},
    PendingCommand{CommandId::kChangeBitrate, "Changing the bit rate and volume of MP3 files"},
    PendingCommand{CommandId::kCutAndPlay, "Cutting and playing part of a file"},
    PendingCommand{CommandId::kJoin, "Joining MP3 files"},
    PendingCommand{CommandId::kSplit, "Splitting MP3 files"},
    PendingCommand{CommandId::kWavToMp3, "Converting WAV files to MP3"},
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
