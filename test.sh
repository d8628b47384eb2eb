#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds everything and runs every test; non-zero exit on any failure.
#  1. Release build of everything (configured for /usr, so that it also makes the package), all
#     tests (GUI tests on the offscreen platform); a study as a Slurm job array on a single-node
#     Slurm that its test starts and stops (tests/app/study_slurm_test.sh, about 15 s).
#  2. The core and its tests again under AddressSanitizer and UndefinedBehaviorSanitizer; meanwhile
#     the description reader under libFuzzer with AddressSanitizer, for a bounded time.
#  3. The Debian package of the Release build, installed, run and removed.
# Builds 1 and 2 treat compiler warnings as errors. Each stage prints its time.
set -euo pipefail
cd "$(dirname "$0")"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
started=$SECONDS
stage_started=$SECONDS
stage() {
    echo "   ($((SECONDS - stage_started)) s)"
    stage_started=$SECONDS
    echo "== $1"
}

echo "== Dependencies"
./scripts/install-deps.sh

# A locale that writes decimal commas, so the tests can show that no number text depends on it;
# the test that needs it fails instead of being skipped when it is missing.
comma_locale() { grep -qix 'de_DE\.utf-\?8' <<<"$(locale -a 2>/dev/null)"; }
if ! comma_locale; then
    # localedef also exits with 1 after mere warnings, with the locale written: judged by locale -a.
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
fi
if ! comma_locale; then
    # The locale sources may have been left out of the image: put the package back whole.
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --reinstall locales >/dev/null 2>&1 || true
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
fi
comma_locale || { echo "cannot generate the de_DE.UTF-8 locale the tests need" >&2; exit 1; }
export AMBREL_REQUIRE_COMMA_LOCALE=1

JOBS="${AMBREL_JOBS:-2}"
FUZZ_SECONDS="${AMBREL_FUZZ_SECONDS:-60}"
export QT_QPA_PLATFORM=offscreen
# ctest runs as many test programs as there are cores, each with its own OpenMP threads: those
# threads wait for work asleep rather than spinning, or they take the cores from each other.
export OMP_WAIT_POLICY=passive

stage "Release build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build -j "$JOBS"
(cd build && ctest --output-on-failure -j "$JOBS")

stage "A study as a Slurm job array on a single-node Slurm of its own"
$SUDO tests/app/study_slurm_test.sh build/bin/ambrel-batch scripts/run-study-slurm.sh

stage "Fuzzing the description reader for ${FUZZ_SECONDS} s, beside the sanitizer build"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$JOBS"
corpus="$(mktemp -d)"
fuzz_log="$(mktemp)"
fuzz_pid=""
cleanup() {
    if [ -n "$fuzz_pid" ]; then kill "$fuzz_pid" 2>/dev/null || true; fi
    rm -rf "$corpus" "$fuzz_log"
}
trap cleanup EXIT
cp tests/data/*.bal "$corpus"/ 2>/dev/null || true
# One core for the fuzzer for its fixed time; the sanitizer build takes what is left meanwhile.
./build-fuzz/fuzz_reader -max_total_time="$FUZZ_SECONDS" -max_len=8192 -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 "$corpus" >"$fuzz_log" 2>&1 &
fuzz_pid=$!

stage "Core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# Light optimisation and line tables only: the sanitizers' reports keep their file and line.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
    -DAMBREL_CORE_ONLY=ON -DAMBREL_SANITIZE=ON -DAMBREL_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build-asan -j "$JOBS"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$JOBS")

stage "Fuzzing result"
fuzz_status=0
wait "$fuzz_pid" || fuzz_status=$?
fuzz_pid=""
tail -n 12 "$fuzz_log"
if [ "$fuzz_status" -ne 0 ]; then
    echo "fuzzing: the reader failed (exit status $fuzz_status)" >&2
    exit 1
fi
echo "fuzzing: no finding"

stage "Debian package"
# The package of the Release build (its install rules hold the programs and their data only),
# installed with apt-get, its programs run from /usr/bin on an installed example, and removed again.
package_files="$(mktemp -d)"
remove_package() {
    if grep -q "install ok installed" <<<"$(dpkg-query -W -f='${Status}' ambrel 2>/dev/null)"; then
        $SUDO apt-get remove -y -qq ambrel >/dev/null
    fi
}
# Also on a failure: the package does not stay installed.
trap 'cleanup; rm -rf "$package_files"; remove_package' EXIT
rm -f build/ambrel_*.deb
(cd build && cpack -G DEB >/dev/null)
deb="$(ls "$PWD"/build/ambrel_*.deb)"
dpkg-deb --field "$deb" Package Version Section Depends

# The desktop entry and the metainfo as packaged; any remark of the validators fails.
dpkg-deb -x "$deb" "$package_files"
for desktop in "$package_files"/usr/share/applications/*.desktop; do
    remarks="$(desktop-file-validate "$desktop" 2>&1)" || { echo "$remarks" >&2; exit 1; }
    [ -z "$remarks" ] || { echo "$remarks" >&2; exit 1; }
done
appstreamcli validate --no-net "$package_files"/usr/share/metainfo/*.metainfo.xml
[ -f "$package_files"/usr/share/man/man1/ambrel-batch.1.gz ]
[ -f "$package_files"/usr/share/doc/ambrel/copyright ]
# Debian's own checks of the package: no error, and each warning fixed or explained in the
# package's overrides (data/debian/lintian-overrides).
lintian --fail-on error,warning --display-info "$deb"
[ -f "$package_files"/usr/share/ambrel/examples/four_balls.bal ]

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$deb" >/dev/null
/usr/bin/ambrel-batch --version
# The OpenMP build of OpenBLAS, whichever build the alternatives system selects for others.
# (Captured first: under pipefail, grep -q leaving early would fail the pipeline by SIGPIPE.)
libraries="$(ldd /usr/bin/ambrel-batch)"
grep -q "openblas-openmp/libopenblas.so.0" <<<"$libraries" ||
    { echo "the installed ambrel-batch does not load the OpenMP build of OpenBLAS:" >&2; echo "$libraries" >&2; exit 1; }
report="$(/usr/bin/ambrel-batch /usr/share/ambrel/examples/four_balls.bal)"
grep -q "^Total capacitance" <<<"$report" || { echo "no total capacitance in:" >&2; echo "$report" >&2; exit 1; }
# A picture needs the Qt platform plugin and the font the package depends on.
/usr/bin/ambrel-batch --png "$package_files/four_balls.png" /usr/share/ambrel/examples/four_balls.bal >/dev/null
[ -s "$package_files/four_balls.png" ]
QT_QPA_PLATFORM=offscreen /usr/bin/ambrel --version
$SUDO apt-get remove -y -qq ambrel >/dev/null
if [ -e /usr/bin/ambrel-batch ] || [ -e /usr/bin/ambrel ]; then
    echo "the programs are still in /usr/bin after removing the package" >&2
    exit 1
fi
echo "package: built, installed, run and removed"
stage "Done in $((SECONDS - started)) s"
