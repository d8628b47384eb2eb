// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The element kinds of the description language, one row each: the letter that starts the line
// (the first character of the object's name), the object kind it makes, the fields of its line,
// its builder and its listing. The reader, its warnings, the parts an editor colours, the listing
// and the window's summary of the language all read this table; what the physics knows of a kind
// (whether it is flat) is its row in model/object_kind.h.
//
// A new kind is a row here (and its code in model/object_kind.h) with its builder function
// (description/builders.h). The functions that take an `ElementKinds` default to this table; a
// caller may hand in another, for instance this one with rows of its own after it.
#pragma once

#include "model/object_kind.h"
#include "model/status.h"
#include "model/system_model.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

class LineReader;
struct BuildContext;
struct ElementKind;

// Reads the fields of an element line and adds its object to the model (description/builders.h).
using ElementBuilder = Status (*)(BuildContext& ctx, LineReader& line, const ElementKind& kind);
// The object written back as an element line of its kind (description/listing.h).
using ElementLister = std::string (*)(const SystemModel& model, const Object& object);

struct ElementKind {
    char letter;     // upper case; a line's first character is taken in either case
    ObjectKind kind; // the kind of the object the line makes
    // The fields after the angles, as the language's summary names them: the size parameter (the
    // radius of a ball) and the ones after it. The last `optional_fields` have a default of their
    // own: a line may leave them out.
    std::string_view size_field;
    std::span<const std::string_view> later_fields;
    std::size_t optional_fields;
    ElementBuilder build;
    ElementLister list;

    // The names of the fields after the object's name: Conductor, x0 ... Angz, the size, the rest.
    std::vector<std::string_view> field_names() const;
    // How many they are.
    std::size_t field_count() const;
};

using ElementKinds = std::span<const ElementKind>;

// The kinds of the language, in the order the window's summary lists them.
ElementKinds element_kinds();

// The row of the letter (upper or lower case), or null when no kind has it.
const ElementKind* find_element_kind(char letter, ElementKinds kinds = element_kinds());
// The row that makes objects of `kind`, or null.
const ElementKind* element_kind_of(ObjectKind kind, ElementKinds kinds = element_kinds());

// The line of the language's summary: "Cname Conductor x0 y0 z0 L Angx Angz Rcube Mass [Rball]".
std::string element_line_summary(const ElementKind& kind);

} // namespace ambrel
