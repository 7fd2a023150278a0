#!/usr/bin/env python3
"""Two data folders syncing through a real Radicale server with quillpad-cli sync.

Usage: sync_radicale.py QUILLPAD_CLI FIXTURES. Exits 77 (skipped) when Radicale cannot start.
"""
import json, os, shutil, sqlite3, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from radicale_server import Radicale  # noqa: E402

SKIP = 77
cli, fixtures = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="quillpad-sync-")
server = Radicale(work)
USER, PASSWORD, base, http = server.user, server.password, server.base, server.http


def run(folder, *args, expect=0):
    env = dict(os.environ, QUILLPAD_HOME=os.path.join(work, folder), QUILLPAD_SYNC_PASSWORD=PASSWORD,
               XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_RUNTIME_DIR=work)
    os.makedirs(env["QUILLPAD_HOME"], exist_ok=True)
    done = subprocess.run([cli, *args], env=env, capture_output=True, text=True, timeout=120)
    if done.returncode != expect:
        sys.exit(f"{folder}: {' '.join(args)} gave {done.returncode}: {done.stdout}{done.stderr}")
    return done.stdout


def tasks(folder):
    """Every task of the folder by its text, each with its sub-tasks' texts."""
    result = {}
    for task in json.loads(run(folder, "list", "--json"))["tasks"]:
        result[task["content"]] = task
        for child in task.get("children", []):
            result[child["content"]] = dict(child, parentText=task["content"])
    return result


def sql(folder, statement, *values):
    db = sqlite3.connect(os.path.join(work, folder, "qvData.qvb"))
    db.execute(statement, values)
    db.commit()
    db.close()


def check(condition, what):
    if not condition:
        sys.exit("FAIL: " + what)


if server.process is None:
    shutil.rmtree(work, ignore_errors=True)
    print("radicale cannot start; skipped")
    sys.exit(SKIP)
try:
    check(server.make_task_collection(), "task collection")

    # Added on A with a sub-task, reminder, due date and completion; appears on B.
    run("A", "ics", "import", os.path.join(fixtures, "sync-a-task.ics"))
    run("A", "sync", "--server", base + "/", "--user", USER)  # the collection is found
    run("B", "sync", "--server", base + "/", "--user", USER)
    b = tasks("B")
    check(set(b) == {"Plan the trip", "Book the train"}, f"B has A's tasks: {sorted(b)}")
    check(b["Book the train"]["parentText"] == "Plan the trip", "sub-task under its task")
    check(b["Book the train"]["checkFlag"], "completion")
    check(b["Plan the trip"]["dueFlag"] and b["Plan the trip"]["alarmFlag"], "due date and reminder")
    check(b["Plan the trip"]["dueTime"] == tasks("A")["Plan the trip"]["dueTime"], "same due time")

    # Nothing changed: nothing moves.
    check(run("B", "sync").startswith("uploaded 0, downloaded 0"), "a sync without changes moves nothing")

    # Edited on B, back on A.
    sql("B", "update tasks set content=? where content=?", "Plan the trip to Lyon", "Plan the trip")
    run("B", "sync")
    run("A", "sync")
    check("Plan the trip to Lyon" in tasks("A"), "B's edit on A")

    # Both edit one task: the server's stays, ours is a conflict copy; nothing lost.
    sql("A", "update tasks set content=? where content=?", "Book the night train", "Book the train")
    sql("B", "update tasks set content=? where content=?", "Book the day train", "Book the train")
    run("A", "sync")
    out = run("B", "sync")
    check("conflicts 1" in out, "B saw the conflict: " + out)
    run("A", "sync")
    for folder in ("A", "B"):
        texts = set(tasks(folder))
        check({"Book the night train", "Conflict copy: Book the day train"} <= texts,
              f"{folder} keeps both edits: {sorted(texts)}")

    # Deleted on A, gone from B, and it does not come back.
    sql("A", "delete from tasks where content like ?", "%day train")
    run("A", "sync")
    run("B", "sync")
    check("Conflict copy: Book the day train" not in tasks("B"), "A's delete reached B")
    run("A", "sync")
    check("Conflict copy: Book the day train" not in tasks("A"), "the delete stays")

    # Another client's task, nested three deep, with properties we do not know.
    parent = b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Client//EN\r\nBEGIN:VTODO\r\nUID:other-%s\r\n" \
             b"SUMMARY:%s\r\n%sDTSTAMP:20261201T100000Z\r\nEND:VTODO\r\nEND:VCALENDAR\r\n"
    http("PUT", f"/{USER}/tasks/other-top.ics", parent % (b"top", b"Top from another client", b""),
         {"Content-Type": "text/calendar"})
    http("PUT", f"/{USER}/tasks/other-middle.ics",
         parent % (b"middle", b"Middle from another client", b"RELATED-TO;RELTYPE=PARENT:other-top\r\n"),
         {"Content-Type": "text/calendar"})
    with open(os.path.join(fixtures, "sync-other-client.ics"), "rb") as f:
        check(http("PUT", f"/{USER}/tasks/other-deep.ics", f.read(), {"Content-Type": "text/calendar"})[0] == 201,
              "fixture stored")
    run("A", "sync")
    a = tasks("A")
    check(a["Third level from another client"].get("parentText") == "Top from another client",
          "third level shown under its top-level task")
    sql("A", "update tasks set content=? where content=?", "Third level, edited", "Third level from another client")
    run("A", "sync")
    status, body = http("GET", f"/{USER}/tasks/other-deep.ics")
    text = body.decode()
    check(status == 200 and "SUMMARY:Third level\\, edited" in text, "our edit on the server: " + text)
    for kept in ("X-OTHER-CLIENT-FLAG:keep me", "PRIORITY:3", "CATEGORIES:errands",
                 "RELATED-TO;RELTYPE=PARENT:other-middle"):
        check(kept in text, f"{kept} kept: {text}")
    print("ok")
finally:
    server.stop()
    shutil.rmtree(work, ignore_errors=True)
