// The one simulator of a running program: the model tables, the options, the state flags,
// the solver's results and a reference to the output sink. Core operations take it explicitly.
#pragma once

#include "model/options.h"
#include "model/output_sink.h"
#include "model/shape_pattern.h"
#include "model/sphere.h"
#include "model/types.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

struct PhysicsWorkspace;

// First 12 characters of a name, as the tables store it.
std::string cut_name(std::string_view name);

class Simulator {
  public:
    explicit Simulator(OutputSink& sink);
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Tables are 1-based: slot 0 is unused.
    std::vector<Sphere> spheres;       // MAX_SPHERES + 1 entries, allocated once
    std::vector<Conductor> conductors; // MAX_CONDUCTORS + 1 entries, allocated once
    int sphere_count = 0;
    int conductor_count = 0;
    int object_count = 0;
    // Counts the readings of the description, so a message about the model is given once per reading.
    int read_generation = 0;

    ShapePattern shape_pattern_5;
    ShapePattern shape_pattern_10;
    ShapePattern shape_pattern_15;

    Options options;

    // State flags.
    bool description_changed = false;
    bool system_initialized = false;
    bool view_reset_pending = true;
    bool forces_valid = false;
    bool stop_requested = false;

    // Results of the charge solver.
    Real four_pi_e0 = 0;
    Real total_capacitance = 0;
    Real density_max = 1e-9L;
    Real density_min = -1e-9L;

    // The solver's matrices and work vectors, created on first use at full capacity
    // (the physics code owns its layout).
    std::shared_ptr<PhysicsWorkspace> physics;
    // The stability Jacobian, row-major 2000 x 2000, created on first use.
    std::shared_ptr<std::vector<Real>> jacobian;

    // Uniform generator for the random start of a relaxation run: seeded once, never reseeded.
    std::mt19937_64 rng{20260101u};
    Real next_uniform();

    bool option(Option o) const { return options[o]; }
    void add_output_line(std::string_view text) { sink_->add_output_line(text); }
    OutputSink& sink() { return *sink_; }
    void set_sink(OutputSink& sink) { sink_ = &sink; }

    // 1-based index of the conductor named exactly `name` (cut to 12 characters),
    // appending it when absent. Does not touch V of a new entry.
    int find_or_add_conductor(std::string_view name);
    // 1-based index of the conductor, or 0 when there is none (never adds).
    int find_conductor(std::string_view name) const;

  private:
    OutputSink* sink_;
};

} // namespace ambrel
