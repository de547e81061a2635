#!/usr/bin/python3
"""Plots transfer time against image size, with the wire bound beside it.

Reads the JSON that the transfer benchmark writes
    build/bench/session_transfer_bench --benchmark_out=docs/transfers.json \
        --benchmark_out_format=json
and writes an SVG with one panel per direction: the wall time of each pace (byte by byte, and
16 ms bursts) and the wire bound, against the size of the image in KiB.

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
    """{direction: {burst_ms: [(KiB, wall_s, bound_s), ...]}} from a benchmark JSON file."""
    runs = {}
    with open(path, encoding="utf-8") as f:
        for b in json.load(f)["benchmarks"]:
            m = NAME.match(b["name"])
            if not m or "wall_s" not in b:
                continue
            direction, records, burst = m.group(1), int(m.group(2)), int(m.group(3))
            point = (records * RECORD_KIB, b["wall_s"], b["wire_bound_s"])
            runs.setdefault(direction, {}).setdefault(burst, []).append(point)
    for paces in runs.values():
        for points in paces.values():
            points.sort()
    return runs


def plot(runs, out):
    plt.rcParams["svg.hashsalt"] = "kvtlnk"  # the same data gives the same file
    plt.rcParams["svg.fonttype"] = "none"
    directions = [d for d in ("Download", "Upload") if d in runs]
    fig, axes = plt.subplots(1, len(directions), figsize=(5 * len(directions), 4), squeeze=False)
    for ax, direction in zip(axes[0], directions):
        paces = runs[direction]
        bound_drawn = False
        for burst, marker in zip(sorted(paces), "os^v"):
            kib = [p[0] for p in paces[burst]]
            label = "byte by byte" if burst == 0 else f"{burst} ms bursts"
            ax.plot(kib, [p[1] for p in paces[burst]], marker=marker, label=label)
            if not bound_drawn:
                ax.plot(kib, [p[2] for p in paces[burst]], "k--", label="wire bound")
                bound_drawn = True
        ax.set_title(f"{direction}, 9600 baud")
        ax.set_xlabel("image size (KiB of records)")
        ax.set_ylabel("time (s)")
        ax.set_xscale("log", base=2)
        ax.set_yscale("log")
        ax.grid(True, which="both", alpha=0.3)
        ax.legend()
    fig.tight_layout()
    fig.savefig(out, metadata={"Date": None})


def main(argv):
    source = argv[1] if len(argv) > 1 else "docs/transfers.json"
    out = argv[2] if len(argv) > 2 else "docs/transfers.svg"
    runs = load(source)
    if not runs:
        sys.exit(f"{source}: no transfer runs")
    plot(runs, out)


if __name__ == "__main__":
    main(sys.argv)
