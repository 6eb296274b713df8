#!/usr/bin/env bash
# The windowed program's running costs (bench_ui): start-up, each window at rest on the
# offscreen platform and on an X server of the bench's own. Installs Xvfb when missing and
# builds the bench when it is not built yet; its arguments go to bench_ui.
#   bash scripts/bench-ui.sh [--platform offscreen|xcb|both] [--starts N] [--idle-seconds S]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$here/build}"
. "$here/scripts/packages.sh"
ensure_packages xvfb
if [ -f "$BUILD_DIR/build.ninja" ]; then
  cmake --build "$BUILD_DIR" --target bench_ui >/dev/null
else
  BUILD_DIR="$BUILD_DIR" KALDOR_TARGETS=bench_ui bash "$here/scripts/setup.sh"
fi
exec "$BUILD_DIR/bench/ui/bench_ui" "$@"
