#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figures beside its anchor, measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DROWQUARRY_TESTS=ON
for bench in bench_scan bench_freetds_scan bench_extraction bench_results bench_responsiveness; do
    echo "== $bench"
    ODBCSYSINI="$PWD/build-release/tests/odbc-sqlite" ODBCINSTINI=odbcinst.ini "build-release/bench/$bench"
done
