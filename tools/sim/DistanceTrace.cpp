#include "DistanceTrace.h"

#include "gps/Distance.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>

namespace {
constexpr qint64 kCarryOnUs = 1'000'000;   // how long the walker goes on past the last line
}

DistanceTrace::DistanceTrace(QString path, std::optional<Place> farEnd)
    : path_(std::move(path)), farEnd_(farEnd) {}

void DistanceTrace::restart() {
    file_.close();
    offset_ = 0;
    partial_.clear();
    haveHeader_ = false;
    rows_.clear();
}

void DistanceTrace::readNew() {
    if (!error_.isEmpty())
        return;
    struct stat named {};
    if (::stat(QFile::encodeName(path_).constData(), &named) != 0)
        return;   // not written yet (or gone): keep what was read
    if (file_.isOpen()) {
        // A new file under the same name, or this one written anew.
        struct stat open {};
        if (::fstat(file_.handle(), &open) != 0 || open.st_ino != named.st_ino || open.st_dev != named.st_dev ||
            open.st_size < offset_)
            restart();
    }
    if (!file_.isOpen()) {
        file_.setFileName(path_);
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return;
    }
    const qint64 size = file_.size();
    if (size <= offset_ || !file_.seek(offset_))
        return;
    const QByteArray more = file_.read(size - offset_);
    offset_ += more.size();
    partial_ += more;
    qsizetype start = 0;
    for (qsizetype end; (end = partial_.indexOf('\n', start)) >= 0; start = end + 1)
        addLine(partial_.mid(start, end - start).trimmed());
    partial_.remove(0, start);
}

void DistanceTrace::addLine(const QByteArray& line) {
    if (line.isEmpty())
        return;
    const QList<QByteArray> fields = line.split(',');
    if (!haveHeader_) {
        for (int i = 0; i < fields.size(); ++i) {
            const QByteArray name = fields[i].trimmed();
            if (name == "mono_us") usColumn_ = i;
            else if (name == "lat") latColumn_ = i;
            else if (name == "lon") lonColumn_ = i;
            else if (name == "distance_m") distanceColumn_ = i;
        }
        if (latColumn_ < 0 || lonColumn_ < 0)
            latColumn_ = lonColumn_ = -1;
        if (usColumn_ < 0 || (latColumn_ < 0 && distanceColumn_ < 0)) {
            error_ = QStringLiteral("%1: the first line names no mono_us and lat,lon or distance_m columns").arg(path_);
            std::fprintf(stderr, "qvx-sim: %s\n", qPrintable(error_));
        }
        haveHeader_ = true;
        return;
    }
    if (!error_.isEmpty())
        return;
    const auto number = [&](int column, bool* ok) {
        *ok = false;
        return column >= 0 && column < fields.size() ? fields[column].trimmed().toDouble(ok) : 0.0;
    };
    bool ok = false;
    const qint64 us = usColumn_ < fields.size() ? fields[usColumn_].trimmed().toLongLong(&ok) : 0;
    if (!ok || (!rows_.empty() && us <= rows_.back().us))
        return;   // unreadable, or not later than the line before
    Row r{us, NAN, NAN, 0.0, 0.0};
    if (latColumn_ >= 0) {
        bool okLat = false, okLon = false;
        r.lat = number(latColumn_, &okLat);
        r.lon = number(lonColumn_, &okLon);
        if (!okLat || !okLon || !std::isfinite(r.lat) || !std::isfinite(r.lon))
            return;
        if (!farEnd_)
            farEnd_ = Place{r.lat, r.lon};
        r.distance = distanceTo(r.lat, r.lon);
        if (!rows_.empty())
            r.travelled = rows_.back().travelled + hubeny::distance(r.lat, r.lon, rows_.back().lat, rows_.back().lon);
    } else {
        r.distance = number(distanceColumn_, &ok);
        if (!ok || !std::isfinite(r.distance) || r.distance < 0)
            return;
        if (!rows_.empty())
            r.travelled = rows_.back().travelled + std::fabs(r.distance - rows_.back().distance);
    }
    rows_.push_back(r);
}

double DistanceTrace::distanceTo(double lat, double lon) const {
    return farEnd_ ? hubeny::distance(lat, lon, farEnd_->latitude, farEnd_->longitude) : 0.0;
}

WalkPoint DistanceTrace::between(const Row& a, const Row& b, double f) const {
    WalkPoint p;
    p.travelledM = a.travelled + f * (b.travelled - a.travelled);
    if (std::isnan(a.lat))
        p.distanceM = std::max(0.0, a.distance + f * (b.distance - a.distance));
    else
        p.distanceM = distanceTo(a.lat + f * (b.lat - a.lat), a.lon + f * (b.lon - a.lon));
    return p;
}

WalkPoint DistanceTrace::at(qint64 us) {
    readNew();
    if (rows_.empty())
        return {};
    if (us <= rows_.front().us || rows_.size() == 1)
        return {rows_.front().distance, rows_.front().travelled};
    const auto next = std::upper_bound(rows_.begin(), rows_.end(), us, [](qint64 t, const Row& r) { return t < r.us; });
    if (next == rows_.end()) {
        const Row& a = rows_[rows_.size() - 2];
        const Row& b = rows_.back();
        const qint64 past = std::min(us - b.us, kCarryOnUs);
        return between(a, b, 1.0 + double(past) / double(b.us - a.us));
    }
    const Row& a = *(next - 1);
    const Row& b = *next;
    return between(a, b, double(us - a.us) / double(b.us - a.us));
}
