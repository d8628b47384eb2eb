// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The points of a voltage sweep, in SI units. Plain data: the sweep fills it (solver/sweep.h), the
// table writes it (report/sweep_table.h).
#pragma once

#include "model/system_model.h"
#include "model/types.h"
#include "results/run_end.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ambrel {

// An object's number as the reports write it: "1", or "1-5" for a composite object.
inline std::string sweep_object_index(const Object& object) {
    return object.composite() ? std::to_string(object.first) + "-" + std::to_string(object.last())
                              : std::to_string(object.first);
}

// One point of a sweep, in SI units.
struct SweepPoint {
    Real voltage = 0;               // V, of the conductor swept
    std::vector<Real> Ax, Az;       // rad, one per movable object of SweepResult::objects
    std::vector<Real> charges;      // C, per conductor 1..n at index 0..n-1: the sum of its spheres' Q
    Real capacitance = 0;           // total capacitance, F
    int steps = 0;                  // steps of the point's run (iterations of Find equilibrium)
    Real error = 0;                 // largest rotational force at the run's end, N
    RunEnd end = RunEnd::Converged; // point_end of its run: never Stopped nor NotApplicable

    bool converged() const { return end == RunEnd::Converged; }
    // The angle between the string of object k and the vertical, 0 to pi: Az as the electroscope
    // reads it (Az and -Az with Ax turned by pi, or Az and Az + 2 pi, are the same string).
    Real deflection(std::size_t k) const { return string_deflection(Ax[k], Az[k]).deflection; }
    // The run ended in a state that belongs on a calibration curve (converged, or on its way).
    bool usable() const {
        return end == RunEnd::Converged || end == RunEnd::StepLimit || end == RunEnd::Contact;
    }
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

} // namespace ambrel
