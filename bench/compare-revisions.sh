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
for ((i = 0; i < runs; i++)); do
    echo "new $new_mode $(build-release/bench/bench_scan --read "$new_mode" "$db")"
    echo "old $old_mode $("$old/build/bench/bench_scan" --read "$old_mode" "$db")"
done | awk '{ t[$1] = t[$1] " " $3; m[$1] = m[$1] " " $4 }
    END { for (k in t) print k, "seconds:" t[k], " peak KB:" m[k] }'
