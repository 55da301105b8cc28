#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include "settings/recordersettings.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonavell"));
    // Loaded now, saved when the process exits.
    sonavell::settings();
    // Stand-in until the recorder window exists.
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Sonavell"));
    window.setCentralWidget(new QLabel(QStringLiteral("Sonavell"), &window));
    window.resize(480, 320);
    window.show();
    return app.exec();
}
