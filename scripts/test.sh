#!/usr/bin/env bash
# The test command: installs what is missing, configures with -Werror, builds, runs every test.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$here/build-test}"
bash "$here/scripts/setup.sh" -DKALDOR_WERROR=ON
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
