#!/usr/bin/env bash
# Takes the screenshots of the status bar and the editor that the README shows, as a person sees
# them on a 1280x800 screen: the program runs on a virtual X server (Xvfb) and is driven by the
# keyboard through xdotool; ImageMagick's import grabs the window.
#   docs/status-missing-port.png  started with a port that does not exist
#   docs/status-read.png          after Clone > Get Indicator File from Indicator, simulated meter
#   docs/editor-window.png        the tank editor opened on a tank file, as it first opens
#   docs/history-window.png       Clone > Meter History… after a read, a clear and a send
# Installs what is missing and builds the program when it is not built yet.
#   bash scripts/statusshots.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$here/build}"
. "$here/scripts/packages.sh"
ensure_packages xvfb xauth xdotool imagemagick
if [ -f "$BUILD_DIR/build.ninja" ]; then
  cmake --build "$BUILD_DIR" --target kaldor >/dev/null
elif [ ! -x "$BUILD_DIR/shell/kaldor" ]; then
  BUILD_DIR="$BUILD_DIR" bash "$here/scripts/setup.sh"
fi
kaldor="$BUILD_DIR/shell/kaldor"
docs="$here/docs"
scratch="$(mktemp -d)"
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
export DISPLAY="$display"
unset QT_QPA_PLATFORM
for _ in $(seq 50); do # until the server answers
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.2
done

# window NAME-PATTERN: the id of the visible window whose title matches, waiting for it.
window() {
  local id=""
  for _ in $(seq 50); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "no window $1" >&2
  return 1
}
# shot NAME-PATTERN FILE: the window, its frame left out, into FILE.
shot() {
  local id
  id="$(window "$1")"
  sleep 0.5
  import -window "$id" "$2"
  echo "Wrote $2"
}

cd "$scratch"
"$kaldor" --port 1=/dev/ttyKALDOR-MISSING &
app=$!
shot "KALDOR \(" "$docs/status-missing-port.png"
kill "$app"; wait "$app" 2>/dev/null || true

"$kaldor" --simulate &
app=$!
main="$(window "KALDOR \(")"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
sleep 0.5
xdotool key --window "$main" alt+l
sleep 0.3
xdotool key g
sleep 2
xdotool key Return # "Indicator Data Read"
sleep 0.5
shot "KALDOR \(" "$docs/status-read.png"
kill "$app"; wait "$app" 2>/dev/null || true

"$kaldor" --port 1=/dev/ttyKALDOR-MISSING "$here/samples/tanks/water.tnk" &
app=$!
shot "Edit Tank Data" "$docs/editor-window.png"
kill "$app"; wait "$app" 2>/dev/null || true

# The backups go to the scratch folder's data directory, never the user's.
XDG_DATA_HOME="$scratch/data" "$kaldor" --simulate &
app=$!
main="$(window "KALDOR \(")"
clone() { # KEY: the Clone menu's item, from the main window
  xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
  sleep 0.5
  xdotool key --window "$main" alt+l
  sleep 0.3
  xdotool key "$1"
}
clone g
sleep 2
xdotool key Return # "Indicator Data Read"
clone c
clear="$(window "Clear it")"
xdotool windowactivate --sync "$clear" 2>/dev/null || true
sleep 0.5
xdotool key space # Yes, the first button
sleep 3
xdotool key Return # "Clear Command Sent", with its backup and verify
clone s
sleep 3
xdotool key Return # "Data Sent", with its backup and verify
clone h
history="$(window "Meter History")"
xdotool windowsize "$history" 760 300
shot "Meter History" "$docs/history-window.png"
kill "$app"; wait "$app" 2>/dev/null || true
