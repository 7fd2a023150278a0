#!/usr/bin/env python3
"""A saved task page read by a real browser: every row's text shows.

Tasks are added with quillpad-cli and saved as a page; headless Chromium loads the page
inside a frame of a small checking page, which reads each row's computed colour and
writes what it found into its own document, printed with --dump-dom.
Usage: html_in_browser.py QUILLPAD_CLI    (exit 77 when no Chromium is installed)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

CHECKER = """<!doctype html><html><body><pre id="out">waiting</pre>
<iframe id="page" src="Tasks.html"></iframe>
<script>
document.getElementById('page').onload = function () {
  const doc = this.contentDocument;
  const lines = [];
  for (const cell of doc.querySelectorAll('tbody th, tbody td')) {
    const style = doc.defaultView.getComputedStyle(cell);
    const colour = style.color.match(/[\\d.]+/g).map(Number);
    const alpha = colour.length > 3 ? colour[3] : 1;
    lines.push(['ROW', alpha, style.visibility, cell.textContent.trim()].join('|'));
  }
  document.getElementById('out').textContent = lines.join('\\n');
};
</script></body></html>"""


def main():
    cli = sys.argv[1]
    browser = shutil.which('chromium') or shutil.which('chromium-browser')
    if not browser:
        print('no chromium: skipped')
        return 77
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, QUILLPAD_HOME=os.path.join(home, 'data'), HOME=home)
        texts = ['First task', 'Second task', 'Third task', 'Fourth task']
        for text in texts:
            subprocess.run([cli, 'add', text], env=env, check=True, capture_output=True)
        page = os.path.join(home, 'Tasks.html')
        subprocess.run([cli, 'save', '--all', page], env=env, check=True, capture_output=True)
        checker = os.path.join(home, 'check.html')
        with open(checker, 'w', encoding='utf-8') as out:
            out.write(CHECKER)
        dom = subprocess.run([browser, '--headless', '--no-sandbox', '--disable-gpu', '--allow-file-access-from-files',
                              '--user-data-dir=' + os.path.join(home, 'browser'), '--virtual-time-budget=5000',
                              '--dump-dom', 'file://' + checker],
                             env=env, capture_output=True, text=True, timeout=120).stdout
    rows = [line.split('|') for line in re.findall(r'^ROW\|.*$', dom, re.MULTILINE)]
    shown = {text for alpha, visibility, text in (r[1:] for r in rows) if float(alpha) > 0 and visibility == 'visible'}
    faults = [f'"{text}" is not visible in the page' for text in texts if text not in shown]
    if not rows:
        faults.append('the browser read no rows: ' + dom[-500:])
    for fault in faults:
        print(fault)
    print(f'{len(rows)} cells read, {len(faults)} fault(s)')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
