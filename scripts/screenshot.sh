#!/usr/bin/env bash
# Takes docs/main-window.png: the main window, menu bar included, as it runs against the
# simulated meter on a virtual X server (Xvfb, so Qt's xcb platform). The program grabs its own
# window (KALDOR_SCREENSHOT) once it is shown and ends. Installs Xvfb when missing and builds
# the program when it is not built yet.
#   bash scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$here/build}"
output="$(realpath -m "${1:-$here/docs/main-window.png}")"

# xvfb brings Xvfb and xvfb-run; xauth is what xvfb-run hands the display's cookie with.
# Qt's xcb platform plugin comes with libqt6gui6, which the program needs anyway.
. "$here/scripts/packages.sh"
ensure_packages xvfb xauth

# The xcb plugin loads only when every library it needs is there (newer Qt wants libxcb-cursor0).
plugin="$(dpkg -L libqt6gui6 | grep '/platforms/libqxcb\.so$' | head -n1 || true)"
if [ -z "$plugin" ]; then
  echo "Qt's xcb platform plugin is not installed (package libqt6gui6)" >&2
  exit 1
fi
unresolved="$(ldd "$plugin" | grep 'not found' || true)"
if [ -n "$unresolved" ]; then
  echo "Qt's xcb plugin lacks libraries:" >&2
  echo "$unresolved" >&2
  exit 1
fi

if [ -f "$BUILD_DIR/build.ninja" ]; then
  cmake --build "$BUILD_DIR" --target kaldor >/dev/null
elif [ ! -x "$BUILD_DIR/shell/kaldor" ]; then
  BUILD_DIR="$BUILD_DIR" bash "$here/scripts/setup.sh"
fi

mkdir -p "$(dirname "$output")"
rm -f "$output"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# The program keeps a working file in its current directory: run it in a scratch one.
(cd "$scratch" && env -u QT_QPA_PLATFORM KALDOR_SCREENSHOT="$output" \
  timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$BUILD_DIR/shell/kaldor" --simulate)
test -s "$output"
echo "Wrote $output"
