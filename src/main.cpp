#include "platform/QtDialogs.h"
#include "platform/QtPortEnumerator.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SystemClock.h"
#include "shell/Form1.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    SystemClock clock;
    QtSerialPortFactory ports;
    QtPortEnumerator portList;
    QtSoundPlayer sound;
    QtDialogs dialogs;

    Services services;
    services.clock = &clock;
    services.ports = &ports;
    services.portList = &portList;
    services.sound = &sound;
    services.dialogs = &dialogs;
    services.appDir = QCoreApplication::applicationDirPath();
    services.baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    Form1 window(services);
    window.show();
    return app.exec();
}
