// The GPS tick's cost (redisplay search, sentence search, GPSdataDisp
// refresh) with a buffer of 1, 16 and 64 KiB of NMEA text that holds no
// redisplay sentence, on the window with a virtual clock.
#include "WindowHarness.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The GPS tick's cost with 1, 16 and 64 KiB of NMEA text in the receive buffer, with new text\n"
        "and unchanged, on the window with a virtual clock."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    const QByteArray line("$GPGSV,3,1,12,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n");
    for (int kib : {1, 16, 64}) {
        WindowHarness h;
        FakeDevice* dev = h.ports.addDevice(QStringLiteral("COM9"));
        Form1& f = h.start();
        inside(f).ui.GPS_Port->setText(QStringLiteral("COM9"));
        inside(f).ui.GPS_On->setChecked(true);
        QByteArray text;
        while (text.size() + line.size() <= kib * 1024) text += line;
        dev->send(text);
        const int ticks = 200;
        QElapsedTimer t;
        // Changed buffer each tick (one more byte) so GPSdataDisp is refilled.
        t.start();
        for (int i = 0; i < ticks; ++i) {
            inside(f).st.GpsBuffer.replace(0, 1, QChar(u'0' + (i % 10)));
            h.advance(100);
        }
        const double changed = t.nsecsElapsed() / 1e3 / ticks;
        t.restart();
        for (int i = 0; i < ticks; ++i) h.advance(100);
        const double unchanged = t.nsecsElapsed() / 1e3 / ticks;
        std::printf("buffer %2d KiB (%6lld chars): tick %8.1f us with new text, %8.1f us unchanged\n", kib,
                    static_cast<long long>(inside(f).st.GpsBuffer.size()), changed, unchanged);
    }
    return 0;
}
