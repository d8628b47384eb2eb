// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any bytes, split into lines, read as a description (with its warnings) and
// listed back, and each line cut into the parts the editor colours. The reader must neither crash
// nor loop, the listing must stay readable, every warning must name a line read and every part
// lie inside its line.
#include "description/line_syntax.h"
#include "description/listing.h"
#include "description/reader.h"
#include "model/utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

class CheckingSink : public ambrel::OutputSink {
  protected:
    void emit_line(std::string_view line) override {
        // At most 255 characters: code points of valid UTF-8 (up to four bytes each), bytes otherwise.
        if (line.size() > 4 * ambrel::LINE_LENGTH ||
            ambrel::cut_characters(line, ambrel::LINE_LENGTH) != line)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingSink sink;
    static ambrel::SystemModel model; // patterns persist across readings, as in the program
    static const ambrel::Options options;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto lines = ambrel::split_lines(text);
    std::vector<ambrel::ReadWarning> warnings;
    ambrel::read_description(model, options, lines, sink, &warnings);
    for (const ambrel::ReadWarning& warning : warnings)
        if (warning.line < 1 || static_cast<std::size_t>(warning.line) > lines.size())
            std::abort();
    for (const std::string& line : lines) {
        std::size_t end = 0;
        for (const ambrel::LineSpan& span : ambrel::line_syntax(line)) {
            if (span.start < end || span.length == 0 || span.start + span.length > line.size())
                std::abort();
            end = span.start + span.length;
        }
    }
    if (model.sphere_count < 0 || model.sphere_count > ambrel::MAX_SPHERES)
        std::abort();
    // Every object's span lies inside the sphere table and points back to it.
    for (int k = 1; k <= model.object_count; ++k) {
        const ambrel::Object& o = model.objects[k];
        if (o.count < 1 || o.first < 1 || o.last() > model.sphere_count ||
            model.spheres[o.last()].object != k)
            std::abort();
    }
    ambrel::list_updated_system(model, sink);
    return 0;
}
