#include "app/RecorderApp.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    // Without a display Qt would stop with a toolkit error; say what to do instead.
    if (!CRecorderApp::DisplayAvailable()) {
        std::fprintf(stderr, "%s\n", CRecorderApp::NoDisplayText());
        return CRecorderApp::kNoDisplayExitCode;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sorvane"));
    QApplication::setDesktopFileName(QStringLiteral("sorvane"));
    // Everything after the program's name that Qt left is a file to list.
    return CRecorderApp().Run(QApplication::arguments().mid(1));
}
