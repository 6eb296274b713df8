#!/usr/bin/env bash
# The size of the tests against the code: non-blank lines of the tracked *.cpp and *.h files
# under tests/ against those of every other tracked *.cpp and *.h (the benchmarks, the
# simulated meter and kaldorctl included).
#
#   bash scripts/linecount.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
count() { git ls-files -z "$@" | xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true; }
tests=$(count -- 'tests/*.cpp' 'tests/*.h')
code=$(count -- '*.cpp' '*.h' ':!:tests/*')
awk -v t="$tests" -v c="$code" \
  'BEGIN { printf "tests %d, code %d: tests are %.1f %% of the code\n", t, c, 100 * t / c }'
