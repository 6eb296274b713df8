#!/usr/bin/env bash
# Installs what the build needs on a Debian 12 machine, when it is missing, then configures
# and builds. Sourced by test.sh and run.sh; BUILD_DIR, extra cmake flags and the packages
# only their own steps need (KALDOR_MORE_PACKAGES, installed in the same apt-get run) come
# from them.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$here/build}"

. "$here/scripts/packages.sh"
# dpkg-dev and file let the package target find the package's run-time dependencies.
# poppler-utils: pdftotext, with which the tests read the calibration sheet back.
ensure_packages cmake g++ make ninja-build qt6-base-dev qt6-serialport-dev qt6-charts-dev \
                 libqt6opengl6-dev dpkg-dev file poppler-utils ${KALDOR_MORE_PACKAGES:-}

cmake -S "$here" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
