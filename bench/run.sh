#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figures beside its anchor, measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# freebcp, the anchor of the command line through FreeTDS
dpkg-query -W -f='${Status}' freetds-bin 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends freetds-bin
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DROWQUARRY_TESTS=ON
for bench in bench_scan bench_freetds_scan bench_cli_stream bench_network bench_extraction bench_results bench_responsiveness bench_blocks; do
    echo "== $bench"
    ODBCSYSINI="$PWD/build-release/tests/odbc-sqlite" ODBCINSTINI=odbcinst.ini "build-release/bench/$bench"
done
