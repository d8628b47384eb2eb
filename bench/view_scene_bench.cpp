// Time of one drawing of the 3D view with 2000 shaded spheres, at the default zoom and close up.
#include "view/scene.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using namespace ambrel;

// 2000 balls of 6 mm on a 20 x 10 x 10 grid filling most of the reference box, charged from
// -1 to +1 nC so that every colour of the scale appears.
void fill_grid(Simulator& sim) {
    sim.sphere_count = 0;
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 10; ++j) {
            for (int k = 0; k < 10; ++k) {
                Sphere& s = sim.spheres[++sim.sphere_count];
                s = Sphere{};
                s.x = s.x0 = -0.19L + 0.02L * i;
                s.y = s.y0 = -0.18L + 0.04L * j;
                s.z = -0.18L + 0.04L * k;
                s.z0 = s.z + 0.03L;
                s.L = 0.03L;
                s.r = s.object_size = 0.006L;
                s.Q = 1e-9L * std::sin(0.37L * sim.sphere_count);
                s.index_in_object = s.object_spheres = 1;
                s.object_number = sim.sphere_count;
            }
        }
    }
    sim.density_max = 1e-9L / (0.006L * 0.006L);
    sim.density_min = -sim.density_max;
    sim.system_initialized = true;
    sim.forces_valid = true;
    sim.options.set(Option::ShadedBalls, true);
}

void draw_2000_shaded(benchmark::State& state, Real scale) {
    NullSink sink;
    Simulator sim(sink);
    fill_grid(sim);
    Camera camera;
    camera.view_scale = scale;
    update_view_transform(camera);
    Scene scene;
    for (auto _ : state) {
        draw_scene(scene, sim, camera);
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
