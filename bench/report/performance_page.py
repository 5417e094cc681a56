#!/usr/bin/env python3
"""Writes docs/performance.md and its plot from one run of scripts/bench.

    bench/report/performance_page.py --bench dul-bench.json --host host.json --run "full" \\
        --build build/release --page docs/performance.md --plot docs/performance-sizes.png

--bench is dul-bench's JSON report (repetitions with their median aggregates), --host what
bench/host/request_timing.py wrote. The page's structure depends only on which benchmarks ran, so
a rerun changes numbers and nothing else. Needs matplotlib (Debian: python3-matplotlib).
"""
import argparse
import contextlib
import io
import json
import os
import platform
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "codecs"))
import goal_ratios  # noqa: E402  (the codec goals, printed from the same report)

# Codec tasks in page order: the name, what it measures and which encoding of an input it reads
# or writes.
CODEC_TASKS = [
    ("json_read", "ParseJson, compact JSON", "json"),
    ("json_read_pretty", "ParseJson, indented JSON", "pretty"),
    ("json_write", "WriteJson, compact", "json"),
    ("json_write_pretty", "WriteJson, indented", "pretty"),
    ("msgpack_read", "ReadMessagePack", "msgpack"),
    ("yaml_read", "ParseYaml", "yaml"),
    ("base64_encode", "Base64 encode", None),
    ("base64_decode", "Base64 decode", None),
]
INPUTS = ["itemsets_1k", "itemsets_100k", "itemsets_10m", "twitter", "canada", "1k", "64k", "1m"]
ITEM_SET_INPUTS = ["itemsets_1k", "itemsets_100k", "itemsets_10m"]
GOALS = {"get": 2.0, "put": 3.0, "scaling": 11.0}


def micros(run):
    """A run's median CPU time in microseconds."""
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[run["time_unit"]]
    return run["cpu_time"] * scale


def number(value, digits=3):
    """`value` to about `digits` significant digits, with thousands separators."""
    if value is None:
        return "—"
    if value == 0:
        return "0"
    places = max(0, digits - 1 - int(f"{abs(value):e}".split("e")[1]))
    return f"{value:,.{places}f}"


def count(value):
    """A count or byte size: whole numbers with thousands separators."""
    if value is None:
        return "—"
    return f"{int(value):,}" if float(value).is_integer() else number(value)


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return "\n".join(lines)


def goal_cell(ratio, goal):
    if ratio is None:
        return "—"
    return f"{number(ratio)} ({'met' if ratio <= goal else 'missed'})"


def input_sizes(context):
    """Bytes of each encoding of each codec input, from the report's context."""
    sizes = {}
    for key, value in context.items():
        if key.startswith("input "):
            sizes[key[len("input "):]] = {kind: int(size) for kind, size in
                                          re.findall(r"(\w+) (\d+) B", value)}
    return sizes


def contenders(runs, task, document):
    """The contenders of one task and input, ours first, then the references by name."""
    found = sorted(name.split("/")[2] for name in runs
                   if name.startswith(f"{task}/{document}/") and name.count("/") == 2)
    return (["ours"] if "ours" in found else []) + [name for name in found if name != "ours"]


def machine(report, build):
    def first_line(command):
        try:
            return subprocess.run(command, capture_output=True, text=True,
                                  check=True).stdout.splitlines()[0]
        except (OSError, subprocess.CalledProcessError, IndexError):
            return "unknown"

    def field(path, pattern):
        try:
            with open(path) as file:
                found = re.search(pattern, file.read(), re.MULTILINE)
            return found.group(1).strip() if found else "unknown"
        except OSError:
            return "unknown"

    cache = os.path.join(build, "CMakeCache.txt")
    compiler = field(cache, r"^CMAKE_CXX_COMPILER:\w+=(.*)$")
    memory = field("/proc/meminfo", r"^MemTotal:\s+(\d+) kB")
    system = field("/etc/os-release", r'^PRETTY_NAME="?([^"\n]*)')
    build_type = field(cache, r"^CMAKE_BUILD_TYPE:\w+=(.*)$")
    context = report["context"]
    commit = first_line(["git", "rev-parse", "--short=12", "HEAD"])
    changed = subprocess.run(["git", "status", "--porcelain", "--untracked-files=no", "--", ".",
                              ":!docs/performance.md", ":!docs/performance-sizes.png"],
                             capture_output=True, text=True).stdout.strip()
    return [
        ("Date", context.get("date", "unknown")),
        ("CPU", field("/proc/cpuinfo", r"^model name\s*:(.*)$")),
        ("Cores", f"{os.cpu_count()} logical CPUs"),
        ("Memory", f"{int(memory) / 1024 / 1024:.0f} GiB" if memory.isdigit() else memory),
        ("System", f"{system}, kernel {platform.release()}"),
        ("Compiler", first_line([compiler, "--version"]) if compiler != "unknown" else compiler),
        ("Build", f"CMake preset release ({build_type})"),
        ("Commit", commit + (" with uncommitted changes" if changed else "")),
        ("Load average at the start", " / ".join(f"{load:.2f}" for load in
                                                 context.get("load_avg", [])) or "unknown"),
    ]


def codec_section(runs, sizes):
    rows = []
    for task, what, encoding in CODEC_TASKS:
        for document in INPUTS:
            names = contenders(runs, task, document)
            if "ours" not in names:
                continue
            ours = micros(runs[f"{task}/{document}/ours"])
            size = sizes.get(document, {}).get(encoding) if encoding else None
            for reference in names[1:]:
                theirs = micros(runs[f"{task}/{document}/{reference}"])
                rows.append((what, document, count(size) if size else "—", number(ours),
                             reference, number(theirs), number(ours / theirs)))
    header = ("Task", "Input", "Bytes", "Ours (µs)", "Reference", "Reference (µs)",
              "Ours ÷ reference")
    return table(header, rows)


def codec_goals(bench_path):
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        goal_ratios.main(bench_path)
    return printed.getvalue().rstrip()


def conversion_section(runs):
    rows = []
    for direction, what in (("ToBinding", "native document → tree"),
                            ("FromBinding", "tree → native document")):
        ours = runs.get(f"Conversion/{direction}/ours")
        if ours is None:
            continue
        for reference in contenders(runs, "Conversion", direction)[1:]:
            theirs = runs[f"Conversion/{direction}/{reference}"]
            rows.append((f"{direction} ({what})", number(micros(ours)), reference,
                         number(micros(theirs)), number(micros(ours) / micros(theirs)),
                         f"{count(ours.get('allocs'))} / {count(theirs.get('allocs'))}"))
    header = ("Conversion", "Ours (µs)", "Reference", "Reference (µs)", "Ours ÷ reference",
              "Allocations, ours / reference")
    return table(header, rows)


def dispatch_section(runs):
    def time(name):
        run = runs.get(f"Dispatch/{name}")
        return micros(run) if run else None

    def allocs(name):
        run = runs.get(f"Dispatch/{name}")
        return count(run.get("allocs")) if run else "—"

    rows = []
    for ours, reference, label in (("Get/Remoting", "Get/RegexMatch", "one std::regex_match"),
                                   ("Get/Remoting", "Get/RouteMatch", "the route template's match")):
        if time(ours) and time(reference):
            rows.append((f"Dispatch/{ours}", number(time(ours)), f"{label} (Dispatch/{reference})",
                         number(time(reference)), number(time(ours) / time(reference)),
                         f"{allocs(ours)} / {allocs(reference)}"))
    parts = ["Put/ParseJson", "Put/FromBinding", "Put/Handler"]
    if time("Put/Remoting") and all(time(part) for part in parts):
        total = sum(time(part) for part in parts)
        rows.append(("Dispatch/Put/Remoting", number(time("Put/Remoting")),
                     "its parts: ParseJson + FromBinding + Handler", number(total),
                     number(time("Put/Remoting") / total),
                     f"{allocs('Put/Remoting')} / " + " + ".join(allocs(part) for part in parts)))
    header = ("Dispatch", "Ours (µs)", "Reference", "Reference (µs)", "Ours ÷ reference",
              "Allocations, ours / reference")
    return table(header, rows)


def host_floor(host, result, kind):
    """The floor of a GET or PUT of one size in milliseconds, or None when it was not timed."""
    part = result["floor_us"].get(f"{kind}_us")
    if part is None or result[f"{kind}_ms"] is None:
        return None
    return host["status_ms"]["p50"] + part / 1000


def host_section(host):
    sizes = host["sizes"]
    times, goals, parts = [], [], []
    for result in sizes:
        row = [count(result["sets"]), count(result["put_bytes"])]
        for kind in ("get", "put"):
            measured = result[f"{kind}_ms"]
            row += ([number(measured["p50"]), number(measured["p90"]),
                     number(host_floor(host, result, kind))] if measured else ["—", "—", "—"])
        times.append(row)
        floor = result["floor_us"]
        parts.append((count(result["sets"]), number(host["status_ms"]["p50"] * 1000),
                      number(floor.get("get_us")), number(floor.get("parse_us")),
                      number(floor.get("write_us")), number(floor.get("replace_us"))))
    for kind, label in (("get", "GET ÷ floor"), ("put", "PUT ÷ floor")):
        row = [f"{label} ≤ {GOALS[kind]:g}"]
        for result in sizes:
            floor = host_floor(host, result, kind)
            row.append(goal_cell(result[f"{kind}_ms"]["p50"] / floor if floor else None,
                                 GOALS[kind]))
        goals.append(row)
    by_sets = {result["sets"]: result for result in sizes}
    scaling = []
    if 1000 in by_sets and 10000 in by_sets:
        for kind in ("get", "put"):
            small, large = by_sets[1000][f"{kind}_ms"], by_sets[10000][f"{kind}_ms"]
            ratio = large["p50"] / small["p50"] if small and large else None
            scaling.append((kind.upper(), number(small["p50"]) if small else "—",
                            number(large["p50"]) if large else "—",
                            goal_cell(ratio, GOALS["scaling"])))
    return "\n\n".join(filter(None, [
        table(("Sets", "Body (bytes)", "GET p50 (ms)", "GET p90 (ms)", "GET floor (ms)",
               "PUT p50 (ms)", "PUT p90 (ms)", "PUT floor (ms)"), times),
        "Goals (shown, not asserted): p50 over the floor, per size.",
        table(["Goal"] + [f"{count(result['sets'])} sets" for result in sizes], goals),
        "Growth from 1,000 to 10,000 sets (p50):" if scaling else "",
        table(("Request", "1,000 sets (ms)", "10,000 sets (ms)", "10,000 ÷ 1,000 (goal ≤ 11)"),
              scaling) if scaling else "",
        "The floor's parts (µs; the status answer's p50 is in both floors):",
        table(("Sets", "Status answer", "GET: compact write", "PUT: parse", "PUT: compact write",
               "PUT: file replace"), parts),
    ]))


def memory_section(memory):
    large = memory["large_bytes"]
    peak = memory["peak_growth_bytes"]
    rows = [(f"Plugin's peak live bytes during one PUT of {count(memory['large_sets'])} sets, "
             "above its live bytes before", count(peak), number(peak / large))]
    if memory["resident_peak_bytes"] is not None:
        resident = memory["resident_peak_bytes"] - memory["resident_before_large_bytes"]
        rows.append(("dul-host process's resident peak during that PUT, above its resident size "
                     "before (host and plugin, binding pages included)", count(resident),
                     number(resident / large)))
    change = memory["live_after_bytes"] - memory["live_before_bytes"]
    rows += [(f"Plugin's live bytes before {count(memory['puts'])} PUTs of the 10-set "
              "document", count(memory["live_before_bytes"]), ""),
             (f"Plugin's live bytes after them", count(memory["live_after_bytes"]), ""),
             ("Change", f"{change:+,}", f"{change / memory['puts']:+.3f} bytes per PUT")]
    return table(("Measure", "Bytes", f"÷ text size ({count(large)} bytes)"), rows)


def plot(runs, sizes, host, path):
    import matplotlib
    matplotlib.use("Agg")
    from matplotlib import pyplot

    figure, axes = pyplot.subplots(2, 2, figsize=(12, 9))
    panels = [(axes[0][0], "JSON read (ParseJson vs references)", [("json_read", "json")]),
              (axes[0][1], "JSON write, compact (WriteJson vs references)", [("json_write", "json")]),
              (axes[1][0], "MessagePack and YAML read",
               [("msgpack_read", "msgpack"), ("yaml_read", "yaml")])]
    for axis, title, tasks in panels:
        for task, encoding in tasks:
            for contender in contenders(runs, task, ITEM_SET_INPUTS[-1]):
                points = [(sizes[document][encoding], micros(runs[name]))
                          for document in ITEM_SET_INPUTS
                          if (name := f"{task}/{document}/{contender}") in runs]
                style = "-o" if contender == "ours" else "--."
                label = f"{task.split('_')[0]}: {contender}" if len(tasks) > 1 else contender
                axis.plot(*zip(*points), style, label=label)
        axis.set(title=title, xlabel="item-set document (bytes)", ylabel="median CPU time (µs)",
                 xscale="log", yscale="log")
        axis.legend(fontsize=8)
        axis.grid(True, which="major", alpha=0.3)
    axis = axes[1][1]
    for kind, color in (("get", "tab:blue"), ("put", "tab:red")):
        measured = [(r["put_bytes"], r[f"{kind}_ms"]["p50"]) for r in host["sizes"]
                    if r[f"{kind}_ms"]]
        floors = [(r["put_bytes"], host_floor(host, r, kind)) for r in host["sizes"]
                  if host_floor(host, r, kind)]
        axis.plot(*zip(*measured), "-o", color=color, label=f"{kind.upper()} via dul-host (p50)")
        axis.plot(*zip(*floors), "--.", color=color, label=f"{kind.upper()} floor")
    axis.set(title="dul-host over HTTP (10 to 10,000 sets)", xlabel="item-set document (bytes)",
             ylabel="time (ms)", xscale="log", yscale="log")
    axis.legend(fontsize=8)
    axis.grid(True, which="major", alpha=0.3)
    figure.tight_layout()
    figure.savefig(path, dpi=80, metadata={"Software": None})


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bench", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--run", required=True, help="how scripts/bench was run, for the page")
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--page", default="docs/performance.md")
    parser.add_argument("--plot", default="docs/performance-sizes.png")
    options = parser.parse_args()
    with open(options.bench) as file:
        report = json.load(file)
    with open(options.host) as file:
        host = json.load(file)
    runs = goal_ratios.load(options.bench)
    sizes = input_sizes(report["context"])
    repetitions = max((run.get("repetitions", 1) for run in report["benchmarks"]), default=1)
    rounds = ", ".join(f"{count(r['sets'])} sets {r['get_ms']['count']}"
                       for r in host["sizes"])
    plot(runs, sizes, host, options.plot)
    page = f"""# Performance

Generated by `scripts/bench` ({options.run}); do not edit by hand: run `scripts/bench` again
(`scripts/bench --quick` for a short pass) and commit the page and its plot. Every ratio compares
numbers from the same run. **Ours ÷ reference** is our time over the reference's: below 1 we are
faster. The benchmarks of `dul-bench` ran {repetitions} times each, their repetitions randomly
interleaved, and each figure is the median of its repetitions' CPU times.

## Machine

{table(("", ""), machine(report, options.build))}

## Whole host: dul-host over HTTP

`bench/host/request_timing.py`: the freshly built `dul-host` and plugin, a new temporary state
directory, the virtual clock, signed in, driven over {host['connections']} kept-alive HTTP/1.1
connection. Item-set documents of 4 blocks of 6 items, 2 champions and 2 maps per set; each round
is the host's status answer, a GET and a PUT of `/dul-item-sets/v1/item-sets/42/sets` (rounds:
{rounds}). Times are wall-clock, from the request's first byte to the answer's last.

The **floor** is what a request cannot do without, measured in the same run: for a GET, the host's
status answer (`GET /dul-host/v1/status`, p50, on the same connection) plus a RapidJSON compact
write of the document the GET answered; for a PUT, the status answer plus a RapidJSON parse and
compact write of the body and one atomic file replace of the written bytes through the plugin's
own `platform::ReplaceFileAtomically` (temporary file, `fsync`, rename), as the plugin's cache
writer does (`bench/host/request_floor.cpp`, medians). The `fsync` of that replace is most of a
small PUT's floor; its time depends on the disk and on whatever else writes to it at the moment,
so a small PUT can come out below a floor measured a little later.

{host_section(host)}

## Memory of a PUT

From the plugin's own counters (`getMemoryStats`, as `GET /dul-host/v1/status` shows them under
`memory`), in a second fresh host, for a PUT of a document of about 10 MB. The counters see every
allocation of the plugin: its counting allocator and the value pages it takes from the operating
system. The host process's resident peak (`VmHWM`, reset before the PUT) adds the host's own
copies of the body and the pages it keeps for reuse.

{memory_section(host['memory'])}

## Codecs

`bench/codecs/`: each codec against reference libraries on the same bytes; item-set documents of
about 1 kB, 100 kB and 10 MB, a Twitter-like and a Canada-like document, and Base64 inputs.

{codec_section(runs, sizes)}

The codec goals, from `bench/codecs/goal_ratios.py` on the same report (its speed ratios are
throughputs, reference time ÷ ours: above 1 we are faster):

```text
{codec_goals(options.bench)}
```

## Native conversion

`bench/binding/native_conversion_bench.cpp`: the 100-set item-set document between its native
records and a value tree, against a hand-built RapidJSON DOM and nlohmann's struct mapping.

{conversion_section(runs)}

## Dispatch

`bench/runtime/dispatch_bench.cpp`: requests through `Remoting` on the item-set resource; a GET that
binds the summoner id against matching the path alone, and a PUT of 100 sets against the sum of
its parts, each timed alone.

{dispatch_section(runs)}

## Time against document size

![Time against document size, ours and each reference]({os.path.basename(options.plot)})
"""
    with open(options.page, "w") as file:
        file.write(page)


if __name__ == "__main__":
    main()
