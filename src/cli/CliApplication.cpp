#include "cli/CliApplication.h"

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

QString CCliApplication::UsageText() const
{
    QString text = QStringLiteral("usage: sorvane-cli COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const auto& command : m_commands) {
        text += QStringLiteral("  %1 %2\n      %3\n").arg(command->Name(), command->Synopsis(), command->Summary());
    }
    text += QStringLiteral("\nsorvane-cli --help shows this text.\n");
    return text;
}

int CCliApplication::Run(const QStringList& arguments)
{
    if (arguments.isEmpty()) {
        std::fputs(UsageText().toLocal8Bit().constData(), stderr);
        return CCliCommand::kExitUsage;
    }
    const QString& name = arguments.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return CCliCommand::kExitSuccess;
    }
    for (const auto& command : m_commands) {
        if (command->Name() == name) {
            return command->Run(arguments.mid(1));
        }
    }
    std::fprintf(stderr, "sorvane-cli: unknown command '%s'\n\n%s", name.toLocal8Bit().constData(),
                 UsageText().toLocal8Bit().constData());
    return CCliCommand::kExitUsage;
}
