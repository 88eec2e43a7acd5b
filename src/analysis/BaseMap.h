#pragma once
// The streets under the coverage map: tiles of an offline set (an MBTiles
// file or a folder of XYZ tiles, export/TileSet.h) or of an online URL
// template, drawn into the map's frame with their attribution.
//
// Online tiles go through a QNetworkDiskCache in the user's cache folder
// (a drive prepared at the office works in the field): each tile is asked
// of the network first, and taken from the cache, however old, when the
// network fails. Tiles arrive later than the drawing that asked for them;
// tilesArrived (at most every kArrivalMs) says the map should be drawn
// again. Decoded tiles are kept in memory, up to kMemoryTiles of them.
//
// The zoom level is the one whose tile pixels come nearest the map's
// scale, among the levels the set holds; a tile the set lacks is drawn
// from the nearest coarser one it has, enlarged. At most kMaxTiles tiles
// are drawn in one frame (a coarser level otherwise).
#include "export/TileSet.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

class QNetworkAccessManager;
class QPainter;
class QTimer;

namespace analysis {

class BaseMap : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTiles = 64;
    static constexpr int kMemoryTiles = 256;
    static constexpr int kArrivalMs = 150;
    static constexpr int kOnlineMaxZoom = 19;

    // A path (MBTiles file or XYZ folder) or an http(s) URL template. An
    // attribution given replaces the set's own. cacheDir empty: the user's
    // cache folder (QStandardPaths::CacheLocation)/tiles. Null with the
    // reason in *error when the source cannot be used.
    static std::unique_ptr<BaseMap> open(const QString& source, const QString& attribution = {},
                                         QString* error = nullptr, const QString& cacheDir = {});
    ~BaseMap() override;

    QString source() const { return source_; }
    // The attribution open() was given (empty: the set's own).
    QString givenAttribution() const { return given_; }
    // What the map must show beside the tiles (the set's attribution, the
    // one given, or for an online source without either its host).
    QString attribution() const { return attribution_; }

    using ToPx = std::function<QPointF(double lat, double lon)>;
    using ToGeo = std::function<std::pair<double, double>(const QPointF& px)>;
    // Draws the tiles covering area; toPx and toGeo convert between the
    // map's pixels and degrees, pixelsPerMetre is its scale.
    void draw(QPainter& p, const QRectF& area, const ToPx& toPx, const ToGeo& toGeo, double pixelsPerMetre) const;
    // Online tiles asked for and not yet come (tests, status).
    int pending() const { return int(inFlight_.size()); }
    // The zoom level draw() took last time.
    int lastZoom() const { return lastZoom_; }

signals:
    void tilesArrived();

private:
    BaseMap() = default;
    static quint64 keyOf(const tiles::TileKey& k) { return (quint64(k.z) << 58) | (quint64(k.x) << 29) | quint64(k.y); }
    int zoomFor(double zIdeal) const;
    // The tile's image: from memory, the offline set, or (online, when ask)
    // asked of the network and null until it comes.
    const QImage* image(const tiles::TileKey& k, bool ask) const;
    void fetch(const tiles::TileKey& k, bool cacheOnly) const;

    QString source_;
    QString given_;
    QString attribution_;
    std::unique_ptr<tiles::TileSet> set_;
    QString urlTemplate_;
    std::vector<int> zooms_;
    QNetworkAccessManager* net_ = nullptr;
    QTimer* arrival_ = nullptr;
    mutable QCache<quint64, QImage> memory_{kMemoryTiles};
    mutable QSet<quint64> inFlight_;
    mutable QSet<quint64> missing_;
    mutable int lastZoom_ = -1;
};

}  // namespace analysis
