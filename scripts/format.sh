#!/usr/bin/env bash
# The format of the C++ sources: checks that every tracked *.cpp and *.h is as clang-format
# lays it out with the tree's .clang-format (exit 1 and the differences when one is not), or,
# with --apply, lays them out so.
#
#   bash scripts/format.sh           check (the test command runs this)
#   bash scripts/format.sh --apply   reformat the tracked sources in place
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mode=(--dry-run -Werror)
if [ "${1:-}" = --apply ]; then
  mode=(-i)
fi
# A tree without git (an unpacked source archive) is checked all the same.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z -- '*.cpp' '*.h'
else
  find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0
fi | xargs -0 -r clang-format --style=file "${mode[@]}"
