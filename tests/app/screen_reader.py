#!/usr/bin/env python3
"""The real program as a screen reader finds it: Orca's client library (pyatspi) over
AT-SPI, in a D-Bus session of its own with at-spi2-core's bus, on an X server of its own.

Usage: screen_reader.py QUILLPAD QUILLPAD_CLI. Exits 77 (skipped) when at-spi2-core or
pyatspi is missing.
"""
import importlib.util, os, shutil, signal, subprocess, sys, tempfile, time

SKIP = 77
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
SYSTEM_PYTHON = "/usr/bin/python3"  # where Debian's python3-pyatspi lives
IN_SESSION = "QUILLPAD_SCREEN_READER_SESSION"
WAIT = 10  # seconds for anything the program must do


def has_pyatspi():
    return importlib.util.find_spec("pyatspi") is not None


if not has_pyatspi():
    if os.path.exists(SYSTEM_PYTHON) and os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON, *sys.argv])
    print("pyatspi (python3-pyatspi) is missing; skipped")
    sys.exit(SKIP)
if not os.access(BUS_LAUNCHER, os.X_OK):
    print("at-spi2-core's bus launcher is missing; skipped")
    sys.exit(SKIP)
if os.environ.get(IN_SESSION) != "1":
    # A private session bus: the accessibility bus and its registry are ours alone.
    env = dict(os.environ, **{IN_SESSION: "1"})
    os.execvpe("dbus-run-session", ["dbus-run-session", "--", sys.executable, *sys.argv], env)

program, cli = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="quillpad-a11y-")
helpers = []
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what, flush=True)
    return condition


def start(*command, **options):
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, **options)
    helpers.append(process)
    return process


def start_x():
    read, write = os.pipe()
    start("Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp", pass_fds=(write,))
    os.close(write)
    with os.fdopen(read) as pipe:
        number = pipe.readline().strip()
    if not number:
        sys.exit("Xvfb did not start")
    return ":" + number


def finish(code):
    for process in reversed(helpers):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
    shutil.rmtree(work, ignore_errors=True)
    sys.exit(code)


def give_up(*_):
    print("FAIL: the checks did not end within a minute", flush=True)
    finish(1)


signal.signal(signal.SIGALRM, give_up)
signal.alarm(60)
os.environ["DISPLAY"] = start_x()
os.environ.pop("QT_QPA_PLATFORM", None)
start("openbox", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
# The session bus starts the launcher for the first question to its name.
if subprocess.run(["gdbus", "call", "--session", "--timeout", str(WAIT), "--dest", "org.a11y.Bus",
                   "--object-path", "/org/a11y/bus", "--method", "org.a11y.Bus.GetAddress"],
                  capture_output=True).returncode != 0:
    print("the accessibility bus does not answer")
    finish(1)

import gi  # noqa: E402

gi.require_version("Atspi", "2.0")
from gi.repository import GLib  # noqa: E402
import pyatspi  # noqa: E402

env = dict(os.environ, QUILLPAD_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=os.path.join(work, "run"),
           XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_DATA_HOME=os.path.join(work, "share"),
           QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
for folder in ("data", "run", "config", "share"):
    os.makedirs(os.path.join(work, folder), mode=0o700)


def add(text, parent=None):
    done = subprocess.run([cli, "add", text, *(["--parent", parent] if parent else [])], env=env,
                          capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        print(f"add {text}: {done.stderr}")
        finish(1)
    return done.stdout.strip()


milk = add("Buy milk")
add("Call the bank", milk)
add("Pay rent")


class Events:
    """What the program announces, heard the way Orca hears it."""

    def __init__(self, *kinds):
        self.heard = []
        for kind in kinds:
            pyatspi.Registry.registerEventListener(self.hear, kind)
        GLib.timeout_add(20, lambda: True)  # wakes the loop below to look at the clock

    def hear(self, event):
        try:
            self.heard.append((event.type, event.detail1, event.source.getRole(), event.source.name, event.source))
        except Exception:  # a row already gone
            pass

    def clear(self):
        self.heard.clear()

    def wait(self, wanted):
        deadline = time.monotonic() + WAIT
        context = GLib.MainContext.default()
        while time.monotonic() < deadline:
            found = [each for each in self.heard if wanted(*each[:4])]
            if found:
                return found
            context.iteration(True)
        return []


def settle(condition):
    """Waits, with the events flowing, until the condition holds; its last answer."""
    deadline = time.monotonic() + WAIT
    context = GLib.MainContext.default()
    while True:
        result = condition()
        if result or time.monotonic() >= deadline:
            return result
        context.iteration(True)


def walk(node):
    yield node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def states(node):
    return set(node.getState().getStates())


def find(root, role, name=None):
    for node in walk(root):
        if node.getRole() == role and (name is None or node.name == name):
            return node
    return None


def do_action(node, name):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == name:
            return action.doAction(i)
    raise LookupError(f"{node.name} has no action {name}")


def child_named(node, text):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None and text in child.name:
            return child
    return None


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True, timeout=WAIT)


# Listening from the start: the program sends only what someone listens for.
events = Events("object:state-changed:checked", "object:state-changed:focused", "focus:")
quillpad = start(program, env=env)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == quillpad.pid:
            return app
    return None


app = settle(application)
if not app:
    print("the program never reached the accessibility bus")
    finish(1)
window = settle(lambda: next((w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                              if w is not None and pyatspi.STATE_SHOWING in states(w)), None))
tree = settle(lambda: find(window, pyatspi.ROLE_TREE)) if window else None
if not check(tree is not None, "the window shows a tree"):
    finish(1)

# Every control by its name: a table of what a reader says for each.
CONTROLS = [
    (pyatspi.ROLE_TREE, "Tasks"),
    (pyatspi.ROLE_PUSH_BUTTON, "Add Task"),
    (pyatspi.ROLE_PUSH_BUTTON, "Add Sub-Task"),
    (pyatspi.ROLE_PUSH_BUTTON, "Edit"),
    (pyatspi.ROLE_PUSH_BUTTON, "Delete"),
    (pyatspi.ROLE_PUSH_BUTTON, ("Descending Sort", "Ascending Sort")),  # what its click does
    (pyatspi.ROLE_PUSH_BUTTON, "Expand All"),
    (pyatspi.ROLE_PUSH_BUTTON, "Collapse All"),
    (pyatspi.ROLE_PUSH_BUTTON, "Search"),
    (pyatspi.ROLE_TEXT, "Search Tasks"),
]
controls = list(walk(window))
for role, names in CONTROLS:
    names = (names,) if isinstance(names, str) else names
    check(any(c.getRole() == role and c.name in names for c in controls),
          f"a {role} named {' or '.join(names)}")
for c in controls:
    if c.getRole() in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
                       pyatspi.ROLE_TEXT, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TREE) and pyatspi.STATE_SHOWING in states(c):
        check(c.name.strip() != "", f"a {c.getRoleName()} without a name")
        check("  " not in c.name and "Search..." not in c.name, f"{c.name!r}: a name with padding or a hint")

# Rows: named by their text, checkable, sub-tasks one level down once their parent opens.
milk_row = child_named(tree, "Buy milk")
rent_row = child_named(tree, "Pay rent")
check(milk_row is not None and rent_row is not None, "the rows are the tree's children")
if rent_row is not None:
    # Qt's bridge passes its tree items as table cells.
    check(rent_row.getRole() in (pyatspi.ROLE_TREE_ITEM, pyatspi.ROLE_TABLE_CELL), "a row is a tree item")
    # As checkable as Qt's own check boxes: Qt 6.4's bridge drops the state for all of them.
    own = find(window, pyatspi.ROLE_CHECK_BOX)
    if own is not None and pyatspi.STATE_CHECKABLE in states(own):
        check(pyatspi.STATE_CHECKABLE in states(rent_row), "a row is checkable")
    else:
        print("note: this Qt passes no checkable state to AT-SPI, not even for its check boxes")
    check(pyatspi.STATE_CHECKED not in states(rent_row), "an open task is not checked")
do_action(find(window, pyatspi.ROLE_PUSH_BUTTON, "Expand All") or tree, "Press")
milk_row = child_named(tree, "Buy milk")
bank_row = settle(lambda: milk_row and child_named(milk_row, "Call the bank"))
check(bank_row is not None, "a sub-task is a child of its parent's row")
check(child_named(tree, "Call the bank") is None, "a sub-task is not a sibling of its parent")
if bank_row is not None:
    check(bank_row.parent.name == milk_row.name, "a sub-task's parent is its parent's row")
    check(bank_row.parent.parent.getRole() == pyatspi.ROLE_TREE, "two levels up is the tree")

# Space on a row ticks it, and the reader hears so from that row.
subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(quillpad.pid),
                "windowactivate", "--sync"], capture_output=True, timeout=WAIT)
tree.queryComponent().grabFocus()
rent_row = child_named(tree, "Pay rent")
rent_row.queryComponent().grabFocus()
settle(lambda: pyatspi.STATE_FOCUSED in states(child_named(tree, "Pay rent")))
events.clear()
key("space")
heard = events.wait(lambda kind, detail, role, name: kind == "object:state-changed:checked" and "Pay rent" in name)
check(heard and heard[0][1] == 1, "Space announces the row checked")
check(settle(lambda: pyatspi.STATE_CHECKED in states(child_named(tree, "Pay rent"))), "a done task is checked")

# The dialogs' date and time fields, named for what they set (their labels say only "Date:").
DIALOGS = [
    ("s", "Set Reminder", ("Reminder Date", "Reminder Time")),
    ("u", "Set Due Date", ("Due Date",)),
]
for item, title, names in DIALOGS:
    key("alt+t", item)
    dialog = settle(lambda: next((w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                                  if w is not None and w.name == title), None))
    if check(dialog is not None, f"{title} opens"):
        for name in names:
            check(find(dialog, pyatspi.ROLE_SPIN_BUTTON, name) is not None, f"{title}: a field named {name}")
    key("Escape")
    settle(lambda: window.name and pyatspi.STATE_ACTIVE in states(window))

# After Ctrl+Enter, and after Enter, the focus is in the new row's editor, not the tree.
for keys, what in ((("ctrl+Return",), "Ctrl+Enter"), (("Return",), "Enter")):
    events.clear()
    key(*keys)
    heard = events.wait(lambda kind, detail, role, name: detail == 1 and role == pyatspi.ROLE_TEXT)
    check(heard and heard[-1][3] == "Task Text", f"after {what} the focus goes to the new row's editor")
    editor = heard[-1][4] if heard else None
    check(editor is not None and settle(lambda: pyatspi.STATE_FOCUSED in states(editor)),
          f"after {what} the editor keeps the focus")
    tree_focus = [each for each in events.heard if each[2] == pyatspi.ROLE_TREE and each[1] == 1]
    check(not tree_focus, f"after {what} the focus does not go back to the tree")
    key("Escape")
    settle(lambda: pyatspi.STATE_FOCUSED in states(tree))

quillpad.send_signal(signal.SIGTERM)
quillpad.wait(timeout=WAIT)
if failures:
    print(f"{len(failures)} check(s) failed")
finish(1 if failures else 0)
