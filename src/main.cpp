#include "common/Headless.h"
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
#include <QIcon>
#include <QTextStream>

#include <cstdio>

namespace {

// The options; --help and --version print and exit here.
bool parseOptions(StartOptions* options) {
    QCoreApplication::setApplicationVersion(versionText());
    QString error;
    if (options->parse(QCoreApplication::arguments(), &error))
        return true;
    QTextStream(stderr) << error << Qt::endl;
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    StartOptions options;
    // Help and the version need no window: answered without the toolkit's
    // display, so that they work on a server, over ssh or when packaging.
    if (headless::asksHelpOrVersion(argc, argv)) {
        QCoreApplication console(argc, argv);
        if (!parseOptions(&options))
            return 2;
        // Still here: the "-h" or "-v" was an option's value.
    }
    if (!headless::canShowWindows(argc, argv)) {
        std::fprintf(stderr, "%s\n", headless::noDisplayAdvice("qvx-loopback").constData());
        return 1;
    }

    QApplication app(argc, argv);
    if (!parseOptions(&options))
        return 2;
    // The desktop's name for the running window (its menu entry) and the
    // icon it shows in the task bar and window switcher.
    QGuiApplication::setDesktopFileName(QStringLiteral(QVX_APP_ID));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/qvx-loopback-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

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
