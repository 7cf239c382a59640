#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

// The help, web page, mail and sound tools the Help and Options menus hand over to the desktop.
// Each says plainly, in a message box, when nothing suitable is there.
class CDesktopLauncher
{
public:
    static constexpr const char* kHomepageUrl = "https://sorvane.example.org/";
    static constexpr const char* kSupportAddress = "support@sorvane.example.org";
    static constexpr const char* kHelpFolder = "help";
    static constexpr const char* kHelpPage = "index.html";

    // A program the desktop may have, with its arguments.
    struct Tool
    {
        QString program;
        QStringList arguments;
    };

    // The local help page: beside the program (build tree, portable folder) or in the
    // installed share folder; empty when neither has it.
    static QString HelpPagePath();

    static bool OpenHelp(QWidget* parent);
    static bool OpenHomepage(QWidget* parent);
    static bool OpenSupportMail(QWidget* parent);
    static bool StartVolumeControl(QWidget* parent);
    static bool StartSoundSettings(QWidget* parent);

    // The tools tried, in order.
    static const std::vector<Tool>& VolumeControls();
    static const std::vector<Tool>& SoundSettings();

private:
    static bool OpenUrl(QWidget* parent, const QString& url);
    static bool StartFirstFound(QWidget* parent, const std::vector<Tool>& tools, const QString& missingText);
};
