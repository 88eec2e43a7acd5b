#pragma once
// The live coverage map: every exchange a point where it was sent, on a
// local flat projection around the datum point (or the first fix when no
// datum is set), over a base map of streets when a tile source is set
// (BaseMap.h: its tiles drawn into the projection's frame, its attribution
// at the bottom); without one, on the plain ground.
//
// Answered exchanges are dots coloured by far-end RSSI, answer RSSI or
// margin on a fixed labelled scale; lost ones are crosses (purple once their
// answer came late), drawn above every dot, one per spot with the number
// lost there when several share it (MapMarks.h); the operator's markers are
// numbered flags above both. The datum point carries distance rings; a scale bar,
// a north arrow and the legend go with it. The grid view gathers
// the exchanges into square cells coloured by success rate or by the median
// of the chosen value, drawn only for cells holding at least the minimum
// number of samples; a cell's success class is that of the lower bound of
// its 95 % Wilson interval, and it prints its sample count. The lost marks
// and markers stand above the cells as above the dots. The level scale is
// the exports' (exportdata::LevelScale::forRun): the run's mode's steps
// (LoRa decodes far weaker signals than FSK), or the run's own range when
// its weak end lies far below them, chosen again as the points come (a
// change redraws the map). Exchanges without a usable position (no fix, a
// bad checksum, no GPS) are counted, never drawn.
//
// The map owns its pixels: an exchange that falls inside the current extent
// is drawn into the backing image at once (one mark, and the losses and
// markers it touches again over it); one outside sets the
// extent to everything plus a quarter on each side (a walk outward redraws
// the map a logarithmic number of times), and a change of view or size
// redraws the image at the next paint. A late answer draws its purple cross
// over the red one in the image. The overlays are drawn over the image at
// each paint; the legend has a strip of its own on the right. New exchanges
// repaint the widget at most every kRepaintMs; a change of view at once.
//
// Several runs (a viewer's layers) share the map: the map's own exchanges
// and overlays set whole, each layer with a mark shape of its own and its
// name in the legend, each shown or hidden. An overlay set, shown or hidden
// is a change of view: one full redraw. The grid views gather the cells of
// the layers shown; the markers are the own run's.
#include "analysis/BaseMap.h"
#include "analysis/CoverageGrid.h"
#include "analysis/MapLegend.h"
#include "analysis/MapMarks.h"
#include "records/Exchange.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace analysis {

class CoverageMap : public QWidget {
    Q_OBJECT
public:
    enum class View { Points, GridSuccess, GridMedian };
    static constexpr int kDefaultMinSamples = 5;
    static constexpr double kMinExtentM = 100;  // the smallest span shown
    static constexpr int kRepaintMs = 500;

    explicit CoverageMap(QWidget* parent = nullptr);

    // The datum point (decimal degrees); a latitude or longitude of 0 means
    // none, as the main window's distance rule has it. The projection is
    // then centred on it; without one, on the first usable fix.
    void setDatum(double latitude, double longitude);
    void clearDatum();
    void setValue(MapValue v);
    void setView(View v);
    void setCellSize(double metres);
    void setMinSamples(int n);
    // The run's mode, for the level scale (a new run's mode is set before
    // its exchanges come).
    void setMode(records::Mode mode);
    records::Mode mode() const { return mode_; }
    // The level scale of the value shown, as the legend states it.
    const exportdata::LevelScale& levelSteps() const { return levels_; }
    // The streets under the points: an MBTiles file, an XYZ folder or an
    // online URL template; empty for none (the plain ground). False with
    // the reason in *error when the source cannot be used: the map then
    // keeps the source it had.
    bool setTileSource(const QString& source, const QString& attribution = {}, QString* error = nullptr);
    void setBaseMap(std::unique_ptr<BaseMap> base);
    const BaseMap* baseMap() const { return base_.get(); }
    MapValue value() const { return value_; }
    View view() const { return view_; }
    double cellSize() const { return grid_.cellM(); }
    int minSamples() const { return minSamples_; }

    void clear();
    void addExchange(const records::Exchange& e);
    // A lost packet's answer came after its period: its cross turns purple.
    void markLate(std::int64_t packet);
    // A marker with a usable position becomes a flag at it.
    void addMarker(const records::Marker& m);
    // Another run beside the map's own exchanges: its first `count`
    // exchanges (in send order; latePackets those answered late), drawn
    // in mark shape `shape` and named in the legend; replaces what overlay
    // id held (CoverageLayers.cpp).
    void setOverlay(int id, const QString& name, int shape, const std::vector<records::Exchange>& exchanges,
                    std::size_t count, const std::vector<std::int64_t>& latePackets = {});
    void removeOverlay(int id);
    void setOverlayShown(int id, bool shown);
    // The own exchanges' name and shape in the legend beside overlays, and
    // whether they are drawn (they are counted either way).
    void setOwnLayer(const QString& name, int shape);
    void setOwnShown(bool shown);
    bool ownShown() const { return ownShown_; }
    int overlayCount() const { return int(overlays_.size()); }
    // Points drawn now, of every layer shown (the own ones included when shown).
    int shownPoints() const;

    // The point view's marks at the widget's size, in drawing order.
    std::vector<MapMark> drawList() const { return marksFor(frameFor(size())); }

    int drawnPoints() const { return int(points_.size()); }
    // The drawing's work so far: marks drawn into the image (one per new
    // point or late answer, every point at a full redraw) and full redraws.
    std::int64_t marksDrawn() const { return marksDrawn_; }
    int fullRedraws() const { return fullRedraws_; }
    int unplacedPoints() const { return unplaced_; }
    const CoverageGrid& grid() const { return grid_; }
    // Where a position lies on the widget now (tests, hover); empty before
    // the projection has an origin.
    std::optional<QPointF> pixelOf(double lat, double lon) const;
    double pixelsPerMetre() const { return frameFor(size()).scale; }

    // The whole map, overlays included, drawn as vectors into size.
    void render(QPainter& p, const QSize& size) const;
    // PNG or SVG (by the name's suffix) of the map at size (the widget's
    // size when empty, or 1200 x 900 for a widget never shown).
    // The picture of a run beside its logs is RunRecorder::mapPicturePath().
    bool savePicture(const QString& path, QString* error = nullptr, QSize size = {}) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    struct Point {
        double lat, lon;
        QPointF m;  // metres on the projection
        std::int64_t packet;
        bool answered;
        bool late;
        records::PerLevel<std::optional<int>> levels;
    };
    struct Frame {
        QPointF centreM;
        QPointF centrePx;
        double scale = 1;  // pixels per metre
        QPointF toPx(const QPointF& m) const {
            return {centrePx.x() + (m.x() - centreM.x()) * scale, centrePx.y() - (m.y() - centreM.y()) * scale};
        }
        QPointF toMetres(const QPointF& px) const {
            return {centreM.x() + (px.x() - centrePx.x()) / scale, centreM.y() - (px.y() - centrePx.y()) / scale};
        }
    };
    struct Overlay {
        int id;
        QString name;
        int shape;
        bool shown;
        std::vector<Point> points;
        int lost;
    };
    struct MarkerPoint {
        QPointF m;
        int number;
        double lat, lon;
    };
    Frame frameFor(const QSize& size) const;
    std::vector<MapMark> marksFor(const Frame& f) const;
    MapMark answeredMark(const Point& pt, const Frame& f) const;
    void redrawMarkersNear(QPainter& p, const QPointF& c, const Frame& f) const;
    LegendContent legend() const;
    std::vector<LegendLayer> legendLayers() const;
    double legendStrip(const QSize& size) const;
    std::optional<int> valueOf(const Point& p) const;
    // The chosen value is coloured on the run's measured level scale.
    bool onRunScale() const;
    // Each point drawn, with its layer's shape: the own ones (when shown),
    // then the overlays shown.
    template <typename F>
    void forShown(F&& f) const {
        if (ownShown_)
            for (const Point& p : points_)
                f(p, ownShape_);
        for (const Overlay& o : overlays_)
            if (o.shown)
                for (const Point& p : o.points)
                    f(p, o.shape);
    }
    Overlay* overlay(int id);
    void reproject();
    void rebuildGrid();
    bool widenFor(const QPointF& m);
    void invalidate();
    void scheduleRepaint();
    void drawBase(QPainter& p, const QSize& size, const Frame& f) const;
    void drawCells(QPainter& p, const Frame& f) const;
    const MapScale& levelScale() const { return levelScale_; }
    bool updateLevelScale();
    bool imageCurrent() const;
    void drawOverlays(QPainter& p, const QSize& size, const Frame& f) const;

    Datum datum_;
    std::optional<LocalProjection> projection_;
    std::vector<Point> points_;
    std::vector<MarkerPoint> markers_;
    std::vector<Overlay> overlays_;
    QString ownName_;
    int ownShape_ = 0;
    bool ownShown_ = true;
    LostSpots spots_;  // of the backing image's frame
    CoverageGrid grid_;
    QRectF extentM_;  // x east, y north: left/top are the minima
    QRectF dataM_;    // the origin and every point
    int unplaced_ = 0;
    int lost_ = 0;
    MapValue value_ = MapValue::FarRssi;
    View view_ = View::Points;
    int minSamples_ = kDefaultMinSamples;
    records::Mode mode_ = records::Mode::Fsk;
    records::PerLevel<exportdata::LevelRange> levelRanges_;  // of the answered points
    exportdata::LevelScale levels_;
    MapScale levelScale_;
    std::unique_ptr<BaseMap> base_;
    struct LegendKey {
        MapValue value;
        View view;
        double cellM;
        int minSamples;
        exportdata::LevelScale levels;
        QString font;
        std::vector<LegendLayer> layers;
        bool operator==(const LegendKey& o) const {
            return value == o.value && view == o.view && cellM == o.cellM && minSamples == o.minSamples &&
                   levels == o.levels && font == o.font && layers == o.layers;
        }
    };
    mutable std::optional<LegendKey> legendKey_;
    mutable double legendPx_ = 0;
    QImage image_;
    bool stale_ = true;
    bool repaintScheduled_ = false;
    std::int64_t marksDrawn_ = 0;
    int fullRedraws_ = 0;
};

}  // namespace analysis
