#!/usr/bin/env bash
# Photographs the program for the AppStream screenshot: a prepared task list in a
# private data folder, the program on a private X server, its window grabbed to
# resources/screenshots/main-window.png.
#   scripts/make-screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh imagemagick sqlite3
build_dir="${BUILD_DIR:-build}"
output=$(realpath -m "${1:-resources/screenshots/main-window.png}")
bin=$(realpath "$build_dir/bin")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUILLPAD_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -p "$QUILLPAD_HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

add() { "$bin/quillpad-cli" add "$@"; }
party=$(add "Plan the garden party")
invitations=$(add "Send the invitations" --parent "$party")
add "Order the cake" --parent "$party" >/dev/null
add "Borrow chairs from the neighbours" --parent "$party" >/dev/null
insurance=$(add "Renew the car insurance")
add "Book the dentist for March" >/dev/null
report=$(add "Quarterly report")
figures=$(add "Collect the figures" --parent "$report")
add "Draft the summary" --parent "$report" >/dev/null
add "Call the plumber about the kitchen tap" >/dev/null

# What the companion does not set: open branches, done tasks, a colour and a due date.
# Times are days since 1899-12-30, as the program stores them.
now="julianday('now','localtime') - julianday('1899-12-30')"
sqlite3 "$QUILLPAD_HOME/qvData.qvb" <<SQL
UPDATE tasks SET expandFlag=1 WHERE tid IN ('$party','$report');
UPDATE tasks SET checkFlag=1, checkTime=$now WHERE tid IN ('$invitations','$figures');
UPDATE tasks SET backgroundColor=$((0xB3E6FF)) WHERE tid='$insurance';
UPDATE tasks SET dueFlag=1, dueTime=$now + 4 WHERE tid='$report';
SQL

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  "$1/quillpad" &
  program=$!
  window=$(xdotool search --sync --onlyvisible --name "^Ambrel Quillpad\$" | head -n1)
  sleep 3  # the list loads after the first show
  import -window "$window" "$2"
  kill "$program"
' _ "$bin" "$output"
echo "Wrote $output ($(identify -format '%wx%h' "$output"))"
