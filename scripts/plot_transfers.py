#!/usr/bin/python3
"""Plots transfer time against image size, with the wire bound beside it.

Reads the JSON that the transfer benchmark writes
    build/bench/session_transfer_bench --benchmark_out=docs/transfers.json \
        --benchmark_out_format=json
and writes an SVG with one panel per direction: the wall time of each pace (byte by byte, and
16 ms bursts) and the wire bound, against the size of the image in KiB. It also prints the
figures as a Markdown table, as docs/performance.md shows them.

Usage: /usr/bin/python3 scripts/plot_transfers.py [IN.json [OUT.svg]]
(defaults docs/transfers.json and docs/transfers.svg; needs Debian's python3-matplotlib).
"""
import json
import re
import sys

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402

RECORD_KIB = 1
NAME = re.compile(r"BM_(Download|Upload)/records:(\d+)/burst_ms:(\d+)")


def load(path):
    """[(direction, burst_ms, KiB, counters)] from a benchmark JSON file, in file order."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for b in json.load(f)["benchmarks"]:
            m = NAME.match(b["name"])
            if m and "wall_s" in b:
                rows.append((m.group(1), int(m.group(3)), int(m.group(2)) * RECORD_KIB, b))
    return rows


def by_pace(rows):
    """{direction: {burst_ms: [(KiB, wall_s, bound_s), ...]}}, sizes ascending."""
    runs = {}
    for direction, burst, kib, b in rows:
        point = (kib, b["wall_s"], b["wire_bound_s"])
        runs.setdefault(direction, {}).setdefault(burst, []).append(point)
    for paces in runs.values():
        for points in paces.values():
            points.sort()
    return runs


def table(rows):
    """The figures as Markdown (a dash where the run's JSON lacks a counter)."""

    def cell(b, key, fmt):
        return format(b[key], fmt) if key in b else "–"

    lines = [
        "| transfer | KiB | pace | wire bytes | wire bound s | wall s | wall / bound "
        "| wall / (bound + ½ tick per frame in) | CPU s | CPU % of wall | CPU µs / KiB "
        "| system calls / KiB | frames in | beyond bound, ms / frame in | load (1 min) |",
        "|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for direction, burst, kib, b in rows:
        pace = "byte by byte" if burst == 0 else f"{burst} ms bursts"
        lines.append(
            f"| {direction.lower()} | {kib} | {pace} | {b['wire_bytes']:.0f} "
            f"| {b['wire_bound_s']:.1f} | {b['wall_s']:.1f} | {b['wall_per_bound']:.3f} "
            f"| {cell(b, 'wall_per_tick_bound', '.3f') if burst else '–'} "
            f"| {b['cpu_s']:.3f} | {b['cpu_pct']:.2f} | {b['cpu_us_per_KiB']:.0f} "
            f"| {cell(b, 'syscalls_per_KiB', '.0f')} "
            f"| {b['frames_in']:.0f} | {b['excess_ms_per_frame_in']:.1f} "
            f"| {cell(b, 'load_1min', '.1f')} |"
        )
    return "\n".join(lines)


def plot(runs, out):
    plt.rcParams["svg.hashsalt"] = "kvtlnk"  # the same data gives the same file
    plt.rcParams["svg.fonttype"] = "none"
    directions = [d for d in ("Download", "Upload") if d in runs]
    fig, axes = plt.subplots(1, len(directions), figsize=(5 * len(directions), 4), squeeze=False)
    for ax, direction in zip(axes[0], directions):
        paces = runs[direction]
        # The bound is the same for both paces (the same bytes cross); drawn wide, beneath.
        first = paces[min(paces)]
        ax.plot([p[0] for p in first], [p[2] for p in first], "--", color="0.6", linewidth=4,
                label="wire bound", zorder=1)
        for burst, marker in zip(sorted(paces), "os^v"):
            kib = [p[0] for p in paces[burst]]
            label = "byte by byte" if burst == 0 else f"{burst} ms bursts"
            ax.plot(kib, [p[1] for p in paces[burst]], marker=marker, label=label, zorder=2)
        ax.set_title(f"{direction}, 9600 baud")
        ax.set_xlabel("image size (KiB of records)")
        ax.set_ylabel("time (s)")
        ax.set_xticks(sorted({p[0] for points in paces.values() for p in points}))
        ax.set_xlim(left=0)
        ax.set_ylim(bottom=0)
        ax.grid(True, alpha=0.3)
        ax.legend()
    fig.tight_layout()
    fig.savefig(out, metadata={"Date": None})


def main(argv):
    source = argv[1] if len(argv) > 1 else "docs/transfers.json"
    out = argv[2] if len(argv) > 2 else "docs/transfers.svg"
    rows = load(source)
    if not rows:
        sys.exit(f"{source}: no transfer runs")
    plot(by_pace(rows), out)
    print(table(rows))


if __name__ == "__main__":
    main(sys.argv)
