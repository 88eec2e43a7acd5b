// The coverage map over a base map of streets: tile sets the test builds
// (an MBTiles file with its rows counted from the south, a folder of XYZ
// tiles, a local HTTP tile server) drawn under the points, every tile where
// Web Mercator puts it (each tile has a colour of its own, read back from
// the picture); online tiles come from the disk cache once the server is
// gone; without a source the map is drawn exactly as without one.
#include "analysis/AnalysisSettings.h"
#include "analysis/AnalysisWindow.h"
#include "analysis/RunRecorder.h"
#include "analysis/BaseMap.h"
#include "analysis/CoverageMap.h"
#include "analysis/TileSourceControl.h"
#include "export/RssiScale.h"
#include "FakeServices.h"
#include "export/TileSet.h"

#include <QtTest>
#include <QBuffer>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cmath>

using namespace analysis;

namespace {

constexpr double kLat0 = 35.0, kLon0 = 139.0;
constexpr int kZoomLo = 13, kZoomHi = 17;

// A colour of its own for each tile, far from the marks' colours.
QColor tileColour(const tiles::TileKey& k) {
    const quint32 h = quint32(k.x * 73856093u) ^ quint32(k.y * 19349663u) ^ quint32(k.z * 83492791u);
    return QColor(40 + int(h % 180), 40 + int((h >> 8) % 180), 200 + int((h >> 16) % 50));
}

QByteArray tilePng(const tiles::TileKey& k) {
    QImage img(tiles::kTilePx, tiles::kTilePx, QImage::Format_RGB32);
    img.fill(tileColour(k));
    QByteArray png;
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return png;
}

// The tiles around the points (1 km south-west, 2 km north-east) at the
// zoom levels held.
template <typename F>
void forTiles(F&& f, int zLo = kZoomLo, int zHi = kZoomHi) {
    for (int z = zLo; z <= zHi; ++z) {
        const int x0 = int(tiles::tileX(kLon0 - 0.01, z)), x1 = int(tiles::tileX(kLon0 + 0.02, z));
        const int y0 = int(tiles::tileY(kLat0 + 0.02, z)), y1 = int(tiles::tileY(kLat0 - 0.01, z));
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y)
                f(tiles::TileKey{z, x, y});
    }
}

QString makeMbTiles(const QString& path) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
        db.setDatabaseName(path);
        if (!db.open())
            return db.lastError().text();
        QSqlQuery q(db);
        q.exec(QStringLiteral("CREATE TABLE metadata (name text, value text)"));
        q.exec(QStringLiteral("INSERT INTO metadata VALUES ('attribution', '© Test streets'), ('format', 'png')"));
        q.exec(QStringLiteral("CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)"));
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO tiles VALUES (?, ?, ?, ?)"));
        forTiles([&](const tiles::TileKey& k) {
            q.addBindValue(k.z);
            q.addBindValue(k.x);
            q.addBindValue((1 << k.z) - 1 - k.y);  // TMS rows from the south
            q.addBindValue(tilePng(k));
            q.exec();
        });
        db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make"));
    return {};
}

void makeFolder(const QString& root, int zLo = kZoomLo, int zHi = kZoomHi) {
    forTiles([&](const tiles::TileKey& k) {
        const QString dir = QStringLiteral("%1/%2/%3").arg(root).arg(k.z).arg(k.x);
        QDir().mkpath(dir);
        QFile f(QStringLiteral("%1/%2.png").arg(dir).arg(k.y));
        f.open(QIODevice::WriteOnly);
        f.write(tilePng(k));
    }, zLo, zHi);
}

records::Exchange exchange(std::int64_t packet, double dLat, double dLon, std::optional<int> far) {
    records::Exchange e;
    e.runId = 1;
    e.packet = packet;
    e.outcome = far ? records::Outcome::Answered : records::Outcome::Lost;
    e.farRssi = far;
    records::Position p;
    p.lat = kLat0 + dLat;
    p.lon = kLon0 + dLon;
    p.fix = 1;
    p.sats = 8;
    e.position = p;
    return e;
}

void feed(CoverageMap& map) {
    map.resize(640, 480);
    map.addExchange(exchange(1, 0.002, 0.002, -60));
    map.addExchange(exchange(2, -0.002, -0.002, std::nullopt));
    map.addExchange(exchange(3, 0.002, -0.002, -105));
}

// Checks the picture against the tiles (no datum point: no distance rings
// over them): at a lattice of pixels away from the marks, the overlays and
// the tile edges, the colour of the tile that
// Web Mercator puts there; the marks above the tiles. Returns the number of
// pixels checked.
int checkTiles(const CoverageMap& map, const QImage& img, int zoom) {
    // Pixels to degrees: the projection is linear in each axis.
    const QPointF a = *map.pixelOf(kLat0, kLon0), b = *map.pixelOf(kLat0 + 0.001, kLon0 + 0.001);
    const auto degrees = [&](const QPointF& px) {
        return std::make_pair(kLat0 + (px.y() - a.y()) / (b.y() - a.y()) * 0.001,
                              kLon0 + (px.x() - a.x()) / (b.x() - a.x()) * 0.001);
    };
    int checked = 0;
    for (int x = 60; x < 420; x += 23) {
        for (int y = 40; y < 420; y += 19) {
            const QPointF px(x + 0.5, y + 0.5);
            bool clear = true;
            for (const auto& [dLat, dLon] : {std::pair{0.002, 0.002}, {-0.002, -0.002}, {0.002, -0.002}})
                clear = clear && QLineF(px, *map.pixelOf(kLat0 + dLat, kLon0 + dLon)).length() > 14;
            const auto [lat, lon] = degrees(px);
            const double tx = tiles::tileX(lon, zoom), ty = tiles::tileY(lat, zoom);
            const double pxPerTile = (b.x() - a.x()) / (tiles::tileX(kLon0 + 0.001, zoom) - tiles::tileX(kLon0, zoom));
            const double edgePx =
                std::min({tx - std::floor(tx), std::ceil(tx) - tx, ty - std::floor(ty), std::ceil(ty) - ty}) * pxPerTile;
            if (!clear || edgePx < 2)
                continue;
            const QColor want = tileColour({zoom, int(std::floor(tx)), int(std::floor(ty))});
            const QColor got = img.pixelColor(x, y);
            if (std::abs(got.red() - want.red()) > 2 || std::abs(got.green() - want.green()) > 2 ||
                std::abs(got.blue() - want.blue()) > 2) {
                qWarning() << "pixel" << x << y << "is" << got << "tile" << zoom << int(tx) << int(ty) << "is" << want;
                return -1;
            }
            ++checked;
        }
    }
    // The marks stand above the streets.
    if (img.pixelColor(map.pixelOf(kLat0 + 0.002, kLon0 + 0.002)->toPoint()) != QColor(QLatin1String(exportdata::kRssiScale[0].rgb)))
        return -2;
    const QColor cross = img.pixelColor(map.pixelOf(kLat0 - 0.002, kLon0 - 0.002)->toPoint());
    if (QColor(QLatin1String(exportdata::kLostRgb)).lightness() - cross.lightness() < -8)
        return -3;
    return checked;
}

// How wide a tile of a level is on the map.
double tilePx(const CoverageMap& map, int zoom) {
    const QPointF a = *map.pixelOf(kLat0, kLon0), b = *map.pixelOf(kLat0, kLon0 + 0.001);
    return (b.x() - a.x()) / (tiles::tileX(kLon0 + 0.001, zoom) - tiles::tileX(kLon0, zoom));
}

// A tile server: GET /z/x/y.png answers that tile, already expired (so a
// cached copy is only taken when the network fails); counts what it served.
class TileServer : public QTcpServer {
public:
    int served = 0;
    TileServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->readAll();
                    const QList<QByteArray> parts = request.split(' ').value(1).split('/');
                    if (parts.size() != 4)
                        return;
                    const tiles::TileKey k{parts[1].toInt(), parts[2].toInt(), parts[3].split('.').first().toInt()};
                    const QByteArray png = tilePng(k);
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nExpires: Thu, 01 Jan 2026 00:00:00 GMT\r\n"
                             "Last-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\nContent-Length: " +
                             QByteArray::number(png.size()) + "\r\n\r\n" + png);
                    ++served;
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
};

}  // namespace

class AnalysisBaseMapTest : public QObject {
    Q_OBJECT
private slots:
    void offlineTilesUnderThePoints_data();
    void offlineTilesUnderThePoints();
    void onlineTilesFromTheCacheWhenOffline();
    void noSourceDrawsAsBefore();
    void chosenOnTheMapPage();
};

void AnalysisBaseMapTest::offlineTilesUnderThePoints_data() {
    QTest::addColumn<bool>("mbtiles");
    QTest::newRow("MBTiles") << true;
    QTest::newRow("XYZ folder") << false;
}

void AnalysisBaseMapTest::offlineTilesUnderThePoints() {
    QFETCH(bool, mbtiles);
    QTemporaryDir dir;
    const QString source = dir.filePath(mbtiles ? QStringLiteral("streets.mbtiles") : QStringLiteral("streets"));
    if (mbtiles) {
        QCOMPARE(makeMbTiles(source), QString());
    } else {
        makeFolder(source);
        QFile a(source + QStringLiteral("/attribution.txt"));
        QVERIFY(a.open(QIODevice::WriteOnly));
        a.write("© Test streets\n");
    }
    CoverageMap map;
    feed(map);
    QString error;
    QVERIFY2(map.setTileSource(source, {}, &error), qPrintable(error));
    QCOMPARE(map.baseMap()->attribution(), QStringLiteral("© Test streets"));
    const QImage img = map.grab().toImage();
    // The level whose tile pixels come nearest the map's: a tile 181 to
    // 362 pixels wide on the map.
    const int zoom = map.baseMap()->lastZoom();
    QVERIFY(tilePx(map, zoom) > 181 && tilePx(map, zoom) < 362);
    QVERIFY(checkTiles(map, img, zoom) > 200);

    // Zoomed out by a walk far away: a coarser level, still in place.
    map.addExchange(exchange(4, 0.012, 0.012, -80));
    const QImage wide = map.grab().toImage();
    QVERIFY(map.baseMap()->lastZoom() < zoom);
    QVERIFY(checkTiles(map, wide, map.baseMap()->lastZoom()) > 200);

    // A given attribution replaces the set's own.
    QVERIFY(map.setTileSource(source, QStringLiteral("Survey office"), &error));
    QCOMPARE(map.baseMap()->attribution(), QStringLiteral("Survey office"));
}

void AnalysisBaseMapTest::onlineTilesFromTheCacheWhenOffline() {
    QTemporaryDir cache;
    auto server = std::make_unique<TileServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
    const QString url = QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server->serverPort());
    {
        CoverageMap map;
        feed(map);
        QString error;
        std::unique_ptr<BaseMap> base = BaseMap::open(url, {}, &error, cache.path());
        QVERIFY2(base, qPrintable(error));
        QCOMPARE(base->attribution(), QStringLiteral("127.0.0.1"));
        map.setBaseMap(std::move(base));
        (void)map.grab();
        QVERIFY(map.baseMap()->pending() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(map.baseMap()->pending(), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(checkTiles(map, map.grab().toImage(), map.baseMap()->lastZoom()) > 200, 5000);
        QVERIFY(server->served > 0);
    }
    // The server gone (a field laptop without the network): the same tiles
    // from the disk cache, in a new map that has none in memory.
    server->close();
    server.reset();
    CoverageMap map;
    feed(map);
    map.setBaseMap(BaseMap::open(url, {}, nullptr, cache.path()));
    (void)map.grab();
    QTRY_COMPARE_WITH_TIMEOUT(map.baseMap()->pending(), 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(checkTiles(map, map.grab().toImage(), map.baseMap()->lastZoom()) > 200, 5000);
}

void AnalysisBaseMapTest::noSourceDrawsAsBefore() {
    CoverageMap plain;
    feed(plain);
    const QImage before = plain.grab().toImage();
    QCOMPARE(before.pixelColor(100, 100), kMapGround);
    QCOMPARE(plain.baseMap(), nullptr);

    // Settings without a tile source; a source set and taken away again; a
    // source that cannot be used: each draws the very same picture.
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("analysis.ini"));
    AnalysisSettings s;
    QVERIFY(s.save(ini));
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("[map]"));
    file.close();
    QCOMPARE(AnalysisSettings::load(ini).tiles, QString());
    s.tiles = dir.filePath(QStringLiteral("tiles"));
    makeFolder(s.tiles, 15, 15);
    QVERIFY(s.save(ini));
    QCOMPARE(AnalysisSettings::load(ini), s);

    {
        // The window takes the source from its settings and keeps it when
        // another setting is edited.
        RunRecorder recorder(dir.path(), AnalysisSettings::load(ini));
        AnalysisWindow window(recorder, ini);
        QVERIFY(window.map().baseMap());
        window.findChild<QSpinBox*>(QStringLiteral("RollingWindow"))->setValue(77);
        QCOMPARE(AnalysisSettings::load(ini).rollingWindow, 77);
        QCOMPARE(AnalysisSettings::load(ini).tiles, s.tiles);
    }
    CoverageMap map;
    feed(map);
    QVERIFY(map.setTileSource(AnalysisSettings::load(ini).tiles));
    QVERIFY(map.grab().toImage() != before);
    QVERIFY(map.setTileSource(QString()));
    QCOMPARE(map.grab().toImage(), before);
    QString error;
    QVERIFY(!map.setTileSource(dir.filePath(QStringLiteral("missing.mbtiles")), {}, &error));
    QVERIFY(error.contains(QStringLiteral("missing.mbtiles")));
    QCOMPARE(map.baseMap(), nullptr);
    QCOMPARE(map.grab().toImage(), before);
    QVERIFY(!map.setTileSource(QStringLiteral("https://tiles.example/{z}/{x}.png"), {}, &error));
    QCOMPARE(map.grab().toImage(), before);
}

// The map page's 地図タイル… button: a test-made MBTiles file chosen through
// it draws under the points at once, is shown with its attribution, saved
// to the analysis settings and taken up by the next window; a file that is
// no tile set, or a URL without {y}, is told in a message and leaves the map
// as it was; なし takes the streets away.
void AnalysisBaseMapTest::chosenOnTheMapPage() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("qvx-loopback-analysis.ini"));
    const QString mbtiles = dir.filePath(QStringLiteral("streets.mbtiles"));
    QCOMPARE(makeMbTiles(mbtiles), QString());
    const QString junk = dir.filePath(QStringLiteral("junk.mbtiles"));
    QFile j(junk);
    QVERIFY(j.open(QIODevice::WriteOnly));
    j.write("not a tile set\n");
    j.close();
    FakeDialogs dialogs;
    const auto trigger = [](QWidget& w, const char* name) {
        QAction* a = w.findChild<QAction*>(QLatin1String(name));
        QVERIFY2(a, name);
        a->trigger();
    };
    {
        RunRecorder recorder(dir.path(), AnalysisSettings::load(ini));
        AnalysisWindow window(recorder, ini);
        window.setDialogs(&dialogs);
        auto* button = window.findChild<QPushButton*>(QStringLiteral("MapTilesButton"));
        QVERIFY(button && button->menu());
        QCOMPARE(button->text(), QStringLiteral("地図タイル…"));
        auto* shown = window.findChild<QLabel*>(QStringLiteral("MapTilesSource"));
        QVERIFY(shown);
        QCOMPARE(shown->accessibleName(), QStringLiteral("MapTilesSource"));
        QCOMPARE(shown->text(), QStringLiteral("なし"));
        CoverageMap& map = window.map();
        feed(map);
        const QImage plain = map.grab().toImage();

        dialogs.fileAnswers.enqueue(mbtiles);
        trigger(window, "MapTilesMbTiles");
        QVERIFY(map.baseMap());
        QVERIFY(dialogs.told.isEmpty());
        QCOMPARE(shown->text(), QStringLiteral("streets.mbtiles  (© Test streets)"));
        const QImage streets = map.grab().toImage();
        QVERIFY(checkTiles(map, streets, map.baseMap()->lastZoom()) > 200);
        QCOMPARE(AnalysisSettings::load(ini).tiles, mbtiles);

        // Unusable choices: a message, and the map, label and file as they were.
        dialogs.fileAnswers.enqueue(junk);
        trigger(window, "MapTilesMbTiles");
        QCOMPARE(dialogs.told.size(), 1);
        QVERIFY2(dialogs.told.last().contains(QStringLiteral("junk.mbtiles")), qPrintable(dialogs.told.last()));
        dialogs.textAnswers.enqueue(QStringLiteral("https://tiles.example/{z}/{x}.png"));
        dialogs.textAnswers.enqueue(QStringLiteral("Office"));
        trigger(window, "MapTilesUrl");
        QCOMPARE(dialogs.told.size(), 2);
        QVERIFY(dialogs.told.last().contains(QStringLiteral("{y}")));
        QCOMPARE(map.baseMap()->source(), mbtiles);
        QCOMPARE(shown->text(), QStringLiteral("streets.mbtiles  (© Test streets)"));
        QCOMPARE(map.grab().toImage(), streets);
        QCOMPARE(AnalysisSettings::load(ini).tiles, mbtiles);
        // A cancelled question changes nothing either.
        trigger(window, "MapTilesFolder");
        QCOMPARE(map.baseMap()->source(), mbtiles);
        QCOMPARE(dialogs.told.size(), 2);

        // Another setting edited keeps the choice.
        window.findChild<QSpinBox*>(QStringLiteral("RollingWindow"))->setValue(77);
        QCOMPARE(AnalysisSettings::load(ini).tiles, mbtiles);

        // None: the plain ground again, until the next window.
        trigger(window, "MapTilesNone");
        QCOMPARE(map.baseMap(), nullptr);
        QCOMPARE(map.grab().toImage(), plain);
        QCOMPARE(AnalysisSettings::load(ini).tiles, QString());
        dialogs.fileAnswers.enqueue(mbtiles);
        trigger(window, "MapTilesMbTiles");
    }
    // The next window stands on the saved choice.
    RunRecorder recorder(dir.path(), AnalysisSettings::load(ini));
    AnalysisWindow window(recorder, ini);
    QVERIFY(window.map().baseMap());
    QCOMPARE(window.map().baseMap()->source(), mbtiles);
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("MapTilesSource"))->text(),
             QStringLiteral("streets.mbtiles  (© Test streets)"));
    QCOMPARE(AnalysisSettings::load(ini).rollingWindow, 77);
}

QTEST_MAIN(AnalysisBaseMapTest)
#include "analysis_basemap_test.moc"
