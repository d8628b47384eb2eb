// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The stability of an equilibrium, judged in coordinates that stay smooth where a string hangs
// straight down, and an error for every eigenvalue.
//
// The update law moves each string's end along the tangential force: dAz = K frz and
// dAx = K frx / sin Az (K = dt / (2 m L)), the motion of a point on the sphere of radius L. Ax is
// a singular coordinate of that motion where the string hangs straight down (the update law
// limits the cosecant there, and the matrix of its differences then holds the limit, not the
// physics). The analysis follows the same motion in charts that are smooth there:
// - an object that does not turn (a single ball, or any object with "Rotate objects" off): the
//   horizontal displacement of its string's end in string lengths, X along the direction Ax of the
//   analysed state and Y across it (Ax + 90 degrees); X moves at K (frz cos Az cos(Ax - Ax0) - R
//   sin(Ax - Ax0)), Y at K (frz cos Az sin(Ax - Ax0) + R cos(Ax - Ax0)), R the ring force of the
//   same law (Evaluation::ring: frx sin Az without the cosecant's limit, regular at the vertical).
//   A string nearer the horizontal than the vertical, where X and Y are singular, keeps Ax and
//   Az, with Ax moving at K R / sin Az.
// - an object that turns (a composite with "Rotate objects" on): Ax and Az themselves, a smooth
//   chart of its positions, since its Ax also turns it about the vertical, a real motion where
//   the string hangs straight down. Ax moves at K G / rho^2, G the torque about the vertical
//   through the suspension point over L ("Correct rotation forces"; else L sin Az times the ring
//   force at the object's centre) and rho^2 the mean square distance of its spheres from that
//   line over L^2, weighted by their masses: its moment of inertia about the line instead of that
//   of a point at the string's end (L^2 sin^2 Az, the same for a ball).
// At an equilibrium the Jacobians of one motion in two charts are similar, so where the update
// law is regular the eigenvalues are those of its matrix; an object that turns has the same
// energy and another positive metric, so the same verdict.
//
// The slots follow the printed matrix: 2o - 1 for Y (or Ax), 2o for X (or Az) of object o.
#pragma once

#include "model/options.h"
#include "model/system_model.h"
#include "physics/evaluation.h"
#include "results/stability_result.h"
#include "solver/eigenvalues.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ambrel {

enum class ChartKind : std::uint8_t { Fixed, Horizontal, Angles };

// Below this sine of Az the Ax step moves a string's end too little to measure the motion
// across it: Y is stepped directly (one more evaluation for each such object and step).
inline constexpr Real DIRECT_ACROSS_MAX_SINE = 0.1L;

struct StabilityChart {
    std::vector<ChartKind> kind;                   // per object, 1-based
    std::vector<char> turns;                       // an object that turns with its angles
    std::vector<char> direct;                      // Horizontal: Y stepped directly
    std::vector<Real> ax0, az0;                    // the analysed state's angles
    std::vector<Real> sin_az0, cos_az0, cosec_az0; // and sin Az, cos Az, limited_cosec(Az) there
    std::vector<int> used_slots;                   // 0-based slots of the movable objects, in order
    Real dt = 0;
    bool correct = false; // "Correct rotation forces"
    int objects = 0;

    std::string slot_name(int slot) const; // "Y 3", "X 3", "Ax 4", "Az 4"
};

// The chart of each object at the analysed state (`model` with its positions).
StabilityChart make_stability_chart(const SystemModel& model, const Options& options, Real dt);

// The velocity of every movable object in its chart, by slot (0-based, 2 * objects), from an
// evaluation of `model` (positions computed); fixed objects' slots are 0. `largest_force` (if
// given) receives the largest |R| or |G| of the movable objects (N, each sphere's share of its
// object's, as the rotational forces are measured): the chart's residual.
void chart_velocity(const StabilityChart& chart, const SystemModel& model, const Evaluation& ev,
                    Real* velocity, Real* largest_force = nullptr);

// The chart's coordinates of the movable objects, by index into chart.used_slots; the angles they
// stand for; and the velocities in them (chart_velocity's, of the movable objects).
std::vector<Real> chart_coordinates(const StabilityChart& chart, const SystemModel& model);
void set_chart_coordinates(const StabilityChart& chart, SystemModel& model, const std::vector<Real>& c);
std::vector<Real> chart_velocities(const StabilityChart& chart, const SystemModel& model,
                                   const Evaluation& ev);

// One perturbed evaluation of the Jacobian command: an angle of one object moved by `step`
// (Ax, Az: the update law's columns, also the chart's where they move along it), or Y moved
// directly by `step`.
enum class ChartMove : std::uint8_t { Ax, Az, Across };

struct ChartStep {
    int object = 0;
    ChartMove move = ChartMove::Ax;
    Real step = 0;
    int printed_column = 0; // 1-based column of the update law's matrix it fills, or 0
    int set = -1;           // 0: step h, 1: step h/2; -1: none
    int slot = -1;          // the chart's column (0-based index into chart.used_slots) it gives
};

// The update law's 2 * objects columns at h (Ax then Az of each object, in order), then the
// chart's columns that they do not give at h, then all of them at h / 2.
std::vector<ChartStep> plan_chart_steps(const StabilityChart& chart, Real h);

// Moves the object of `step` in `model` (whose angles are those of the analysed state).
void apply_chart_step(const StabilityChart& chart, SystemModel& model, const ChartStep& step);

// The matrices of the chart's velocities at steps h and h/2, filled a column at a time with the
// velocities of the perturbed evaluations, then finished (divided by the displacements).
class ChartJacobians {
  public:
    ChartJacobians(const StabilityChart& chart, std::vector<Real> base_velocity);

    // Thread-safe for distinct steps; `velocity` by slot as chart_velocity gives it.
    void record(const ChartStep& step, const Real* velocity);
    // Divides each column by its displacement; every chart column must have been recorded.
    void finish(const std::vector<ChartStep>& steps);

    int size() const { return m_; }
    // The velocity of the analysed state in the chart's coordinate `index` (into used_slots).
    Real base_velocity(int index) const { return base_[chart_.used_slots[index]]; }
    const std::vector<Real>& at(int set) const { return set == 0 ? coarse_ : fine_; }
    // How fast the analysed state's own motion turns with a turn of the string ends about the
    // vertical: sum |v_k| s_k / sum s_k^2 over the objects that do not turn, v_k the speed of the
    // string's end and s_k its distance from the vertical (1/s), for the ends farther from the
    // vertical than TURN_MIN_REACH times `reach`, the distance of the state from rest. See
    // analyse_stability.
    Real turning_drift(Real reach) const;

  private:
    const StabilityChart& chart_;
    std::vector<Real> base_;
    int m_ = 0;
    std::vector<Real> coarse_, fine_; // m x m, row-major
};

// Eigenvalues of the extrapolated matrix 2 J(h/2) - J(h) (error O(h^2)); the error of each is its
// distance from the matching eigenvalue of J(h/2) (to first order that between the eigenvalues of
// J(h) and J(h/2), their O(h) error, far above that of the extrapolation while h is in the range
// where differences converge), plus the effect of rounding (`noise` bounds an entry's error from
// the rounding of the forces), plus, for a state `at_rest` only to the tolerance, four times the
// largest eigenvalue in size times the length of Newton's step to the rest state and the turning
// drift of its velocity (ChartJacobians::turning_drift). `rough`: the
// eigenvalues in double precision whatever the size (eigenvalues' `rough`: a verdict, not printed
// values).
StabilityAnalysis analyse_stability(const ChartJacobians& jacobians, Real noise, bool at_rest,
                                    bool rough = false);

// The relative rounding of the forces of the evaluations: a full evaluation gives them to a few
// units of the long double's last place, a perturbed one from the base state's factor its change
// of the forces to about 1e-16 (physics/perturbation.h); both with a margin of ten.
inline constexpr Real FULL_EVALUATION_ROUNDING = 1e-18L;
inline constexpr Real PERTURBED_EVALUATION_ROUNDING = 1e-15L;

// A bound of the error of an entry of J(h) from the rounding of the forces: `relative` of each
// object's force scale (K times the larger of its force and its weight) over the smallest
// displacement of the steps at h.
Real rounding_noise(const StabilityChart& chart, const SystemModel& model, const Evaluation& ev,
                    const std::vector<ChartStep>& steps, Real relative);

} // namespace ambrel
