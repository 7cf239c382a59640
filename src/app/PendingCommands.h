#pragma once

#include <QString>

class QWidget;

// Commands whose windows are not part of this version yet. They all end here, in one place, and
// tell the user so; each is taken out of this table when its feature arrives.
namespace PendingCommands
{
bool IsPending(int commandId);
// The message shown for a pending command; empty for any other.
QString NotAvailableText(int commandId);
// Shows the message; false when the command is not pending.
bool Report(int commandId, QWidget* parent);
} // namespace PendingCommands
