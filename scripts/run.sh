#!/usr/bin/env bash
# Installs what is missing, builds Rowquarry and starts it on the bundled sample database. The sample
# has its own ODBC configuration (the SQLite ODBC driver registered as "SQL Server") and its own
# settings file, so neither the machine's ODBC set-up nor your saved Rowquarry settings are touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build

sample="$PWD/sample"
mkdir -p "$sample/odbc" "$sample/config"
if [ ! -f "$sample/shop.db" ]; then
    sqlite3 "$sample/shop.db" < sample-data/sample-database.sql
fi
driver=$(find /usr/lib -name libsqlite3odbc.so -print -quit)
printf '[SQL Server]\nDriver=%s\n' "$driver" > "$sample/odbc/odbcinst.ini"
: > "$sample/odbc/odbc.ini"
if [ ! -f "$sample/config/Quillmark.ini" ]; then
    # Everything but the password, so the connection window comes up first; press "Next >".
    printf '[Rowquarry]\nMSServer=sample\nMSUser=demo\nMSDatabase=%s\nPort=1433\n' "$sample/shop.db" \
        > "$sample/config/Quillmark.ini"
    chmod 600 "$sample/config/Quillmark.ini"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: start Rowquarry from a desktop session (or set DISPLAY)." >&2
    exit 1
fi
export ODBCSYSINI="$sample/odbc" ODBCINSTINI=odbcinst.ini XDG_CONFIG_HOME="$sample/config"
exec build/src/rowquarry
