#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR) and runs the installed programs
# there with a fresh HOME: they find what ships with them in share/ambrel-quillpad/ and
# keep their data in the XDG data folder, never beside the programs.
#   installed_copy.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
program_pid=
cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; wait "$program_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
usr=$stage/usr

# The layout.
expected=(
  bin/quillpad bin/quillpad-cli
  share/ambrel-quillpad/Images/toolsbarBackground.bmp share/ambrel-quillpad/Images/itemBackground1.bmp
  share/ambrel-quillpad/Sounds/Alarm.wav share/ambrel-quillpad/images/appIcon.png
  share/applications/ambrel-quillpad.desktop share/metainfo/example.ambrel.quillpad.metainfo.xml
  share/man/man1/quillpad.1.gz share/man/man1/quillpad-cli.1.gz
  share/bash-completion/completions/quillpad-cli share/zsh/vendor-completions/_quillpad-cli
  share/fish/vendor_completions.d/quillpad-cli.fish
  share/doc/ambrel-quillpad/copyright
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/ambrel-quillpad.png")
done
if [ -f "$source/resources/manual/index.html" ]; then
  expected+=(share/ambrel-quillpad/manual/index.html)
fi
for file in "${expected[@]}"; do
  [ -f "$usr/$file" ] || fail "not installed: $file"
done
[ ! -e "$usr/bin/Images" ] || fail "resources beside the installed programs"
gzip -t "$usr/share/man/man1/quillpad.1.gz" "$usr/share/man/man1/quillpad-cli.1.gz"
bash -n "$usr/share/bash-completion/completions/quillpad-cli"
zsh -n "$usr/share/zsh/vendor-completions/_quillpad-cli"
fish -n "$usr/share/fish/vendor_completions.d/quillpad-cli.fish"

# A fresh user: nothing but HOME and a private runtime folder. Runs in place of the
# calling shell, so a program started in the background is the process $! names.
run_as_user() {  # HOME_DIR XDG_DATA_HOME_OR_EMPTY COMMAND...
  local home=$1 data=$2
  shift 2
  mkdir -p "$home" "$work/runtime"
  chmod 700 "$work/runtime"
  exec env -u QUILLPAD_HOME -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY \
    HOME="$home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    ${data:+XDG_DATA_HOME="$data"} "$@"
}
as_user() { (run_as_user "$@"); }
cli=$usr/bin/quillpad-cli

# The companion writes under ~/.local/share/ambrel-quillpad by default...
first=$work/first
parent=$(as_user "$first" "" "$cli" add "Buy stamps")
as_user "$first" "" "$cli" add "Post the letters" --parent "$parent" >/dev/null
as_user "$first" "" "$cli" add "Water the plants" >/dev/null
as_user "$first" "" "$cli" list >"$work/before.txt"
as_user "$first" "" "$cli" backup "$work/tasks.qvx"
[ -f "$first/.local/share/ambrel-quillpad/qvData.qvb" ] || fail "no database in ~/.local/share/ambrel-quillpad"
[ -s "$work/tasks.qvx" ] || fail "no backup written"

# ...and under $XDG_DATA_HOME/ambrel-quillpad when that is set; a restore there brings
# back the same list.
second=$work/second
as_user "$second" "$work/xdg" "$cli" restore "$work/tasks.qvx" --answer no
as_user "$second" "$work/xdg" "$cli" list >"$work/after.txt"
[ -f "$work/xdg/ambrel-quillpad/qvData.qvb" ] || fail "no database in \$XDG_DATA_HOME/ambrel-quillpad"
[ ! -e "$second/.local/share/ambrel-quillpad" ] || fail "XDG_DATA_HOME was not followed"
grep -q "Post the letters" "$work/before.txt" || fail "the list lacks the sub-task: $(cat "$work/before.txt")"
diff -u "$work/before.txt" "$work/after.txt" || fail "the restored list differs"

# The program: its pictures load from share/ambrel-quillpad/Images before the database
# is opened, so a database in the XDG folder shows it found them.
third=$work/third
run_as_user "$third" "" "$usr/bin/quillpad" >"$work/program.log" 2>&1 &
program_pid=$!
database=$third/.local/share/ambrel-quillpad/qvData.qvb
for _ in $(seq 1 300); do
  [ -f "$database" ] && break
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
  sleep 0.1
done
[ -f "$database" ] || fail "the program made no database in ~/.local/share/ambrel-quillpad"
kill -0 "$program_pid" 2>/dev/null || fail "the program ended: $(cat "$work/program.log")"
[ "$(stat -c %a "$database")" = 600 ] || fail "the database is not private to its owner"

# Nothing of the user's was written into the installed prefix.
stray=$(find "$stage" -name 'qvData.qvb*' -o -name qvConf.ini -o -name Temp)
[ -z "$stray" ] || fail "data written into the prefix: $stray"
echo "installed copy: OK"
