#!/usr/bin/env python3
"""quillpad-cli with its data folder on a full disk (a small tmpfs).

Every file a command writes on that disk either replaces the old one whole or leaves it as
it was, with exit status 1; the tasks can still be listed, backed up, exported and saved to
another disk, and a change is refused saying the disk is full.

Usage: full_disk.py QUILLPAD_CLI. Exits 77 (skipped) where no tmpfs can be mounted.
"""
import base64, json, os, shutil, sqlite3, subprocess, sys, tempfile

SKIP = 77
KIB = 1024
cli = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp(prefix="quillpad-full-")
disk = os.path.join(work, "disk")  # the full one
home = os.path.join(disk, "data")
other = os.path.join(work, "other")  # another disk with room
filler = os.path.join(disk, "filler")
failures = []


def run(*args, data=home, stdout=subprocess.PIPE):
    env = dict(os.environ, QUILLPAD_HOME=data, QUILLPAD_SYNC_PASSWORD="not used", XDG_RUNTIME_DIR=work,
               XDG_CONFIG_HOME=os.path.join(work, "config"), TZ="UTC0")
    return subprocess.run([cli, *args], env=env, stdout=stdout, stderr=subprocess.PIPE, text=True, timeout=120)


def must(done, what):
    if done.returncode != 0:
        sys.exit(f"set-up: {what} gave {done.returncode}: {done.stderr}")
    return done.stdout


def free():
    st = os.statvfs(disk)
    return st.f_bavail * st.f_frsize


def fill(left):
    """Leaves `left` bytes free on the disk (in whole pages)."""
    if os.path.exists(filler):
        os.remove(filler)
    with open(filler, "wb") as f:
        f.write(b"\0" * max(0, free() - left))
    return free()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def check(row, condition, what):
    if not condition:
        failures.append(f"{row}: {what}")


os.makedirs(disk)
mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m,mode=0700", "quillpad-full-disk", disk],
                         capture_output=True, text=True)
if mounted.returncode != 0:
    shutil.rmtree(work, ignore_errors=True)
    print(f"no tmpfs can be mounted here ({mounted.stderr.strip()}); skipped")
    sys.exit(SKIP)
try:
    os.makedirs(home)
    os.makedirs(other)
    # Text that does not compress, so every file written is tens of kilobytes.
    for i in range(40):
        must(run("add", f"task {i} " + base64.b64encode(os.urandom(1500)).decode()), "add")
    tids = [t["tid"] for t in json.loads(must(run("list", "--json"), "list"))["tasks"]]
    database = os.path.join(home, "qvData.qvb")
    settings = os.path.join(home, "qvConf.ini")
    with open(settings, "w") as f:  # settings grown large, as a long-used program's are
        f.write("[option]\nrunMinimizedEn=0\n[notes]\n" + "".join(f"n{i}={'x' * 90}\n" for i in range(1000)))
    small = os.path.join(disk, "small")  # a few short tasks: files of a few kilobytes
    must(run("add", "a short task", data=small), "add")

    # Room for the database's shared memory (32 KiB) and at most a little more: not for
    # the file written, whether it goes in one piece or many.
    writers = [
        ("export", small, 32, ["export", "{f}"], "e.qvx", "File Write Failure"),
        ("backup", small, 32, ["backup", "{f}"], "b.qvx", "File write failure"),
        ("ics export", home, 48, ["ics", "export", "{f}"], "t.ics", "File write failure"),
        ("save --all text", home, 48, ["save", "--all", "{f}"], "s.txt", "File write failure"),
        ("save --all page", home, 48, ["save", "--all", "{f}"], "s.html", "File write failure"),
        ("sync --server settings", home, 48, ["sync", "--server", "http://127.0.0.1:9/", "--user", "u"], None,
         "Unable to write to"),
    ]
    for row, data, room, args, name, message in writers:
        if name:
            target = os.path.join(disk, row.replace(" ", "-"), name)
            os.makedirs(os.path.dirname(target))
            with open(target, "wb") as f:
                f.write(b"the old file\n" * 800)
        else:
            target = settings
        old = read(target)
        left = fill(room * KIB)
        if row == "export":
            args = args + [t["tid"] for t in json.loads(must(run("list", "--json", data=small), "list"))["tasks"]]
        done = run(*[a.replace("{f}", target) for a in args], data=data)
        check(row, done.returncode == 1, f"exit {done.returncode} with {left} bytes free: {done.stderr}")
        check(row, message in done.stderr, f"reported {done.stderr!r}")
        check(row, read(target) == old, f"the old file became {len(read(target))} of {len(old)} bytes")
        check(row, sorted(os.listdir(os.path.dirname(target))) == sorted(
            [name] if name else ["qvConf.ini", "qvData.qvb"]), f"left beside it: {os.listdir(os.path.dirname(target))}")

    # Output redirected to the full disk is a failure, not a short list.
    fill(48 * KIB)
    with open(os.path.join(disk, "list.txt"), "w") as listed:
        done = run("list", stdout=listed)
    check("list > full disk", done.returncode == 1, f"exit {done.returncode}: {done.stderr}")

    def rescue(row):
        """Reading and saving to the other disk work; a change is refused as the disk is full."""
        before = [read(f) if os.path.exists(f) else None for f in (database, database + "-wal")]
        listed = run("list")
        check(row, listed.returncode == 0 and listed.stdout.count("task ") == 40,
              f"list: exit {listed.returncode}: {listed.stderr}")
        saved = os.path.join(other, row.replace(" ", "-"))
        for file, args in ((saved + ".qvx", ["backup"]), (saved + "-e.qvx", ["export"]),
                           (saved + ".txt", ["save", "--all"]), (saved + ".ics", ["ics", "export"])):
            done = run(*args, file, *(tids if args == ["export"] else []))
            check(row, done.returncode == 0 and os.path.getsize(file) > 0, f"{args[0]}: exit {done.returncode}: {done.stderr}")
        restored = os.path.join(other, row.replace(" ", "-") + "-restored")
        done = run("restore", saved + ".qvx", data=restored)
        count = json.loads(run("list", "--json", data=restored).stdout or '{"count": 0}')["count"]
        check(row, done.returncode == 0 and count == 40, f"the backup restores {count} tasks: {done.stderr}")
        added = run("add", "not stored")
        check(row, added.returncode == 1 and "the disk is full" in added.stderr, f"add: {added.stderr!r}")
        check(row, [read(f) if os.path.exists(f) else None for f in (database, database + "-wal")] == before,
              "the database changed")
        return listed.stdout

    for left in (0, 8 * KIB):
        fill(left)
        rescue(f"{left // KIB} KiB free")

    # A log not yet folded into the file (a program that ended without closing it) and no
    # shared-memory file: the log's tasks are read too.
    fill(1024 * KIB)
    subprocess.run([sys.executable, "-c", f"""
import os, sqlite3
db = sqlite3.connect({database!r}, isolation_level=None)
db.execute("pragma wal_autocheckpoint=0")
db.execute("update tasks set content='task in the log only' where tid=?", ({tids[0]!r},))
os._exit(0)
"""], check=True)
    os.remove(database + "-shm")
    check("log set-up", os.path.getsize(database + "-wal") > 0, "no log left")
    fill(0)
    check("log not yet folded in", "task in the log only" in rescue("log not yet folded in"), "the log's change")
finally:
    subprocess.run(["umount", disk])
    shutil.rmtree(work, ignore_errors=True)

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
