#!/usr/bin/env bash
# Photographs the real program for the user manual: a prepared data folder, the
# program under its own X server, the windows grabbed with ImageMagick's `import`.
#
#   resources/tools/make_screenshots.sh [build-folder]
#
# Needs xvfb, xdotool, imagemagick and python3. Writes resources/manual/shots/*.png.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
project=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$project/build}" && pwd)
shots="$project/resources/manual/shots"
mkdir -p "$shots"

work=$(mktemp -d)
server_pid=
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own, a free display number.
display=77
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp &
server_pid=$!
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# A data folder with a believable list: tasks, sub-tasks, a due date, a colour, one done.
prepare() {  # folder, then "reminder" to make one reminder ring at start
    local home=$1
    mkdir -p "$home"
    export QUILLPAD_HOME=$home
    local cli="$build/bin/quillpad-cli"
    local trip garden
    trip=$("$cli" add "Plan the trip to Lisbon")
    "$cli" add "Book the flights" --parent "$trip" >/dev/null
    "$cli" add "Find a hotel near Alfama" --parent "$trip" >/dev/null
    "$cli" add "Renew passport" --parent "$trip" >/dev/null
    "$cli" add "Call the plumber about the kitchen tap" >/dev/null
    garden=$("$cli" add "Garden" )
    "$cli" add "Buy tomato seedlings" --parent "$garden" >/dev/null
    "$cli" add "Send the quarterly report to Anna" >/dev/null
    "$cli" add "Dentist appointment" >/dev/null
    python3 - "$home/qvData.qvb" "${2:-}" <<'PY'
import datetime, sqlite3, sys
def stamp(moment):  # days since 1899-12-30, local time
    return (moment - datetime.datetime(1899, 12, 30)).total_seconds() / 86400
now = datetime.datetime.now().replace(second=0, microsecond=0)
db = sqlite3.connect(sys.argv[1])
def where(text, sql, *values):
    db.execute("update tasks set " + sql + " where content=?", (*values, text))
where("Plan the trip to Lisbon", "expandFlag=1")
where("Garden", "expandFlag=1")
where("Renew passport", "checkFlag=1, checkTime=?", stamp(now - datetime.timedelta(days=2)))
where("Call the plumber about the kitchen tap", "dueFlag=1, dueTime=?", stamp(now - datetime.timedelta(days=1)))
where("Send the quarterly report to Anna", "dueFlag=1, dueTime=?", stamp(now + datetime.timedelta(days=3)))
where("Dentist appointment", "alarmFlag=1, alarmTime=?",
      stamp(now - datetime.timedelta(minutes=1)) if sys.argv[2] == "reminder" else stamp(now + datetime.timedelta(days=5)))
where("Buy tomato seedlings", "textColor=?, backgroundColor=?", 0x006400, 0xCCFFCC)  # BGR as stored
db.commit()
PY
}

# Starts the program, waits for the named window and grabs it into the file. Keys
# given after the file are typed into the main window first (menu accelerators).
shoot() {  # window title, file, keys...
    local title=$1 file=$2
    shift 2
    "$build/bin/quillpad" &
    program_pid=$!
    local id
    if [ $# -gt 0 ]; then
        id=$(xdotool search --sync --onlyvisible --name "^Ambrel Quillpad\$" | head -n 1)
        sleep 2
        xdotool windowfocus "$id"
        for key in "$@"; do xdotool key --window "$id" "$key"; sleep 0.5; done
    fi
    id=$(xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1)
    sleep 1  # let it draw (the update offer closes itself after five seconds)
    import -window "$id" "$work/shot.png"
    # Few colours and no metadata keep the pictures small.
    convert "$work/shot.png" -strip -colors 128 -define png:compression-level=9 "$shots/$file"
    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
    program_pid=
}

prepare "$work/plain"
shoot "Ambrel Quillpad" main.png

prepare "$work/dates"
printf '[task]\nviewDateEn=1\n' > "$work/dates/qvConf.ini"
shoot "Ambrel Quillpad" views.png

prepare "$work/ringing" reminder
shoot "Task Reminder" reminder.png

prepare "$work/about"
shoot "About\.\.\." about.png alt+h a

# Last visit to the maker's site long ago: the update offer comes at start.
prepare "$work/update"
printf '[option]\nvisitWeb=2020-01-01T00:00:00.000Z\n' > "$work/update/qvConf.ini"
shoot "Ambrel Update" update.png

ls -l "$shots"
