#!/usr/bin/env bash
# The run command: installs what is missing, builds, and starts the program.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$here/build}"
bash "$here/scripts/setup.sh"
exec "$BUILD_DIR/cli/kaldorctl" show "$here/samples/three-tanks.idr" "$@"
