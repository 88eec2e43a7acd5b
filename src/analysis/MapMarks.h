#pragma once
// The point view's marks in the order they are drawn: every answered dot,
// then the lost exchanges above them, one cross per spot with the number of
// exchanges lost there when more than one share it, then the operator's
// markers. So every loss stays visible however many answers land on it
// later, and the crosses a user can count (with their figures) are the lost
// count of the head line.
//
// A spot gathers the lost exchanges whose pixels lie within kSpotPx of its
// first one; spots are found through a hash of kSpotPx cells, so adding a
// loss costs the same at any run length.
#include <QColor>
#include <QPointF>

#include <cstdint>
#include <unordered_map>
#include <vector>

class QPainter;

namespace analysis {

struct MapMark {
    enum class Kind { Answered, Lost, Marker };
    Kind kind = Kind::Answered;
    QPointF px;
    QColor fill;       // an answered dot's colour
    int count = 1;     // lost: exchanges lost at this spot
    bool late = false; // lost: every one of them answered late
    int number = 0;    // a marker's number
    int shape = 0;     // answered, lost: the layer's mark shape (MapLegend.h)
};

class LostSpots {
public:
    // Losses this close to a spot's first one are counted with it: closer
    // than their crosses could be told apart.
    static constexpr double kSpotPx = 6;

    void clear();
    // The spot a loss at px joins (an existing one of its layer's shape
    // within kSpotPx, else a new one), counted in.
    const MapMark& add(const QPointF& px, bool late, int shape = 0);
    // Spots whose cross or figure a mark drawn at px of radius r may
    // overlap.
    std::vector<const MapMark*> near(const QPointF& px, double r) const;
    const std::vector<MapMark>& spots() const { return spots_; }

private:
    static std::uint64_t cellOf(const QPointF& px);
    std::vector<MapMark> spots_;
    std::unordered_map<std::uint64_t, std::vector<int>> cells_;
    std::vector<int> lateCounts_;
};

// Draws one mark (a dot or a lost spot in its layer's shape, a lost spot
// with its figure, a marker flag with its number).
void drawMark(QPainter& p, const MapMark& m);

}  // namespace analysis
