#pragma once

#include "support/TestSupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The private PulseAudio server that scripts/test.sh starts for the whole run (see
// scripts/sound-server.sh). Tests that need sound use only that server, never a user's.
namespace TestSoundServer
{
// Empty when the shared private server is there to use; otherwise why not, as a skip message.
// It is there only when PULSE_SERVER names the socket in SORVANE_SOUND_DIR, so a PULSE_SERVER
// of the user's own is never taken for it.
QString SharedServerMissing();
QString SharedServerAddress(); // "unix:.../native"
QString SharedPipePath();      // the FIFO of the "pipe" source
QString ScriptPath();          // scripts/sound-server.sh

// Points sound clients' cookie file into `folder` unless PULSE_COOKIE is already set (as
// scripts/test.sh sets it), so tests never create one in the user's home.
void KeepCookieIn(const QString& folder);

// pactl against `server` (an address such as "unix:/tmp/x/native").
TestSupport::ToolResult Pactl(const QString& server, const QStringList& arguments);
// Writes all bytes into the FIFO of a pipe source; false when it cannot be opened or written.
bool WriteToPipe(const QString& path, const QByteArray& bytes);
} // namespace TestSoundServer
