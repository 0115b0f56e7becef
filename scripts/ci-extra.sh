#!/usr/bin/env bash
# Checks beyond the normal test run, for CI after test.sh:
#   1. the whole test suite built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (-DSANITIZE=ON) in build-asan/;
#   2. the libFuzzer target over the face-list split and the code-page
#      conversions, for 60 s from the seed corpus, in build-fuzz/;
#   3. valgrind memcheck over a short soak session (offscreen) and over the
#      program's start-up and normal end under Xvfb, using the build given
#      (default build/, which test.sh made).
# Any sanitizer report, fuzzer finding, memcheck error or definite leak
# fails the script. Usage: scripts/ci-extra.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
jobs=$(nproc)

step_start=0
step() { step_start=$SECONDS; echo; echo "=== $* ==="; }
done_step() { echo "--- done in $((SECONDS - step_start)) s"; }

for tool in clang++ valgrind Xvfb; do
  command -v "$tool" >/dev/null || { echo "ci-extra: $tool is missing; run scripts/setup.sh" >&2; exit 1; }
done

# ---- 1. Sanitizers ----
step "tests with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan)"
cmake -S . -B build-asan -DSANITIZE=ON -DBUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan -j"$jobs" >build-asan/build.log 2>&1 || { tail -50 build-asan/build.log; exit 1; }
# sanitize_env.cmake (included by CTest) sets ASAN/LSAN/UBSAN_OPTIONS with
# the suppressions in tests/sanitizers/lsan.supp.
ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900
done_step

# ---- 2. Fuzzing ----
step "libFuzzer: faces_fuzz for 60 s (build-fuzz)"
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$jobs" >build-fuzz/build.log 2>&1 || { tail -50 build-fuzz/build.log; exit 1; }
corpus=build-fuzz/corpus
rm -rf "$corpus" build-fuzz/artifacts
mkdir -p "$corpus" build-fuzz/artifacts
build-fuzz/fuzz_seeds "$corpus" resources/texts/*.txt
# A crash, a sanitizer report or a broken invariant (abort) ends the run with
# a non-zero status and leaves the input in build-fuzz/artifacts/.
build-fuzz/faces_fuzz -max_total_time=60 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/artifacts/ "$corpus" >build-fuzz/fuzz.log 2>&1 || {
  tail -60 build-fuzz/fuzz.log
  echo "ci-extra: the fuzzer found a fault; input in build-fuzz/artifacts/" >&2
  exit 1
}
grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' build-fuzz/fuzz.log
done_step

# ---- 3. Valgrind ----
step "valgrind memcheck: short soak session and start-up under Xvfb ($build)"
# Configured again so a build directory made before tests/soak existed knows
# its targets (keeps its own build type and options).
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" >/dev/null
else
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$jobs" --target soak_test first_paint_probe >"$build/ci-extra-build.log" 2>&1 ||
  { tail -50 "$build/ci-extra-build.log"; exit 1; }
memcheck=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite
          --errors-for-leak-kinds=definite --num-callers=40 --child-silent-after-fork=yes
          --suppressions="$root/tests/soak/valgrind.supp" --error-exitcode=99)

# 2,000 rolls and 40 openings of each information window (the full session
# runs in ctest; under valgrind it would take minutes).
SOAK_ROLLS=2000 QT_QPA_PLATFORM=offscreen QT_QPA_FONTDIR=/usr/share/fonts LC_ALL=C.UTF-8 \
  "${memcheck[@]}" "$build/tests/soak/soak_test" >"$build/valgrind-soak.log" 2>&1 || {
  tail -80 "$build/valgrind-soak.log"; echo "ci-extra: memcheck failed on the soak session" >&2; exit 1; }
grep -E 'resident memory|definitely lost|ERROR SUMMARY' "$build/valgrind-soak.log"

# The real start-up and normal end on X: the probe closes its window after
# the first paint and the program ends through its own exit path.
scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -auth "$scratch/xauth" 9>"$scratch/display" \
  >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "ci-extra: Xvfb did not start" >&2; exit 1; }
display=":$(head -1 "$scratch/display")"
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" LC_ALL=C.UTF-8 \
  "${memcheck[@]}" "$build/tests/soak/first_paint_probe" >"$build/valgrind-startup.log" 2>&1 || {
  tail -80 "$build/valgrind-startup.log"; echo "ci-extra: memcheck failed on the start-up" >&2; exit 1; }
grep -E 'first_paint_ms|definitely lost|ERROR SUMMARY' "$build/valgrind-startup.log"
done_step

echo
echo "ci-extra: all checks passed in $SECONDS s"
