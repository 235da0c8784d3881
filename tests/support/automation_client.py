"""A client of Tevro's automation server, written from its wire description.

The server publishes "endpoint.json" ({"port", "token", "pid", "version"}) in
the "automation" folder of the data folder. A connection carries one request,
one line of JSON {"token", "name", "arguments"} ended by a line feed, and one
reply line {"ok": true, "result": ...} or {"ok": false, "error": ...}; then
the server closes the connection.
"""

import json
import os
import socket

MAX_REQUEST = 1_048_576


class AutomationError(Exception):
    """The server answered "ok": false; the message is its "error"."""


class AutomationClient:
    def __init__(self, data_folder, timeout=30.0):
        self.folder = os.path.join(data_folder, "automation")
        self.timeout = timeout
        self.reload()

    @property
    def endpoint_path(self):
        return os.path.join(self.folder, "endpoint.json")

    def reload(self):
        with open(self.endpoint_path, "rb") as f:
            endpoint = json.loads(f.read())
        self.port = endpoint["port"]
        self.token = endpoint["token"]
        self.pid = endpoint["pid"]
        self.version = endpoint["version"]
        return endpoint

    def connect(self):
        return socket.create_connection(("127.0.0.1", self.port), timeout=self.timeout)

    def exchange(self, data, sock=None):
        """Sends raw bytes and returns everything the server sends before it closes."""
        sock = sock or self.connect()
        with sock:
            if data:
                sock.sendall(data)
            return read_to_end(sock)

    def request(self, name, arguments=None, token=None, **extra):
        """The reply object of one call (a missing token is sent as None: left out)."""
        body = {"name": name, "arguments": {} if arguments is None else arguments}
        token = self.token if token is None else token
        if token is not False:
            body["token"] = token
        body.update(extra)
        raw = self.exchange(json.dumps(body, separators=(",", ":")).encode() + b"\n")
        return parse_reply(raw)

    def call(self, name, arguments=None):
        """The tool's result, or AutomationError with the server's message."""
        reply = self.request(name, arguments)
        if reply.get("ok") is True:
            return reply["result"]
        raise AutomationError(reply.get("error"))


def read_to_end(sock):
    chunks = []
    while True:
        chunk = sock.recv(65536)
        if not chunk:
            return b"".join(chunks)
        chunks.append(chunk)


def parse_reply(raw):
    """One line of compact JSON, keys sorted at every level, then a line feed."""
    if not raw.endswith(b"\n") or raw.count(b"\n") != 1:
        raise ValueError("not one reply line: %r" % raw[:200])
    fixed = {b'{"ok":false,"error":"Response encoding failed"}\n',
             b'{"ok":false,"error":"Response too large"}\n'}
    if raw in fixed:
        return json.loads(raw)

    def sorted_object(pairs):
        keys = [k for k, _ in pairs]
        if keys != sorted(keys):
            raise ValueError("keys out of order: %r" % keys)
        return dict(pairs)

    return json.loads(raw, object_pairs_hook=sorted_object)
