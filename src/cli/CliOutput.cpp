#include "cli/CliOutput.h"

#include <atomic>
#include <cstdio>

namespace
{
std::atomic<bool> g_quiet{false};

void WriteLine(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}
} // namespace

void CCliOutput::SetQuiet(bool quiet)
{
    g_quiet = quiet;
}

bool CCliOutput::IsQuiet()
{
    return g_quiet;
}

void CCliOutput::Result(const QString& text)
{
    WriteLine(stdout, text);
}

void CCliOutput::Notice(const QString& text)
{
    if (!g_quiet) {
        WriteLine(stdout, text);
    }
}

void CCliOutput::Warning(const QString& text)
{
    if (!g_quiet) {
        WriteLine(stderr, QStringLiteral("sorvane-cli: ") + text);
    }
}

void CCliOutput::Error(const QString& text)
{
    WriteLine(stderr, QStringLiteral("sorvane-cli: ") + text);
}
