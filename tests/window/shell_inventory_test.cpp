// The whole control inventory, walked from the table the form is generated
// from: every control exists exactly once in the running window under its
// name, with its kind, tooltip, accessible name and design-time text (unless
// start-up replaces that text), and the committed form and inventory are
// what the generator makes of its table today.
#include "WindowHarness.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString sourcePath(const QString& relative) {
    return qEnvironmentVariable("QVX_SOURCE_DIR") + QLatin1Char('/') + relative;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Texts start-up writes over the design-time ones: the status captions are
// emptied, the period boxes get their defaults, the file-name headers their
// date and mode, the redisplay condition its first item.
const QStringList kReplacedAtStart{
    "ComMessage", "GPSMessage", "TestMode", "Message", "LogFileHedder", "MapFileHedder", "GPSdata_clr",
    "LoRaTxTime(0)", "LoRaTxTime(1)", "LoRaTxTime(2)", "LoRaTxTime(3)", "LoRaTxTime(4)", "LoRaTxTime(5)"};

QString shownText(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    return QString();
}

bool hasOwnCaption(QWidget* w) {
    return qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || w->inherits("QGroupBox");
}

} // namespace

class ShellInventoryTest : public QObject {
    Q_OBJECT
private slots:
    void generatorAgreesWithCommittedFiles() {
        QTemporaryDir dir;
        QProcess gen;
        gen.setWorkingDirectory(qEnvironmentVariable("QVX_SOURCE_DIR"));
        gen.start(QStringLiteral("python3"), {QStringLiteral("tools/form/make_form.py"), dir.filePath("Form1.ui"),
                                              dir.filePath("inventory.tsv")});
        QVERIFY(gen.waitForFinished(30000));
        QCOMPARE(gen.exitCode(), 0);
        QVERIFY2(readAll(dir.filePath("Form1.ui")) == readAll(sourcePath("src/shell/Form1.ui")),
                 "src/shell/Form1.ui is not what tools/form/make_form.py makes: regenerate and commit it");
        QVERIFY2(readAll(dir.filePath("inventory.tsv")) == readAll(sourcePath("tests/window/form_inventory.tsv")),
                 "tests/window/form_inventory.tsv is not what tools/form/make_form.py makes: regenerate and commit it");
    }

    void everyControlOnceAsInventoried() {
        const QList<QByteArray> lines = readAll(sourcePath("tests/window/form_inventory.tsv")).split('\n');
        WindowHarness h;
        Form1& f = h.start();
        int walked = 0;
        for (const QByteArray& line : lines) {
            if (line.isEmpty()) continue;
            const QStringList c = QString::fromUtf8(line).split(QLatin1Char('\t'));
            QCOMPARE(c.size(), 4);
            const QString& name = c[0];
            const auto found = f.findChildren<QWidget*>(name);
            QVERIFY2(found.size() == 1, qPrintable(name + QStringLiteral(": %1 found").arg(found.size())));
            QWidget* w = found.first();
            QVERIFY2(w->inherits(c[1].toLatin1()), qPrintable(name + " is a " + w->metaObject()->className()));
            QVERIFY2(w->toolTip() == c[3], qPrintable(name + " tooltip: " + w->toolTip()));
            if (!hasOwnCaption(w))
                QVERIFY2(w->accessibleName() == name, qPrintable(name + " accessible name: " + w->accessibleName()));
            if (!kReplacedAtStart.contains(name))
                QVERIFY2(shownText(w) == c[2], qPrintable(name + " shows \"" + shownText(w) + "\""));
            ++walked;
        }
        QVERIFY2(walked >= 129, qPrintable(QString::number(walked)));
    }
};

QTEST_MAIN(ShellInventoryTest)
#include "shell_inventory_test.moc"
