#!/usr/bin/env bash
# The run command: installs what is missing, builds, and starts the program.
# With no meter attached it runs against the simulated meter; pass --port N=DEVICE
# (or no --simulate at all, via KALDOR_ARGS="") to talk to a real one.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$here/build}"
# Only the program: its tests and benchmarks are the test command's.
KALDOR_TARGETS=kaldor bash "$here/scripts/setup.sh"
if [ "$#" -eq 0 ]; then
    set -- --simulate
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display here; start it from the desktop, or try: xvfb-run bash scripts/run.sh" >&2
fi
exec "$BUILD_DIR/shell/kaldor" "$@"
