#!/usr/bin/env bash
# Compares the database scan of this working tree with that of an earlier revision, each a whole process of
# its own Release build, taking turns on the same generated database:
#   bash bench/compare-revisions.sh REVISION [NEW_MODE] [OLD_MODE] [RUNS]
# NEW_MODE and OLD_MODE are bench_scan's --read modes (default: window for this tree, scan for the other).
set -euo pipefail
cd "$(dirname "$0")/.."
revision=$1 new_mode=${2:-window} old_mode=${3:-scan} runs=${4:-5}
old=$(mktemp -d /tmp/rowquarry-old.XXXXXX)
trap 'git worktree remove --force "$old/src" >/dev/null 2>&1 || true; rm -rf "$old"' EXIT
git worktree add --detach "$old/src" "$revision" >/dev/null
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DROWQUARRY_TESTS=ON
cmake -S "$old/src" -B "$old/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$old/build" --target bench_scan >/dev/null
export ODBCSYSINI="$PWD/build-release/tests/odbc-sqlite" ODBCINSTINI=odbcinst.ini
db=/tmp/rowquarry-bench-scan-keys.db
build-release/bench/bench_scan /tmp >/dev/null # makes the database once
results=$(mktemp)
for ((i = 0; i < runs; i++)); do
    echo "new $(build-release/bench/bench_scan --read "$new_mode" "$db")" >> "$results"
    echo "old $("$old/build/bench/bench_scan" --read "$old_mode" "$db")" >> "$results"
done
median() { # which (new, old), field (2 seconds, 3 peak KB)
    grep "^$1 " "$results" | awk -v f="$2" '{ print $f }' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
echo "this tree ($new_mode): $(median new 2) s, $(median new 3) KB peak; $revision ($old_mode): $(median old 2) s, $(median old 3) KB peak"
awk -v a="$(median new 2)" -v b="$(median old 2)" -v c="$(median new 3)" -v d="$(median old 3)" \
    'BEGIN { printf "ratios: time %.2f, peak memory %.3f\n", a / b, c / d }'
rm -f "$results"
