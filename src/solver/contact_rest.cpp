// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/contact_rest.h"

#include "physics/dense_solver.h"
#include "physics/evaluation.h"
#include "physics/row_major_view.h"
#include "solver/eigenvalues.h"
#include "solver/stability.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>

namespace ambrel {

namespace {

// Beyond these the differences cost more than the search they end (a handful of pressed balls is
// the case: an electroscope's leaves below their threshold).
constexpr int MAX_COORDINATES = 64;
constexpr int MAX_PAIRS = 8;
// Newton's iteration converges in a few steps from a state this near; one that has not settled in
// this many is not converging to a rest.
constexpr int MAX_ITERATIONS = 60;
// Pairs this near touching at the start are taken as pressed together.
constexpr Real PRESSED_REACH = 1.25L;
// The largest change of a coordinate in one step (string lengths, or radians): the linearisation
// is trusted no farther.
constexpr Real MAX_STEP = 0.05L;
// A step is halved while its trial overlaps a pair, down to this fraction of its first length.
constexpr Real MIN_STEP_FRACTION = 1e-6L;
// At rest: every gap at its target to this fraction of it (and the forces below the tolerance).
constexpr Real GAP_TOLERANCE = 1e-9L;
// The difference step of the Jacobian moves no string's end by more than this fraction of a gap,
// so that no pair is pressed into the model's push by it; strings shorter than MIN_STRING_LENGTH
// (m) count as that long.
constexpr Real DIFFERENCE_GAP_FRACTION = 1e-3L;
constexpr Real MIN_STRING_LENGTH = 1e-9L;
// Overlapping pairs are moved apart in at most this many passes before the iteration starts, to
// SEPARATION_GAPS times the rest's gap (a gap more than the rest's, for the first-order passes'
// error), with gradients by differences of this step (string lengths or radians: small beside the
// overlaps, large beside the positions' rounding).
constexpr int MAX_SEPARATION_PASSES = 20;
constexpr Real SEPARATION_GAPS = 2;
constexpr Real SEPARATION_DIFFERENCE_STEP = 1e-7L;
// A rest is kept when no eigenvalue of its motion along the contacts has a real part above this
// fraction of the stiffest: a free turn about the vertical is neutral to rounding, and kept.
constexpr Real NEUTRAL_MARGIN = 1e-6L;
// The Gram-Schmidt basis of the contacts' tangent space drops a distance's gradient left shorter
// than CONSTRAINT_INDEPENDENCE (m per coordinate unit) by the earlier ones (its pair's constraint
// follows from the others), and a unit vector left shorter than TANGENT_INDEPENDENCE (too near
// the span so far for an accurate direction; a later unit vector gives the direction instead).
constexpr Real CONSTRAINT_INDEPENDENCE = 1e-12L;
constexpr Real TANGENT_INDEPENDENCE = 1e-3L;

Real distance(const SystemModel& model, int i, int j) {
    const Sphere &a = model.spheres[i], &b = model.spheres[j];
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// Spheres of two objects, one of them hanging, nearer than `reach` times their radii's sum.
std::vector<std::pair<int, int>> pairs_within(const SystemModel& model, Real reach) {
    std::vector<std::pair<int, int>> pairs;
    for (int i = 1; i <= model.sphere_count; ++i)
        for (int j = i + 1; j <= model.sphere_count; ++j) {
            const Sphere &a = model.spheres[i], &b = model.spheres[j];
            if (a.object == b.object || a.r + b.r <= 0)
                continue;
            if (!model.objects[a.object].movable() && !model.objects[b.object].movable())
                continue;
            if (distance(model, i, j) < reach * (a.r + b.r))
                pairs.emplace_back(i, j);
        }
    return pairs;
}

// The evaluation's forces with each pair pushed apart along its line of centres by `push` (N), and
// the rotational forces they give.
Evaluation pushed(const SystemModel& model, const Options& options, const Evaluation& ev,
                  const std::vector<std::pair<int, int>>& pairs, const std::vector<Real>& push,
                  bool forces_too = true) {
    Evaluation e = ev;
    if (!forces_too)
        for (int i = 1; i <= model.sphere_count; ++i)
            e.fx[i] = e.fy[i] = e.fz[i] = 0;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto [i, j] = pairs[k];
        const Sphere &a = model.spheres[i], &b = model.spheres[j];
        const Real d = distance(model, i, j);
        const Real nx = (a.x - b.x) / d, ny = (a.y - b.y) / d, nz = (a.z - b.z) / d;
        e.fx[i] += push[k] * nx;
        e.fy[i] += push[k] * ny;
        e.fz[i] += push[k] * nz;
        e.fx[j] -= push[k] * nx;
        e.fy[j] -= push[k] * ny;
        e.fz[j] -= push[k] * nz;
    }
    compute_rotational_forces(model, options, e);
    return e;
}

// The Jacobian of a rest, n = m + p rows: the chart's velocity with the pushes, then the pairs'
// distances; columns the m coordinates, then the p pushes. Row-major.
struct RestJacobian {
    RestJacobian(const std::vector<Real>& a, int m, int p) : m(m), p(p), a(a, m + p, m + p) {}
    int m, p;
    RowMajorView<const Real> a;
    Real operator()(int i, int j) const { return a(i, j); }
};

// P J_F (m x m), J_F the velocity's Jacobian in the coordinates with the pushes held, P = I - W (G
// W)^-1 G the projection along W, the velocities of unit pushes, onto the motions that keep the
// pairs touching (G the distances' gradients). Nothing when G W is singular.
std::optional<std::vector<Real>> projected_jacobian(const RestJacobian& J) {
    const int m = J.m, p = J.p;
    // (G W)^-1 G, p x m.
    std::vector<Real> gw_storage(static_cast<std::size_t>(p) * p, 0);
    const RowMajorView gw(gw_storage, p, p);
    for (int k = 0; k < p; ++k)
        for (int l = 0; l < p; ++l)
            for (int i = 0; i < m; ++i)
                gw(k, l) += J(m + k, i) * J(i, m + l);
    std::vector<int> swaps;
    if (lu_factor(p, gw.data(), swaps, 0) != 0)
        return std::nullopt;
    std::vector<Real> solved_storage(static_cast<std::size_t>(p) * m);
    const RowMajorView solved(solved_storage, p, m);
    for (int j = 0; j < m; ++j) {
        std::vector<Real> column(static_cast<std::size_t>(p));
        for (int k = 0; k < p; ++k)
            column[k] = J(m + k, j);
        lu_solve(p, gw.data(), swaps, column.data());
        for (int k = 0; k < p; ++k)
            solved(k, j) = column[k];
    }
    std::vector<Real> pj_storage(static_cast<std::size_t>(m) * m, 0);
    const RowMajorView pj(pj_storage, m, m);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            Real x = J(i, j);
            for (int k = 0; k < p; ++k) {
                Real gj = 0; // ((G W)^-1 G J_F)[k][j]
                for (int l = 0; l < m; ++l)
                    gj += solved(k, l) * J(l, j);
                x -= J(i, m + k) * gj;
            }
            pj(i, j) = x;
        }
    return pj_storage;
}

// An orthonormal basis Z of the contacts' tangent space, the null space of G (modified
// Gram-Schmidt, Golub and Van Loan, Matrix Computations, 4th ed., section 5.2: G's rows first, the
// unit vectors after them, and of the result only the vectors after G's rows).
std::vector<std::vector<Real>> tangent_basis(const RestJacobian& J) {
    const int m = J.m;
    std::vector<std::vector<Real>> basis;
    auto add = [&](std::vector<Real> v, bool keep) {
        for (const auto& b : basis) {
            Real d = 0;
            for (int i = 0; i < m; ++i)
                d += v[i] * b[i];
            for (int i = 0; i < m; ++i)
                v[i] -= d * b[i];
        }
        Real norm = 0;
        for (const Real x : v)
            norm += x * x;
        norm = std::sqrt(norm);
        if (norm < (keep ? TANGENT_INDEPENDENCE : CONSTRAINT_INDEPENDENCE))
            return false;
        for (Real& x : v)
            x /= norm;
        basis.push_back(std::move(v));
        return true;
    };
    for (int k = 0; k < J.p; ++k) {
        std::vector<Real> row(static_cast<std::size_t>(m));
        for (int i = 0; i < m; ++i)
            row[i] = J(m + k, i);
        add(std::move(row), false);
    }
    const std::size_t constraints = basis.size();
    for (int e = 0; e < m && static_cast<int>(basis.size()) < m; ++e) {
        std::vector<Real> unit(static_cast<std::size_t>(m), 0);
        unit[e] = 1;
        add(std::move(unit), true);
    }
    basis.erase(basis.begin(), basis.begin() + static_cast<std::ptrdiff_t>(constraints));
    return basis;
}

// Z^T (P J_F) Z, t x t for the t vectors of Z.
std::vector<Real> reduced_matrix(const std::vector<Real>& pj_storage, const std::vector<std::vector<Real>>& z,
                                 int m) {
    const int t = static_cast<int>(z.size());
    const RowMajorView pj(pj_storage, m, m);
    std::vector<Real> reduced_storage(static_cast<std::size_t>(t) * t, 0);
    const RowMajorView reduced(reduced_storage, t, t);
    for (int r = 0; r < t; ++r)
        for (int q = 0; q < t; ++q) {
            Real x = 0;
            for (int i = 0; i < m; ++i)
                for (int j = 0; j < m; ++j)
                    x += z[r][i] * pj(i, j) * z[q][j];
            reduced(r, q) = x;
        }
    return reduced_storage;
}

// Whether the rest whose Jacobian `a` (RestJacobian) describes is stable with its pairs held
// touching. Held by the pushes N = -(G W)^-1 G v that keep the distances, the motion is y' = P v(y)
// on the contacts' manifold (a differential-algebraic system of index two, E. Hairer and G.
// Wanner, Solving Ordinary Differential Equations II, 2nd ed., Springer 1996, ch. VII); at the
// rest its linearisation is P J_F, and restricted to the tangent space, Z^T P J_F Z. That plays the
// part of the reduced Hessian Z^T H Z of the second-order conditions of a constrained minimum (J.
// Nocedal and S. J. Wright, Numerical Optimization, 2nd ed., Springer 2006, section 12.5, and the
// null-space method of section 16.2) for a velocity that need not derive from a potential: stable
// when no eigenvalue of it has a real part above NEUTRAL_MARGIN of the stiffest.
bool stable_on_contacts(const std::vector<Real>& a, int m, int p) {
    const RestJacobian J{a, m, p};
    const std::optional<std::vector<Real>> pj = projected_jacobian(J);
    if (!pj)
        return false;
    const std::vector<std::vector<Real>> z = tangent_basis(J);
    if (z.empty())
        return true; // held in place by its contacts
    const auto values = eigenvalues(reduced_matrix(*pj, z, m), static_cast<int>(z.size()));
    if (!values)
        return false;
    Real stiffest = 0, largest = -std::numeric_limits<Real>::infinity();
    for (const Complex& v : *values) {
        stiffest = std::max(stiffest, std::abs(v));
        largest = std::max(largest, v.real());
    }
    return largest <= NEUTRAL_MARGIN * stiffest;
}

// The contact rest's search: the chart, its coordinates c, the pairs held and their pushes.
struct ContactSearch {
    Session& session;
    SystemModel& model;
    const Options& options;
    const StabilityChart& chart;
    int m;
    int& evaluations;
    std::vector<std::pair<int, int>> pairs;
    std::vector<Real> push;
    std::vector<Real> c;

    // The model at the coordinates, evaluated.
    void evaluate_at(const std::vector<Real>& coordinates) {
        set_chart_coordinates(chart, model, coordinates);
        session.evaluate();
        ++evaluations;
    }
    // The model at the coordinates, its positions only.
    void place_at(const std::vector<Real>& coordinates) {
        set_chart_coordinates(chart, model, coordinates);
        compute_positions(model, options);
    }
    // Pair k's distance less `target` times its radii's sum.
    Real gap(int k, Real target) const {
        const Sphere &a = model.spheres[pairs[k].first], &b = model.spheres[pairs[k].second];
        return distance(model, pairs[k].first, pairs[k].second) - (a.r + b.r) * target;
    }
};

// Moves overlapping pairs apart to SEPARATION_GAPS gaps, so that the model's push enters none of
// the iteration's differences: Gauss-Newton steps on the gaps alone, each the least-norm move that
// closes them to first order, d = -G^T (G G^T)^-1 g, G the gaps' gradients by differences of the
// positions (the minimum-norm solution of an underdetermined system by its normal equations,
// Golub and Van Loan, section 5.6).
void separate_overlaps(ContactSearch& s) {
    const int m = s.m;
    const Real target = 1 + SEPARATION_GAPS * CONTACT_GAP;
    for (int pass = 0; pass < MAX_SEPARATION_PASSES && spheres_touch(s.model); ++pass) {
        const int p = static_cast<int>(s.pairs.size());
        const Real h = SEPARATION_DIFFERENCE_STEP;
        std::vector<Real> g(s.pairs.size()), grad_storage(static_cast<std::size_t>(p) * m);
        const RowMajorView grad(grad_storage, p, m);
        for (int k = 0; k < p; ++k)
            g[k] = s.gap(k, target);
        for (int j = 0; j < m; ++j) {
            std::vector<Real> moved = s.c;
            moved[j] += h;
            s.place_at(moved);
            for (int k = 0; k < p; ++k)
                grad(k, j) = (s.gap(k, target) - g[k]) / h;
        }
        std::vector<Real> gg_storage(static_cast<std::size_t>(p) * p, 0), y(g);
        const RowMajorView gg(gg_storage, p, p);
        for (int k = 0; k < p; ++k)
            for (int l = 0; l < p; ++l)
                for (int j = 0; j < m; ++j)
                    gg(k, l) += grad(k, j) * grad(l, j);
        std::vector<int> swaps;
        if (lu_factor(p, gg.data(), swaps, 0) != 0)
            break;
        lu_solve(p, gg.data(), swaps, y.data());
        for (int j = 0; j < m; ++j)
            for (int k = 0; k < p; ++k)
                s.c[j] -= grad(k, j) * y[k];
        s.place_at(s.c);
    }
}

// The system's residual at c and its Jacobian (RestJacobian), with the largest rotational force
// of an object with the pushes and the largest gap error relative to its target.
struct Linearisation {
    std::vector<Real> r, a;
    Real force = 0, gap_error = 0;
};

// The residual and its Jacobian: the columns of the coordinates by forward differences of step h
// (each an evaluation), those of the pushes, which enter linearly, from unit pushes.
Linearisation linearise(ContactSearch& s, Real h) {
    const int m = s.m, p = static_cast<int>(s.pairs.size()), n = m + p;
    auto residual = [&](std::vector<Real>& out) {
        const Evaluation e = pushed(s.model, s.options, s.session.evaluation, s.pairs, s.push);
        out = chart_velocities(s.chart, s.model, e);
        for (int k = 0; k < p; ++k)
            out.push_back(s.gap(k, 1 + CONTACT_GAP));
        return max_object_rotational_force(s.model, e);
    };
    Linearisation lin;
    lin.force = residual(lin.r);
    for (int k = 0; k < p; ++k) {
        const Sphere &a = s.model.spheres[s.pairs[k].first], &b = s.model.spheres[s.pairs[k].second];
        lin.gap_error = std::max(lin.gap_error, std::fabs(lin.r[m + k]) / ((a.r + b.r) * (1 + CONTACT_GAP)));
    }
    lin.a.assign(static_cast<std::size_t>(n) * n, 0);
    const RowMajorView a(lin.a, n, n);
    for (int j = 0; j < m; ++j) {
        std::vector<Real> moved = s.c;
        moved[j] += h;
        s.evaluate_at(moved);
        std::vector<Real> rj;
        residual(rj);
        for (int i = 0; i < n; ++i)
            a(i, j) = (rj[i] - lin.r[i]) / h;
    }
    s.evaluate_at(s.c);
    const std::vector<Real> none(s.pairs.size(), 0);
    const std::vector<Real> v0 = chart_velocities(
        s.chart, s.model, pushed(s.model, s.options, s.session.evaluation, s.pairs, none, false));
    for (int k = 0; k < p; ++k) {
        std::vector<Real> unit(s.pairs.size(), 0);
        unit[k] = 1;
        const std::vector<Real> w = chart_velocities(
            s.chart, s.model, pushed(s.model, s.options, s.session.evaluation, s.pairs, unit, false));
        for (int i = 0; i < m; ++i)
            a(i, m + k) = w[i] - v0[i];
    }
    return lin;
}

// The difference step of linearise: it moves no string's end by more than DIFFERENCE_GAP_FRACTION
// of the smallest pair's gap.
Real difference_step(const ContactSearch& s, Real longest) {
    Real smallest = std::numeric_limits<Real>::infinity();
    for (const auto& [i, j] : s.pairs)
        smallest = std::min(smallest, s.model.spheres[i].r + s.model.spheres[j].r);
    return DIFFERENCE_GAP_FRACTION * CONTACT_GAP * smallest / std::max<Real>(longest, MIN_STRING_LENGTH);
}

// The active set at a rest (Nocedal and Wright, section 16.5): a pair whose push is not positive
// pulls, and is let go with its push. True when a pair was let go.
bool release_pulling_pairs(ContactSearch& s) {
    std::vector<std::pair<int, int>> kept;
    std::vector<Real> kept_push;
    for (std::size_t k = 0; k < s.pairs.size(); ++k)
        if (s.push[k] > 0) {
            kept.push_back(s.pairs[k]);
            kept_push.push_back(s.push[k]);
        }
    if (kept.size() == s.pairs.size())
        return false;
    s.pairs = std::move(kept);
    s.push = std::move(kept_push);
    return true;
}

enum class StepOutcome { Taken, Joined, Failed };

// The step taken of Newton's (a limit and halvings for the model's sake, not a line search on a
// merit function): at most MAX_STEP in a coordinate, halved while the trial overlaps a pair (the
// model's push would act). A pair outside the set that the trial presses together joins it (the
// active set's blocking constraint, Nocedal and Wright, section 16.5), with no push, and the step
// is solved again: Joined. Failed when the halvings reach MIN_STEP_FRACTION.
StepOutcome take_step(ContactSearch& s, const std::vector<Real>& step) {
    const int m = s.m, p = static_cast<int>(s.pairs.size());
    Real largest = 0;
    for (int i = 0; i < m; ++i)
        largest = std::max(largest, std::fabs(step[i]));
    const Real scale = largest > MAX_STEP ? MAX_STEP / largest : 1;
    for (Real t = scale; t > MIN_STEP_FRACTION * scale; t /= 2) {
        std::vector<Real> trial = s.c;
        for (int i = 0; i < m; ++i)
            trial[i] += t * step[i];
        s.place_at(trial);
        bool joined = false;
        for (const auto& pair : pairs_within(s.model, 1)) {
            if (std::find(s.pairs.begin(), s.pairs.end(), pair) != s.pairs.end() ||
                static_cast<int>(s.pairs.size()) >= MAX_PAIRS)
                continue;
            s.pairs.push_back(pair);
            s.push.push_back(0);
            joined = true;
        }
        if (joined)
            return StepOutcome::Joined;
        if (spheres_touch(s.model))
            continue;
        s.c = trial;
        for (int k = 0; k < p; ++k)
            s.push[k] += t * step[m + k];
        return StepOutcome::Taken;
    }
    return StepOutcome::Failed;
}

// Newton's step on the whole system, the Lagrange (KKT) system of the constrained rest (Nocedal
// and Wright, section 18.1): J (dc, dN) = -r, by LU with partial pivoting; then take_step. The
// Jacobian is overwritten. Failed when it is singular.
StepOutcome newton_step(ContactSearch& s, Linearisation& lin) {
    const int n = static_cast<int>(lin.r.size());
    std::vector<Real> step(lin.r.size());
    for (int i = 0; i < n; ++i)
        step[i] = -lin.r[i];
    std::vector<int> swaps;
    if (lu_factor(n, lin.a.data(), swaps, 0) != 0)
        return StepOutcome::Failed;
    lu_solve(n, lin.a.data(), swaps, step.data());
    return take_step(s, step);
}

// The longest string of a movable object (m).
Real longest_string(const SystemModel& model) {
    Real longest = 0;
    for (int k = 1; k <= model.object_count; ++k)
        if (model.objects[k].movable())
            longest = std::max(longest, std::fabs(model.objects[k].L));
    return longest;
}

} // namespace

bool spheres_touch(const SystemModel& model, Real reach) {
    for (int i = 1; i <= model.sphere_count; ++i) {
        const Sphere& a = model.spheres[i];
        for (int j = i + 1; j <= model.sphere_count; ++j) {
            const Sphere& b = model.spheres[j];
            if (a.object == b.object)
                continue;
            const Real dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z, r = reach * (a.r + b.r);
            if (dx * dx + dy * dy + dz * dz < r * r)
                return true;
        }
    }
    return false;
}

// The method is in contact_rest.h: Newton's iteration on the rest's Lagrange system with an
// active set of pairs (Nocedal and Wright, ch. 18 and section 16.5), from the state with its
// overlaps separated, and a rest kept only when stable on its contacts.
ContactRest find_contact_rest(Session& session, Real dt, Real tolerance) {
    ContactRest result;
    SystemModel& model = session.model;
    const Options& options = session.switches();
    if (!session.evaluation.belongs_to(model)) {
        session.evaluate();
        ++result.evaluations;
    }
    std::vector<std::pair<int, int>> pairs = pairs_within(model, PRESSED_REACH);
    const StabilityChart chart = make_stability_chart(model, options, dt);
    const int m = static_cast<int>(chart.used_slots.size());
    if (pairs.empty() || static_cast<int>(pairs.size()) > MAX_PAIRS || m == 0 || m > MAX_COORDINATES)
        return result;

    std::vector<Real> saved_ax, saved_az;
    for (int k = 1; k <= model.object_count; ++k) {
        saved_ax.push_back(model.objects[k].Ax);
        saved_az.push_back(model.objects[k].Az);
    }
    const Real longest = longest_string(model);
    ContactSearch s{session,
                    model,
                    options,
                    chart,
                    m,
                    result.evaluations,
                    std::move(pairs),
                    {},
                    chart_coordinates(chart, model)};
    separate_overlaps(s);
    s.evaluate_at(s.c);
    s.push.assign(s.pairs.size(), 0);
    for (int iteration = 0; iteration < MAX_ITERATIONS; ++iteration) {
        Linearisation lin = linearise(s, difference_step(s, longest));
        if (lin.force < tolerance && lin.gap_error < GAP_TOLERANCE) {
            if (release_pulling_pairs(s)) {
                if (s.pairs.empty())
                    break;
                continue; // the rest solved again without them
            }
            if (!stable_on_contacts(lin.a, m, static_cast<int>(s.pairs.size())))
                break; // a rest the slightest push leaves: not the physical one
            result.found = true;
            result.pairs = s.pairs;
            result.push = s.push;
            result.residual = lin.force;
            return result;
        }
        if (newton_step(s, lin) == StepOutcome::Failed)
            break;
        s.evaluate_at(s.c);
    }
    // Not found: the state as it was.
    for (int k = 1; k <= model.object_count; ++k) {
        model.objects[k].Ax = saved_ax[k - 1];
        model.objects[k].Az = saved_az[k - 1];
    }
    session.evaluate();
    ++result.evaluations;
    return result;
}

} // namespace ambrel
