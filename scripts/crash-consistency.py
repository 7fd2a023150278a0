#!/usr/bin/env python3
"""Kills quillpad-cli with SIGKILL at random moments of import, restore and backup.

On a generated database of tens of thousands of tasks, each operation first runs once to
the end (its time sets the window the kills fall in, and its result is the "new" state);
then, again and again, the database is put back as it was, the operation starts and is
killed after a random delay: anywhere in that time, or (every other kill) near its end. After every kill:
  - PRAGMA integrity_check answers ok,
  - the database holds exactly the rows it held before (all-old) or exactly the rows the
    finished operation leaves (all-new), nothing in between,
  - quillpad-cli opens it again and lists every task,
  - a backup written earlier is intact: the file restore and import read is untouched,
    and a backup killed while it replaces an earlier one leaves the earlier file or a
    complete new one.
Prints the figures and exits 1 when any check fails. It takes minutes, so it is not part
of the test suite.

Usage: crash-consistency.py [--cli build/bin/quillpad-cli] [--tasks 30000] [--kills 40]
                            [--seed N] [--keep]
"""
import argparse
import hashlib
import json
import os
import random
import shutil
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time
import uuid
import xml.etree.ElementTree as ElementTree
import zlib

TASK_COLUMNS = ('pid', 'content', 'check-flag', 'alarm-flag', 'due-flag', 'text-color', 'background-color',
                'create-time', 'edit-time', 'check-time', 'alarm-time', 'due-time')
MEMO_COLUMNS = ('pid', 'content', 'assign-time', 'create-time', 'edit-time')


def attribute(text):
    return (text.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;').replace('"', '&quot;')
            .replace('\n', '&#10;').replace('\r', '&#13;').replace('\t', '&#9;'))


def time_text(rng):
    return '%04d-%02d-%02dT%02d:%02d:%02d.000Z' % (rng.randint(1990, 2030), rng.randint(1, 12), rng.randint(1, 28),
                                                   rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))


def task_record(rng, tid, pid, content):
    values = {
        'pid': pid, 'content': content,
        'check-flag': rng.choice(('True', 'False')), 'alarm-flag': rng.choice(('True', 'False')),
        'due-flag': rng.choice(('True', 'False')), 'text-color': str(rng.randint(0, 0xFFFFFF)),
        'background-color': str(rng.choice((0, -16777211, 0x00FFEEDD))),
    }
    for column in ('create-time', 'edit-time', 'check-time', 'alarm-time', 'due-time'):
        values[column] = time_text(rng)
    return '<task tid="%s" %s/>' % (tid, ' '.join('%s="%s"' % (c, attribute(values[c])) for c in TASK_COLUMNS))


def memo_record(rng, mid, content):
    values = {'pid': 'root', 'content': content}
    for column in ('assign-time', 'create-time', 'edit-time'):
        values[column] = time_text(rng)
    return '<memo mid="%s" %s/>' % (mid, ' '.join('%s="%s"' % (c, attribute(values[c])) for c in MEMO_COLUMNS))


def guid():
    return '{%s}' % str(uuid.uuid4()).upper()


def write_qvx(path, tasks, memos):
    xml = ('<ambrel app="Plumcrest" appversion="1.0.0" dataversion="1.1" time="2026-01-01T00:00:00.000Z">\r'
           '  <tasks>%s</tasks>\r  <memos>%s</memos>\r  <notes>\r  </notes>\r  <peers>\r  </peers>\r</ambrel>'
           % (''.join(tasks), ''.join(memos))).encode('utf-8')
    with open(path, 'wb') as file:
        file.write(struct.pack('<q', len(xml)) + zlib.compress(xml, 9))


def read_qvx(path):
    """The XML text of an interchange file; raises when it is damaged or incomplete."""
    with open(path, 'rb') as file:
        data = file.read()
    length = struct.unpack('<q', data[:8])[0]
    xml = zlib.decompress(data[8:])
    if len(xml) != length:
        raise ValueError('stored length %d, inflated %d' % (length, len(xml)))
    return xml


def family(rng, count, prefix):
    """Top-level tasks with sub-tasks under some of them: (tid, pid, content) records."""
    records = []
    parents = []
    for i in range(count):
        tid = guid()
        if parents and rng.random() < 0.6:
            pid = rng.choice(parents)
        else:
            pid = 'root'
            parents.append(tid)
        content = '%s task %d%s' % (prefix, i, rng.choice(('', '\r\nsecond line', ' \u00e4\u20ac\U0001F600', ' & <b>')))
        records.append((tid, pid, content))
    return records


class Folder:
    def __init__(self, root, cli):
        self.cli = cli
        self.data = os.path.join(root, 'data')
        self.runtime = os.path.join(root, 'runtime')
        os.makedirs(self.data)
        os.makedirs(self.runtime, mode=0o700)
        self.database = os.path.join(self.data, 'qvData.qvb')

    def environment(self):
        environment = dict(os.environ, QUILLPAD_HOME=self.data, XDG_RUNTIME_DIR=self.runtime, TZ='UTC0')
        environment.pop('DISPLAY', None)
        return environment

    def start(self, arguments):
        return subprocess.Popen([self.cli] + arguments, env=self.environment(), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def run(self, arguments):
        result = subprocess.run([self.cli] + arguments, env=self.environment(), stdin=subprocess.DEVNULL,
                                capture_output=True)
        if result.returncode != 0:
            raise RuntimeError('%s: %s' % (' '.join(arguments), result.stderr.decode(errors='replace')))
        return result.stdout

    def clear(self):
        for suffix in ('', '-wal', '-shm'):
            if os.path.exists(self.database + suffix):
                os.remove(self.database + suffix)

    def put_back(self, snapshot):
        self.clear()
        shutil.copyfile(snapshot, self.database)
        os.chmod(self.database, 0o600)


def state(database, with_ids):
    """A digest of every row of both tables (ids left out for an import, which makes new ones)."""
    connection = sqlite3.connect(database)
    try:
        check = connection.execute('PRAGMA integrity_check').fetchall()
        digest = hashlib.sha256()
        rows = 0
        for table, key in (('tasks', 'tid'), ('memos', 'mid')):
            columns = [row[1] for row in connection.execute('PRAGMA table_info(%s)' % table)]
            if not with_ids:
                columns = [c for c in columns if c not in (key, 'pid')]
            selected = sorted(connection.execute('SELECT %s FROM %s' % (', '.join(columns), table)).fetchall(),
                              key=repr)
            rows += len(selected)
            for row in selected:
                digest.update(repr(row).encode())
        return check, rows, digest.hexdigest()
    finally:
        connection.close()


def sha256(path):
    with open(path, 'rb') as file:
        return hashlib.sha256(file.read()).hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--cli', default=os.path.join(os.path.dirname(__file__), '..', 'build', 'bin', 'quillpad-cli'))
    parser.add_argument('--tasks', type=int, default=30000, help='tasks in the generated database')
    parser.add_argument('--kills', type=int, default=40, help='kills per operation')
    parser.add_argument('--seed', type=int, default=None)
    parser.add_argument('--keep', action='store_true', help='keep the work folder')
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    cli = os.path.abspath(args.cli)
    work = tempfile.mkdtemp(prefix='quillpad-crash-')
    folder = Folder(work, cli)
    failures = []
    figures = {}
    print('seed %d, %d tasks, %d kills per operation, work folder %s' % (seed, args.tasks, args.kills, work))

    try:
        # The database: a restore of a generated file into an empty folder.
        base_tasks = family(rng, args.tasks, 'base')
        base_file = os.path.join(work, 'base.qvx')
        write_qvx(base_file, [task_record(rng, *record) for record in base_tasks],
                  [memo_record(rng, guid(), 'memo %d' % i) for i in range(args.tasks // 100)])
        folder.run(['restore', base_file, '--answer', 'no'])
        snapshot = os.path.join(work, 'snapshot.qvb')
        shutil.copyfile(folder.database, snapshot)
        before = state(snapshot, True)
        print('database: %d rows, %.1f MB' % (before[1], os.path.getsize(snapshot) / 1e6))

        # An import adds half as many again; a restore replaces every task (the first record
        # is asked about, then All goes on without a question) and adds new ones.
        import_file = os.path.join(work, 'import.qvx')
        write_qvx(import_file, [task_record(rng, *record) for record in family(rng, args.tasks // 2, 'imported')], [])
        restore_file = os.path.join(work, 'restore.qvx')
        write_qvx(restore_file,
                  [task_record(rng, tid, pid, content + ' (restored)') for tid, pid, content in base_tasks] +
                  [task_record(rng, *record) for record in family(rng, args.tasks // 2, 'restored')], [])
        earlier_backup = os.path.join(work, 'earlier.qvx')
        folder.run(['backup', earlier_backup])
        earlier_hash = sha256(earlier_backup)
        earlier_tasks = len(ElementTree.fromstring(read_qvx(earlier_backup)).find('tasks'))

        operations = [
            ('import', ['import', import_file], False),
            ('restore', ['restore', restore_file, '--answer', 'all'], True),
            ('backup', ['backup', earlier_backup], True),
        ]
        for name, arguments, with_ids in operations:
            folder.put_back(snapshot)
            old = state(folder.database, with_ids)
            started = time.monotonic()
            folder.run(arguments)
            duration = time.monotonic() - started
            new = state(folder.database, with_ids)
            if name == 'backup':
                earlier_hash = sha256(earlier_backup)  # a finished backup is the earlier one from now on
            counts = {'old': 0, 'new': 0, 'finished first': 0, 'failed': 0, 'backup kept': 0, 'backup replaced': 0}
            for kill in range(args.kills):
                folder.put_back(snapshot)
                # Every other kill lands near the end, where the commit and the rename are.
                delay = rng.uniform(0, duration) if kill % 2 == 0 else rng.uniform(duration * 0.8, duration * 1.1)
                process = folder.start(arguments)
                time.sleep(delay)
                if process.poll() is not None:
                    counts['finished first'] += 1
                else:
                    os.kill(process.pid, signal.SIGKILL)
                process.wait()
                problem = None
                try:
                    listed = json.loads(folder.run(['list', '--json']))
                    check, rows, digest = state(folder.database, with_ids)
                    if check != [('ok',)]:
                        problem = 'integrity_check: %r' % (check,)
                    elif (rows, digest) == old[1:]:
                        counts['old'] += 1
                    elif (rows, digest) == new[1:]:
                        counts['new'] += 1
                    else:
                        problem = 'neither old nor new: %d rows' % rows
                    if not problem and listed['count'] != rows - memo_rows(folder.database):
                        problem = 'the program lists %d tasks' % listed['count']
                    # The earlier backup: untouched, or (for a backup) a complete new one.
                    if not problem and sha256(earlier_backup) != earlier_hash:
                        tasks = ElementTree.fromstring(read_qvx(earlier_backup)).find('tasks')
                        if name != 'backup' or len(tasks) != earlier_tasks:
                            problem = 'the earlier backup changed'
                        else:
                            earlier_hash = sha256(earlier_backup)
                            counts['backup replaced'] += 1
                    elif not problem:
                        counts['backup kept'] += 1
                except Exception as error:  # a damaged file, a failed command
                    problem = '%s: %s' % (type(error).__name__, error)
                if problem:
                    counts['failed'] += 1
                    failures.append('%s, killed after %.3f s: %s' % (name, delay, problem))
            leftovers = [f for f in os.listdir(work) if f.startswith('earlier.qvx') and f != 'earlier.qvx']
            figures[name] = dict(counts, seconds=round(duration, 2), leftovers=len(leftovers))
            print('%-8s full run %.2f s; %d kills: %d all-old, %d all-new, %d finished before the kill, '
                  '%d failed checks; earlier backup kept %d, replaced by a complete one %d; '
                  '%d temporary files left' % (name, duration, args.kills, counts['old'], counts['new'],
                                               counts['finished first'], counts['failed'], counts['backup kept'],
                                               counts['backup replaced'], len(leftovers)))
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print('FAILED: ' + failure)
    print('figures: ' + json.dumps(figures))
    return 1 if failures else 0


def memo_rows(database):
    connection = sqlite3.connect(database)
    try:
        return connection.execute('SELECT count(*) FROM memos').fetchone()[0]
    finally:
        connection.close()


if __name__ == '__main__':
    sys.exit(main())
