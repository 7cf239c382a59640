#pragma once

#include <QString>

// Where sorvane-cli's words go. Results a command was asked for go to stdout always; notices
// (files written, recordings filed, clipped samples) go out unless --quiet was given; errors
// always go to stderr as "sorvane-cli: MESSAGE".
class CCliOutput
{
public:
    static void SetQuiet(bool quiet);
    static bool IsQuiet();

    // A line on stdout, flushed so a log or a pipe sees it as it happens.
    static void Result(const QString& text);
    // A line on stdout unless quiet.
    static void Notice(const QString& text);
    // "sorvane-cli: MESSAGE" on stderr unless quiet: something worth knowing that is no failure.
    static void Warning(const QString& text);
    // "sorvane-cli: MESSAGE" on stderr, always.
    static void Error(const QString& text);
};
