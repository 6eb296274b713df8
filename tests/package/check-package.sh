#!/usr/bin/env bash
# check-package.sh CPACK BUILD_DIR SAMPLE BUILT_KALDORCTL PROGRAM,PROGRAM...
# Makes the package of BUILD_DIR with cpack into a scratch folder (cpack installs the built
# programs and packs them; nothing is compiled, so the package target's own file is left as it
# is), unpacks it with dpkg -x and runs the unpacked kaldorctl: --version, and show on SAMPLE,
# which must print what the built kaldorctl prints. Then what Debian asks of a package: lintian
# finds no error; each program has a manual page that says what its --help says; the changelog
# and, with the windowed program, the AppStream metainfo (which appstreamcli validates with the
# desktop entry) name the package's version; the bash completion of kaldorctl offers the
# commands and options its --help lists. Exits 77 (skipped) when a program to pack is not built
# or dpkg, lintian, man or appstreamcli is missing.
set -euo pipefail
cpack="$1" build="$2" sample="$3" built_ctl="$4"
IFS=, read -r -a programs <<<"$5"

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

command -v dpkg >/dev/null || skip "dpkg is not installed"
command -v dpkg-deb >/dev/null || skip "dpkg-deb is not installed"
command -v lintian >/dev/null || skip "lintian is not installed"
command -v man >/dev/null || skip "man is not installed"
command -v appstreamcli >/dev/null || skip "appstreamcli (package appstream) is not installed"
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
for lib in libqt6core6 libqt6serialport6 libgensio4; do
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

# What a program, started by its name as a user starts it, prints for --help: on standard
# output, or, from a program that answers it with its usage on standard error, that (as the
# build takes it for the manual page).
help_of() {
  local text run=(env PATH="$(dirname "$1"):$PATH" QT_QPA_PLATFORM=offscreen "$(basename "$1")")
  text="$("${run[@]}" --help 2>/dev/null)" || true
  [ -n "$text" ] || text="$("${run[@]}" --help 2>&1 >/dev/null)" || true
  [ -n "$text" ] || fail "$1 --help printed nothing"
  printf '%s\n' "$text"
}
# Lines without their leading blanks, the usage's "Usage: " and blank lines.
trimmed() { sed -e 's/^[[:space:]]*//' -e 's/^Usage: //' -e 's/[[:space:]]*$//' -e '/^$/d'; }

version="$(dpkg-deb -f "$deb" Version)"
doc="$scratch/root/usr/share/doc/kaldor"
for f in "$doc/copyright" "$doc/changelog.gz"; do
  [ -f "$f" ] || fail "${f#"$scratch/root/"} is not in the package"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" ||
  fail "the copyright file is not in the machine-readable format"
changed="$(zcat "$doc/changelog.gz" | sed -n '1s/^kaldor (\([^)]*\)).*/\1/p')"
[ "$changed" = "$version" ] || fail "the changelog's latest entry is ${changed:-missing}, the package $version"

for p in "${programs[@]}"; do
  name="$(basename "$p")"
  page="$scratch/root/usr/share/man/man1/$name.1.gz"
  [ -f "$page" ] || fail "usr/share/man/man1/$name.1.gz is not in the package"
  LC_ALL=C MANWIDTH=250 man -l "$page" 2>/dev/null | trimmed >"$scratch/page"
  help_of "$scratch/root/usr/bin/$name" | trimmed >"$scratch/help"
  missing="$(grep -Fxv -f "$scratch/page" "$scratch/help")" &&
    fail "the manual page of $name lacks these lines of its --help:"$'\n'"$missing"
done
echo "manual pages: ${#programs[@]}, each with every line of its program's --help"

if [ "${#programs[@]}" -gt 2 ]; then
  metainfo=("$scratch"/root/usr/share/metainfo/*.metainfo.xml)
  [ -f "${metainfo[0]}" ] || fail "usr/share/metainfo/ holds no metainfo file"
  appstreamcli validate-tree --no-net "$scratch/root" || fail "appstreamcli does not accept the metainfo"
  released="$(grep -o '<release version="[^"]*"' "${metainfo[0]}" | head -n 1 | cut -d'"' -f2)"
  [ "$released" = "$version" ] ||
    fail "the metainfo's latest release is ${released:-missing}, the package $version"
fi

# The completion asked as bash asks it when Tab is pressed after WORDS.
completion="$scratch/root/usr/share/bash-completion/completions/kaldorctl"
[ -f "$completion" ] || fail "usr/share/bash-completion/completions/kaldorctl is not in the package"
complete_after() {
  bash -c '. "$1" && shift && COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && _kaldorctl &&
           printf "%s\n" "${COMPREPLY[@]}"' complete "$completion" kaldorctl "$@" | sort -u
}
ctl_help="$(help_of "$ctl")"
# The commands: the words that open a line of a "Commands ..." part of the help.
commands="$(awk '/^[^ ].*:$/ { listing = /^Commands/ } listing && /^  [a-z][a-z-]*( |$)/ { print $1 }' \
              <<<"$ctl_help" | sort -u)"
[ -n "$commands" ] || fail "no commands found in kaldorctl --help"
offered="$(complete_after "")"
[ "$offered" = "$commands" ] ||
  fail "the completion offers the commands"$'\n'"$offered"$'\n'"where kaldorctl --help lists"$'\n'"$commands"
options="$(grep -o -- '--[a-z][a-z-]*' <<<"$ctl_help" | sort -u)"
offered="$( (complete_after -; for c in $commands; do complete_after "$c" -; done) | sort -u)"
missing="$(comm -23 <(echo "$options") <(echo "$offered"))"
[ -z "$missing" ] || fail "the completion does not offer these options of kaldorctl --help: $missing"
echo "bash completion: $(wc -l <<<"$commands") commands, $(wc -l <<<"$options") options"

lintian --fail-on error --display-info "$deb" || fail "lintian finds errors in the package"
echo "lintian: no errors"
