#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; non-zero exit on any failure.
#  1. Release build of everything, all tests (GUI tests on the offscreen platform).
#  2. The core and its tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
#  3. The description reader under libFuzzer with AddressSanitizer, for a bounded time.
# Builds 1 and 2 treat compiler warnings as errors.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

# A locale that writes decimal commas, so the tests can show that no number text depends on it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || echo "note: de_DE.UTF-8 locale not available" >&2
fi

JOBS="${AMBREL_JOBS:-2}"
FUZZ_SECONDS="${AMBREL_FUZZ_SECONDS:-60}"
export QT_QPA_PLATFORM=offscreen

echo "== Release build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build -j "$JOBS"
(cd build && ctest --output-on-failure -j "$JOBS")

echo "== Core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_CORE_ONLY=ON \
    -DAMBREL_SANITIZE=ON -DAMBREL_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build-asan -j "$JOBS"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$JOBS")

echo "== Fuzzing the description reader for ${FUZZ_SECONDS} s"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$JOBS"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
cp tests/data/*.bal "$corpus"/ 2>/dev/null || true
./build-fuzz/fuzz_reader -max_total_time="$FUZZ_SECONDS" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
echo "fuzzing: no finding"
