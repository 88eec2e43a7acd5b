#include "stats/Sensitivity.h"

#include "stats/Likelihood.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace analysis {

namespace {

const double kLn9 = std::log(9.0);
const double kLn10 = std::log(10.0);
constexpr double kSqrtPi = 1.7724538509055160;

// ln F(z) for the logistic F(z) = 1 / (1 + exp(-z)), without overflow.
double logF(double z) { return z >= 0 ? -std::log1p(std::exp(-z)) : z - std::log1p(std::exp(z)); }
double logisticF(double z) { return 1 / (1 + std::exp(-z)); }

// The Wilson score interval of fractional counts (shared-out lost packets).
Interval wilsonOf(double k, double n) {
    const double p = k / n, z2 = kZ95 * kZ95;
    const double denom = 1 + z2 / n;
    const double centre = (p + z2 / (2 * n)) / denom;
    const double half = kZ95 / denom * std::sqrt(std::max(0.0, p * (1 - p)) / n + z2 / (4 * n * n));
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

double binOf(double level) { return std::floor(level / kSensitivityBinDb) * kSensitivityBinDb; }

double median(std::vector<double>& v) {
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + mid, v.end());
    const double hi = v[mid];
    if (v.size() % 2)
        return hi;
    return (hi + *std::max_element(v.begin(), v.begin() + mid)) / 2;
}

// The level of each lost point from the answered points of its run within
// the window around it; empty where none is that close.
std::vector<std::optional<double>> neighbourLevels(const std::vector<LevelPoint>& p) {
    std::vector<std::optional<double>> out(p.size());
    std::size_t from = 0, to = 0;
    std::vector<double> near;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i].answered)
            continue;
        while (from < i && (p[from].run != p[i].run || p[from].atUs < p[i].atUs - kNeighbourWindowUs))
            ++from;
        to = std::max(to, from);
        while (to < p.size() && p[to].run == p[i].run && p[to].atUs <= p[i].atUs + kNeighbourWindowUs)
            ++to;
        near.clear();
        for (std::size_t j = from; j < to; ++j)
            if (p[j].run == p[i].run && p[j].answered && p[j].level && std::abs(p[j].atUs - p[i].atUs) <= kNeighbourWindowUs)
                near.push_back(*p[j].level);
        if (!near.empty())
            out[i] = median(near);
    }
    return out;
}

// Parameters of both fits: the path loss (b: level at the middle distance
// less the answered mean, n, ln sigma) and the curve (m, ln s).
enum { kB, kN, kLnSigma, kM, kLnS, kParams };

struct Model {
    ml::Vector theta = ml::Vector(kParams, 0);
    ml::Matrix cov;          // kParams x kParams; rows of missing parts zero
    double yMean = 0;        // levels are fitted less this
    double xMean = 0;        // x = -10 log10(d) less this
    bool pathLoss = false;
    bool curve = false;
    // The likelihood the curve was fitted with, over its own parameters
    // (the joint ones, or the curve's alone), for the profile intervals.
    std::function<double(const ml::Vector&)> curveLoglik;
    ml::Vector curveTheta;
    int mAt = 0, sAt = 1;
    double curveMax = 0;

    double a(const ml::Vector& t) const { return yMean + t[kB] - t[kN] * xMean; }
    double p90(const ml::Vector& t) const { return t[kM] + std::exp(t[kLnS]) * kLn9; }
};

// 95 % interval of g at the model's parameters by the delta method (the
// gradient by central differences).
std::optional<Estimate> delta(const Model& m, const std::function<double(const ml::Vector&)>& g,
                              std::function<double(double)> back = nullptr) {
    if (m.cov.empty())
        return std::nullopt;
    const double v = g(m.theta);
    if (!std::isfinite(v))
        return std::nullopt;
    ml::Vector grad(kParams, 0);
    for (int i = 0; i < kParams; ++i) {
        ml::Vector t = m.theta;
        const double h = 1e-5 * std::max(1.0, std::fabs(t[i]));
        t[i] += h;
        const double up = g(t);
        t[i] -= 2 * h;
        grad[i] = (up - g(t)) / (2 * h);
    }
    double var = 0;
    for (int i = 0; i < kParams; ++i)
        for (int j = 0; j < kParams; ++j)
            var += grad[i] * m.cov[i * kParams + j] * grad[j];
    if (!(var >= 0) || !std::isfinite(var))
        return std::nullopt;
    const double half = kZ95 * std::sqrt(var);
    if (!back)
        return Estimate{v, v - half, v + half};
    return Estimate{back(v), back(v - half), back(v + half)};
}

struct Answered {
    double x, y;  // x less xMean
};

// The curve alone, on levels given for every point (k answered of n at
// each level).
bool fitCurve(const std::map<double, std::pair<double, double>>& byLevel, Model& model) {
    double lost = 0, won = 0;
    for (const auto& [level, kn] : byLevel) {
        won += kn.first;
        lost += kn.second - kn.first;
    }
    if (byLevel.size() < 3 || won < 5 || lost < 5)
        return false;
    const auto f = [byLevel](const ml::Vector& t) {
        const double s = std::exp(t[1]);
        double l = 0;
        for (const auto& [level, kn] : byLevel) {
            const double z = (level - t[0]) / s;
            l += kn.first * logF(z) + (kn.second - kn.first) * logF(-z);
        }
        return l;
    };
    // Start between the levels: where half the packets lie below.
    double seen = 0, start = byLevel.begin()->first;
    for (const auto& [level, kn] : byLevel) {
        seen += kn.second;
        if (seen >= (won + lost) / 2) {
            start = level;
            break;
        }
    }
    const ml::Maximum max = ml::maximise(f, {start, std::log(3.0)});
    if (max.covariance.empty())
        return false;
    model.theta[kM] = max.theta[0];
    model.theta[kLnS] = max.theta[1];
    if (model.cov.empty())
        model.cov.assign(kParams * kParams, 0);
    model.cov[kM * kParams + kM] = max.covariance[0];
    model.cov[kM * kParams + kLnS] = model.cov[kLnS * kParams + kM] = max.covariance[1];
    model.cov[kLnS * kParams + kLnS] = max.covariance[3];
    model.curve = true;
    model.curveLoglik = f;
    model.curveTheta = max.theta;
    model.mAt = 0;
    model.sAt = 1;
    model.curveMax = max.value;
    return true;
}

// The path loss of the answered points alone (least squares, exact
// standard errors); the fit when no loss needs to be censored.
bool fitAnswered(const std::vector<Answered>& ans, Model& model) {
    const double n = double(ans.size());
    if (ans.size() < 3)
        return false;
    double sx = 0, sy = 0;
    for (const Answered& a : ans) {
        sx += a.x;
        sy += a.y;
    }
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0, syy = 0;
    for (const Answered& a : ans) {
        sxx += (a.x - mx) * (a.x - mx);
        sxy += (a.x - mx) * (a.y - my);
        syy += (a.y - my) * (a.y - my);
    }
    if (!(sxx > 1e-9))
        return false;
    const double slope = sxy / sxx;
    const double var = std::max(1e-12, (syy - slope * sxy) / (n - 2));
    // Re-centre x on the answered points' mean, so b and n are independent.
    model.xMean += mx;
    model.theta[kB] = my;
    model.theta[kN] = slope;
    model.theta[kLnSigma] = 0.5 * std::log(var);
    if (model.cov.empty())
        model.cov.assign(kParams * kParams, 0);
    model.cov[kB * kParams + kB] = var / n;
    model.cov[kN * kParams + kN] = var / sxx;
    model.cov[kLnSigma * kParams + kLnSigma] = 1 / (2 * (n - 2));
    model.pathLoss = true;
    return true;
}

// Both fits together: lost points integrated over the law at their distance.
bool fitJoint(const std::vector<Answered>& ans, const std::map<long long, std::pair<double, double>>& lostByX,
              Model& model) {
    if (ans.size() < 10 || lostByX.empty())
        return false;
    double na = double(ans.size()), sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    std::map<double, double> levels;
    for (const Answered& a : ans) {
        sx += a.x;
        sy += a.y;
        sxx += a.x * a.x;
        sxy += a.x * a.y;
        syy += a.y * a.y;
        levels[a.y] += 1;
    }
    std::vector<std::pair<double, double>> lost;  // x, count
    for (const auto& [key, group] : lostByX)
        lost.push_back({group.first / group.second, group.second});
    const ml::Hermite& gh = ml::hermite();
    const double yMean = model.yMean;
    const auto f = [=, &gh](const ml::Vector& t) {
        const double b = t[kB], n = t[kN], sigma = std::exp(t[kLnSigma]), m = t[kM], s = std::exp(t[kLnS]);
        const double ss = syy - 2 * b * sy - 2 * n * sxy + na * b * b + 2 * b * n * sx + n * n * sxx;
        double l = -na * t[kLnSigma] - ss / (2 * sigma * sigma);
        for (const auto& [y, c] : levels)
            l += c * logF((y + yMean - m) / s);
        for (const auto& [x, c] : lost) {
            const double mu = yMean + b + n * x;
            double top = -1e300;
            double terms[64];
            const std::size_t k = gh.nodes.size();
            for (std::size_t i = 0; i < k; ++i) {
                terms[i] = std::log(gh.weights[i] / kSqrtPi) + logF(-(mu + M_SQRT2 * sigma * gh.nodes[i] - m) / s);
                top = std::max(top, terms[i]);
            }
            double sum = 0;
            for (std::size_t i = 0; i < k; ++i)
                sum += std::exp(terms[i] - top);
            l += c * (top + std::log(sum));
        }
        return l;
    };
    const ml::Maximum max = ml::maximise(f, model.theta);
    if (max.covariance.empty() || !max.converged)
        return false;
    model.theta = max.theta;
    model.cov = max.covariance;
    model.pathLoss = model.curve = true;
    model.curveLoglik = f;
    model.curveTheta = max.theta;
    model.mAt = kM;
    model.sAt = kLnS;
    model.curveMax = max.value;
    return true;
}

// A curve that stands on the data: its midpoint near the levels seen and
// not flat or a step beyond what the levels resolve.
bool curvePlausible(const Model& m, double lowest, double highest) {
    const double s = std::exp(m.theta[kLnS]);
    return s > 0.05 && s < 30 && m.theta[kM] > lowest - 15 && m.theta[kM] < highest + 15;
}

// The 95 % profile-likelihood interval of the level at which the curve
// reaches a success rate: level = m + s c (c = 0 at 50 %, ln 9 at 90 %).
// Each bound is where the likelihood maximised with the level held there
// falls 1.92 (half the 95 % point of chi-square with one degree of freedom)
// below the maximum; a bound not found falls back to the Wald one.
std::optional<Estimate> profileLevel(const Model& model, double c, std::optional<Estimate> wald) {
    if (!model.curveLoglik || !wald)
        return wald;
    const ml::Vector& top = model.curveTheta;
    const int k = int(top.size()), mAt = model.mAt, sAt = model.sAt;
    const double best = top[mAt] + std::exp(top[sAt]) * c;
    const double target = model.curveMax - 1.9207294103;
    // The reduced parameters: all but m, which the level held fixes.
    const auto reduce = [&](const ml::Vector& t) {
        ml::Vector r;
        for (int i = 0; i < k; ++i)
            if (i != mAt)
                r.push_back(t[i]);
        return r;
    };
    const auto expand = [&](const ml::Vector& r, double level) {
        ml::Vector t(k);
        for (int i = 0, j = 0; i < k; ++i)
            if (i != mAt)
                t[i] = r[std::size_t(j++)];
        t[mAt] = level - std::exp(t[sAt]) * c;
        return t;
    };
    ml::Vector warm = reduce(top);
    const auto excess = [&](double level) {
        const ml::Maximum m = ml::maximise([&](const ml::Vector& r) { return model.curveLoglik(expand(r, level)); }, warm, 15);
        if (std::isfinite(m.value))
            warm = m.theta;
        return m.value - target;
    };
    Estimate out{best, wald->low, wald->high};
    for (const int side : {-1, 1}) {
        warm = reduce(top);
        double in = best, inH = model.curveMax - target;
        double step = side < 0 ? best - wald->low : wald->high - best;
        if (!(step > 0))
            continue;
        double outL = best + side * step, outH = excess(outL);
        for (int grow = 0; grow < 8 && outH > 0; ++grow) {
            in = outL;
            inH = outH;
            step *= 2;
            outL = best + side * step;
            outH = excess(outL);
        }
        if (!(outH <= 0))
            continue;
        // Regula falsi (Illinois) between a level inside and one outside.
        double bound = outL;
        for (int it = 0; it < 30; ++it) {
            const double mid = in + (outL - in) * inH / (inH - outH);
            const double h = excess(mid);
            bound = mid;
            if (std::fabs(h) < 1e-3)
                break;
            if (h > 0) {
                in = mid;
                inH = h;
                outH /= 2;
            } else {
                outL = mid;
                outH = h;
                inH /= 2;
            }
        }
        (side < 0 ? out.low : out.high) = bound;
    }
    return out;
}

}  // namespace

double Sensitivity::successAt(double level) const {
    if (!midpointDbm || !scaleDb)
        return 0;
    return logisticF((level - *midpointDbm) / *scaleDb);
}

void LevelSeries::add(const records::Exchange& e, int run) {
    LevelPoint p;
    p.run = run;
    p.atUs = e.sentUs;
    if (e.position && e.position->usable() && e.position->distanceM)
        p.distanceM = *e.position->distanceM;
    p.answered = e.outcome == records::Outcome::Answered;
    const auto put = [&](std::vector<LevelPoint>& to, std::optional<double> level) {
        // An answered packet without the level says nothing of this one.
        if (p.answered && !level)
            return;
        LevelPoint q = p;
        q.level = p.answered ? level : std::nullopt;
        to.push_back(q);
    };
    put(far, e.farRssi ? std::optional<double>(*e.farRssi) : std::nullopt);
    put(ack, e.ackRssi ? std::optional<double>(*e.ackRssi) : std::nullopt);
    put(margin, e.ackRssi && e.noise ? std::optional<double>(*e.ackRssi - *e.noise) : std::nullopt);
}

double defaultThresholdDbm(bool lora) { return lora ? -120.0 : -105.0; }

LevelAnalysis analyseLevels(const std::vector<LevelPoint>& points, double fallbackThresholdDbm,
                            std::optional<double> thresholdDbm) {
    LevelAnalysis out;
    Sensitivity& sens = out.sensitivity;
    double lowest = 1e9, highest = -1e9, ySum = 0;
    for (const LevelPoint& p : points) {
        if (p.answered && p.level) {
            ++sens.answered;
            lowest = std::min(lowest, *p.level);
            highest = std::max(highest, *p.level);
            ySum += *p.level;
        } else if (!p.answered) {
            ++sens.lost;
        }
    }
    if (sens.answered == 0)
        return out;

    Model model;
    model.yMean = ySum / double(sens.answered);

    // The points the path loss can use: a distance of at least 1 m.
    std::vector<Answered> withDistance;
    // Lost points grouped by 0.25 dB of x (n times that in level), each group
    // at its mean x (sum, count): the spread within a group is nothing
    // beside the shadowing.
    std::map<long long, std::pair<double, double>> lostByX;
    constexpr double kXStep = 0.25;
    double xSum = 0, nearest = 1e300, farthest = 0;
    std::size_t xCount = 0;
    for (const LevelPoint& p : points) {
        if (!p.distanceM || !(*p.distanceM >= kMinDistanceM) || !std::isfinite(*p.distanceM) || (p.answered && !p.level))
            continue;
        xSum += -10 * std::log10(*p.distanceM);
        ++xCount;
        nearest = std::min(nearest, *p.distanceM);
        farthest = std::max(farthest, *p.distanceM);
    }
    model.xMean = xCount ? xSum / double(xCount) : 0;
    std::size_t lostWithDistance = 0;
    for (const LevelPoint& p : points) {
        if (!p.distanceM || !(*p.distanceM >= kMinDistanceM) || !std::isfinite(*p.distanceM))
            continue;
        const double x = -10 * std::log10(*p.distanceM) - model.xMean;
        if (p.answered && p.level) {
            withDistance.push_back({x, *p.level - model.yMean});
        } else if (!p.answered) {
            auto& group = lostByX[std::llround(x / kXStep)];
            group.first += x;
            group.second += 1;
            ++lostWithDistance;
        }
    }

    // The curve on the neighbours' levels: the answer without distances,
    // and the starting point of the joint fit with them.
    const std::vector<std::optional<double>> near = neighbourLevels(points);
    std::map<double, std::pair<double, double>> byLevel;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const LevelPoint& p = points[i];
        if (p.answered && p.level) {
            auto& kn = byLevel[*p.level];
            kn.first += 1;
            kn.second += 1;
        } else if (!p.answered && near[i]) {
            byLevel[*near[i]].second += 1;
        }
    }
    Model curveOnly = model;
    const bool haveCurve = fitCurve(byLevel, curveOnly) && curvePlausible(curveOnly, lowest, highest);

    bool joint = false;
    if (haveCurve && lostWithDistance >= 5) {
        Model start = model;
        if (fitAnswered(withDistance, start)) {
            // The joint fit keeps x centred on every distance point, the
            // least squares on the answered ones: move b to that centre.
            start.theta[kB] -= start.theta[kN] * (start.xMean - model.xMean);
            start.xMean = model.xMean;
            start.theta[kM] = curveOnly.theta[kM];
            start.theta[kLnS] = curveOnly.theta[kLnS];
            Model j = start;
            j.cov.clear();
            if (fitJoint(withDistance, lostByX, j) && curvePlausible(j, lowest, highest)) {
                model = j;
                joint = true;
            }
        }
    }
    const double dataXMean = model.xMean;
    if (!joint) {
        if (haveCurve) {
            model.theta[kM] = curveOnly.theta[kM];
            model.theta[kLnS] = curveOnly.theta[kLnS];
            model.cov = curveOnly.cov;
            model.curve = true;
            model.curveLoglik = curveOnly.curveLoglik;
            model.curveTheta = curveOnly.curveTheta;
            model.mAt = curveOnly.mAt;
            model.sAt = curveOnly.sAt;
            model.curveMax = curveOnly.curveMax;
        }
        if (!fitAnswered(withDistance, model))
            model.pathLoss = false;
    }

    // The bins: with the joint fit, of the points it used (the lost ones
    // need their distance), so that a stretch without a fix tilts nothing.
    std::map<double, std::pair<double, double>> bins;  // from -> answered, total
    for (std::size_t i = 0; i < points.size(); ++i) {
        const LevelPoint& p = points[i];
        const bool placed = !joint || (p.distanceM && *p.distanceM >= kMinDistanceM && std::isfinite(*p.distanceM));
        if (p.answered && p.level && placed) {
            auto& b = bins[binOf(*p.level)];
            b.first += 1;
            b.second += 1;
        }
    }
    if (joint) {
        sens.lostLevel = LostLevel::PathLoss;
        const double sigma = std::exp(model.theta[kLnSigma]), m = model.theta[kM], s = std::exp(model.theta[kLnS]);
        for (const auto& [key, group] : lostByX) {
            const double count = group.second;
            const double mu = model.yMean + model.theta[kB] + model.theta[kN] * (group.first / count);
            std::vector<std::pair<double, double>> share;
            double total = 0;
            for (double from = binOf(mu - 4 * sigma); from <= mu + 4 * sigma; from += kSensitivityBinDb) {
                double w = 0;
                for (int q = 0; q < 4; ++q) {
                    const double y = from + (q + 0.5) * kSensitivityBinDb / 4;
                    w += logisticF(-(y - m) / s) * std::exp(-0.5 * ((y - mu) / sigma) * ((y - mu) / sigma));
                }
                share.push_back({from, w});
                total += w;
            }
            if (total > 0)
                for (const auto& [from, w] : share)
                    bins[from].second += count * w / total;
        }
        sens.unplaced = sens.lost - lostWithDistance;
    } else {
        for (std::size_t i = 0; i < points.size(); ++i)
            if (!points[i].answered) {
                if (near[i])
                    bins[binOf(*near[i])].second += 1;
                else
                    ++sens.unplaced;
            }
        if (sens.lost > sens.unplaced)
            sens.lostLevel = LostLevel::Neighbours;
    }
    for (const auto& [from, b] : bins)
        if (b.second >= 1)  // less than a packet's share says nothing
            sens.bins.push_back({from, b.first, b.second, wilsonOf(b.first, b.second)});

    if (model.curve) {
        sens.midpointDbm = model.theta[kM];
        sens.scaleDb = std::exp(model.theta[kLnS]);
        sens.p50 = profileLevel(model, 0, delta(model, [](const ml::Vector& t) { return t[kM]; }));
        sens.p90 = profileLevel(model, kLn9, delta(model, [&](const ml::Vector& t) { return model.p90(t); }));
    }

    if (!model.pathLoss)
        return out;
    Reach r;
    r.fit.exponent = model.theta[kN];
    r.fit.referenceDbm = model.a(model.theta);
    r.fit.referenceM = 1;
    r.fit.samples = int(withDistance.size());
    r.fit.nearestM = nearest;
    r.fit.farthestM = farthest;
    double sse = 0;
    for (const Answered& a : withDistance) {
        const double e = a.y + model.yMean - (r.fit.referenceDbm + r.fit.exponent * (a.x + dataXMean));
        sse += e * e;
    }
    r.fit.rmsErrorDb = std::sqrt(sse / double(withDistance.size()));
    r.nSe = std::sqrt(model.cov[kN * kParams + kN]);
    if (const auto a = delta(model, [&](const ml::Vector& t) { return model.a(t); }))
        r.aSe = (a->high - a->value) / kZ95;
    r.sigma = delta(model, [](const ml::Vector& t) { return t[kLnSigma]; }, [](double v) { return std::exp(v); });
    r.censored = joint ? lostWithDistance : 0;
    r.thresholdMeasured = !thresholdDbm && model.curve && sens.p90;
    const double threshold = thresholdDbm ? *thresholdDbm : r.thresholdMeasured ? sens.p90->value : fallbackThresholdDbm;
    r.thresholdDbm = threshold;
    if (r.fit.exponent > 0) {
        // ln of the distance where the law's level meets the threshold.
        const auto lnReach = [&](const ml::Vector& t) {
            const double th = r.thresholdMeasured ? model.p90(t) : threshold;
            return kLn10 * (model.a(t) - th) / (10 * t[kN]);
        };
        r.reachM = delta(model, lnReach, [](double v) { return std::exp(v); });
        if (r.reachM && !(r.reachM->value < 1e9))
            r.reachM.reset();
        if (r.reachM)
            r.reachOutsideRange = r.reachM->value < nearest || r.reachM->value > farthest;
    }
    out.reach = r;
    return out;
}

}  // namespace analysis
