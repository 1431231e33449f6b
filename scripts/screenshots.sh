#!/usr/bin/env bash
# Takes the README's screenshots of both windows, and the example picture that "Help" offers, from the
# real program under Xvfb. Run after a build: bash scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in Xvfb:xvfb xdotool:xdotool import:imagemagick; do
    command -v "${tool%%:*}" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${tool##*:}"
done
export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
mkdir -p docs

window() { xdotool search --sync --onlyvisible --name '^Rowquarry$' | head -n 1; }
click() { # window, x and y in pixels inside it
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.5
}
type_into() { # window, x, y, text
    click "$1" "$2" "$3"
    xdotool type --delay 20 "$4"
}

# The connection window on the sample database, then the extraction window after two extractions with an item in
# the value pane, the Tables dialog, and the window enlarged with where each item was found.
(
    source scripts/sample-env.sh
    # Settings of their own: the windows as they first come up, whatever earlier runs of the sample left.
    config=$(mktemp -d)
    printf '[Rowquarry]\nMSServer=sample\nMSUser=demo\nMSDatabase=%s\nPort=1433\n' "$PWD/sample/shop.db" \
        > "$config/Quillmark.ini"
    export XDG_CONFIG_HOME="$config"
    build/src/rowquarry &
    app=$!
    id=$(window)
    sleep 0.5
    import -window "$id" docs/connection-window.png
    click "$id" 268 240                      # "Next >"
    sleep 1
    id=$(window)
    type_into "$id" 150 138 "<b>"            # "Start with:"
    type_into "$id" 150 170 "</b>"           # "End with:"
    click "$id" 130 236                      # "Extract" (between)
    type_into "$id" 130 30 "example"         # search text
    click "$id" 130 81                       # "Extract" (lines)
    click "$id" 360 52                       # the first result, then the last: a line found, in the value pane
    xdotool key End
    sleep 0.5
    import -window "$id" docs/extraction-window.png
    xdotool mousemove --window "$id" 360 52   # over the first result: where it was found
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$id")"
    import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" docs/origin-tooltip.png
    # The list's menu: "Tables..." (the last entry), then "Show Where Found" in a larger window.
    xdotool mousemove --window "$id" 360 80 click 3
    sleep 0.5
    xdotool key Up Return
    sleep 1.5
    dialog=$(xdotool search --sync --onlyvisible --name '^Tables$' | head -n 1)
    import -window "$dialog" docs/tables-dialog.png
    xdotool key Escape
    sleep 0.5
    xdotool windowmove "$id" 0 0
    xdotool windowsize "$id" 900 600
    sleep 0.5
    xdotool mousemove --window "$id" 560 80 click 3
    sleep 0.5
    xdotool key Up Up Up Up Return          # "Show Where Found"
    sleep 0.5
    import -window "$id" docs/extraction-window-large.png
    kill $app
    rm -rf "$config"
)

# The example of a local connection: SQL Server Express on this machine. No driver is registered in
# this private configuration, so start-up cannot connect and the connection window stays.
(
    scratch=$(mktemp -d)
    mkdir -p "$scratch/odbc" "$scratch/config"
    : > "$scratch/odbc/odbcinst.ini"
    printf '[Rowquarry]\nMSServer=localhost\\SQLEXPRESS\nMSUser=sa\nMSPassword=example1\nMSDatabase=Northwind\nPort=1433\nLocal Connection=1\n' \
        > "$scratch/config/Quillmark.ini"
    ODBCSYSINI="$scratch/odbc" ODBCINSTINI=odbcinst.ini XDG_CONFIG_HOME="$scratch/config" build/src/rowquarry &
    app=$!
    id=$(window)
    sleep 0.5
    import -window "$id" -quality 90 resources/local-connection-example.jpg
    kill $app
    rm -rf "$scratch"
)
echo "Wrote docs/connection-window.png, docs/extraction-window.png, docs/origin-tooltip.png, docs/tables-dialog.png,"
echo "docs/extraction-window-large.png and resources/local-connection-example.jpg"
