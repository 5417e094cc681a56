#!/usr/bin/env python3
"""Drives COUNT mixed requests and events through one dul-host and checks that it does not grow.

    tests/host/soak.py COUNT [--build build/release] [--seed N] [--out FILE]

The mix: reads and replaces of the item sets (JSON and YAML, now and then a bad body or another
summoner), status and telemetry reads, clock ticks of 5 s, sign-ins of two accounts and sign-outs,
configuration and readiness changes, requests without the token or to unknown paths, fresh
connections, and event streams opened and dropped. No answer may be a 5xx.

After a warm-up (half of COUNT, at most 10,000 requests: the host's bounded histories fill
within a few thousand) and at the end it reads the host's
resident memory and open descriptors, and, in the same state (signed in, ready, the same
document), the plugin's live bytes. Fails when resident memory grew more than 10% from the
warm-up to the end, when descriptors grew, or when the live bytes did not come back to the
warm-up's. Prints p50 and p99 of the first and the last 1,000 requests.

--memcheck runs the host under valgrind's memcheck instead and fails on any error or leak it
reports; the growth checks are then left out.
"""
import argparse
import http.client
import json
import math
import os
import random
import socket
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dul_host_driver import (ACCOUNT_ID, ADVANCE_PATH, SETS_PATH, STATUS_PATH,  # noqa: E402
                             SUMMONER_ID, Client, Failure, Host, document_text)

SESSION_PATH = "/dul-login/v1/session"
CONFIG_PATH = "/dul-platform-config/v1/namespaces/ItemSets"
READY_PATH = "/dul-player-preferences/v1/player-preferences-ready"
EVENTS_PATH = "/dul-host/v1/events"
TELEMETRY_PATH = "/telemetry/v1/events"
OTHER_ACCOUNT = ACCOUNT_ID + 1
WINDOW = 1000
# Live bytes may differ this much between two visits of the same state (timer and history
# bookkeeping of the runtime), without being a leak.
LIVE_BYTES_SLACK = 4096


def session(account, state="SUCCEEDED"):
    return json.dumps({"accountId": account, "state": state, "summonerId": SUMMONER_ID}).encode()


def yaml_document(tag):
    return (f"accountId: {ACCOUNT_ID}\ntimestamp: 0\nitemSets:\n  - uid: yaml{tag}\n"
            f"    title: From YAML {tag}\n    blocks: []\n").encode()


class Soak:
    def __init__(self, host, rng):
        self.host, self.rng, self.client, self.count = host, rng, host.client, 0
        self.times = []

    def send(self, method, path, body=None, content_type="application/json", client=None):
        answer_client = client or self.client
        try:
            answer, elapsed = answer_client.request(method, path, body, expect=None,
                                                    content_type=content_type)
        except (OSError, http.client.HTTPException) as error:
            if self.host.process.poll() is not None:
                raise Failure(f"dul-host ended ({self.host.process.returncode}) at request "
                              f"{self.count}: {method} {path}\n{self.host.log_tail()}")
            raise Failure(f"{method} {path}: {error}")
        status = answer_client.last_status
        if status >= 500:
            raise Failure(f"{method} {path} answered {status}: {answer[:200]!r}")
        self.times.append(elapsed)
        self.count += 1
        return answer

    def step(self):
        """One request of the mix, chosen at random."""
        roll, tag = self.rng.random(), str(self.count)
        if roll < 0.25:
            self.send("GET", SETS_PATH)
        elif roll < 0.40:
            self.send("PUT", SETS_PATH, document_text(self.rng.choice((1, 10, 60)), "-" + tag))
        elif roll < 0.43:
            self.send("PUT", SETS_PATH, yaml_document(tag), "application/x-yaml")
        elif roll < 0.46:
            self.send("PUT", SETS_PATH, b'{"itemSets": [{"uid": 5}' + tag.encode())
        elif roll < 0.48:
            self.send("GET", f"/dul-item-sets/v1/item-sets/{SUMMONER_ID + 1}/sets")
        elif roll < 0.58:
            self.send("GET", STATUS_PATH)
        elif roll < 0.68:
            self.send("POST", ADVANCE_PATH, b'{"seconds": 5}')
        elif roll < 0.71:
            self.send("GET", TELEMETRY_PATH)
        elif roll < 0.76:
            account = self.rng.choice((ACCOUNT_ID, ACCOUNT_ID, OTHER_ACCOUNT))
            state = self.rng.choice(("SUCCEEDED", "SUCCEEDED", "LOGGING_OUT", "IN_PROGRESS"))
            self.send("PUT", SESSION_PATH, session(account, state))
        elif roll < 0.80:
            self.send("PUT", READY_PATH, self.rng.choice((b"true", b"false")))
        elif roll < 0.83:
            seconds = self.rng.choice((1, 5, 30))
            self.send("PUT", CONFIG_PATH, json.dumps(
                {"editorEnabled": True, "exportEnabled": self.rng.random() < 0.9,
                 "uploadCheckIntervalSeconds": seconds}).encode())
        elif roll < 0.90:
            self.send("GET", "/dul-item-sets/v1/nowhere/" + tag)
        elif roll < 0.96:
            self.unauthorized()
        elif roll < 0.99:
            client = Client(self.host, timeout=30)
            try:
                self.send("GET", STATUS_PATH, client=client)
            finally:
                client.close()
        else:
            self.drop_event_stream()

    def unauthorized(self):
        with socket.create_connection(("127.0.0.1", self.host.port), timeout=30) as raw:
            raw.sendall(f"GET {SETS_PATH} HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"
                        .encode())
            if not raw.recv(64).startswith(b"HTTP/1.1 401"):
                raise Failure("a request without the token was not refused with 401")
        self.count += 1

    def drop_event_stream(self):
        with socket.create_connection(("127.0.0.1", self.host.port), timeout=30) as raw:
            token = self.host.headers["Authorization"]
            raw.sendall(f"GET {EVENTS_PATH} HTTP/1.1\r\nHost: x\r\nAuthorization: {token}\r\n\r\n"
                        .encode())
            if not raw.recv(64).startswith(b"HTTP/1.1 200"):
                raise Failure("an event stream was not opened")
        self.count += 1

    def settle(self):
        """The same state at every visit: signed in, ready, one document, every tick run."""
        self.send("PUT", SESSION_PATH, session(ACCOUNT_ID))
        self.send("PUT", READY_PATH, b"true")
        self.send("PUT", CONFIG_PATH, json.dumps(
            {"editorEnabled": True, "exportEnabled": True,
             "uploadCheckIntervalSeconds": 5}).encode())
        self.send("PUT", SETS_PATH, document_text(10, "-settled"))
        for _ in range(3):
            self.send("POST", ADVANCE_PATH, b'{"seconds": 5}')
        self.send("GET", SETS_PATH)
        memory = json.loads(self.send("GET", STATUS_PATH))["memory"]
        return {"resident": self.host.process_memory("VmRSS"),
                "descriptors": self.host.open_descriptors(),
                "live": memory["bytesAllocated"] - memory["bytesFreed"]}


def percentile(samples, fraction):
    ordered = sorted(samples)
    return ordered[max(0, math.ceil(fraction * len(ordered)) - 1)]


MEMCHECK = ("valgrind", "--tool=memcheck", "--leak-check=full", "--errors-for-leak-kinds=definite",
            "--error-exitcode=99", "--quiet")


def run(build, scratch, count, rng, memcheck):
    host = Host(build, scratch, "soak", wrapper=MEMCHECK if memcheck else (),
                start_seconds=300 if memcheck else 30)
    try:
        soak = Soak(host, rng)
        warm_up = min(10000, max(count // 2, 1))
        while soak.count < warm_up:
            soak.step()
        warm = soak.settle()
        while soak.count < count:
            soak.step()
        end = soak.settle()
    finally:
        host.stop()
    first, last = soak.times[:WINDOW], soak.times[-WINDOW:]
    report = {"requests": soak.count, "warm_up": warm_up, "warm": warm, "end": end,
              "first": {"p50": percentile(first, 0.5), "p99": percentile(first, 0.99)},
              "last": {"p50": percentile(last, 0.5), "p99": percentile(last, 0.99)}}
    problems = []
    # The log is at its most detailed level, so a token written anywhere would show here; the one
    # line allowed to hold it is the editor page's address printed at the start, in its fragment.
    with open(host.log_path) as log:
        lines = [line for line in log if host.token in line]
        if [line for line in lines if f"/#token={host.token}" not in line] or len(lines) > 1:
            problems.append("dul-host's log holds its access token")
    if memcheck:
        return report, problems
    if end["resident"] > warm["resident"] * 1.10:
        problems.append("resident memory grew more than 10% after the warm-up")
    if end["descriptors"] > warm["descriptors"]:
        problems.append("open descriptors grew")
    if end["live"] > warm["live"] + LIVE_BYTES_SLACK:
        problems.append("the plugin's live bytes did not come back")
    return report, problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("count", type=int)
    parser.add_argument("--build", default="build/release", help="the Release build folder")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--out", help="write the figures as JSON here")
    parser.add_argument("--memcheck", action="store_true", help="run the host under valgrind")
    options = parser.parse_args()
    seed = options.seed if options.seed is not None else random.randrange(1 << 30)
    try:
        with tempfile.TemporaryDirectory(prefix="dul-soak-") as scratch:
            report, problems = run(options.build, scratch, options.count, random.Random(seed),
                                  options.memcheck)
    except (Failure, OSError) as error:
        sys.exit(f"soak (seed {seed}): {error}")
    warm, end = report["warm"], report["end"]
    print(f"soak: {report['requests']} requests (seed {seed}); after {report['warm_up']}: "
          f"resident {warm['resident'] / 1e6:.1f} MB, {warm['descriptors']} descriptors, live "
          f"{warm['live']:,} B; at the end: resident {end['resident'] / 1e6:.1f} MB, "
          f"{end['descriptors']} descriptors, live {end['live']:,} B")
    for window in ("first", "last"):
        print(f"  {window} {WINDOW}: p50 {report[window]['p50']:.3f} ms, "
              f"p99 {report[window]['p99']:.3f} ms")
    if options.out:
        with open(options.out, "w") as out:
            json.dump(report, out, indent=1)
    if problems:
        sys.exit("soak: " + "; ".join(problems))


if __name__ == "__main__":
    main()
