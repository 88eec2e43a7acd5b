#include "export/TileSet.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace tiles {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6378137.0;  // the sphere Web Mercator projects
constexpr double kMaxLat = 85.0511287798066;

const char* const kSuffixes[] = {"png", "jpg", "jpeg", "webp"};

// One SQLite connection per MBTiles file, read-only, closed with the set.
class MbTiles : public TileSet {
public:
    ~MbTiles() override {
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    bool open(const QString& path, QString* error) {
        static QAtomicInt serial;
        name_ = QStringLiteral("qvx-tiles-%1").arg(serial.fetchAndAddRelaxed(1));
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(path);
        db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db_.isValid() || !db_.open()) {
            if (error)
                *error = QStringLiteral("%1: cannot open as MBTiles (%2)").arg(path, db_.lastError().text());
            return false;
        }
        QSqlQuery z(db_);
        if (!z.exec(QStringLiteral("SELECT DISTINCT zoom_level FROM tiles ORDER BY zoom_level"))) {
            if (error)
                *error = QStringLiteral("%1: no tiles table (%2)").arg(path, z.lastError().text());
            return false;
        }
        while (z.next())
            if (const int level = z.value(0).toInt(); level >= 0 && level <= kMaxZoom)
                zooms_.push_back(level);
        QSqlQuery meta(db_);
        if (meta.exec(QStringLiteral("SELECT value FROM metadata WHERE name = 'attribution'")) && meta.next())
            attribution_ = meta.value(0).toString();
        lookup_ = QSqlQuery(db_);
        lookup_.prepare(QStringLiteral(
            "SELECT tile_data FROM tiles WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?"));
        if (zooms_.empty() && error)
            *error = QStringLiteral("%1: holds no tile").arg(path);
        return !zooms_.empty();
    }
    QByteArray tile(const TileKey& k) const override {
        // Rows are counted from the south (TMS).
        lookup_.bindValue(0, k.z);
        lookup_.bindValue(1, k.x);
        lookup_.bindValue(2, (1 << k.z) - 1 - k.y);
        if (!lookup_.exec() || !lookup_.next())
            return {};
        QByteArray data = lookup_.value(0).toByteArray();
        lookup_.finish();
        return data;
    }
    const std::vector<int>& zooms() const override { return zooms_; }
    QString attribution() const override { return attribution_; }

private:
    QString name_;
    QSqlDatabase db_;
    mutable QSqlQuery lookup_;
    std::vector<int> zooms_;
    QString attribution_;
};

class XyzFolder : public TileSet {
public:
    bool open(const QString& path, QString* error) {
        root_ = QDir(path);
        for (const QString& entry : root_.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            bool ok = false;
            const int z = entry.toInt(&ok);
            if (ok && z >= 0 && z <= kMaxZoom)
                zooms_.push_back(z);
        }
        std::sort(zooms_.begin(), zooms_.end());
        QFile a(root_.filePath(QStringLiteral("attribution.txt")));
        if (a.open(QIODevice::ReadOnly))
            attribution_ = QString::fromUtf8(a.read(1000)).trimmed();
        if (zooms_.empty() && error)
            *error = QStringLiteral("%1: no zoom folders (0, 1, ...) of XYZ tiles").arg(path);
        return !zooms_.empty();
    }
    QByteArray tile(const TileKey& k) const override {
        const QString stem = QStringLiteral("%1/%2/%3.").arg(k.z).arg(k.x).arg(k.y);
        for (const char* suffix : kSuffixes) {
            QFile f(root_.filePath(stem + QLatin1String(suffix)));
            if (f.open(QIODevice::ReadOnly))
                return f.readAll();
        }
        return {};
    }
    const std::vector<int>& zooms() const override { return zooms_; }
    QString attribution() const override { return attribution_; }

private:
    QDir root_;
    std::vector<int> zooms_;
    QString attribution_;
};

}  // namespace

double tileX(double lon, int z) { return (lon + 180.0) / 360.0 * std::ldexp(1.0, z); }

double tileY(double lat, int z) {
    const double phi = std::clamp(lat, -kMaxLat, kMaxLat) * kPi / 180;
    return (1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / kPi) / 2 * std::ldexp(1.0, z);
}

double lonOf(double x, int z) { return x / std::ldexp(1.0, z) * 360.0 - 180.0; }

double latOf(double y, int z) {
    const double n = kPi * (1 - 2 * y / std::ldexp(1.0, z));
    return std::atan(std::sinh(n)) * 180 / kPi;
}

double metresPerPixel(double lat, int z) {
    return 2 * kPi * kEarthRadius * std::cos(lat * kPi / 180) / (kTilePx * std::ldexp(1.0, z));
}

bool isUrlTemplate(const QString& text) {
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

QString tileUrl(const QString& urlTemplate, const TileKey& k) {
    QString url = urlTemplate;
    url.replace(QLatin1String("{z}"), QString::number(k.z));
    url.replace(QLatin1String("{x}"), QString::number(k.x));
    url.replace(QLatin1String("{y}"), QString::number(k.y));
    url.replace(QLatin1String("{s}"), QLatin1String("a"));
    return url;
}

std::unique_ptr<TileSet> openTileSet(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (info.isDir()) {
        auto folder = std::make_unique<XyzFolder>();
        return folder->open(path, error) ? std::move(folder) : nullptr;
    }
    if (!info.isFile()) {
        if (error)
            *error = QStringLiteral("%1: no such file or folder").arg(path);
        return nullptr;
    }
    auto db = std::make_unique<MbTiles>();
    return db->open(path, error) ? std::move(db) : nullptr;
}

}  // namespace tiles
