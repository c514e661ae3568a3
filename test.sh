#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test;
# then builds the suites of the threaded parts a second time with ThreadSanitizer (build/tsan)
# and runs them. Arguments go to the first ctest (a filter, say) and skip the second build.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps

build=build/test
# Cache hits across clones in other folders (CI builds a fresh clone).
export CCACHE_BASEDIR="$PWD"
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DQUORVANE_SANITIZE=ON -DQUORVANE_WERROR="$werror" >/dev/null
cmake --build "$build"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
if [ $# -gt 0 ]; then exit 0; fi

# The scheduler, UI queue, directory client worker, engine sessions and event queue under
# ThreadSanitizer: only their suites and the libraries they link are built.
tsan=build/tsan
cmake -S . -B "$tsan" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DQUORVANE_TSAN=ON -DQUORVANE_BENCH=OFF -DQUORVANE_WERROR="$werror" >/dev/null
cmake --build "$tsan" --target qv_threaded_suites
# ThreadSanitizer runs a thread of its own, so the count of the engine's threads is left to the
# first build.
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
  ctest --test-dir "$tsan" --output-on-failure -j "$(nproc)" \
  -E '^NetLifetimeTest\.DestroyingTheInstanceLeavesNoThreadAndUnloadsTheFile$'

