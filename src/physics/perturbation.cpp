// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "physics/perturbation.h"

#include "physics/lapack.h"
#include "physics/parallel.h"

#include "model/units.h"
#include "physics/blas_threads.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>

namespace ambrel {

namespace {

// More moved spheres than this make the low-rank correction dearer than a full evaluation.
constexpr int MAX_MOVED = 24;
// The force term of the pair (a, b) on a, as compute_forces sums it.
PairTerm term_of_pair(Real ax, Real ay, Real az, Real ar, Real qa, Real bx, Real by, Real bz, Real br,
                      Real qb) {
    return pair_term(ax - bx, ay - by, az - bz, ar + br, qa * qb);
}

// Solves U^T U x = b (b in x) with the Cholesky factor U (upper, column-major, leading dimension
// n) in plain loops over its columns, which are contiguous: used below WARM_START_MIN_SIZE spheres,
// where LAPACK's dpotrs, which packs the factor for every call, costs several times the
// arithmetic. Each sum runs in a fixed order.
void solve_with_factor(int n, const double* U, double* x) {
    for (int i = 0; i < n; ++i) { // U^T y = b: row i of U^T is column i of U
        const double* column = U + static_cast<std::size_t>(i) * n;
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        int k = 0;
        for (; k + 4 <= i; k += 4) {
            s0 += column[k] * x[k];
            s1 += column[k + 1] * x[k + 1];
            s2 += column[k + 2] * x[k + 2];
            s3 += column[k + 3] * x[k + 3];
        }
        for (; k < i; ++k)
            s0 += column[k] * x[k];
        x[i] = (x[i] - ((s0 + s1) + (s2 + s3))) / column[i];
    }
    for (int i = n - 1; i >= 0; --i) { // U x = y, column by column
        const double* column = U + static_cast<std::size_t>(i) * n;
        const double xi = x[i] / column[i];
        x[i] = xi;
        for (int k = 0; k < i; ++k)
            x[k] -= column[k] * xi;
    }
}

} // namespace

void PerturbationBase::prepare_pair_geometry(const Sphere* s, bool parallel) {
    const int n = static_cast<int>(q_.size());
    px_.resize(n);
    py_.resize(n);
    pz_.resize(n);
    r_.resize(n);
    for (int a = 0; a < n; ++a) {
        px_[a] = s[a].x;
        py_[a] = s[a].y;
        pz_[a] = s[a].z;
        r_[a] = s[a].r;
    }
    row_start_.resize(static_cast<std::size_t>(n) + 1);
    std::size_t next = 0;
    for (int a = 0; a < n; ++a) {
        row_start_[a] = next;
        next += static_cast<std::size_t>(n - a - 1);
    }
    row_start_[n] = next;
    gx_.resize(next);
    gy_.resize(next);
    gz_.resize(next);
    sx_.assign(static_cast<std::size_t>(n), 0);
    sy_.assign(static_cast<std::size_t>(n), 0);
    sz_.assign(static_cast<std::size_t>(n), 0);
    // Each row's S in ascending order of the other sphere, from the long double G.
    parallel_for(
        parallel, 0, n,
        [&](int a) {
            Real sx = 0, sy = 0, sz = 0;
            for (int b = 0; b < n; ++b) {
                if (b == a)
                    continue;
                const Real dx = px_[a] - px_[b], dy = py_[a] - py_[b], dz = pz_[a] - pz_[b];
                Real D = dx * dx + dy * dy + dz * dz;
                if (D < MIN_SQUARED_PAIR_DISTANCE)
                    D = MIN_SQUARED_PAIR_DISTANCE;
                const Real d = std::sqrt(D);
                const Real w = d < r_[a] + r_[b] ? 0 : 1 / (D * d);
                sx += w * dx * q_[b];
                sy += w * dy * q_[b];
                sz += w * dz * q_[b];
                if (b > a) {
                    const std::size_t k = row_start_[a] + static_cast<std::size_t>(b - a - 1);
                    gx_[k] = static_cast<double>(w * dx);
                    gy_[k] = static_cast<double>(w * dy);
                    gz_[k] = static_cast<double>(w * dz);
                }
            }
            sx_[a] = sx;
            sy_[a] = sy;
            sz_[a] = sz;
        },
        16);
}

bool PerturbationBase::prepare(const SystemModel& model, const Options& options, const Evaluation& base,
                               int capacity, int smallest) {
    n_ = 0;
    const int n = model.sphere_count;
    // Isolated conductors change their potentials with every perturbation: evaluated in full.
    if (n < smallest || n > capacity || plates_possible(model, options) || model.has_isolated_conductors() ||
        base.Q.size() < static_cast<std::size_t>(n) + 1)
        return false;
    for (int i = 1; i <= n; ++i)
        if (!in_matrix(model.spheres[i]))
            return false;

    solver_ = std::make_unique<DenseSymmetricSolver>(n);
    Real* P = solver_->matrix(n);
    const Sphere* s = model.spheres.data() + 1; // 0-based
    // Small systems (the equilibrium finder's) stay on the calling thread.
    const bool parallel = n >= PARALLEL_MIN_SPHERES;
    parallel_for(
        parallel, 0, n,
        [&](int a) {
            P[at(a, a, n)] = 1 / s[a].r;
            for (int b = a + 1; b < n; ++b)
                P[at(a, b, n)] = P[at(b, a, n)] = 1 / clamped_distance(s[a], s[b]);
        },
        16);
    v_.assign(static_cast<std::size_t>(n), 0);
    for (int a = 0; a < n; ++a) {
        const int c = s[a].conductor;
        v_[a] = (c >= 1 && c <= model.conductor_count) ? model.conductors[c].V : 0;
    }
    // Only the factor is wanted of this solve; the perturbations start from the base charges.
    residual_.assign(static_cast<std::size_t>(n), 0);
    const SolveOutcome outcome = solver_->solve(n, v_.data(), residual_.data());
    if (outcome.tier_used != SolverTier::Fast || outcome.singular_pivot != 0 || !solver_->cholesky_factor(n))
        return false;

    q_.assign(base.Q.begin() + 1, base.Q.begin() + 1 + n);
    // The perturbed forces are the base forces of each sphere plus their change. An evaluation
    // keeps of a composite only each sphere's share of the object's total force: the spheres'
    // own forces, which its rotational forces (torques) are summed from, are computed again.
    const Evaluation* own = &base;
    Evaluation spheres_own;
    for (int k = 1; k <= model.object_count && own == &base; ++k)
        if (model.objects[k].composite()) {
            spheres_own = base;
            compute_forces(model, spheres_own);
            own = &spheres_own;
        }
    fx_.assign(own->fx.begin() + 1, own->fx.begin() + 1 + n);
    fy_.assign(own->fy.begin() + 1, own->fy.begin() + 1 + n);
    fz_.assign(own->fz.begin() + 1, own->fz.begin() + 1 + n);
    x_.resize(n);
    for (int a = 0; a < n; ++a)
        x_[a] = q_[a] / FOUR_PI_E0;
    p_double_.resize(static_cast<std::size_t>(n) * n);
    parallel_for(parallel, 0, n, [&](int a) {
        Real sum = 0;
        for (int b = 0; b < n; ++b) {
            sum += P[at(a, b, n)] * x_[b];
            p_double_[at(a, b, n)] = static_cast<double>(P[at(a, b, n)]);
        }
        residual_[a] = v_[a] - sum;
    });

    prepare_pair_geometry(s, parallel);
    compute_turn_geometry(model, options, turn_);
    correct_ = options[Option::CorrectRotationForces];
    ax_.assign(static_cast<std::size_t>(model.object_count) + 1, 0);
    az_.assign(static_cast<std::size_t>(model.object_count) + 1, 0);
    for (int k = 1; k <= model.object_count; ++k) {
        ax_[k] = model.objects[k].Ax;
        az_[k] = model.objects[k].Az;
    }
    static std::atomic<unsigned> prepared{0};
    generation_ = ++prepared;
    n_ = n;
    return true;
}

bool PerturbedEvaluation::evaluate(const PerturbationBase& base, const SystemModel& model,
                                   const Options& options, Evaluation& ev) {
    const int n = base.n_;
    if (n == 0 || model.sphere_count != n)
        return false;
    n_ = n;
    const Sphere* s = model.spheres.data() + 1; // 0-based
    is_moved_.assign(static_cast<std::size_t>(n), 0);
    moved_.clear();
    for (int a = 0; a < n; ++a) {
        if (s[a].x != base.px_[a] || s[a].y != base.py_[a] || s[a].z != base.pz_[a] || s[a].r != base.r_[a]) {
            if (!in_matrix(s[a]) || s[a].r != base.r_[a] || static_cast<int>(moved_.size()) == MAX_MOVED)
                return false;
            moved_.push_back(a);
            is_moved_[a] = 1;
        }
    }
    k_ = static_cast<int>(moved_.size());
    ev.reserve(n);
    ev.diagnostics = ChargeDiagnostics{};
    if (k_ == 0) {
        // Nothing moved: the base state itself.
        x_ = base.x_;
        dfx_.assign(static_cast<std::size_t>(n), 0);
        dfy_.assign(static_cast<std::size_t>(n), 0);
        dfz_.assign(static_cast<std::size_t>(n), 0);
    } else {
        s_ = s;
        if (!solve(base))
            return false;
        force_changes(base);
    }
    for (int a = 0; a < n; ++a) {
        const int i = a + 1;
        ev.Q[i] = k_ == 0 ? base.q_[a] : x_[a] * FOUR_PI_E0;
        ev.fx[i] = base.fx_[a] + dfx_[a] / FOUR_PI_E0;
        ev.fy[i] = base.fy_[a] + dfy_[a] / FOUR_PI_E0;
        ev.fz[i] = base.fz_[a] + dfz_[a] / FOUR_PI_E0;
        ev.f_abs[i] = std::sqrt(ev.fx[i] * ev.fx[i] + ev.fy[i] * ev.fy[i] + ev.fz[i] * ev.fz[i]);
    }
    rotational_forces(base, model, options, ev);
    return true;
}

void PerturbedEvaluation::rotational_forces(const PerturbationBase& base, const SystemModel& model,
                                            const Options& options, Evaluation& ev) {
    if (options[Option::CorrectRotationForces] != base.correct_ ||
        model.object_count + 1 != static_cast<int>(base.ax_.size())) {
        compute_rotational_forces(model, options, ev);
        return;
    }
    // The base's geometry, with that of the objects off their base angles computed anew (the
    // perturbation moves every sphere of the object it turns).
    if (turn_generation_ != base.generation_) {
        turn_ = base.turn_;
        turned_.clear();
        turn_generation_ = base.generation_;
    }
    for (const int k : turned_) {
        const Object& o = model.objects[k];
        std::copy(base.turn_.begin() + o.first, base.turn_.begin() + o.last() + 1, turn_.begin() + o.first);
    }
    turned_.clear();
    for (int k = 1; k <= model.object_count; ++k)
        if (model.objects[k].Ax != base.ax_[k] || model.objects[k].Az != base.az_[k]) {
            compute_turn_geometry(model, options, turn_, k);
            turned_.push_back(k);
        }
    for (const int a : moved_) {
        const int k = model.spheres[a + 1].object;
        if (std::find(turned_.begin(), turned_.end(), k) == turned_.end()) {
            compute_turn_geometry(model, options, turn_, k);
            turned_.push_back(k);
        }
    }
    rotational_forces_from(model, options, turn_, ev);
}

bool PerturbedEvaluation::factor_update(const PerturbationBase& base) {
    const int n = n_, k = k_;
    const Sphere* s = s_;
    const Real* P = base.solver_->matrix_data();
    const double* A = a_;

    // The change of P is D = sum over moved s of e_s d_s^T + d_s e_s^T, d_s the change of row s
    // with its entries in moved columns halved.
    d_.assign(static_cast<std::size_t>(k) * n, 0);
    for (int t = 0; t < k; ++t) {
        const int a = moved_[t];
        Real* d = d_.data() + at(t, 0, n);
        for (int b = 0; b < n; ++b) {
            if (b == a)
                continue;
            const Real change = 1 / clamped_distance(s[a], s[b]) - P[at(a, b, n)];
            d[b] = is_moved_[b] ? change / 2 : change;
        }
    }
    // Z = A^-1 U with U = [e_s | d_s], and K = I + V^T Z with V = [d_s | e_s], so that
    // (A + U V^T)^-1 r = A^-1 r - Z K^-1 V^T A^-1 r (the Sherman-Morrison-Woodbury formula,
    // perturbation.h).
    const int m = 2 * k;
    const char uplo = 'U';
    int info = 0;
    z_.assign(static_cast<std::size_t>(m) * n, 0.0);
    for (int t = 0; t < k; ++t) {
        z_[at(t, moved_[t], n)] = 1.0;
        for (int b = 0; b < n; ++b)
            z_[at(k + t, b, n)] = static_cast<double>(d_[at(t, b, n)]);
    }
    if (n < WARM_START_MIN_SIZE) {
        for (int col = 0; col < m; ++col)
            solve_with_factor(n, A, z_.data() + at(col, 0, n));
    } else {
        dpotrs_(&uplo, &n, &m, A, &n, z_.data(), &n, &info, 1);
        if (info != 0)
            return false;
    }
    small_.assign(static_cast<std::size_t>(m) * m, 0.0);
    for (int row = 0; row < m; ++row)
        for (int col = 0; col < m; ++col) {
            const double* z = z_.data() + at(col, 0, n);
            double sum = row == col ? 1.0 : 0.0;
            if (row < k) {
                const Real* d = d_.data() + at(row, 0, n);
                for (int b = 0; b < n; ++b)
                    sum += static_cast<double>(d[b]) * z[b];
            } else {
                sum += z[moved_[row - k]];
            }
            small_[at(row, col, m)] = sum;
        }
    return small_lu_.factor(m, small_.data(), 0, 0) == 0;
}

void PerturbedEvaluation::precondition(double* r) {
    const int n = n_, k = k_, m = 2 * k_;
    if (n < WARM_START_MIN_SIZE)
        solve_with_factor(n, a_, r);
    else
        cholesky_solve(n, a_, r, 1);
    t_.assign(static_cast<std::size_t>(m), 0.0);
    for (int row = 0; row < m; ++row) {
        if (row < k) {
            const Real* d = d_.data() + at(row, 0, n);
            double sum = 0;
            for (int b = 0; b < n; ++b)
                sum += static_cast<double>(d[b]) * r[b];
            t_[row] = sum;
        } else {
            t_[row] = r[moved_[row - k]];
        }
    }
    small_lu_.solve(t_.data());
    for (int col = 0; col < m; ++col) {
        const double* z = z_.data() + at(col, 0, n);
        for (int b = 0; b < n; ++b)
            r[b] -= z[b] * t_[col];
    }
}

template <class T> Real PerturbedEvaluation::change_times(const T* y, int i) const {
    const int n = n_, k = k_;
    Real sum = 0;
    for (int t = 0; t < k; ++t)
        sum += d_[at(t, i, n)] * y[moved_[t]];
    if (is_moved_[i]) {
        const int t = static_cast<int>(std::find(moved_.begin(), moved_.end(), i) - moved_.begin());
        const Real* d = d_.data() + at(t, 0, n);
        for (int b = 0; b < n; ++b)
            sum += d[b] * y[b];
    }
    return sum;
}

bool PerturbedEvaluation::solve(const PerturbationBase& base) {
    const int n = n_;
    const Real* P = base.solver_->matrix_data();
    a_ = base.solver_->cholesky_factor(n);
    const double* Pd = base.p_double_.data();
    if (!factor_update(base))
        return false;

    // Refinement from the base charges x0. Residuals of the new matrix P + D:
    //   r0 = v - (P + D) x0 = (base residual) - D x0;
    //   after a correction c: r' = r - (P + D) c, with P c in double while c is small.
    x_ = base.x_;
    residual_ = base.residual_;
    for (int i = 0; i < n; ++i)
        residual_[i] -= change_times(x_.data(), i);
    r_.resize(n);
    c_.resize(n);
    RefinementJudge judge(true);
    for (int step = 0; step < MAX_WARM_REFINEMENT_STEPS; ++step) {
        for (int i = 0; i < n; ++i)
            r_[i] = static_cast<double>(residual_[i]);
        precondition(r_.data());
        judge.apply(n, x_.data(), r_.data(), step == 0);
        if (judge.failed)
            return false;
        if (judge.done)
            return true;
        // The residual after this correction.
        if (judge.last_correction <= DOUBLE_PRODUCT_CORRECTION * judge.last_norm) {
            std::copy(r_.begin(), r_.end(), c_.begin());
            for (int i = 0; i < n; ++i) {
                const double* Pi = Pd + at(i, 0, n);
                double sum = 0;
                for (int b = 0; b < n; ++b)
                    sum += Pi[b] * c_[b];
                residual_[i] -= sum + change_times(c_.data(), i);
            }
        } else {
            for (int i = 0; i < n; ++i) {
                const Real* Pi = P + at(i, 0, n);
                Real sum = 0;
                for (int b = 0; b < n; ++b)
                    sum += Pi[b] * x_[b];
                residual_[i] = base.v_[i] - sum - change_times(x_.data(), i);
            }
        }
    }
    return false;
}

void PerturbedEvaluation::force_changes(const PerturbationBase& base) {
    const int n = n_;
    const Sphere* s = s_;
    const Real* q = base.q_.data();
    // dQ, and dQ without the moved spheres (their pairs are computed in full below).
    delta_.resize(n);
    std::vector<Real>& qn = residual_; // the new charges, in the residual's storage
    qn.resize(n);
    for (int a = 0; a < n; ++a) {
        qn[a] = x_[a] * FOUR_PI_E0;
        delta_[a] = is_moved_[a] ? 0.0 : static_cast<double>(qn[a] - q[a]);
    }
    // u = G dQ over unmoved spheres, G antisymmetric.
    ux_.assign(static_cast<std::size_t>(n), 0.0);
    uy_.assign(static_cast<std::size_t>(n), 0.0);
    uz_.assign(static_cast<std::size_t>(n), 0.0);
    for (int a = 0; a < n; ++a) {
        const std::size_t row = base.row_start_[a];
        const double* gx = base.gx_.data() + row - (a + 1);
        const double* gy = base.gy_.data() + row - (a + 1);
        const double* gz = base.gz_.data() + row - (a + 1);
        const double da = delta_[a];
        double sx = 0, sy = 0, sz = 0;
        for (int b = a + 1; b < n; ++b) {
            sx += gx[b] * delta_[b];
            sy += gy[b] * delta_[b];
            sz += gz[b] * delta_[b];
            ux_[b] -= gx[b] * da;
            uy_[b] -= gy[b] * da;
            uz_[b] -= gz[b] * da;
        }
        ux_[a] += sx;
        uy_[a] += sy;
        uz_[a] += sz;
    }
    dfx_.assign(static_cast<std::size_t>(n), 0);
    dfy_.assign(static_cast<std::size_t>(n), 0);
    dfz_.assign(static_cast<std::size_t>(n), 0);
    auto g_entry = [&](const std::vector<double>& g, int a, int b) -> Real {
        if (a < b)
            return g[base.row_start_[a] + static_cast<std::size_t>(b - a - 1)];
        return -g[base.row_start_[b] + static_cast<std::size_t>(a - b - 1)];
    };
    // Every pair with a moved sphere (all pairs of a moved sphere): the new term less the old,
    // computed once, from the moved sphere's side. The pair term is exactly antisymmetric
    // (dx, dy, dz change sign, the rest is symmetric), so the change on the other sphere is
    // exactly the negative of the one kept here, and the sums below are those of computing it
    // from either side.
    pair_changes_.resize(static_cast<std::size_t>(k_) * n);
    for (int j = 0; j < k_; ++j) {
        const int a = moved_[j];
        PairTerm* change = pair_changes_.data() + static_cast<std::size_t>(j) * n;
        Real dx = 0, dy = 0, dz = 0;
        for (int b = 0; b < n; ++b) {
            if (b == a)
                continue;
            const PairTerm now =
                term_of_pair(s[a].x, s[a].y, s[a].z, s[a].r, qn[a], s[b].x, s[b].y, s[b].z, s[b].r, qn[b]);
            const PairTerm before = term_of_pair(base.px_[a], base.py_[a], base.pz_[a], base.r_[a], q[a],
                                                 base.px_[b], base.py_[b], base.pz_[b], base.r_[b], q[b]);
            change[b] = {now.x - before.x, now.y - before.y, now.z - before.z};
            dx += change[b].x;
            dy += change[b].y;
            dz += change[b].z;
        }
        dfx_[a] = dx;
        dfy_[a] = dy;
        dfz_[a] = dz;
    }
    for (int a = 0; a < n; ++a) {
        if (is_moved_[a])
            continue;
        // Pairs with unmoved spheres: dQ_a (S_a - sum over moved b of G_ab Q_b + u_a) + Q_a u_a.
        Real sx = base.sx_[a] + ux_[a], sy = base.sy_[a] + uy_[a], sz = base.sz_[a] + uz_[a];
        for (int b : moved_) {
            sx -= g_entry(base.gx_, a, b) * q[b];
            sy -= g_entry(base.gy_, a, b) * q[b];
            sz -= g_entry(base.gz_, a, b) * q[b];
        }
        const Real da = qn[a] - q[a];
        Real dx = da * sx + q[a] * ux_[a];
        Real dy = da * sy + q[a] * uy_[a];
        Real dz = da * sz + q[a] * uz_[a];
        // Pairs with the moved spheres, in their order.
        for (int j = 0; j < k_; ++j) {
            const PairTerm& change = pair_changes_[static_cast<std::size_t>(j) * n + a];
            dx -= change.x;
            dy -= change.y;
            dz -= change.z;
        }
        dfx_[a] = dx;
        dfy_[a] = dy;
        dfz_[a] = dz;
    }
}

} // namespace ambrel
