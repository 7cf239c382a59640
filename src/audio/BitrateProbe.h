#pragma once

#include <QString>

// Bit rate in bits per second of the file's first decodable frame; 0 when the file cannot be
// read or no frame decodes.
int ProbeFirstFrameBitrate(const QString& path);

// The index into BitrateTable of the file's first-frame bit rate, for preselecting a
// "Data  Rate" box; the settings' bitrate index when the rate is not in the table or the
// file has no frame (for a VBR setting, the position nearest its typical rate).
int BitrateIndexForFile(const QString& path);
