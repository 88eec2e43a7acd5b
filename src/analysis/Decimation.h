#pragma once
// A line plot's points reduced to what its pixel columns can show. For a
// plot spanning [x0, x1] over `columns` columns, each column keeps its
// lowest and its highest point, in the order they came (one when they are
// the same point), and the line keeps its very first and last point. A line
// drawn through them reaches every extreme the full line reaches, at the
// plot's resolution, from at most 2 x columns + 2 points however many the
// line holds. Points come in rising x; those outside [x0, x1] count in the
// first or last column.
#include <QList>
#include <QPointF>

#include <algorithm>
#include <cmath>

namespace analysis {

template <typename Points>
QList<QPointF> decimateMinMax(const Points& points, double x0, double x1, int columns) {
    QList<QPointF> out;
    if (points.empty())
        return out;
    columns = std::max(1, columns);
    const double perColumn = x1 > x0 ? double(columns) / (x1 - x0) : 0;
    const auto columnOf = [&](double x) {
        return std::clamp(int(std::floor((x - x0) * perColumn)), 0, columns - 1);
    };
    out.reserve(std::min<qsizetype>(qsizetype(points.size()), 2 * qsizetype(columns) + 2));
    auto it = points.begin();
    const QPointF first = *it;
    const QPointF last = points.back();
    out.append(first);
    // Flushes one column: its extremes in the order they came.
    const auto put = [&out](const QPointF& low, const QPointF& high, bool lowFirst) {
        const QPointF& a = lowFirst ? low : high;
        const QPointF& b = lowFirst ? high : low;
        if (out.last() != a)
            out.append(a);
        if (b != a)
            out.append(b);
    };
    int column = columnOf(first.x());
    QPointF low = first, high = first;
    bool lowFirst = true;
    for (++it; it != points.end(); ++it) {
        const QPointF& p = *it;
        const int c = columnOf(p.x());
        if (c != column) {
            put(low, high, lowFirst);
            column = c;
            low = high = p;
            lowFirst = true;
            continue;
        }
        if (p.y() < low.y()) {
            low = p;
            lowFirst = false;  // the high came before this new low
        } else if (p.y() > high.y()) {
            high = p;
            lowFirst = true;
        }
    }
    put(low, high, lowFirst);
    if (out.last() != last)
        out.append(last);
    return out;
}

}  // namespace analysis
