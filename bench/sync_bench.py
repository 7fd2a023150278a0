#!/usr/bin/env python3
"""Times quillpad-cli sync against a local Radicale server, beside raw HTTP baselines.

Usage: bench/sync_bench.py QUILLPAD_CLI [tasks] [uploaded]   (default 10000 1000)

first sync up:   a folder with `uploaded` tasks to an empty collection; baseline: the same
                 objects PUT one by one over one kept-alive connection. Radicale's own PUT
                 grows slower as a collection grows, so this is timed on fewer tasks.
first sync down: fresh folders A and B from a collection of N objects (written into the
                 server's storage); baseline: one calendar-query REPORT of every object.
incremental:     one task changed on A, then A and B sync; baseline: a PROPFIND Depth 1 of
                 the collection's ETags (what any ETag comparison must read).
"""
import http.client, json, os, shutil, sqlite3, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "sync"))
from radicale_server import Radicale  # noqa: E402

cli = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
uploaded = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
work = tempfile.mkdtemp(prefix="quillpad-sync-bench-")


def vtodo(i, parent=None):
    related = f"RELATED-TO;RELTYPE=PARENT:bench-{parent}\r\n" if parent is not None else ""
    status = "STATUS:COMPLETED\r\nCOMPLETED:20261205T120000Z\r\n" if i % 3 == 0 else ""
    return (f"BEGIN:VTODO\r\nUID:bench-{i}\r\nSUMMARY:Task number {i} with a little text\r\n{related}{status}"
            f"CREATED:20261201T100000Z\r\nLAST-MODIFIED:20261201T100000Z\r\nDTSTAMP:20261201T100000Z\r\nEND:VTODO\r\n")


def calendar(body):
    return f"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n{body}END:VCALENDAR\r\n"


def run(folder, *args):
    env = dict(os.environ, QUILLPAD_HOME=os.path.join(work, folder), QUILLPAD_SYNC_PASSWORD=server.password,
               XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_RUNTIME_DIR=work)
    os.makedirs(env["QUILLPAD_HOME"], exist_ok=True)
    start = time.perf_counter()
    done = subprocess.run([cli, *args], env=env, capture_output=True, text=True)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"{folder} {args}: {done.stdout}{done.stderr}")
    return elapsed, done.stdout.strip()


def timed_http(method, path, body, headers):
    connection = http.client.HTTPConnection("127.0.0.1", server.port)
    start = time.perf_counter()
    connection.request(method, path, body, {"Authorization": server.auth, **headers})
    reply = connection.getresponse()
    reply.read()
    return time.perf_counter() - start


server = Radicale(work)
if server.process is None:
    sys.exit("radicale cannot start")
try:
    server.make_task_collection("up")
    server.make_task_collection("raw")
    server.make_task_collection("tasks")
    # A fifth are sub-tasks of the task before their run.
    todos = [vtodo(i, i - 1 - (i % 5) + 1 if i % 5 else None) for i in range(count)]
    with open(os.path.join(work, "tasks.ics"), "w") as f:
        f.write(calendar("".join(todos[:uploaded])))
    run("U", "ics", "import", os.path.join(work, "tasks.ics"))
    up, up_out = run("U", "sync", "--server", server.base + "/", "--user", server.user, "--collection",
                     f"/{server.user}/up/")
    connection = http.client.HTTPConnection("127.0.0.1", server.port)
    start = time.perf_counter()
    for i, todo in enumerate(todos[:uploaded]):
        connection.request("PUT", f"/{server.user}/raw/{i}.ics", calendar(todo).encode(),
                           {"Authorization": server.auth, "Content-Type": "text/calendar", "If-None-Match": "*"})
        connection.getresponse().read()
    raw_up = time.perf_counter() - start

    # The big collection as another client's objects, straight into the server's storage.
    collection = f"/{server.user}/tasks/"
    folder = os.path.join(work, "store", "collection-root", server.user, "tasks")
    for i, todo in enumerate(todos):
        with open(os.path.join(folder, f"{i}.ics"), "w", newline="") as f:
            f.write(calendar(todo))
    down, down_out = run("A", "sync", "--server", server.base + "/", "--user", server.user, "--collection", collection)
    down_b, _ = run("B", "sync", "--server", server.base + "/", "--user", server.user, "--collection", collection)
    raw_down = timed_http("REPORT", collection,
                          b'<c:calendar-query xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop>'
                          b'<d:getetag/><c:calendar-data/></d:prop><c:filter><c:comp-filter name="VCALENDAR">'
                          b'<c:comp-filter name="VTODO"/></c:comp-filter></c:filter></c:calendar-query>',
                          {"Depth": "1", "Content-Type": "application/xml"})

    db = sqlite3.connect(os.path.join(work, "A", "qvData.qvb"))
    db.execute("update tasks set content='Changed once' where rowid=(select min(rowid) from tasks)")
    db.commit()
    db.close()
    inc_a, inc_a_out = run("A", "sync")
    inc_b, inc_b_out = run("B", "sync")
    raw_list = timed_http("PROPFIND", collection, b'<d:propfind xmlns:d="DAV:"><d:prop><d:getetag/></d:prop></d:propfind>',
                          {"Depth": "1", "Content-Type": "application/xml"})

    print(f"Sync of {count} tasks with Radicale on 127.0.0.1 (seconds, one run each)")
    print(f"{'operation':<22}{'ours':>9}{'baseline':>10}  ours moved / baseline")
    print(f"{'first sync up (' + str(uploaded) + ')':<22}{up:>9.2f}{raw_up:>10.2f}  {up_out} / raw PUT of each object")
    print(f"{'first sync down, A':<22}{down:>9.2f}{raw_down:>10.2f}  {down_out} / one calendar-query")
    print(f"{'first sync down, B':<22}{down_b:>9.2f}{raw_down:>10.2f}  (the server's cache warm, as for the baseline)")
    print(f"{'incremental, A':<22}{inc_a:>9.2f}{raw_list:>10.2f}  {inc_a_out} / PROPFIND of the ETags")
    print(f"{'incremental, B':<22}{inc_b:>9.2f}{raw_list:>10.2f}  {inc_b_out}")
finally:
    server.stop()
    shutil.rmtree(work, ignore_errors=True)
