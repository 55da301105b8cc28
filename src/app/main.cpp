#include "gui/app/recorderwindow.h"
#include "platform/alsaaudioinput.h"
#include "platform/alsaaudiooutput.h"
#include "platform/alsamixer.h"
#include "platform/udisksremovabledrives.h"
#include "core/settings/recordersettings.h"
#include "gui/skin/appicons.h"

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

    sonavell::AlsaAudioInput input;
    sonavell::AlsaAudioOutput output;
    sonavell::AlsaMixer mixer;
    sonavell::UdisksRemovableDrives drives;
    sonavell::RecorderWindow window(input, output, mixer);
    window.setRemovableDrives(drives);
    window.show();
    return app.exec();
}
