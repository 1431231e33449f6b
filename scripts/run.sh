#!/usr/bin/env bash
# Installs what is missing, builds Rowquarry and starts it on the bundled sample database. Neither the
# machine's ODBC set-up nor your own saved Rowquarry settings are touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
source scripts/sample-env.sh
if [ -z "${DISPLAY:-}" ]; then
    echo "No X display: start Rowquarry from a desktop session (on Wayland, through XWayland) or set DISPLAY." >&2
    exit 1
fi
exec build/src/rowquarry
