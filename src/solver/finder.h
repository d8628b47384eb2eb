// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The search of Find equilibrium (solver/equilibrium.h), its state between iterations and its
// parts, so that a test can drive one phase at a time.
//
// Each pass of the loop is in one phase:
//   Jacobian  a fresh Jacobian of the velocity is due: it is taken, then Newton's step;
//   Newton    Newton's step with the Jacobian in hand (kept fresh by Broyden's update);
//   Verdict   the state is at rest, or near it: the Jacobian is taken at the verdict's steps h
//             and h/2, and its stability analysis says whether it is a saddle (left along its
//             unstable mode) or the rest state (AtRest);
//   Relaxing  a relaxation step, as Calculate takes them (Newton's steps made no progress);
//   AtRest    at rest with its verdict: the search ends.
// Jacobian and Newton steps go on in the relaxation's way as well, when Newton's steps that kept
// failing have handed over to it with a Jacobian due: the steps after it are the relaxation's.
//
// The stop test, before every pass, decides every end and names it (as the nonlinear solvers of
// SUNDIALS do: A. C. Hindmarsh et al., ACM TOMS 31, 2005, section 5): angles out of range, at
// rest with its verdict, the iteration limit (with spheres pressed together or not), the host's
// Stop. The iteration count rises once, where an iteration moves the state: a Newton step tried,
// a relaxation step or a batch of them, a saddle left. Taking a Jacobian, the verdict at rest and
// a change of phase are no iterations.
#pragma once

#include "physics/dense_solver.h"
#include "results/stability_result.h"
#include "session/session.h"
#include "solver/equilibrium.h"
#include "solver/run_observer.h"
#include "solver/stability.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace ambrel {

enum class FinderPhase : std::uint8_t { Jacobian, Newton, Verdict, Relaxing, AtRest };

class Finder {
  public:
    Finder(Session& session, const EquilibriumSettings& settings, const RunObserver& observer,
           EquilibriumResult& result);

    // The passes to the end that the stop test names.
    RunEnd run();
    // The end of the search, when this state ends it (see above).
    std::optional<RunEnd> stop_test();
    // One pass in the present phase.
    void iterate();
    // The end of the search: the angles in the form nearest the start (and, pressed together, the
    // contact rest), the final evaluation and the verdict, in the result; then its final reports
    // through the session's reporter.
    void conclude(RunEnd end);

    FinderPhase phase() const { return phase_; }

  private:
    enum class Way : std::uint8_t { Newton, Relaxation };

    void evaluate();
    void step_done();
    void search_progress(Real error, int done, int total);
    // At rest (the end, or the verdict's Jacobian due), near rest (that Jacobian early), stalled
    // (the relaxation's way), or the relaxation done with what Newton's steps could not do.
    bool rest_reached();
    // The phase of a Jacobian due, or of the steps once the Jacobian is in hand.
    void need_jacobian() { phase_ = FinderPhase::Jacobian; }
    void continue_steps() { phase_ = way_ == Way::Relaxation ? FinderPhase::Relaxing : FinderPhase::Newton; }
    // Takes the Jacobian (Jacobian and Verdict phases); false when a Stop ended it.
    bool take_jacobian();
    // The spectrum of the Jacobian just taken: its largest real part, its largest size, and
    // whether the largest real part is an unstable mode (resolved beyond its error when it comes
    // with the analysis).
    struct Spectrum {
        Real largest = 0, stiffest = 0;
        bool unstable = false;
    };
    Spectrum spectrum(const ChartJacobians& charts, const std::vector<ChartStep>& steps, int parallel);
    // After the verdict's Jacobian: a saddle is left, a rest state ends the search, near rest the
    // steps go on with its analysis. False when the pass is over.
    bool verdict(const Spectrum& s);
    // Leaves a saddle along its unstable mode (an eigenvalue `largest` of the Jacobian).
    void leave_saddle(Real largest);
    // A stiffness far above any pendulum's is a contact: relaxation steps separate the spheres
    // first. False when the pass is over.
    bool separate_contact();
    void newton_step();
    // Broyden's update of the Jacobian across an accepted step d from velocity v to v_after.
    double broyden_update(const std::vector<Real>& d, const std::vector<Real>& v,
                          const std::vector<Real>& v_after);
    // After a rejected step: a shorter radius and a larger shift, and after failures in a row the
    // relaxation's steps. Whether a fresh Jacobian is due.
    bool reject_step();
    // `steps` relaxation steps, ending early at rest when `until_rest`.
    void relax(int steps, bool until_rest);
    void start_relaxing();
    void keep_nearest_form();
    // Spheres pressed together at the end: their rest touching, looked for from the last state,
    // the last that pressed them together and the start. The pairs and pushes found.
    std::vector<PressedPair> settle_contact();
    // The verdict of the state reached, drawn from the analysis at rest.
    void conclude_verdict();

    Session& session_;
    SystemModel& model_;
    const Options& options_;
    // Copies: a finder may outlive the arguments it was made from (a test's temporaries).
    const EquilibriumSettings settings_;
    const FinderTuning& tuning_; // settings_.tuning
    const RunObserver observer_;
    EquilibriumResult& result_;
    const Real tolerance_;
    const bool nothing_moves_; // every object is held
    std::vector<Real> start_ax_, start_az_;
    std::vector<Real> touch_ax_, touch_az_; // the angles of the last state with spheres overlapping
    int last_touch_ = -1000000;             // the last iteration that left spheres of two objects overlapping

    FinderPhase phase_ = FinderPhase::Jacobian;
    Way way_ = Way::Newton;
    bool jacobian_stopped_ = false; // a Stop ended the last Jacobian

    StabilityChart chart_;
    DoubleLu lu_; // mu I - J
    // In double: it directs steps, and its Broyden updates touch every entry each iteration.
    std::vector<double> jacobian_;
    int m_ = 0;
    Real mu_ = 0, floor_ = 0, radius_ = 0, factored_mu_ = -1;
    StabilityAnalysis analysis_; // of the state at rest, once verified
    // An analysis near rest (below near_rest times the tolerance) holds for the rest state that
    // Newton's steps from it reach, as long as they go no farther than its own step to rest.
    bool near_analysis_ = false, near_tried_ = false;
    Real near_reach_ = 0, moved_ = 0;
    int failures_ = 0, since_jacobian_ = 0, contact_relaxations_ = 0, fallbacks_ = 0;
    Real relaxing_from_ = 0;         // the largest rotational force when the relaxation took over
    bool relaxing_touching_ = false; // spheres touched then
    int newton_returns_ = 0;
    Real best_ = std::numeric_limits<Real>::infinity();
    int stalled_ = 0;
};

} // namespace ambrel
