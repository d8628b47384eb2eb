// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "physics/evaluation.h"
#include "physics/parallel.h"
#include "physics/row_major_view.h"

#include "model/units.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace ambrel {

namespace {

constexpr Real MIN_DISTANCE = MIN_PAIR_DISTANCE;
constexpr Real MIN_HORIZONTAL_RADIUS = 1e-6L; // m

// Potential on the axis of a uniformly charged square of side s and unit charge, at distance d
// from its centre, in units of 1/(4 pi e0): the mutual elastance of two aligned square plates.
// Returns K; the elastance is K/s. It is (1/s^2) times the integral of 1/sqrt(x^2 + y^2 + d^2)
// over the square: the integral over y is 2 asinh(s / (2 sqrt(x^2 + d^2))), and that over x, by
// parts, gives the logarithm and the arc tangent below. At d = 0 it is 4 ln(1 + sqrt 2)/s. Checked
// against a direct quadrature over the square in tests/physics (PlateRule).
Real square_plate_constant(Real s, Real d) {
    const Real root = std::sqrt(s * s + 2 * d * d);
    const Real a = (s + std::sqrt(2.0L) * root) * (s + std::sqrt(2.0L) * root);
    return (2 * s * std::log(a / (s * s + 4 * d * d)) -
            4 * d * std::atan(std::sqrt(2.0L) * s * s / (4 * d * root))) /
           s;
}

// Two flat squares on one vertical line, cells of two different plates facing each other, are
// taken as uniformly charged square plates. Two cells of one plate never face each other: a plate
// turned upright puts each column of its own cells on one vertical line, exactly or not as the
// rounding of cos 90 degrees times their offsets has it, which would make its capacitance depend on
// where it hangs (0.8 % for a lone plate).
bool aligned_squares(const SystemModel& model, const Sphere& a, const Sphere& b) {
    return a.x == b.x && a.y == b.y && a.object != b.object && is_flat_kind(model.objects[a.object].kind) &&
           is_flat_kind(model.objects[b.object].kind) && a.square_side > 0;
}

// Gives every sphere of the object ending at sphere i (n spheres) 1/n of the object's totals,
// which sphere i holds.
void share_over_object(Evaluation& ev, int i, int n) {
    const Real fx = ev.fx[i] / n, fy = ev.fy[i] / n, fz = ev.fz[i] / n;
    const Real f_abs = ev.f_abs[i] / n, frx = ev.frx[i] / n, frz = ev.frz[i] / n, ring = ev.ring[i] / n;
    for (int k = i - n + 1; k <= i; ++k) {
        ev.fx[k] = fx;
        ev.fy[k] = fy;
        ev.fz[k] = fz;
        ev.f_abs[k] = f_abs;
        ev.frx[k] = frx;
        ev.frz[k] = frz;
        ev.ring[k] = ring;
    }
}

// Sums the forces of the other spheres of the object ending at sphere i into sphere i.
void gather_object(Evaluation& ev, int i, int n, bool rotational) {
    for (int k = i - 1; k >= i - n + 1; --k) {
        ev.fx[i] += ev.fx[k];
        ev.fy[i] += ev.fy[k];
        ev.fz[i] += ev.fz[k];
        if (rotational) {
            ev.frx[i] += ev.frx[k];
            ev.frz[i] += ev.frz[k];
            ev.ring[i] += ev.ring[k];
        }
    }
    ev.f_abs[i] = std::sqrt(ev.fx[i] * ev.fx[i] + ev.fy[i] * ev.fy[i] + ev.fz[i] * ev.fz[i]);
}

// Side of the square tiles the elastance matrix is built in: a tile and its mirror image stay
// in the cache together.
constexpr int BUILD_TILE = 64;

// The special pairs (a < b) as a list per row, ascending, both ways round.
void collect_special_pairs(std::vector<std::pair<int, int>>& pairs, int n, std::vector<int>& start,
                           std::vector<int>& list) {
    start.assign(static_cast<std::size_t>(n) + 1, 0);
    for (const auto& [a, b] : pairs) {
        ++start[static_cast<std::size_t>(a) + 1];
        ++start[static_cast<std::size_t>(b) + 1];
    }
    for (int a = 0; a < n; ++a)
        start[static_cast<std::size_t>(a) + 1] += start[static_cast<std::size_t>(a)];
    list.resize(2 * pairs.size());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (const auto& [a, b] : pairs) {
        list[static_cast<std::size_t>(fill[static_cast<std::size_t>(a)]++)] = b;
        list[static_cast<std::size_t>(fill[static_cast<std::size_t>(b)]++)] = a;
    }
    for (int a = 0; a < n; ++a)
        std::sort(list.begin() + start[static_cast<std::size_t>(a)],
                  list.begin() + start[static_cast<std::size_t>(a) + 1]);
}

} // namespace

void Evaluation::reserve(int n) {
    const auto size = static_cast<std::size_t>(n) + 1;
    if (Q.size() >= size)
        return;
    for (std::vector<Real>* v : {&Q, &fx, &fy, &fz, &f_abs, &frx, &frz, &ring})
        v->resize(size, 0);
}

void Evaluation::clear(int n) {
    reserve(n);
    for (std::vector<Real>* v : {&Q, &fx, &fy, &fz, &f_abs, &frx, &frz, &ring})
        std::fill(v->begin(), v->end(), Real(0));
    total_capacitance = 0;
    density_max = 1e-9L;
    density_min = -1e-9L;
    forces_valid = false;
    diagnostics = ChargeDiagnostics{};
    state.clear();
}

namespace {

// This thread's buffers of the evaluation steps (EvaluationScratch in evaluation.h says why one a
// thread).
EvaluationScratch& evaluation_scratch() {
    thread_local EvaluationScratch scratch;
    return scratch;
}

// What an evaluation depends on besides the description's geometry: the reading it belongs to,
// every object's angles and every conductor's voltage and charge, given to `put` in turn.
template <class Put> void for_each_stamp_value(const SystemModel& model, Put&& put) {
    put(static_cast<Real>(model.read_generation));
    put(static_cast<Real>(model.sphere_count));
    for (int k = 1; k <= model.object_count; ++k) {
        put(model.objects[k].Ax);
        put(model.objects[k].Az);
    }
    for (int c = 1; c <= model.conductor_count; ++c) {
        put(model.conductors[c].V);
        put(model.conductors[c].isolated ? model.conductors[c].charge : 0);
    }
}

void state_stamp(const SystemModel& model, std::vector<Real>& stamp) {
    stamp.clear();
    for_each_stamp_value(model, [&](Real value) { stamp.push_back(value); });
}

} // namespace

bool Evaluation::belongs_to(const SystemModel& model) const {
    if (!forces_valid)
        return false;
    // The model's stamp compared with `state` value by value as it is formed.
    std::size_t k = 0;
    bool same = true;
    for_each_stamp_value(model, [&](Real value) {
        same = same && k < state.size() && state[k] == value;
        ++k;
    });
    return same && k == state.size();
}

Real clamped_distance(const Sphere& a, const Sphere& b) {
    const Real dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    const Real d = std::sqrt(dx * dx + dy * dy + dz * dz);
    return d < MIN_DISTANCE ? MIN_DISTANCE : d;
}

bool plates_possible(const SystemModel& model, const Options& options) {
    if (!options[Option::UseSquares])
        return false;
    for (int k = 1; k <= model.object_count; ++k)
        if (is_flat_kind(model.objects[k].kind))
            return true;
    return false;
}

Real limited_cosec(Real a) {
    const Real s = std::sin(a);
    if (std::fabs(s) > LIMITED_COSEC_SINE)
        return 1 / s;
    return a > 0 ? 1000 : -1000;
}

namespace {

// The spheres of one object, from its string's angles (their sines and cosines once an object).
void position_spheres(SystemModel& model, const Object& o, bool rotate) {
    const StringDirection string(o.Ax, o.Az);
    const Real sin_ax = string.sin_ax, cos_ax = string.cos_ax;
    for (int i = o.first; i < o.first + o.count; ++i) {
        Sphere& s = model.spheres[i];
        if (o.composite() && rotate) {
            // Turn the offset about the vertical by Ax, then tilt it by Az about the horizontal
            // axis (sin Ax, -cos Ax, 0): the downward vertical goes into the string's direction.
            const Real u = s.offset_x * cos_ax - s.offset_y * sin_ax;
            const Real v = s.offset_x * sin_ax + s.offset_y * cos_ax;
            const Real w = s.offset_z;
            const Real c = string.cos_az, sn = string.sin_az, k = 1 - c;
            s.x0 = o.ref_x0 + (sin_ax * sin_ax * k + c) * u + (-sin_ax * cos_ax * k) * v + (-cos_ax * sn) * w;
            s.y0 = o.ref_y0 + (-sin_ax * cos_ax * k) * u + (cos_ax * cos_ax * k + c) * v + (-sin_ax * sn) * w;
            s.z0 = o.ref_z0 + (cos_ax * sn) * u + (sin_ax * sn) * v + c * w;
        }
        const Point3 centre = string.at(s.x0, s.y0, s.z0, o.L);
        s.x = centre.x;
        s.y = centre.y;
        s.z = centre.z;
    }
}

} // namespace

void compute_positions(SystemModel& model, const Options& options) {
    const bool rotate = options[Option::RotateObjects];
    for (int k = 1; k <= model.object_count; ++k)
        position_spheres(model, model.objects[k], rotate);
}

void compute_object_positions(SystemModel& model, const Options& options, int object) {
    position_spheres(model, model.objects[object], options[Option::RotateObjects]);
}

namespace {

// Isolated conductors. Their spheres were solved at 0 V: x0 = P^-1 V. With y_c = P^-1 e_c, e_c
// the indicator of conductor c's spheres, the charges are q = x0 + sum_c phi_c y_c, and the
// potentials phi follow from each isolated conductor's total charge Q_c:
//   sum_c (e_c' . y_c) phi_c = Q_c' / (4 pi e0) - e_c' . x0,
// a small system whose matrix is the Maxwell capacitance matrix of the isolated conductors
// (symmetric, positive definite for a positive definite P), solved with partial pivoting.
bool float_isolated_conductors(const SystemModel& model, EvaluationWorkspace& ws, Evaluation& ev) {
    const int n = ws.n_active;
    std::vector<int> floating; // isolated conductors with spheres in the matrix
    std::vector<int> slot(static_cast<std::size_t>(model.conductor_count) + 1, -1);
    std::vector<int> first_sphere;
    for (int a = 0; a < n; ++a) {
        const int c = model.spheres[ws.active[a]].conductor;
        if (c < 1 || c > model.conductor_count || !model.conductors[c].isolated || slot[c] >= 0)
            continue;
        slot[c] = static_cast<int>(floating.size());
        floating.push_back(c);
        first_sphere.push_back(ws.active[a]);
    }
    const int m = static_cast<int>(floating.size());
    if (m == 0)
        return true;
    const auto size = static_cast<std::size_t>(n);
    // y_c of conductor floating[k] in row k.
    std::vector<Real> e(size), y_storage(static_cast<std::size_t>(m) * size);
    const RowMajorView y(y_storage, m, n);
    for (int k = 0; k < m; ++k) {
        for (int a = 0; a < n; ++a)
            e[a] = model.spheres[ws.active[a]].conductor == floating[k] ? 1 : 0;
        if (const int pivot = ws.solver.solve_additional(n, e.data(), y.row(k))) {
            ev.diagnostics.singular_pivot = ws.active[pivot - 1];
            return false;
        }
    }
    // A (m x m) and b, row k for conductor floating[k].
    std::vector<Real> A_storage(static_cast<std::size_t>(m) * m, 0), b(static_cast<std::size_t>(m), 0);
    const RowMajorView A(A_storage, m, m);
    for (int k = 0; k < m; ++k)
        b[k] = model.conductors[floating[k]].charge / FOUR_PI_E0;
    for (int a = 0; a < n; ++a) {
        const int k = slot[model.spheres[ws.active[a]].conductor];
        if (k < 0)
            continue;
        b[k] -= ws.solution[a];
        for (int l = 0; l < m; ++l)
            A(k, l) += y(l, a);
    }
    std::vector<int> order;
    if (const int column = lu_factor(m, A.data(), order, SINGULAR_PIVOT_LIMIT)) {
        // The conductors' capacitances are dependent: no potentials can give the charges.
        ev.diagnostics.singular_pivot = first_sphere[order[column - 1]];
        return false;
    }
    std::vector<Real> phi = b;
    lu_solve(m, A.data(), order, phi.data());
    for (int k = 0; k < m; ++k) {
        ev.potential[static_cast<std::size_t>(floating[k])] = phi[k];
        for (int a = 0; a < n; ++a)
            ws.solution[a] += phi[k] * y(k, a);
    }
    return true;
}

} // namespace

namespace {

// The elastance matrix of the active spheres as it is built: the packed centres and radii, and for
// large systems its double copy and the products of the warm start's solutions.
struct ElastanceBuild {
    const SystemModel& model;
    const Sphere* spheres;
    const int* active;
    int n;
    int tiles;
    bool use_squares;
    Real* P;
    const Real *X, *Y, *Z, *R;
    double* upper_double;
    bool warm_products;
    const Real *warm_x, *warm_y;
    Real *right_x, *right_y, *left_x, *left_y;

    // Row `ta` of tiles: its tiles at and right of the diagonal, row by row, each mirrored left of
    // the diagonal while it is still in the cache. Overlapping pairs and aligned plates go to
    // `found`, the plates counted in `plates`.
    void row_of_tiles(int ta, std::vector<std::pair<int, int>>& found, int& plates) const {
        const int a0 = ta * BUILD_TILE, a1 = std::min(n, a0 + BUILD_TILE);
        if (warm_products)
            for (int a = a0; a < a1; ++a)
                right_x[a] = right_y[a] = 0;
        for (int tb = ta; tb < tiles; ++tb) {
            const int b0 = tb * BUILD_TILE, b1 = std::min(n, b0 + BUILD_TILE);
            for (int a = a0; a < a1; ++a) {
                Real* Pa = P + at(a, 0, n);
                const Real xa = X[a], ya = Y[a], za = Z[a], ra = R[a];
                if (tb == ta)
                    Pa[a] = 1 / ra;
                for (int b = std::max(b0, a + 1); b < b1; ++b) {
                    // As clamped_distance, from the packed centres.
                    const Real dx = xa - X[b], dy = ya - Y[b], dz = za - Z[b];
                    const Real d = std::max(std::sqrt(dx * dx + dy * dy + dz * dz), MIN_DISTANCE);
                    Real p;
                    if (use_squares && xa == X[b] && ya == Y[b] &&
                        aligned_squares(model, spheres[active[a]], spheres[active[b]])) {
                        const Real side = spheres[active[a]].square_side;
                        p = square_plate_constant(side, d) / side;
                        ++plates;
                        found.emplace_back(a, b);
                    } else {
                        p = 1 / d;
                        if (d < ra + R[b])
                            found.emplace_back(a, b);
                    }
                    Pa[b] = p;
                }
                if (upper_double)
                    for (int b = std::max(b0, a + 1); b < b1; ++b)
                        upper_double[at(a, b, n)] = static_cast<double>(Pa[b]);
                if (warm_products) {
                    Real sx = right_x[a], sy = right_y[a];
                    for (int b = std::max(b0, a + 1); b < b1; ++b) {
                        sx += Pa[b] * warm_x[b];
                        sy += Pa[b] * warm_y[b];
                    }
                    right_x[a] = sx;
                    right_y[a] = sy;
                }
            }
            // The mirror image left of the diagonal (long doubles moved as their 16 bytes).
            for (int b = b0; b < b1; ++b) {
                Real* row = P + at(b, 0, n);
                const int end = std::min(a1, b);
                for (int a = a0; a < end; ++a)
                    std::memcpy(row + a, P + at(a, b, n), sizeof(Real));
                if (warm_products) {
                    Real sx = 0, sy = 0;
                    for (int a = a0; a < end; ++a) {
                        sx += row[a] * warm_x[a];
                        sy += row[a] * warm_y[a];
                    }
                    left_x[at(ta, b, n)] = sx;
                    left_y[at(ta, b, n)] = sy;
                }
            }
        }
    }
};

// The spheres that take part in the matrix, in order, into ws.active (their number in
// ws.n_active, returned); the others are named in diag.uncharged.
int select_active_spheres(const SystemModel& model, EvaluationWorkspace& ws, ChargeDiagnostics& diag) {
    const int count = model.sphere_count;
    // Spheres without a positive, finite radius or position cannot take part: 1/r is undefined.
    int n = 0;
    for (int i = 1; i <= count; ++i) {
        const Sphere& s = model.spheres[i];
        ws.active_index[i] = -1;
        if (in_matrix(s)) {
            ws.active_index[i] = n;
            ws.active[n++] = i;
        } else {
            diag.uncharged.push_back(i);
        }
    }
    ws.n_active = n;

    return n;
}

// P of the n active spheres into the solver (with its double copy and the warm start's products
// for large systems), the special pairs into ws, the aligned plates into diag.
void build_elastance(const SystemModel& model, const Options& options, EvaluationWorkspace& ws,
                     ChargeDiagnostics& diag, int n) {
    Real* P = ws.solver.matrix(n);
    const bool use_squares = options[Option::UseSquares];
    int plate_count = 0;
    const Sphere* spheres = model.spheres.data();
    const int* active = ws.active.data();
    EvaluationScratch& scratch = evaluation_scratch();
    // Centres and radii of the active spheres in arrays of their own.
    std::vector<Real>& centres = scratch.centres;
    centres.resize(4 * static_cast<std::size_t>(n));
    Real *X = centres.data(), *Y = X + n, *Z = Y + n, *R = Z + n;
    for (int a = 0; a < n; ++a) {
        const Sphere& s = spheres[active[a]];
        X[a] = s.x;
        Y[a] = s.y;
        Z[a] = s.z;
        R[a] = s.r;
    }
    std::vector<std::pair<int, int>> special_pairs;

    // Large systems: P in double for the solver's residual updates and, when the solve starts
    // warm, P x and P y of the solutions it starts from (its first residual), made on the way.
    const Real *warm_x = nullptr, *warm_y = nullptr;
    const bool warm_products = ws.solver.warm_start_solutions(n, ws.start, warm_x, warm_y);
    double* upper_double = n >= WARM_START_MIN_SIZE ? ws.solver.double_matrix(n) : nullptr;
    const int tiles = (n + BUILD_TILE - 1) / BUILD_TILE;
    // Row sums: right of the diagonal per row; left of it per row and per tile of columns.
    std::vector<Real>& sums = scratch.row_sums;
    Real *right_x = nullptr, *right_y = nullptr, *left_x = nullptr, *left_y = nullptr;
    if (warm_products) {
        const auto size = static_cast<std::size_t>(n);
        sums.resize(2 * size + 2 * size * static_cast<std::size_t>(tiles));
        right_x = sums.data();
        right_y = right_x + size;
        left_x = right_y + size;
        left_y = left_x + size * static_cast<std::size_t>(tiles);
    }

    const ElastanceBuild build{model,  spheres, active,  n,      tiles,        use_squares,   P,
                               X,      Y,       Z,       R,      upper_double, warm_products, warm_x,
                               warm_y, right_x, right_y, left_x, left_y};
    // Tiles of BUILD_TILE x BUILD_TILE at and right of the diagonal, a row of tiles a thread:
    // each tile is computed row by row, then mirrored left of the diagonal while it is still in
    // the cache. Every entry has the same arithmetic whatever the tiling; the plate counter and
    // constant are gathered afterwards in row order, every sum runs in a fixed order.
    const bool parallel = n >= PARALLEL_MIN_SPHERES;
    run_parallel(parallel, [&] {
        std::vector<std::pair<int, int>> found;
        int plates = 0;
#pragma omp for schedule(dynamic, 1) nowait
        for (int ta = 0; ta < tiles; ++ta)
            build.row_of_tiles(ta, found, plates);
        auto gather = [&] {
            special_pairs.insert(special_pairs.end(), found.begin(), found.end());
            plate_count += plates;
        };
        if (parallel) {
#pragma omp critical(ambrel_special_pairs)
            gather();
        } else {
            gather();
        }
    });
    if (upper_double) {
        double* diagonal = ws.solver.double_diagonal(n);
        for (int a = 0; a < n; ++a)
            diagonal[a] = static_cast<double>(P[at(a, a, n)]);
        ws.solver.set_double_matrix();
    }
    if (warm_products) {
        Real* product = ws.solver.warm_products(n);
        for (int b = 0; b < n; ++b) {
            Real sx = 0, sy = 0;
            for (int ta = 0; ta <= b / BUILD_TILE; ++ta) {
                sx += left_x[at(ta, b, n)];
                sy += left_y[at(ta, b, n)];
            }
            const Real diagonal = P[at(b, b, n)];
            product[b] = sx + diagonal * warm_x[b] + right_x[b];
            product[n + b] = sy + diagonal * warm_y[b] + right_y[b];
        }
        ws.solver.set_warm_products();
    }
    collect_special_pairs(special_pairs, n, ws.special_start, ws.special);
    diag.plate_pairs = plate_count;
    if (plate_count > 0) {
        // The constant of the last pair in the order j ascending, k ascending.
        for (int a = n - 1; a >= 0 && diag.last_plate_constant == 0; --a) {
            const Sphere& sj = spheres[active[a]];
            for (int b = n - 1; b > a; --b) {
                const Sphere& sk = spheres[active[b]];
                if (aligned_squares(model, sj, sk)) {
                    diag.last_plate_constant =
                        square_plate_constant(sj.square_side, clamped_distance(sj, sk));
                    break;
                }
            }
        }
    }
}

// The charges of the active spheres for the conductors' voltages (isolated conductors floating),
// the total capacitance and the conductors' potentials.
void solve_charges(const SystemModel& model, EvaluationWorkspace& ws, Evaluation& ev, int n) {
    ChargeDiagnostics& diag = ev.diagnostics;
    const Sphere* spheres = model.spheres.data();
    const int* active = ws.active.data();
    // Spheres of isolated conductors start at 0 V; their potentials are added below.
    for (int a = 0; a < n; ++a) {
        const Sphere& s = spheres[active[a]];
        const bool held = s.conductor >= 1 && s.conductor <= model.conductor_count &&
                          !model.conductors[s.conductor].isolated;
        ws.voltages[a] = held ? model.conductors[s.conductor].V : 0;
    }
    const SolveOutcome outcome =
        ws.solver.solve(n, ws.voltages.data(), ws.solution.data(), ws.requested_tier, ws.start);
    ws.tier_used = outcome.tier_used;
    ws.last_solve_warm = outcome.warm;
    ws.last_refinement_steps = outcome.refinement_steps;
    if (outcome.singular_pivot > 0) {
        // The pivot is named by its sphere number (the same as the matrix line when every sphere
        // takes part). The charges of a singular system mean nothing: they and the capacitance
        // are set to 0.
        diag.singular_pivot = ws.active[outcome.singular_pivot - 1];
        for (int a = 0; a < n; ++a)
            ws.solution[a] = 0;
        ev.total_capacitance = 0;
    } else {
        ev.total_capacitance = outcome.total * FOUR_PI_E0;
        ws.matrix_built = true;
    }
    ev.potential.assign(static_cast<std::size_t>(model.conductor_count) + 1, 0);
    for (int c = 1; c <= model.conductor_count; ++c)
        if (!model.conductors[c].isolated)
            ev.potential[static_cast<std::size_t>(c)] = model.conductors[c].V;
    if (outcome.singular_pivot == 0 && model.has_isolated_conductors() &&
        !float_isolated_conductors(model, ws, ev)) {
        for (int a = 0; a < n; ++a)
            ws.solution[a] = 0;
        ev.total_capacitance = 0;
        ws.matrix_built = false;
    }
}

// Q of every sphere (0 for those not in the matrix) and the charge-density extremes.
void store_charges(const SystemModel& model, const EvaluationWorkspace& ws, Evaluation& ev, int n) {
    const int count = model.sphere_count;
    for (int i = 1; i <= count; ++i)
        ev.Q[i] = 0;
    for (int a = 0; a < n; ++a)
        ev.Q[ws.active[a]] = ws.solution[a] * FOUR_PI_E0;
    ev.density_max = -1e9L;
    ev.density_min = 1e9L;
    for (int a = 0; a < n; ++a) {
        const int i = ws.active[a];
        const Sphere& s = model.spheres[i];
        const Real rho = ev.Q[i] / (s.r * s.r);
        if (ev.density_max < rho)
            ev.density_max = rho;
        if (ev.density_min > rho)
            ev.density_min = rho;
    }
    if (ev.density_min == 0)
        ev.density_min = -1e-9L;
    if (ev.density_max == 0)
        ev.density_max = 1e-9L;
}

} // namespace

void compute_charges(const SystemModel& model, const Options& options, EvaluationWorkspace& ws,
                     Evaluation& ev) {
    ws.capacitance_valid = false;
    ws.matrix_built = false;
    ev.diagnostics = ChargeDiagnostics{};
    const int count = model.sphere_count;
    ev.reserve(count);
    if (ws.active_index.size() < static_cast<std::size_t>(count) + 1) {
        ws.active.resize(static_cast<std::size_t>(count) + 1);
        ws.active_index.resize(static_cast<std::size_t>(count) + 1, -1);
        ws.voltages.resize(static_cast<std::size_t>(count) + 1);
        ws.solution.resize(static_cast<std::size_t>(count) + 1);
    }
    const int n = select_active_spheres(model, ws, ev.diagnostics);
    build_elastance(model, options, ws, ev.diagnostics, n);
    solve_charges(model, ws, ev, n);
    store_charges(model, ws, ev, n);
}

namespace {

// Large systems whose elastance matrix was just built for these positions: 1/d of every pair
// that is not a pair of plates is its entry of P, so a pair takes multiplications only,
//   F_i = Q_i sum_j Q_j P_ij^3 (r_i - r_j),
// instead of a square root and four divisions (the same forces but for the last bits), in one
// pass over the row. The pairs the build found overlapping and the pairs of plates are added
// afterwards by the full formula. Each sphere's sums run in ascending order: the same bits for
// any number of threads.
// Always parallel: it serves large systems only.
static_assert(LARGE_SYSTEM_SPHERES >= PARALLEL_MIN_SPHERES);

void compute_forces_from_matrix(const SystemModel& model, Evaluation& ev, const EvaluationWorkspace& ws) {
    const int n = model.sphere_count;
    const Sphere* spheres = model.spheres.data();
    const Real* Q = ev.Q.data();
    const Real* P = ws.solver.matrix_data();
    const int* special_start = ws.special_start.data();
    const int* special = ws.special.data();
    Real *FX = ev.fx.data(), *FY = ev.fy.data(), *FZ = ev.fz.data(), *FA = ev.f_abs.data();
    // Positions in arrays of their own, 1-based.
    std::vector<Real>& positions = evaluation_scratch().positions;
    positions.resize(3 * (static_cast<std::size_t>(n) + 1));
    Real *X = positions.data(), *Y = X + n + 1, *Z = Y + n + 1;
    for (int i = 1; i <= n; ++i) {
        X[i] = spheres[i].x;
        Y[i] = spheres[i].y;
        Z[i] = spheres[i].z;
    }
#pragma omp parallel for schedule(static)
    for (int i = 1; i <= n; ++i) {
        const Real* row = P + static_cast<std::size_t>(i - 1) * n - 1; // row[j], j 1-based
        const Real xi = X[i], yi = Y[i], zi = Z[i];
        Real fx = 0, fy = 0, fz = 0;
        // The ordinary pairs lie between the special ones. The sphere's own term is an exact 0.
        auto sum_ordinary = [&](int from, int to) {
            for (int j = from; j < to; ++j) {
                const Real p = row[j];
                const Real t = Q[j] * (p * p * p);
                fx += t * (xi - X[j]);
                fy += t * (yi - Y[j]);
                fz += t * (zi - Z[j]);
            }
        };
        const int* first = special + special_start[i - 1];
        const int* last = special + special_start[i];
        int from = 1;
        for (const int* s = first; s != last; ++s) {
            sum_ordinary(from, *s + 1);
            from = *s + 2;
        }
        sum_ordinary(from, n + 1);
        fx *= Q[i];
        fy *= Q[i];
        fz *= Q[i];
        const Real ri = spheres[i].r;
        for (const int* s = first; s != last; ++s) {
            const int j = *s + 1;
            const PairTerm t = pair_term(xi - X[j], yi - Y[j], zi - Z[j], ri + spheres[j].r, Q[i] * Q[j]);
            fx += t.x;
            fy += t.y;
            fz += t.z;
        }
        FX[i] = fx / FOUR_PI_E0;
        FY[i] = fy / FOUR_PI_E0;
        FZ[i] = fz / FOUR_PI_E0 - spheres[i].m * GRAVITY;
        FA[i] = std::sqrt(FX[i] * FX[i] + FY[i] * FY[i] + FZ[i] * FZ[i]);
    }
}

} // namespace

void compute_forces(const SystemModel& model, Evaluation& ev, const EvaluationWorkspace* ws) {
    const int n = model.sphere_count;
    ev.reserve(n);
    if (ws && n >= LARGE_SYSTEM_SPHERES && ws->matrix_built && ws->n_active == n) {
        compute_forces_from_matrix(model, ev, *ws);
        return;
    }
    const Sphere* spheres = model.spheres.data();
    const Real* Q = ev.Q.data();
    Real *FX = ev.fx.data(), *FY = ev.fy.data(), *FZ = ev.fz.data(), *FA = ev.f_abs.data();

    // The force of sphere j on sphere i is exactly minus that of i on j (the same products of
    // negated differences), so each pair is computed once. Each sphere's sum still runs over the
    // others in ascending order, whatever the number of threads: the rows are taken in bands of
    // FORCE_BAND; a band's pairs with every later sphere are computed first, then every sphere
    // adds what the band contributes to it (a sphere of the band its pairs with the band's
    // earlier spheres and then with all later spheres; a later sphere its pairs with the band).
    constexpr int FORCE_BAND = 8;
    const auto width = static_cast<std::size_t>(n);
    Real* acc = evaluation_scratch().forces.ensure(3 * (width + 1) + 3 * FORCE_BAND * width);
    Real *ax = acc, *ay = ax + width + 1, *az = ay + width + 1;
    Real *tx = az + width + 1, *ty = tx + FORCE_BAND * width, *tz = ty + FORCE_BAND * width;
    // The pair term of rows i < j of the present band, at [(i - first) * n + (j - 1)].
    auto slot = [&](int i, int first, int j) {
        return static_cast<std::size_t>(i - first) * width + static_cast<std::size_t>(j - 1);
    };

    run_parallel(n >= PARALLEL_MIN_SPHERES, [&] {
#pragma omp for schedule(static)
        for (int i = 1; i <= n; ++i)
            ax[i] = ay[i] = az[i] = 0;
        for (int first = 1; first <= n; first += FORCE_BAND) {
            const int last = std::min(n, first + FORCE_BAND - 1);
#pragma omp for schedule(dynamic, 4)
            for (int i = first; i <= last; ++i) {
                const Sphere& si = spheres[i];
                for (int j = i + 1; j <= n; ++j) {
                    const Sphere& sj = spheres[j];
                    const PairTerm t =
                        pair_term(si.x - sj.x, si.y - sj.y, si.z - sj.z, si.r + sj.r, Q[i] * Q[j]);
                    const std::size_t k = slot(i, first, j);
                    tx[k] = t.x;
                    ty[k] = t.y;
                    tz[k] = t.z;
                }
            }
#pragma omp for schedule(static)
            for (int r = first; r <= n; ++r) {
                Real fx = ax[r], fy = ay[r], fz = az[r];
                const int before = std::min(r - 1, last);
                for (int j = first; j <= before; ++j) {
                    const std::size_t k = slot(j, first, r);
                    fx -= tx[k];
                    fy -= ty[k];
                    fz -= tz[k];
                }
                if (r <= last) {
                    for (int j = r + 1; j <= n; ++j) {
                        const std::size_t k = slot(r, first, j);
                        fx += tx[k];
                        fy += ty[k];
                        fz += tz[k];
                    }
                }
                ax[r] = fx;
                ay[r] = fy;
                az[r] = fz;
            }
        }
#pragma omp for schedule(static)
        for (int i = 1; i <= n; ++i) {
            FX[i] = ax[i] / FOUR_PI_E0;
            FY[i] = ay[i] / FOUR_PI_E0;
            FZ[i] = az[i] / FOUR_PI_E0 - spheres[i].m * GRAVITY;
            FA[i] = std::sqrt(FX[i] * FX[i] + FY[i] * FY[i] + FZ[i] * FZ[i]);
        }
    });
}

void compute_turn_geometry(const SystemModel& model, const Options& options, TurnGeometry& geometry,
                           int object) {
    const bool correct = options[Option::CorrectRotationForces];
    if (geometry.size() < static_cast<std::size_t>(model.sphere_count) + 1)
        geometry.resize(static_cast<std::size_t>(model.sphere_count) + 1);
    const int first = object == 0 ? 1 : model.objects[object].first;
    const int last = object == 0 ? model.sphere_count : model.objects[object].last();
    for (int i = first; i <= last; ++i) {
        const Sphere& s = model.spheres[i];
        const Object& o = model.objects[s.object];
        SphereTurn& g = geometry[i];
        if (o.L == 0)
            continue;
        if (!correct) {
            if (o.last() != i)
                continue;
            g.sin_ax = std::sin(o.Ax);
            g.cos_ax = std::cos(o.Ax);
            g.cos_az = std::cos(o.Az);
            g.sin_az = std::sin(o.Az);
            continue;
        }
        // The sphere's arms about the object's suspension point.
        const Real hx = s.x - o.ref_x0, hy = s.y - o.ref_y0;
        const Real horizontal = std::sqrt(hx * hx + hy * hy); // distance from the suspension's vertical
        g.b = horizontal;
        if (std::fabs(g.b) < MIN_HORIZONTAL_RADIUS)
            g.b = MIN_HORIZONTAL_RADIUS;
        const Real alpha = std::atan2(hy, hx);
        g.sin_alpha = std::sin(alpha);
        g.cos_alpha = std::cos(alpha);
        // The sphere in the string's vertical plane: w across, dz down from the suspension point,
        // beta the angle of that arm from the vertical. Its torque arm is the whole distance
        // in the plane, sqrt(w^2 + dz^2) (= w / sin beta, without the cosecant's limit), and a
        // sphere right below the suspension point (w = 0) has no arm across: no made-up angle.
        const Real w = horizontal * std::cos(alpha - o.Ax);
        const Real dz = o.ref_z0 - s.z;
        const Real beta = std::atan2(w, dz);
        g.cos_ax = std::cos(o.Ax);
        g.sin_ax = std::sin(o.Ax);
        g.cos_beta = std::cos(beta);
        g.sin_beta = std::sin(beta);
        g.arm = std::sqrt(w * w + dz * dz);
        g.cosec = limited_cosec(o.Az);
        g.sin_az = std::sin(o.Az);
        g.plain_ring = std::fabs(g.sin_az) > LIMITED_COSEC_SINE;
        if (!g.plain_ring)
            g.along = (s.x - o.ref_x0) * g.sin_az * g.cos_ax + (s.y - o.ref_y0) * g.sin_az * g.sin_ax -
                      (s.z - o.ref_z0) * std::cos(o.Az);
    }
}

void rotational_forces_from(const SystemModel& model, const Options& options, const TurnGeometry& geometry,
                            Evaluation& ev) {
    const bool correct = options[Option::CorrectRotationForces];
    ev.reserve(model.sphere_count);
    for (int i = 1; i <= model.sphere_count; ++i) {
        const Object& o = model.objects[model.spheres[i].object];
        if (o.L == 0) {
            // A fixed sphere does not turn: nothing of an earlier system stays behind.
            ev.frx[i] = ev.frz[i] = ev.ring[i] = 0;
            continue;
        }
        const SphereTurn& g = geometry[i];
        const int n = o.count;
        const bool last = o.last() == i;
        if (!correct) {
            if (!last)
                continue;
            gather_object(ev, i, n, false);
            ev.frx[i] = -g.sin_ax * ev.fx[i] + g.cos_ax * ev.fy[i];
            ev.frz[i] = (g.cos_ax * ev.fx[i] + g.sin_ax * ev.fy[i]) * g.cos_az + g.sin_az * ev.fz[i];
            ev.ring[i] = ev.frx[i]; // the total force across the string's plane: regular as it is
            share_over_object(ev, i, n);
            continue;
        }
        // Torques about the object's suspension point.
        const Real T = -g.sin_alpha * ev.fx[i] + g.cos_alpha * ev.fy[i]; // perpendicular to b
        const Real P = g.cos_ax * ev.fx[i] + g.sin_ax * ev.fy[i];
        const Real V = g.cos_beta * P + g.sin_beta * ev.fz[i];
        ev.frx[i] = g.cosec * (T * g.b / o.L);
        ev.frz[i] = V * g.arm / o.L;
        // Where the cosecant is not limited the ring force is frx sin Az itself. Near the vertical
        // a sphere on the string's line (b = d sin Az, d its distance along the string) gives
        // its force across the string's plane times d / L, the limit of T b / (L sin Az).
        if (g.plain_ring)
            ev.ring[i] = T * g.b / (o.L * g.sin_az);
        else
            ev.ring[i] = (-g.sin_ax * ev.fx[i] + g.cos_ax * ev.fy[i]) * g.along / o.L;
        if (o.composite() && last) {
            gather_object(ev, i, n, true);
            share_over_object(ev, i, n);
        }
    }
    ev.forces_valid = true;
    state_stamp(model, ev.state);
}

void compute_rotational_forces(const SystemModel& model, const Options& options, Evaluation& ev) {
    TurnGeometry& geometry = evaluation_scratch().turn;
    compute_turn_geometry(model, options, geometry);
    rotational_forces_from(model, options, geometry, ev);
}

void evaluate(SystemModel& model, const Options& options, EvaluationWorkspace& ws, Evaluation& ev,
              const EvaluationHooks& hooks) {
    if (hooks.place)
        compute_positions(model, options);
    if (hooks.after_positions)
        hooks.after_positions();
    compute_charges(model, options, ws, ev);
    if (hooks.after_charges)
        hooks.after_charges();
    compute_forces(model, ev, &ws);
    if (hooks.after_forces)
        hooks.after_forces();
    compute_rotational_forces(model, options, ev);
}

Real surface_field(const SystemModel& model, const Evaluation& ev, int i) {
    const Sphere& s = model.spheres[i];
    if (!(s.size > 0))
        return 0; // no surface: nothing to report
    return model.object_of(i).count * ev.Q[i] / (FOUR_PI_E0 * s.size * s.size);
}

Real max_rotational_force(const SystemModel& model, const Evaluation& ev) {
    Real largest = 0;
    for (int i = 1; i <= model.sphere_count; ++i) {
        if (model.object_of(i).L == 0)
            continue;
        largest = std::max(largest, std::fabs(ev.frx[i]));
        largest = std::max(largest, std::fabs(ev.frz[i]));
    }
    return largest;
}

Real max_object_rotational_force(const SystemModel& model, const Evaluation& ev) {
    Real largest = 0;
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        if (o.L == 0)
            continue;
        // Each sphere of a composite object holds 1/n of the object's rotational force.
        const int i = o.last();
        const Real n = o.composite() ? static_cast<Real>(o.count) : 1;
        largest = std::max(
            {largest, n * std::fabs(ev.frx[i]), n * std::fabs(ev.frz[i]), n * std::fabs(ev.ring[i])});
    }
    return largest;
}

Real max_rest_force(const SystemModel& model, const Evaluation& ev) {
    Real largest = 0;
    for (int i = 1; i <= model.sphere_count; ++i)
        if (model.object_of(i).L != 0)
            largest = std::max({largest, std::fabs(ev.frx[i]), std::fabs(ev.frz[i]), std::fabs(ev.ring[i])});
    return largest;
}

bool form_capacitance_matrix(EvaluationWorkspace& ws) {
    if (ws.capacitance_valid)
        return true;
    if (!ws.matrix_built)
        return false;
    const int n = ws.n_active;
    ws.capacitance.resize(static_cast<std::size_t>(n) * n);
    if (ws.solver.inverse(n, ws.capacitance.data()) != 0)
        return false;
    ws.capacitance_valid = true;
    return true;
}

Real capacitance_entry(const EvaluationWorkspace& ws, int j, int l) {
    const int a = ws.active_index[j], b = ws.active_index[l];
    if (a < 0 || b < 0)
        return 0;
    return ws.capacitance[at(a, b, ws.n_active)];
}

} // namespace ambrel
