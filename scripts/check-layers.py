#!/usr/bin/env python3
"""Fails when a lower layer includes a higher one.

Layers, lowest first: store < app/settings < components < interchange (core) < tasks
< sync < interchange/ui < app. Each layer but store and settings has a core part (QtCore, value
types of QtGui) and a part with windows; a core part includes no window part and no Qt
Widgets header. The command-line companion includes core parts only and links no
window library. SQL statements are written in the store alone: a string in any other
folder that reads as one is a fault.
Usage: check-layers.py [project-folder]
"""
import os
import re
import sys

# folder under src -> (rank, has windows)
LAYERS = {
    'store': (0, False),
    'app/settings': (1, False),
    'components': (2, False),
    'components/ui': (2, True),
    'interchange': (3, False),
    'tasks': (4, False),
    'tasks/ui': (4, True),
    'sync': (5, False),
    'interchange/ui': (6, True),
    'app': (7, True),
    'cli': (7, False),
}
WINDOW_LIBRARIES = ('Qt6::Widgets', 'Qt6::Multimedia', 'qv_tasks ', 'qv_tasks)', 'qv_components ',
                    'qv_components)', 'qv_app', 'qv_interchange_ui', 'qv_interchange_dialogs',
                    'qv_task_dialogs', 'qv_icons', 'qv_desktop_services')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# A string literal that starts a statement: "select … from", "insert into", "update … set",
# "delete from", "create table/index/trigger", "pragma", "with … as".
SQL = re.compile(r'"\s*(select\s.*\bfrom\b|insert\s+(or\s+\w+\s+)?into\b|update\s+\w+\s+set\b|delete\s+from\b|'
                 r'create\s+(table|index|trigger|view)\b|pragma\s|with\s+\w+\s+as\b)', re.IGNORECASE)


def layer_of(path):
    """The deepest layer folder holding path (relative to src), or None."""
    best = None
    for folder in LAYERS:
        if path == folder or path.startswith(folder + '/'):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def widget_headers():
    names = set()
    for base in ('/usr/include/x86_64-linux-gnu/qt6', '/usr/include/aarch64-linux-gnu/qt6',
                 '/usr/include/qt6'):
        folder = os.path.join(base, 'QtWidgets')
        if os.path.isdir(folder):
            names.update(n for n in os.listdir(folder) if n.startswith('Q') and '.' not in n)
            names.add('QtWidgets')
    return names


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    src = os.path.join(root, 'src')
    widgets = widget_headers()
    faults = []
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.relpath(os.path.join(folder, name), src)
            here = layer_of(path)
            if here is None:
                faults.append(f'{path}: in no layer folder')
                continue
            rank, windows = LAYERS[here]
            with open(os.path.join(src, path), encoding='utf-8') as source:
                for number, line in enumerate(source, 1):
                    if here != 'store' and not line.lstrip().startswith('//') and SQL.search(line):
                        faults.append(f'{path}:{number}: an SQL statement outside the store')
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    kind, target = match.groups()
                    where = f'{path}:{number}: includes {target}'
                    if kind == '<':
                        if not windows and target.split('/')[-1] in widgets:
                            faults.append(f'{where}, a window header, from the core layer {here}')
                        continue
                    there = layer_of(target)
                    if there is None:
                        continue  # a header beside it, or one generated into the build
                    target_rank, target_windows = LAYERS[there]
                    if here == 'cli':
                        if target_windows or there == 'app':
                            faults.append(f'{where}: the command-line companion uses core layers only')
                    elif target_rank > rank:
                        faults.append(f'{where}: {here} sits below {there}')
                    elif target_windows and not windows:
                        faults.append(f'{where}: the core layer {here} includes a window part')
    with open(os.path.join(src, 'cli', 'CMakeLists.txt'), encoding='utf-8') as cmake:
        text = cmake.read()
        for library in WINDOW_LIBRARIES:
            if library in text:
                faults.append(f'cli/CMakeLists.txt links {library.strip(" )")}')
    for fault in faults:
        print(fault)
    print(f'layers: {len(faults)} fault(s)' if faults else 'layers: every include points down')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
