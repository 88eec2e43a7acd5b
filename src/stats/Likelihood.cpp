#include "stats/Likelihood.h"

#include <algorithm>
#include <cmath>

namespace analysis::ml {

namespace {

// Solves (a) x = b for a symmetric positive definite a; false when it is not.
bool solveSpd(Matrix a, Vector& b, int k) {
    for (int j = 0; j < k; ++j) {
        double d = a[j * k + j];
        for (int p = 0; p < j; ++p)
            d -= a[j * k + p] * a[j * k + p];
        if (!(d > 0))
            return false;
        d = std::sqrt(d);
        a[j * k + j] = d;
        for (int i = j + 1; i < k; ++i) {
            double s = a[i * k + j];
            for (int p = 0; p < j; ++p)
                s -= a[i * k + p] * a[j * k + p];
            a[i * k + j] = s / d;
        }
    }
    for (int i = 0; i < k; ++i) {
        for (int p = 0; p < i; ++p)
            b[i] -= a[i * k + p] * b[p];
        b[i] /= a[i * k + i];
    }
    for (int i = k - 1; i >= 0; --i) {
        for (int p = i + 1; p < k; ++p)
            b[i] -= a[p * k + i] * b[p];
        b[i] /= a[i * k + i];
    }
    return true;
}

double step(const Vector& theta, int i) { return 1e-4 * std::max(1.0, std::fabs(theta[i])); }

void derivatives(const std::function<double(const Vector&)>& f, const Vector& theta, double f0, Vector& g, Matrix& h) {
    const int k = int(theta.size());
    g.assign(k, 0);
    h.assign(k * k, 0);
    Vector t = theta;
    std::vector<double> plus(k), minus(k);
    for (int i = 0; i < k; ++i) {
        const double hi = step(theta, i);
        t[i] = theta[i] + hi;
        plus[i] = f(t);
        t[i] = theta[i] - hi;
        minus[i] = f(t);
        t[i] = theta[i];
        g[i] = (plus[i] - minus[i]) / (2 * hi);
        h[i * k + i] = (plus[i] - 2 * f0 + minus[i]) / (hi * hi);
    }
    for (int i = 0; i < k; ++i)
        for (int j = i + 1; j < k; ++j) {
            const double hi = step(theta, i), hj = step(theta, j);
            double s = 0;
            for (const auto& [si, sj] : {std::pair{1, 1}, std::pair{1, -1}, std::pair{-1, 1}, std::pair{-1, -1}}) {
                t[i] = theta[i] + si * hi;
                t[j] = theta[j] + sj * hj;
                s += si * sj * f(t);
            }
            t[i] = theta[i];
            t[j] = theta[j];
            h[i * k + j] = h[j * k + i] = s / (4 * hi * hj);
        }
}

}  // namespace

Matrix invertSpd(const Matrix& a, int k) {
    Matrix out(k * k, 0);
    for (int c = 0; c < k; ++c) {
        Vector e(k, 0);
        e[c] = 1;
        if (!solveSpd(a, e, k))
            return {};
        for (int r = 0; r < k; ++r)
            out[r * k + c] = e[r];
    }
    return out;
}

Maximum maximise(const std::function<double(const Vector&)>& f, Vector start, int maxIterations) {
    const int k = int(start.size());
    Maximum m;
    m.theta = std::move(start);
    m.value = f(m.theta);
    if (!std::isfinite(m.value))
        return m;
    double lambda = 1e-3;
    Vector g;
    Matrix h;
    for (int it = 0; it < maxIterations && !m.converged; ++it) {
        derivatives(f, m.theta, m.value, g, h);
        bool moved = false;
        while (lambda < 1e12) {
            // (-H + lambda diag(|H|+1)) delta = g
            Matrix a(k * k);
            for (int i = 0; i < k * k; ++i)
                a[i] = -h[i];
            for (int i = 0; i < k; ++i)
                a[i * k + i] += lambda * (std::fabs(h[i * k + i]) + 1);
            Vector delta = g;
            if (solveSpd(a, delta, k)) {
                Vector next = m.theta;
                for (int i = 0; i < k; ++i)
                    next[i] += delta[i];
                const double v = f(next);
                if (std::isfinite(v) && v >= m.value) {
                    double gain = 0;
                    for (int i = 0; i < k; ++i)
                        gain += g[i] * delta[i];
                    m.theta = next;
                    const double rise = v - m.value;
                    m.value = v;
                    lambda = std::max(1e-9, lambda / 10);
                    moved = true;
                    m.converged = gain < 1e-8 * std::max(1.0, std::fabs(m.value)) && rise < 1e-8 * std::max(1.0, std::fabs(m.value));
                    break;
                }
            }
            lambda *= 10;
        }
        if (!moved) {
            // No step uphill however short: at the maximum (to rounding).
            m.converged = true;
        }
    }
    derivatives(f, m.theta, m.value, g, h);
    Matrix info(k * k);
    for (int i = 0; i < k * k; ++i)
        info[i] = -h[i];
    m.covariance = invertSpd(info, k);
    return m;
}

const Hermite& hermite() {
    static const Hermite nodes = [] {
        // Golub-Welsch would need an eigen solver; Newton's method on the
        // Hermite polynomial from the asymptotic first guesses does as well.
        constexpr int n = 24;
        Hermite h;
        h.nodes.resize(n);
        h.weights.resize(n);
        const double pim4 = 0.7511255444649425;  // pi^(-1/4)
        double z = 0;
        for (int i = 0; i < (n + 1) / 2; ++i) {
            if (i == 0) z = std::sqrt(double(2 * n + 1)) - 1.85575 * std::pow(double(2 * n + 1), -0.16667);
            else if (i == 1) z -= 1.14 * std::pow(double(n), 0.426) / z;
            else if (i == 2) z = 1.86 * z - 0.86 * h.nodes[0];
            else if (i == 3) z = 1.91 * z - 0.91 * h.nodes[1];
            else z = 2.0 * z - h.nodes[i - 2];
            double pp = 0;
            for (int its = 0; its < 100; ++its) {
                double p1 = pim4, p2 = 0;
                for (int j = 0; j < n; ++j) {
                    const double p3 = p2;
                    p2 = p1;
                    p1 = z * std::sqrt(2.0 / (j + 1)) * p2 - std::sqrt(double(j) / (j + 1)) * p3;
                }
                pp = std::sqrt(2.0 * n) * p2;
                const double z1 = z;
                z = z1 - p1 / pp;
                if (std::fabs(z - z1) <= 1e-14) break;
            }
            h.nodes[i] = z;
            h.nodes[n - 1 - i] = -z;
            h.weights[i] = h.weights[n - 1 - i] = 2.0 / (pp * pp);
        }
        return h;
    }();
    return nodes;
}

}  // namespace analysis::ml
