#!/usr/bin/env python3
"""quillpad-cli sync against a hostile server: a proxy in front of Radicale answering in
chosen broken ways (hostile_proxy.py). Each row starts from fresh data folders and a fresh
collection, and names the fault it guards against.

Usage: sync_hostile.py QUILLPAD_CLI [ROW...]. Exits 77 (skipped) when Radicale cannot start.
"""
import json, os, re, resource, shutil, sqlite3, subprocess, sys, tempfile, time, urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from radicale_server import Radicale  # noqa: E402
from hostile_proxy import Proxy, certificate_fingerprint, make_certificate  # noqa: E402

SKIP = 77
cli = sys.argv[1]
chosen = sys.argv[2:]
work = tempfile.mkdtemp(prefix="quillpad-hostile-")
server = Radicale(work)
proxy = None
certificate = None  # (PEM certificate, key) of the proxy's https origin
failures = []


class Row:
    """One row's data folders, all syncing with the row's own collection through the proxy."""

    def __init__(self, name):
        self.name = name
        self.folder = os.path.join(work, name)
        self.collection = f"/{server.user}/{name}/"
        assert server.http("MKCALENDAR", self.collection)[0] == 201, "collection " + name
        proxy.set_modes()

    def run(self, device, *args, expect=0, env=None, timeout=120):
        """The CompletedProcess, with the `seconds` it took."""
        home = os.path.join(self.folder, device)
        os.makedirs(home, exist_ok=True)
        environment = {**os.environ, "QUILLPAD_HOME": home, "QUILLPAD_SYNC_PASSWORD": server.password,
                       "XDG_CONFIG_HOME": os.path.join(self.folder, "config"), "XDG_RUNTIME_DIR": self.folder,
                       **(env or {})}
        started = time.monotonic()
        with subprocess.Popen([cli, *args], env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True) as child:
            try:
                stdout, stderr = child.communicate(timeout=timeout)
            except subprocess.TimeoutExpired:
                child.kill()
                child.communicate()
                raise AssertionError(f"{device}: {' '.join(args)} still ran after {timeout} s")
            done = subprocess.CompletedProcess(child.args, child.returncode, stdout, stderr)
        done.seconds = time.monotonic() - started
        if expect is not None and done.returncode != expect:
            raise AssertionError(f"{device}: {' '.join(args)} gave {done.returncode}: {done.stdout}{done.stderr}")
        return done

    def sync(self, device, *args, expect=0, env=None, origin=None, timeout=120):
        """A sync through the proxy (its `base`, or the origin given) with this row's collection;
        the CompletedProcess."""
        return self.run(device, "sync", "--server", (origin or proxy.base) + "/", "--user", server.user,
                        "--collection", self.collection, *args, expect=expect, env=env, timeout=timeout)

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


def proxy_log():
    return json.load(urllib.request.urlopen(proxy.base + "/_proxy/log"))


def calendars():
    """Every calendar collection of the user on the server, and those that may hold tasks."""
    status, body = server.http("PROPFIND", f"/{server.user}/", b'<?xml version="1.0"?><d:propfind xmlns:d="DAV:" '
                               b'xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop><d:resourcetype/>'
                               b'<c:supported-calendar-component-set/></d:prop></d:propfind>', {"Depth": "1"})
    assert status == 207
    every, tasks = [], []
    for response in re.findall(r"<(?:\w+:)?response>.*?</(?:\w+:)?response>", body.decode(), re.S):
        if not re.search(r"<(?:\w+:)?calendar\s*/>", response):
            continue
        href = re.search(r"<(?:\w+:)?href>([^<]+)</", response).group(1)
        every.append(href)
        components = re.findall(r'comp name="(\w+)"', response)
        if not components or "VTODO" in components:
            tasks.append(href)
    return every, tasks


# Rows ---------------------------------------------------------------------------------

def row_plain_sync_through_the_proxy(row):
    """The fixture itself: with no mode set, the proxy passes everything on."""
    row.add("A", "Through the proxy")
    row.sync("A")
    row.sync("B")
    check("Through the proxy" in row.tasks("B"), "B has A's task")
    check(all(entry["origin"] == "base" for entry in json.load(urllib.request.urlopen(proxy.base + "/_proxy/log"))),
          "every request went to the configured origin")


def row_redirect_to_another_origin_is_refused(row):
    """A 307 to another origin: the password never reaches it, and the user is told why."""
    row.add("A", "Stays here")
    proxy.set_modes(redirect=True)
    done = row.sync("A", expect=1)
    check(f"sent the sync on to {proxy.other}, another server" in done.stderr, "names the other server: " + done.stderr)
    check(not [e for e in proxy_log() if e["origin"] == "other"], "nothing went to the other origin: "
          + json.dumps(proxy_log()))


def row_answer_size_is_bounded(row):
    """A 300 MB answer, with its length announced and without: the sync ends at the 64 MB limit,
    and the CLI's memory stays below the answer's size (it is cut off as it comes, not held
    whole first; Qt's network thread may have read up to about as much again meanwhile)."""
    for unsized in (False, True):
        proxy.set_modes(answer_bytes=300 << 20, answer_unsized=unsized)
        done = row.sync("A", expect=1)
        check("was longer than 64 MB, more than any task collection needs" in done.stderr, done.stderr)
        peak_mb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
        print(f"  peak memory of the CLI so far, {'without' if unsized else 'with'} a length: {peak_mb:.0f} MB")
        check(peak_mb < 256, f"the CLI took {peak_mb:.0f} MB")


def row_trickle_ends_at_the_deadline(row):
    """One byte every half second never trips the silence timeout: the request's deadline ends it."""
    proxy.set_modes(trickle_seconds=0.5)
    done = row.sync("A", expect=1, env={"QUILLPAD_SYNC_DEADLINE_MS": "3000"}, timeout=60)
    check("did not answer in full within 3 seconds" in done.stderr, done.stderr)
    check(done.seconds < 20, f"took {done.seconds:.1f} s")


def row_self_signed_certificate_trusted_on_purpose(row):
    """A self-signed certificate: refused with its fingerprint and the reason; accepted by that
    fingerprint (kept for later syncs), by SSL_CERT_FILE and by SSL_CERT_DIR; another fingerprint
    does not open it."""
    if not proxy.tls:
        print("  openssl cannot make a certificate here; skipped")
        return
    fingerprint = certificate_fingerprint(certificate[0])
    row.add("A", "Over TLS")
    refused = row.sync("A", expect=1, origin=proxy.tls)
    check(f"The certificate of 127.0.0.1 is not trusted: The certificate is self-signed, and untrusted. "
          f"Its SHA-256 fingerprint is {fingerprint}" in refused.stderr, refused.stderr)
    check(f"quillpad-cli sync --trust {fingerprint}" in refused.stderr, refused.stderr)
    check(not [e for e in proxy_log() if e["origin"] == "tls"], "no request went out")
    wrong = row.sync("A", "--trust", "00" * 32, expect=1, origin=proxy.tls)
    check("is not trusted" in wrong.stderr, wrong.stderr)
    row.sync("A", "--trust", fingerprint.replace(":", "").lower(), origin=proxy.tls)
    row.run("A", "sync")  # the fingerprint is kept with the server
    check(certificate_fingerprint(certificate[0]) in open(os.path.join(row.folder, "A", "qvConf.ini")).read(),
          "stored as shown")
    row.sync("B", origin=proxy.tls, env={"SSL_CERT_FILE": certificate[0]})
    check("Over TLS" in row.tasks("B"), "B synced through SSL_CERT_FILE")
    folder = os.path.join(row.folder, "authorities")
    os.makedirs(folder)
    shutil.copy(certificate[0], folder)
    row.sync("C", origin=proxy.tls, env={"SSL_CERT_DIR": folder})
    check(row.run("A", "sync", "--trust", "not-a-fingerprint", expect=2).stderr.count("--trust takes"), "bad --trust")


def row_fifo_password_file_is_refused_at_once(row):
    """A FIFO as the password file: refused without waiting for a writer."""
    folder = os.path.join(row.folder, "config", "ambrel-quillpad")
    os.makedirs(folder)
    os.mkfifo(os.path.join(folder, "sync-password"), 0o600)
    done = row.sync("A", expect=1, env={"QUILLPAD_SYNC_PASSWORD": "", "DBUS_SESSION_BUS_ADDRESS": ""}, timeout=30)
    check("sync-password is not a regular file" in done.stderr, done.stderr)
    check(done.seconds < 10, f"took {done.seconds:.1f} s")


def row_discovery_through_well_known_names_every_task_collection(row):
    """--server .../.well-known/caldav: the redirect is followed; the collection chosen is named,
    and so is every other task collection of the user, not a calendar of events."""
    status, _ = server.http("MKCALENDAR", f"/{server.user}/{row.name}-events/", b'<?xml version="1.0"?>'
                            b'<c:mkcalendar xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:set><d:prop>'
                            b'<c:supported-calendar-component-set><c:comp name="VEVENT"/></c:supported-calendar-'
                            b'component-set></d:prop></d:set></c:mkcalendar>')
    assert status == 201
    every, tasks = calendars()
    check(len(tasks) >= 2 and len(every) > len(tasks), f"the user has task and event calendars: {every}")
    done = row.run("A", "sync", "--server", proxy.base + "/.well-known/caldav", "--user", server.user)
    found = re.search(r"^task collection (\S+) \(the first of the server's; others: (.*); choose one with "
                      r"--collection PATH\)$", done.stdout, re.M)
    check(found, "names the collection and the others: " + done.stdout)
    named = [found.group(1)] + found.group(2).split(", ")
    check(sorted(named) == sorted(tasks), f"named {named}, the server has {tasks}")
    check(all(e["origin"] == "base" for e in proxy_log()), "stayed on the server")


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


ROWS = [row_plain_sync_through_the_proxy, row_redirect_to_another_origin_is_refused, row_answer_size_is_bounded,
        row_trickle_ends_at_the_deadline, row_self_signed_certificate_trusted_on_purpose,
        row_fifo_password_file_is_refused_at_once, row_discovery_through_well_known_names_every_task_collection,
        row_title_renamed_elsewhere, row_cancelled_elsewhere]


if server.process is None:
    shutil.rmtree(work, ignore_errors=True)
    print("radicale cannot start; skipped")
    sys.exit(SKIP)
try:
    server.http("MKCOL", f"/{server.user}/")
    certificate = make_certificate(work)
    proxy = Proxy(server.port, certificate)
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
