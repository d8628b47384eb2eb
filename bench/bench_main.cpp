// Entry point of ambrel-bench, shared by every core benchmark file in bench/.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
