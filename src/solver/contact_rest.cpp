// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/contact_rest.h"

#include "physics/dense_solver.h"
#include "physics/evaluation.h"
#include "solver/eigenvalues.h"
#include "solver/stability.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ambrel {

namespace {

// Beyond these the differences cost more than the search they end (a handful of pressed balls is
// the case: an electroscope's leaves below their threshold).
constexpr int MAX_COORDINATES = 64;
constexpr int MAX_PAIRS = 8;
constexpr int MAX_ITERATIONS = 60;
// Pairs this near touching at the start are taken as pressed together.
constexpr Real PRESSED_REACH = 1.25L;
// The largest change of a coordinate in one step (string lengths, or radians).
constexpr Real MAX_STEP = 0.05L;

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

// Whether the rest whose Jacobian `a` (n = m + p rows: the chart's velocity with the pushes, then
// the pairs' distances; columns the m coordinates, then the p pushes) describes is stable with its
// pairs held touching: the motion along the contacts' tangent space (null of G, the distances'
// gradients), with the pushes that keep them touching (P = I - W (G W)^-1 G), has no eigenvalue
// with a positive real part beyond a millionth of the stiffest (a free turn about the vertical is
// neutral, and kept). The constrained linearisation of Nocedal and Wright, ch. 12 and 18.
bool stable_on_contacts(const std::vector<Real>& a, int m, int p) {
    const auto n = static_cast<std::size_t>(m + p);
    auto J = [&](int i, int j) { return a[static_cast<std::size_t>(i) * n + static_cast<std::size_t>(j)]; };
    // (G W)^-1 G, p x m.
    std::vector<Real> gw(static_cast<std::size_t>(p) * p, 0);
    for (int k = 0; k < p; ++k)
        for (int l = 0; l < p; ++l)
            for (int i = 0; i < m; ++i)
                gw[static_cast<std::size_t>(k) * p + l] += J(m + k, i) * J(i, m + l);
    std::vector<int> swaps;
    if (lu_factor(p, gw.data(), swaps, 0) != 0)
        return false;
    std::vector<Real> solved(static_cast<std::size_t>(p) * m);
    for (int j = 0; j < m; ++j) {
        std::vector<Real> column(static_cast<std::size_t>(p));
        for (int k = 0; k < p; ++k)
            column[k] = J(m + k, j);
        lu_solve(p, gw.data(), swaps, column.data());
        for (int k = 0; k < p; ++k)
            solved[static_cast<std::size_t>(k) * m + j] = column[k];
    }
    // P J_F, m x m.
    std::vector<Real> pj(static_cast<std::size_t>(m) * m, 0);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            Real x = J(i, j);
            for (int k = 0; k < p; ++k) {
                Real gj = 0; // ((G W)^-1 G J_F)[k][j]
                for (int l = 0; l < m; ++l)
                    gj += solved[static_cast<std::size_t>(k) * m + l] * J(l, j);
                x -= J(i, m + k) * gj;
            }
            pj[static_cast<std::size_t>(i) * m + j] = x;
        }
    // An orthonormal basis Z of the null space of G (Gram-Schmidt: G's rows, then the unit vectors).
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
        if (norm < (keep ? 1e-3L : 1e-12L))
            return false;
        for (Real& x : v)
            x /= norm;
        basis.push_back(std::move(v));
        return true;
    };
    for (int k = 0; k < p; ++k) {
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
    const int t = static_cast<int>(basis.size() - constraints);
    if (t == 0)
        return true; // held in place by its contacts
    std::vector<Real> reduced(static_cast<std::size_t>(t) * t, 0);
    for (int r = 0; r < t; ++r)
        for (int q = 0; q < t; ++q) {
            const auto& zr = basis[constraints + r];
            const auto& zq = basis[constraints + q];
            Real x = 0;
            for (int i = 0; i < m; ++i)
                for (int j = 0; j < m; ++j)
                    x += zr[i] * pj[static_cast<std::size_t>(i) * m + j] * zq[j];
            reduced[static_cast<std::size_t>(r) * t + q] = x;
        }
    const auto values = eigenvalues(reduced, t);
    if (!values)
        return false;
    Real stiffest = 0, largest = -std::numeric_limits<Real>::infinity();
    for (const Complex& z : *values) {
        stiffest = std::max(stiffest, std::abs(z));
        largest = std::max(largest, z.real());
    }
    return largest <= 1e-6L * stiffest;
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
    Real longest = 0;
    for (int k = 1; k <= model.object_count; ++k) {
        saved_ax.push_back(model.objects[k].Ax);
        saved_az.push_back(model.objects[k].Az);
        if (model.objects[k].movable())
            longest = std::max(longest, std::fabs(model.objects[k].L));
    }
    auto evaluate_at = [&](const std::vector<Real>& c) {
        set_chart_coordinates(chart, model, c);
        session.evaluate();
        ++result.evaluations;
    };

    std::vector<Real> c = chart_coordinates(chart, model);
    // Overlapping pairs are first moved apart to their gap (least-squares steps on the distances
    // alone, by differences of the positions): the model's push must not enter the differences.
    for (int pass = 0; pass < 20 && spheres_touch(model); ++pass) {
        const int p = static_cast<int>(pairs.size());
        const Real h = 1e-7L;
        std::vector<Real> g(pairs.size()), grad(static_cast<std::size_t>(p) * m);
        for (int k = 0; k < p; ++k) {
            const Sphere &a = model.spheres[pairs[k].first], &b = model.spheres[pairs[k].second];
            g[k] = distance(model, pairs[k].first, pairs[k].second) - (a.r + b.r) * (1 + 2 * CONTACT_GAP);
        }
        for (int j = 0; j < m; ++j) {
            std::vector<Real> moved = c;
            moved[j] += h;
            set_chart_coordinates(chart, model, moved);
            compute_positions(model, options);
            for (int k = 0; k < p; ++k) {
                const Sphere &a = model.spheres[pairs[k].first], &b = model.spheres[pairs[k].second];
                grad[static_cast<std::size_t>(k) * m + j] =
                    (distance(model, pairs[k].first, pairs[k].second) - (a.r + b.r) * (1 + 2 * CONTACT_GAP) -
                     g[k]) /
                    h;
            }
        }
        // The smallest move that closes the gaps to first order: d = -G' (G G')^-1 g.
        std::vector<Real> gg(static_cast<std::size_t>(p) * p, 0), y(g);
        for (int k = 0; k < p; ++k)
            for (int l = 0; l < p; ++l)
                for (int j = 0; j < m; ++j)
                    gg[static_cast<std::size_t>(k) * p + l] +=
                        grad[static_cast<std::size_t>(k) * m + j] * grad[static_cast<std::size_t>(l) * m + j];
        std::vector<int> swaps;
        if (lu_factor(p, gg.data(), swaps, 0) != 0)
            break;
        lu_solve(p, gg.data(), swaps, y.data());
        for (int j = 0; j < m; ++j)
            for (int k = 0; k < p; ++k)
                c[j] -= grad[static_cast<std::size_t>(k) * m + j] * y[k];
        set_chart_coordinates(chart, model, c);
        compute_positions(model, options);
    }
    evaluate_at(c);
    std::vector<Real> push(pairs.size(), 0);
    for (int iteration = 0; iteration < MAX_ITERATIONS; ++iteration) {
        const int p = static_cast<int>(pairs.size());
        const int n = m + p;
        std::vector<Real> target(pairs.size());
        Real smallest = std::numeric_limits<Real>::infinity();
        for (int k = 0; k < p; ++k) {
            const Sphere &a = model.spheres[pairs[k].first], &b = model.spheres[pairs[k].second];
            target[k] = (a.r + b.r) * (1 + CONTACT_GAP);
            smallest = std::min(smallest, a.r + b.r);
        }
        // A difference step that moves no string's end by more than a thousandth of the gap.
        const Real h = 1e-3L * CONTACT_GAP * smallest / std::max<Real>(longest, 1e-9L);
        auto residual = [&](std::vector<Real>& out) {
            const Evaluation e = pushed(model, options, session.evaluation, pairs, push);
            out = chart_velocities(chart, model, e);
            for (int k = 0; k < p; ++k)
                out.push_back(distance(model, pairs[k].first, pairs[k].second) - target[k]);
            return max_object_rotational_force(model, e);
        };
        std::vector<Real> r;
        const Real force = residual(r);
        Real gap_error = 0;
        for (int k = 0; k < p; ++k)
            gap_error = std::max(gap_error, std::fabs(r[m + k]) / target[k]);
        // The Jacobian of the whole system by differences in c; the pushes enter linearly.
        std::vector<Real> a(static_cast<std::size_t>(n) * n, 0);
        for (int j = 0; j < m; ++j) {
            std::vector<Real> moved = c;
            moved[j] += h;
            evaluate_at(moved);
            std::vector<Real> rj;
            residual(rj);
            for (int i = 0; i < n; ++i)
                a[static_cast<std::size_t>(i) * n + j] = (rj[i] - r[i]) / h;
        }
        evaluate_at(c);
        const std::vector<Real> none(pairs.size(), 0);
        const std::vector<Real> v0 =
            chart_velocities(chart, model, pushed(model, options, session.evaluation, pairs, none, false));
        for (int k = 0; k < p; ++k) {
            std::vector<Real> unit(pairs.size(), 0);
            unit[k] = 1;
            const std::vector<Real> w = chart_velocities(
                chart, model, pushed(model, options, session.evaluation, pairs, unit, false));
            for (int i = 0; i < m; ++i)
                a[static_cast<std::size_t>(i) * n + m + k] = w[i] - v0[i];
        }
        if (force < tolerance && gap_error < 1e-9L) {
            // At rest: each pair pressed (a pair pulling together is let go, and the rest solved
            // again without it).
            std::vector<std::pair<int, int>> kept;
            std::vector<Real> kept_push;
            for (int k = 0; k < p; ++k)
                if (push[k] > 0) {
                    kept.push_back(pairs[k]);
                    kept_push.push_back(push[k]);
                }
            if (kept.size() == pairs.size()) {
                if (!stable_on_contacts(a, m, p))
                    break; // a rest the slightest push leaves: not the physical one
                result.found = true;
                result.pairs = pairs;
                result.push = push;
                result.residual = force;
                return result;
            }
            if (kept.empty())
                break;
            pairs = kept;
            push = kept_push;
            continue;
        }
        std::vector<Real> step(r.size());
        for (int i = 0; i < n; ++i)
            step[i] = -r[i];
        std::vector<int> swaps;
        if (lu_factor(n, a.data(), swaps, 0) != 0)
            break;
        lu_solve(n, a.data(), swaps, step.data());
        Real largest = 0;
        for (int i = 0; i < m; ++i)
            largest = std::max(largest, std::fabs(step[i]));
        const Real scale = largest > MAX_STEP ? MAX_STEP / largest : 1;
        // Halved while the trial overlaps a pair (the model's push would act). A pair outside the
        // set that the step would press together joins it, and the step is solved again.
        bool taken = false, joined = false;
        for (Real t = scale; t > 1e-6L * scale; t /= 2) {
            std::vector<Real> trial = c;
            for (int i = 0; i < m; ++i)
                trial[i] += t * step[i];
            set_chart_coordinates(chart, model, trial);
            compute_positions(model, options);
            for (const auto& pair : pairs_within(model, 1)) {
                if (std::find(pairs.begin(), pairs.end(), pair) != pairs.end() ||
                    static_cast<int>(pairs.size()) >= MAX_PAIRS)
                    continue;
                pairs.push_back(pair);
                push.push_back(0);
                joined = true;
            }
            if (joined)
                break;
            if (spheres_touch(model))
                continue;
            c = trial;
            for (int k = 0; k < p; ++k)
                push[k] += t * step[m + k];
            taken = true;
            break;
        }
        if (joined) {
            evaluate_at(c);
            continue;
        }
        if (!taken)
            break;
        evaluate_at(c);
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
