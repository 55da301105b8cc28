#include "gui/app/commands.h"

#include <array>

namespace sonavell {

namespace {

constexpr MenuItem kSeparator{CommandId::Separator, ""};

constexpr std::array kFileMenu{
    MenuItem{CommandId::Open, "&Open...\tCtrl+O"},
    MenuItem{CommandId::SaveAs, "Save &As..."},
    kSeparator,
    MenuItem{CommandId::LoadPlayerFiles, "Load MP3 Player Files"},
    MenuItem{CommandId::UpdatePlayerOrder, "Update MP3 Player Files order"},
    kSeparator,
    MenuItem{CommandId::Rename, "&Rename\tCtrl + R"},
    MenuItem{CommandId::ReplaceFileName, "&Replace File Name\tCtrl + H"},
    kSeparator,
    MenuItem{CommandId::ChangeBitrate, "&Change Bitrate/volume"},
    MenuItem{CommandId::Trim, "&Trim Out Start & End Segment"},
    MenuItem{CommandId::CutAndPlay, "&Cut and play what you interest"},
    MenuItem{CommandId::Join, "Joint"},
    MenuItem{CommandId::Split, "&Splite"},
    kSeparator,
    MenuItem{CommandId::WavToMp3, "&Wav to Mp3 Convert"},
    MenuItem{CommandId::Mp3ToWav, "&Mp3 to Wav Convert"},
    kSeparator,
    MenuItem{CommandId::Exit, "E&xit"},
};

constexpr std::array kRecordMenu{
    MenuItem{CommandId::Record, "&Record\tF5"},
    MenuItem{CommandId::Pause, "&Pause \tF6"},
    MenuItem{CommandId::Stop, "&Stop\tF7"},
    kSeparator,
    MenuItem{CommandId::SelectAll, "&Select All\tCtrl+A"},
    MenuItem{CommandId::InvertSelection, "&Invert Selection \t   "},
    kSeparator,
    MenuItem{CommandId::DeleteSelectedItems, "&Delete Selected Items\tDelete"},
    MenuItem{CommandId::DeleteSelectedFiles, "De&lete Selected Files\tCtrl + Delete"},
    kSeparator,
    MenuItem{CommandId::DeleteAllItems, "Delete &All Items"},
    MenuItem{CommandId::DeleteAllFiles, "Delete All &Files"},
};

constexpr std::array kOptionsMenu{
    MenuItem{CommandId::SilenceDetector, "&Slient Detector"},
    MenuItem{CommandId::RecordSetup, "Record and Convert targer File Format &Setup"},
    MenuItem{CommandId::TimedRecording, "&Time Record Setup"},
    kSeparator,
    MenuItem{CommandId::PlayLoop, "&Play Loop"},
    kSeparator,
    MenuItem{CommandId::VolumeControl, "Volume Control"},
    MenuItem{CommandId::SystemSetting, "S&ystem  Setting"},
};

constexpr std::array kHelpMenu{
    MenuItem{CommandId::Help, "&Application Help\t   F1"},
    MenuItem{CommandId::Homepage, "&Visite homepage-> \t   "},
    MenuItem{CommandId::Support, "&Support\t   "},
    kSeparator,
    MenuItem{CommandId::About, "A&bout Sonavell..."},
};

constexpr std::array kMenuBar{
    MenuPopup{"&File", kFileMenu},
    MenuPopup{"&Record", kRecordMenu},
    MenuPopup{"&Options", kOptionsMenu},
    MenuPopup{"&Help", kHelpMenu},
};

constexpr std::array kFileListMenu{
    MenuItem{CommandId::Record, "&Record\t       F5"},
    MenuItem{CommandId::Pause, "&Pause \t       F6"},
    MenuItem{CommandId::Stop, "&Stop\t       F7"},
    kSeparator,
    MenuItem{CommandId::SelectAll, "&Select All\t      Ctrl+A"},
    MenuItem{CommandId::InvertSelection, "&Invert Selection \t   "},
    kSeparator,
    MenuItem{CommandId::DeleteSelectedItems, "&Delete Selected Items"},
    MenuItem{CommandId::DeleteSelectedFiles, "De&lete Selected Files"},
    kSeparator,
    MenuItem{CommandId::DeleteAllItems, "Delete &All Items"},
    MenuItem{CommandId::DeleteAllFiles, "Delete All &Files"},
    kSeparator,
    MenuItem{CommandId::Rename, "&Rename File"},
};

constexpr std::array kTrayMenu{
    MenuItem{CommandId::RestoreWindow, "&Restore Window"},
    kSeparator,
    MenuItem{CommandId::Record, "&Record\tF5"},
    MenuItem{CommandId::Pause, "&Pause \tF6"},
    MenuItem{CommandId::Stop, "&Stop\tF7"},
    kSeparator,
    MenuItem{CommandId::Exit, "E&xit"},
};

} // namespace

std::span<const MenuPopup> menuBarPopups()
{
    return kMenuBar;
}

std::span<const MenuItem> fileListMenu()
{
    return kFileListMenu;
}

std::span<const MenuItem> trayMenu()
{
    return kTrayMenu;
}

std::span<const CommandKey> commandKeys()
{
    static const std::array keys{
        CommandKey{CommandId::DeleteSelectedItems, QKeySequence(Qt::Key_Delete)},
        CommandKey{CommandId::DeleteSelectedFiles, QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        CommandKey{CommandId::SelectAll, QKeySequence(Qt::CTRL | Qt::Key_A)},
        CommandKey{CommandId::Open, QKeySequence(Qt::CTRL | Qt::Key_O)},
        CommandKey{CommandId::Rename, QKeySequence(Qt::CTRL | Qt::Key_R)},
        CommandKey{CommandId::Rename, QKeySequence(Qt::CTRL | Qt::Key_F3)},
        CommandKey{CommandId::ReplaceFileName, QKeySequence(Qt::CTRL | Qt::Key_H)},
        CommandKey{CommandId::Help, QKeySequence(Qt::Key_F1)},
        CommandKey{CommandId::Record, QKeySequence(Qt::Key_F5)},
        CommandKey{CommandId::Pause, QKeySequence(Qt::Key_F6)},
        CommandKey{CommandId::Stop, QKeySequence(Qt::Key_F7)},
    };
    return keys;
}

CommandId keypadCommand(int key, Qt::KeyboardModifiers modifiers)
{
    if (!(modifiers & Qt::KeypadModifier))
        return CommandId::Separator;
    const Qt::KeyboardModifiers held = modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier
                                                    | Qt::MetaModifier);
    const bool control = held == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_1:   // NumLock on
    case Qt::Key_End: // NumLock off
        return control ? CommandId::SelectAll : CommandId::Separator;
    case Qt::Key_Slash:
        return control ? CommandId::Open : CommandId::Separator;
    case Qt::Key_Delete: // the keypad's Del, NumLock off
        if (held == Qt::NoModifier)
            return CommandId::DeleteSelectedItems;
        return control ? CommandId::DeleteSelectedFiles : CommandId::Separator;
    default:
        return CommandId::Separator;
    }
}

bool needsSelection(CommandId id)
{
    switch (id) {
    case CommandId::ChangeBitrate:
    case CommandId::Split:
    case CommandId::Mp3ToWav:
    case CommandId::Join:
    case CommandId::Trim:
    case CommandId::ReplaceFileName:
        return true;
    default:
        return false;
    }
}

QString menuText(const MenuItem &item)
{
    QString text = QString::fromUtf8(item.text);
    for (qsizetype at = text.indexOf(QLatin1Char('&')); at >= 0; at = text.indexOf(QLatin1Char('&'), at + 1)) {
        const QChar next = at + 1 < text.size() ? text.at(at + 1) : QChar();
        if (next == QLatin1Char('&')) {
            ++at; // already doubled
        } else if (next.isNull() || next.isSpace()) {
            text.insert(at, QLatin1Char('&'));
            ++at;
        }
    }
    return text;
}

} // namespace sonavell
