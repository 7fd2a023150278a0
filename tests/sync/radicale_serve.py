"""Runs a Radicale server with one task collection for a test that is not written in Python:
prints the port (0 when Radicale cannot start), then serves until stdin closes."""
import os, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from radicale_server import Radicale

with tempfile.TemporaryDirectory() as folder:
    server = Radicale(folder)
    ready = server.process is not None and server.make_task_collection()
    print(server.port if ready else 0, flush=True)
    if ready:
        sys.stdin.read()
    server.stop()
