#include "app/MenuDefinition.h"

#include "app/CommandIds.h"

using namespace CommandId;

namespace
{
MenuItem Item(int id, const char* label)
{
    return MenuItem{id, QString::fromUtf8(label)};
}

MenuItem Separator()
{
    return MenuItem{};
}

MenuDefinition BuildMainMenu()
{
    return {
        {QStringLiteral("&File"),
         {Item(kOpen, "&Open...\tCtrl+O"), Item(kSaveAs, "Save &As..."), Separator(),
          Item(kLoadPlayerFiles, "Load MP3 Player Files"), Item(kUpdatePlayerOrder, "Update MP3 Player Files order"),
          Item(kShowRecordings, "Show My Recordings"), Separator(), Item(kRename, "&Rename\tCtrl + R"),
          Item(kChangeBitrate, "&Change Bitrate/volume"), Item(kCutAndPlay, "&Cut and play what you interest"),
          Item(kJoin, "Joint"), Item(kSplit, "&Splite"), Item(kWavToMp3, "&Wav to Mp3 Convert"),
          Item(kMp3ToWav, "&Mp3 to Wav Convert"), Separator(), Item(kExit, "E&xit")}},
        {QStringLiteral("&Record"),
         {Item(kRecord, "&Record\tF5"), Item(kPause, "&Pause \tF6"), Item(kStop, "&Stop\tF7"), Separator(),
          Item(kSelectAll, "&Select All\tCtrl+A"), Item(kInvertSelection, "&Invert Selection \t   "), Separator(),
          Item(kDeleteSelectedItems, "&Delete Selected Items\tDelete"),
          Item(kDeleteSelectedFiles, "De&lete Selected Files\tCtrl + Delete"), Separator(),
          Item(kDeleteAllItems, "Delete &All Items"), Item(kDeleteAllFiles, "Delete All &Files"), Separator()}},
        {QStringLiteral("&Options"),
         {Item(kSilenceDetector, "&Slient Detector"),
          Item(kFormatSetup, "Record and Convert targer File Format &Setup"),
          Item(kTimeRecordSetup, "&Time Record Setup"), Item(kPlayLoop, "&Play Loop"), Separator(),
          Item(kVolumeControl, "Volume Control"), Item(kSystemSetting, "S&ystem  Setting")}},
        {QStringLiteral("&Help"),
         {Item(kHelp, "&Application Help\t   F1"), Separator(), Item(kHomepage, "&Visite homepage-> \t   "),
          Item(kSupport, "&Support\t   "), Separator(), Item(kAbout, "A&bout Sorvane...")}},
    };
}

MenuDefinition BuildListContextMenu()
{
    return {
        {QStringLiteral("&Record"),
         {Item(kRecord, "&Record\t       F5"), Item(kPause, "&Pause \t       F6"), Item(kStop, "&Stop\t       F7"),
          Separator(), Item(kSelectAll, "&Select All\t      Ctrl+A"), Item(kInvertSelection, "&Invert Selection \t   "),
          Separator(), Item(kDeleteSelectedItems, "&Delete Selected Items"),
          Item(kDeleteSelectedFiles, "De&lete Selected Files"), Separator(), Item(kDeleteAllItems, "Delete &All Items"),
          Item(kDeleteAllFiles, "Delete All &Files"), Separator(), Item(kRename, "&Rename File")}},
    };
}
} // namespace

namespace Menus
{
const MenuDefinition& MainMenu()
{
    static const MenuDefinition menu = BuildMainMenu();
    return menu;
}

const MenuDefinition& ListContextMenu()
{
    static const MenuDefinition menu = BuildListContextMenu();
    return menu;
}
} // namespace Menus
