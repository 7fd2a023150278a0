"""A Radicale server on 127.0.0.1 with a temporary storage and one htpasswd user, for the
sync test and the sync benchmark."""
import base64, os, socket, subprocess, threading, urllib.error, urllib.request


class Radicale:
    def __init__(self, folder, user="ann", password="s3cret"):
        self.user, self.password = user, password
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.base = f"http://127.0.0.1:{self.port}"
        self.auth = "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()
        users = os.path.join(folder, "users")
        with open(users, "w") as f:
            f.write(f"{user}:{password}\n")
        self.process = None
        try:
            process = subprocess.Popen(
                ["radicale", "-C", "/dev/null", "-H", f"127.0.0.1:{self.port}", "--auth-type", "htpasswd",
                 "--auth-htpasswd-filename", users, "--auth-htpasswd-encryption", "plain",
                 "--rights-type", "owner_only", "--storage-filesystem-folder", os.path.join(folder, "store"),
                 "--logging-level", "info"],
                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        except OSError:
            return
        # Ready when it says it listens; its log is drained from then on.
        for line in process.stderr:
            if "isten" in line:
                threading.Thread(target=process.stderr.read, daemon=True).start()
                self.process = process
                return
        process.wait()

    def http(self, method, path, body=None, headers=None):
        request = urllib.request.Request(self.base + path, data=body, method=method,
                                         headers={"Authorization": self.auth, **(headers or {})})
        try:
            with urllib.request.urlopen(request, timeout=60) as reply:
                return reply.status, reply.read()
        except urllib.error.HTTPError as error:
            return error.code, error.read()

    def make_task_collection(self, name="tasks"):
        self.http("MKCOL", f"/{self.user}/")
        return self.http("MKCALENDAR", f"/{self.user}/{name}/")[0] == 201

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait()
