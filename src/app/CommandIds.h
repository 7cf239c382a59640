#pragma once

// The fixed command and control numbers of the main window. Menus, buttons, the list's context
// menu and the keyboard shortcuts all reach one dispatcher keyed by these values.
namespace CommandId
{
// Buttons of the main window (also control ids).
constexpr int kRecordButton = 1003;
constexpr int kPauseButton = 1004;
constexpr int kStopButton = 1005;
constexpr int kOptionButton = 1006;
constexpr int kPlayButton = 1007;
constexpr int kTagEditToggleButton = 1008;

// Menu 129 and the list's context menu 188.
constexpr int kOpen = 57601;
constexpr int kSaveAs = 57604;
constexpr int kLoadPlayerFiles = 32797;
constexpr int kUpdatePlayerOrder = 32798;
// Brings the user's recordings back after a player's files were loaded into the list.
constexpr int kShowRecordings = 32800;
constexpr int kRename = 32790;
constexpr int kChangeBitrate = 32791;
constexpr int kCutAndPlay = 32792;
constexpr int kJoin = 32799;
constexpr int kSplit = 32793;
constexpr int kWavToMp3 = 32794;
constexpr int kMp3ToWav = 32795;
constexpr int kExit = 57665;
constexpr int kRecord = 32786;
constexpr int kPause = 32772;
constexpr int kStop = 32773;
constexpr int kSelectAll = 32774;
constexpr int kInvertSelection = 32785;
constexpr int kDeleteSelectedItems = 32776;
constexpr int kDeleteSelectedFiles = 32775;
constexpr int kDeleteAllItems = 32777;
constexpr int kDeleteAllFiles = 32778;
constexpr int kSilenceDetector = 32787;
constexpr int kFormatSetup = 32779;
constexpr int kTimeRecordSetup = 32796;
constexpr int kPlayLoop = 32789;
constexpr int kVolumeControl = 32780;
constexpr int kSystemSetting = 32784;
constexpr int kHelp = 57670;
constexpr int kHomepage = 32781;
constexpr int kSupport = 32782;
constexpr int kAbout = 57664;

// The record-source radio group.
constexpr int kFirstSourceRadio = 3055;
constexpr int kLastSourceRadio = 3062;
} // namespace CommandId

// Control ids of the main window that are not commands.
namespace MainControlId
{
constexpr int kRecordingsList = 1002;
constexpr int kTagPanelFrame = 1029;
constexpr int kMenuBar = 20;
} // namespace MainControlId
