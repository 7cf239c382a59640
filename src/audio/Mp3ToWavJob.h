#pragma once

#include "audio/FileJob.h"

// Decodes each MP3 of the list into a 16-bit PCM WAV file in outputFolder, named after the
// MP3 in lower case with the extension ".Wav".
class CMp3ToWavJob : public CFileJob
{
public:
    void SetOutputFolder(const QString& folder) { m_outputFolder = folder; }
    const QString& OutputFolder() const { return m_outputFolder; }
    // One output named by the caller, used instead of a name in the output folder.
    void SetOutputPath(const QString& path) { m_outputPath = path; }
    // Whether the user agreed that outputs may replace existing files of their names.
    void SetReplaceExisting(bool agreed) { m_replaceExisting = agreed; }
    // Where the WAV of inputPath goes.
    QString OutputPathOf(const QString& inputPath) const;

    // outputFolder + the input's name between its last separator and its last dot, lower-cased,
    // + ".Wav"; exactly one separator between folder and name.
    static QString OutputPathFor(const QString& outputFolder, const QString& inputPath);

    bool ProcessFile(const QString& path) override;

private:
    QString m_outputFolder;
    QString m_outputPath;
    bool m_replaceExisting = false;
};
