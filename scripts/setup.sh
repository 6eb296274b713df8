#!/usr/bin/env bash
# Installs what the build needs on a Debian 12 machine, when it is missing, then configures
# and builds. Run by test.sh and run.sh; BUILD_DIR, extra cmake flags, the packages only their
# own steps need (KALDOR_MORE_PACKAGES, installed in the same apt-get run) and the targets to
# build (KALDOR_TARGETS; every target when empty) come from them. Each step prints its time.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$here/build}"
phase_prefix="${KALDOR_PHASE_PREFIX:-}"

. "$here/scripts/packages.sh"
. "$here/scripts/phases.sh"
# dpkg-dev and file let the package target find the package's run-time dependencies.
# poppler-utils: pdftotext, with which the tests read the calibration sheet back.
# libgensio-dev reaches a serial device server; its pkg-config file names libwrap, so
# libwrap0-dev too; ser2net is the device server the tests start.
# shellcheck disable=SC2086
phase "${phase_prefix}install" \
  ensure_packages cmake g++ make ninja-build qt6-base-dev qt6-serialport-dev qt6-charts-dev \
                  libqt6opengl6-dev dpkg-dev file poppler-utils libgensio-dev libwrap0-dev ser2net \
                  ${KALDOR_MORE_PACKAGES:-}

configure() {
  cmake -S "$here" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}
phase "${phase_prefix}configure" configure "$@"
targets=()
for target in ${KALDOR_TARGETS:-}; do
  targets+=(--target "$target")
done
phase "${phase_prefix}build" cmake --build "$BUILD_DIR" -j"$(nproc)" "${targets[@]}"
