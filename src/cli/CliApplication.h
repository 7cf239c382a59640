#pragma once

#include "cli/CliCommand.h"

#include <QStringList>
#include <memory>
#include <vector>

// sorvane-cli: picks the command named by the first word and runs it.
class CCliApplication
{
public:
    CCliApplication();
    ~CCliApplication();

    int Run(const QStringList& arguments); // arguments without the program name
    QString UsageText() const;
    static QString VersionText();

private:
    CCliCommand* Find(const QString& name) const;
    static bool IsHelpWord(const QString& word);
    // The message and the usage on stderr; the usage error's exit code.
    int UsageFailure(const QString& message) const;

    std::vector<std::unique_ptr<CCliCommand>> m_commands;
};
