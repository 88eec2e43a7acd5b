#include "common/Headless.h"
#include "platform/DesktopIdentity.h"
#include "platform/QtDialogs.h"
#include "platform/QtPortEnumerator.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSoundPlayer.h"
#include "platform/SystemClock.h"
#include "shell/DataFolder.h"
#include "shell/Form1.h"
#include "shell/QuitSignals.h"
#include "shell/StartOptions.h"
#include "shell/ViewerStart.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QTextStream>

#include <cstdio>

namespace {

// The options; --help and --version print and exit here.
bool parseOptions(StartOptions* options) {
    QCoreApplication::setApplicationVersion(versionText());
    QString error;
    if (options->parse(QCoreApplication::arguments(), &error))
        return true;
    QTextStream(stderr) << "qvx-loopback: " << error << "\n\n" << options->usage;
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
    // Installed before anything is written: a signal from here on ends the
    // program in order, and a closed standard output does not end it.
    QuitSignals quitSignals;
    if (!parseOptions(&options))
        return 2;
    // The desktop's name for the running window (its menu entry) and the
    // icon it shows in the task bar and window switcher.
    QGuiApplication::setDesktopFileName(QStringLiteral(QVX_APP_ID));
    announceDesktopFile(QStringLiteral(QVX_APP_ID));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/qvx-loopback-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    // Recorded runs only: no main window, no ports, nothing written.
    if (options.viewing()) {
        QObject::connect(&quitSignals, &QuitSignals::received, &app, &QCoreApplication::quit);
        return showRecordedRuns(options);
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
    DataFolderLock folderLock(data.dir);
    if (QString why; !folderLock.acquire(&why)) {
        QTextStream(stderr) << why << Qt::endl;
        if (!options.unattended())
            QMessageBox::critical(nullptr, QStringLiteral("qvx-loopback"), why.mid(int(qstrlen("qvx-loopback: "))));
        return 3;
    }
    services.appDir = data.dir;
    services.soundDir = data.soundDir;
    services.baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();

    Form1 window(services);
    data.showOn(window.messageLabel());
    window.show();
    auto* driver = window.startDriver(options);
    QObject::connect(&quitSignals, &QuitSignals::received, &window, [&window](int signo) {
        QTextStream(stderr) << "qvx-loopback: " << QuitSignals::name(signo)
                            << ": ending as the close button does" << Qt::endl;
        // A question on screen is dismissed first, then the window closes.
        for (QWidget* modal = QApplication::activeModalWidget(); modal && modal->close();) {
            QWidget* next = QApplication::activeModalWidget();
            modal = next == modal ? nullptr : next;
        }
        window.close();
        QCoreApplication::quit();
    });
    // An exit() from inside the event loop (the display lost) still ends
    // the run, writes its report and settings and releases the ports.
    QuitSignals::armExitClose([&window, &folderLock] {
        QTextStream(stderr) << "qvx-loopback: ended from inside the toolkit (the display lost?): "
                               "ending the run as the close button does"
                            << Qt::endl;
        window.Form_Unload();
        folderLock.release();
    });
    const int rc = app.exec();
    QuitSignals::disarmExitClose();
    int status = driver->exitStatus();
    // The settings are saved at the close, after the run's own checks: a
    // counted run whose settings (or any other file) did not land whole is
    // no success either.
    if (status == 0 && options.count > 0 && window.someFileNotWrittenWhole()) {
        QTextStream(stderr) << "qvx-loopback: not every file was written whole (see above)" << Qt::endl;
        status = 1;
    }
    return rc != 0 ? rc : status;
}
