#include "platform/QtDialogs.h"
#include "platform/QtPortEnumerator.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SystemClock.h"
#include "shell/DataFolder.h"
#include "shell/Form1.h"
#include "shell/StartOptions.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(versionText());

    StartOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), &error)) {
        QTextStream(stderr) << error << Qt::endl;
        return 2;
    }

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
    const DataFolder data = DataFolder::resolve(QCoreApplication::applicationDirPath(), options.dataDir);
    data.create();  // a folder that cannot be made shows as the settings file's failure
    services.appDir = data.dir;
    services.soundDir = data.soundDir;
    services.baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    Form1 window(services);
    data.showOn(window.ui.Message);
    window.show();
    auto* driver = window.startDriver(options);
    const int rc = app.exec();
    const int status = driver->exitStatus();
    return rc != 0 ? rc : status;
}
