"""Starts dul-host in a state directory and talks to it over HTTP/1.1, for the Python drivers
(the request timing, the crash trials, the soak). Standard library only."""
import argparse
import http.client
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

ACCOUNT_ID = 1001
SUMMONER_ID = 42
SETS_PATH = f"/dul-item-sets/v1/item-sets/{SUMMONER_ID}/sets"
STATUS_PATH = "/dul-host/v1/status"
ADVANCE_PATH = "/dul-host/v1/clock/advance"
OPENAPI_PATH = "/dul-host/v1/openapi.json"
REPOSITORY = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# Where the plugin keeps its cache file, under the state directory.
CACHE_FILE = os.path.join("install", "Game", "Config", "ItemSets.json")

BLOCK_TYPES = ("Starting items", "Core build", "Situational", "Boots")


def item_set(index, tag=""):
    """One realistic set: 4 blocks of 6 items, 2 champions, 2 maps, 2 preferred slots."""
    def item(block, slot):
        return {"count": 1 + (index + slot) % 3, "id": str(1001 + (index * 31 + block * 7 + slot * 13) % 3000)}

    blocks = [{"hideIfSummonerSpell": "", "items": [item(b, s) for s in range(6)],
               "showIfSummonerSpell": "SummonerSmite" if b == 0 else "", "type": kind}
              for b, kind in enumerate(BLOCK_TYPES)]
    return {"associatedChampions": [1 + index % 900, 1 + index * 7 % 900],
            "associatedMaps": [11, 12], "blocks": blocks, "map": "SR" if index % 3 == 0 else "any",
            "mode": "any",
            "preferredItemSlots": [{"id": str(3001 + (index + s) % 500), "preferredItemSlot": s + 1}
                                   for s in range(2)],
            "sortrank": index, "startedFrom": "blank", "title": f"Item set {index}",
            "type": "custom", "uid": f"5f0c{100000 + index * 7919 % 900000}-{index:05d}{tag}"}


def document_text(sets, tag=""):
    """The compact JSON of a document of `sets` sets, members in name order; `tag` goes into
    every set's uid, so that documents of the same size can be told apart."""
    document = {"accountId": ACCOUNT_ID, "itemSets": [item_set(i, tag) for i in range(sets)],
                "timestamp": 1718000000000}
    return json.dumps(document, separators=(",", ":")).encode()


class Failure(Exception):
    pass


class CountingConnection(http.client.HTTPConnection):
    """An HTTP/1.1 connection that counts how often it had to be opened."""
    opened = 0

    def connect(self):
        super().connect()
        self.opened += 1


class Client:
    """One kept-alive connection to a running dul-host."""

    def __init__(self, host, timeout=300):
        self.host = host
        self.connection = CountingConnection("127.0.0.1", host.port, timeout=timeout)
        self.last_status = None

    def request(self, method, path, body=None, expect=200, content_type="application/json"):
        """Sends one request; its answer's bytes and its time in milliseconds."""
        headers = dict(self.host.headers)
        if body is not None:
            headers["Content-Type"] = content_type
        start = time.perf_counter_ns()
        self.connection.request(method, path, body=body, headers=headers)
        response = self.connection.getresponse()
        answer = response.read()
        elapsed = (time.perf_counter_ns() - start) / 1e6
        self.last_status = response.status
        if expect is not None and response.status != expect:
            raise Failure(f"{method} {path} answered {response.status}, not {expect}: "
                          f"{answer[:300]!r}\ndul-host's last lines:\n{self.host.log_tail()}")
        return answer, elapsed

    def close(self):
        self.connection.close()


class Host:
    """dul-host in a state directory of its own (kept between hosts of the same name), on a free
    port, on the virtual clock, signed in; `client` is its first connection. `wrapper` goes
    before the command (valgrind, say)."""

    def __init__(self, build, scratch, name, extra=(), wrapper=(), start_seconds=30):
        self.state = state = os.path.join(scratch, name)
        self.log_path = os.path.join(scratch, name + ".log")
        self.log = open(self.log_path, "a+")
        command = [*wrapper, os.path.join(build, "dul-host"), "--state", state, "--port", "0",
                   "--clock", "virtual", "--account-id", str(ACCOUNT_ID),
                   "--summoner-id", str(SUMMONER_ID), "--log-level", "3", *extra]
        self.process = subprocess.Popen(command, stdout=self.log, stderr=subprocess.STDOUT)
        record = self._wait_for_record(start_seconds)
        self.port = record["port"]
        self.token = record["token"]
        self.headers = {"Authorization": "Bearer " + record["token"]}
        self.client = Client(self)
        self.connection = self.client.connection

    def _wait_for_record(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                with open(os.path.join(self.state, "host.json")) as file:
                    record = json.load(file)
                if record.get("pid") == self.process.pid:
                    return record
            except (OSError, ValueError):
                pass
            time.sleep(0.01)
        raise Failure("dul-host wrote no host.json:\n" + self.log_tail())

    def log_tail(self):
        self.log.seek(0)
        return "".join(self.log.readlines()[-20:])

    def request(self, method, path, body=None, expect=200):
        return self.client.request(method, path, body, expect)

    def memory(self):
        return json.loads(self.request("GET", STATUS_PATH)[0])["memory"]

    def process_memory(self, field):
        """VmRSS or VmHWM of the host process in bytes, or None where /proc does not tell."""
        try:
            with open(f"/proc/{self.process.pid}/status") as status:
                for line in status:
                    if line.startswith(field + ":"):
                        return int(line.split()[1]) * 1024
        except OSError:
            pass
        return None

    def open_descriptors(self):
        try:
            return len(os.listdir(f"/proc/{self.process.pid}/fd"))
        except OSError:
            return None

    def reset_peak_resident(self):
        try:
            with open(f"/proc/{self.process.pid}/clear_refs", "w") as clear:
                clear.write("5")
            return True
        except OSError:
            return False

    def kill(self):
        """Ends the host at once, as a crash does (SIGKILL)."""
        self.process.kill()
        self.process.wait()
        self.client.close()
        self.log.close()

    def stop(self):
        try:
            self.request("POST", "/dul-host/v1/shutdown", body=b"")
            # The server ends once its kept-alive connections are gone.
            self.client.close()
            self.process.wait(timeout=300)
        except (OSError, http.client.HTTPException, Failure, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()
        finally:
            self.client.close()
            tail = self.log_tail()
            self.log.close()
        if self.process.returncode != 0:
            raise Failure(f"dul-host exited with {self.process.returncode}:\n{tail}")


class HostTestCase(unittest.TestCase):
    """Test cases that share one dul-host of the build folder given to run_host_tests."""
    build = os.path.join(REPOSITORY, "build", "release")

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="dul-host-test-")
        cls.host = Host(cls.build, cls.scratch.name, "host")
        cls.document = json.loads(cls.host.request("GET", OPENAPI_PATH)[0])

    def setUp(self):
        # The host closes a connection idle for 2 s; the next request opens a new one.
        self.host.client.close()

    @classmethod
    def tearDownClass(cls):
        cls.host.client.close()
        try:
            cls.host.stop()
        finally:
            cls.scratch.cleanup()

    def resolve(self, value):
        """`value`, or the part of the served document its local $ref names."""
        while "$ref" in value:
            reference, value = value["$ref"], self.document
            for part in reference.removeprefix("#/").split("/"):
                value = value[part]
        return value

    def operations(self):
        """(method, path template, operation) of every operation the served document names."""
        return [(method.upper(), path, operation)
                for path, item in self.document["paths"].items()
                for method, operation in item.items()]


def run_host_tests():
    """unittest's main, with --build BUILD_FOLDER (the folder of the dul-host executable)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=HostTestCase.build)
    arguments, rest = parser.parse_known_args()
    HostTestCase.build = arguments.build
    unittest.main(argv=[sys.argv[0], *rest])
