#!/usr/bin/env bash
# The test command: installs what is missing, configures with -Werror, builds, runs every test;
# then builds the tests again with the address, undefined-behaviour and float-cast sanitizers
# and runs them once more (KALDOR_QUICK=1 skips that second round).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$here/build-test}"
# lintian and appstreamcli (package appstream): the package test checks the .deb with them.
KALDOR_MORE_PACKAGES="lintian appstream" bash "$here/scripts/setup.sh" -DKALDOR_WERROR=ON
(cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")

if [ "${KALDOR_QUICK:-0}" != 1 ]; then
  BUILD_DIR="${SANITIZE_BUILD_DIR:-$here/build-sanitize}" \
    bash "$here/scripts/setup.sh" -DKALDOR_WERROR=ON -DKALDOR_SANITIZE=ON -DKALDOR_BUILD_BENCH=OFF
  # Qt's own allocations live as long as the program: leaks are not what this round looks for.
  (cd "${SANITIZE_BUILD_DIR:-$here/build-sanitize}" &&
     QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j"$(nproc)")
fi
