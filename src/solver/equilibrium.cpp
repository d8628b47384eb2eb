// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/equilibrium.h"

#include "model/units.h"
#include "physics/dense_solver.h"
#include "physics/evaluation.h"
#include "solver/contact_rest.h"
#include "solver/eigenvalues.h"
#include "solver/finder.h"
#include "solver/initialize.h"
#include "solver/jacobian.h"
#include "solver/relaxation.h"
#include "solver/stability.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ambrel {

namespace {

Real norm(const std::vector<Real>& v) {
    Real sum = 0;
    for (const Real x : v)
        sum += x * x;
    return std::sqrt(sum);
}

bool angles_in_range(const SystemModel& model) {
    for (int k = 1; k <= model.object_count; ++k)
        if (!angles_in_range(model.objects[k]))
            return false;
    return true;
}

// The smallest system size for the perturbed evaluations of the finder's Jacobians.
int perturbed_min_spheres(const SystemModel& model, const FinderTuning& tuning) {
    int largest = 0;
    for (int k = 1; k <= model.object_count; ++k)
        largest = std::max(largest, model.objects[k].count);
    return largest == 1 || tuning.perturbed_max_share * largest <= model.sphere_count
               ? tuning.perturbed_min_spheres
               : std::numeric_limits<int>::max();
}

void save_angles(const SystemModel& model, std::vector<Real>& ax, std::vector<Real>& az) {
    ax.resize(static_cast<std::size_t>(model.object_count));
    az.resize(static_cast<std::size_t>(model.object_count));
    for (int k = 1; k <= model.object_count; ++k) {
        ax[k - 1] = model.objects[k].Ax;
        az[k - 1] = model.objects[k].Az;
    }
}

void restore_angles(SystemModel& model, const std::vector<Real>& ax, const std::vector<Real>& az) {
    for (int k = 1; k <= model.object_count; ++k) {
        model.objects[k].Ax = ax[k - 1];
        model.objects[k].Az = az[k - 1];
    }
}

} // namespace

EquilibriumSettings equilibrium_settings(const RelaxationSettings& run) {
    EquilibriumSettings settings;
    settings.time_step = run.time_step;
    settings.max_iterations = run.max_steps;
    settings.force_error_uN = run.force_error_uN;
    settings.random_start = run.random_start;
    return settings;
}

Finder::Finder(Session& session, const EquilibriumSettings& settings, const RunObserver& observer,
               EquilibriumResult& result)
    : session_(session), model_(session.model), options_(session.switches()), settings_(settings),
      tuning_(settings_.tuning), observer_(observer), result_(result),
      tolerance_(settings.force_error_uN * 1e-6L), nothing_moves_(movable_objects(session.model) == 0) {
    save_angles(model_, start_ax_, start_az_);
    radius_ = tuning_.start_radius;
}

RunEnd Finder::run() {
    if (!session_.evaluation.belongs_to(model_))
        evaluate();
    for (;;) {
        if (const std::optional<RunEnd> end = stop_test())
            return *end;
        iterate();
    }
}

std::optional<RunEnd> Finder::stop_test() {
    // Angles beyond the range end the search as they end a relaxation, whatever moved them there.
    if (!angles_in_range(model_))
        return RunEnd::TooLargeAngles;
    if (jacobian_stopped_) {
        // At rest, with only its verdict under way: the equilibrium stands, without a verdict.
        if (phase_ == FinderPhase::Verdict && result_.error < tolerance_) {
            result_.verdict_stopped = true;
            return RunEnd::Converged;
        }
        return RunEnd::Stopped;
    }
    if (rest_reached())
        return RunEnd::Converged;
    if (result_.iterations >= settings_.max_iterations) {
        // The limit reached with spheres of two objects pressed together (or the relaxation's
        // steps taken over for them, bouncing them apart and back): the model's contact force is
        // a fixed push, and no state with them touching is at rest.
        const bool pressed =
            spheres_touch(model_, tuning_.contact_reach) ||
            result_.iterations - last_touch_ <= std::max(tuning_.contact_recent, result_.iterations / 4);
        return pressed ? RunEnd::Contact : RunEnd::StepLimit;
    }
    if (session_.stop_requested())
        return RunEnd::Stopped;
    return std::nullopt;
}

void Finder::iterate() {
    switch (phase_) {
    case FinderPhase::Relaxing:
        // One relaxation step an iteration, as Calculate takes them.
        ++result_.iterations;
        relax(1, false);
        if (angles_in_range(model_)) // else the stop test ends the search at once
            step_done();
        return;
    case FinderPhase::Jacobian:
    case FinderPhase::Verdict:
        if (!take_jacobian())
            return;
        // The step with the Jacobian just taken, in either way.
        newton_step();
        return;
    case FinderPhase::Newton:
        newton_step();
        return;
    case FinderPhase::AtRest: // the stop test has ended the search
        return;
    }
}

void Finder::evaluate() {
    session_.evaluate([&] {
        if (observer_.after_positions)
            observer_.after_positions(session_.model, session_.evaluation);
    });
    ++result_.evaluations;
    if (spheres_touch(model_)) {
        last_touch_ = result_.iterations;
        save_angles(model_, touch_ax_, touch_az_);
    }
}

void Finder::step_done() {
    const Real error = max_object_rotational_force(model_, session_.evaluation);
    if (observer_.step_done)
        observer_.step_done(result_.iterations, error);
    search_progress(error, 0, 0);
}

void Finder::search_progress(Real error, int done, int total) {
    if (!observer_.search_progress)
        return;
    // Within a Jacobian (total > 0) the iteration under way, which it begins.
    const bool in_jacobian = total > 0;
    observer_.search_progress({result_.iterations + (in_jacobian ? 1 : 0), result_.evaluations, error,
                               in_jacobian && phase_ == FinderPhase::Verdict, done, total});
}

bool Finder::rest_reached() {
    result_.error = max_object_rotational_force(model_, session_.evaluation);
    if (result_.error < tolerance_ || nothing_moves_) {
        // At rest: a fresh Jacobian tells a stable state from a saddle, which is left along its
        // unstable mode.
        if (phase_ == FinderPhase::AtRest ||
            (near_analysis_ && analysis_.verdict == StabilityVerdict::Stable && moved_ <= near_reach_))
            return true;
        phase_ = FinderPhase::Verdict;
    } else if (way_ == Way::Relaxation && newton_returns_ < tuning_.max_newton_returns &&
               (result_.error * tuning_.relaxation_gain < relaxing_from_ ||
                (relaxing_touching_ && !spheres_touch(model_)))) {
        // The relaxation has done what Newton's steps could not (spheres apart): they go on.
        ++newton_returns_;
        way_ = Way::Newton;
        need_jacobian();
        best_ = std::numeric_limits<Real>::infinity();
        stalled_ = 0;
        failures_ = 0;
        fallbacks_ = 0;
        contact_relaxations_ = 0;
        radius_ = tuning_.start_radius;
        mu_ = 0;
    } else if (way_ == Way::Newton) {
        if (result_.error < tuning_.stall_gain * best_) {
            best_ = result_.error;
            stalled_ = 0;
        } else if (++stalled_ >= tuning_.max_stalled) {
            start_relaxing();
            continue_steps();
        }
    }
    if (result_.error >= tolerance_ && result_.error < tuning_.near_rest * tolerance_ && !near_tried_ &&
        way_ == Way::Newton) {
        near_tried_ = true;
        phase_ = FinderPhase::Verdict;
    }
    return false;
}

bool Finder::take_jacobian() {
    const bool verifying = phase_ == FinderPhase::Verdict;
    chart_ = make_stability_chart(model_, options_, settings_.time_step);
    m_ = static_cast<int>(chart_.used_slots.size());
    if (m_ == 0) {
        // Nothing moves: every object is held, at rest as it is whatever its forces, without a
        // verdict (the final line says there is no movable object).
        phase_ = FinderPhase::AtRest;
        return false;
    }
    // Verifying, the Jacobian is also taken at h/2: the stability analysis of the state.
    std::vector<ChartStep> steps;
    for (ChartStep step :
         plan_chart_steps(chart_, verifying ? tuning_.verdict_step : settings_.angle_variation))
        if (step.set == 0 || (verifying && step.set == 1)) {
            step.printed_column = 0;
            steps.push_back(step);
        }
    RunObserver jacobian_observer;
    if (observer_.search_progress) {
        const Real error = result_.error;
        jacobian_observer.progress = [this, error](int done, int total) {
            search_progress(error, done, total);
        };
    }
    const MeasuredChartJacobians measured = measure_chart_jacobians(
        session_, model_, chart_, steps, {}, jacobian_observer, perturbed_min_spheres(model_, tuning_));
    result_.evaluations += static_cast<int>(steps.size());
    if (measured.run.stopped) {
        jacobian_stopped_ = true;
        return false;
    }
    jacobian_.assign(measured.jacobians.at(0).begin(), measured.jacobians.at(0).end());
    ++result_.jacobians;
    near_analysis_ = false;
    const Spectrum s = spectrum(measured.jacobians, steps, measured.run.parallel);
    // Along a mode with a positive eigenvalue the motion leaves the state; a step of
    // (mu I - J)^-1 v goes the same way when mu is above that eigenvalue.
    floor_ = s.unstable ? 2 * s.largest + 1e-3L * s.stiffest : 0;
    if (verifying && !verdict(s))
        return false;
    // The first steps follow the motion (a shift as large as the stiffest mode), and the shift
    // falls with the velocity: Newton's steps near the rest state, not from afar, where they may
    // lead to a saddle.
    if (result_.jacobians == 1) {
        // The stiffness along the velocity (v'Jv / v'v): a stiff mode the motion does not touch
        // (a contact) does not shorten the first steps.
        const std::vector<Real> v = chart_velocities(chart_, model_, session_.evaluation);
        Real vv = 0, vjv = 0;
        for (int i = 0; i < m_; ++i) {
            vv += v[i] * v[i];
            for (int j = 0; j < m_; ++j)
                vjv += v[i] * jacobian_[at(i, j, m_)] * v[j];
        }
        mu_ = std::max(floor_, tuning_.start_shift * (vv > 0 ? std::fabs(vjv) / vv : s.stiffest));
    }
    if (!separate_contact())
        return false;
    factored_mu_ = -1;
    since_jacobian_ = 0;
    continue_steps();
    return true;
}

Finder::Spectrum Finder::spectrum(const ChartJacobians& charts, const std::vector<ChartStep>& steps,
                                  int parallel) {
    Spectrum s;
    if (phase_ == FinderPhase::Verdict) {
        const Real relative = parallel > 0 ? PERTURBED_EVALUATION_ROUNDING : FULL_EVALUATION_ROUNDING;
        // The verdict's errors (the steps' truncation and the evaluations' rounding over h) are far
        // above double's rounding of the eigenvalues: double at every size.
        analysis_ = analyse_stability(
            charts, rounding_noise(chart_, model_, session_.evaluation, steps, relative), true, true);
        jacobian_.assign(analysis_.matrix.begin(), analysis_.matrix.end());
        // A positive eigenvalue is an unstable mode when the analysis resolves it beyond its error:
        // a neutral mode's noise stays within its error (the turning drift of a state at rest only
        // to the tolerance included).
        for (const EigenvalueWithError& e : analysis_.values) {
            if (e.value.real() > s.largest) {
                s.largest = e.value.real();
                s.unstable = e.value.real() - e.error > 0;
            }
            s.stiffest = std::max(s.stiffest, std::abs(e.value));
        }
        return s;
    }
    if (m_ <= tuning_.shift_eigenvalues_max_size) {
        // A floor for the shift wants no more than double's digits.
        if (const auto values = eigenvalues(std::vector<Real>(jacobian_.begin(), jacobian_.end()), m_, true))
            for (const Complex& z : *values) {
                s.largest = std::max(s.largest, z.real());
                s.stiffest = std::max(s.stiffest, std::abs(z));
            }
    }
    // Without errors, a positive eigenvalue below escape_threshold of the stiffest is taken for a
    // neutral mode's noise (a free turn about the vertical).
    s.unstable = s.largest > tuning_.escape_threshold * s.stiffest;
    return s;
}

bool Finder::verdict(const Spectrum& s) {
    // A saddle is left whatever the size of its unstable mode, once the analysis resolves it.
    const bool saddle = analysis_.computed && analysis_.verdict == StabilityVerdict::Unstable && s.unstable;
    if (saddle) {
        leave_saddle(s.largest);
        return false;
    }
    if (result_.error < tolerance_) {
        phase_ = FinderPhase::AtRest;
        return false;
    }
    // Near rest: the steps go on with this Jacobian, and its analysis holds for the rest state
    // within twice its own step there.
    near_analysis_ = analysis_.computed;
    moved_ = 0;
    near_reach_ = 0;
    if (near_analysis_ && s.stiffest > 0 && !analysis_.values.empty())
        near_reach_ = 2 * analysis_.values.front().off_rest / (4 * s.stiffest);
    return true;
}

void Finder::leave_saddle(Real largest) {
    ++result_.iterations;
    // The unstable mode by inverse iteration with a shift just above its eigenvalue.
    DoubleLu shifted;
    std::vector<Real> x(static_cast<std::size_t>(m_), 1);
    if (shifted.factor(m_, jacobian_.data(), largest * (1 + 1e-6L), 0) == 0)
        for (int pass = 0; pass < 3; ++pass) {
            shifted.solve(x.data());
            Real big = 0;
            for (const Real e : x)
                big = std::max(big, std::fabs(e));
            for (Real& e : x)
                e /= big;
        }
    std::vector<Real> c = chart_coordinates(chart_, model_);
    for (int i = 0; i < m_; ++i)
        c[i] += tuning_.escape_step * x[i];
    set_chart_coordinates(chart_, model_, c);
    evaluate();
    ++result_.escapes;
    mu_ = floor_;
    factored_mu_ = -1;
    since_jacobian_ = 0;
    near_tried_ = false; // a new way to a new rest state
    best_ = std::numeric_limits<Real>::infinity();
    stalled_ = 0;
    continue_steps();
}

bool Finder::separate_contact() {
    // A stiffness far above that of any pendulum here is a contact, whose force is a step within
    // the differences.
    Real pendulum = 0;
    for (int k = 1; k <= model_.object_count; ++k)
        if (model_.objects[k].L != 0)
            pendulum = std::max(pendulum, settings_.time_step * GRAVITY / (2 * model_.objects[k].L));
    if (!(std::max(mu_, floor_) > tuning_.contact_stiffness * pendulum))
        return true;
    if (contact_relaxations_ >= tuning_.max_contact_relaxations) {
        // The spheres stay in contact: the rest of the way is the relaxation's.
        start_relaxing();
        continue_steps();
        return false;
    }
    ++result_.iterations;
    ++contact_relaxations_;
    relax(tuning_.relaxation_steps, true);
    need_jacobian();
    mu_ = 0;
    return false;
}

void Finder::newton_step() {
    const Real shift = std::max(mu_, floor_);
    if (shift != factored_mu_) {
        if (lu_.factor(m_, jacobian_.data(), shift, 1e-14L) != 0) {
            // Singular (a neutral mode and no shift): a little shift makes it regular.
            mu_ = std::max<Real>(mu_ * 2, 1e-6L);
            return;
        }
        factored_mu_ = shift;
    }
    ++result_.iterations;
    const std::vector<Real> v = chart_velocities(chart_, model_, session_.evaluation);
    const Real before = norm(v);
    // (mu I - J) d = v
    std::vector<Real> d = v;
    for (Real& x : d)
        x = -x;
    lu_.solve(d.data());
    Real longest = 0;
    for (const Real x : d)
        longest = std::max(longest, std::fabs(x));
    const bool truncated = longest > radius_;
    if (truncated)
        for (Real& x : d)
            x *= radius_ / longest;
    std::vector<Real> c = chart_coordinates(chart_, model_);
    for (int i = 0; i < m_; ++i)
        c[i] += d[i];
    std::vector<Real> saved_ax, saved_az;
    save_angles(model_, saved_ax, saved_az);
    set_chart_coordinates(chart_, model_, c);
    bool accepted = false;
    Real after = 0;
    std::vector<Real> v_after;
    if (angles_in_range(model_)) {
        evaluate();
        v_after = chart_velocities(chart_, model_, session_.evaluation);
        after = norm(v_after);
        // Away from a saddle the velocity first grows: such a step is taken while it does not
        // grow too much.
        accepted = after < before || (floor_ > 0 && after < tuning_.escape_growth * before);
    }
    ++since_jacobian_;
    bool jacobian_due = false;
    if (accepted) {
        failures_ = 0;
        moved_ += std::min(longest, radius_);
        const double missed = broyden_update(d, v, v_after);
        const Real ratio = after / before;
        // The shift shrinks as the velocity falls, and at least by half a step: a stiff mode that
        // holds the steps short (a contact) does not hold them for ever. A whole step whose
        // velocity the Jacobian foretold (the update's residual) to model_trust of the velocity
        // before it says the motion is near linear here: the shift falls faster.
        const bool foretold = !truncated && std::sqrt(missed) <= tuning_.model_trust * before;
        mu_ *= std::min<Real>(ratio, 0.5L) * (foretold ? tuning_.foretold_shift_fall : 1);
        // A step the radius cut short says nothing of the Jacobian: the radius grows.
        if (truncated || ratio < 0.5L)
            radius_ = std::min(2 * radius_, tuning_.max_radius);
        // Whole steps that keep gaining little say the Jacobian has aged. Leaving a saddle the
        // velocity grows for a while: that is no sign of it; nor one step that gained little,
        // which the update may mend.
        jacobian_due = !truncated && ratio > 0.5L && since_jacobian_ > tuning_.steps_before_aged;
    } else {
        restore_angles(model_, saved_ax, saved_az);
        evaluate();
        jacobian_due = reject_step();
    }
    if (jacobian_due)
        need_jacobian();
    else
        continue_steps();
    step_done();
}

// Broyden's update: the Jacobian made to give this step's change of the velocity, unchanged across
// it (C. G. Broyden, Math. Comp. 19, 1965, the "good" update). Returns the square of the change
// that the Jacobian did not foretell.
double Finder::broyden_update(const std::vector<Real>& d, const std::vector<Real>& v,
                              const std::vector<Real>& v_after) {
    const std::vector<double> step(d.begin(), d.end());
    double dd = 0, missed = 0;
    for (const double x : step)
        dd += x * x;
    if (dd > 0) {
        for (int i = 0; i < m_; ++i) {
            double* row = jacobian_.data() + at(i, 0, m_);
            double r = static_cast<double>(v_after[i] - v[i]);
            for (int j = 0; j < m_; ++j)
                r -= row[j] * step[j];
            missed += r * r;
            const double scale = r / dd;
            for (int j = 0; j < m_; ++j)
                row[j] += scale * step[j];
        }
        factored_mu_ = -1;
    }
    return missed;
}

bool Finder::reject_step() {
    radius_ = std::max(radius_ / 4, tuning_.min_radius);
    mu_ = std::max<Real>(2 * mu_, 1e-3L);
    bool jacobian_due = since_jacobian_ > 1;
    if (++failures_ >= tuning_.failures_before_relaxation && ++fallbacks_ >= tuning_.max_fallbacks) {
        start_relaxing(); // Newton's steps keep failing: the relaxation's, until they have gained
    } else if (failures_ >= tuning_.failures_before_relaxation) {
        // No step of the model makes progress (a contact, whose force jumps): the relaxation's
        // own steps, then a fresh Jacobian.
        relax(tuning_.relaxation_steps, false);
        failures_ = 0;
        radius_ = tuning_.start_radius;
        jacobian_due = true;
    }
    return jacobian_due;
}

void Finder::relax(int steps, bool until_rest) {
    for (int s = 0; s < steps; ++s) {
        relaxation_step(model_, session_.evaluation, settings_.time_step);
        evaluate();
        ++result_.relaxation_steps;
        if (until_rest && max_object_rotational_force(model_, session_.evaluation) < tolerance_)
            break;
    }
    near_analysis_ = false;
}

void Finder::start_relaxing() {
    way_ = Way::Relaxation;
    relaxing_from_ = result_.error;
    relaxing_touching_ = spheres_touch(model_);
}

void Finder::keep_nearest_form() {
    // The chart's coordinates give each string's angles in a form of their own ((Ax + pi, -Az) is
    // the same string, and whole turns of Ax change nothing): the form nearest the start is kept,
    // as the relaxation's continuous path would have it.
    for (int k = 1; k <= model_.object_count; ++k) {
        Object& o = model_.objects[k];
        if (o.L == 0 || !std::isfinite(o.Ax) || !std::isfinite(o.Az))
            continue;
        const Real ax0 = start_ax_[k - 1], turn = 2 * std::numbers::pi_v<Real>;
        const bool ball_like = !(o.composite() && options_[Option::RotateObjects]);
        if (ball_like && std::fabs(std::remainder(o.Ax + std::numbers::pi_v<Real> - ax0, turn)) <
                             std::fabs(std::remainder(o.Ax - ax0, turn))) {
            o.Ax += std::numbers::pi_v<Real>;
            o.Az = -o.Az;
        }
        o.Ax = ax0 + std::remainder(o.Ax - ax0, turn);
    }
}

std::vector<PressedPair> Finder::settle_contact() {
    // Physically the spheres rest touching, each pair pressed with the force that holds the rest:
    // that state is reported in place of the last bounce (solver/contact_rest.h). From the last
    // bounce, else from the last state that pressed them together, else from the start (in a
    // sweep, the rest of the voltage before): the last bounce may have thrown them far apart.
    ContactRest rest = find_contact_rest(session_, settings_.time_step, tolerance_);
    result_.evaluations += rest.evaluations;
    std::vector<Real> end_ax, end_az;
    save_angles(model_, end_ax, end_az);
    for (const auto* from : {&touch_ax_, &start_ax_}) {
        if (rest.found || from->size() != end_ax.size())
            continue;
        restore_angles(model_, *from, from == &touch_ax_ ? touch_az_ : start_az_);
        session_.evaluate();
        rest = find_contact_rest(session_, settings_.time_step, tolerance_);
        result_.evaluations += rest.evaluations + 1;
    }
    if (!rest.found) {
        restore_angles(model_, end_ax, end_az);
        session_.evaluate();
    }
    result_.contact_rest = rest.found;
    std::vector<PressedPair> pressed;
    for (std::size_t k = 0; k < rest.pairs.size(); ++k)
        pressed.push_back({model_.spheres[rest.pairs[k].first].name,
                           model_.spheres[rest.pairs[k].second].name, rest.push[k]});
    return pressed;
}

void Finder::conclude(RunEnd end) {
    if (end == RunEnd::TooLargeAngles)
        session_.reporter().too_large_angles(session_.sink());
    if (end == RunEnd::Contact)
        result_.pressed = settle_contact();
    keep_nearest_form();
    result_.end = end;
    if (observer_.steps_ended)
        observer_.steps_ended();
    // The positions are not recomputed: the reports belong to the angles as they stand.
    final_evaluation(session_);
    // The iterations line describes the state reached, not the one before the last step.
    if (session_.evaluation.belongs_to(model_))
        result_.error = max_object_rotational_force(model_, session_.evaluation);
    result_.max_iterations = settings_.max_iterations;
    result_.force_error_uN = settings_.force_error_uN;
    result_.verdict_step = tuning_.verdict_step;
    if (end == RunEnd::Converged)
        conclude_verdict();
    session_.reporter().equilibrium_ended(session_.sink(), session_.state(), result_, analysis_);
}

void Finder::conclude_verdict() {
    if (m_ == 0) {
        result_.stability = Stability::Undecided;
        result_.no_movable_object = true;
    } else if (result_.verdict_stopped) {
        result_.stability = Stability::NotComputed;
    } else {
        // At rest when the chart's forces are, as the update law's.
        Real chart_residual = 0;
        std::vector<Real> all(static_cast<std::size_t>(2 * chart_.objects));
        chart_velocity(chart_, model_, session_.evaluation, all.data(), &chart_residual);
        result_.residual_uN = std::max(result_.error, chart_residual) * 1e6L;
        result_.stability = stability_of(analysis_, result_.residual_uN, settings_.force_error_uN);
    }
}

int movable_objects(const SystemModel& model) {
    int movable = 0;
    for (int k = 1; k <= model.object_count; ++k)
        movable += model.objects[k].movable() ? 1 : 0;
    return movable;
}

std::string describe_equilibrium_end(const EquilibriumResult& result) {
    switch (result.end) {
    case RunEnd::Converged:
        return "Equilibrium found in " + std::to_string(result.iterations) + " iterations" +
               (result.verdict_stopped ? "; stopped before its stability was checked" : "");
    case RunEnd::StepLimit:
        return "Iteration limit reached";
    case RunEnd::Stopped:
        return "Stopped";
    case RunEnd::TooLargeAngles:
        return "Unstable";
    case RunEnd::NotApplicable:
        return "Equilibrium not searched";
    case RunEnd::Contact:
        return result.contact_rest ? "At rest with spheres pressed together"
                                   : "Spheres pressed together: no rest state";
    case RunEnd::SingularMatrix: // not an end of the search
        break;
    }
    return {};
}

EquilibriumResult find_equilibrium(Session& session, const EquilibriumSettings& settings,
                                   const RunObserver& observer) {
    const Session::CommandScope command(session);
    EquilibriumResult result;
    // Its Jacobian holds the movable objects alone: held ones cost nothing.
    if (const int movable = movable_objects(session.model); movable > MAX_JACOBIAN_OBJECTS) {
        result.end = RunEnd::NotApplicable;
        result.movable = movable;
        result.most_movable = MAX_JACOBIAN_OBJECTS;
        session.reporter().equilibrium_not_searched(session.sink(), result);
        return result;
    }
    session.reporter().finding_equilibrium(session.sink(), settings.force_error_uN, settings.random_start);
    // Each trial's solve starts from the last factor and charges, as a relaxation step's does.
    const WarmStart warm(session.workspace, SolveStart::Warm);
    Finder finder(session, settings, observer, result);
    RunEnd end;
    {
        // The charge diagnostics of its evaluations are said once each, before its reports.
        const Session::DiagnosticTally tally(session);
        end = finder.run();
    }
    finder.conclude(end);
    return result;
}

} // namespace ambrel
