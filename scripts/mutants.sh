#!/usr/bin/env bash
# How much the tests catch: puts the hand-picked faults of scripts/mutants.txt into the
# sources one at a time, rebuilds the tests, runs them and counts the faults they catch.
#
#   bash scripts/mutants.sh [options] [NAME ...]   every mutant, or only those named
#   bash scripts/mutants.sh --list                 the mutants and the rules they break
#
#   --build-dir DIR   where the copy of the sources and its build live (default build-mutants)
#   --timeout S       the seconds a test may run before it counts as failed (default 60)
#   --jobs N          tests run side by side (default 2)
#   --no-baseline     skip the run without a mutant that first checks every test passes
#
# Each mutant is one of
#   CAUGHT    a test failed or ran out of time
#   SURVIVED  every test passed: no test holds that rule
#   UNBUILT   the mutant does not compile: choose another
#   STALE     its original text is no longer in the file exactly once: update the list
# and the run ends with caught / tried and the survivors by name. The exit status is 1 when a
# mutant was STALE or UNBUILT, 2 when the tests fail without any mutant.
#
# The worktree is never changed: the tracked and new files are copied to DIR/tree (only the
# files that differ, so the build there stays warm) and built in DIR/tree/build with the
# benchmarks off. A mutant is put into the copy and the file is restored after it, whatever
# stops the run. Not part of the test command; on a shared machine run it as
# `nice -n 19 bash scripts/mutants.sh`.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
list="$here/scripts/mutants.txt"
helper=(python3 "$here/scripts/mutants.py")

dir="$here/build-mutants"
timeout=60
jobs=2
baseline=1
names=()
while [ $# -gt 0 ]; do
  case "$1" in
    --list) "${helper[@]}" list "$list"; exit 0 ;;
    --build-dir) dir="$(realpath -m "$2")"; shift ;;
    --timeout) timeout="$2"; shift ;;
    --jobs) jobs="$2"; shift ;;
    --no-baseline) baseline=0 ;;
    -h|--help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "mutants: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) names+=("$1") ;;
  esac
  shift
done
chosen="$("${helper[@]}" names "$list" ${names[@]+"${names[@]}"})"
mapfile -t chosen <<<"$chosen"

tree="$dir/tree"
build="$tree/build"
logs="$dir/logs"
original="$dir/original"    # the mutated file as it was
applied="$dir/applied"      # its path in the copy while a mutant is in it
mkdir -p "$tree" "$logs"

restore() {
  if [ -f "$applied" ]; then
    # A plain copy: the file gets a new time, so the next build compiles it again.
    cat "$original" > "$tree/$(cat "$applied")"
    rm -f "$applied"
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

start=$SECONDS
restore
git -C "$here" ls-files -z --cached --others --exclude-standard | "${helper[@]}" sync "$here" "$tree"

flags=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALDOR_WERROR=ON -DKALDOR_BUILD_BENCH=OFF
       -DKALDOR_TEST_TIMEOUT="$timeout")
if command -v ccache >/dev/null; then flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# The core library shared, and the programs not linked again when it changes: a mutant costs
# one compile and one link. lld links in a fraction of ld's time.
flags+=(-DKALDOR_CORE_TYPE=SHARED -DCMAKE_LINK_DEPENDS_NO_SHARED=ON)
if command -v ld.lld >/dev/null; then
  flags+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)
fi
cmake -S "$tree" -B "$build" "${flags[@]}" >"$logs/configure.log" 2>&1 ||
  { echo "mutants: cmake failed, see $logs/configure.log" >&2; exit 2; }
# The test executables and what they run (kaldorctl, kaldor-sim); not the windowed program,
# and not the package test, which packs it.
mapfile -t targets < <(ninja -C "$build" -t targets all |
                         sed -n 's/^\(tst_[A-Za-z0-9_]*\): phony$/\1/p' | grep -v '_autogen')

build_tests() { ninja -C "$build" -j"$(nproc)" "${targets[@]}" >"$1" 2>&1; }

ctest_run() {
  (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -j"$jobs" --stop-on-failure --no-tests=ignore \
     --output-on-failure "$@") >"$dir/ctest.out" 2>&1
  local status=$?
  cat "$dir/ctest.out" >>"$log"
  return $status
}

# The tests that failed in the last ctest run: their names, or with how each failed.
failed_names() {
  sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*)$/\1/p' "$dir/ctest.out"
}
failed_list() {
  sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (\(.*\))$/\1 (\2)/p' "$dir/ctest.out" | paste -sd ' ' -
}

# run_tests [REGEX]: runs the tests REGEX selects, or all but those when it starts with '!',
# the output into $log; true when every one passed, else $failed names the tests that failed.
# The first failure stops the run, and counts only when that test fails again at once: a
# timing test that failed once on a busy machine is followed by the rest of the run (twice at
# most).
run_tests() {
  local select=(-E '^package$') rounds=0 names
  case "${1:-}" in
    "") ;;
    !*) select=(-E "^package\$|${1#!}") ;;
    *) select=(-R "$1" -E '^package$') ;;
  esac
  failed=""
  while ! ctest_run "${select[@]}"; do
    names="$(failed_names | paste -sd '|' -)"
    [ -n "$names" ] || { failed="ctest"; return 1; }
    if ! ctest_run -R "^($names)\$"; then
      failed="$(failed_list)"
      return 1
    fi
    echo "mutants: ${names//|/, } failed once and passed when run again: not counted" >>"$log"
    rounds=$((rounds + 1))
    [ "$rounds" -lt 2 ] || return 0
  done
}

echo "Building the tests and running them without a mutant..."
if ! build_tests "$logs/baseline.log"; then
  echo "mutants: the tests do not build without a mutant, see $logs/baseline.log" >&2; exit 2
fi
if [ "$baseline" = 1 ]; then
  log="$logs/baseline.log"
  if ! run_tests; then
    echo "mutants: tests fail without a mutant: $failed; see $log" >&2
    exit 2
  fi
  echo "baseline: every test passed ($((SECONDS - start)) s)"
fi

total=${#chosen[@]}
caught=0 survived=() unbuilt=() stale=()
i=0
for name in "${chosen[@]}"; do
  i=$((i + 1))
  began=$SECONDS
  file="$("${helper[@]}" field "$list" "$name" file)"
  hint="$("${helper[@]}" field "$list" "$name" tests)"
  log="$logs/$name.log"
  : >"$log"
  if [ -f "$tree/$file" ]; then
    cp "$tree/$file" "$original"
    echo "$file" >"$applied"
  fi
  if ! why="$("${helper[@]}" apply "$list" "$name" "$tree")"; then
    restore
    verdict=STALE; detail="$why"; stale+=("$name")
  elif ! build_tests "$log"; then
    restore
    verdict=UNBUILT; detail="see $log"; unbuilt+=("$name")
  elif { [ -n "$hint" ] && ! run_tests "$hint"; } || ! run_tests "${hint:+!$hint}"; then
    restore
    verdict=CAUGHT; detail="by $failed"; caught=$((caught + 1))
  else
    restore
    verdict=SURVIVED; detail=""; survived+=("$name")
  fi
  printf '[%2d/%d] %-8s %-28s %4d s  %s\n' "$i" "$total" "$verdict" "$name" $((SECONDS - began)) "$detail"
done

tried=$((total - ${#stale[@]} - ${#unbuilt[@]}))
echo
echo "caught $caught / $tried"
if [ ${#survived[@]} -gt 0 ]; then
  echo "survived (${#survived[@]}):"
  for name in "${survived[@]}"; do
    printf '  %-28s %s\n' "$name" "$("${helper[@]}" field "$list" "$name" rule)"
  done
fi
[ ${#unbuilt[@]} -eq 0 ] || echo "unbuilt, not counted (${#unbuilt[@]}): ${unbuilt[*]}"
[ ${#stale[@]} -eq 0 ] || echo "stale, not counted (${#stale[@]}): ${stale[*]}"
elapsed=$((SECONDS - start))
echo "time: $((elapsed / 60)) min $((elapsed % 60)) s for $total mutants"
[ ${#stale[@]} -eq 0 ] && [ ${#unbuilt[@]} -eq 0 ]
