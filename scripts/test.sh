#!/usr/bin/env bash
# The test command: installs what is missing, configures with -Werror, builds, runs every test
# and checks the sources' format; then builds the tests again with the address,
# undefined-behaviour and float-cast sanitizers and runs them once more (KALDOR_QUICK=1 skips
# that second round). Each phase prints its wall and CPU time; the list of them ends the output.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$here/build-test}"
sanitize_dir="${SANITIZE_BUILD_DIR:-$here/build-sanitize}"
. "$here/scripts/phases.sh"
KALDOR_PHASE_LOG="$(mktemp)"
export KALDOR_PHASE_LOG
trap 'rm -f "$KALDOR_PHASE_LOG"' EXIT
started=$SECONDS

run_tests() {
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")
}

# The tests read no debug information: line tables (-g1) are enough for a backtrace and cost
# far less to make and link than full -g. The optimisation stays that of the program as shipped,
# so -Werror sees the same warnings; only the tests' own sources compile without it.
# lintian and appstreamcli (package appstream): the package test checks the .deb with them;
# clang-format: the format check after the tests.
KALDOR_MORE_PACKAGES="lintian appstream clang-format" bash "$here/scripts/setup.sh" -DKALDOR_WERROR=ON \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
phase tests run_tests "$BUILD_DIR"
phase format bash "$here/scripts/format.sh"

if [ "${KALDOR_QUICK:-0}" != 1 ]; then
  # The sanitizer round builds the tests and the programs they start, nothing else: no
  # benchmarks, no packaging (its package test only says it is skipped). It compiles without
  # optimisation: a third less compile time than -O1, and no checked access optimised away;
  # the tests run a few seconds longer.
  BUILD_DIR="$sanitize_dir" KALDOR_PHASE_PREFIX="sanitizer " KALDOR_TARGETS=kaldor_tests \
    bash "$here/scripts/setup.sh" -DKALDOR_WERROR=ON -DKALDOR_SANITIZE=ON -DKALDOR_BUILD_BENCH=OFF \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0 -g1 -DNDEBUG"
  # Qt's own allocations live as long as the program: leaks are not what this round looks for.
  ASAN_OPTIONS=detect_leaks=0 phase "sanitizer tests" run_tests "$sanitize_dir"
fi
cat "$KALDOR_PHASE_LOG"
echo "phase total: $((SECONDS - started)) s"
