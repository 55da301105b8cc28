#include "core/settings/recordersettings.h"
#include "gui/app/recorderwindow.h"
#include "gui/skin/appicons.h"
#include "platform/audiobackend.h"
#include "platform/udisksremovabledrives.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonavell"));
    // Lets the desktop match the window to sonavell.desktop and its icon.
    QGuiApplication::setDesktopFileName(sonavell::desktopFileName());
    QApplication::setWindowIcon(sonavell::applicationIcon());
    // Loaded now, saved when the process exits.
    sonavell::settings();

    // The waveform and skin colours assume a true-colour display; a desktop cannot be switched
    // from here, so the user is only told.
    if (const QScreen *screen = QGuiApplication::primaryScreen(); screen && screen->depth() < 24) {
        QMessageBox::warning(nullptr, QStringLiteral("Sonavell"),
                             QStringLiteral("This program need 32 bit Color quality display mode, Change your "
                                            "computer display mode to  this Mode!"));
    }

    // The desktop's sound server when one answers, else ALSA. On the server the record source
    // the user chose last time is taken again while it exists.
    sonavell::AudioBackend audio = sonavell::openAudioBackend();
    sonavell::rememberRecordSource(audio);
    sonavell::UdisksRemovableDrives drives;
    sonavell::RecorderWindow window(*audio.input, *audio.output, *audio.mixer);
    window.setRemovableDrives(drives);
    // Recordings a crash, a kill or a power cut interrupted are finished and listed first.
    window.recoverInterruptedRecordings(sonavell::dataFolder());
    window.show();
    return app.exec();
}
