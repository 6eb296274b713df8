#!/usr/bin/env bash
# check-package.sh CPACK BUILD_DIR SAMPLE BUILT_KALDORCTL PROGRAM,PROGRAM...
# Makes the package of BUILD_DIR with cpack into a scratch folder (cpack installs the built
# programs and packs them; nothing is compiled, so the package target's own file is left as it
# is), unpacks it with dpkg -x and runs the unpacked kaldorctl: --version, and show on SAMPLE,
# which must print what the built kaldorctl prints. Exits 77 (skipped) when a program to pack
# is not built or dpkg is missing.
set -euo pipefail
cpack="$1" build="$2" sample="$3" built_ctl="$4"
IFS=, read -r -a programs <<<"$5"

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

command -v dpkg >/dev/null || skip "dpkg is not installed"
command -v dpkg-deb >/dev/null || skip "dpkg-deb is not installed"
for p in "${programs[@]}"; do
  [ -x "$p" ] || skip "$p is not built (build every target first)"
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack could not make the package"; }
debs=("$scratch"/out/*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no .deb"
deb="${debs[0]}"
echo "made $(basename "$deb")"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for lib in libqt6core6 libqt6serialport6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "the package does not depend on $lib"
done

dpkg -x "$deb" "$scratch/root"
for p in "${programs[@]}"; do
  name="$(basename "$p")"
  [ -x "$scratch/root/usr/bin/$name" ] || fail "usr/bin/$name is not in the package"
done
if [ "${#programs[@]}" -gt 2 ]; then
  grep -q "\blibqt6widgets6\b" <<<"$depends" || fail "the package does not depend on libqt6widgets6"
  for f in usr/share/applications/kaldor.desktop \
           usr/share/icons/hicolor/scalable/apps/kaldor.svg \
           usr/share/mime/packages/kaldor.xml; do
    [ -f "$scratch/root/$f" ] || fail "$f is not in the package"
  done
fi

ctl="$scratch/root/usr/bin/kaldorctl"
version="$("$ctl" --version)" || fail "the unpacked kaldorctl --version failed"
echo "$version"
[ "$version" = "$("$built_ctl" --version)" ] || fail "the unpacked kaldorctl says another version"
shown="$("$ctl" show "$sample")" || fail "the unpacked kaldorctl show failed"
echo "$shown"
[ -n "$shown" ] && [ "$shown" = "$("$built_ctl" show "$sample")" ] ||
  fail "the unpacked kaldorctl shows the sample otherwise than the built one"
