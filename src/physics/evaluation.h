// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// One evaluation of a system model: positions from the string angles, the elastance matrix P of
// all spheres and its solution for the conductor voltages, the charges, the forces and the
// rotational forces that turn the strings. Functions of a const model and the options into an
// Evaluation (the results) and an EvaluationWorkspace (the solver's storage); none writes text:
// what a report must say about the computation is in the diagnostics.
//
// Units: P is in units of 1/(4 pi e0) (1/r on the diagonal, 1/d between spheres, the potential of
// a uniformly charged square between vertically aligned flat squares); Q = 4 pi e0 * P^-1 V (C);
// the total capacitance is 4 pi e0 * 1^T P^-1 1 (F);
//   F_i = sum_j Q_i Q_j (r_i - r_j) / (4 pi e0 |r_i - r_j|^3) - m_i g z^   (N),
// overlapping spheres pushing apart with a fixed contact force 1e-12 / (4 pi e0) N instead.
#pragma once

#include "model/options.h"
#include "model/system_model.h"
#include "physics/dense_solver.h"

#include <cmath>
#include <functional>
#include <vector>

namespace ambrel {

// What the charge computation has to tell beside its numbers.
struct ChargeDiagnostics {
    // Spheres without a positive, finite radius or position: left out of the matrix, uncharged.
    std::vector<int> uncharged;
    // Pairs of aligned flat squares taken as square plates, and the constant of the last pair.
    int plate_pairs = 0;
    Real last_plate_constant = 0;
    // Sphere number of the pivot that made P singular, 0 when none.
    int singular_pivot = 0;
};

// The results of one evaluation, indexed by sphere number (1-based, slot 0 unused).
struct Evaluation {
    std::vector<Real> Q;          // charge (C)
    std::vector<Real> fx, fy, fz; // total force, electric plus weight (N)
    std::vector<Real> f_abs;      // its magnitude
    std::vector<Real> frx, frz;   // rotational forces on Ax and Az; a composite's spheres hold
                                  // 1/n of its totals each
    // The force along the ring of the string's end that turns Ax in the same law, without the
    // cosecant and so regular where the string hangs straight down: frx sin Az where the
    // cosecant is not limited (the torque about the vertical over L sin Az with "Correct
    // rotation forces", each sphere's force across the string's plane times its distance along
    // the string over L near the vertical); shared over a composite as frx is.
    std::vector<Real> ring;
    Real total_capacitance = 0; // F
    Real density_max = 1e-9L;   // extremes of Q/r^2 over the charged spheres
    Real density_min = -1e-9L;
    bool forces_valid = false; // the forces belong to the present charges
    ChargeDiagnostics diagnostics;
    // Potential of each conductor (V, 1-based): its voltage when held, the potential the
    // solution found when isolated.
    std::vector<Real> potential;

    // The state these results were computed for (state_stamp of the model when its rotational
    // forces were computed); empty when cleared.
    std::vector<Real> state;
    // Whether the results belong to the model as it stands: the same reading, angles, voltages and
    // charges. A command that starts from them (the Jacobian) computes them again otherwise.
    bool belongs_to(const SystemModel& model) const;

    Real potential_of(int conductor) const {
        return conductor >= 1 && static_cast<std::size_t>(conductor) < potential.size() ? potential[conductor]
                                                                                        : 0;
    }

    // Makes room for spheres 1..n (never shrinks).
    void reserve(int n);
    // No charges computed: every charge, force and rotational force 0, the density extremes
    // neutral, the forces not valid. Nothing of an earlier system is left to act.
    void clear(int n);
};

// The solver's storage and the last factorisation, reused from one evaluation to the next. The
// other buffers an evaluation uses are its thread's EvaluationScratch (below).
struct EvaluationWorkspace {
    DenseSymmetricSolver solver{MAX_SPHERES};
    std::vector<int> active;       // spheres in the matrix, in table order
    std::vector<int> active_index; // sphere number -> index in `active`, -1 when left out
    std::vector<Real> voltages;    // per active sphere
    std::vector<Real> solution;    // P^-1 V per active sphere
    std::vector<Real> capacitance; // full P^-1, formed on demand
    // Pairs of the last build whose force needs the full formula (overlapping spheres, aligned
    // plates): for active row a, the active indices special[special_start[a] .. special_start[a+1])
    // in ascending order, both ways round.
    std::vector<int> special_start, special;
    int n_active = 0;
    bool matrix_built = false;      // the last build solved the present system
    bool capacitance_valid = false; // `capacitance` belongs to the last build
    SolverTier tier_used = SolverTier::Fast;
    SolverTier requested_tier = SolverTier::Fast;
    // How the fast tier starts: a relaxation warm-starts each step from the one before, the
    // Jacobian each perturbation from the base state; every other computation starts fresh.
    SolveStart start = SolveStart::Fresh;
    bool last_solve_warm = false;  // the last solve needed no factorisation
    int last_refinement_steps = 0; // and took this many residual evaluations

    // The matrix no longer belongs to the present system.
    void forget() { matrix_built = capacitance_valid = false; }
};

// Sets how the workspace's solves start for its lifetime, then gives back the earlier way.
class WarmStart {
  public:
    WarmStart(EvaluationWorkspace& ws, SolveStart start) : ws_(ws), saved_(ws.start) { ws.start = start; }
    ~WarmStart() { ws_.start = saved_; }
    WarmStart(const WarmStart&) = delete;
    WarmStart& operator=(const WarmStart&) = delete;

  private:
    EvaluationWorkspace& ws_;
    SolveStart saved_;
};

// Spheres closer than this are taken at this distance (m).
inline constexpr Real MIN_PAIR_DISTANCE = 1e-6L;
inline constexpr Real MIN_SQUARED_PAIR_DISTANCE = 1e-12L; // m^2
// C^2/m^2: replaces Q_i Q_j / d^2 in the force between overlapping spheres. A fixed push, not a
// spring: it parts spheres that overlap whatever their charges (unlike charges would otherwise pull
// harder the deeper they overlap), and being bounded it keeps the relaxation's steps, which are
// proportional to the forces, bounded too. Over 4 pi e0 it is 8.99 mN, about the weight of 0.9 g.
inline constexpr Real CONTACT_FORCE_TERM = 1e-12L;

// A sphere takes part in the elastance matrix (and so in the charges) only with a positive,
// finite radius and a finite position: 1/r is undefined otherwise.
inline bool in_matrix(const Sphere& s) {
    return s.r > 0 && std::isfinite(s.r) && std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z);
}

// The force of sphere b on sphere a times 4 pi e0 (C^2/m^2 along the unit vector from b to a),
// from the difference of their centres a - b, the sum of their radii and the product of their
// charges: q_a q_b / d^2, d taken at least MIN_PAIR_DISTANCE, or CONTACT_FORCE_TERM for spheres
// that overlap (d below the sum of the radii; exactly touching is no overlap). Every path sums
// this one term: the full evaluation, its large-system form and the perturbed evaluations.
struct PairTerm {
    Real x, y, z;
};
inline PairTerm pair_term(Real dx, Real dy, Real dz, Real radii, Real qq) {
    Real D = dx * dx + dy * dy + dz * dz;
    if (D < MIN_SQUARED_PAIR_DISTANCE)
        D = MIN_SQUARED_PAIR_DISTANCE;
    const Real d = std::sqrt(D);
    const Real g = d < radii ? CONTACT_FORCE_TERM : qq / D;
    return {g * dx / d, g * dy / d, g * dz / d};
}

// Distance between the centres, at least MIN_PAIR_DISTANCE: 1/d is the mutual elastance of two
// spheres that are not a pair of aligned plates.
Real clamped_distance(const Sphere& a, const Sphere& b);
// Whether any pair of spheres may be taken as aligned square plates ("use squares" and a flat
// object).
bool plates_possible(const SystemModel& model, const Options& options);

// 1/sin a, limited to +-1000 where |sin a| <= LIMITED_COSEC_SINE (the sign follows the angle).
inline constexpr Real LIMITED_COSEC_SINE = 0.001L;
Real limited_cosec(Real a);

// Step 1: every sphere's centre from its object's suspension point, L, Ax and Az; with "Rotate
// objects" the suspension points of composite objects turn rigidly with the string.
void compute_positions(SystemModel& model, const Options& options);
// The same for the spheres of one object (the others keep theirs).
void compute_object_positions(SystemModel& model, const Options& options, int object);
// Steps 2 to 4: the elastance matrix, its solution, the total capacitance, the charges and the
// charge-density extremes. A singular P leaves every charge and the capacitance 0.
void compute_charges(const SystemModel& model, const Options& options, EvaluationWorkspace& ws,
                     Evaluation& ev);
// Total force (electric plus weight) on every sphere. Given the workspace whose matrix was just
// built for these positions, systems of LARGE_SYSTEM_SPHERES or more take 1/d from the matrix
// (the same forces but for the last bits); smaller systems keep the arithmetic of earlier versions
// to the last bit.
inline constexpr int LARGE_SYSTEM_SPHERES = 200;
void compute_forces(const SystemModel& model, Evaluation& ev, const EvaluationWorkspace* ws = nullptr);
// frx and frz of every movable sphere; composite objects combined (per "Correct rotation forces"
// as torques about the suspension point, or simply summed), each sphere holding 1/n of the
// object's totals. Sets forces_valid.
void compute_rotational_forces(const SystemModel& model, const Options& options, Evaluation& ev);

// What the rotational forces take from the positions and angles alone, the forces entering them
// linearly: each sphere's sines, cosines and arms (with "Correct rotation forces"; without, the
// last sphere of each object holds its object's). Computed once for a state, they serve every
// perturbed evaluation of the Jacobian for the objects it does not move: the same numbers, without
// their trigonometry.
struct SphereTurn {
    Real sin_alpha = 0, cos_alpha = 0, b = 0; // direction and distance from the suspension's vertical
    Real sin_ax = 0, cos_ax = 0, sin_az = 0, cos_az = 0;
    Real sin_beta = 0, cos_beta = 0, arm = 0; // the arm in the string's vertical plane
    Real cosec = 0;                           // limited_cosec(Az)
    Real along = 0;                           // distance along the string, where !plain_ring
    bool plain_ring = false;                  // the ring force is frx sin Az
};
using TurnGeometry = std::vector<SphereTurn>; // 1-based, as the spheres

// The buffers the steps of an evaluation fill and read within one call, kept from one call to the
// next so that the thousands of evaluations of a relaxation allocate nothing. There is one for
// each thread (evaluation.cpp), not one for each workspace: several threads evaluate at once (each
// thread of the parallel Jacobian's team runs perturbed evaluations, which compute the rotational
// forces in full where the base's geometry does not serve; a window's command runs on a thread of
// its own), and some steps run without a workspace or with a const one (compute_forces,
// compute_rotational_forces). Each step has buffers of its own: none overwrites another's.
struct EvaluationScratch {
    std::vector<Real> centres;   // compute_charges: X, Y, Z and R of the active spheres
    std::vector<Real> row_sums;  // compute_charges: P x and P y of a warm start, by rows and tiles
    std::vector<Real> positions; // compute_forces from the matrix: X, Y and Z, 1-based
    GrowingBuffer<Real> forces;  // compute_forces pair by pair: the sums and a band's pair terms
    TurnGeometry turn;           // compute_rotational_forces: every sphere's geometry
};

// The geometry of every sphere (object 0) or of one object's, into `geometry` (grown to fit).
void compute_turn_geometry(const SystemModel& model, const Options& options, TurnGeometry& geometry,
                           int object = 0);
// compute_rotational_forces from a geometry of the model as it stands.
void rotational_forces_from(const SystemModel& model, const Options& options, const TurnGeometry& geometry,
                            Evaluation& ev);
// What the host of an evaluation does between its steps.
struct EvaluationHooks {
    bool place = true;                     // the positions from the angles (else they are kept)
    std::function<void()> after_positions; // the positions are placed (the charges are the last ones)
    std::function<void()> after_charges;   // the charges and their diagnostics are in
    // Each sphere's own force is in: the rotational forces that follow share the forces of a
    // composite object over its spheres.
    std::function<void()> after_forces;
};
// The one pipeline of an evaluation: positions, charges, forces and rotational forces, with the
// hooks between them.
void evaluate(SystemModel& model, const Options& options, EvaluationWorkspace& ws, Evaluation& ev,
              const EvaluationHooks& hooks = {});

// The field at the surface of a ball of the object's size carrying the object's charge (V/m).
Real surface_field(const SystemModel& model, const Evaluation& ev, int i);
// The largest |frx| or |frz| over the movable spheres (per-sphere shares for composites).
Real max_rotational_force(const SystemModel& model, const Evaluation& ev);
// The largest |Frx|, |Frz| or ring force of a hanging object, whole: that of its sphere times its
// spheres for a composite object (as the rotational-force report writes it), in N. Find
// equilibrium's measure: a plate of 100 spheres is at rest when the plate's force, not a hundredth
// of it, is within the tolerance; and a string hanging straight down is not at rest while a force
// across its plane acts (frx vanishes there with the arm of that force; the ring force does not).
Real max_object_rotational_force(const SystemModel& model, const Evaluation& ev);
// Calculate's rest test: the largest |frx|, |frz| or ring force over the movable spheres
// (per-sphere shares, as max_rotational_force, which its Error= lines print).
Real max_rest_force(const SystemModel& model, const Evaluation& ev);

// The capacitance matrix between spheres (in units of 4 pi e0 metres), formed from the last
// build when first asked for. False when the last build had no valid matrix.
bool form_capacitance_matrix(EvaluationWorkspace& ws);
// C[j][l] for sphere numbers j, l after form_capacitance_matrix succeeded; 0 for spheres left
// out of the matrix.
Real capacitance_entry(const EvaluationWorkspace& ws, int j, int l);

} // namespace ambrel
