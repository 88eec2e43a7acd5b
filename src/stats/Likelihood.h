#pragma once
// The numerical tools of the maximum-likelihood fits (Sensitivity.h): a
// damped Newton maximiser for a handful of parameters, with the gradient
// and Hessian taken by central differences, and Gauss-Hermite nodes for
// expectations under a normal distribution.
#include <functional>
#include <vector>

namespace analysis::ml {

using Vector = std::vector<double>;
// A symmetric k x k matrix, row by row.
using Matrix = std::vector<double>;

struct Maximum {
    Vector theta;        // where the function is largest
    double value = 0;
    Matrix covariance;   // the inverse of minus the Hessian there (observed information)
    bool converged = false;
};

// Maximises f from start (Levenberg-Marquardt damping of Newton's step,
// every step uphill). The covariance is empty when minus the Hessian at the
// end is not positive definite (the maximum is not determined).
Maximum maximise(const std::function<double(const Vector&)>& f, Vector start, int maxIterations = 200);

// Inverts a symmetric positive definite matrix (Cholesky); empty when it
// is not positive definite.
Matrix invertSpd(const Matrix& a, int k);

// Nodes t and weights w with sum w g(t) ~ integral of g(t) exp(-t^2) dt;
// so E[g(X)] for X ~ N(mu, s^2) is sum w g(mu + sqrt(2) s t) / sqrt(pi).
struct Hermite {
    Vector nodes;
    Vector weights;
};
const Hermite& hermite();  // 24 nodes

}  // namespace analysis::ml
