// A voltage sweep: the calibration curve of an electroscope, deflection against voltage. One
// conductor's voltage takes the values START + i STEP in turn and a Calculate run (the relaxation
// of solver/relaxation.h, with the settings given) finds the equilibrium at each; each run starts
// from the angles the one before left (the description is not read again between the points).
//
// Each point keeps the voltage, the angles of every movable object, the charge of every
// conductor, the total capacitance, the steps of its run and how the run ended. A point that
// does not converge is marked and the sweep goes on:
//   step-limit        the run reached its step limit; the next point starts from where it ended
//   too-large-angles  the run diverged ("Too large angles"), and
//   singular-matrix   the elastance matrix of its last state could not be inverted: the point
//                     keeps the values of the state the run ended in, then the angles (and the
//                     speeds of the time-domain law) of the last point that ended otherwise, or
//                     of the state before the sweep, are put back and evaluated at the point's
//                     voltage, so the next point starts from a sane state.
// Stop (the session's stop_requested) ends the sweep: a point whose run was stopped is not kept.
// The sweep leaves the system as its last point left it: the conductor at the last voltage
// swept, the angles of that point's equilibrium (or of the state put back after a failed point;
// after Stop, the angles the stopped run reached).
#pragma once

#include "model/status.h"
#include "session/session.h"
#include "solver/relaxation.h"
#include "solver/run_observer.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// A sweep has at most this many points.
inline constexpr int MAX_SWEEP_POINTS = 100000;

// The voltages START + i STEP (V), computed from i each time, never accumulated.
struct SweepRange {
    Real start = 0;
    Real stop = 0;
    Real step = 0;
};

// How each point reaches its equilibrium: the relaxation of Calculate, or Find equilibrium.
enum class SweepMethod { Calculate, Equilibrium };

// What to sweep: a conductor by its name and the range of its voltage.
struct SweepRequest {
    std::string conductor;
    SweepRange range;
    SweepMethod method = SweepMethod::Calculate;
};

// "START:STOP:STEP", three numbers as the numeric fields read them (parse_field_real), checked
// by sweep_point_count; the message names what is wrong.
Result<SweepRange> parse_sweep_range(std::string_view text);
// "CONDUCTOR=START:STOP:STEP"; the name is the text before the last "=".
Result<SweepRequest> parse_sweep_request(std::string_view text);

// The number of points: i = 0, 1, ... while START + i STEP has not passed STOP by more than a
// rounding error (1e-9 of a step), so 0:12000:1000 gives 13 points. START == STOP gives one
// point. A STEP of 0, a STEP that goes away from STOP, or more than MAX_SWEEP_POINTS points
// are errors.
Result<int> sweep_point_count(const SweepRange& range);
inline Real sweep_voltage(const SweepRange& range, int i) {
    return range.start + static_cast<Real>(i) * range.step;
}

// Holds conductor `conductor` at `voltage` for the next evaluation: the one place where a sweep
// sets a voltage.
void set_sweep_voltage(SystemModel& model, int conductor, Real voltage);

// How the run of a point ended.
enum class PointEnd { Converged, StepLimit, TooLargeAngles, SingularMatrix };
// "converged", "step-limit", "too-large-angles", "singular-matrix".
std::string_view point_end_word(PointEnd end);

// One point of a sweep, in SI units.
struct SweepPoint {
    Real voltage = 0;          // V, of the conductor swept
    std::vector<Real> Ax, Az;  // rad, one per movable object of SweepResult::objects
    std::vector<Real> charges; // C, per conductor 1..n at index 0..n-1: the sum of its spheres' Q
    Real capacitance = 0;      // total capacitance, F
    int steps = 0;             // steps of the point's run (iterations of Find equilibrium)
    PointEnd end = PointEnd::Converged;

    bool converged() const { return end == PointEnd::Converged; }
    // The angle between the string of object k and the vertical, 0 to pi: Az as the electroscope
    // reads it (Az and -Az with Ax turned by pi, or Az and Az + 2 pi, are the same string).
    Real deflection(std::size_t k) const;
    // The run ended in a state that belongs on a calibration curve (converged, or on its way).
    bool usable() const { return end == PointEnd::Converged || end == PointEnd::StepLimit; }
};

struct SweepResult {
    int conductor = 0; // the conductor swept
    std::string conductor_name;
    std::vector<int> objects;                 // the movable objects, by number, in table order
    std::vector<std::string> object_indices;  // "1", or "1-5" for a composite object, as the reports
    std::vector<std::string> object_names;    // the name of each one's first sphere
    std::vector<std::string> conductor_names; // conductors 1..n
    std::vector<SweepPoint> points;           // in the order of the range
    int planned = 0;                          // points of the range
    bool stopped = false;                     // Stop ended the sweep before its last point
};

struct SweepObserver {
    // Handed to every point's run (step_done, after_positions, steps_ended).
    RunObserver run;
    // The columns are known (no point yet).
    std::function<void(const SweepResult& columns)> began;
    // Point `index` (from 0) of `count` starts at `voltage`.
    std::function<void(int index, int count, Real voltage)> point_started;
    // A point has ended: `done` points of `count` are kept.
    std::function<void(const SweepPoint& point, int done, int count)> point_done;
};

// "[1] ball1": movable object k (0-based in SweepResult::objects) as the window names it.
std::string sweep_object_label(const SweepResult& result, std::size_t k);

// Runs the sweep on an initialised session. Fails (nothing run) when the system is not
// initialised, the conductor is unknown or the range is wrong.
Result<SweepResult> run_sweep(Session& session, const SweepRequest& request,
                              const RelaxationSettings& settings, const SweepObserver& observer = {});

// ---------------------------------------------------------------- the CSV table
//
// A header row, then a row per point, fields separated by commas, lines ended by LF; a field
// holding a comma, a quote, a blank or a line end is quoted with its quotes doubled (RFC 4180, as
// csv_field of text/csv_file.h does for every table of the program). Numbers
// are written with "." whatever the locale, in the shortest form that reads back as the same
// extended value (format_shortest). The columns:
//   V <conductor> (V)        the voltage of the point
//   Ax[<i>] <name> (deg)     for each movable object, in table order: <i> its number as the
//   Az[<i>] <name> (deg)     reports write it ("1", or "1-5" for a composite), <name> its first
//                            sphere's name; Az is the deflection from the vertical
//   Q <conductor> (nC)       for each conductor: the sum of its spheres' charges
//   Total capacitance (pF)
//   Steps                    the steps of the point's run
//   Converged                1 or 0
//   End                      point_end_word of the point
std::vector<std::string> sweep_column_names(const SweepResult& result);
std::vector<std::string> sweep_row(const SweepResult& result, const SweepPoint& point);
// One CSV line with its LF, each field through csv_field.
std::string csv_line(const std::vector<std::string>& fields);
// The whole table.
std::string sweep_csv(const SweepResult& result);
// Writes the table beside `path` and renames it over `path` (write_file_replacing), so a failure
// leaves no half-written file in its place; the message names the file and the reason.
Status write_sweep_csv(const std::string& path, const SweepResult& result);

} // namespace ambrel
