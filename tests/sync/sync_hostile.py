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
        os.chmod(self.folder, 0o700)  # it is the runtime folder too
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

    def collection_for(self, suffix):
        """Another collection of this row's own."""
        path = f"/{server.user}/{self.name}-{suffix}/"
        assert server.http("MKCALENDAR", path)[0] == 201, "collection " + path
        return path

    def sync_with(self, device, base, collection, expect=0):
        """A sync with another server address or collection (both are stored, as the CLI does)."""
        return self.run(device, "sync", "--server", base + "/", "--user", server.user, "--collection", collection,
                        expect=expect)

    def get(self, name, collection=None):
        """An object's text on the server ("" when it is not there)."""
        status, body = server.http("GET", (collection or self.collection) + name)
        return body.decode() if status == 200 else ""

    def edit_there(self, name, change):
        """Another client's edit of an object: change(text) gives the new text."""
        text = self.get(name)
        assert text, "object " + name
        return self.put(name, change(text).encode())

    def write_file(self, name, ics):
        """An object put straight into the server's storage, past the checks of a PUT."""
        with open(os.path.join(work, "store", "collection-root", server.user, self.name, name), "wb") as f:
            f.write(ics)

    def put(self, name, ics):
        """An object written straight into the collection (as another client would)."""
        return server.http("PUT", self.collection + name, ics, {"Content-Type": "text/calendar"})[0]

    def delete(self, name):
        return server.http("DELETE", self.collection + name)[0]

    def objects(self, collection=None):
        """The collection's objects on the server, by address."""
        status, body = server.http("PROPFIND", collection or self.collection, b"", {"Depth": "1"})
        assert status == 207
        return sorted(h for h in re.findall(r"<(?:\w+:)?href>([^<]+)</", body.decode()) if h.endswith(".ics"))


def todo(uid, summary, extra=""):
    return (f"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Client//EN\r\nBEGIN:VTODO\r\nUID:{uid}\r\n"
            f"DTSTAMP:20261201T100000Z\r\nSUMMARY:{summary}\r\n{extra}END:VTODO\r\nEND:VCALENDAR\r\n").encode()


def name_of(tid):
    """The object a task of ours was first uploaded as."""
    return tid.strip("{}") + ".ics"


def counts(done):
    """The numbers a sync printed, by what they count."""
    return {what: int(n) for what, n in re.findall(r"([a-z][a-z ]*?) (\d+)", done.stdout.splitlines()[0])}


EVENT = (b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//Client//EN\r\nBEGIN:VEVENT\r\nUID:an-event\r\n"
         b"DTSTAMP:20261201T100000Z\r\nDTSTART:20261202T100000Z\r\nSUMMARY:A meeting\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")


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


def row_uid_root_gets_an_id_of_its_own(row):
    """A task with the UID root took the id every top-level task names as its parent: it
    showed them all under it, and its delete on the server emptied both sides."""
    row.add("A", "First of mine")
    row.add("A", "Second of mine")
    check(row.put("root.ics", todo("root", "Root from another client")) == 201, "root.ics stored")
    row.sync("A")
    tasks = row.tasks("A")
    check(set(tasks) == {"First of mine", "Second of mine", "Root from another client"}, f"three tasks: {sorted(tasks)}")
    check(all("parentText" not in t and not t.get("children") for t in tasks.values()), "all three top-level")
    # An edit here goes back onto the object under the server's UID.
    row.sql("A", "update tasks set content=? where content=?", "Root, edited here", "Root from another client")
    row.sync("A")
    text = row.get("root.ics")
    check("UID:root" in text and "SUMMARY:Root\\, edited here" in text, "edited under its UID: " + text)
    check(row.delete("root.ics") in (200, 204), "deleted there")
    check(counts(row.sync("A"))["deleted here"] == 1, "only the root task deleted here")
    check(set(row.tasks("A")) == {"First of mine", "Second of mine"}, f"mine kept: {sorted(row.tasks('A'))}")
    check(counts(row.sync("A"))["deleted on the server"] == 0 and len(row.objects()) == 2, "nothing deleted there")


def row_uid_empty_taken_or_named_as_a_parent(row):
    """Other UIDs that cannot be a task's id here: none at all (the proxy blanks it), one our
    own task already has (written past the server's check), one stored rows name as their
    parent. Each object becomes a task of its own; none replaces another or adopts rows."""
    mine = row.add("A", "Mine, first")
    row.sync("A")
    row.write_file("twin.ics", todo(mine, "Same UID as mine"))
    row.put("blank.ics", todo("to-be-blanked", "Without a UID"))
    row.put("ghost.ics", todo("ghost", "Named as a parent"))
    row.sql("A", "insert into tasks (tid, pid, content) values ('left-out', 'ghost', 'A row under a missing parent')")
    proxy.set_modes(multiget_uid={"blank.ics": ""})
    row.sync("A")
    tasks = row.tasks("A")
    wanted = {"Mine, first", "Same UID as mine", "Without a UID", "Named as a parent"}
    check(set(tasks) == wanted, f"four tasks, each its own: {sorted(tasks)}")
    check(not tasks["Named as a parent"].get("children"), "no stored row taken in under it")
    check(tasks["Mine, first"]["tid"] == mine and "SUMMARY:Mine\\, first" in row.get(name_of(mine)), "ours unchanged")
    out = counts(row.sync("A"))
    check(out["deleted here"] == 0 and out["deleted on the server"] == 0 and out["conflicts"] == 0, f"a quiet sync: {out}")
    check(set(row.tasks("A")) == wanted, "still the four")


def row_collection_switch_keeps_the_tasks(row):
    """Syncing with another collection deleted every synced task here: the old collection's
    state said they were gone. Another collection starts afresh: ours go up, none is deleted."""
    texts = {"Switch one", "Switch two", "Switch three"}
    for text in texts:
        row.add("A", text)
    row.sync("A")
    other = row.collection_for("b")
    out = counts(row.sync_with("A", proxy.base, other))
    check(out["deleted here"] == 0 and out["uploaded"] == 3, f"all went up to the new one: {out}")
    check(set(row.tasks("A")) == texts, f"kept here: {sorted(row.tasks('A'))}")
    check(len(row.objects(other)) == 3 and len(row.objects()) == 3, "both collections hold the three")
    # Back to the first: the same tasks are found there, no copies, no twins.
    out = counts(row.sync("A"))
    check(out["deleted here"] == 0 and out["conflicts"] == 0, f"back again: {out}")
    check(set(row.tasks("A")) == texts and len(row.objects()) == 3, "the same three")


def row_server_switch_keeps_the_tasks(row):
    """The same with another server (the proxy's other origin): its collection starts afresh,
    and the first collection under the other address is paired with the tasks here."""
    texts = {"Server one", "Server two"}
    for text in texts:
        row.add("A", text)
    row.sync("A")
    other = row.collection_for("b")
    out = counts(row.sync_with("A", proxy.other, other))
    check(out["deleted here"] == 0 and set(row.tasks("A")) == texts, f"nothing deleted here: {out}")
    check(len(row.objects(other)) == 2, "the tasks went up to the other server")
    out = counts(row.sync_with("A", proxy.other, row.collection))
    check(out["deleted here"] == 0 and out["conflicts"] == 0 and out["uploaded"] == 0, f"paired, not copied: {out}")
    check(set(row.tasks("A")) == texts and len(row.objects()) == 2, "no twins")


def row_deleted_parent_keeps_new_and_edited_sub_tasks(row):
    """A parent deleted on the server took new and edited sub-tasks with it, and the next
    sync deleted the edited one on the server too. Its sub-tasks stay, at the top level."""
    parent = row.add("A", "Paint the house")
    row.add("A", "Buy paint", parent)
    row.add("A", "Buy brushes", parent)
    row.sync("A")
    row.add("A", "Hire a ladder", parent)
    row.sql("A", "update tasks set content=? where content=?", "Buy white paint", "Buy paint")
    check(row.delete(name_of(parent)) in (200, 204), "parent deleted there")
    done = row.sync("A")
    tasks = row.tasks("A")
    check(set(tasks) == {"Buy white paint", "Buy brushes", "Hire a ladder"}, f"sub-tasks kept: {sorted(tasks)}")
    check(all("parentText" not in t for t in tasks.values()), "at the top level")
    check(counts(done)["deleted here"] == 1 and "sub-tasks of tasks deleted on the server kept" in done.stderr,
          "only the parent deleted, and the user told: " + done.stdout + done.stderr)
    check(counts(row.sync("A"))["deleted on the server"] == 0 and len(row.objects()) == 3, "all three on the server")


def row_parent_deleted_by_another_client(row):
    """Another client (one that shows no sub-tasks) deleted only a parent: its sub-tasks were
    deleted here, then on the server; a third-level task went although its own parent stayed."""
    parent = row.add("A", "Move house")
    row.add("A", "Pack the books", parent)
    row.add("A", "Book a van", parent)
    row.put("top.ics", todo("top", "Top there"))
    row.put("middle.ics", todo("middle", "Middle there", "RELATED-TO;RELTYPE=PARENT:top\r\n"))
    row.put("deep.ics", todo("deep", "Deep there", "RELATED-TO;RELTYPE=PARENT:middle\r\n"))
    row.sync("A")
    row.sync("B")
    check(row.tasks("B")["Deep there"].get("parentText") == "Top there", "third level under its top-level task")
    check(row.delete(name_of(parent)) in (200, 204) and row.delete("top.ics") in (200, 204), "parents deleted there")
    check(counts(row.sync("B"))["deleted here"] == 2, "only the two parents deleted here")
    for device in ("B", "A", "B"):
        check(counts(row.sync(device))["deleted on the server"] == 0, f"{device} deleted nothing there")
    for device in ("A", "B"):
        tasks = row.tasks(device)
        check(set(tasks) == {"Pack the books", "Book a van", "Middle there", "Deep there"}, f"{device}: {sorted(tasks)}")
        check(tasks["Deep there"].get("parentText") == "Middle there", f"{device}: under its own parent")
        check(not any("parentText" in tasks[t] for t in ("Pack the books", "Book a van", "Middle there")), "top level")
    check(len(row.objects()) == 4, "the other client's objects stay")
    check("RELATED-TO;RELTYPE=PARENT:middle" in row.get("deep.ics") and "RELATED-TO;RELTYPE=PARENT:top" in
          row.get("middle.ics"), "and keep their links there")


def row_unread_objects_arrive_later(row):
    """An object the multiget answer left out, or gave without its task, was skipped while the
    token moved past it: it never arrived. The token waits until every object is read."""
    row.sync("A")
    for n, mode in enumerate(("drop_multiget", "multiget_without_vtodo", "drop_multiget")):
        text = f"Arrives despite {mode} {n}"
        row.put(f"later-{n}.ics", todo(f"later-{n}", text))
        if n == 2:
            row.sql("A", "delete from sync_meta where key like 'sync-token %'")  # the full listing's way
        proxy.set_modes(**{mode: f"later-{n}.ics"})
        row.sync("A")
        check(text not in row.tasks("A"), f"{text}: kept away")
        proxy.set_modes()
        row.sync("A")
        check(text in row.tasks("A"), f"{text}: arrives on the next sync")


def row_event_in_the_collection_is_no_task(row):
    """A calendar may hold events: one is no task downloaded, and once read twice it is left
    alone (the token moves again)."""
    check(row.put("event.ics", EVENT) == 201, "event stored")
    row.add("A", "A task beside an event")
    check(counts(row.sync("A"))["downloaded"] == 0, "an event is not counted as downloaded")
    row.sync("A")
    proxy.set_modes()
    row.sync("A")
    reports = [e for e in proxy.log if e["method"] == "REPORT"]
    check(len(reports) == 1, f"settled: only the change list asked for ({len(reports)} REPORTs)")
    check(set(row.tasks("A")) == {"A task beside an event"}, "the event is no task here")


def row_listing_without_etags_deletes_nothing(row):
    """After a refused token, a listing of addresses without ETags deleted every task here,
    one never uploaded. A listing that says too little deletes nothing here."""
    texts = {"Kept one", "Kept two", "Kept three"}
    for text in texts:
        row.add("A", text)
    row.sync("A")
    row.add("A", "Not uploaded yet")
    proxy.set_modes(refuse_token=True, no_etags=True)
    out = counts(row.sync("A"))
    check(out["deleted here"] == 0 and set(row.tasks("A")) == texts | {"Not uploaded yet"}, f"all kept: {out}")
    check(len(row.objects()) == 4, "the new one went up")
    proxy.set_modes()
    check(counts(row.sync("A"))["deleted here"] == 0 and len(row.tasks("A")) == 4, "and stay")


def row_outside_addresses_are_left_alone(row):
    """A listing naming another calendar's object, or a ../ path, had it fetched, stored as
    a task, then written and deleted there. Only the collection's own members are touched."""
    victim = row.collection_for("victim")
    check(server.http("PUT", victim + "V.ics", todo("victim", "Victim task"), {"Content-Type": "text/calendar"})[0]
          == 201, "victim stored")
    before = server.http("GET", victim + "V.ics")
    row.add("A", "Inside task")
    proxy.set_modes(outside_hrefs=[victim + "V.ics", row.collection + f"../{row.name}-victim/V.ics",
                                   f"{proxy.other}{row.collection}elsewhere.ics"])
    # Each step runs to the end whatever the sync says, so any harm shows below.
    syncs = [row.sync("A", expect=None)]
    row.sql("A", "update tasks set content = content || ' (edited)'")
    syncs.append(row.sync("A", expect=None))
    row.sql("A", "delete from tasks")
    syncs.append(row.sync("A", expect=None))
    told = syncs[0].stderr
    outside = {e["method"] + " " + e["path"] for e in proxy.log
               if not e["path"].startswith(row.collection) or e["origin"] != "base"}
    check(not outside, f"nothing asked outside the collection: {sorted(outside)}")
    check(server.http("GET", victim + "V.ics") == before, "the victim object is untouched")
    check("outside the collection" in told, "skipped and told: " + told)
    check(all(done.returncode == 0 for done in syncs) and row.objects() == [], "the syncs went through")


def row_deleted_here_edited_there_comes_back(row):
    """A task deleted here and edited on the server: the delete met 412 and, the token having
    moved past the edit, every later sync failed. The task comes back with the edit."""
    tid = row.add("A", "Water the plants")
    row.sync("A")
    row.sync("B")
    row.sql("A", "delete from tasks where tid=?", tid)
    row.sql("B", "update tasks set content=? where tid=?", "Water the plants twice", tid)
    row.sync("B")
    row.sync("A")
    check(set(row.tasks("A")) == {"Water the plants twice"}, f"back with the edit: {sorted(row.tasks('A'))}")
    for device in ("A", "B"):
        out = counts(row.sync(device))
        check(out["deleted on the server"] == 0 and out["deleted here"] == 0, f"{device}: settled {out}")
    check(len(row.objects()) == 1, "still on the server")


def complete_there(ics):
    ics = re.sub(r"STATUS:[A-Z-]+\r\n", "", ics)
    return ics.replace("END:VTODO", "STATUS:COMPLETED\r\nCOMPLETED:20270102T100000Z\r\nEND:VTODO")


def row_field_merges(row):
    """Both sides changed a task, in different fields: merged, with no conflict copy, and the
    server's other properties kept."""
    done_here = "update tasks set checkFlag=1, checkTime=46400.5 where content=?"
    cases = [  # task, edit here, edit there, the task here, the object there
        ("Call the bank", ("update tasks set content='Call the bank at nine' where content=?",),
         lambda ics: ics.replace("END:VTODO", "PRIORITY:1\r\nEND:VTODO"),
         lambda t: t["content"] == "Call the bank at nine", ("PRIORITY:1", "SUMMARY:Call the bank at nine")),
        ("Post the letter", (done_here,), complete_there, lambda t: t["checkFlag"], ("STATUS:COMPLETED",)),
        ("Renew the passport", (done_here,), lambda ics: ics.replace("END:VTODO", "DUE:20270301T120000Z\r\nEND:VTODO"),
         lambda t: t["checkFlag"] and t["dueFlag"], ("STATUS:COMPLETED", "DUE:20270301T120000Z")),
    ]
    tids = {text: row.add("A", text) for text, *_ in cases}
    row.sync("A")
    for text, (here,), there, _, _ in cases:
        row.sql("A", here, text)
        check(row.edit_there(name_of(tids[text]), there) in (201, 204), "edited there: " + text)
    out = counts(row.sync("A"))
    row.sync("A")
    tasks = row.tasks("A")
    by_tid = {t["tid"]: t for t in tasks.values()}
    wrong = [text for text, _, _, here, there in cases
             if not here(by_tid[tids[text]]) or not all(p in row.get(name_of(tids[text])) for p in there)
             or any(t.startswith("Conflict copy: " + text) for t in tasks)]
    check(not wrong, f"merged wrongly or copied: {wrong}")
    check(out["conflicts"] == 0 and len(tasks) == len(cases), f"no conflict copies: {out}")
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


ROWS = [row_plain_sync_through_the_proxy, row_title_renamed_elsewhere, row_cancelled_elsewhere,
        row_uid_root_gets_an_id_of_its_own, row_uid_empty_taken_or_named_as_a_parent,
        row_collection_switch_keeps_the_tasks, row_server_switch_keeps_the_tasks,
        row_deleted_parent_keeps_new_and_edited_sub_tasks, row_parent_deleted_by_another_client,
        row_unread_objects_arrive_later, row_event_in_the_collection_is_no_task,
        row_listing_without_etags_deletes_nothing, row_outside_addresses_are_left_alone,
        row_deleted_here_edited_there_comes_back, row_field_merges,
        row_redirect_to_another_origin_is_refused, row_answer_size_is_bounded,
        row_trickle_ends_at_the_deadline, row_self_signed_certificate_trusted_on_purpose,
        row_fifo_password_file_is_refused_at_once, row_discovery_through_well_known_names_every_task_collection]


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
        except Exception as error:  # an old database or program fails a row, not the run
            failures.append(name)
            print("FAIL", name, "-", type(error).__name__, error)
    if failures:
        sys.exit(f"{len(failures)} rows failed: {', '.join(failures)}")
finally:
    if proxy:
        proxy.stop()
    server.stop()
    shutil.rmtree(work, ignore_errors=True)
