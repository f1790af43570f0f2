#!/usr/bin/env python3
"""Sets each benchmark figure against its baseline and its goal.

Reads the JSON that Google Benchmark writes (--benchmark_out=FILE
--benchmark_out_format=json), one or more files, and prints one line per
figure: the figure, its baseline from the same run, their ratio, the goal and
whether it is met. With repetitions, timed figures use the fastest repetition
(other work on the machine only adds time) and counters the median one.

Usage: report.py [--markdown] RESULTS.json [MORE.json ...]
Exit status: 0 when every figure was found (goals met or not), 1 otherwise.
"""

import json
import re
import sys

# "Linear": the time per unit may grow by less than this factor over the size
# range (caches and fresh pages from the kernel cost more per unit on large
# text); a quadratic rule grows in proportion to the size.
LINEAR = 2.0

# How a figure is compared with its baseline.
#   faster:   baseline time per unit / figure time per unit  (higher is better)
#   slower:   figure time per unit / baseline time per unit  (lower is better)
#   slower_cpu: the same with the CPU time of all the process's threads
#   added_us: figure time minus baseline time, in microseconds (lower is better)
#   absolute: the figure's own rate, against a fixed floor
#   counter:  a counter of the figure (no baseline)
FIGURES = [
    # section, label, figure, baseline, kind, goal operator, goal value
    ("UTF-8 decode", "ASCII", "utf8_decode/engine/ascii", "utf8_decode/iconv/ascii",
     "faster", ">=", 5.0),
    ("UTF-8 decode", "Latin", "utf8_decode/engine/latin", "utf8_decode/iconv/latin",
     "faster", ">=", 5.0),
    ("UTF-8 decode", "Arabic", "utf8_decode/engine/arabic", "utf8_decode/iconv/arabic",
     "faster", ">=", 2.0),
    ("UTF-8 decode", "Chinese", "utf8_decode/engine/chinese", "utf8_decode/iconv/chinese",
     "faster", ">=", 2.0),
    ("UTF-8 encode", "ASCII", "utf8_encode/engine/ascii", "utf8_encode/iconv/ascii",
     "faster", ">=", 5.0),
    ("UTF-8 encode", "Latin", "utf8_encode/engine/latin", "utf8_encode/iconv/latin",
     "faster", ">=", 5.0),
    ("UTF-8 encode", "Arabic", "utf8_encode/engine/arabic", "utf8_encode/iconv/arabic",
     "faster", ">=", 2.0),
    ("UTF-8 encode", "Chinese", "utf8_encode/engine/chinese", "utf8_encode/iconv/chinese",
     "faster", ">=", 2.0),
    ("UTF-8 encode", "ASCII, encoder alone", "utf8_encode/codec/ascii", "utf8_encode/iconv/ascii",
     "faster", None, None),
    ("UTF-8 encode", "Latin, encoder alone", "utf8_encode/codec/latin", "utf8_encode/iconv/latin",
     "faster", None, None),
    ("UTF-8 encode", "Arabic, encoder alone", "utf8_encode/codec/arabic",
     "utf8_encode/iconv/arabic", "faster", None, None),
    ("UTF-8 encode", "Chinese, encoder alone", "utf8_encode/codec/chinese",
     "utf8_encode/iconv/chinese", "faster", None, None),
    ("XML escape", "plain text, vs copy", "xml_escape/engine/plain", "xml_escape/memcpy/plain",
     "faster", ">=", 0.8),
    ("XML escape", "6% replaced, vs copy", "xml_escape/engine/mixed", "xml_escape/memcpy/mixed",
     "faster", None, None),
    ("XML escape", "6% replaced, GB/s", "xml_escape/engine/mixed", None,
     "absolute", ">=", 1.5e9),
    ("RemoveAll", "256 Ki units, vs naive rule", "remove_all/engine/256Ki",
     "remove_all/naive/256Ki", "faster", ">=", 100.0),
    ("RemoveAll", "16 Mi units, per unit vs 256 Ki", "remove_all/engine/16Mi",
     "remove_all/engine/256Ki", "slower", "<=", LINEAR),
    ("Per chunk", "Translate job, vs bare client", "per_chunk/engine/job_1000_chunks",
     "per_chunk/bare_client/job_1000_chunks", "slower", "<=", 1.10),
    ("Per chunk", "Translate job, CPU of all threads", "per_chunk/engine/job_1000_chunks",
     "per_chunk/bare_client/job_1000_chunks", "slower_cpu", None, None),
    ("Per chunk", "TranslateText call, vs bare client",
     "per_chunk/engine/translate_text_200_calls", "per_chunk/bare_client/job_1000_chunks",
     "slower", None, None),
] + [
    # Under Wine: the server out of process, the 32-bit one driven from a
    # host of either width and the 64-bit one from a 64-bit host; the bare
    # client runs in the host process. No goal is set there.
    row
    for host, group in (("wine32", "Per chunk, Wine 32-bit host"),
                        ("wine64", "Per chunk, Wine 64-bit host"),
                        ("wine64_x64", "Per chunk, Wine 64-bit host, 64-bit server"))
    for row in (
        (group, "Translate job, vs bare client",
         f"{host}/per_chunk/server/job_1000_chunks",
         f"{host}/per_chunk/bare_client/job_1000_chunks", "slower", None, None),
        (group, "Translate job, CPU of host and server",
         f"{host}/per_chunk/server/job_1000_chunks",
         f"{host}/per_chunk/bare_client/job_1000_chunks", "slower_cpu", None, None),
        (group, "TranslateText call, vs bare client",
         f"{host}/per_chunk/server/translate_text_200_calls",
         f"{host}/per_chunk/bare_client/job_1000_chunks", "slower", None, None),
        # Where the job's time goes: the engine's HTTP exchanges alone, the
        # engine in the host process (same code, same HTTP client, no process
        # boundary), and a call the server answers without doing anything
        # (the boundary alone).
        (group, "HTTP client alone, vs bare client",
         f"{host}/per_chunk/http_client/job_1000_chunks",
         f"{host}/per_chunk/bare_client/job_1000_chunks", "slower", None, None),
        (group, "Translate job in process, vs bare client",
         f"{host}/per_chunk/in_process/job_1000_chunks",
         f"{host}/per_chunk/bare_client/job_1000_chunks", "slower", None, None),
        (group, "Translate job, vs job in process",
         f"{host}/per_chunk/server/job_1000_chunks",
         f"{host}/per_chunk/in_process/job_1000_chunks", "slower", None, None),
        (group, "Empty call to the server",
         f"{host}/per_chunk/server/empty_call_1000_calls", None, "absolute", None, None),
    )
] + [
    # The bridge: every request on a new connection, as the engine sends them.
    ("Bridge", "before a fast upstream, vs direct", "bridge/bridge/instant_upstream",
     "bridge/direct/instant_upstream", "slower", None, None),
    ("Bridge", "before a fast upstream, added us", "bridge/bridge/instant_upstream",
     "bridge/direct/instant_upstream", "added_us", "<=", 150.0),
    ("Bridge", "before an upstream closing each connection, added us",
     "bridge/bridge/closing_upstream", "bridge/direct/closing_upstream", "added_us", None, None),
    ("Bridge", "cache hit, vs upstream call", "bridge/bridge/cache_hit",
     "bridge/bridge/instant_upstream", "faster", None, None),
    ("Bridge", "before Apertium APy, vs direct (in turn)", "bridge/apertium/alternating", None,
     "counter:bridge_vs_direct", "<=", 1.10),
] + [
    ("Scaling", "1 Ki units, per unit vs 1 Mi", "scaling/engine/translate_text_1Ki",
     "scaling/engine/translate_text_1Mi", "slower", None, None),
    ("Scaling", "16 Mi units, per unit vs 1 Mi", "scaling/engine/translate_text_16Mi",
     "scaling/engine/translate_text_1Mi", "slower", "<=", LINEAR),
    ("Scaling", "64 Mi units, per unit vs 1 Mi", "scaling/engine/translate_text_64Mi",
     "scaling/engine/translate_text_1Mi", "slower", "<=", LINEAR),
    ("Scaling", "64 Mi units, per unit vs 16 Mi", "scaling/engine/translate_text_64Mi",
     "scaling/engine/translate_text_16Mi", "slower", "<=", LINEAR),
    ("Peak memory", "1 Ki units, x text", "peak_memory/engine/translate_text_1Ki", None,
     "counter:peak_ratio", "<", 6.0),
    ("Peak memory", "1 Mi units, x text", "peak_memory/engine/translate_text_1Mi", None,
     "counter:peak_ratio", "<", 6.0),
    ("Peak memory", "16 Mi units, x text", "peak_memory/engine/translate_text_16Mi", None,
     "counter:peak_ratio", "<", 6.0),
    ("Peak memory", "64 Mi units, x text", "peak_memory/engine/translate_text_64Mi", None,
     "counter:peak_ratio", "<", 6.0),
]

# Figures of a run that may be left out: when none of the names under one of
# these prefixes was measured (Wine absent, --no-wine, no 64-bit compiler, no
# 32-bit programs on the machine),
# their rows are not shown rather than reported missing.
OPTIONAL_PREFIXES = ("wine32/", "wine64/", "wine64_x64/")

TIME_SCALE = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def base_name(name):
    """The registered name, without the suffixes Google Benchmark appends."""
    name = re.sub(r"_(mean|median|stddev|cv)$", "", name)
    return re.sub(r"(/iterations:\d+|/repeats:\d+|/process_time|/real_time|/manual_time)+$", "",
                  name)


def load(paths):
    """Registered name -> every repetition of it (aggregates are left out)."""
    runs = {}
    for path in paths:
        with open(path, encoding="utf-8") as handle:
            text = handle.read()
        if not text.strip():
            continue  # a program whose benchmarks were all filtered out
        data = json.loads(text)
        for run in data.get("benchmarks", []):
            if run.get("run_type") == "aggregate":
                continue
            name = base_name(run.get("run_name", run["name"]))
            if run.get("error_occurred"):
                run = {"error": run.get("error_message", "")}
            runs.setdefault(name, []).append(run)
    return runs


def pick(repetitions, kind):
    """The repetition that stands for a figure. Other work on the machine only
    ever adds time, so timed figures take the fastest repetition; counters
    take the median."""
    if not repetitions:
        return None
    for run in repetitions:
        if "error" in run:
            return run
    if kind.startswith("counter:"):
        counter = kind.split(":", 1)[1]
        ordered = sorted(repetitions, key=lambda run: run.get(counter, 0.0))
        return ordered[(len(ordered) - 1) // 2]
    if kind == "slower_cpu":
        return min(repetitions, key=cpu_seconds_per_unit)
    return min(repetitions, key=seconds_per_unit)


def seconds_per_unit(run):
    """Time for one byte or one item of the run's work."""
    if "bytes_per_second" in run:
        return 1.0 / run["bytes_per_second"]
    if "items_per_second" in run:
        return 1.0 / run["items_per_second"]
    return run["real_time"] * TIME_SCALE[run.get("time_unit", "ns")]


def cpu_seconds_per_unit(run):
    """CPU time (of every thread, where measured so) for one item of the run."""
    items = run["items_per_second"] * run["real_time"] * TIME_SCALE[run.get("time_unit", "ns")]
    return run["cpu_time"] * TIME_SCALE[run.get("time_unit", "ns")] / items


def duration(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def describe_cpu(run):
    return duration(cpu_seconds_per_unit(run)) + "/item CPU"


def describe(run):
    """The run's figure as a person reads it."""
    if "bytes_per_second" in run:
        rate = run["bytes_per_second"]
        return f"{rate / 1e9:.2f} GB/s" if rate >= 1e9 else f"{rate / 1e6:.0f} MB/s"
    if "items_per_second" in run:
        return duration(1.0 / run["items_per_second"]) + "/item"
    return f"{run['real_time']:.3g} {run.get('time_unit', 'ns')}"


def goal_met(value, operator, goal):
    return {">=": value >= goal, "<=": value <= goal, "<": value < goal, ">": value > goal}[operator]


def evaluate(runs):
    """One row per figure: section, label, value, baseline, ratio, goal, verdict."""
    rows = []
    complete = True
    absent = [prefix for prefix in OPTIONAL_PREFIXES
              if not any(name.startswith(prefix) for name in runs)]
    for section, label, figure, baseline, kind, operator, goal in FIGURES:
        if any(figure.startswith(prefix) for prefix in absent):
            continue
        run = pick(runs.get(figure, []), kind)
        base = pick(runs.get(baseline, []), kind) if baseline else None
        row = {"section": section, "label": label, "value": "-", "baseline": "-",
               "ratio": "-", "goal": "-", "verdict": "-"}
        if operator:
            shown = f"{goal / 1e9:g} GB/s" if kind == "absolute" else f"{goal:g}"
            row["goal"] = f"{operator} {shown}"
        if run is None or (baseline and base is None):
            row["verdict"] = "missing"
            complete = False
            rows.append(row)
            continue
        if "error" in run or (base is not None and "error" in base):
            row["verdict"] = "error: " + (run.get("error") or base.get("error"))
            complete = False
            rows.append(row)
            continue
        if kind.startswith("counter:"):
            counter = kind.split(":", 1)[1]
            value = run.get(counter)
            if value is None:
                row["verdict"] = "missing"
                complete = False
                rows.append(row)
                continue
            row["value"] = f"{value:.2f} x"
            if "peak_delta_bytes" in run:
                peak = run["peak_delta_bytes"]
                row["baseline"] = (f"{peak / 2**20:.1f} MiB peak" if peak >= 2**20
                                   else f"{peak / 2**10:.0f} KiB peak")
            measured = value
        elif kind == "absolute":
            row["value"] = describe(run)
            measured = 1.0 / seconds_per_unit(run)
        elif kind == "slower_cpu":
            row["value"] = describe_cpu(run)
            row["baseline"] = describe_cpu(base)
            measured = cpu_seconds_per_unit(run) / cpu_seconds_per_unit(base)
            row["ratio"] = f"{measured:.2f}"
        else:
            row["value"] = describe(run)
            row["baseline"] = describe(base)
            if kind == "faster":
                measured = seconds_per_unit(base) / seconds_per_unit(run)
            elif kind == "added_us":
                measured = (seconds_per_unit(run) - seconds_per_unit(base)) / 1e-6
            else:
                measured = seconds_per_unit(run) / seconds_per_unit(base)
            row["ratio"] = f"{measured:.2f}" if kind != "added_us" else f"+{measured:.0f} us"
        if operator:
            row["verdict"] = "met" if goal_met(measured, operator, goal) else "MISSED"
        rows.append(row)
    return rows, complete


COLUMNS = [("section", "Area"), ("label", "Figure"), ("value", "Value"),
           ("baseline", "Baseline"), ("ratio", "Ratio"), ("goal", "Goal"), ("verdict", "")]


def print_text(rows):
    widths = {key: max(len(title), *(len(row[key]) for row in rows)) for key, title in COLUMNS}
    print("  ".join(title.ljust(widths[key]) for key, title in COLUMNS).rstrip())
    for row in rows:
        print("  ".join(row[key].ljust(widths[key]) for key, _ in COLUMNS).rstrip())


def print_markdown(rows):
    print("| " + " | ".join(title or "Met" for _, title in COLUMNS) + " |")
    print("|" + "---|" * len(COLUMNS))
    for row in rows:
        print("| " + " | ".join(row[key] for key, _ in COLUMNS) + " |")


def main(argv):
    markdown = "--markdown" in argv
    paths = [arg for arg in argv if arg != "--markdown"]
    if not paths:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    rows, complete = evaluate(load(paths))
    (print_markdown if markdown else print_text)(rows)
    return 0 if complete else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
