#!/usr/bin/env python3
"""Medians and ranges over several outputs of install_benchmark.exe (one file per run):
    summarize_installs.py RUN1.txt RUN2.txt ...
Prints start-up and memory, then per payload file the install time, the unavoidable work measured beside
it (touch + hash + write) and their ratio, each as median [min - max]."""
import re
import statistics
import sys


def parse(path):
    run = {"files": {}}
    for line in open(path, encoding="utf-8", errors="replace"):
        if m := re.match(r"license dialog shown ([0-9.]+) s", line):
            run["startup"] = float(m[1])
        elif m := re.match(r"memory at the (license dialog|success message): (-?\d+) kB anonymous, (-?\d+) kB file-backed", line):
            run[m[1]] = (int(m[2]), int(m[3]))
        elif m := re.match(r"install: ([0-9.]+) s from Install", line):
            run["install"] = float(m[1])
        elif m := re.match(r"(bin/\S+)\s+(\d+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)", line):
            run["files"][m[1]] = {"bytes": int(m[2]), "install": float(m[3]), "touch": float(m[4]),
                                  "hash": float(m[5]), "write": float(m[6]), "sum": float(m[7]), "ratio": float(m[8])}
    return run


def spread(values, fmt):
    return f"{fmt % statistics.median(values)} [{fmt % min(values)}-{fmt % max(values)}]"


def main(paths):
    runs = [parse(p) for p in paths]
    print(f"{len(runs)} runs; median [min-max]")
    print(f"start-up to the license dialog: {spread([r['startup'] * 1000 for r in runs], '%.0f')} ms")
    for moment in ("license dialog", "success message"):
        anon = [r[moment][0] / 1024 for r in runs]
        file = [r[moment][1] / 1024 for r in runs]
        print(f"at the {moment}: anonymous {spread(anon, '%.1f')} MB, file-backed {spread(file, '%.1f')} MB")
    print(f"Install to the success message: {spread([r['install'] for r in runs], '%.2f')} s")
    print()
    print(f"{'file':<16} {'bytes':>10}  {'install s':>19}  {'touch+hash+write s':>19}  {'ratio':>16}")
    for key in runs[0]["files"]:
        rows = [r["files"][key] for r in runs]
        print(f"{key:<16} {rows[0]['bytes']:>10}  {spread([x['install'] for x in rows], '%.3f'):>19}  "
              f"{spread([x['sum'] for x in rows], '%.3f'):>19}  {spread([x['ratio'] for x in rows], '%.2f'):>16}")
    parts = {part: statistics.median(x["files"][k][part] for x in runs for k in x["files"])
             for part in ("touch", "hash", "write", "install")}
    print(f"median over all files and runs: install {parts['install']:.3f} s; touch {parts['touch']:.3f}, "
          f"hash {parts['hash']:.3f}, write {parts['write']:.3f} s")


if __name__ == "__main__":
    main(sys.argv[1:])
