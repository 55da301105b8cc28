#pragma once

#include <QKeySequence>
#include <QString>

#include <span>

namespace sonavell {

// Every command of the main window: menus, buttons, keys and the tray all send these ids.
enum class CommandId : int {
    Open = 57601,
    SaveAs = 57604,
    LoadPlayerFiles = 32797,
    UpdatePlayerOrder = 32798,
    Rename = 32790,
    ReplaceFileName = 32801,
    ChangeBitrate = 32791,
    Trim = 32800,
    CutAndPlay = 32792,
    Join = 32799,
    Split = 32793,
    WavToMp3 = 32794,
    Mp3ToWav = 32795,
    Exit = 57665,
    Record = 32786,
    Pause = 32772,
    Stop = 32773,
    SelectAll = 32774,
    InvertSelection = 32785,
    DeleteSelectedItems = 32776,
    DeleteSelectedFiles = 32775,
    DeleteAllItems = 32777,
    DeleteAllFiles = 32778,
    SilenceDetector = 32787,
    RecordSetup = 32779,
    TimedRecording = 32796,
    PlayLoop = 32789,
    VolumeControl = 32780,
    SystemSetting = 32784,
    Help = 57670,
    Homepage = 32781,
    Support = 32782,
    About = 57664,
    RestoreWindow = 32897,
    // Buttons of the window.
    RecordButton = 1003,
    PauseButton = 1004,
    StopButton = 1005,
    OptionButton = 1006,
    PlayButton = 1007,
    TagEditButton = 1008,
    Separator = 0,
};

struct MenuItem
{
    CommandId id;
    const char *text; // as shown, with '&' marks and the tab-separated shortcut column
};

struct MenuPopup
{
    const char *title;
    std::span<const MenuItem> items;
};

// Menu 129: the menu bar's popups in order.
std::span<const MenuPopup> menuBarPopups();
// Menu 188: the file list's context menu.
std::span<const MenuItem> fileListMenu();
// Menu 3197: the tray icon's menu.
std::span<const MenuItem> trayMenu();

// The keys that reach the window from anywhere in the program (the keyboard hook's table,
// the record keys and their extra keypad forms).
struct CommandKey
{
    CommandId id;
    QKeySequence key;
};
std::span<const CommandKey> commandKeys();
// The keypad forms of the key table, with NumLock on or off (keypad 1 arrives as End without
// it). Keypad keys do not reach window-system shortcuts everywhere (X drops the keypad mark
// before shortcuts are matched), so the window reads them from the key presses themselves.
// Separator when the key is none of them.
CommandId keypadCommand(int key, Qt::KeyboardModifiers modifiers);

// The commands that act on the selected files and refuse to run without a selection.
bool needsSelection(CommandId id);

// The item's text for a menu: the first '&' marks the mnemonic as written; an '&' that stands
// before a blank or at the end is the character itself and is shown.
QString menuText(const MenuItem &item);

} // namespace sonavell
