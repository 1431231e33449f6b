#!/usr/bin/env bash
# Installs what Rowquarry needs to build, run and test on Debian 12 (as root), and registers FreeTDS as
# the ODBC driver "SQL Server" unless a driver of that name already exists. Quick when all is there.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev libpcre2-dev liblz4-dev unixodbc-dev unixodbc odbcinst tdsodbc libsqliteodbc sqlite3
          libsqlite3-dev libgtest-dev libbenchmark-dev libssl-dev fonts-liberation xdg-utils clang-format git)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! odbcinst -q -d -n "SQL Server" >/dev/null 2>&1; then
    driver=$(find /usr/lib -name libtdsodbc.so -print -quit)
    printf '[SQL Server]\nDescription=FreeTDS ODBC driver for Microsoft SQL Server\nDriver=%s\n' "$driver" \
        > /tmp/rowquarry-freetds.ini
    odbcinst -i -d -f /tmp/rowquarry-freetds.ini
    rm -f /tmp/rowquarry-freetds.ini
fi
