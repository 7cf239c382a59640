#pragma once

class CRecordingsList;
class QWidget;

// The main window's two player commands over its recordings list.
namespace PlayerTransferCommands
{
// "Load MP3 Player Files": the chosen player's MP3 files take the place of the list's rows,
// after the user agreed; the recordings are kept aside until "Show My Recordings".
void LoadPlayerFiles(QWidget* owner, CRecordingsList& list);
// "Update MP3 Player Files order": the player's directory entries follow the list's order.
void UpdatePlayerOrder(QWidget* owner, CRecordingsList& list);
// Whether the update is offered: the list's first file lies on a removable volume.
bool CanUpdatePlayerOrder(const CRecordingsList& list);
} // namespace PlayerTransferCommands
