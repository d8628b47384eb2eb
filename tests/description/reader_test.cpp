// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The description reader: line kinds, fields, dot commands, limits and messages.
#include "description/builders.h"
#include "description/line_syntax.h"
#include "description/listing.h"
#include "description/reader.h"
#include "model/units.h"
#include "text/number_format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ambrel {
namespace {

struct Reading {
    VectorSink sink;
    SystemModel model;
    Options options;
    std::vector<ReadWarning> warnings;
    Status read(const std::vector<std::string>& lines) {
        sink.lines.clear();
        warnings.clear();
        return read_description(model, options, lines, sink, &warnings);
    }
    std::vector<std::string> warning_texts() const {
        std::vector<std::string> texts;
        for (const ReadWarning& w : warnings)
            texts.push_back(warning_text(w));
        return texts;
    }
};

TEST(Reader, DefaultDescriptionEchoesAndBuildsFourBalls) {
    Reading r;
    EXPECT_TRUE(r.read(default_description()).ok());
    const std::vector<std::string> expected{
        "Reading 6 lines of input",
        "* Four balls that stabilize separated by 1 cm",
        "ball1 all -0.002 0.002 0 0.135 2.35619449019234 0.523598775598299 0.0075 0.0004",
        "ball2 all 0.002 0.002 0 0.135 0.785398163397448 0.523598775598299 0.0075 0.0004",
        "ball3 all -0.002 -0.002 0 0.135 -2.35619449019234 0.523598775598299 0.0075 0.0004",
        "ball4 all 0.002 -0.002 0 0.135 -0.785398163397448 0.523598775598299 0.0075 0.0004",
        ".V all 8.62512649e3",
        "The object: all is at     8625.126490 V",
    };
    EXPECT_EQ(r.sink.lines, expected);
    EXPECT_EQ(r.model.sphere_count, 4);
    EXPECT_EQ(r.model.conductor_count, 1);
    EXPECT_EQ(r.model.object_count, 4);
    EXPECT_EQ(r.model.conductors[1].V, 8625.12649L);
    const Sphere& b = r.model.spheres[1];
    const Object& o = r.model.objects[1];
    EXPECT_EQ(o.kind, ObjectKind::Ball);
    EXPECT_EQ(b.index_in_object, 1);
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(b.size, b.r);
    EXPECT_EQ(b.r, 0.75L / 100);
    EXPECT_EQ(b.m, 0.4L / 1000);
    EXPECT_EQ(o.Ax, 135 * PI / 180);
    EXPECT_EQ(o.ref_x0, b.x0);
    EXPECT_EQ(r.model.spheres[4].object, 4);
    EXPECT_EQ(r.model.objects[4].first, 4);
}

TEST(Reader, ElementLettersAndCase) {
    Reading r;
    EXPECT_TRUE(r.read({"bAll1 all 0 0 0 10 0 0 1 1", "Ball2 all 0 0 0 10 0 0 1 1"}).ok());
    EXPECT_EQ(r.model.sphere_count, 2);

    EXPECT_EQ(r.read({"Ball2 all 0 0 0 10 0 0 1 1", " ball3 all 0 0 0 10 0 0 1 1", "Ball4 all"}).message(),
              "Unknown element: [ ball3 all 0 0 0 10 0 0 1 1]");
    EXPECT_EQ(r.sink.lines.back(), "Unknown element: [ ball3 all 0 0 0 10 0 0 1 1]");
    EXPECT_EQ(r.model.sphere_count, 0);
    EXPECT_EQ(r.model.conductor_count, 1); // counted before the stop
    EXPECT_EQ(r.model.object_count, 0);    // a stopped reading leaves no object behind

    r.read({"   "});
    EXPECT_EQ(r.sink.lines.back(), "Unknown element: [   ]");
    for (std::string letter : {"a", "J", "k", "M", "n", "P", "u", "V", "w", "1", "\t", "\xc3\xa9"}) {
        EXPECT_EQ(r.read({letter + "x all 0 0 0 10 0 0 1 1"}).message().rfind("Unknown element: [", 0), 0u)
            << letter;
    }
    EXPECT_EQ(r.sink.lines.back(), "Unknown element: [\xc3\xa9x all 0 0 0 10 0 0 1 1]");
}

TEST(Reader, FieldsAreSeparatedByBlanksOnlyAndMissingOnesReadZero) {
    Reading r;
    r.read({"ball1  all   1 2"});
    const Sphere& s = r.model.spheres[1];
    EXPECT_EQ(s.name, "ball1");
    EXPECT_EQ(r.model.objects[1].conductor_name, "all");
    EXPECT_EQ(s.x0, 0.01L);
    EXPECT_EQ(s.y0, 0.02L);
    EXPECT_EQ(s.z0, 0);
    EXPECT_EQ(r.model.objects[1].L, 0);
    EXPECT_EQ(s.r, 0);
    EXPECT_EQ(s.m, 0);
    // A malformed number gives its valid prefix.
    r.read({"ball1 all 3x 1e 1,5"});
    EXPECT_EQ(r.model.spheres[1].x0, 0.03L);
    EXPECT_EQ(r.model.spheres[1].y0, 0.01L);
    EXPECT_EQ(r.model.spheres[1].z0, 0.01L);
}

// A tab typed between fields separates them like a blank: "Bt2<Tab>all" is the ball Bt2 on the
// conductor "all", not the ball "Bt2<Tab>all" on the conductor named by the next field.
TEST(Reader, ATabSeparatesFieldsLikeABlank) {
    Reading r;
    r.read({"Bt2\tall 3 0 0\t10 45 30 0.5 0.1", "Bu all\t \t1 2", ".V\tall\t250"});
    ASSERT_EQ(r.model.sphere_count, 2);
    const Sphere& s = r.model.spheres[1];
    EXPECT_EQ(s.name, "Bt2");
    EXPECT_EQ(r.model.objects[1].conductor_name, "all");
    EXPECT_EQ(s.x0, 0.03L);
    EXPECT_EQ(r.model.objects[1].L, 0.1L);
    EXPECT_EQ(s.r, 0.005L);
    EXPECT_EQ(r.model.spheres[2].x0, 0.01L); // blanks and tabs in a row are one separator
    EXPECT_EQ(r.model.spheres[2].y0, 0.02L);
    EXPECT_EQ(r.model.conductor_count, 1);
    EXPECT_EQ(r.model.conductors[1].V, 250);
    // The echo shows the fields as stored, blank-separated.
    EXPECT_EQ(r.sink.lines[1], "Bt2 all 0.03 0 0 0.1 0.785398163397448 0.523598775598299 0.005 0.0001");

    // A line that starts with a tab is still no element line.
    r.read({"\tball all 0 0 0 10 0 0 1 1"});
    EXPECT_EQ(r.model.sphere_count, 0);
    EXPECT_EQ(r.sink.lines.back(), "Unknown element: [\tball all 0 0 0 10 0 0 1 1]");
}

TEST(Reader, VoltageLines) {
    Reading r;
    r.read({"Ba all 0 0 0 10 0 0 1 1", "Bb ALL 0 0 0 10 0 0 1 1", ".v all 100", ".V ALL 5", ".V ALL 7"});
    EXPECT_EQ(r.model.conductor_count, 2);
    EXPECT_EQ(r.model.conductors[1].V, 100);
    EXPECT_EQ(r.model.conductors[2].V, 7); // a later line overrides
    EXPECT_EQ(r.sink.lines[3], ".v all 100");
    EXPECT_EQ(r.sink.lines[4], "The object: all is at      100.000000 V");

    // A conductor that only a later element line creates is not found; nothing is added, and the
    // voltage is not reported as set.
    r.read({".V late 50", "Ba late 0 0 0 10 0 0 1 1"});
    EXPECT_EQ(r.sink.lines[2], "Conductor late not found");
    EXPECT_EQ(r.sink.lines[3], "Ba late 0 0 0 0.1 0 0 0.01 0.001");
    EXPECT_EQ(r.sink.lines.size(), 4u);
    EXPECT_EQ(r.model.conductor_count, 1);
    EXPECT_EQ(r.model.conductors[1].V, 0);
    EXPECT_EQ(r.warning_texts(),
              std::vector<std::string>{"line 1: .V: Conductor: \"late\" not found: no voltage is set"});

    // Names are compared by their first 12 characters, on both sides.
    r.read({"Ba abcdefghijklmno 0 0 0 10 0 0 1 1", ".V abcdefghijklmno 3"});
    EXPECT_EQ(r.model.conductors[1].name, "abcdefghijkl");
    EXPECT_EQ(r.model.conductors[1].V, 3);
    EXPECT_EQ(r.sink.lines.back(), "The object: abcdefghijkl is at        3.000000 V");

    // Every reading starts with all voltages at 0.
    r.read({"Ba abcdefghijklmno 0 0 0 10 0 0 1 1"});
    EXPECT_EQ(r.model.conductors[1].V, 0);
}

TEST(Reader, CommentsEmptyLinesAndOtherDotLines) {
    Reading r;
    r.read({"* only", "", "* comments", ".W anything"});
    EXPECT_EQ(r.sink.lines,
              (std::vector<std::string>{"Reading 4 lines of input", "* only", "* comments", ".W anything"}));
    EXPECT_EQ(r.warning_texts(),
              std::vector<std::string>{"line 4: .W: unknown dot command: the line is only echoed"});
    EXPECT_EQ(r.model.sphere_count + r.model.conductor_count + r.model.object_count, 0);
    // Every reading counts, even one that builds nothing or stops at a fault.
    const int generation = r.model.read_generation;
    r.read({});
    r.read({"Kbad"});
    EXPECT_EQ(r.model.read_generation, generation + 2);
}

// The reader keeps its grammar and adds a warning, naming the line and the field, wherever that
// grammar silently reads something else than what is written.
TEST(Reader, WarningsNameTheLineAndTheFieldOfWhatTheGrammarReadsOtherwise) {
    const std::vector<std::string> lines{
        "hello world",                                     // 1: prose becomes an H object
        "",                                                // 2: empty lines count
        "B2 all a b c d 0 0 1.5e x",                       // 3
        "Bm all 0 0 0 10 0 0 1",                           // 4: no mass
        ".V all 3000* my edit",                            // 5
        ".V all",                                          // 6
        ".Q all abc",                                      // 7
        ".W all 5",                                        // 8
        ".V nosuch 100",                                   // 9
        "C",                                               // 10: not even a conductor
        ".",                                               // 11
        "Bb all 1 2 3 4 5 6 7 8 " + std::string(300, '9'), // 12: past the last field and the cut
    };
    Reading r;
    ASSERT_TRUE(r.read(lines).ok());
    const std::vector<std::string> expected{
        "line 1: hello: x0 to Mass_line: missing (read as 0)",
        "line 3: B2: x0: \"a\" is not a number (read as 0)",
        "line 3: B2: y0: \"b\" is not a number (read as 0)",
        "line 3: B2: z0: \"c\" is not a number (read as 0)",
        "line 3: B2: L: \"d\" is not a number (read as 0)",
        "line 3: B2: Radius: \"1.5e\" is not a number (read as 1.5)",
        "line 3: B2: Mass: \"x\" is not a number (read as 0)",
        "line 4: Bm: Mass: missing (read as 0)",
        "line 5: .V: Voltage: \"3000*\" is not a number (read as 3000)",
        "line 5: .V: \"my edit\" after the last field, Voltage, is ignored",
        "line 6: .V: Voltage: missing (read as 0)",
        "line 7: .Q: Charge: \"abc\" is not a number (read as 0)",
        "line 8: .W: unknown dot command: the line is only echoed",
        "line 9: .V: Conductor: \"nosuch\" not found: no voltage is set",
        "line 10: C: Conductor to Mass: missing (the name read as empty, the numbers as 0)",
        "line 11: .: unknown dot command: the line is only echoed",
        "line 12: Bb: longer than 255 characters: the rest is ignored",
        "line 12: Bb: \"999999999999999999999999...\" after the last field, Mass, is ignored",
    };
    EXPECT_EQ(r.warning_texts(), expected);
    EXPECT_EQ(r.warnings[1].line, 3);
    EXPECT_EQ(r.warnings[1].subject, "B2");
    EXPECT_EQ(r.warnings[1].field, "x0");
    EXPECT_EQ(warning_panel_line(r.warnings[0]),
              "Warning: line 1: hello: x0 to Mass_line: missing (read as 0)");

    // The warnings change nothing that is read or written.
    const std::vector<std::string> echo = r.sink.lines;
    const SystemModel warned = r.model;
    VectorSink plain_sink;
    SystemModel plain;
    ASSERT_TRUE(read_description(plain, r.options, lines, plain_sink).ok());
    EXPECT_EQ(plain_sink.lines, echo);
    ASSERT_EQ(plain.sphere_count, warned.sphere_count);
    for (int i = 1; i <= plain.sphere_count; ++i) {
        EXPECT_EQ(plain.spheres[i].x0, warned.spheres[i].x0);
        EXPECT_EQ(plain.spheres[i].r, warned.spheres[i].r);
        EXPECT_EQ(plain.spheres[i].m, warned.spheres[i].m);
    }
    EXPECT_EQ(plain.conductors[1].V, warned.conductors[1].V);

    // Held spheres of two objects at one centre hold almost no charge (their distance is clamped):
    // said once, on the later object's line. Spheres that hang move apart, and are not.
    Reading same;
    ASSERT_TRUE(same.read({"B1 a 0 0 -5 0 0 0 1 1", "Bup a 0 0 0 10 0 0 1 1", "B2 b 0 0 -5 0 0 0 0.5 1",
                           "B3 c 0 0 -5 0 0 0 0.5 1", "B4 c 0.1 0 -5 0 0 0 0.5 1"})
                    .ok());
    EXPECT_EQ(
        same.warning_texts(),
        (std::vector<std::string>{
            "line 3: B2: a sphere has the same centre as one of B1 (line 1): the two hold almost no charge",
            "line 4: B3: a sphere has the same centre as one of B1 (line 1): the two hold almost no "
            "charge"}));
}

// What the grammar defines is not warned about: an absent Rball, a comment after the last field,
// the free text after .X, .Y and .Z, tabs between fields, numbers in every written form.
TEST(Reader, NoWarningForWhatTheGrammarAllows) {
    Reading r;
    ASSERT_TRUE(
        r.read({"* a comment", "ball1 all -0.2 0.2 0 13.5 135 30 0.75 0.4", "Ccube all 0 0 0 10 0 0 1 8",
                "Ccube2 all 0 0 0 10 0 0 1 8 0.2 * radius by hand", "Hhb all -4 0 3 10 0 15 0.6 0.5 0.1 0.19",
                "Bt\tall\t+1 -2 .5 13. 8.62512649e3 1E-2 1 1", ".V all 8.62512649e3", ".v all 100 *a note",
                ".Q all -2.5", ".X  5 comments below determine the shape of element x *x...x", "*x...x",
                "*.x.x.", "*..x..", "*.x.x.", "*x...x", ".Y", ".Z 15 rows"})
            .ok());
    EXPECT_EQ(r.warning_texts(), std::vector<std::string>{});
    // The panel's own description reads without a warning.
    r.read(default_description());
    EXPECT_TRUE(r.warnings.empty());
}

// The parts an editor colours follow the reader's fields: names, conductors, numbers, dot
// commands and comments, and nothing for what the reader does not take as such.
TEST(Reader, LineSyntaxFollowsTheReadersFields) {
    const auto parts = [](std::string_view line) {
        std::vector<std::string> out;
        for (const LineSpan& span : line_syntax(line)) {
            const char* kind[] = {"comment", "dot", "name", "conductor", "number"};
            out.push_back(std::string(kind[static_cast<int>(span.part)]) + ":" +
                          std::string(line.substr(span.start, span.length)));
        }
        return out;
    };
    using L = std::vector<std::string>;
    EXPECT_EQ(parts("* a comment"), L{"comment:* a comment"});
    // A "*" among the fields is a field (not a number) to the reader, not a comment.
    EXPECT_EQ(parts("ball1 all\t-0.2 abc 1e3 * note"),
              (L{"name:ball1", "conductor:all", "number:-0.2", "number:1e3"}));
    EXPECT_EQ(parts("ball1 all 1 2 3 4 5 6 7 8 * note").back(), "comment:* note");
    // Words after the last field are no comment; the optional Rball is a field.
    EXPECT_EQ(parts("Bb all 1 2 3 4 5 6 7 8 9 10"),
              (L{"name:Bb", "conductor:all", "number:1", "number:2", "number:3", "number:4", "number:5",
                 "number:6", "number:7", "number:8"}));
    EXPECT_EQ(parts("Cc all 1 2 3 4 5 6 7 8 9 10").back(), "number:9");
    EXPECT_EQ(parts("Hh all 1 2 3 4 5 6 7 8 9 10 11").back(), "number:10");
    EXPECT_EQ(parts(".v all 3000* my"), (L{"dot:.v", "conductor:all"}));
    EXPECT_EQ(parts(".Q pair 20"), (L{"dot:.Q", "conductor:pair", "number:20"}));
    EXPECT_EQ(parts(".X  5 comments below"), (L{"dot:.X", "comment:5 comments below"}));
    EXPECT_EQ(parts(".W all 5"), L{"dot:.W"});
    EXPECT_EQ(parts(" ball all 1"), L{});
    EXPECT_EQ(parts("avocado all 1"), L{});
    EXPECT_EQ(parts(""), L{});
}

TEST(Reader, SphereLimitForBallsAndComposites) {
    Reading r;
    std::vector<std::string> lines(2000, "Bb all 0 0 0 10 0 0 1 1");
    EXPECT_TRUE(r.read(lines).ok());
    EXPECT_EQ(r.model.sphere_count, 2000);
    lines.push_back("Bb all 0 0 0 10 0 0 1 1");
    EXPECT_EQ(r.read(lines).message(), "Too many elements");
    EXPECT_EQ(r.sink.lines.back(), "Too many elements");
    EXPECT_EQ(r.model.sphere_count, 0);
    EXPECT_EQ(r.model.object_count, 0);

    // 1993 balls and a cube: the cube's last sphere would be number 2001.
    std::vector<std::string> composite(1993, "Bb all 0 0 0 10 0 0 1 1");
    composite.push_back("Ccube other 0 0 0 10 0 0 1 8");
    EXPECT_EQ(r.read(composite).message(), "Too many elements");
    const auto n = r.sink.lines.size();
    EXPECT_EQ(r.sink.lines[n - 2], "Ccube other 0 0 0 0.1 0 0 0.01 0.001 0");
    EXPECT_EQ(r.sink.lines[n - 1], "Too many elements");
    EXPECT_EQ(r.model.sphere_count, 0);
    EXPECT_EQ(r.model.conductor_count, 2); // the cube's conductor stays counted
    EXPECT_EQ(r.model.object_count, 0);
    composite.pop_back();
    composite.push_back("Ccube other 0 0 0 10 0 0 1 8");
    composite.erase(composite.begin());
    EXPECT_TRUE(r.read(composite).ok());
    EXPECT_EQ(r.model.sphere_count, 2000);
}

TEST(Reader, NamesAreCutTo12Characters) {
    Reading r;
    r.read({"Babcdefghijklmnop all 0 0 0 10 0 0 1 1", "Cabcdefghijk all 0 0 0 10 0 0 1 8"});
    EXPECT_EQ(r.model.spheres[1].name, "Babcdefghijk");
    EXPECT_EQ(r.sink.lines[1].substr(0, 13), "Babcdefghijk ");
    for (int i = 2; i <= 9; ++i)
        EXPECT_EQ(r.model.spheres[i].name, "Cabcdefghijk");
}

TEST(Reader, HostileLinesAreHandledAsText) {
    Reading r;
    std::string long_comment = "*" + std::string(10000, 'c');
    std::string long_ball = "Bb all 1 2 3 4 5 6 7 8 " + std::string(10000, '9');
    std::string with_nul("* a\0b", 5);
    std::string control = "Bb\x01\x7f all 0 0 0 10 0 0 1 1";
    std::string bad_utf8 = "B\xff\xfe all 0 0 0 10 0 0 1 1";
    EXPECT_TRUE(r.read({long_comment, long_ball, with_nul, control, bad_utf8}).ok());
    EXPECT_EQ(r.model.sphere_count, 3);
    for (const auto& line : r.sink.lines)
        EXPECT_LE(line.size(), 255u);
    EXPECT_EQ(r.sink.lines[1].size(), 255u);
    EXPECT_EQ(r.sink.lines[3], with_nul);
    EXPECT_EQ(r.model.spheres[2].name, "Bb\x01\x7f");
    std::string long_unknown = "A" + std::string(500, 'z');
    r.read({long_unknown});
    EXPECT_EQ(r.sink.lines.back(), ("Unknown element: [" + long_unknown).substr(0, 255));
}

TEST(Reader, SplitLinesAcceptsCrLfAndAFinalLineWithoutEnd) {
    EXPECT_EQ(split_lines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(split_lines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split_lines(""), std::vector<std::string>{});
    EXPECT_EQ(split_lines("\n"), std::vector<std::string>{""});
    EXPECT_EQ(split_lines("a\rb"), (std::vector<std::string>{"a", "b"}));
}

// A line of the kind: its letter and "k" for the name, the conductor "all", and 1 for each further
// field but the last `drop`.
std::string element_line(const ElementKind& kind, std::size_t drop = 0) {
    std::string line = std::string(1, kind.letter) + "k all";
    for (std::size_t i = 1; i + drop < kind.field_count(); ++i)
        line += " 1";
    return line;
}

// What the table gives a kind: a line of its letter reads into one object of its kind, its last
// required field missing is warned about by that field's name, the parts of its line are coloured
// up to its last field, and the listing writes a line that reads back into the same object.
void expect_kind_in_every_use(const ElementKind& kind, ElementKinds kinds) {
    SCOPED_TRACE(std::string(1, kind.letter));
    SystemModel model;
    VectorSink sink;
    std::vector<ReadWarning> warnings;
    ASSERT_TRUE(read_description(model, Options(), {element_line(kind, kind.optional_fields + 1)}, sink,
                                 &warnings, kinds)
                    .ok());
    ASSERT_EQ(model.object_count, 1);
    EXPECT_EQ(model.objects[1].kind, kind.kind);
    const std::vector<std::string_view> names = kind.field_names();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].field, names[names.size() - kind.optional_fields - 1]);

    const std::string line = element_line(kind) + " * note";
    const std::vector<LineSpan> spans = line_syntax(line, kinds);
    ASSERT_EQ(spans.size(), kind.field_count() + 2);
    EXPECT_EQ(spans.front().part, LinePart::Name);
    EXPECT_EQ(spans[spans.size() - 2].part, LinePart::Number);
    EXPECT_EQ(line.substr(spans.back().start), "* note");

    VectorSink listing;
    list_updated_system(model, listing, kinds);
    ASSERT_EQ(listing.lines.size(), 2u);
    SystemModel again;
    ASSERT_TRUE(read_description(again, Options(), {listing.lines[1]}, sink, nullptr, kinds).ok());
    ASSERT_EQ(again.object_count, 1);
    EXPECT_EQ(again.objects[1].kind, kind.kind);
    EXPECT_EQ(again.objects[1].count, model.objects[1].count);
    VectorSink relisting;
    list_updated_system(again, relisting, kinds);
    EXPECT_EQ(relisting.lines, listing.lines);
}

TEST(ElementKinds, EveryRowReadsWarnsIsColouredAndListed) {
    for (const ElementKind& kind : element_kinds())
        expect_kind_in_every_use(kind, element_kinds());
}

// A kind the product does not have, made by a row and its builder alone: two balls of radius
// Rball, R to either side of the point along x.
Status build_dumbbell(BuildContext& ctx, LineReader& line, const ElementKind& kind) {
    const int e = ctx.model.sphere_count;
    detail::read_composite_fields(ctx, line, e, 2);
    DraftSphere& s = ctx.sphere(e);
    s.conductor = ctx.model.find_or_add_conductor(s.conductor_name);
    detail::echo_composite(ctx, s);
    s.ref_x0 = s.x0;
    s.ref_y0 = s.y0;
    s.ref_z0 = s.z0;
    detail::replicate_and_name(ctx, e, 2);
    ctx.sphere(e).x0 -= ctx.sphere(e).object_size;
    ctx.sphere(e + 1).x0 += ctx.sphere(e + 1).object_size;
    detail::finish_object(ctx, e, 2, kind.kind);
    return Status::success();
}

TEST(ElementKinds, AKindAddedByARowIsReadWarnedColouredAndListed) {
    static constexpr std::string_view dumbbell_fields[] = {"Mass", "Rball"};
    std::vector<ElementKind> kinds(element_kinds().begin(), element_kinds().end());
    kinds.push_back({'W', static_cast<ObjectKind>(std::size(OBJECT_KIND_TRAITS)), "Rdumbbell",
                     dumbbell_fields, 1, build_dumbbell, list_composite});
    expect_kind_in_every_use(kinds.back(), kinds);
    // Without its row the letter is unknown.
    Reading r;
    EXPECT_FALSE(r.read({element_line(kinds.back())}).ok());
    EXPECT_TRUE(line_syntax(element_line(kinds.back())).empty());
}

} // namespace
} // namespace ambrel
