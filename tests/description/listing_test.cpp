// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The listing of the updated system and its round trip through the reader.
#include "description/listing.h"
#include "description/reader.h"
#include "model/units.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ambrel {
namespace {

std::vector<std::string> listing_of(const SystemModel& model) {
    VectorSink sink;
    list_updated_system(model, sink);
    return sink.lines;
}

Status read(SystemModel& model, const std::vector<std::string>& lines) {
    NullSink sink;
    return read_description(model, Options(), lines, sink);
}

TEST(Listing, EmptyBeforeReadingAndAfterAStop) {
    SystemModel model;
    EXPECT_EQ(listing_of(model), std::vector<std::string>{"Updated system:"});
    read(model, {"Bb all 0 0 0 10 0 0 1 1", "Kbad"});
    EXPECT_EQ(listing_of(model), std::vector<std::string>{"Updated system:"});
}

TEST(Listing, DefaultDescriptionAndCompositeLines) {
    SystemModel model;
    read(model, default_description());
    const auto lines = listing_of(model);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "ball1 all -0.2 0.2 0 13.5 135 30 0.75 0.4");
    EXPECT_EQ(lines[4], "ball4 all 0.2 -0.2 0 13.5 -45 30 0.75 0.4");

    read(model, {"Ccube all 0 0 0 10 0 0 1 8", "Hball all 0 0 0 10 0 0 1 1 0.1 0.19",
                 "Qplate all 0 0 0 10 0 0 1 1", "Cabcdefghijkl all 0 0 0 10 0 0 1 8"});
    const auto composite = listing_of(model);
    ASSERT_EQ(composite.size(), 5u);
    EXPECT_EQ(composite[1], "Ccube all 0 0 0 10 0 0 1 8 0.3262848751");
    EXPECT_EQ(composite[2], "Hball all 0 0 0 10 0 0 1 1 0.1 0.19");
    EXPECT_EQ(composite[3].substr(0, 7), "Qplate ");
    // All eight spheres carry the cut name "Cabcdefghijk"; the listing drops one more letter.
    EXPECT_EQ(composite[4].substr(0, 12), "Cabcdefghij ");

    // After the angles change only fields 7 and 8 change, and the object's own point is kept.
    model.objects[1].Ax = PI / 2;
    model.objects[1].Az = PI / 6;
    for (int i = 1; i <= 8; ++i)
        model.spheres[i].x0 += 0.05L; // as a turned object would have
    EXPECT_EQ(listing_of(model)[1], "Ccube all 0 0 0 10 90 30 1 8 0.3262848751");
}

TEST(Listing, RoundTripRebuildsTheSameObjects) {
    const std::vector<std::string> description{"Ba one 1.5 -2 3 12 10 20 0.5 0.3",
                                               "Ete two 0 1 2 8 -30 15 1.2 4 0.2",
                                               "Ooc two 3 3 3 0 0 0 1 6",
                                               "Iic one 0 0 5 9 45 60 2 12",
                                               "Ddo three 1 1 1 10 0 10 2 2",
                                               "Rtr three 0 0 0 10 5 5 1 32 -1",
                                               "Lli one 0 0 0 10 0 0 1 2",
                                               "Tto two 1 2 3 10 0 0 2 2",
                                               "Hhb one 0 0 0 10 20 30 1 1 0.1 0.19",
                                               "Ssq two 0 0 0 10 0 0 0.5 2.5",
                                               "Fpl one 1 1 1 10 0 0 0.5 1.3",
                                               "Xsh two 0 0 0 10 0 0 1 1",
                                               "Yys two 0 0 -1 10 0 0 1 1 0.05",
                                               ".V one 100",
                                               ".V two -50"};
    SystemModel first;
    read(first, description);
    ASSERT_EQ(first.sphere_count, 226);
    auto lines = listing_of(first);
    lines.erase(lines.begin());
    lines.push_back(".V one 100");
    lines.push_back(".V two -50");
    SystemModel second;
    ASSERT_TRUE(read(second, lines).ok());
    ASSERT_EQ(second.sphere_count, first.sphere_count);
    ASSERT_EQ(second.object_count, first.object_count);
    ASSERT_EQ(second.conductor_count, first.conductor_count);
    const Real rel = 1e-13L;
    auto near = [&](Real a, Real b) { return std::fabs(a - b) <= rel * std::max<Real>(1e-3L, std::fabs(a)); };
    for (int i = 1; i <= first.sphere_count; ++i) {
        const Sphere& a = first.spheres[i];
        const Sphere& b = second.spheres[i];
        const Object& oa = first.object_of(i);
        const Object& ob = second.object_of(i);
        EXPECT_EQ(a.name, b.name) << i;
        EXPECT_EQ(oa.kind, ob.kind) << i;
        EXPECT_EQ(a.object, b.object) << i;
        EXPECT_EQ(a.conductor, b.conductor) << i;
        EXPECT_TRUE(near(a.x0, b.x0) && near(a.y0, b.y0) && near(a.z0, b.z0)) << i;
        EXPECT_TRUE(near(oa.L, ob.L) && near(oa.Ax, ob.Ax) && near(oa.Az, ob.Az)) << i;
        EXPECT_TRUE(near(a.r, b.r)) << i << " " << (double)a.r << " " << (double)b.r;
        EXPECT_TRUE(near(a.m, b.m)) << i;
        EXPECT_TRUE(near(a.size, b.size)) << i;
    }
    EXPECT_EQ(second.conductors[1].V, 100);
}

} // namespace
} // namespace ambrel
