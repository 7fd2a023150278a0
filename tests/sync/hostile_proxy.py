"""A proxy in front of a Radicale server that answers in chosen broken ways, for the sync
tests: a server that drops objects, forgets ETags, redirects elsewhere, names addresses
outside the collection, sends too much or too slowly.

The proxy listens on two ports of this machine: `base` (127.0.0.1) forwards to Radicale;
`other` (localhost, another origin) forwards too and is where the redirect mode points.
Given a certificate and its key (PEM files), a third, `tls` (https on 127.0.0.1), forwards
as `base` does; `make_certificate` makes a self-signed one with openssl.
The test sets the modes with PUT /_proxy/mode (a JSON object, see MODES) and reads what
passed through with GET /_proxy/log; both answer without credentials.

Run as a script it starts Radicale with one task collection and the proxy, prints
"RADICALE_PORT PROXY_PORT OTHER_PORT" (0 0 0 when Radicale cannot start), and serves until
stdin closes.
"""
import html, http.client, http.server, json, os, posixpath, re, socketserver, ssl, subprocess, sys, tempfile, threading, time
import urllib.parse

# Each mode is a key of the JSON object; a mode applies to every request it matches until
# the modes are set again.
MODES = {
    "drop_multiget": "a calendar-multiget answer leaves out the objects whose address holds this text",
    "multiget_without_vtodo": "a calendar-multiget answer gives these objects (address text) as an event",
    "multiget_uid": "a calendar-multiget answer gives each object whose address holds a key of this object its UID",
    "refuse_token": "a sync-collection REPORT that carries a token is refused (403 valid-sync-token)",
    "no_etags": "listings (sync-collection, PROPFIND) carry addresses without getetag",
    "outside_hrefs": "listings name these extra addresses (a list) as members, with an ETag; a calendar-multiget "
                     "naming one gets the object found there (a ../ path resolved)",
    "redirect": "every request but the mode's own is answered 307 to the same path on `other`",
    "answer_bytes": "a REPORT's answer is this many bytes (XML padded with blanks), sent as fast as it goes",
    "answer_unsized": "with answer_bytes: the answer says no length, it ends when the connection closes",
    "trickle_seconds": "a REPORT's answer dribbles one byte every this many seconds",
}


def make_certificate(folder, name="server"):
    """A self-signed certificate for 127.0.0.1 made by openssl: (certificate, key) paths, or
    None when openssl cannot make one."""
    certificate, key = os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")
    try:
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate,
                        "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"],
                       check=True, capture_output=True)
    except (OSError, subprocess.CalledProcessError):
        return None
    return certificate, key


def certificate_fingerprint(certificate):
    """The SHA-256 fingerprint of a PEM certificate, as "AB:CD:..."."""
    import hashlib
    with open(certificate) as f:
        der = ssl.PEM_cert_to_DER_cert(f.read())
    return ":".join(f"{b:02X}" for b in hashlib.sha256(der).digest())


class Proxy:
    def __init__(self, upstream_port, certificate=None):
        self.upstream_port = upstream_port
        self.modes = {}
        self.log = []  # {"method", "path", "origin": "base"|"other"|"tls", "auth": bool}
        self.lock = threading.Lock()
        self.servers = []
        origins = [("127.0.0.1", "base"), ("localhost", "other")] + ([("127.0.0.1", "tls")] if certificate else [])
        for host, origin in origins:
            server = _Server((host, 0), _Handler)
            server.proxy = self
            server.origin = origin
            if origin == "tls":
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                context.load_cert_chain(*certificate)
                server.socket = context.wrap_socket(server.socket, server_side=True)
            threading.Thread(target=server.serve_forever, daemon=True).start()
            self.servers.append(server)
        self.port = self.servers[0].server_address[1]
        self.other_port = self.servers[1].server_address[1]
        self.base = f"http://127.0.0.1:{self.port}"
        self.other = f"http://localhost:{self.other_port}"
        self.tls = f"https://127.0.0.1:{self.servers[2].server_address[1]}" if certificate else None

    def set_modes(self, **modes):
        with self.lock:
            self.modes = dict(modes)
            self.log = []

    def stop(self):
        for server in self.servers:
            server.shutdown()
            server.server_close()


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _answer(self, status, body=b"", headers=None):
        self.send_response(status)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _handle(self):
        proxy = self.server.proxy
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        if self.path == "/_proxy/mode" and self.command == "PUT":
            proxy.set_modes(**json.loads(body or b"{}"))
            return self._answer(204)
        if self.path == "/_proxy/log":
            with proxy.lock:
                return self._answer(200, json.dumps(proxy.log).encode(), {"Content-Type": "application/json"})
        with proxy.lock:
            modes = dict(proxy.modes)
            proxy.log.append({"method": self.command, "path": self.path, "origin": self.server.origin,
                              "auth": "Authorization" in self.headers})
        if modes.get("redirect") and self.server.origin == "base":
            return self._answer(307, b"", {"Location": f"http://localhost:{proxy.other_port}{self.path}"})
        if self.command == "REPORT" and b"<d:sync-token>" in body and modes.get("refuse_token") \
                and not re.search(rb"<d:sync-token>\s*</d:sync-token>", body):
            return self._answer(403, b'<?xml version="1.0"?><d:error xmlns:d="DAV:"><d:valid-sync-token/></d:error>',
                                {"Content-Type": "application/xml"})
        status, headers, answer = self._forward(body)
        if status == 207:
            answer = _rewrite(answer, body, modes, self.command)
            if self.command == "REPORT" and b"calendar-multiget" in body and modes.get("outside_hrefs"):
                answer = self._serve_outside(answer, body, modes["outside_hrefs"])
        if self.command == "REPORT" and modes.get("trickle_seconds"):
            return self._trickle(status, headers, answer, float(modes["trickle_seconds"]))
        if self.command == "REPORT" and modes.get("answer_bytes"):
            return self._flood(status, headers, answer, int(modes["answer_bytes"]), modes.get("answer_unsized"))
        self._answer(status, answer, headers)

    def _forward(self, body):
        connection = http.client.HTTPConnection("127.0.0.1", self.server.proxy.upstream_port, timeout=60)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in ("host", "connection", "content-length", "accept-encoding")}
        connection.request(self.command, self.path, body=body, headers=headers)
        reply = connection.getresponse()
        answer = reply.read()
        kept = {k: v for k, v in reply.getheaders()
                if k.lower() not in ("content-length", "transfer-encoding", "connection")}
        if "Location" in kept:
            kept["Location"] = kept["Location"].replace(f":{self.server.proxy.upstream_port}", f":{self.server.proxy.port}")
        connection.close()
        return reply.status, kept, answer

    def _serve_outside(self, answer, request, outside):
        """The outside addresses a multiget names, answered with what the server holds there."""
        extra = ""
        for href in (h.decode() for h in re.findall(rb"<(?:[A-Za-z0-9]+:)?href>(.*?)</", request)):
            if href not in outside:
                continue
            connection = http.client.HTTPConnection("127.0.0.1", self.server.proxy.upstream_port, timeout=60)
            connection.request("GET", posixpath.normpath(urllib.parse.urlsplit(href).path),
                               headers={"Authorization": self.headers.get("Authorization", "")})
            reply = connection.getresponse()
            ics, etag = reply.read().decode(), reply.getheader("ETag", '"outside"')
            connection.close()
            if reply.status == 200:
                extra += (f'<response xmlns="DAV:"><href>{html.escape(href)}</href><propstat><prop>'
                          f'<getetag>{html.escape(etag)}</getetag><calendar-data xmlns="urn:ietf:params:xml:ns:caldav">'
                          f'{html.escape(ics)}</calendar-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>')
        return re.sub(rb"(</(?:[A-Za-z0-9]+:)?multistatus>)", lambda m: extra.encode() + m.group(1), answer, count=1)

    def _flood(self, status, headers, answer, size, unsized):
        # The real answer first, then blanks up to the size: an XML reader keeps waiting.
        padding = max(0, size - len(answer))
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        if unsized:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(answer) + padding))
        self.end_headers()
        try:
            self.wfile.write(answer)
            chunk = b" " * 65536
            while padding > 0:
                self.wfile.write(chunk[:padding])
                padding -= min(padding, len(chunk))
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def _trickle(self, status, headers, answer, seconds):
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        try:
            for i in range(len(answer)):
                self.wfile.write(answer[i:i + 1])
                self.wfile.flush()
                time.sleep(seconds)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


def _rewrite(answer, request, modes, method):
    text = answer.decode("utf-8")
    is_multiget = method == "REPORT" and b"calendar-multiget" in request
    is_listing = method == "PROPFIND" or (method == "REPORT" and b"sync-collection" in request)
    responses = re.findall(r"<(?:[A-Za-z0-9]+:)?response\b.*?</(?:[A-Za-z0-9]+:)?response>", text, re.S)
    prefix = re.match(r"<([A-Za-z0-9]+:)?response", responses[0]).group(1) or "" if responses else ""
    for response in responses:
        href = re.search(r"<(?:[A-Za-z0-9]+:)?href>(.*?)</", response, re.S).group(1)
        changed = response
        if is_multiget and modes.get("drop_multiget") and modes["drop_multiget"] in href:
            changed = ""
        elif is_multiget and modes.get("multiget_without_vtodo") and modes["multiget_without_vtodo"] in href:
            changed = re.sub(r"BEGIN:VTODO.*END:VTODO", "BEGIN:VEVENT\r\nUID:not-a-task\r\nDTSTAMP:20260101T000000Z\r\n"
                             "DTSTART:20260101T100000Z\r\nSUMMARY:An event\r\nEND:VEVENT", response, flags=re.S)
        elif is_multiget and any(text in href for text in modes.get("multiget_uid", {})):
            uid = next(uid for text, uid in modes["multiget_uid"].items() if text in href)
            changed = re.sub(r"(\nUID:)[^\r\n&<]*", lambda m: m.group(1) + uid, response, count=1)
        elif is_listing and modes.get("no_etags"):
            changed = re.sub(r"<(?:[A-Za-z0-9]+:)?getetag>.*?</(?:[A-Za-z0-9]+:)?getetag>", "", response, flags=re.S)
        text = text.replace(response, changed, 1)
    if is_listing and modes.get("outside_hrefs"):
        extra = "".join(
            f"<{prefix}response><{prefix}href>{href}</{prefix}href><{prefix}propstat><{prefix}prop>"
            f"<{prefix}getetag>\"outside-{n}\"</{prefix}getetag></{prefix}prop>"
            f"<{prefix}status>HTTP/1.1 200 OK</{prefix}status></{prefix}propstat></{prefix}response>"
            for n, href in enumerate(modes["outside_hrefs"]))
        text = re.sub(r"(</(?:[A-Za-z0-9]+:)?multistatus>)", lambda m: extra + m.group(1), text, count=1)
    return text.encode("utf-8")


for _verb in ("GET", "HEAD", "PUT", "POST", "DELETE", "PROPFIND", "PROPPATCH", "REPORT", "MKCOL", "MKCALENDAR",
              "OPTIONS", "MOVE", "COPY"):
    setattr(_Handler, "do_" + _verb, _Handler._handle)


if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    from radicale_server import Radicale

    with tempfile.TemporaryDirectory() as folder:
        server = Radicale(folder)
        ready = server.process is not None and server.make_task_collection()
        proxy = Proxy(server.port) if ready else None
        print(f"{server.port} {proxy.port} {proxy.other_port}" if ready else "0 0 0", flush=True)
        if ready:
            sys.stdin.read()
            proxy.stop()
        server.stop()
