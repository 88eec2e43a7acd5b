// Hex dump, colour values and twips.
#include "common/Colours.h"
#include "common/HexDump.h"
#include "common/Twips.h"

#include <QtTest>
#include <QGuiApplication>

class CommonMiscTest : public QObject {
    Q_OBJECT
private slots:
    void hexDump_data();
    void hexDump();
    void colour_data();
    void colour();
    void systemColours();
    void twips_data();
    void twips();
};

void CommonMiscTest::hexDump_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("command") << QByteArray("*DR=05") << "2A 44 52 3D 30 35 ";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("zero, high and CR LF bytes") << QByteArray("\x00\xff\x80\r\n", 5) << "00 FF 80 0D 0A ";
}

void CommonMiscTest::hexDump() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(::hexDump(bytes), text);
}

void CommonMiscTest::colour_data() {
    QTest::addColumn<uint>("value");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("red is the low byte") << 0x0000FFu << QColor(255, 0, 0);
    QTest::newRow("blue is the high byte") << 0xFF0000u << QColor(0, 0, 255);
    QTest::newRow("green") << 0x00FF00u << QColor(0, 255, 0);
    QTest::newRow("light red") << 0xC0C0FFu << QColor(255, 192, 192);
    QTest::newRow("black") << 0x000000u << QColor(0, 0, 0);
    QTest::newRow("top byte without the system bit ignored") << 0x01123456u << QColor(0x56, 0x34, 0x12);
}

void CommonMiscTest::colour() {
    QFETCH(uint, value);
    QFETCH(QColor, colour);
    QCOMPARE(colourFromValue(value), colour);
}

void CommonMiscTest::systemColours() {
    QPalette p;
    p.setColor(QPalette::Base, QColor(1, 2, 3));
    p.setColor(QPalette::Window, QColor(4, 5, 6));
    p.setColor(QPalette::ButtonText, QColor(7, 8, 9));
    p.setColor(QPalette::Button, QColor(10, 11, 12));
    QCOMPARE(colourFromValue(0x80000005u, p), QColor(1, 2, 3));   // text-field background
    QCOMPARE(colourFromValue(0x8000000Fu, p), QColor(10, 11, 12)); // button face
    QCOMPARE(colourFromValue(0x80000012u, p), QColor(7, 8, 9));   // button text
    QCOMPARE(colourFromValue(0x800000FFu, p), QColor(4, 5, 6));   // unknown: window colour
    QCOMPARE(colourFromValue(0xFFFFFFFFu, p), QColor(4, 5, 6));
    // The default is the application's palette.
    QCOMPARE(colourFromValue(0x80000005u), QGuiApplication::palette().color(QPalette::Base));
}

void CommonMiscTest::twips_data() {
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("exact") << 3000.0 << 200;
    QTest::newRow("negative exact") << -3000.0 << -200;
    QTest::newRow("rounds up from half") << 7.5 << 1;
    QTest::newRow("rounds down below half") << 7.0 << 0;
    QTest::newRow("negative below half to zero") << -7.0 << 0;
    QTest::newRow("negative above half away from zero") << -8.0 << -1;
    QTest::newRow("negative half away from zero") << -7.5 << -1;
}

void CommonMiscTest::twips() {
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips), pixels);
    if (twips == static_cast<int>(twips) && static_cast<int>(twips) % kTwipsPerPixel == 0)
        QCOMPARE(pixelsToTwips(pixels), static_cast<int>(twips));
}

QTEST_MAIN(CommonMiscTest)
#include "common_misc_test.moc"
