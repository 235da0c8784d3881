#!/usr/bin/env python3
"""The real tevro driven through its automation server by a Python client.

    automation_end_to_end.py TEVRO SEEDER

TEVRO is the application, SEEDER the loopback seeding helper
(automation_seeder). The application runs on an X server of its own (Xvfb)
where one is installed, else with QT_QPA_PLATFORM=offscreen, in temporary data
folders; network traffic stays on 127.0.0.1.
"""

import fcntl
import http.client
import json
import os
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from automation_client import AutomationClient, AutomationError, parse_reply  # noqa: E402

TEVRO = SEEDER = None
DISPLAY = None  # ":N" of the test's own Xvfb, or None for offscreen
MALFORMED = {"error": "Unauthorized or malformed request", "ok": False}


def wait_for(condition, timeout=60.0, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def environment(home, control_port=None):
    env = dict(os.environ)
    # The kit's test channel asks the offers service only on loopback.
    env.update({"TEVRO_HOME": home, "TEVRO_SILENT": "1",
                "ASAN_OPTIONS": "detect_leaks=0",
                "QUORVEL_TEST_ROOT": os.path.join(home, "kit")})
    if DISPLAY:
        env.update({"DISPLAY": DISPLAY, "QT_QPA_PLATFORM": "xcb"})
    else:
        env["QT_QPA_PLATFORM"] = "offscreen"
    env.pop("TEVRO_MCP_DISABLED", None)
    env.pop("TEVRO_CONTROL_PORT", None)
    if control_port:
        env["TEVRO_CONTROL_PORT"] = str(control_port)
    return env


def launch(home, log, control_port=None):
    return subprocess.Popen([TEVRO], env=environment(home, control_port), stdout=log,
                            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)


def quit_app(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
    return process.wait(timeout=60)


def control_state(port):
    """The control server's state, once launch has finished; None before."""
    try:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        connection.request("GET", "/state")
        body = connection.getresponse().read()
        connection.close()
        return json.loads(body)
    except (OSError, ValueError):
        return None


class AutomationEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory(prefix="tevro-automation-")
        root = cls.temp.name
        cls.home = os.path.join(root, "home")
        cls.downloads = os.path.join(root, "downloads")
        cls.seeder_log = open(os.path.join(root, "seeder.log"), "w")
        cls.seeder = subprocess.Popen([SEEDER, cls.home, cls.downloads, os.path.join(root, "seed")],
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=cls.seeder_log, text=True)
        cls.seed = json.loads(cls.seeder.stdout.readline())
        cls.log = open(os.path.join(root, "tevro.log"), "w")
        cls.app = launch(cls.home, cls.log)
        endpoint = os.path.join(cls.home, "automation", "endpoint.json")
        wait_for(lambda: os.path.exists(endpoint), what="endpoint.json")
        cls.client = AutomationClient(cls.home)

    @classmethod
    def tearDownClass(cls):
        code = quit_app(cls.app)
        cls.seeder.stdin.close()
        cls.seeder.wait(timeout=30)
        cls.log.close()
        if code != 0:
            # The application's own account of how it ended goes with the run's.
            with open(cls.log.name, errors="replace") as log:
                lines = log.readlines()
            print("tevro exited with %d; the end of its log:" % code, file=sys.stderr)
            sys.stderr.writelines(lines[-200:])
        cls.seeder_log.close()
        cls.temp.cleanup()

    def state(self):
        return self.client.call("get_state")

    def torrent(self, id):
        return next((t for t in self.state()["torrents"] if t["id"] == id), None)

    def player(self):
        return self.state()["player"]

    def error(self, name, arguments=None):
        with self.assertRaises(AutomationError) as caught:
            self.client.call(name, arguments)
        return str(caught.exception)

    def test_1_endpoint_file(self):
        folder = os.path.join(self.home, "automation")
        self.assertEqual(stat.S_IMODE(os.lstat(folder).st_mode), 0o700)
        endpoint = os.path.join(folder, "endpoint.json")
        self.assertEqual(stat.S_IMODE(os.lstat(endpoint).st_mode), 0o600)
        with open(endpoint, "rb") as f:
            raw = f.read()
        doc = json.loads(raw)
        self.assertEqual(set(doc), {"port", "token", "pid", "version"})
        self.assertNotIn(b" ", raw)
        self.assertEqual(doc["pid"], self.app.pid)
        self.assertEqual(doc["version"], 1)
        self.assertRegex(doc["token"], r"^[0-9a-f]{64}$")

    def test_2_tools(self):
        c = self.client
        self.assertEqual(self.state()["torrents"], [])

        # Preview, then add (paused unless told otherwise), with the files it names.
        preview = c.call("preview_torrent", {"path": self.seed["torrent"]})
        self.assertEqual(preview["name"], self.seed["name"])
        files = preview["files"]
        video = next(f["i"] for f in files if f["path"].endswith("Episode.mkv"))
        notes = next(f["i"] for f in files if f["path"].endswith("notes.txt"))
        self.assertEqual(self.error("preview_torrent", {"path": "relative.torrent"}),
                         "Use an absolute local path without control characters.")
        added = c.call("add_torrent", {"source": self.seed["torrent"], "save_path": self.downloads,
                                       "files": [video]})
        id = added["id"]
        self.assertEqual(added, {"duplicate": False, "id": id})
        wait_for(lambda: self.torrent(id), what="the torrent in the state")
        self.assertTrue(self.torrent(id)["paused"])
        self.assertEqual(c.call("add_torrent", {"source": self.seed["torrent"]}),
                         {"duplicate": True, "id": id})

        # Details: the unchosen file is skipped.
        details = c.call("get_torrent_details", {"id": id})
        self.assertEqual(details["torrent"]["id"], id)
        priorities = {f["i"]: f["prio"] for f in details["files"]}
        self.assertEqual(priorities[video], 4)
        self.assertEqual(priorities[notes], 0)
        self.assertEqual(self.error("get_torrent_details", {"id": "0" * 40}),
                         "Torrent not found: " + "0" * 40)

        # Priorities and limits.
        self.assertEqual(c.call("set_file_priority", {"id": id, "files": [notes], "priority": 7}),
                         {"accepted": True})
        wait_for(lambda: {f["i"]: f["prio"] for f in
                          c.call("get_torrent_details", {"id": id})["files"]}[notes] == 7,
                 what="the new priority")
        self.assertEqual(c.call("set_torrent_limits", {"id": id, "download_kib": 2097151,
                                                       "upload_kib": 64}), {"accepted": True})
        wait_for(lambda: self.torrent(id)["downloadLimit"] == 2097151 * 1024, what="limits")
        self.assertEqual(self.torrent(id)["uploadLimit"], 64 * 1024)
        self.assertEqual(self.error("set_torrent_limits", {"id": id, "upload_kib": 2097152}),
                         "Invalid arguments.upload_kib: above the maximum 2097151")
        self.assertEqual(c.call("set_torrent_limits", {"id": id, "download_kib": 0}),
                         {"accepted": True})

        # Actions: resume, then the loopback seeder delivers everything.
        self.assertEqual(c.call("torrent_action", {"id": id, "action": "resume"}),
                         {"accepted": True})
        wait_for(lambda: not self.torrent(id)["paused"], what="resumed")

        def complete():
            self.seeder.stdin.write("connect\n")
            self.seeder.stdin.flush()
            return self.torrent(id)["wantedDone"] == self.torrent(id)["wanted"] > 0
        wait_for(complete, timeout=120, what="the download")
        self.assertEqual(c.call("torrent_action", {"id": id, "action": "pause"}),
                         {"accepted": True})
        wait_for(lambda: self.torrent(id)["paused"], what="paused")
        c.call("torrent_action", {"id": id, "action": "resume"})

        # Settings: the change is the application's, and stored.
        settings = c.call("get_settings")
        self.assertEqual(len(settings), 12)
        changed = c.call("update_settings", {"upload_kib": 2097151, "subtitle_mode": "never",
                                             "autoplay_next": False})
        self.assertEqual(changed["upload_kib"], 2097151)
        self.assertEqual(changed["subtitle_mode"], "never")
        self.assertEqual(c.call("get_settings"), changed)
        stored = os.path.join(self.home, "settings.json")
        wait_for(lambda: json.load(open(stored)).get("uploadLimitKiB") == 2097151,
                 what="settings.json")
        self.assertEqual(self.error("update_settings", {"download_kib": 2097152}),
                         "Invalid arguments.download_kib: above the maximum 2097151")
        self.assertEqual(self.error("update_settings", {}), "Provide at least one setting.")

        # The player: open, pause, resume, seek, volume, speed, tracks, stop.
        self.assertEqual(self.error("play_file", {"id": id, "file": notes}),
                         "Playable audio/video file not found.")
        self.assertEqual(self.error("control_player", {"action": "pause"}),
                         "No file is open in the player.")
        self.assertEqual(c.call("play_file", {"id": id, "file": video}), {"accepted": True})
        wait_for(lambda: self.player()["loaded"] and self.player()["duration"] > 0,
                 what="the file to load")
        self.assertEqual(self.player()["item"], {"id": id, "file": video, "name": "Episode.mkv"})
        for action, check in [
                ({"action": "pause"}, lambda p: p["paused"]),
                ({"action": "resume"}, lambda p: not p["paused"]),
                ({"action": "seek", "seconds": 4}, lambda p: p["position"] >= 3.5),
                ({"action": "volume", "value": 35}, lambda p: p["volume"] == 35),
                ({"action": "speed", "value": 0.25}, lambda p: True),
                ({"action": "speed", "value": 4}, lambda p: True)]:
            self.assertEqual(c.call("control_player", action), {"accepted": True})
            wait_for(lambda: check(self.player()), what=json.dumps(action))
        # Resuming after the end starts the file again.
        duration = self.player()["duration"]
        c.call("control_player", {"action": "seek", "seconds": max(duration - 0.3, 0)})
        wait_for(lambda: self.player()["ended"], what="the end of the file")
        c.call("control_player", {"action": "resume"})
        wait_for(lambda: not self.player()["ended"] and self.player()["position"] < duration - 1,
                 what="playback from the start")
        audio = wait_for(lambda: len(self.player()["audio"]) >= 2 and self.player()["audio"],
                         what="two audio tracks")
        other = next(o for o in audio if not o["selected"])
        c.call("control_player", {"action": "audio", "option": other["id"]})
        wait_for(lambda: next(o for o in self.player()["audio"] if o["id"] == other["id"])[
            "selected"], what="the other audio track")
        subtitles = self.player()["subtitles"]
        chosen = next(o for o in subtitles if not o["selected"])
        c.call("control_player", {"action": "subtitle", "option": chosen["id"]})
        wait_for(lambda: next(o for o in self.player()["subtitles"] if o["id"] == chosen["id"])[
            "selected"], what="the subtitle track")
        for arguments, message in [
                ({"action": "speed", "value": 4.01}, "Playback speed must be between 0.25 and 4."),
                ({"action": "seek"}, "Provide only the parameter required by this player action."),
                ({"action": "stop", "value": 1},
                 "Provide only the parameter required by this player action."),
                ({"action": "audio", "option": "a99"},
                 "Track option not found; read get_state for current options.")]:
            self.assertEqual(self.error("control_player", arguments), message)
        self.assertEqual(c.call("control_player", {"action": "stop"}), {"accepted": True})
        wait_for(lambda: "item" not in self.player(), what="the player to stop")

        # Removal with its data needs the exact name.
        self.assertEqual(self.error("remove_torrent", {"id": id, "delete_files": True,
                                                       "confirm_name": self.seed["name"].lower()}),
                         "Deleting data requires confirm_name matching the torrent name.")
        data = os.path.join(self.downloads, self.seed["name"], "Episode.mkv")
        self.assertTrue(os.path.exists(data))
        self.assertEqual(c.call("remove_torrent", {"id": id, "delete_files": True,
                                                   "confirm_name": self.seed["name"]}),
                         {"accepted": True})
        wait_for(lambda: self.torrent(id) is None, what="removal")
        wait_for(lambda: not os.path.exists(data), what="the data to go")

    def test_3_refusals(self):
        c = self.client
        for token in ["0" * 64, c.token[:-1], c.token + "0", c.token.upper(), False]:
            self.assertEqual(c.request("get_state", token=token), MALFORMED, token)
        self.assertEqual(c.request("nothing", token="bad"), MALFORMED)

        line = lambda body: json.dumps(body).encode() + b"\n"
        good = {"token": c.token, "name": "get_state", "arguments": {}}
        cases = [
            (b"\n", MALFORMED),
            (b"not json\n", MALFORMED),
            (b"[]\n", MALFORMED),
            (b"{}\n", MALFORMED),
            (line(good) + line(good), MALFORMED),
            (line(good) + b" ", MALFORMED),
            (b"[" * 100000 + b"]" * 100000 + b"\n", MALFORMED),
            (line({"token": c.token, "name": "get_state"}), {"error": "Invalid command", "ok": False}),
            (line({"token": c.token, "name": "get_state", "arguments": []}),
             {"error": "Invalid command", "ok": False}),
            (line({"token": c.token, "name": 5, "arguments": {}}),
             {"error": "Invalid command", "ok": False}),
            (line({"token": c.token, "name": "get_state", "arguments": {"x": 1}}),
             {"error": 'Invalid arguments: unknown argument "x"', "ok": False}),
            (line({"token": c.token, "name": "Get_state", "arguments": {}}),
             {"error": "Unknown tool: Get_state", "ok": False}),
            (line({"token": c.token, "name": "get_settings", "arguments": {}, "more": [[[1]]]}),
             None),
            (b"\xff\xfe\n", MALFORMED),
        ]
        for data, expected in cases:
            reply = parse_reply(c.exchange(data))
            if expected is None:
                self.assertTrue(reply["ok"], data[:80])
            else:
                self.assertEqual(reply, expected, data[:80])

        # A line of 1,048,577 bytes is too large; the reply still arrives whole.
        big = line({"token": c.token, "name": "get_state", "arguments": {}, "pad": ""})
        big = big[:-3] + b"x" * (1_048_577 - len(big)) + big[-3:]
        self.assertEqual(len(big), 1_048_577)
        self.assertEqual(parse_reply(c.exchange(big)),
                         {"error": "Request too large", "ok": False})
        exact = big[:-4] + big[-3:]
        self.assertTrue(parse_reply(c.exchange(exact))["ok"])

        # Sixteen connections at once; the seventeenth is closed without a reply.
        held = [c.connect() for _ in range(16)]
        try:
            # Accepted in the order they connected: this one comes seventeenth.
            extra = c.connect()
            try:
                refused = c.exchange(line(good), sock=extra)
            except ConnectionResetError:  # closed with the request unread
                refused = b""
            self.assertEqual(refused, b"")
        finally:
            for s in held:
                s.close()
        def serving():
            try:
                return c.request("get_state").get("ok")
            except (ConnectionResetError, ValueError):  # still a seventeenth
                return False
        wait_for(serving, what="serving again")
        self.assertIsNone(self.app.poll())

    def test_4_second_instance_and_quit(self):
        endpoint = os.path.join(self.home, "automation", "endpoint.json")
        with open(endpoint, "rb") as f:
            published = f.read()
        # A second launch on the same data folder hands over and ends.
        with open(os.path.join(self.temp.name, "second.log"), "w") as log:
            second = launch(self.home, log)
            self.assertEqual(second.wait(timeout=60), 0)
        with open(endpoint, "rb") as f:
            self.assertEqual(f.read(), published)

        # Another process holding the lock: the application runs but never serves.
        other = os.path.join(self.temp.name, "other")
        os.makedirs(os.path.join(other, "automation"), mode=0o700)
        lock = open(os.path.join(other, "automation", "server.lock"), "w")
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        port = free_port()
        with open(os.path.join(self.temp.name, "locked.log"), "w") as log:
            locked = launch(other, log, control_port=port)
            try:
                wait_for(lambda: control_state(port), what="the locked instance to launch")
                self.assertFalse(os.path.exists(os.path.join(other, "automation",
                                                             "endpoint.json")))
            finally:
                quit_app(locked)
        lock.close()
        with open(os.path.join(self.temp.name, "locked.log")) as log:
            self.assertNotIn("Tevro automation unavailable", log.read())

        # Quit: the endpoint goes, the lock file stays.
        self.assertEqual(quit_app(self.app), 0)
        self.assertFalse(os.path.exists(endpoint))
        self.assertTrue(os.path.exists(os.path.join(self.home, "automation", "server.lock")))


def start_xvfb():
    """An X server for this run on a free display; (process, ":N") or (None, None)."""
    if not shutil.which("Xvfb"):
        return None, None
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1920x1080x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        server.kill()
        server.wait()
        return None, None
    return server, ":" + number


if __name__ == "__main__":
    TEVRO, SEEDER = sys.argv[1], sys.argv[2]
    xvfb, DISPLAY = start_xvfb()
    try:
        suite = unittest.TestLoader().loadTestsFromTestCase(AutomationEndToEnd)
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    sys.exit(0 if result.wasSuccessful() else 1)
