// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/stability.h"

#include "model/units.h"
#include "physics/dense_solver.h"
#include "physics/row_major_view.h"
#include "solver/relaxation.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <numbers>
#include <optional>

namespace ambrel {

namespace {

// An object whose spheres all hang on its string's line does not turn visibly about it: its Ax is
// singular where the string hangs straight down, as a ball's.
bool has_sphere_off_its_line(const SystemModel& model, const Object& o) {
    const Real tiny = 1e-9L * o.L;
    for (int i = o.first; i <= o.last(); ++i) {
        const Sphere& s = model.spheres[i];
        if (std::hypot(s.offset_x, s.offset_y) > tiny)
            return true;
    }
    return false;
}

// The mass-weighted mean square distance of the object's spheres from the vertical through its
// suspension point, over L^2 (equal weights for a massless object).
Real twist_inertia(const SystemModel& model, const Object& o) {
    Real weighted = 0, weights = 0, plain = 0;
    for (int i = o.first; i <= o.last(); ++i) {
        const Sphere& s = model.spheres[i];
        const Real dx = s.x - o.ref_x0, dy = s.y - o.ref_y0;
        const Real d2 = dx * dx + dy * dy;
        weighted += s.m * d2;
        weights += s.m;
        plain += d2;
    }
    const Real mean = weights > 0 ? weighted / weights : plain / o.count;
    return mean / (o.L * o.L);
}

// The displacement (across, along) of the object's chart coordinates that the step makes.
std::pair<Real, Real> displacement(const StabilityChart& chart, const ChartStep& step) {
    const int o = step.object;
    const Real h = step.step;
    if (chart.kind[o] != ChartKind::Horizontal || step.move == ChartMove::Across)
        return step.move == ChartMove::Az ? std::pair<Real, Real>{0, h} : std::pair<Real, Real>{h, 0};
    const Real s0 = std::sin(chart.az0[o]);
    if (step.move == ChartMove::Az)
        return {0, std::sin(chart.az0[o] + h) - s0};
    // Ax turns the end about the vertical: across by sin Az0 sin h, along by sin Az0 (cos h - 1).
    return {s0 * std::sin(h), -2 * s0 * std::sin(h / 2) * std::sin(h / 2)};
}

// The largest component of d with (a - shift I) d = v, a m x m row-major: in long double below
// LAPACK_EIGENVALUES_MIN_SIZE, by LAPACK in double from there on (a long double elimination of 1000
// rows takes seconds; a step length wants no more than a few digits) and wherever the eigenvalues
// are `rough`. 0 when singular.
template <class Velocity>
Real newton_step_length(const std::vector<Real>& a, int m, Real shift, bool rough, Velocity v) {
    Real step = 0;
    if (m < LAPACK_EIGENVALUES_MIN_SIZE && !rough) {
        std::vector<Real> lu = a, d(static_cast<std::size_t>(m));
        for (int i = 0; i < m; ++i) {
            lu[at(i, i, m)] -= shift;
            d[i] = v(i);
        }
        std::vector<int> order;
        if (lu_factor(m, lu.data(), order, 0) != 0)
            return 0;
        lu_solve(m, lu.data(), order, d.data());
        for (const Real x : d)
            step = std::max(step, std::fabs(x));
        return step;
    }
    DoubleLu lu;
    if (lu.factor(m, a.data(), shift, 0) != 0)
        return 0;
    std::vector<Real> d(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i)
        d[i] = v(i);
    lu.solve(d.data());
    for (const Real x : d)
        step = std::max(step, std::fabs(x));
    return step;
}

// The horizontal chart's inverse map: the angles that put object k's string end at (X, Y) =
// (along, across) string lengths from the vertical, in the frame turned by the analysed state's
// Ax0, on the same side of the horizontal as that state.
void place_string_end(const StabilityChart& chart, int k, Object& o, Real across, Real along) {
    const Real r = std::min<Real>(std::hypot(along, across), 1);
    o.Ax = chart.ax0[k] + (r > 0 ? std::atan2(across, along) : 0);
    o.Az = std::cos(chart.az0[k]) >= 0 ? std::asin(r) : std::numbers::pi_v<Real> - std::asin(r);
}

} // namespace

std::string StabilityChart::slot_name(int slot) const {
    const int o = slot / 2 + 1;
    const bool across = slot % 2 == 0;
    const char* name = kind[o] == ChartKind::Horizontal ? (across ? "Y " : "X ") : (across ? "Ax " : "Az ");
    return name + std::to_string(o);
}

StabilityChart make_stability_chart(const SystemModel& model, const Options& options, Real dt) {
    StabilityChart chart;
    chart.objects = model.object_count;
    chart.dt = dt;
    chart.correct = options[Option::CorrectRotationForces];
    const auto size = static_cast<std::size_t>(model.object_count) + 1;
    chart.kind.assign(size, ChartKind::Fixed);
    chart.turns.assign(size, 0);
    chart.direct.assign(size, 0);
    chart.ax0.assign(size, 0);
    chart.az0.assign(size, 0);
    chart.sin_az0.assign(size, 0);
    chart.cos_az0.assign(size, 0);
    chart.cosec_az0.assign(size, 0);
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        chart.ax0[k] = o.Ax;
        chart.az0[k] = o.Az;
        chart.sin_az0[k] = std::sin(o.Az);
        chart.cos_az0[k] = std::cos(o.Az);
        chart.cosec_az0[k] = limited_cosec(o.Az);
        if (!o.movable())
            continue;
        chart.used_slots.push_back(2 * k - 2);
        chart.used_slots.push_back(2 * k - 1);
        const bool turns =
            o.composite() && options[Option::RotateObjects] && has_sphere_off_its_line(model, o);
        chart.turns[k] = turns;
        const Real s = std::fabs(std::sin(o.Az)), c = std::fabs(std::cos(o.Az));
        chart.kind[k] = turns || s > c ? ChartKind::Angles : ChartKind::Horizontal;
        chart.direct[k] = chart.kind[k] == ChartKind::Horizontal && s < DIRECT_ACROSS_MAX_SINE;
    }
    return chart;
}

void chart_velocity(const StabilityChart& chart, const SystemModel& model, const Evaluation& ev,
                    Real* velocity, Real* largest_force) {
    Real largest = 0;
    for (int k = 1; k <= chart.objects; ++k) {
        Real& across = velocity[2 * k - 2];
        Real& along = velocity[2 * k - 1];
        across = along = 0;
        if (chart.kind[k] == ChartKind::Fixed)
            continue;
        const Object& o = model.objects[k];
        const int i = o.last();
        const Real K = step_gain(model, o, chart.dt); // for the object's share of its forces
        const Real frz = ev.frz[i];
        // An object at the chart's own angles (most of a Jacobian's perturbations leave it there)
        // takes their sines and cosines from the chart.
        const bool at_chart = o.Ax == chart.ax0[k] && o.Az == chart.az0[k];
        const Real sin_az = at_chart ? chart.sin_az0[k] : std::sin(o.Az);
        if (chart.turns[k]) {
            const Real G = chart.correct ? ev.frx[i] / (at_chart ? chart.cosec_az0[k] : limited_cosec(o.Az))
                                         : sin_az * ev.frx[i];
            across = K * G / twist_inertia(model, o);
            along = K * frz;
            largest = std::max(largest, std::fabs(G));
            continue;
        }
        const Real R = ev.ring[i];
        largest = std::max(largest, std::fabs(R));
        if (chart.kind[k] == ChartKind::Angles) {
            across = K * R / sin_az;
            along = K * frz;
            continue;
        }
        const Real d = o.Ax - chart.ax0[k];
        const Real c = at_chart ? 1 : std::cos(d), s = at_chart ? 0 : std::sin(d);
        const Real radial = frz * (at_chart ? chart.cos_az0[k] : std::cos(o.Az));
        along = K * (radial * c - R * s);
        across = K * (radial * s + R * c);
    }
    if (largest_force)
        *largest_force = largest;
}

std::vector<Real> chart_coordinates(const StabilityChart& chart, const SystemModel& model) {
    std::vector<Real> c;
    for (int k = 1; k <= chart.objects; ++k) {
        if (chart.kind[k] == ChartKind::Fixed)
            continue;
        const Object& o = model.objects[k];
        if (chart.kind[k] == ChartKind::Horizontal) {
            const Real d = o.Ax - chart.ax0[k], s = std::sin(o.Az);
            c.push_back(s * std::sin(d)); // Y, across
            c.push_back(s * std::cos(d)); // X, along
        } else {
            c.push_back(o.Ax);
            c.push_back(o.Az);
        }
    }
    return c;
}

void set_chart_coordinates(const StabilityChart& chart, SystemModel& model, const std::vector<Real>& c) {
    std::size_t at = 0;
    for (int k = 1; k <= chart.objects; ++k) {
        if (chart.kind[k] == ChartKind::Fixed)
            continue;
        Object& o = model.objects[k];
        const Real across = c[at++], along = c[at++];
        if (chart.kind[k] == ChartKind::Horizontal) {
            place_string_end(chart, k, o, across, along);
        } else {
            o.Ax = across;
            o.Az = along;
        }
    }
}

std::vector<Real> chart_velocities(const StabilityChart& chart, const SystemModel& model,
                                   const Evaluation& ev) {
    std::vector<Real> all(static_cast<std::size_t>(2 * chart.objects));
    chart_velocity(chart, model, ev, all.data());
    std::vector<Real> v;
    for (const int slot : chart.used_slots)
        v.push_back(all[slot]);
    return v;
}

std::vector<ChartStep> plan_chart_steps(const StabilityChart& chart, Real h) {
    std::vector<ChartStep> steps;
    auto slot_of = [&](int k, bool across) {
        const int slot = across ? 2 * k - 2 : 2 * k - 1;
        return static_cast<int>(std::find(chart.used_slots.begin(), chart.used_slots.end(), slot) -
                                chart.used_slots.begin());
    };
    const bool any_direct = std::find(chart.direct.begin(), chart.direct.end(), 1) != chart.direct.end();
    for (int k = 1; k <= chart.objects; ++k) {
        const bool movable = chart.kind[k] != ChartKind::Fixed;
        const bool by_ax = movable && !chart.direct[k];
        steps.push_back({k, ChartMove::Ax, h, 2 * k - 1, by_ax ? 0 : -1, by_ax ? slot_of(k, true) : -1});
        steps.push_back({k, ChartMove::Az, h, 2 * k, movable ? 0 : -1, movable ? slot_of(k, false) : -1});
    }
    if (any_direct)
        for (int k = 1; k <= chart.objects; ++k)
            if (chart.direct[k])
                steps.push_back({k, ChartMove::Across, h, 0, 0, slot_of(k, true)});
    for (int k = 1; k <= chart.objects; ++k) {
        if (chart.kind[k] == ChartKind::Fixed)
            continue;
        steps.push_back(
            {k, chart.direct[k] ? ChartMove::Across : ChartMove::Ax, h / 2, 0, 1, slot_of(k, true)});
        steps.push_back({k, ChartMove::Az, h / 2, 0, 1, slot_of(k, false)});
    }
    return steps;
}

void apply_chart_step(const StabilityChart& chart, SystemModel& model, const ChartStep& step) {
    Object& o = model.objects[step.object];
    switch (step.move) {
    case ChartMove::Ax:
        o.Ax += step.step;
        break;
    case ChartMove::Az:
        o.Az += step.step;
        break;
    case ChartMove::Across:
        // The end at X = sin Az0, Y = step in the frame turned by Ax0.
        place_string_end(chart, step.object, o, step.step, std::sin(chart.az0[step.object]));
        break;
    }
}

ChartJacobians::ChartJacobians(const StabilityChart& chart, std::vector<Real> base_velocity)
    : chart_(chart), base_(std::move(base_velocity)), m_(static_cast<int>(chart.used_slots.size())) {
    coarse_.assign(static_cast<std::size_t>(m_) * m_, 0);
    fine_.assign(static_cast<std::size_t>(m_) * m_, 0);
}

void ChartJacobians::record(const ChartStep& step, const Real* velocity) {
    if (step.set < 0)
        return;
    const RowMajorView a(step.set == 0 ? coarse_ : fine_, m_, m_);
    for (int r = 0; r < m_; ++r) {
        const int slot = chart_.used_slots[r];
        a(r, step.slot) = velocity[slot] - base_[slot];
    }
}

void ChartJacobians::finish(const std::vector<ChartStep>& steps) {
    // The along columns first: an Ax step of a horizontal chart also moves its end along.
    for (const bool across : {false, true}) {
        for (const ChartStep& step : steps) {
            if (step.set < 0 || (chart_.used_slots[step.slot] % 2 == 0) != across)
                continue;
            const RowMajorView a(step.set == 0 ? coarse_ : fine_, m_, m_);
            const auto [d_across, d_along] = displacement(chart_, step);
            const int column = step.slot;
            if (!across) {
                for (int r = 0; r < m_; ++r)
                    a(r, column) /= d_along;
                continue;
            }
            const int along = column + 1; // the object's along slot follows its across slot
            for (int r = 0; r < m_; ++r) {
                a(r, column) = (a(r, column) - d_along * a(r, along)) / d_across;
            }
        }
    }
}

// An end nearer the vertical than this many times the state's distance from rest may hang straight
// down at rest, where a turn about the vertical moves nothing: its velocity there is that of a
// pendulum, and over its distance from the vertical it is the pendulum's stiffness, not a drift
// (counted as drift, it would leave a ball hanging straight down to 1e-12 rad undecided).
constexpr Real TURN_MIN_REACH = 100;

Real ChartJacobians::turning_drift(Real reach) const {
    Real moment = 0, inertia = 0;
    for (int k = 1; k <= chart_.objects; ++k) {
        const Real s = std::fabs(chart_.sin_az0[k]);
        if (chart_.kind[k] == ChartKind::Fixed || chart_.turns[k] || !(s > TURN_MIN_REACH * reach))
            continue;
        const Real across = base_[2 * k - 2], along = base_[2 * k - 1];
        // A horizontal chart gives the end's velocity in string lengths; angles give rates of Ax and
        // Az, whose end moves s dAx across and dAz along.
        const Real speed = chart_.kind[k] == ChartKind::Horizontal ? std::hypot(across, along)
                                                                   : std::hypot(s * across, along);
        moment += speed * s;
        inertia += s * s;
    }
    return inertia > 0 ? moment / inertia : 0;
}

Real rounding_noise(const StabilityChart& chart, const SystemModel& model, const Evaluation& ev,
                    const std::vector<ChartStep>& steps, Real relative) {
    Real scale = 0;
    for (int k = 1; k <= chart.objects; ++k) {
        if (chart.kind[k] == ChartKind::Fixed)
            continue;
        const Object& o = model.objects[k];
        const int i = o.last();
        const Real K = step_gain(model, o, chart.dt);
        // The forces summed in the object's rotational forces are about its weight and its total
        // force; their rounding is relative to the larger.
        Real row = K * std::max(ev.f_abs[i], model.spheres[i].m * GRAVITY);
        if (chart.turns[k])
            row = std::max(row, row / twist_inertia(model, o));
        else if (chart.kind[k] == ChartKind::Angles)
            row /= std::fabs(std::sin(o.Az));
        scale = std::max(scale, row);
    }
    Real smallest = std::numeric_limits<Real>::infinity();
    for (const ChartStep& step : steps) {
        if (step.set != 0)
            continue;
        const auto [d_across, d_along] = displacement(chart, step);
        smallest = std::min(smallest, std::max(std::fabs(d_across), std::fabs(d_along)));
    }
    return std::isfinite(smallest) && smallest > 0 ? relative * scale / smallest : 0;
}

namespace {

// From this size on, in double precision (`rough`), the two spectra are computed at once on two
// threads: they are independent, and the QR iteration is mostly serial. A smaller pair costs too
// little for the threads to pay.
constexpr int CONCURRENT_SPECTRA_MIN_SIZE = 64;
// Each entry of the extrapolated matrix 2 J(h/2) - J(h) carries the rounding of three entries:
// at most 2 * 2 + 1 times that of an entry at h.
constexpr Real EXTRAPOLATED_ENTRY_ROUNDINGS = 5;
// Newton's step to the rest state is taken with a shift of this fraction of the stiffest mode, so
// that a neutral mode (a free turn) does not make the matrix singular.
constexpr Real NEWTON_STEP_SHIFT = 1e-3L;
// The entries change on the scale of a radian: by about their size times the distance from rest,
// four times that for the cosecants of the chart's own terms.
constexpr Real ENTRY_CHANGE_PER_RADIAN = 4;
// The turning drift, an estimate from the state's velocity rather than a bound, is taken twice.
constexpr Real TURNING_DRIFT_MARGIN = 2;
// The two of a complex pair come out conjugate to the last digit of the type they are computed
// in; this fraction of their size, far above double's rounding, takes no other eigenvalue for the
// partner than one as near.
constexpr Real CONJUGATE_TOLERANCE = 1e-12L;

// The eigenvalues of the extrapolated matrix and of J(h/2), by solver/eigenvalues.h (the Francis
// double-shift QR iteration, or LAPACK's). An exception of either (out of memory) is thrown on the
// calling thread. Either is empty when the iteration does not converge.
struct Spectra {
    std::optional<std::vector<Complex>> extrapolated, at_half;
};

Spectra spectra(const std::vector<Real>& extrapolated, const std::vector<Real>& at_half, int m, bool rough) {
    Spectra result;
    if (rough && m >= CONCURRENT_SPECTRA_MIN_SIZE) {
        std::exception_ptr failures[2];
#pragma omp parallel sections num_threads(2)
        {
#pragma omp section
            try {
                result.extrapolated = eigenvalues(extrapolated, m, rough);
            } catch (...) {
                failures[0] = std::current_exception();
            }
#pragma omp section
            try {
                result.at_half = eigenvalues(at_half, m, rough);
            } catch (...) {
                failures[1] = std::current_exception();
            }
        }
        for (const std::exception_ptr& failure : failures)
            if (failure)
                std::rethrow_exception(failure);
    } else {
        result.extrapolated = eigenvalues(extrapolated, m, rough);
        if (result.extrapolated)
            result.at_half = eigenvalues(at_half, m, rough);
    }
    return result;
}

// The error of every eigenvalue from the rounding of the entries (`noise` bounds an entry's error
// at h). Bauer and Fike (F. L. Bauer and C. T. Fike, "Norms and exclusion theorems", Numer. Math.
// 2 (1960) 137-141; Golub and Van Loan, Matrix Computations, 4th ed., section 7.2): a perturbation
// E moves an eigenvalue by at most kappa(V) |E|_2, V the eigenvectors. Roundings independent from
// entry to entry make |E|_2 about sqrt(m) times one of them (m for the worst alignment, which they
// do not take); kappa(V) is taken as one.
Real rounding_error(Real noise, int m) {
    return EXTRAPOLATED_ENTRY_ROUNDINGS * noise * std::sqrt(static_cast<Real>(m));
}

// The error of every eigenvalue of a state at rest only to the tolerance: it lies a step d from
// the rest state, which moves the entries by about ENTRY_CHANGE_PER_RADIAN times their size times
// d, and so an eigenvalue by as much times the stiffest. d is the length of Newton's step,
// (A - NEWTON_STEP_SHIFT stiffest I)^-1 v with v the state's velocity.
// Turning the string ends about a vertical line through their suspension (the neutral motion of a
// system that has that symmetry: two balls from one point) also turns the state's own velocity:
// the matrix along that motion holds the velocity across over the distance from the line, v s /
// s^2 for each end, which is zero only at rest. That part of the distance from rest is the turning
// drift (ChartJacobians::turning_drift): without it, two balls from one point at 10 degrees, at
// rest to 1e-4 uN, have their neutral mode at -4e-7 1/s with an error of 2e-7, and would be
// called stable.
Real off_rest_error(const ChartJacobians& jacobians, const std::vector<Real>& matrix, Real stiffest,
                    bool rough) {
    const Real step = newton_step_length(matrix, jacobians.size(), NEWTON_STEP_SHIFT * stiffest, rough,
                                         [&](int i) { return jacobians.base_velocity(i); });
    return ENTRY_CHANGE_PER_RADIAN * stiffest * step + TURNING_DRIFT_MARGIN * jacobians.turning_drift(step);
}

// The matching: each eigenvalue z of the extrapolated matrix with the nearest eigenvalue of J(h/2)
// not yet taken, greedily in z's order, by squared distance (a square root each time would cost a
// large analysis as much as a tenth of its spectra). Where the spectra's differences are small
// beside their gaps this is the pairing of the optimal matching distance (G. W. Stewart and J.-G.
// Sun, Matrix Perturbation Theory, Academic Press 1990, ch. IV). z less its match is, to first
// order, the difference of the eigenvalues of J(h/2) and J(h): the O(h) error of J(h/2), found
// without a third solve, and far above that of the extrapolation (Richardson's, L. F. Richardson,
// "The deferred approach to the limit", Phil. Trans. R. Soc. A 226 (1927) 299-361) while h is
// where the differences converge.
std::vector<EigenvalueWithError> matched_errors(const std::vector<Complex>& extrapolated,
                                                const std::vector<Complex>& at_half, Real rounding,
                                                Real off_rest) {
    std::vector<EigenvalueWithError> values;
    std::vector<char> used(at_half.size(), 0);
    for (const Complex& z : extrapolated) {
        int best = -1;
        Real nearest = 0;
        for (int k = 0; k < static_cast<int>(at_half.size()); ++k) {
            if (used[k])
                continue;
            const Real distance = std::norm(at_half[k] - z);
            if (best < 0 || distance < nearest) {
                best = k;
                nearest = distance;
            }
        }
        used[best] = 1;
        EigenvalueWithError e;
        e.value = z;
        e.truncation = std::abs(at_half[best] - z);
        e.off_rest = off_rest;
        e.error = e.truncation + rounding + off_rest;
        values.push_back(e);
    }
    return values;
}

// The two of a complex pair are one result: each takes the larger error (the matching may have
// paired them with different neighbours).
void share_pair_errors(std::vector<EigenvalueWithError>& values) {
    for (EigenvalueWithError& e : values) {
        if (e.value.imag() == 0)
            continue;
        for (EigenvalueWithError& other : values)
            if (&other != &e &&
                std::abs(other.value - std::conj(e.value)) <= CONJUGATE_TOLERANCE * std::abs(e.value)) {
                const Real error = std::max(e.error, other.error),
                           truncation = std::max(e.truncation, other.truncation);
                e.error = other.error = error;
                e.truncation = other.truncation = truncation;
                break;
            }
    }
}

// The verdict, by Lyapunov's indirect method (H. K. Khalil, Nonlinear Systems, 3rd ed., Prentice
// Hall 2002, section 4.3): unstable when an eigenvalue's real part is positive beyond its error,
// stable when every one is negative beyond it, else undecided, `deciding` the first (in the order
// of the values, largest real part first) whose sign its error leaves open.
void decide(StabilityAnalysis& result) {
    bool all_negative = true;
    for (int k = 0; k < static_cast<int>(result.values.size()); ++k) {
        const EigenvalueWithError& e = result.values[k];
        if (e.value.real() - e.error > 0) {
            result.verdict = StabilityVerdict::Unstable;
            return;
        }
        if (!(e.value.real() + e.error < 0)) {
            all_negative = false;
            if (result.deciding < 0)
                result.deciding = k;
        }
    }
    result.verdict = all_negative ? StabilityVerdict::Stable : StabilityVerdict::Undecided;
}

} // namespace

StabilityAnalysis analyse_stability(const ChartJacobians& jacobians, Real noise, bool at_rest, bool rough) {
    StabilityAnalysis result;
    const int m = jacobians.size();
    const std::vector<Real>& coarse = jacobians.at(0);
    const std::vector<Real>& fine = jacobians.at(1);
    result.matrix.resize(coarse.size());
    for (std::size_t k = 0; k < coarse.size(); ++k)
        result.matrix[k] = 2 * fine[k] - coarse[k];
    const Spectra found = spectra(result.matrix, fine, m, rough);
    if (!found.extrapolated || !found.at_half)
        return result;

    result.computed = true;
    Real stiffest = 0;
    for (const Complex& z : *found.extrapolated)
        stiffest = std::max(stiffest, std::abs(z));
    // A state not at rest is analysed for the motion from it: no such term.
    const Real off_rest =
        at_rest && stiffest > 0 ? off_rest_error(jacobians, result.matrix, stiffest, rough) : 0;
    result.values = matched_errors(*found.extrapolated, *found.at_half, rounding_error(noise, m), off_rest);
    share_pair_errors(result.values);
    std::stable_sort(result.values.begin(), result.values.end(), [](const auto& a, const auto& b) {
        if (a.value.real() != b.value.real())
            return a.value.real() > b.value.real();
        return a.value.imag() > b.value.imag();
    });
    decide(result);
    return result;
}

} // namespace ambrel
