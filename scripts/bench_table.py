#!/usr/bin/env python3
"""Ratio table of our routines against their anchors.

Runs every benchmark program build/bench/bench_* (Google Benchmark) with JSON output and
repetitions, takes the median of each benchmark, pairs benchmarks named
<routine>/ours/<args> with <routine>/<anchor>/<args> (anchor one of std, boost, fftw, lapack,
openblas) and prints a Markdown table with the ratio ours / anchor (below 1 means we are faster),
headed by the CPU it was measured on. Benchmarks not named that way are left out. Times are the
CPU time of the benchmarking thread (every benchmark runs on one thread), which on a shared
machine is steadier than wall time; --wall-time takes wall time instead.

    python3 scripts/bench_table.py [--build build] [--repetitions 5] [--min-time 0.2]
                                   [--filter REGEX] [--wall-time] [--save-json DIR]
                                   [--from-json FILE ...]
"""

import argparse
import glob
import json
import os
import platform
import re
import subprocess
import sys

OURS = "ours"
ANCHORS = ("std", "boost", "fftw", "lapack", "openblas")


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def run_program(path, args):
    cmd = [
        path,
        "--benchmark_format=json",
        "--benchmark_repetitions=%d" % args.repetitions,
        "--benchmark_report_aggregates_only=true",
        "--benchmark_min_time=%s" % args.min_time,
    ]
    if args.filter:
        cmd.append("--benchmark_filter=%s" % args.filter)
    print("running %s" % os.path.basename(path), file=sys.stderr)
    done = subprocess.run(cmd, stdout=subprocess.PIPE, check=False)
    if done.returncode != 0:
        print("%s exited with status %d" % (path, done.returncode), file=sys.stderr)
    try:
        return json.loads(done.stdout.decode("utf-8"))
    except ValueError:
        print("%s printed no JSON" % path, file=sys.stderr)
        return None


def medians(report, time_key):
    """(run_name, seconds) of each benchmark's median (or its single run)."""
    runs = {}
    for b in report.get("benchmarks", []):
        if b.get("error_occurred"):
            continue
        name = b.get("run_name", b["name"])
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") != "median":
                continue
        elif name in runs:
            continue  # repetitions without aggregates: keep the first
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
        runs[name] = b[time_key] * scale
    return runs


def split_name(run_name):
    """routine, impl, args of "routine/impl/args..."; None when not named that way."""
    parts = run_name.split("/")
    if len(parts) < 2 or parts[1] not in (OURS,) + ANCHORS:
        return None
    # Drop decorations Google Benchmark appends (min_time:..., repeats:..., real_time).
    args = [p for p in parts[2:] if ":" not in p and not p.endswith("_time")]
    return parts[0], parts[1], "/".join(args)


def human(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return "%.3g %s" % (seconds / scale, unit)
    return "%.3g ns" % (seconds / 1e-9)


def table(groups, order):
    lines = [
        "| routine | size | ours | anchor | ratio ours÷anchor |",
        "|---|---|---:|---:|---:|",
    ]
    for key in order:
        routine, args = key
        impls = groups[key]
        if OURS not in impls:
            continue
        for anchor in ANCHORS:
            if anchor in impls:
                lines.append(
                    "| %s | %s | %s | %s (%s) | %.2f |"
                    % (
                        routine,
                        args or "–",
                        human(impls[OURS]),
                        human(impls[anchor]),
                        anchor,
                        impls[OURS] / impls[anchor],
                    )
                )
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build", help="CMake build directory")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--min-time", default="0.2", help="seconds per repetition")
    parser.add_argument("--filter", help="regular expression passed to every program")
    parser.add_argument("--wall-time", action="store_true", help="wall time instead of CPU time")
    parser.add_argument("--save-json", metavar="DIR", help="keep each program's JSON report")
    parser.add_argument("--from-json", nargs="+", metavar="FILE", help="tabulate saved reports")
    args = parser.parse_args()

    reports = []
    if args.from_json:
        for path in args.from_json:
            with open(path, encoding="utf-8") as f:
                reports.append((path, json.load(f)))
    else:
        programs = sorted(
            p
            for p in glob.glob(os.path.join(args.build, "bench", "bench_*"))
            if os.access(p, os.X_OK) and os.path.isfile(p)
        )
        if not programs:
            sys.exit("no benchmark programs under %s/bench (build them first)" % args.build)
        for path in programs:
            report = run_program(path, args)
            if report is None:
                continue
            reports.append((path, report))
            if args.save_json:
                os.makedirs(args.save_json, exist_ok=True)
                out = os.path.join(args.save_json, os.path.basename(path) + ".json")
                with open(out, "w", encoding="utf-8") as f:
                    json.dump(report, f, indent=1)

    time_key = "real_time" if args.wall_time else "cpu_time"
    groups, order = {}, []
    repetitions = set()
    for _, report in reports:
        for name, seconds in medians(report, time_key).items():
            parsed = split_name(name)
            if parsed is None:
                continue
            routine, impl, bench_args = parsed
            key = (routine, bench_args)
            if key not in groups:
                groups[key] = {}
                order.append(key)
            groups[key][impl] = seconds
        for b in report.get("benchmarks", []):
            if "repetitions" in b:
                repetitions.add(b["repetitions"])

    context = reports[0][1].get("context", {}) if reports else {}
    print(
        "CPU: %s (%s logical CPUs at %s MHz); medians of %s repetitions, %s."
        % (
            cpu_model(),
            context.get("num_cpus", "?"),
            context.get("mhz_per_cpu", "?"),
            "/".join(str(r) for r in sorted(repetitions)) or "1",
            "wall time" if args.wall_time else "CPU time",
        )
    )
    print()
    print(table(groups, order))


if __name__ == "__main__":
    main()
