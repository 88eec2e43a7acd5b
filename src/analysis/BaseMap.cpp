#include "analysis/BaseMap.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cmath>

namespace analysis {

namespace {

constexpr int kCoarserLevels = 6;             // how far up a missing tile is looked for
constexpr qint64 kDiskCacheBytes = 512LL << 20;

}  // namespace

std::unique_ptr<BaseMap> BaseMap::open(const QString& source, const QString& attribution, QString* error,
                                       const QString& cacheDir) {
    const QString text = source.trimmed();
    if (text.isEmpty()) {
        if (error)
            *error = QStringLiteral("no tile source");
        return nullptr;
    }
    std::unique_ptr<BaseMap> map(new BaseMap);
    map->source_ = text;
    map->given_ = attribution.trimmed();
    if (tiles::isUrlTemplate(text)) {
        if (!text.contains(QLatin1String("{z}")) || !text.contains(QLatin1String("{x}")) ||
            !text.contains(QLatin1String("{y}"))) {
            if (error)
                *error = QStringLiteral("%1: a tile URL needs {z}, {x} and {y}").arg(text);
            return nullptr;
        }
        map->urlTemplate_ = text;
        for (int z = 0; z <= kOnlineMaxZoom; ++z)
            map->zooms_.push_back(z);
        map->net_ = new QNetworkAccessManager(map.get());
        auto* cache = new QNetworkDiskCache(map->net_);
        const QString dir = cacheDir.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/tiles")
            : cacheDir;
        QDir().mkpath(dir);
        cache->setCacheDirectory(dir);
        cache->setMaximumCacheSize(kDiskCacheBytes);
        map->net_->setCache(cache);
        map->attribution_ = attribution.trimmed().isEmpty() ? QUrl(text).host() : attribution.trimmed();
    } else {
        map->set_ = tiles::openTileSet(text, error);
        if (!map->set_)
            return nullptr;
        map->zooms_ = map->set_->zooms();
        map->attribution_ = attribution.trimmed().isEmpty() ? map->set_->attribution() : attribution.trimmed();
    }
    map->arrival_ = new QTimer(map.get());
    map->arrival_->setSingleShot(true);
    map->arrival_->setInterval(kArrivalMs);
    connect(map->arrival_, &QTimer::timeout, map.get(), &BaseMap::tilesArrived);
    return map;
}

// Replies still under way are cut off from this map before its members go:
// the manager aborts them as it is deleted, and their handlers must not run.
BaseMap::~BaseMap() {
    if (net_) {
        for (QNetworkReply* reply : net_->findChildren<QNetworkReply*>())
            disconnect(reply, nullptr, this, nullptr);
        delete net_;
    }
}

// The held level nearest the ideal one, the finer on a tie.
int BaseMap::zoomFor(double zIdeal) const {
    int best = zooms_.front();
    for (int z : zooms_)
        if (std::abs(z - zIdeal) <= std::abs(best - zIdeal) + 1e-9)
            best = z;
    return best;
}

const QImage* BaseMap::image(const tiles::TileKey& k, bool ask) const {
    const quint64 key = keyOf(k);
    if (const QImage* hit = memory_.object(key))
        return hit;
    if (missing_.contains(key))
        return nullptr;
    if (set_) {
        QImage img = QImage::fromData(set_->tile(k));
        if (img.isNull()) {
            missing_.insert(key);
            return nullptr;
        }
        memory_.insert(key, new QImage(std::move(img)));
        return memory_.object(key);
    }
    if (ask && !inFlight_.contains(key))
        fetch(k, false);
    return nullptr;
}

void BaseMap::fetch(const tiles::TileKey& k, bool cacheOnly) const {
    const quint64 key = keyOf(k);
    inFlight_.insert(key);
    QNetworkRequest request(QUrl(tiles::tileUrl(urlTemplate_, k)));
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("qvx-loopback/%1").arg(QCoreApplication::applicationVersion()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         cacheOnly ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, true);
    request.setTransferTimeout(15000);
    QNetworkReply* reply = net_->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, k, key, cacheOnly] {
        reply->deleteLater();
        const bool failed = reply->error() != QNetworkReply::NoError;
        if (failed && !cacheOnly) {
            // Offline (or the server failing): whatever the cache holds.
            fetch(k, true);
            return;
        }
        inFlight_.remove(key);
        QImage img = failed ? QImage() : QImage::fromData(reply->readAll());
        if (img.isNull()) {
            missing_.insert(key);
            return;
        }
        memory_.insert(key, new QImage(std::move(img)));
        if (!arrival_->isActive())
            arrival_->start();
    });
}

void BaseMap::draw(QPainter& p, const QRectF& area, const ToPx& toPx, const ToGeo& toGeo,
                   double pixelsPerMetre) const {
    if (zooms_.empty() || !(pixelsPerMetre > 0))
        return;
    const auto [north, west] = toGeo(area.topLeft());
    const auto [south, east] = toGeo(area.bottomRight());
    const double midLat = (north + south) / 2;
    // Tile pixels of the ideal level are the map's pixels.
    int z = zoomFor(std::log2(tiles::metresPerPixel(midLat, 0) * pixelsPerMetre));
    auto range = [&](int level) {
        const int n = 1 << level;
        const int x0 = int(std::floor(tiles::tileX(west, level))), x1 = int(std::floor(tiles::tileX(east, level)));
        const int y0 = std::max(0, int(std::floor(tiles::tileY(north, level))));
        const int y1 = std::min(n - 1, int(std::floor(tiles::tileY(south, level))));
        return std::array<int, 4>{x0, x1, y0, y1};
    };
    auto count = [&](const std::array<int, 4>& r) { return double(r[1] - r[0] + 1) * double(r[3] - r[2] + 1); };
    while (count(range(z)) > kMaxTiles) {
        const auto coarser = std::find_if(zooms_.rbegin(), zooms_.rend(), [z](int l) { return l < z; });
        if (coarser == zooms_.rend())
            return;  // not even the coarsest level fits: no streets at this scale
        z = *coarser;
    }
    lastZoom_ = z;
    const std::array<int, 4> r = range(z);
    const int n = 1 << z;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int x = r[0]; x <= r[1]; ++x) {
        for (int y = r[2]; y <= r[3]; ++y) {
            const QRectF target(toPx(tiles::latOf(y, z), tiles::lonOf(x, z)),
                                toPx(tiles::latOf(y + 1, z), tiles::lonOf(x + 1, z)));
            const int wx = ((x % n) + n) % n;  // across the antimeridian
            // This tile, or the part of the nearest coarser one that covers it
            // (online: one already come; only this one is asked for).
            for (int up = 0; up <= kCoarserLevels && up <= z; ++up) {
                const tiles::TileKey k{z - up, wx >> up, y >> up};
                const QImage* img = image(k, up == 0);
                if (!img)
                    continue;
                const double part = double(img->width()) / (1 << up);
                const double partH = double(img->height()) / (1 << up);
                const QRectF from((wx & ((1 << up) - 1)) * part, (y & ((1 << up) - 1)) * partH, part, partH);
                p.drawImage(target, *img, from);
                break;
            }
        }
    }
    p.restore();
}

}  // namespace analysis
