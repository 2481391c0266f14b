#!/usr/bin/env bash
# Installs what is missing, builds the Debug tree (warnings are errors, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test, then
# runs the level checker on the quick set of campaign levels, then runs every
# fuzz target briefly over its seeds (skipped without clang), then
# builds the browser version and plays it in headless Chromium, then builds the
# .deb from a Release tree and checks it with lintian.
set -euo pipefail
cd "$(dirname "$0")"
# Each step says when it ended, so a slow run shows where its time went.
step() { echo "test.sh: $1 done at $((SECONDS / 60)) min $((SECONDS % 60)) s"; }
scripts/install-deps.sh --test
step "installing"
cmake -S . -B build/debug -DCMAKE_BUILD_TYPE=Debug -DZQ_WERROR=ON -DZQ_SANITIZE=ON -DZQ_BENCH=OFF >/dev/null
cmake --build build/debug -j"$(nproc)"
step "the Debug build"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Mesa's software GL draws on the calling thread alone.  Its worker threads
# are nothing our tests need, and LeakSanitizer's exit-time scan of every
# thread has been seen to crash on them (the test itself had passed).
export LP_NUM_THREADS=${LP_NUM_THREADS:-0}
cd build/debug
ctest --output-on-failure -j"$(nproc)"
cd ../..
step "the tests"
# The level checker on the campaign's quick set, in the Release tree, two
# levels at a time (scripts/check-levels.sh build/release --all checks all 25).
# The tree is configured as ./run.sh configures it (either script may run
# first), and the package below is built in it too.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DZQ_TESTS=OFF -DZQ_BENCH=OFF >/dev/null
cmake --build build/release --target zqtool content -j"$(nproc)"
scripts/check-levels.sh build/release
step "the level checker"
scripts/fuzz.sh --short
step "the fuzz targets"
# The browser version: built with emscripten and played in headless Chromium.
scripts/web-test.sh
step "the browser version"
scripts/package-check.sh --tree build/release
step "the package"
