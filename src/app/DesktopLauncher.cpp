#include "app/DesktopLauncher.h"

#include "app/DialogSeams.h"
#include "platform/ExecutableDirectory.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace
{
constexpr const char* kInstalledHelpFolder = "../share/sorvane/help";

QString MissingVolumeControlText()
{
    return QStringLiteral("No volume control program is installed. Install pavucontrol (PulseAudio Volume "
                          "Control) to set the recording and playback volumes.");
}

QString MissingSoundSettingsText()
{
    return QStringLiteral("No sound settings program is installed (looked for gnome-control-center, "
                          "kcmshell6, kcmshell5, mate-volume-control and pavucontrol).");
}

QString Arg(const char* text)
{
    return QString::fromLatin1(text);
}
} // namespace

const std::vector<CDesktopLauncher::Tool>& CDesktopLauncher::VolumeControls()
{
    static const std::vector<Tool> tools{{Arg("pavucontrol"), {}}};
    return tools;
}

const std::vector<CDesktopLauncher::Tool>& CDesktopLauncher::SoundSettings()
{
    static const std::vector<Tool> tools{
        {Arg("gnome-control-center"), {Arg("sound")}},
        {Arg("kcmshell6"), {Arg("kcm_pulseaudio")}},
        {Arg("kcmshell5"), {Arg("kcm_pulseaudio")}},
        {Arg("mate-volume-control"), {}},
        {Arg("pavucontrol"), {}},
    };
    return tools;
}

QString CDesktopLauncher::HelpPagePath()
{
    const QDir programFolder(ExecutableDirectory());
    for (const QString& folder : {Arg(kHelpFolder), Arg(kInstalledHelpFolder)}) {
        const QFileInfo page(programFolder.filePath(folder + QLatin1Char('/') + Arg(kHelpPage)));
        if (page.isFile()) {
            return page.absoluteFilePath();
        }
    }
    return {};
}

bool CDesktopLauncher::OpenUrl(QWidget* parent, const QString& url)
{
    if (QDesktopServices::openUrl(QUrl(url))) {
        return true;
    }
    DialogSeams::ShowMessage(parent, QStringLiteral("No program could be started to open \"%1\".").arg(url),
                             QMessageBox::Warning);
    return false;
}

bool CDesktopLauncher::OpenHelp(QWidget* parent)
{
    const QString page = HelpPagePath();
    if (page.isEmpty()) {
        DialogSeams::ShowMessage(parent,
                                 QStringLiteral("The help pages were not found beside the program (%1).")
                                     .arg(QDir(ExecutableDirectory()).filePath(Arg(kHelpFolder))),
                                 QMessageBox::Warning);
        return false;
    }
    return OpenUrl(parent, QUrl::fromLocalFile(page).toString());
}

bool CDesktopLauncher::OpenHomepage(QWidget* parent)
{
    return OpenUrl(parent, Arg(kHomepageUrl));
}

bool CDesktopLauncher::OpenSupportMail(QWidget* parent)
{
    return OpenUrl(parent, QStringLiteral("mailto:") + Arg(kSupportAddress));
}

bool CDesktopLauncher::StartFirstFound(QWidget* parent, const std::vector<Tool>& tools, const QString& missingText)
{
    for (const Tool& tool : tools) {
        const QString path = QStandardPaths::findExecutable(tool.program);
        if (path.isEmpty()) {
            continue;
        }
        if (QProcess::startDetached(path, tool.arguments)) {
            return true;
        }
    }
    DialogSeams::ShowMessage(parent, missingText, QMessageBox::Warning);
    return false;
}

bool CDesktopLauncher::StartVolumeControl(QWidget* parent)
{
    return StartFirstFound(parent, VolumeControls(), MissingVolumeControlText());
}

bool CDesktopLauncher::StartSoundSettings(QWidget* parent)
{
    return StartFirstFound(parent, SoundSettings(), MissingSoundSettingsText());
}
