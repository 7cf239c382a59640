#include "cli/DecodeCommand.h"

#include "audio/Mp3Decoding.h"
#include "audio/Mp3ToWavSink.h"
#include "audio/TranscodeContext.h"
#include "audio/WholeFile.h"
#include "cli/CliArguments.h"

int CDecodeCommand::Run(const QStringList& arguments)
{
    CCliArguments args({}, {});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 2) {
        return UsageError(QStringLiteral("decode takes an input MP3 and an output WAV"));
    }
    const QString input = args.Positional().at(0);
    const QString output = args.Positional().at(1);
    if (const QString problem = CheckInputFile(input); !problem.isEmpty()) {
        return Fail(problem);
    }
    if (SameFile(input, output)) {
        return Fail(QStringLiteral("%1: the output would overwrite the input").arg(output));
    }

    if (!IsMp3File(input)) {
        return Fail(QStringLiteral("%1: not an MP3 file").arg(input));
    }
    CWholeFile mp3;
    if (!mp3.Load(input)) {
        return Fail(QStringLiteral("%1: %2").arg(input, mp3.ErrorText()));
    }
    CTranscodeContext::Instance().inputPath = input;
    CMp3ToWavSink sink(output);
    DecodeMp3Buffer(mp3.Data(), mp3.Size(), sink);
    CTranscodeContext::DestroyInstance();

    if (!sink.Started() && !sink.WriteFailed()) {
        return Fail(QStringLiteral("%1: not an MP3 file (no MPEG audio frame decodes)").arg(input));
    }
    if (!sink.Close()) {
        return Fail(QStringLiteral("%1: cannot be written").arg(output));
    }
    return kExitSuccess;
}
