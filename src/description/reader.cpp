// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "description/reader.h"

#include "description/builders.h"
#include "model/units.h"
#include "model/utf8.h"
#include "text/number_format.h"

#include <algorithm>

namespace ambrel {

LineReader::LineReader(std::string_view line) : current_line_(cut_characters(line, LINE_LENGTH)) {}

namespace {

// A tab separates fields like a blank: a tab typed between two fields must not become part of one.
bool is_field_separator(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string LineReader::next_token() {
    const std::size_t n = current_line_.size();
    while (token_pos_ < n && is_field_separator(current_line_[token_pos_]))
        ++token_pos_;
    const std::size_t start = token_pos_;
    while (token_pos_ < n && !is_field_separator(current_line_[token_pos_]))
        ++token_pos_;
    return current_line_.substr(start, token_pos_ - start);
}

std::string_view LineReader::rest() const {
    std::size_t start = token_pos_;
    while (start < current_line_.size() && is_field_separator(current_line_[start]))
        ++start;
    return std::string_view(current_line_).substr(start);
}

Real LineReader::next_real() {
    return parse_real(next_token());
}

namespace {

char upper_ascii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The warnings of one reading, when the caller wants them.
struct WarningList {
    std::vector<ReadWarning>* list;
    void conductor_not_found(int line_number, const char* command, const std::string& name,
                             const char* what) {
        if (list != nullptr && !name.empty())
            list->push_back({line_number, command, "Conductor",
                             "\"" + name + "\" not found: no " + std::string(what) + " is set"});
    }
};

// .V Conductor Voltage
void dot_voltage(SystemModel& model, OutputSink& out, LineReader& line, WarningList& warnings,
                 int line_number) {
    line.next_token(); // the command field itself
    const std::string name = cut_name(line.next_token());
    const Real voltage = line.next_real();
    // Only conductors that element lines have created are looked up; none is added here, and a
    // voltage set on none is not reported as set.
    if (int c = model.find_conductor(name)) {
        model.conductors[c].V = voltage;
        model.conductors[c].isolated = false;
        out.add_output_line("The object: " + name + " is at " + real_to_fixed_text(voltage, 15, 6) + " V");
    } else {
        out.add_output_line("Conductor " + name + " not found");
        warnings.conductor_not_found(line_number, ".V", name, "voltage");
    }
}

// .Q Conductor Charge (nC): the conductor is isolated and carries that total charge.
void dot_charge(SystemModel& model, OutputSink& out, LineReader& line, WarningList& warnings,
                int line_number) {
    line.next_token(); // the command field itself
    const std::string name = cut_name(line.next_token());
    const Real charge = line.next_real();
    if (int c = model.find_conductor(name)) {
        model.conductors[c].isolated = true;
        model.conductors[c].charge = nC_to_C(charge);
        out.add_output_line("The object: " + name + " has charge " + real_to_fixed_text(charge, 15, 6) +
                            " nC");
    } else {
        out.add_output_line("Conductor " + name + " not found");
        warnings.conductor_not_found(line_number, ".Q", name, "charge");
    }
}

// .X, .Y, .Z: the next n lines give the rows of a shape pattern, cells from their second character.
void dot_pattern(ShapePattern& pattern, const std::vector<std::string>& lines, std::size_t dot_index) {
    const int n = pattern.size();
    for (int k = 1; k <= n; ++k) {
        const std::size_t index = dot_index + static_cast<std::size_t>(k);
        if (index >= lines.size())
            continue; // beyond the end of the description: an empty line
        const std::string_view text = cut_characters(lines[index], LINE_LENGTH);
        if (text.size() > 1)
            pattern.set_row(k, text.substr(1));
    }
}

// Ends a reading on an error line: the model keeps no sphere and no object (the conductors the
// lines created stay counted).
Status stop_reading(SystemModel& model, OutputSink& out, const std::string& message) {
    out.add_output_line(message);
    model.sphere_count = 0;
    model.object_count = 0;
    return Status::failure(message);
}

} // namespace

namespace {

// Held spheres (of objects without a string, where they stay) of two objects with the same centre:
// the pair's distance is clamped in the elastance, and the two hold almost no charge between them.
// Said on the later object's line.
void warn_coincident_held_spheres(const SystemModel& model, const std::vector<int>& object_lines,
                                  std::vector<ReadWarning>& out) {
    std::vector<int> held;
    for (int i = 1; i <= model.sphere_count; ++i) // a sphere of radius 0 holds no charge anyway
        if (model.objects[model.spheres[i].object].L == 0 && model.spheres[i].r > 0)
            held.push_back(i);
    // By x, so that only spheres at the same x are compared.
    std::sort(held.begin(), held.end(),
              [&](int a, int b) { return model.spheres[a].x0 < model.spheres[b].x0; });
    std::vector<char> said(static_cast<std::size_t>(model.object_count) + 1, 0);
    for (std::size_t a = 0; a < held.size(); ++a) {
        const Sphere& p = model.spheres[held[a]];
        for (std::size_t b = a + 1; b < held.size() && model.spheres[held[b]].x0 == p.x0; ++b) {
            const Sphere& q = model.spheres[held[b]];
            if (q.object == p.object || q.y0 != p.y0 || q.z0 != p.z0)
                continue;
            const Sphere& later = q.object > p.object ? q : p;
            const Sphere& earlier = q.object > p.object ? p : q;
            if (said[later.object])
                continue;
            said[later.object] = 1;
            out.push_back({object_lines[later.object], later.name, "",
                           "a sphere has the same centre as one of " + earlier.name + " (line " +
                               std::to_string(object_lines[earlier.object]) +
                               "): the two hold almost no charge"});
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const ReadWarning& a, const ReadWarning& b) { return a.line < b.line; });
}

} // namespace

Status read_description(SystemModel& model, const Options& options, const std::vector<std::string>& lines,
                        OutputSink& out, std::vector<ReadWarning>* warning_list, ElementKinds kinds) {
    WarningList warnings{warning_list};
    std::vector<int> object_lines{0}; // the line of each object, 1-based
    model.clear();
    model.read_generation += 1;
    BuildContext ctx(model, options, out);

    out.add_output_line(std::string("Reading ") + std::to_string(lines.size()) + " lines of input");
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string& text = lines[index];
        const int line_number = static_cast<int>(index) + 1;
        if (text.empty())
            continue;
        if (text[0] == '*') {
            out.add_output_line(text);
            continue;
        }
        if (text[0] == '.') {
            LineReader line(text);
            out.add_output_line(line.line());
            const char command = line.line().size() > 1 ? upper_ascii(line.line()[1]) : '\0';
            if (warning_list != nullptr)
                detail::check_dot_line(text, command, line_number, *warning_list);
            switch (command) {
            case 'V':
                dot_voltage(model, out, line, warnings, line_number);
                break;
            case 'Q':
                dot_charge(model, out, line, warnings, line_number);
                break;
            case 'X':
                dot_pattern(model.shape_pattern_5, lines, index);
                break;
            case 'Y':
                dot_pattern(model.shape_pattern_10, lines, index);
                break;
            case 'Z':
                dot_pattern(model.shape_pattern_15, lines, index);
                break;
            default:
                break; // any other dot line is only echoed
            }
            continue;
        }
        // An element line: one more sphere at least.
        model.sphere_count += 1;
        if (model.sphere_count > MAX_SPHERES) {
            return stop_reading(model, out, TOO_MANY_ELEMENTS);
        }
        LineReader line(text);
        const ElementKind* kind = find_element_kind(line.line()[0], kinds);
        if (kind == nullptr) {
            return stop_reading(model, out, "Unknown element: [" + line.line() + "]");
        }
        ctx.start_object(model.sphere_count);
        const Status status = kind->build(ctx, line, *kind);
        if (!status)
            return stop_reading(model, out, status.message());
        if (warning_list != nullptr)
            detail::check_element_line(text, *kind, line_number, *warning_list);
        object_lines.resize(static_cast<std::size_t>(model.object_count) + 1, line_number);
    }
    if (warning_list != nullptr)
        warn_coincident_held_spheres(model, object_lines, *warning_list);
    return Status::success();
}

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

const std::vector<std::string>& default_description() {
    static const std::vector<std::string> lines{
        "* Four balls that stabilize separated by 1 cm", "ball1 all  -0.2  0.2 0 13.5  135 30 0.75 0.4",
        "ball2 all   0.2  0.2 0 13.5   45 30 0.75 0.4",  "ball3 all  -0.2 -0.2 0 13.5 -135 30 0.75 0.4",
        "ball4 all   0.2 -0.2 0 13.5  -45 30 0.75 0.4",  ".V all 8.62512649e3",
    };
    return lines;
}

} // namespace ambrel
