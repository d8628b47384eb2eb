// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The updated system written back in the description language: one element line per object
// with its current angles, ready to paste into the description panel, and a .Q line for each
// isolated conductor.
#pragma once

#include "description/element_kinds.h"
#include "model/output_sink.h"
#include "model/system_model.h"

#include <string>

namespace ambrel {

// Each object's line is written by the lister of its kind's row in `kinds`.
void list_updated_system(const SystemModel& model, OutputSink& out, ElementKinds kinds = element_kinds());

// The listers of the table of element kinds: an object's element line with its current angles.
// A ball: its own name, point, radius and mass.
std::string list_ball(const SystemModel& model, const Object& object);
// A composite: its name (its last sphere's without the ordinal), its point, size, whole mass and
// the radius of its last sphere.
std::string list_composite(const SystemModel& model, const Object& object);
// A ball with a line: its name and point, the ball's radius and mass, the line balls' radius and
// their whole mass.
std::string list_ball_with_line(const SystemModel& model, const Object& object);

} // namespace ambrel
