#pragma once
// Base map tiles on the Web Mercator grid that slippy maps share (256-pixel
// tiles, zoom z has 2^z x 2^z of them, x east from the antimeridian, y south
// from the top), and the offline sets a user points to:
//
//   - an MBTiles file (SQLite: a "tiles" table of zoom_level, tile_column,
//     tile_row, tile_data, with rows counted from the south as TMS has them,
//     and a "metadata" table of name/value pairs, "attribution" among them);
//   - a folder of XYZ tiles, <folder>/<z>/<x>/<y>.png (or .jpg, .jpeg,
//     .webp), with an optional attribution.txt beside the zoom folders.
//
// An online tile URL template ("https://host/{z}/{x}/{y}.png") is told
// apart from a path by its scheme; it is fetched by the map's own cache
// (analysis/BaseMap.h), never here.
#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace tiles {

constexpr int kTilePx = 256;
constexpr int kMaxZoom = 22;

struct TileKey {
    int z = 0, x = 0, y = 0;
    bool operator<(const TileKey& o) const { return z != o.z ? z < o.z : x != o.x ? x < o.x : y < o.y; }
    bool operator==(const TileKey& o) const { return z == o.z && x == o.x && y == o.y; }
};

// Fractional tile coordinates of a position at zoom z (x east, y south).
double tileX(double lon, int z);
double tileY(double lat, int z);
// The longitude of a tile column's west edge, the latitude of a row's north
// edge (fractional values give points inside).
double lonOf(double tileX, int z);
double latOf(double tileY, int z);
// Ground metres per tile pixel at a latitude and zoom.
double metresPerPixel(double lat, int z);

// True when text names an online template (http:// or https://).
bool isUrlTemplate(const QString& text);
// The template with {z}, {x}, {y} (and {s} as "a") filled in.
QString tileUrl(const QString& urlTemplate, const TileKey& key);

class TileSet {
public:
    virtual ~TileSet() = default;
    // The encoded image (PNG, JPEG, ...), empty when the set lacks the tile.
    virtual QByteArray tile(const TileKey& key) const = 0;
    // The zoom levels the set holds, ascending.
    virtual const std::vector<int>& zooms() const = 0;
    virtual QString attribution() const = 0;
};

// An MBTiles file or an XYZ folder; null with the reason in *error when path
// is neither, cannot be read or holds no tile.
std::unique_ptr<TileSet> openTileSet(const QString& path, QString* error = nullptr);

}  // namespace tiles
