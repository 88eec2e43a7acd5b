// The RSSI strip chart's pixels on the window's own 341 x 216 surface: grid
// rows, the bar, the scroll, the traces and a success without a level.
#include "WindowHarness.h"
#include "looptest/RssiGraph.h"

#include <QtTest>

class CycleGraphTest : public QObject {
    Q_OBJECT
    using Bar = RssiGraph::Bar;
    const RssiGraph::Colours c{QColor(0xE0, 0xE0, 0xE0), QColor(0xC0, 0xC0, 0xC0), QColor(0x80, 0x80, 0x80),
                               QColor(0, 0xC0, 0), QColor(0xFF, 0, 0)};
    QRgb at(const RssiGraph& g, int x, int y) { return g.image().pixel(x, y) & 0xFFFFFF; }
    QRgb rgb(const QColor& q) { return q.rgb() & 0xFFFFFF; }

private slots:
    void barAndGrid() {
        WindowHarness h;
        RssiGraph& g = *inside(h.start()).ui.Picture1;
        QCOMPARE(g.image().size(), QSize(341, 216));
        g.clear(c.back);
        g.step(Bar{-80, {}, -80}, {}, c);
        QCOMPARE(at(g, 0, 12), rgb(c.grid));     // 0 dBm
        QCOMPARE(at(g, 0, 204), rgb(c.grid));    // -160 dBm
        QCOMPARE(at(g, 0, 13), rgb(c.back));
        QCOMPARE(at(g, 339, 107), rgb(c.back));
        QCOMPARE(at(g, 339, 108), rgb(c.bar));
        QCOMPARE(at(g, 338, 215), rgb(c.bar));
        QCOMPARE(at(g, 337, 150), rgb(c.back));
        // On the window the surface stands inside the one-pixel frame.
        const QImage shown = g.grab().toImage();
        QCOMPARE(shown.size(), QSize(343, 218));
        QCOMPARE(shown.pixel(1, 13) & 0xFFFFFF, rgb(c.grid));
        QCOMPARE(shown.pixel(340, 109) & 0xFFFFFF, rgb(c.bar));
        QVERIFY((shown.pixel(0, 100) & 0xFFFFFF) != rgb(c.back));
    }
    void scrollAndTraces() {
        WindowHarness h;
        RssiGraph& g = *inside(h.start()).ui.Picture1;
        g.clear(c.back);
        g.step(Bar{-80, {}, -80}, {}, c);
        g.step(std::nullopt, {-110, -110}, c);   // error: grid and noise only
        QCOMPARE(at(g, 336, 150), rgb(c.bar));         // last bar moved 3 pixels left
        QCOMPARE(at(g, 339, 150), rgb(c.back));
        for (int y : {143, 144, 145})
            QCOMPARE(at(g, 339, y), rgb(c.noise));     // -110 dBm at y 144, 3 pixels thick
        g.step(Bar{-80, -80, -80}, {}, c);
        QCOMPARE(at(g, 339, 107), rgb(c.average));
        QCOMPARE(at(g, 339, 109), rgb(c.average));
    }
    void emptyValueDrawsNoBar() {
        WindowHarness h;
        RssiGraph& g = *inside(h.start()).ui.Picture1;
        g.clear(c.back);
        g.step(Bar{}, {}, c);
        QCOMPARE(at(g, 339, 150), rgb(c.back));
        QCOMPARE(at(g, 339, 12), rgb(c.grid));
    }
};

QTEST_MAIN(CycleGraphTest)
#include "cycle_graph_test.moc"
