#include "cli/CliApplication.h"

#include "cli/CliOutput.h"
#include "cli/DecodeCommand.h"
#include "cli/EncodeCommand.h"
#include "cli/InfoCommand.h"
#include "cli/JoinCommand.h"
#include "cli/RecordCommand.h"
#include "cli/ReencodeCommand.h"
#include "cli/ScheduleCommand.h"
#include "cli/SplitCommand.h"
#include "cli/TagCommand.h"
#include "cli/Wav2Mp3Command.h"

#include <cstdio>

CCliApplication::CCliApplication()
{
    m_commands.push_back(std::make_unique<CInfoCommand>());
    m_commands.push_back(std::make_unique<CTagCommand>());
    m_commands.push_back(std::make_unique<CEncodeCommand>());
    m_commands.push_back(std::make_unique<CDecodeCommand>());
    m_commands.push_back(std::make_unique<CWav2Mp3Command>());
    m_commands.push_back(std::make_unique<CReencodeCommand>());
    m_commands.push_back(std::make_unique<CSplitCommand>());
    m_commands.push_back(std::make_unique<CJoinCommand>());
    m_commands.push_back(std::make_unique<CRecordCommand>());
    m_commands.push_back(std::make_unique<CScheduleCommand>());
}

CCliApplication::~CCliApplication() = default;

QString CCliApplication::VersionText()
{
    return QStringLiteral("sorvane-cli %1").arg(QLatin1String(SORVANE_VERSION));
}

QString CCliApplication::UsageText() const
{
    QString text = QStringLiteral("usage: sorvane-cli [--quiet] COMMAND [ARGUMENTS]\n"
                                  "       sorvane-cli COMMAND --help\n"
                                  "       sorvane-cli --help | --version\n\n"
                                  "Sound recorder and MP3 workbench: records, converts, re-encodes, splits, joins "
                                  "and tags MP3 files.\n\ncommands:\n");
    for (const auto& command : m_commands) {
        text += QStringLiteral("  %1 %2\n      %3\n").arg(command->Name(), command->Synopsis(), command->Summary());
    }
    text += QStringLiteral("\noptions:\n"
                           "  --help     show this text, or with a command that command's usage, and exit\n"
                           "  --quiet    print nothing but errors: no progress line, no notices\n"
                           "  --version  show the program's version and exit\n\n") +
            CCliCommand::ExitStatusText();
    return text;
}

CCliCommand* CCliApplication::Find(const QString& name) const
{
    for (const auto& command : m_commands) {
        if (command->Name() == name) {
            return command.get();
        }
    }
    return nullptr;
}

int CCliApplication::Run(const QStringList& arguments)
{
    QStringList words = arguments;
    // Options before the command are the program's own.
    while (!words.isEmpty() && words.first().startsWith(QLatin1Char('-'))) {
        const QString option = words.takeFirst();
        if (IsHelpWord(option)) {
            std::fputs(UsageText().toLocal8Bit().constData(), stdout);
            return CCliCommand::kExitSuccess;
        }
        if (option == QLatin1String("--version") || option == QLatin1String("-V")) {
            std::printf("%s\n", VersionText().toLocal8Bit().constData());
            return CCliCommand::kExitSuccess;
        }
        if (option == QLatin1String("--quiet") || option == QLatin1String("-q")) {
            CCliOutput::SetQuiet(true);
            continue;
        }
        return UsageFailure(QStringLiteral("unknown option '%1'").arg(option));
    }
    if (words.isEmpty()) {
        std::fputs(UsageText().toLocal8Bit().constData(), stderr);
        return CCliCommand::kExitUsage;
    }
    const QString name = words.takeFirst();
    if (name == QLatin1String("help")) {
        const CCliCommand* command = words.isEmpty() ? nullptr : Find(words.first());
        if (!words.isEmpty() && !command) {
            return UsageFailure(QStringLiteral("unknown command '%1'").arg(words.first()));
        }
        std::fputs((command ? command->HelpText() : UsageText()).toLocal8Bit().constData(), stdout);
        return CCliCommand::kExitSuccess;
    }
    CCliCommand* command = Find(name);
    if (!command) {
        return UsageFailure(QStringLiteral("unknown command '%1'").arg(name));
    }
    // --help and --quiet mean the same to every command; after "--" every word is a file name.
    QStringList rest;
    bool optionsEnded = false;
    for (const QString& word : words) {
        if (!optionsEnded && word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && IsHelpWord(word)) {
            std::fputs(command->HelpText().toLocal8Bit().constData(), stdout);
            return CCliCommand::kExitSuccess;
        } else if (!optionsEnded && (word == QLatin1String("--quiet") || word == QLatin1String("-q"))) {
            CCliOutput::SetQuiet(true);
            continue;
        }
        rest.append(word);
    }
    return command->Run(rest);
}

bool CCliApplication::IsHelpWord(const QString& word)
{
    return word == QLatin1String("--help") || word == QLatin1String("-h");
}

int CCliApplication::UsageFailure(const QString& message) const
{
    std::fprintf(stderr, "sorvane-cli: %s\n\n%s", message.toLocal8Bit().constData(),
                 UsageText().toLocal8Bit().constData());
    return CCliCommand::kExitUsage;
}
