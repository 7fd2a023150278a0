#!/usr/bin/env python3
"""quillpad-cli sync against a hostile server: a proxy in front of Radicale answering in
chosen broken ways (hostile_proxy.py). Each row starts from fresh data folders and a fresh
collection, and names the fault it guards against.

Usage: sync_hostile.py QUILLPAD_CLI [ROW...]. Exits 77 (skipped) when Radicale cannot start.
"""
import json, os, shutil, sqlite3, subprocess, sys, tempfile, urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from radicale_server import Radicale  # noqa: E402
from hostile_proxy import Proxy  # noqa: E402

SKIP = 77
cli = sys.argv[1]
chosen = sys.argv[2:]
work = tempfile.mkdtemp(prefix="quillpad-hostile-")
server = Radicale(work)
proxy = None
failures = []


class Row:
    """One row's data folders, all syncing with the row's own collection through the proxy."""

    def __init__(self, name):
        self.name = name
        self.folder = os.path.join(work, name)
        self.collection = f"/{server.user}/{name}/"
        assert server.http("MKCALENDAR", self.collection)[0] == 201, "collection " + name
        proxy.set_modes()

    def run(self, device, *args, expect=0, env=None):
        home = os.path.join(self.folder, device)
        os.makedirs(home, exist_ok=True)
        environment = dict(os.environ, QUILLPAD_HOME=home, QUILLPAD_SYNC_PASSWORD=server.password,
                           XDG_CONFIG_HOME=os.path.join(self.folder, "config"), XDG_RUNTIME_DIR=self.folder,
                           **(env or {}))
        done = subprocess.run([cli, *args], env=environment, capture_output=True, text=True, timeout=120)
        if expect is not None and done.returncode != expect:
            raise AssertionError(f"{device}: {' '.join(args)} gave {done.returncode}: {done.stdout}{done.stderr}")
        return done

    def sync(self, device, *args, expect=0, env=None):
        """A sync through the proxy with this row's collection; the CompletedProcess."""
        return self.run(device, "sync", "--server", proxy.base + "/", "--user", server.user,
                        "--collection", self.collection, *args, expect=expect, env=env)

    def add(self, device, text, parent=None):
        args = ["add", text] + (["--parent", parent] if parent else [])
        return self.run(device, *args).stdout.strip()

    def tasks(self, device):
        """Every task by its text: the record, with parentText for a sub-task."""
        result = {}
        for task in json.loads(self.run(device, "list", "--json").stdout)["tasks"]:
            result[task["content"]] = task
            for child in task.get("children", []):
                result[child["content"]] = dict(child, parentText=task["content"])
        return result

    def sql(self, device, statement, *values):
        db = sqlite3.connect(os.path.join(self.folder, device, "qvData.qvb"))
        rows = db.execute(statement, values).fetchall()
        db.commit()
        db.close()
        return rows

    def put(self, name, ics):
        """An object written straight into the collection (as another client would)."""
        return server.http("PUT", self.collection + name, ics, {"Content-Type": "text/calendar"})[0]

    def delete(self, name):
        return server.http("DELETE", self.collection + name)[0]

    def objects(self):
        """The collection's objects on the server, by address."""
        status, body = server.http("PROPFIND", self.collection, b"", {"Depth": "1"})
        assert status == 207
        import re
        return sorted(h for h in re.findall(r"<(?:\w+:)?href>([^<]+)</", body.decode()) if h.endswith(".ics"))


def todo(uid, summary, extra=""):
    return (f"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Client//EN\r\nBEGIN:VTODO\r\nUID:{uid}\r\n"
            f"DTSTAMP:20261201T100000Z\r\nSUMMARY:{summary}\r\n{extra}END:VTODO\r\nEND:VCALENDAR\r\n").encode()


def check(condition, what):
    if not condition:
        raise AssertionError(what)


# Rows ---------------------------------------------------------------------------------

def row_plain_sync_through_the_proxy(row):
    """The fixture itself: with no mode set, the proxy passes everything on."""
    row.add("A", "Through the proxy")
    row.sync("A")
    row.sync("B")
    check("Through the proxy" in row.tasks("B"), "B has A's task")
    check(all(entry["origin"] == "base" for entry in json.load(urllib.request.urlopen(proxy.base + "/_proxy/log"))),
          "every request went to the configured origin")


def row_title_renamed_elsewhere(row):
    """A title renamed in another client replaces ours, and our next upload does not bring the old one back."""
    tid = row.add("A", "Plan trip\nBook flights")
    row.sync("A")
    [href] = row.objects()
    ics = server.http("GET", href)[1].decode()
    check("SUMMARY:Plan trip" in ics, "uploaded with its title: " + ics)
    name = href.rsplit("/", 1)[1]
    check(row.put(name, ics.replace("SUMMARY:Plan trip", "SUMMARY:Plan holiday").encode()) in (201, 204),
          "renamed by the other client")
    row.sync("A")
    check("Plan holiday\r\nBook flights" in row.tasks("A"), f"renamed here: {list(row.tasks('A'))}")
    row.sql("A", "update tasks set checkFlag=1 where tid=?", tid)
    row.sync("A")
    ics = server.http("GET", href)[1].decode()
    check("Plan trip" not in ics, "the old title uploaded again: " + ics)
    row.sync("B")
    task = row.tasks("B").get("Plan holiday\r\nBook flights")
    check(task and task["checkFlag"], f"B has the renamed, completed task: {list(row.tasks('B'))}")


def row_cancelled_elsewhere(row):
    """A task cancelled in another client shows as done and stays cancelled after our edit."""
    check(row.put("cancelled.ics", todo("cancelled-1", "Old plan", "STATUS:CANCELLED\r\n")) == 201, "put")
    row.sync("A")
    task = row.tasks("A").get("Old plan")
    check(task and task["checkFlag"], f"shown as done: {task}")
    check(not task["createTime"].startswith("1899"), f"a creation time: {task['createTime']}")
    row.sql("A", "update tasks set content='Old plan, dropped' where tid=?", task["tid"])
    row.sync("A")
    ics = server.http("GET", row.collection + "cancelled.ics")[1].decode()
    check("STATUS:CANCELLED" in ics and "SUMMARY:Old plan\\, dropped" in ics, "still cancelled: " + ics)


ROWS = [row_plain_sync_through_the_proxy, row_title_renamed_elsewhere, row_cancelled_elsewhere]


if server.process is None:
    shutil.rmtree(work, ignore_errors=True)
    print("radicale cannot start; skipped")
    sys.exit(SKIP)
try:
    server.http("MKCOL", f"/{server.user}/")
    proxy = Proxy(server.port)
    for function in ROWS:
        name = function.__name__[len("row_"):]
        if chosen and name not in chosen:
            continue
        try:
            function(Row(name.replace("_", "-")))
            print("PASS", name)
        except AssertionError as error:
            failures.append(name)
            print("FAIL", name, "-", error)
    if failures:
        sys.exit(f"{len(failures)} rows failed: {', '.join(failures)}")
finally:
    if proxy:
        proxy.stop()
    server.stop()
    shutil.rmtree(work, ignore_errors=True)
