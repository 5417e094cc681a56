#!/usr/bin/env python3
"""Prints the codec goals as ratios from a dul-bench JSON report.

    build/release/bench/dul-bench --benchmark_filter='^(json|msgpack|yaml|base64)' \
        --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true \
        --benchmark_out=codecs.json --benchmark_out_format=json
    bench/codecs/goal_ratios.py codecs.json

Speed ratios are throughputs on the same document (reference time over our time, from the
median CPU times); memory ratios are ours over the reference. Interleaving the repetitions of all
contenders spreads a slow spell of a shared machine over them all instead of over one of them.
"""
import json
import sys

DOCUMENTS = ["itemsets_1k", "itemsets_100k", "itemsets_10m", "twitter", "canada"]


def load(path):
    with open(path) as report:
        runs = json.load(report)["benchmarks"]
    samples = {}
    for run in runs:
        if run.get("error_occurred"):
            continue
        aggregate = run.get("aggregate_name")
        if aggregate not in (None, "median"):
            continue
        samples.setdefault(run["run_name"], []).append(run)
    # With repetitions the median aggregate is used; otherwise the median of the plain runs.
    chosen = {}
    for name, found in samples.items():
        medians = [run for run in found if run.get("aggregate_name") == "median"]
        if medians:
            chosen[name] = medians[0]
        else:
            ordered = sorted(found, key=lambda run: run["cpu_time"])
            chosen[name] = ordered[len(ordered) // 2]
    return chosen


def main(path):
    runs = load(path)
    rows = []

    def value(name, field):
        run = runs.get(name)
        return None if run is None else run.get(field)

    def speed(goal, task, document, reference, ours, target, note=""):
        reference_time = value(f"{task}/{document}/{reference}", "cpu_time")
        our_time = value(ours.format(document=document), "cpu_time")
        if reference_time and our_time:
            rows.append((goal, document, reference_time / our_time, target, ">=", note))

    def memory(goal, document, field, reference, target):
        ours = value(f"json_read/{document}/ours", field)
        theirs = value(f"json_read/{document}/{reference}", field)
        if ours is not None and theirs:
            rows.append((goal, document, ours / theirs, target, "<=", ""))

    ours_json = "json_read/{document}/ours"
    for document in DOCUMENTS:
        json_target = 0.75 if document == "canada" else 0.60
        speed("ParseJson / RapidJSON DOM", "json_read", document, "rapidjson_dom", ours_json,
              json_target, "stretch 0.75" if document != "canada" else "")
        speed("ParseJson / RapidJSON DOM full precision", "json_read", document,
              "rapidjson_dom_full_precision", ours_json, json_target)
        speed("ParseJson / nlohmann", "json_read", document, "nlohmann", ours_json, 2.0)
        speed("ParseJson / RapidJSON null handler (ceiling)", "json_read", document,
              "rapidjson_sax_null_full_precision", ours_json, None)
        speed("WriteJson compact / RapidJSON Writer", "json_write", document, "rapidjson_writer",
              "json_write/{document}/ours", 0.75)
        speed("WriteJson pretty / RapidJSON PrettyWriter", "json_write_pretty", document,
              "rapidjson_pretty_writer", "json_write_pretty/{document}/ours", 0.75)
        memory("tree bytes / RapidJSON pool Size()", document, "tree_bytes", "rapidjson_dom", 2.0)
        memory("allocation calls / nlohmann", document, "allocs", "nlohmann", 0.10)
        speed("ReadMessagePack / msgpack-cxx unpack", "msgpack_read", document, "msgpack_cxx",
              "msgpack_read/{document}/ours", 1.0)
        speed("ReadMessagePack / our ParseJson", "json_read", document, "ours",
              "msgpack_read/{document}/ours", 1.5)
        speed("ParseYaml / libyaml events only", "yaml_read", document, "libyaml_events",
              "yaml_read/{document}/ours", 0.70)
        speed("ParseYaml / yaml-cpp", "yaml_read", document, "yaml_cpp",
              "yaml_read/{document}/ours", 4.0)
    for task in ("base64_encode", "base64_decode"):
        for size in ("1k", "64k", "1m"):
            speed(f"{task} / lookup table", task, size, "lookup_table", f"{task}/{{document}}/ours",
                  0.50)
            speed(f"{task} / memcpy (limit)", task, size, "memcpy", f"{task}/{{document}}/ours",
                  None)

    width = max(len(row[0]) for row in rows) if rows else 10
    for goal, document, ratio, target, sense, note in rows:
        if target is None:
            verdict = ""
        else:
            met = ratio >= target if sense == ">=" else ratio <= target
            verdict = f"{sense} {target:<5} {'met' if met else 'MISSED'}"
        print(f"{goal:<{width}}  {document:<14} {ratio:7.3f}  {verdict} {note}".rstrip())


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
