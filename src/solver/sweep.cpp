#include "solver/sweep.h"

#include "solver/equilibrium.h"

#include "model/units.h"
#include "text/csv_file.h"
#include "text/number_format.h"
#include "text/numeric_field.h"

#include <array>
#include <cmath>

namespace ambrel {

namespace {

// START + i STEP may pass STOP by this much of a step and still count: the rounding of a
// decimal step (0.1) must not lose the last point.
constexpr Real RANGE_ROUNDING = 1e-9L;

// The angles and speeds of every object: the state a failed point gives back.
using ObjectState = std::array<Real, 4>;

std::vector<ObjectState> save_objects(const SystemModel& model) {
    std::vector<ObjectState> saved(static_cast<std::size_t>(model.object_count) + 1);
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        saved[k] = {o.Ax, o.Az, o.speed_Ax, o.speed_Az};
    }
    return saved;
}

void restore_objects(SystemModel& model, const std::vector<ObjectState>& saved) {
    for (int k = 1; k <= model.object_count; ++k) {
        Object& o = model.objects[k];
        o.Ax = saved[k][0];
        o.Az = saved[k][1];
        o.speed_Ax = saved[k][2];
        o.speed_Az = saved[k][3];
    }
}

// The columns of a sweep of `conductor`: the movable objects and the conductors of the model.
SweepResult sweep_columns(const SystemModel& model, int conductor) {
    SweepResult result;
    result.conductor = conductor;
    result.conductor_name = model.conductors[conductor].name;
    for (int k = 1; k <= model.object_count; ++k) {
        const Object& o = model.objects[k];
        if (!o.movable())
            continue;
        const std::string index = o.composite() ? std::to_string(o.first) + "-" + std::to_string(o.last())
                                                : std::to_string(o.first);
        result.objects.push_back(k);
        result.object_indices.push_back(index);
        result.object_names.push_back(model.spheres[o.first].name);
    }
    for (int c = 1; c <= model.conductor_count; ++c)
        result.conductor_names.push_back(model.conductors[c].name);
    return result;
}

SweepPoint make_point(const SystemModel& model, const Evaluation& ev, const SweepResult& columns,
                      Real voltage, const RelaxationResult& run) {
    SweepPoint point;
    point.voltage = voltage;
    for (const int k : columns.objects) {
        point.Ax.push_back(model.objects[k].Ax);
        point.Az.push_back(model.objects[k].Az);
    }
    point.charges.assign(static_cast<std::size_t>(model.conductor_count), 0);
    for (int i = 1; i <= model.sphere_count; ++i) {
        const int c = model.spheres[i].conductor;
        if (c >= 1 && c <= model.conductor_count)
            point.charges[static_cast<std::size_t>(c - 1)] += ev.Q[i];
    }
    point.capacitance = ev.total_capacitance;
    point.steps = run.steps;
    if (run.end == RunEnd::TooLargeAngles)
        point.end = PointEnd::TooLargeAngles;
    else if (ev.diagnostics.singular_pivot > 0)
        point.end = PointEnd::SingularMatrix;
    else if (run.end == RunEnd::Converged)
        point.end = PointEnd::Converged;
    else
        point.end = PointEnd::StepLimit;
    return point;
}

std::string unknown_conductor_message(const SystemModel& model, const std::string& name) {
    std::string message = "unknown conductor '" + name + "'";
    if (model.conductor_count == 0)
        return message + ": the description has no conductor";
    message += " (the conductors are:";
    for (int c = 1; c <= model.conductor_count; ++c)
        message += (c > 1 ? ", " : " ") + model.conductors[c].name;
    return message + ")";
}

// Numbers of the table: -0 is written as 0.
std::string number_text(Real value) {
    return format_shortest(value == 0 ? Real(0) : value);
}

} // namespace

Real SweepPoint::deflection(std::size_t k) const {
    return std::acos(std::cos(Az[k]));
}

Result<int> sweep_point_count(const SweepRange& range) {
    if (range.step == 0)
        return Result<int>::failure("STEP must not be 0");
    if (range.start == range.stop)
        return 1;
    const Real steps = (range.stop - range.start) / range.step;
    if (steps < 0)
        return Result<int>::failure("a STEP of " + format_g(range.step) + " goes from START " +
                                    format_g(range.start) + " away from STOP " + format_g(range.stop));
    const Real count = std::floor(steps + RANGE_ROUNDING) + 1;
    if (!(count <= MAX_SWEEP_POINTS))
        return Result<int>::failure("the range has " + format_g(count) + " points; a sweep has at most " +
                                    std::to_string(MAX_SWEEP_POINTS));
    return static_cast<int>(count);
}

Result<SweepRange> parse_sweep_range(std::string_view text) {
    std::array<std::string_view, 3> parts;
    std::size_t from = 0;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::size_t colon = text.find(':', from);
        if ((colon == std::string_view::npos) != (k == parts.size() - 1))
            return Result<SweepRange>::failure("the range needs START:STOP:STEP, not '" + std::string(text) +
                                               "'");
        parts[k] = text.substr(from, colon == std::string_view::npos ? std::string_view::npos : colon - from);
        from = colon + 1;
    }
    const char* names[] = {"START", "STOP", "STEP"};
    Real values[3] = {};
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const auto value = parse_field_real(parts[k]);
        if (!value)
            return Result<SweepRange>::failure(std::string(names[k]) + " '" + std::string(parts[k]) +
                                               "' is not a valid number");
        values[k] = *value;
    }
    const SweepRange range{values[0], values[1], values[2]};
    if (const Result<int> count = sweep_point_count(range); !count)
        return count.status();
    return range;
}

Result<SweepRequest> parse_sweep_request(std::string_view text) {
    const std::size_t eq = text.rfind('=');
    if (eq == std::string_view::npos || eq == 0)
        return Result<SweepRequest>::failure("CONDUCTOR=START:STOP:STEP is needed, not '" +
                                             std::string(text) + "'");
    const Result<SweepRange> range = parse_sweep_range(text.substr(eq + 1));
    if (!range)
        return range.status();
    return SweepRequest{std::string(text.substr(0, eq)), *range};
}

void set_sweep_voltage(SystemModel& model, int conductor, Real voltage) {
    // As a .V line: an isolated conductor is held at the voltage from now on.
    model.conductors[conductor].V = voltage;
    model.conductors[conductor].isolated = false;
}

std::string_view point_end_word(PointEnd end) {
    switch (end) {
    case PointEnd::Converged:
        break;
    case PointEnd::StepLimit:
        return "step-limit";
    case PointEnd::TooLargeAngles:
        return "too-large-angles";
    case PointEnd::SingularMatrix:
        return "singular-matrix";
    }
    return "converged";
}

Result<SweepResult> run_sweep(Session& session, const SweepRequest& request,
                              const RelaxationSettings& settings, const SweepObserver& observer) {
    const Session::CommandScope command(session);
    SystemModel& model = session.model;
    if (!session.system_initialized)
        return Result<SweepResult>::failure("the system must be initialised before a sweep");
    const Result<int> counted = sweep_point_count(request.range);
    if (!counted)
        return counted.status();
    const int conductor = model.find_conductor(request.conductor);
    if (conductor == 0)
        return Result<SweepResult>::failure(unknown_conductor_message(model, request.conductor));

    const int count = *counted;
    SweepResult result = sweep_columns(model, conductor);
    result.planned = count;
    if (observer.began)
        observer.began(result);

    std::vector<ObjectState> good = save_objects(model);
    const std::string of = " of " + std::to_string(count) + ": " + result.conductor_name + " at ";
    for (int i = 0; i < count; ++i) {
        if (session.stop_requested()) {
            result.stopped = true;
            break;
        }
        const Real voltage = sweep_voltage(request.range, i);
        if (observer.point_started)
            observer.point_started(i, count, voltage);
        session.add_output_line("Sweep point " + std::to_string(i + 1) + of + format_g(voltage) + " V");
        set_sweep_voltage(model, conductor, voltage);
        // The run's first step moves by the forces at the new voltage.
        session.evaluate([&] {
            if (observer.run.after_positions)
                observer.run.after_positions(session.model, session.evaluation);
        });

        // A run the host's Stop ended gives no point; a Stop that comes after its steps (during
        // its final reports) ends the sweep after this point. Find equilibrium's iterations count
        // as the point's steps.
        RelaxationResult run;
        if (request.method == SweepMethod::Equilibrium) {
            const EquilibriumResult found =
                find_equilibrium(session, {}, equilibrium_settings(settings), observer.run);
            run.steps = found.iterations;
            run.error = found.error;
            run.end = found.end == EquilibriumEnd::Converged        ? RunEnd::Converged
                      : found.end == EquilibriumEnd::Stopped        ? RunEnd::Stopped
                      : found.end == EquilibriumEnd::TooLargeAngles ? RunEnd::TooLargeAngles
                                                                    : RunEnd::StepLimit;
        } else {
            run = run_calculate(session, {}, settings, observer.run);
        }
        if (run.end == RunEnd::Stopped) {
            result.stopped = true;
            break;
        }

        SweepPoint point = make_point(model, session.evaluation, result, voltage, run);
        if (point.usable()) {
            good = save_objects(model);
        } else {
            restore_objects(model, good);
            session.evaluate();
        }
        result.points.push_back(std::move(point));
        if (observer.point_done)
            observer.point_done(result.points.back(), static_cast<int>(result.points.size()), count);
    }
    session.add_output_line(result.stopped ? "Sweep stopped after " + std::to_string(result.points.size()) +
                                                 " of " + std::to_string(count) + " points"
                                           : "Sweep done: " + std::to_string(count) + " points");
    return result;
}

// ---------------------------------------------------------------- the CSV table

std::string sweep_object_label(const SweepResult& result, std::size_t k) {
    return "[" + result.object_indices[k] + "] " + result.object_names[k];
}

std::vector<std::string> sweep_column_names(const SweepResult& result) {
    std::vector<std::string> names;
    names.push_back("V " + result.conductor_name + " (V)");
    for (std::size_t k = 0; k < result.objects.size(); ++k) {
        const std::string& name = result.object_names[k];
        names.push_back("Ax[" + result.object_indices[k] + "] " + name + " (deg)");
        names.push_back("Az[" + result.object_indices[k] + "] " + name + " (deg)");
    }
    for (const std::string& conductor : result.conductor_names)
        names.push_back("Q " + conductor + " (nC)");
    names.push_back("Total capacitance (pF)");
    names.push_back("Steps");
    names.push_back("Converged");
    names.push_back("End");
    return names;
}

std::vector<std::string> sweep_row(const SweepResult& result, const SweepPoint& point) {
    std::vector<std::string> row;
    row.push_back(number_text(point.voltage));
    for (std::size_t k = 0; k < result.objects.size(); ++k) {
        row.push_back(number_text(rad_to_deg(point.Ax[k])));
        row.push_back(number_text(rad_to_deg(point.Az[k])));
    }
    for (const Real q : point.charges)
        row.push_back(number_text(q * 1e9L));
    row.push_back(number_text(point.capacitance * 1e12L));
    row.push_back(std::to_string(point.steps));
    row.push_back(point.converged() ? "1" : "0");
    row.emplace_back(point_end_word(point.end));
    return row;
}

std::string csv_line(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0)
            line += ',';
        line += csv_field(fields[k]);
    }
    line += '\n';
    return line;
}

std::string sweep_csv(const SweepResult& result) {
    std::string text = csv_line(sweep_column_names(result));
    for (const SweepPoint& point : result.points)
        text += csv_line(sweep_row(result, point));
    return text;
}

Status write_sweep_csv(const std::string& path, const SweepResult& result) {
    return write_file_replacing(path, sweep_csv(result));
}

} // namespace ambrel
