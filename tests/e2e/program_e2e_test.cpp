// The program itself run unattended (--port P --count N --quit): the real
// executable, copied into a folder of its own with the operator's settings
// file, against the module simulator on a pseudo-terminal. Its exit status
// and standard error tell what happened in the window's own words, and the
// settings file it leaves keeps the operator's values, not the options; a
// run that sent all its packets prints its report on standard output.
#include "E2eStack.h"
#include "module/InitSequence.h"
#include "shell/SettingsCodec.h"

#include <QFileInfo>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace e2e;

class ProgramE2eTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        const QString bin = qEnvironmentVariable("QVX_BIN_DIR");
        if (!QFileInfo::exists(bin + QStringLiteral("/qvx-sim")) || !QFileInfo::exists(bin + QStringLiteral("/qvx-loopback")))
            QSKIP("qvx-sim or qvx-loopback is not built");
    }

    void countedRunExitStatus_data() {
        QTest::addColumn<QStringList>("sim");   // empty: no simulator, a port that does not exist
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("all sent") << QStringList{"--mode", "fsk"} << 4 << 0 << QString();
        QTest::newRow("port lost after 3 of 10")
            << QStringList{"--mode", "fsk", "--close-after", "3"} << 10 << 1 << QStringLiteral("Comポート異常検出");
        QTest::newRow("no mode answer") << QStringList{"--no-mode-answer"} << 3 << 1 << InitSequence::kNoAnswer;
        QTest::newRow("spreading 09") << QStringList{"--mode", "lora", "--sf-answer", "09"} << 3 << 1 << InitSequence::kBadAnswer;
        QTest::newRow("no such port") << QStringList{} << 3 << 1 << InitSequence::kCheckPort;
    }
    void countedRunExitStatus() {
        QFETCH(QStringList, sim);
        QFETCH(int, count);
        QFETCH(int, status);
        QFETCH(QString, message);
        std::unique_ptr<Simulator> module;
        QString port = QStringLiteral("/dev/qvx-no-such-port");
        if (!sim.isEmpty()) {
            module = std::make_unique<Simulator>(sim);
            QVERIFY2(!module->path().isEmpty(), qPrintable(module->errors()));
            port = module->path();
        }

        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("qvx-loopback"));
        QVERIFY(QFile::copy(qEnvironmentVariable("QVX_BIN_DIR") + QStringLiteral("/qvx-loopback"), program));
        const QString ini = dir.filePath(QStringLiteral("qvx-loopback.ini"));
        QVERIFY(textfile::write(ini, QStringLiteral("Tx_Com       ,COM3  ,x\r\nTX_CnEnd     ,100  ,x\r\n")));

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(program, {QStringLiteral("--port"), port, QStringLiteral("--count"), QString::number(count),
                          QStringLiteral("--quit")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        const QStringList told = QString::fromUtf8(p.readAllStandardError())
                                     .split(u'\n', Qt::SkipEmptyParts)
                                     .filter(QRegularExpression(QStringLiteral("^qvx-loopback:")));
        QCOMPARE(p.exitCode(), status);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        if (status == 0) {
            QVERIFY2(told.isEmpty(), qPrintable(told.join(u'\n')));
            // The run report on standard output: sent, evaluated, answered, lost, late.
            QVERIFY2(QRegularExpression(QStringLiteral("\nパケット +%1 +%1 +%1 +0 +0\n").arg(count)).match(out).hasMatch(),
                     qPrintable(out));
            // The coverage map's picture beside the logs, named after the
            // communication log.
            const QStringList logs = QDir(dir.path()).entryList({QStringLiteral("*.log")}, QDir::Files);
            const QStringList maps = QDir(dir.path()).entryList({QStringLiteral("*.map.png")}, QDir::Files);
            QCOMPARE(maps.size(), 1);
            QVERIFY2(logs.contains(maps[0].chopped(8) + QStringLiteral(".log")), qPrintable(maps[0]));
            QVERIFY(!QImage(dir.filePath(maps[0])).isNull());
        } else {
            // A port that did not open also has its reason told, first.
            QCOMPARE(told.size(), message == InitSequence::kCheckPort ? 2 : 1);
            QVERIFY2(told.last().endsWith(QStringLiteral(": ") + message), qPrintable(told.last()));
        }

        QString text;
        QVERIFY(textfile::read(ini, &text));
        QMap<QString, QString> saved;
        for (const auto& [key, value] : settingscodec::read(text))
            saved[key] = value;
        QCOMPARE(saved.value(QStringLiteral("Tx_Com")), QStringLiteral("COM3"));
        QCOMPARE(saved.value(QStringLiteral("TX_CnEnd")), QStringLiteral("100"));
    }
};

QTEST_MAIN(ProgramE2eTest)
#include "program_e2e_test.moc"
