#!/usr/bin/env python3
"""Kills dul-host with SIGKILL at random moments during PUTs and clock ticks, and checks after
every kill and restart that nothing accepted was lost or torn.

    tests/host/crash_trials.py [--build build/release] [--trials 200] [--seed N]

One state directory serves every trial. In a trial, one connection PUTs documents of 1, 40 or
400 sets (each told apart by its uids) while a second advances the virtual clock by 5 s at a
time (game export, save metrics, upload); after a random 20 to 800 ms the host is killed. Then:
- the cache file holds one complete document: the last one the host answered 204 for (or what
  the file held before the trial, when none was), or the one whose PUT was under way;
- a host started again on the same state directory serves exactly the sets of that file.
Exits 1 at the first trial that breaks either, with what it saw.
"""
import argparse
import http.client
import json
import os
import random
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dul_host_driver import (ADVANCE_PATH, CACHE_FILE, SETS_PATH, Client,  # noqa: E402
                             Failure, Host, document_text)

SIZES = (1, 40, 400)
# Errors a request meets when the host is killed under it.
GONE = (OSError, http.client.HTTPException, Failure)


def uids(document):
    return [item_set.get("uid") for item_set in document.get("itemSets", [])]


def read_cache(state):
    """The uids of the cache file's sets; None when there is no file. Fails on a torn file."""
    try:
        with open(os.path.join(state, CACHE_FILE), "rb") as file:
            text = file.read()
    except FileNotFoundError:
        return None
    try:
        return uids(json.loads(text))
    except ValueError as error:
        raise Failure(f"the cache file is not one complete document ({error}): "
                      f"{len(text)} bytes ending {text[-80:]!r}")


class Workload:
    """PUTs on one connection and clock ticks on another until the host goes away."""

    def __init__(self, host, trial, rng):
        self.host, self.trial, self.rng = host, trial, rng
        self.accepted = None  # uids of the last document answered 204
        self.under_way = None  # uids of the document whose PUT has no answer yet
        self.puts = 0

    def put_loop(self):
        client = self.host.client
        try:
            while True:
                sets = self.rng.choice(SIZES)
                text = document_text(sets, f"-t{self.trial}p{self.puts}")
                self.under_way = uids(json.loads(text))
                client.request("PUT", SETS_PATH, body=text, expect=204)
                self.accepted, self.under_way = self.under_way, None
                self.puts += 1
        except GONE:
            pass

    def tick_loop(self):
        client = Client(self.host, timeout=30)
        try:
            while True:
                client.request("POST", ADVANCE_PATH, body=b'{"seconds": 5}')
        except GONE:
            pass
        finally:
            client.close()


def run_trial(build, scratch, trial, rng, before):
    """One start, workload, kill and check; the uids the file holds afterwards."""
    host = Host(build, scratch, "crash")
    served = uids(json.loads(host.request("GET", SETS_PATH)[0]))
    on_disk = read_cache(host.state)
    if on_disk is not None and served != on_disk:
        raise Failure(f"trial {trial}: the restarted host serves {served[:3]}..., the file "
                      f"holds {on_disk[:3]}...")
    if before is not None and on_disk != before:
        raise Failure(f"trial {trial}: the file changed across the restart")
    workload = Workload(host, trial, rng)
    threads = [threading.Thread(target=workload.put_loop),
               threading.Thread(target=workload.tick_loop)]
    for thread in threads:
        thread.start()
    time.sleep(rng.uniform(0.02, 0.8))
    host.kill()
    for thread in threads:
        thread.join()
    after = read_cache(host.state)
    allowed = [workload.accepted if workload.accepted is not None else on_disk,
               workload.under_way]
    if after not in allowed:
        raise Failure(f"trial {trial}: after {workload.puts} accepted PUTs the file holds "
                      f"{(after or [])[:2]}..., neither the accepted "
                      f"{(allowed[0] or [])[:2]}... nor the one under way "
                      f"{(allowed[1] or [])[:2]}...")
    return after, workload.puts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/release", help="the Release build folder")
    parser.add_argument("--trials", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None)
    options = parser.parse_args()
    seed = options.seed if options.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    puts, strays = 0, 0
    try:
        with tempfile.TemporaryDirectory(prefix="dul-crash-trials-") as scratch:
            before = None
            for trial in range(options.trials):
                before, accepted = run_trial(options.build, scratch, trial, rng, before)
                puts += accepted
            config = os.path.dirname(os.path.join(scratch, "crash", CACHE_FILE))
            strays = sum(1 for name in os.listdir(config) if ".tmp" in name)
    except (Failure, OSError) as error:
        sys.exit(f"crash_trials (seed {seed}): {error}")
    print(f"crash_trials: {options.trials} trials, {puts} accepted PUTs, no torn or lost "
          f"document (seed {seed}); {strays} temporary file(s) left by kills mid-write")


if __name__ == "__main__":
    main()
