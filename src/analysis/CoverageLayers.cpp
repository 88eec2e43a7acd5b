// The coverage map's layers: other runs set beside its own exchanges.
#include "analysis/CoverageMap.h"

#include <algorithm>
#include <unordered_set>

namespace analysis {

CoverageMap::Overlay* CoverageMap::overlay(int id) {
    const auto it = std::find_if(overlays_.begin(), overlays_.end(), [id](const Overlay& o) { return o.id == id; });
    return it == overlays_.end() ? nullptr : &*it;
}

void CoverageMap::setOverlay(int id, const QString& name, int shape, const std::vector<records::Exchange>& exchanges,
                             std::size_t count, const std::vector<std::int64_t>& latePackets) {
    Overlay* o = overlay(id);
    if (!o) {
        overlays_.push_back({id, name, shape, true, {}, 0});
        o = &overlays_.back();
    }
    o->name = name;
    o->shape = shape;
    o->points.clear();
    o->lost = 0;
    const std::unordered_set<std::int64_t> late(latePackets.begin(), latePackets.end());
    count = std::min(count, exchanges.size());
    for (std::size_t i = 0; i < count; ++i) {
        const records::Exchange& e = exchanges[i];
        if (!e.position || !e.position->usable())
            continue;
        const bool answered = e.outcome == records::Outcome::Answered;
        o->points.push_back({e.position->lat, e.position->lon, {}, e.packet, answered,
                             !answered && late.count(e.packet) > 0, records::levelsOf(e)});
        o->lost += answered ? 0 : 1;
    }
    // Projected (and the extent and cells made again) with every layer.
    reproject();
}

void CoverageMap::removeOverlay(int id) {
    const auto it = std::find_if(overlays_.begin(), overlays_.end(), [id](const Overlay& o) { return o.id == id; });
    if (it == overlays_.end())
        return;
    overlays_.erase(it);
    reproject();
}

void CoverageMap::setOverlayShown(int id, bool shown) {
    Overlay* o = overlay(id);
    if (!o || o->shown == shown)
        return;
    o->shown = shown;
    reproject();
}

void CoverageMap::setOwnLayer(const QString& name, int shape) {
    if (name == ownName_ && shape == ownShape_)
        return;
    ownName_ = name;
    ownShape_ = shape;
    invalidate();
}

void CoverageMap::setOwnShown(bool shown) {
    if (shown == ownShown_)
        return;
    ownShown_ = shown;
    reproject();
}

int CoverageMap::shownPoints() const {
    int n = ownShown_ ? int(points_.size()) : 0;
    for (const Overlay& o : overlays_)
        n += o.shown ? int(o.points.size()) : 0;
    return n;
}

// With overlays, each layer shown is named beside its mark.
std::vector<LegendLayer> CoverageMap::legendLayers() const {
    std::vector<LegendLayer> layers;
    if (overlays_.empty())
        return layers;
    if (ownShown_)
        layers.push_back({ownName_, ownShape_});
    for (const Overlay& o : overlays_)
        if (o.shown)
            layers.push_back({o.name, o.shape});
    return layers;
}

}  // namespace analysis
