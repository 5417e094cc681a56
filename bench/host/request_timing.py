#!/usr/bin/env python3
"""Times GET and PUT of the item sets through dul-host, against a floor measured in the same run.

    bench/host/request_timing.py [--build build/release] [--quick | --smoke] [--out FILE]

One dul-host (the freshly built plugin, a new temporary state directory, the virtual clock, signed
in) is driven over ONE kept-alive HTTP/1.1 connection. For each document of 10, 100, 1,000 and
10,000 item sets (4 blocks of 6 items, 2 champions and 2 maps each) it repeats rounds of the
host's status answer, a GET and a PUT, and reports their p50 and p90 in milliseconds.

The floor of a GET is the status answer's p50 plus a RapidJSON compact write of what the GET
answered; of a PUT, the status answer's p50 plus a RapidJSON parse and compact write of the body
and one atomic replace of a file with it, as the plugin's cache writer does (bench/host/
request_floor.cpp, run in the same invocation).

Memory, from the plugin's counters in GET /dul-host/v1/status, in a second fresh host: live bytes
before and after a run of PUTs of the 10-set document, and the peak during one PUT of a document of
about 10 MB, over its text size.

--smoke: the smallest document, a few requests, every answer checked, no figures worth keeping.
Prints a summary; --out writes the results as JSON. Exits 1 when any answer is wrong.
"""
import argparse
import http.client
import json
import math
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests",
                                "support"))
from dul_host_driver import (SETS_PATH, STATUS_PATH, Failure, Host,  # noqa: E402
                             document_text)

# kLargestRequestBody in host/http/http_front.h: the host refuses larger bodies with 413.
LARGEST_BODY = 32 * 1024 * 1024
# The document of the memory measurement: some 10 MB of text.
MEMORY_DOCUMENT_BYTES = 10 * 1000 * 1000
def percentiles(samples):
    ordered = sorted(samples)
    return {"p50": statistics.median(ordered),
            "p90": ordered[max(0, math.ceil(0.9 * len(ordered)) - 1)], "count": len(ordered)}


def check_answer(answer, sent, what):
    """The GET answer holds the document that was sent (the plugin stamps its version)."""
    got, expected = json.loads(answer), json.loads(sent)
    if got["itemSets"] != expected["itemSets"] or got["accountId"] != expected["accountId"]:
        raise Failure(f"{what}: GET did not return the document that was sent")


def rounds_for(sets, scale):
    return max(3, int(max(20, min(400, 60000 // sets)) * scale))


def time_sizes(build, scratch, sizes, scale):
    """Rounds of status, GET and PUT per size on one host and one connection."""
    texts = {sets: document_text(sets) for sets in sizes}
    if any(len(text) > LARGEST_BODY for text in texts.values()):
        raise Failure("a document is above the host's body limit")
    host = Host(build, scratch, "timing")
    results, status_times, answers = [], [], {}
    try:
        for sets in sizes:
            text = texts[sets]
            host.request("PUT", SETS_PATH, body=text, expect=204)
            answers[sets] = host.request("GET", SETS_PATH)[0]
            check_answer(answers[sets], text, f"{sets} sets")
            get_times, put_times = [], []
            for _ in range(rounds_for(sets, scale)):
                status_times.append(host.request("GET", STATUS_PATH)[1])
                answer, elapsed = host.request("GET", SETS_PATH)
                if len(answer) != len(answers[sets]):
                    raise Failure(f"{sets} sets: a GET answered {len(answer)} bytes, not "
                                  f"{len(answers[sets])}")
                get_times.append(elapsed)
                put_times.append(host.request("PUT", SETS_PATH, body=text, expect=204)[1])
            results.append({
                "sets": sets, "put_bytes": len(text), "get_bytes": len(answers[sets]),
                "get_ms": percentiles(get_times),
                "put_ms": percentiles(put_times)})
        connections = host.connection.opened
    finally:
        host.stop()
    results.sort(key=lambda result: result["sets"])
    return results, percentiles(status_times), connections, texts, answers


def measure_floor(build, scratch, texts, answers, results, repetitions):
    """Runs dul-request-floor on the same bytes; adds the floor to each size's results."""
    arguments = [os.path.join(build, "bench", "dul-request-floor"), str(repetitions), scratch]
    for result in results:
        sets = result["sets"]
        get_file = os.path.join(scratch, f"get-{sets}.json")
        with open(get_file, "wb") as file:
            file.write(answers[sets])
        put_file = "-"
        if result["put_ms"] is not None:
            put_file = os.path.join(scratch, f"put-{sets}.json")
            with open(put_file, "wb") as file:
                file.write(texts[sets])
        arguments += [str(sets), get_file, put_file]
    floor = json.loads(subprocess.run(arguments, check=True, capture_output=True).stdout)
    for result in results:
        result["floor_us"] = floor[str(result["sets"])]


def measure_memory(build, scratch, puts):
    """Live bytes around `puts` PUTs of the 10-set document, then the peak of one PUT of a
    document of about MEMORY_DOCUMENT_BYTES."""
    small = document_text(10)
    per_set = len(document_text(100)) / 100
    sets = int(MEMORY_DOCUMENT_BYTES / per_set) // 100 * 100
    large = document_text(sets)
    host = Host(build, scratch, "memory")
    try:
        for _ in range(10):
            host.request("PUT", SETS_PATH, body=small, expect=204)
        check_answer(host.request("GET", SETS_PATH)[0], small, "memory, 10 sets")
        before = host.memory()
        for _ in range(puts):
            host.request("PUT", SETS_PATH, body=small, expect=204)
        after = host.memory()
        check_answer(host.request("GET", SETS_PATH)[0], small, f"memory, after {puts} PUTs")
        resident_reset = host.reset_peak_resident()
        resident_before = host.process_memory("VmRSS")
        ready = host.memory()
        host.request("PUT", SETS_PATH, body=large, expect=204)
        peak = host.memory()
        if peak["peakLiveBytes"] <= ready["peakLiveBytes"]:
            raise Failure(f"the PUT of {sets} sets did not raise the plugin's peak live bytes")
        resident_peak = host.process_memory("VmHWM") if resident_reset else None
        check_answer(host.request("GET", SETS_PATH)[0], large, f"memory, {sets} sets")
    finally:
        host.stop()

    def live(memory):
        return memory["bytesAllocated"] - memory["bytesFreed"]

    return {
        "puts": puts, "live_before_bytes": live(before), "live_after_bytes": live(after),
        "large_sets": sets, "large_bytes": len(large), "live_before_large_bytes": live(ready),
        "peak_bytes": peak["peakLiveBytes"],
        "peak_growth_bytes": peak["peakLiveBytes"] - live(ready),
        "resident_before_large_bytes": resident_before, "resident_peak_bytes": resident_peak,
    }


def summary(report):
    lines = [f"status answer p50 {report['status_ms']['p50']:.3f} ms over "
             f"{report['connections']} connection(s)"]
    for result in report["sizes"]:
        floor, status = result["floor_us"], report["status_ms"]["p50"]
        get = result["get_ms"]["p50"]
        lines.append(f"{result['sets']:>6} sets: GET p50 {get:9.3f} ms "
                     f"(floor {status + floor['get_us'] / 1000:8.3f})  PUT p50 "
                     f"{result['put_ms']['p50']:9.3f} ms (floor {status + floor['put_us'] / 1000:8.3f})")
    memory = report.get("memory")
    if memory:
        lines.append(f"live bytes {memory['live_before_bytes']:,} before {memory['puts']} PUTs, "
                     f"{memory['live_after_bytes']:,} after; PUT of {memory['large_bytes']:,} "
                     f"bytes peaks {memory['peak_growth_bytes']:,} bytes above live")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/release", help="the Release build folder")
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--quick", action="store_true", help="fewer rounds and PUTs")
    mode.add_argument("--smoke", action="store_true", help="10 sets, a few requests, checks only")
    parser.add_argument("--out", help="write the results as JSON here")
    options = parser.parse_args()
    if options.smoke:
        sizes, scale, puts, repetitions = [10], 0.01, 5, 2
    elif options.quick:
        sizes, scale, puts, repetitions = [10, 100, 1000, 10000], 0.25, 1000, 20
    else:
        sizes, scale, puts, repetitions = [10, 100, 1000, 10000], 1.0, 10000, 100
    try:
        with tempfile.TemporaryDirectory(prefix="dul-request-timing-") as scratch:
            results, status, connections, texts, answers = time_sizes(
                options.build, scratch, sizes, scale)
            measure_floor(options.build, scratch, texts, answers, results, repetitions)
            report = {"sizes": results, "status_ms": status, "connections": connections,
                      "body_limit_bytes": LARGEST_BODY,
                      "memory": measure_memory(options.build, scratch, puts)}
    except (Failure, OSError, http.client.HTTPException, subprocess.CalledProcessError) as error:
        sys.exit(f"request_timing: {error}")
    print(summary(report))
    if options.out:
        with open(options.out, "w") as out:
            json.dump(report, out, indent=1, sort_keys=True)
            out.write("\n")


if __name__ == "__main__":
    main()
