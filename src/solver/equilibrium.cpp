#include "solver/equilibrium.h"

#include "model/units.h"
#include "physics/dense_solver.h"
#include "physics/evaluation.h"
#include "solver/eigenvalues.h"
#include "solver/relaxation.h"
#include "solver/stability.h"
#include "text/number_format.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ambrel {

namespace {

// The largest change of a coordinate in one step (rad, or string lengths), and the range of the
// trust radius.
constexpr Real START_RADIUS = 0.2L;
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
// A state at rest that the stability analysis finds unstable is left by this step (in the chart's
// coordinates) along its unstable mode. The analysis takes the Jacobian's default step.
constexpr Real ESCAPE_STEP = 0.1L;
constexpr Real ESCAPE_THRESHOLD = 1e-3L;
constexpr Real VERDICT_STEP = 1e-4L;
// The finder's Jacobians take the perturbed evaluations from the base state's factor from this
// many spheres on (the Jacobian command from WARM_START_MIN_SIZE, as its printed digits always had).
constexpr int PERTURBED_MIN_SPHERES = 2;
// The first shift, as a fraction of the stiffness along the first velocity.
constexpr Real START_SHIFT = 1;
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

// The chart's coordinates of the movable objects, by index into chart.used_slots.
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

// The angles of the movable objects from the chart's coordinates.
void set_chart_coordinates(const StabilityChart& chart, SystemModel& model, const std::vector<Real>& c) {
    std::size_t at = 0;
    for (int k = 1; k <= chart.objects; ++k) {
        if (chart.kind[k] == ChartKind::Fixed)
            continue;
        Object& o = model.objects[k];
        const Real across = c[at++], along = c[at++];
        if (chart.kind[k] == ChartKind::Horizontal) {
            const Real r = std::min<Real>(std::hypot(along, across), 1);
            o.Ax = chart.ax0[k] + (r > 0 ? std::atan2(across, along) : 0);
            o.Az = std::cos(chart.az0[k]) >= 0 ? std::asin(r) : std::numbers::pi_v<Real> - std::asin(r);
        } else {
            o.Ax = across;
            o.Az = along;
        }
    }
}

// The chart's velocities of the movable objects, by index into chart.used_slots.
std::vector<Real> chart_velocities(const StabilityChart& chart, const SystemModel& model,
                                   const Evaluation& ev) {
    std::vector<Real> all(static_cast<std::size_t>(2 * chart.objects));
    chart_velocity(chart, model, ev, all.data());
    std::vector<Real> v;
    for (const int slot : chart.used_slots)
        v.push_back(all[slot]);
    return v;
}

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
    return settings;
}

EquilibriumResult find_equilibrium(Session& session, const std::vector<std::string>& description,
                                   const EquilibriumSettings& settings, const RunObserver& observer) {
    const Session::CommandScope command(session);
    EquilibriumResult result;
    if (!session.system_initialized) {
        result.initialize_result = initialize_system(session, description);
        result.initialized = true;
        if (observer.initialized)
            observer.initialized(result.initialize_result);
    }
    SystemModel& model = session.model;
    if (model.object_count > MAX_JACOBIAN_OBJECTS) {
        session.add_output_line("Equilibrium not searched: " + std::to_string(model.object_count) +
                                " objects are more than the " + std::to_string(MAX_JACOBIAN_OBJECTS) +
                                " its Jacobian can hold.");
        result.end = EquilibriumEnd::NotApplicable;
        return result;
    }
    session.add_output_line("Finding the equilibrium...");
    const Options& options = session.switches();
    const Real tolerance = settings.force_error_uN * 1e-6L;
    const Real h = settings.angle_variation;
    // Each trial's solve starts from the last factor and charges, as a relaxation step's does.
    const WarmStart warm(session.workspace, SolveStart::Warm);
    auto evaluate = [&] {
        session.evaluate([&] {
            if (observer.after_positions)
                observer.after_positions(session.model, session.evaluation);
        });
        ++result.evaluations;
    };
    if (!session.evaluation.belongs_to(model))
        evaluate();
    std::vector<Real> start_ax;
    for (int k = 1; k <= model.object_count; ++k)
        start_ax.push_back(model.objects[k].Ax);

    StabilityChart chart;
    DoubleLu lu; // J - mu I
    std::vector<Real> jacobian;
    int m = 0;
    Real mu = 0, floor = 0, radius = START_RADIUS, factored_mu = -1;
    bool need_jacobian = true, verifying = false, verified = false;
    StabilityAnalysis analysis; // of the state at rest, once verified
    // An analysis near rest (below NEAR_REST times the tolerance) holds for the rest state that
    // Newton's steps from it reach, as long as they go no farther than its own step to rest.
    bool near_analysis = false, near_tried = false;
    Real near_reach = 0, moved = 0;
    int failures = 0, since_jacobian = 0, contact_relaxations = 0, fallbacks = 0;
    bool relaxing = false; // the rest of the way by relaxation steps
    Real best = std::numeric_limits<Real>::infinity();
    int stalled = 0;
    EquilibriumEnd end = EquilibriumEnd::IterationLimit;
    for (;;) {
        result.error = max_rotational_force(model, session.evaluation);
        if (result.error < tolerance) {
            // At rest: a fresh Jacobian tells a stable state from a saddle, which is left along
            // its unstable mode.
            if (verified ||
                (near_analysis && analysis.verdict == StabilityVerdict::Stable && moved <= near_reach)) {
                end = EquilibriumEnd::Converged;
                break;
            }
            verifying = true;
            need_jacobian = true;
        } else if (!relaxing && !verifying) {
            if (result.error < 0.99L * best) {
                best = result.error;
                stalled = 0;
            } else if (++stalled >= MAX_STALLED) {
                relaxing = true;
                need_jacobian = false;
            }
        }
        if (result.error >= tolerance && result.error < NEAR_REST * tolerance && !near_tried && !relaxing) {
            near_tried = true;
            verifying = true;
            need_jacobian = true;
        }
        if (result.iterations >= settings.max_iterations)
            break;
        if (session.stop_requested()) {
            end = EquilibriumEnd::Stopped;
            break;
        }
        ++result.iterations;
        if (relaxing && !need_jacobian) {
            // One relaxation step an iteration, as Calculate takes them.
            relaxation_step(model, session.evaluation, settings.time_step);
            evaluate();
            ++result.relaxation_steps;
            near_analysis = false;
            if (!angles_in_range(model))
                break;
            if (observer.step_done)
                observer.step_done(result.iterations, max_rotational_force(model, session.evaluation));
            continue;
        }
        if (need_jacobian) {
            chart = make_stability_chart(model, options, settings.time_step);
            m = static_cast<int>(chart.used_slots.size());
            if (m == 0) {
                // Nothing moves: the forces are what they are.
                end = EquilibriumEnd::IterationLimit;
                break;
            }
            // At rest the Jacobian is also taken at h/2: the stability analysis of the state.
            std::vector<ChartStep> steps;
            for (ChartStep step : plan_chart_steps(chart, verifying ? VERDICT_STEP : h))
                if (step.set == 0 || (verifying && step.set == 1)) {
                    step.printed_column = 0;
                    steps.push_back(step);
                }
            ChartJacobians charts(chart, [&] {
                std::vector<Real> all(static_cast<std::size_t>(2 * chart.objects));
                chart_velocity(chart, model, session.evaluation, all.data());
                return all;
            }());
            const ChartStepsRun run = evaluate_chart_steps(
                session, chart, steps,
                [&](const ChartStep& step, const SystemModel& perturbed, const Evaluation& ev) {
                    std::vector<Real> velocity(static_cast<std::size_t>(2 * chart.objects));
                    chart_velocity(chart, perturbed, ev, velocity.data());
                    charts.record(step, velocity.data());
                },
                {}, PERTURBED_MIN_SPHERES);
            result.evaluations += static_cast<int>(steps.size());
            if (run.stopped) {
                end = EquilibriumEnd::Stopped;
                break;
            }
            charts.finish(steps);
            jacobian = charts.at(0);
            ++result.jacobians;
            // Along a mode with a positive eigenvalue the motion leaves the state; a step of
            // (mu I - J)^-1 v goes the same way when mu is above that eigenvalue.
            Real largest = 0, stiffest = 0;
            const bool at_rest = result.error < tolerance;
            near_analysis = false;
            if (verifying) {
                const Real relative =
                    run.parallel > 0 ? PERTURBED_EVALUATION_ROUNDING : FULL_EVALUATION_ROUNDING;
                analysis = analyse_stability(
                    charts, rounding_noise(chart, model, session.evaluation, steps, relative), true, true);
                jacobian = analysis.matrix;
                for (const EigenvalueWithError& e : analysis.values) {
                    largest = std::max(largest, e.value.real());
                    stiffest = std::max(stiffest, std::abs(e.value));
                }
            } else if (m <= SHIFT_EIGENVALUES_MAX_SIZE) {
                if (const auto values = eigenvalues(jacobian, m, true))
                    for (const Complex& z : *values) {
                        largest = std::max(largest, z.real());
                        stiffest = std::max(stiffest, std::abs(z));
                    }
            }
            floor = largest > 0 ? 2 * largest + 1e-3L * stiffest : 0;
            if (verifying) {
                verifying = false;
                // A mode that is neutral at rest (a free turn about the vertical) comes out a
                // little unstable from a state that is at rest only to the tolerance: a saddle's
                // unstable mode is as stiff as the others.
                const bool saddle = analysis.computed && analysis.verdict == StabilityVerdict::Unstable &&
                                    largest > ESCAPE_THRESHOLD * stiffest;
                if (at_rest && !saddle) {
                    verified = true;
                    --result.iterations;
                    continue;
                }
                if (!saddle) {
                    // Near rest: the steps go on with this Jacobian, and its analysis holds for
                    // the rest state within twice its own step there.
                    near_analysis = analysis.computed;
                    moved = 0;
                    near_reach = 0;
                    if (near_analysis && stiffest > 0 && !analysis.values.empty())
                        near_reach = 2 * analysis.values.front().off_rest / (4 * stiffest);
                } else {
                    // The unstable mode by inverse iteration with a shift just above its eigenvalue.
                    DoubleLu shifted;
                    std::vector<Real> x(static_cast<std::size_t>(m), 1);
                    if (shifted.factor(m, jacobian.data(), largest * (1 + 1e-6L), 0) == 0)
                        for (int pass = 0; pass < 3; ++pass) {
                            shifted.solve(x.data());
                            Real big = 0;
                            for (const Real e : x)
                                big = std::max(big, std::fabs(e));
                            for (Real& e : x)
                                e /= big;
                        }
                    std::vector<Real> c = chart_coordinates(chart, model);
                    for (int i = 0; i < m; ++i)
                        c[i] += ESCAPE_STEP * x[i];
                    set_chart_coordinates(chart, model, c);
                    evaluate();
                    ++result.escapes;
                    mu = floor;
                    need_jacobian = false;
                    factored_mu = -1;
                    since_jacobian = 0;
                    near_tried = false; // a new way to a new rest state
                    best = std::numeric_limits<Real>::infinity();
                    stalled = 0;
                    continue;
                }
            }
            // The first steps follow the motion (a shift as large as the stiffest mode), and the
            // shift falls with the velocity: Newton's steps near the rest state, not from afar,
            // where they may lead to a saddle.
            if (result.jacobians == 1) {
                // The stiffness along the velocity (v'Jv / v'v): a stiff mode the motion does not
                // touch (a contact) does not shorten the first steps.
                const std::vector<Real> v = chart_velocities(chart, model, session.evaluation);
                Real vv = 0, vjv = 0;
                for (int i = 0; i < m; ++i) {
                    vv += v[i] * v[i];
                    for (int j = 0; j < m; ++j)
                        vjv += v[i] * jacobian[static_cast<std::size_t>(i) * m + j] * v[j];
                }
                mu = std::max(floor, START_SHIFT * (vv > 0 ? std::fabs(vjv) / vv : stiffest));
            }
            // A stiffness far above that of any pendulum here is a contact, whose force is a step
            // within the differences: relaxation steps separate the spheres first.
            Real pendulum = 0;
            for (int k = 1; k <= model.object_count; ++k)
                if (model.objects[k].L != 0)
                    pendulum = std::max(pendulum, settings.time_step * GRAVITY / (2 * model.objects[k].L));
            if (std::max(mu, floor) > CONTACT_STIFFNESS * pendulum && !verifying &&
                contact_relaxations >= MAX_CONTACT_RELAXATIONS) {
                // The spheres stay in contact: the rest of the way is the relaxation's.
                relaxing = true;
                need_jacobian = false;
                --result.iterations;
                continue;
            }
            if (std::max(mu, floor) > CONTACT_STIFFNESS * pendulum && !verifying &&
                contact_relaxations < MAX_CONTACT_RELAXATIONS) {
                ++contact_relaxations;
                for (int step = 0; step < RELAXATION_STEPS; ++step) {
                    relaxation_step(model, session.evaluation, settings.time_step);
                    evaluate();
                    ++result.relaxation_steps;
                    if (max_rotational_force(model, session.evaluation) < tolerance)
                        break;
                }
                need_jacobian = true;
                mu = 0;
                continue;
            }
            need_jacobian = false;
            factored_mu = -1;
            since_jacobian = 0;
        }
        const Real shift = std::max(mu, floor);
        if (shift != factored_mu) {
            if (lu.factor(m, jacobian.data(), shift, 1e-14L) != 0) {
                // Singular (a neutral mode and no shift): a little shift makes it regular.
                mu = std::max<Real>(mu * 2, 1e-6L);
                --result.iterations;
                continue;
            }
            factored_mu = shift;
        }
        const std::vector<Real> v = chart_velocities(chart, model, session.evaluation);
        const Real before = norm(v);
        // (mu I - J) d = v
        std::vector<Real> d = v;
        for (Real& x : d)
            x = -x;
        lu.solve(d.data());
        Real longest = 0;
        for (const Real x : d)
            longest = std::max(longest, std::fabs(x));
        const bool truncated = longest > radius;
        if (truncated)
            for (Real& x : d)
                x *= radius / longest;
        std::vector<Real> c = chart_coordinates(chart, model);
        for (int i = 0; i < m; ++i)
            c[i] += d[i];
        std::vector<Real> saved_ax, saved_az;
        for (int k = 1; k <= model.object_count; ++k) {
            saved_ax.push_back(model.objects[k].Ax);
            saved_az.push_back(model.objects[k].Az);
        }
        set_chart_coordinates(chart, model, c);
        bool accepted = false;
        Real after = 0;
        std::vector<Real> v_after;
        if (angles_in_range(model)) {
            evaluate();
            v_after = chart_velocities(chart, model, session.evaluation);
            after = norm(v_after);
            // Away from a saddle the velocity first grows: such a step is taken while it does
            // not grow too much.
            accepted = after < before || (floor > 0 && after < 4 * before);
        }
        ++since_jacobian;
        if (accepted) {
            failures = 0;
            moved += std::min(longest, radius);
            // Broyden's update: the Jacobian made to give this step's change of the velocity,
            // unchanged across it.
            Real dd = 0;
            for (const Real x : d)
                dd += x * x;
            if (dd > 0) {
                for (int i = 0; i < m; ++i) {
                    Real r = v_after[i] - v[i];
                    for (int j = 0; j < m; ++j)
                        r -= jacobian[static_cast<std::size_t>(i) * m + j] * d[j];
                    for (int j = 0; j < m; ++j)
                        jacobian[static_cast<std::size_t>(i) * m + j] += r * d[j] / dd;
                }
                factored_mu = -1;
            }
            const Real ratio = after / before;
            // The shift shrinks as the velocity falls, and at least by half a step: a stiff mode
            // that holds the steps short (a contact) does not hold them for ever.
            mu *= std::min<Real>(ratio, 0.5L);
            // A step the radius cut short says nothing of the Jacobian: the radius grows. A whole
            // step that gained little says the Jacobian has aged.
            if (truncated || ratio < 0.5L)
                radius = std::min(2 * radius, MAX_RADIUS);
            // Leaving a saddle the velocity grows for a while: that is no sign of an aged Jacobian;
            // nor one step that gained little, which the update may mend.
            if (!truncated && ratio > 0.5L && since_jacobian > 3)
                need_jacobian = true;
        } else {
            for (int k = 1; k <= model.object_count; ++k) {
                model.objects[k].Ax = saved_ax[k - 1];
                model.objects[k].Az = saved_az[k - 1];
            }
            evaluate();
            radius = std::max(radius / 4, MIN_RADIUS);
            mu = std::max<Real>(2 * mu, 1e-3L);
            if (since_jacobian > 1)
                need_jacobian = true;
            if (++failures >= FAILURES_BEFORE_RELAXATION && ++fallbacks >= MAX_FALLBACKS) {
                relaxing = true; // Newton's steps keep failing: the relaxation's, to the end
            } else if (failures >= FAILURES_BEFORE_RELAXATION) {
                // No step of the model makes progress (a contact, whose force jumps): the
                // relaxation's own steps, then a fresh Jacobian.
                for (int s = 0; s < RELAXATION_STEPS; ++s) {
                    relaxation_step(model, session.evaluation, settings.time_step);
                    evaluate();
                    ++result.relaxation_steps;
                }
                failures = 0;
                radius = START_RADIUS;
                need_jacobian = true;
            }
        }
        if (observer.step_done)
            observer.step_done(result.iterations, max_rotational_force(model, session.evaluation));
    }
    // The chart's coordinates give each string's angles in a form of their own ((Ax + pi, -Az) is
    // the same string, and whole turns of Ax change nothing): the form nearest the start is kept,
    // as the relaxation's continuous path would have it.
    for (int k = 1; k <= model.object_count; ++k) {
        Object& o = model.objects[k];
        if (o.L == 0 || !std::isfinite(o.Ax) || !std::isfinite(o.Az))
            continue;
        const Real ax0 = start_ax[k - 1], turn = 2 * std::numbers::pi_v<Real>;
        const bool ball_like = !(o.composite() && options[Option::RotateObjects]);
        if (ball_like && std::fabs(std::remainder(o.Ax + std::numbers::pi_v<Real> - ax0, turn)) <
                             std::fabs(std::remainder(o.Ax - ax0, turn))) {
            o.Ax += std::numbers::pi_v<Real>;
            o.Az = -o.Az;
        }
        o.Ax = ax0 + std::remainder(o.Ax - ax0, turn);
    }
    if (!angles_in_range(model)) {
        session.add_output_line("Too large angles. The system may be unstable");
        end = EquilibriumEnd::TooLargeAngles;
    }
    result.end = end;
    if (observer.steps_ended)
        observer.steps_ended();
    compute_and_report(session, false);
    session.add_output_line(
        "Iterations=" + std::to_string(result.iterations) +
        ", evaluations=" + std::to_string(result.evaluations) +
        ", largest rotational force=" + real_to_fixed_text(result.error * 1e6L, 0, 6) + " uN" +
        (result.relaxation_steps > 0 ? ", relaxation steps=" + std::to_string(result.relaxation_steps) : ""));
    if (end == EquilibriumEnd::Converged) {
        Real chart_residual = 0;
        std::vector<Real> all(static_cast<std::size_t>(2 * chart.objects));
        if (m > 0)
            chart_velocity(chart, model, session.evaluation, all.data(), &chart_residual);
        result.stability =
            m == 0 ? Stability::Undecided
                   : report_stability(session.sink(), analysis, std::max(result.error, chart_residual) * 1e6L,
                                      settings.force_error_uN, VERDICT_STEP, true);
    } else {
        session.add_output_line(end == EquilibriumEnd::Stopped
                                    ? "Stopped before an equilibrium was found."
                                    : "No equilibrium found within " +
                                          std::to_string(settings.max_iterations) + " iterations.");
    }
    return result;
}

} // namespace ambrel
