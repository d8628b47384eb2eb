// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "solver/equilibrium.h"

#include "model/units.h"
#include "physics/dense_solver.h"
#include "physics/evaluation.h"
#include "report/jacobian_report.h"
#include "report/run_report.h"
#include "solver/contact_rest.h"
#include "solver/eigenvalues.h"
#include "solver/initialize.h"
#include "solver/relaxation.h"
#include "solver/stability.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ambrel {

namespace {

// The largest change of a coordinate in one step (rad, or string lengths), and the range of the
// trust radius. It starts at its largest: the first shift keeps the first steps short enough
// (measured: the four balls an iteration fewer than from 0.2, every other case of the equilibrium
// bench and every example as before).
constexpr Real START_RADIUS = 0.5L;
constexpr Real MAX_RADIUS = 0.5L;
constexpr Real MIN_RADIUS = 1e-9L;
// Failed steps in a row after which relaxation steps take over, and how many they take.
constexpr int FAILURES_BEFORE_RELAXATION = 8;
constexpr int RELAXATION_STEPS = 8;
// After this many such fallbacks, or when spheres stay in contact after MAX_CONTACT_RELAXATIONS
// separations, the rest of the way is the relaxation's, a step an iteration: never much slower
// than Calculate.
constexpr int MAX_FALLBACKS = 3;
// Newton's iterations in a row that do not bring the largest rotational force down by a hundredth
// (spheres pressed together, whose contact force jumps, hold it up): the rest of the way is the
// relaxation's as well.
constexpr int MAX_STALLED = 12;
// The relaxation's steps hand back to Newton's once the spheres that touched when they took over
// have come apart, or they have brought the largest rotational force down this many times, at most
// MAX_NEWTON_RETURNS times.
constexpr Real RELAXATION_GAIN = 10;
constexpr int MAX_NEWTON_RETURNS = 3;
// A state at rest that the stability analysis finds unstable is left by this step (in the chart's
// coordinates) along its unstable mode. The analysis takes the Jacobian's default step.
constexpr Real ESCAPE_STEP = 0.1L;
constexpr Real ESCAPE_THRESHOLD = 1e-3L;
// Spheres of two objects nearer than this times their radii's sum at the iteration limit are
// pressed together (the contact's push leaves them a little apart after a step).
constexpr Real CONTACT_REACH = 1.01L;
// ... or overlapped within this many iterations of the limit, or its last quarter (the push
// bounces them apart, and they take a while to come back).
constexpr int CONTACT_RECENT = 10;
constexpr Real VERDICT_STEP = 1e-4L;
// The finder's Jacobians take the perturbed evaluations from the base state's factor from this
// many spheres on (the Jacobian command from WARM_START_MIN_SIZE, as its printed digits always had),
// when every object has at most 1/PERTURBED_MAX_SHARE of the spheres: the perturbed evaluation
// updates the base factor by a rank of twice the spheres moved, which costs more than a full
// evaluation once they are a good part of all (measured: examples/shapes.bal, 20 of 60 spheres in
// one object, 1.7 times slower; a grid of 50 balls, one of 50, 2.2 times faster). Objects of one
// sphere take them at any size: a move changes the factor by a rank of two, and the perturbed
// evaluation takes the sines and cosines of the unmoved objects from the base state (measured: the
// four balls' finder 1.4 times faster).
constexpr int PERTURBED_MIN_SPHERES = 2;
constexpr int PERTURBED_MAX_SHARE = 8;

// The smallest system size for the perturbed evaluations of the finder's Jacobians.
int perturbed_min_spheres(const SystemModel& model) {
    int largest = 0;
    for (int k = 1; k <= model.object_count; ++k)
        largest = std::max(largest, model.objects[k].count);
    return largest == 1 || PERTURBED_MAX_SHARE * largest <= model.sphere_count
               ? PERTURBED_MIN_SPHERES
               : std::numeric_limits<int>::max();
}
// The first shift, as a fraction of the stiffness along the first velocity.
constexpr Real START_SHIFT = 1;
// A step whose change of the velocity the Jacobian foretold to this fraction of the velocity
// multiplies the shift by FORETOLD_SHIFT_FALL besides (measured: an iteration fewer on the grids of
// 50 and 200 balls, examples/shapes.bal and 20 plates; the four balls, whose first steps are cut
// short by the trust radius, as before).
constexpr Real MODEL_TRUST = 0.1L;
constexpr Real FORETOLD_SHIFT_FALL = 0.25L;
// A stiffness this many times that of the stiffest pendulum dt g / (2 L) tells a contact; the
// relaxation steps that then separate the spheres are taken at most this many times.
constexpr Real CONTACT_STIFFNESS = 1e4L;
constexpr int MAX_CONTACT_RELAXATIONS = 4;
// Below this many times the tolerance the Jacobian is taken at the verdict's steps h and h/2: the
// last Newton steps take its extrapolation, and its stability analysis, with the error of a state
// that far from rest, is the verdict of the rest state they reach (when it decides).
constexpr Real NEAR_REST = 30;
// Up to this size the Jacobian's eigenvalues set a floor under the shift, above any unstable mode,
// so that the steps follow the motion away from a saddle from the start. Beyond it they would cost
// more than the Jacobian (a system that nears a saddle is found out at rest, and leaves it then).
constexpr int SHIFT_EIGENVALUES_MAX_SIZE = 64;

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

} // namespace

EquilibriumSettings equilibrium_settings(const RelaxationSettings& run) {
    EquilibriumSettings settings;
    settings.time_step = run.time_step;
    settings.max_iterations = run.max_steps;
    settings.force_error_uN = run.force_error_uN;
    settings.random_start = run.random_start;
    return settings;
}

namespace {

// What an iteration does after one of its parts.
enum class Next {
    Step,    // go on to Newton's step
    Iterate, // the iteration is over: the next one
    End,     // the search is over
};

// The search: its state between iterations, and the parts of an iteration.
class Finder {
  public:
    Finder(Session& session, const EquilibriumSettings& settings, const RunObserver& observer,
           EquilibriumResult& result)
        : session_(session), model_(session.model), options_(session.switches()), settings_(settings),
          observer_(observer), result_(result), tolerance_(settings.force_error_uN * 1e-6L) {
        nothing_moves_ = true;
        for (int k = 1; k <= model_.object_count; ++k) {
            start_ax_.push_back(model_.objects[k].Ax);
            start_az_.push_back(model_.objects[k].Az);
            if (model_.objects[k].movable())
                nothing_moves_ = false;
        }
    }

    // The iterations to their end.
    EquilibriumEnd run();
    // The angles in the form nearest the start, the final reports, the iterations line and the
    // verdict (or why there is none).
    void report(EquilibriumEnd end);

  private:
    void evaluate() {
        session_.evaluate([&] {
            if (observer_.after_positions)
                observer_.after_positions(session_.model, session_.evaluation);
        });
        ++result_.evaluations;
        if (spheres_touch(model_)) {
            last_touch_ = result_.iterations;
            touch_ax_.resize(static_cast<std::size_t>(model_.object_count));
            touch_az_.resize(static_cast<std::size_t>(model_.object_count));
            for (int k = 1; k <= model_.object_count; ++k) {
                touch_ax_[k - 1] = model_.objects[k].Ax;
                touch_az_[k - 1] = model_.objects[k].Az;
            }
        }
    }
    void step_done() {
        const Real error = max_object_rotational_force(model_, session_.evaluation);
        if (observer_.step_done)
            observer_.step_done(result_.iterations, error);
        search_progress(error, 0, 0);
    }
    void search_progress(Real error, int done, int total) {
        if (observer_.search_progress)
            observer_.search_progress(
                {result_.iterations, result_.evaluations, error, verifying_, done, total});
    }
    // At rest (the end, or the verdict's Jacobian), near rest (that Jacobian early), or stalled.
    bool rest_reached();
    Next take_jacobian();
    // Leaves a saddle along its unstable mode (an eigenvalue `largest` of the Jacobian).
    void leave_saddle(Real largest);
    Next separate_contact();
    Next newton_step();
    // `steps` relaxation steps, ending early at rest when `until_rest`.
    void relax(int steps, bool until_rest);
    void keep_nearest_form();
    void start_relaxing() {
        relaxing_ = true;
        relaxing_from_ = result_.error;
        relaxing_touching_ = spheres_touch(model_);
    }

    Session& session_;
    SystemModel& model_;
    const Options& options_;
    const EquilibriumSettings& settings_;
    const RunObserver& observer_;
    EquilibriumResult& result_;
    const Real tolerance_;
    std::vector<Real> start_ax_, start_az_;
    std::vector<Real> touch_ax_, touch_az_; // the angles of the last state with spheres overlapping

    StabilityChart chart_;
    DoubleLu lu_; // J - mu I
    // In double: it directs steps, and its Broyden updates touch every entry each iteration.
    std::vector<double> jacobian_;
    int m_ = 0;
    Real mu_ = 0, floor_ = 0, radius_ = START_RADIUS, factored_mu_ = -1;
    bool need_jacobian_ = true, verifying_ = false, verified_ = false;
    StabilityAnalysis analysis_; // of the state at rest, once verified
    // An analysis near rest (below NEAR_REST times the tolerance) holds for the rest state that
    // Newton's steps from it reach, as long as they go no farther than its own step to rest.
    bool near_analysis_ = false, near_tried_ = false;
    Real near_reach_ = 0, moved_ = 0;
    int failures_ = 0, since_jacobian_ = 0, contact_relaxations_ = 0, fallbacks_ = 0;
    bool relaxing_ = false;          // the rest of the way by relaxation steps
    Real relaxing_from_ = 0;         // the largest rotational force when they took over
    bool relaxing_touching_ = false; // spheres touched then
    int last_touch_ = -1000000;      // the last iteration that left spheres of two objects overlapping
    bool nothing_moves_ = false;     // every object is held
    int newton_returns_ = 0;
    Real best_ = std::numeric_limits<Real>::infinity();
    int stalled_ = 0;
};

EquilibriumEnd Finder::run() {
    if (!session_.evaluation.belongs_to(model_))
        evaluate();
    for (;;) {
        if (rest_reached())
            return EquilibriumEnd::Converged;
        if (result_.iterations >= settings_.max_iterations)
            return EquilibriumEnd::IterationLimit;
        if (session_.stop_requested())
            return EquilibriumEnd::Stopped;
        ++result_.iterations;
        if (relaxing_ && !need_jacobian_) {
            // One relaxation step an iteration, as Calculate takes them.
            relax(1, false);
            if (!angles_in_range(model_))
                return EquilibriumEnd::TooLargeAngles;
            step_done();
            continue;
        }
        if (need_jacobian_) {
            const bool checking_rest = verifying_ && result_.error < tolerance_;
            const Next next = take_jacobian();
            if (next == Next::End && session_.stop_requested() && checking_rest) {
                // The state is at rest; only its verdict was under way: the equilibrium stands.
                --result_.iterations;
                result_.verdict_stopped = true;
                return EquilibriumEnd::Converged;
            }
            if (next == Next::End)
                return session_.stop_requested() ? EquilibriumEnd::Stopped : EquilibriumEnd::IterationLimit;
            if (next == Next::Iterate)
                continue;
        }
        if (newton_step() == Next::Iterate)
            continue;
        step_done();
    }
}

bool Finder::rest_reached() {
    result_.error = max_object_rotational_force(model_, session_.evaluation);
    if (result_.error < tolerance_ || nothing_moves_) {
        // At rest: a fresh Jacobian tells a stable state from a saddle, which is left along its
        // unstable mode.
        if (verified_ ||
            (near_analysis_ && analysis_.verdict == StabilityVerdict::Stable && moved_ <= near_reach_))
            return true;
        verifying_ = true;
        need_jacobian_ = true;
    } else if (relaxing_ && newton_returns_ < MAX_NEWTON_RETURNS &&
               (result_.error * RELAXATION_GAIN < relaxing_from_ ||
                (relaxing_touching_ && !spheres_touch(model_)))) {
        // The relaxation has done what Newton's steps could not (spheres apart): they go on.
        ++newton_returns_;
        relaxing_ = false;
        need_jacobian_ = true;
        best_ = std::numeric_limits<Real>::infinity();
        stalled_ = 0;
        failures_ = 0;
        fallbacks_ = 0;
        contact_relaxations_ = 0;
        radius_ = START_RADIUS;
        mu_ = 0;
    } else if (!relaxing_ && !verifying_) {
        if (result_.error < 0.99L * best_) {
            best_ = result_.error;
            stalled_ = 0;
        } else if (++stalled_ >= MAX_STALLED) {
            start_relaxing();
            need_jacobian_ = false;
        }
    }
    if (result_.error >= tolerance_ && result_.error < NEAR_REST * tolerance_ && !near_tried_ && !relaxing_) {
        near_tried_ = true;
        verifying_ = true;
        need_jacobian_ = true;
    }
    return false;
}

Next Finder::take_jacobian() {
    chart_ = make_stability_chart(model_, options_, settings_.time_step);
    m_ = static_cast<int>(chart_.used_slots.size());
    if (m_ == 0) {
        // Nothing moves: every object is held, at rest as it is whatever its forces, without a
        // verdict (the final line says there is no movable object).
        verified_ = true;
        --result_.iterations;
        return Next::Iterate;
    }
    // Verifying, the Jacobian is also taken at h/2: the stability analysis of the state.
    std::vector<ChartStep> steps;
    for (ChartStep step : plan_chart_steps(chart_, verifying_ ? VERDICT_STEP : settings_.angle_variation))
        if (step.set == 0 || (verifying_ && step.set == 1)) {
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
    ChartJacobians charts(chart_, [&] {
        std::vector<Real> all(static_cast<std::size_t>(2 * chart_.objects));
        chart_velocity(chart_, model_, session_.evaluation, all.data());
        return all;
    }());
    const ChartStepsRun run = evaluate_chart_steps(
        session_, chart_, steps,
        [&](const ChartStep& step, const SystemModel& perturbed, const Evaluation& ev) {
            std::vector<Real> velocity(static_cast<std::size_t>(2 * chart_.objects));
            chart_velocity(chart_, perturbed, ev, velocity.data());
            charts.record(step, velocity.data());
        },
        jacobian_observer, perturbed_min_spheres(model_));
    result_.evaluations += static_cast<int>(steps.size());
    if (run.stopped)
        return Next::End;
    charts.finish(steps);
    jacobian_.assign(charts.at(0).begin(), charts.at(0).end());
    ++result_.jacobians;
    // Along a mode with a positive eigenvalue the motion leaves the state; a step of
    // (mu I - J)^-1 v goes the same way when mu is above that eigenvalue.
    Real largest = 0, stiffest = 0;
    bool resolved = false; // the largest real part is positive beyond its error
    const bool at_rest = result_.error < tolerance_;
    near_analysis_ = false;
    if (verifying_) {
        const Real relative = run.parallel > 0 ? PERTURBED_EVALUATION_ROUNDING : FULL_EVALUATION_ROUNDING;
        // The verdict's errors (the steps' truncation and the evaluations' rounding over h) are far
        // above double's rounding of the eigenvalues: double at every size.
        analysis_ = analyse_stability(
            charts, rounding_noise(chart_, model_, session_.evaluation, steps, relative), true, true);
        jacobian_.assign(analysis_.matrix.begin(), analysis_.matrix.end());
        for (const EigenvalueWithError& e : analysis_.values) {
            if (e.value.real() > largest) {
                largest = e.value.real();
                resolved = e.value.real() - e.error > 0;
            }
            stiffest = std::max(stiffest, std::abs(e.value));
        }
    } else if (m_ <= SHIFT_EIGENVALUES_MAX_SIZE) {
        // A floor for the shift wants no more than double's digits.
        if (const auto values = eigenvalues(std::vector<Real>(jacobian_.begin(), jacobian_.end()), m_, true))
            for (const Complex& z : *values) {
                largest = std::max(largest, z.real());
                stiffest = std::max(stiffest, std::abs(z));
            }
    }
    // A positive eigenvalue is an unstable mode when the analysis resolves it beyond its error; a
    // Jacobian without errors takes one below ESCAPE_THRESHOLD of the stiffest for a neutral mode's
    // noise (a free turn about the vertical): a floor from it would hold every step back for
    // nothing (measured: examples/shapes.bal 13 iterations instead of 11 when the noise came out
    // positive).
    const bool unstable_mode = verifying_ ? resolved : largest > ESCAPE_THRESHOLD * stiffest;
    floor_ = unstable_mode ? 2 * largest + 1e-3L * stiffest : 0;
    if (verifying_) {
        verifying_ = false;
        // A saddle is left whatever the size of its unstable mode, once the analysis resolves it:
        // a neutral mode's noise stays within its error (the turning drift of a state at rest
        // only to the tolerance included).
        const bool saddle = analysis_.computed && analysis_.verdict == StabilityVerdict::Unstable && resolved;
        if (saddle) {
            leave_saddle(largest);
            return Next::Iterate;
        }
        if (at_rest) {
            verified_ = true;
            --result_.iterations;
            return Next::Iterate;
        }
        // Near rest: the steps go on with this Jacobian, and its analysis holds for the rest
        // state within twice its own step there.
        near_analysis_ = analysis_.computed;
        moved_ = 0;
        near_reach_ = 0;
        if (near_analysis_ && stiffest > 0 && !analysis_.values.empty())
            near_reach_ = 2 * analysis_.values.front().off_rest / (4 * stiffest);
    }
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
        mu_ = std::max(floor_, START_SHIFT * (vv > 0 ? std::fabs(vjv) / vv : stiffest));
    }
    if (separate_contact() == Next::Iterate)
        return Next::Iterate;
    need_jacobian_ = false;
    factored_mu_ = -1;
    since_jacobian_ = 0;
    return Next::Step;
}

void Finder::leave_saddle(Real largest) {
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
        c[i] += ESCAPE_STEP * x[i];
    set_chart_coordinates(chart_, model_, c);
    evaluate();
    ++result_.escapes;
    mu_ = floor_;
    need_jacobian_ = false;
    factored_mu_ = -1;
    since_jacobian_ = 0;
    near_tried_ = false; // a new way to a new rest state
    best_ = std::numeric_limits<Real>::infinity();
    stalled_ = 0;
}

Next Finder::separate_contact() {
    // A stiffness far above that of any pendulum here is a contact, whose force is a step within
    // the differences: relaxation steps separate the spheres first.
    Real pendulum = 0;
    for (int k = 1; k <= model_.object_count; ++k)
        if (model_.objects[k].L != 0)
            pendulum = std::max(pendulum, settings_.time_step * GRAVITY / (2 * model_.objects[k].L));
    if (!(std::max(mu_, floor_) > CONTACT_STIFFNESS * pendulum) || verifying_)
        return Next::Step;
    if (contact_relaxations_ >= MAX_CONTACT_RELAXATIONS) {
        // The spheres stay in contact: the rest of the way is the relaxation's.
        start_relaxing();
        need_jacobian_ = false;
        --result_.iterations;
        return Next::Iterate;
    }
    ++contact_relaxations_;
    relax(RELAXATION_STEPS, true);
    need_jacobian_ = true;
    mu_ = 0;
    return Next::Iterate;
}

Next Finder::newton_step() {
    const Real shift = std::max(mu_, floor_);
    if (shift != factored_mu_) {
        if (lu_.factor(m_, jacobian_.data(), shift, 1e-14L) != 0) {
            // Singular (a neutral mode and no shift): a little shift makes it regular.
            mu_ = std::max<Real>(mu_ * 2, 1e-6L);
            --result_.iterations;
            return Next::Iterate;
        }
        factored_mu_ = shift;
    }
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
    for (int k = 1; k <= model_.object_count; ++k) {
        saved_ax.push_back(model_.objects[k].Ax);
        saved_az.push_back(model_.objects[k].Az);
    }
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
        accepted = after < before || (floor_ > 0 && after < 4 * before);
    }
    ++since_jacobian_;
    if (accepted) {
        failures_ = 0;
        moved_ += std::min(longest, radius_);
        // Broyden's update: the Jacobian made to give this step's change of the velocity,
        // unchanged across it.
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
        const Real ratio = after / before;
        // The shift shrinks as the velocity falls, and at least by half a step: a stiff mode that
        // holds the steps short (a contact) does not hold them for ever. A whole step whose
        // velocity the Jacobian foretold (the update's residual) to MODEL_TRUST of the velocity
        // before it says the motion is near linear here: the shift falls faster.
        const bool foretold = !truncated && std::sqrt(missed) <= MODEL_TRUST * before;
        mu_ *= std::min<Real>(ratio, 0.5L) * (foretold ? FORETOLD_SHIFT_FALL : 1);
        // A step the radius cut short says nothing of the Jacobian: the radius grows.
        if (truncated || ratio < 0.5L)
            radius_ = std::min(2 * radius_, MAX_RADIUS);
        // Whole steps that keep gaining little say the Jacobian has aged. Leaving a saddle the
        // velocity grows for a while: that is no sign of it; nor one step that gained little,
        // which the update may mend.
        if (!truncated && ratio > 0.5L && since_jacobian_ > 3)
            need_jacobian_ = true;
        return Next::Step;
    }
    for (int k = 1; k <= model_.object_count; ++k) {
        model_.objects[k].Ax = saved_ax[k - 1];
        model_.objects[k].Az = saved_az[k - 1];
    }
    evaluate();
    radius_ = std::max(radius_ / 4, MIN_RADIUS);
    mu_ = std::max<Real>(2 * mu_, 1e-3L);
    if (since_jacobian_ > 1)
        need_jacobian_ = true;
    if (++failures_ >= FAILURES_BEFORE_RELAXATION && ++fallbacks_ >= MAX_FALLBACKS) {
        start_relaxing(); // Newton's steps keep failing: the relaxation's, until they have gained
    } else if (failures_ >= FAILURES_BEFORE_RELAXATION) {
        // No step of the model makes progress (a contact, whose force jumps): the relaxation's
        // own steps, then a fresh Jacobian.
        relax(RELAXATION_STEPS, false);
        failures_ = 0;
        radius_ = START_RADIUS;
        need_jacobian_ = true;
    }
    return Next::Step;
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

void Finder::report(EquilibriumEnd end) {
    // Angles beyond the range end the search as they end a relaxation, whatever else ended it
    // (looked at before the angles are brought to the form nearest the start, which would bring
    // them back into the range).
    if (end == EquilibriumEnd::TooLargeAngles || !angles_in_range(model_)) {
        report_too_large_angles(session_.sink());
        end = EquilibriumEnd::TooLargeAngles;
    }
    // The limit reached with spheres of two objects pressed together (or the relaxation's steps
    // taken over for them, bouncing them apart and back): the model's contact force is a fixed
    // push, and no state with them touching is at rest.
    if (end == EquilibriumEnd::IterationLimit &&
        (spheres_touch(model_, CONTACT_REACH) ||
         result_.iterations - last_touch_ <= std::max(CONTACT_RECENT, result_.iterations / 4)))
        end = EquilibriumEnd::Contact;
    // Physically such spheres rest touching, each pair pressed with the force that holds the rest:
    // that state is reported in place of the last bounce (solver/contact_rest.h).
    std::vector<PressedPair> pressed;
    if (end == EquilibriumEnd::Contact) {
        // From the last bounce, else from the last state that pressed them together, else from
        // the start (in a sweep, the rest of the voltage before): the last bounce may have thrown
        // them far apart.
        ContactRest rest = find_contact_rest(session_, settings_.time_step, tolerance_);
        result_.evaluations += rest.evaluations;
        std::vector<Real> end_ax, end_az;
        for (int k = 1; k <= model_.object_count; ++k) {
            end_ax.push_back(model_.objects[k].Ax);
            end_az.push_back(model_.objects[k].Az);
        }
        for (const auto* from : {&touch_ax_, &start_ax_}) {
            if (rest.found || from->size() != end_ax.size())
                continue;
            const std::vector<Real>& az = from == &touch_ax_ ? touch_az_ : start_az_;
            for (int k = 1; k <= model_.object_count; ++k) {
                model_.objects[k].Ax = (*from)[k - 1];
                model_.objects[k].Az = az[k - 1];
            }
            session_.evaluate();
            rest = find_contact_rest(session_, settings_.time_step, tolerance_);
            result_.evaluations += rest.evaluations + 1;
        }
        if (!rest.found) {
            for (int k = 1; k <= model_.object_count; ++k) {
                model_.objects[k].Ax = end_ax[k - 1];
                model_.objects[k].Az = end_az[k - 1];
            }
            session_.evaluate();
        }
        result_.contact_rest = rest.found;
        for (std::size_t k = 0; k < rest.pairs.size(); ++k)
            pressed.push_back({model_.spheres[rest.pairs[k].first].name,
                               model_.spheres[rest.pairs[k].second].name, rest.push[k]});
    }
    keep_nearest_form();
    result_.end = end;
    if (observer_.steps_ended)
        observer_.steps_ended();
    compute_and_report(session_, false);
    // The iterations line describes the state reached, not the one before the last step.
    if (session_.evaluation.belongs_to(model_))
        result_.error = max_object_rotational_force(model_, session_.evaluation);
    report_iterations(session_.sink(), result_.iterations, result_.evaluations, result_.error,
                      result_.relaxation_steps);
    if (end == EquilibriumEnd::Converged) {
        Real chart_residual = 0;
        std::vector<Real> all(static_cast<std::size_t>(2 * chart_.objects));
        if (m_ > 0)
            chart_velocity(chart_, model_, session_.evaluation, all.data(), &chart_residual);
        if (m_ == 0) {
            result_.stability = Stability::Undecided;
            report_no_movable_object(session_.sink());
        } else if (result_.verdict_stopped) {
            result_.stability = Stability::NotComputed;
            report_verdict_stopped(session_.sink());
        } else {
            const Real residual_uN = std::max(result_.error, chart_residual) * 1e6L;
            result_.stability = stability_of(analysis_, residual_uN, settings_.force_error_uN);
            report_stability(session_.sink(), analysis_, residual_uN, settings_.force_error_uN, VERDICT_STEP,
                             true);
        }
        if (result_.escapes > 0)
            report_saddles_left(session_.sink(), result_.escapes);
    } else if (end == EquilibriumEnd::Contact) {
        if (result_.contact_rest)
            report_contact_rest(session_.sink(), pressed);
        else
            report_contact_without_rest(session_.sink());
    } else if (end != EquilibriumEnd::TooLargeAngles) { // that end has said why
        report_no_equilibrium(session_.sink(), end == EquilibriumEnd::Stopped, settings_.max_iterations);
    }
}

} // namespace

int movable_objects(const SystemModel& model) {
    int movable = 0;
    for (int k = 1; k <= model.object_count; ++k)
        movable += model.objects[k].movable() ? 1 : 0;
    return movable;
}

std::string describe_equilibrium_end(const EquilibriumResult& result) {
    switch (result.end) {
    case EquilibriumEnd::Converged:
        return "Equilibrium found in " + std::to_string(result.iterations) + " iterations" +
               (result.verdict_stopped ? "; stopped before its stability was checked" : "");
    case EquilibriumEnd::IterationLimit:
        return "Iteration limit reached";
    case EquilibriumEnd::Stopped:
        return "Stopped";
    case EquilibriumEnd::TooLargeAngles:
        return "Unstable";
    case EquilibriumEnd::NotApplicable:
        return "Equilibrium not searched";
    case EquilibriumEnd::Contact:
        return result.contact_rest ? "At rest with spheres pressed together"
                                   : "Spheres pressed together: no rest state";
    }
    return {};
}

EquilibriumResult find_equilibrium(Session& session, const EquilibriumSettings& settings,
                                   const RunObserver& observer) {
    const Session::CommandScope command(session);
    EquilibriumResult result;
    // Its Jacobian holds the movable objects alone: held ones cost nothing.
    if (const int movable = movable_objects(session.model); movable > MAX_JACOBIAN_OBJECTS) {
        report_equilibrium_not_searched(session.sink(), movable, MAX_JACOBIAN_OBJECTS);
        result.end = EquilibriumEnd::NotApplicable;
        return result;
    }
    report_finding_equilibrium(session.sink());
    if (!(settings.force_error_uN > 0))
        report_impossible_force_error(session.sink());
    if (settings.random_start)
        report_random_error_not_used(session.sink());
    // Each trial's solve starts from the last factor and charges, as a relaxation step's does.
    const WarmStart warm(session.workspace, SolveStart::Warm);
    Finder finder(session, settings, observer, result);
    EquilibriumEnd end;
    {
        // The charge diagnostics of its evaluations are said once each, before its reports.
        const Session::DiagnosticTally tally(session);
        end = finder.run();
    }
    finder.report(end);
    return result;
}

} // namespace ambrel
