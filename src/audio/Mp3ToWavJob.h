#pragma once

#include "audio/FileJob.h"

// Decodes each MP3 of the list into a 16-bit PCM WAV file in outputFolder, named after the
// MP3 in lower case with the extension ".Wav".
class CMp3ToWavJob : public CFileJob
{
public:
    void SetOutputFolder(const QString& folder) { m_outputFolder = folder; }
    const QString& OutputFolder() const { return m_outputFolder; }

    // outputFolder + the input's name between its last separator and its last dot, lower-cased,
    // + ".Wav"; exactly one separator between folder and name.
    static QString OutputPathFor(const QString& outputFolder, const QString& inputPath);

    bool ProcessFile(const QString& path) override;

private:
    QString m_outputFolder;
};
