// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Time of one drawing of the 3D view with 2000 shaded spheres, at the default zoom and close up.
#include "view/scene.h"

#include <QGuiApplication>
#include <cstdio>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using namespace ambrel;

// 2000 balls of 6 mm on a 20 x 10 x 10 grid filling most of the reference box, charged from
// -1 to +1 nC so that every colour of the scale appears.
void fill_grid(SceneSnapshot& snap) {
    SystemModel& model = snap.model;
    model.reserve_spheres(MAX_SPHERES);
    snap.Q.assign(MAX_SPHERES + 1, 0);
    model.sphere_count = model.object_count = 0;
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 10; ++j) {
            for (int k = 0; k < 10; ++k) {
                const int n = ++model.sphere_count;
                Sphere& s = model.spheres[n];
                s = Sphere{};
                s.x = s.x0 = -0.19L + 0.02L * i;
                s.y = s.y0 = -0.18L + 0.04L * j;
                s.z = -0.18L + 0.04L * k;
                s.z0 = s.z + 0.03L;
                s.r = s.size = 0.006L;
                s.index_in_object = 1;
                s.object = ++model.object_count;
                Object& o = model.objects[n];
                o = Object{};
                o.first = n;
                o.count = 1;
                o.L = 0.03L;
                o.ref_x0 = s.x0;
                o.ref_y0 = s.y0;
                o.ref_z0 = s.z0;
                snap.Q[n] = 1e-9L * std::sin(0.37L * n);
            }
        }
    }
    snap.density_max = 1e-9L / (0.006L * 0.006L);
    snap.density_min = -snap.density_max;
    snap.system_initialized = true;
    snap.forces_valid = true;
    snap.options.set(Option::ShadedBalls, true);
}

void draw_2000_shaded(benchmark::State& state, Real scale) {
    SceneSnapshot snap;
    fill_grid(snap);
    Camera camera;
    camera.view_scale = scale;
    update_view_transform(camera);
    Scene scene;
    for (auto _ : state) {
        draw_scene(scene, snap, camera);
        benchmark::DoNotOptimize(scene.image().constBits());
    }
}

void BM_DrawScene2000ShadedDefaultZoom(benchmark::State& state) {
    draw_2000_shaded(state, 914.0625L);
}
void BM_DrawScene2000ShadedZoom20000(benchmark::State& state) {
    draw_2000_shaded(state, 20000);
}

BENCHMARK(BM_DrawScene2000ShadedDefaultZoom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawScene2000ShadedZoom20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Each line as soon as it is measured, also into a file or a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts of the status lines
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
