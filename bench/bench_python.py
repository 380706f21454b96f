#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The spectra case through the Python module, beside the core and the numpy peer, in one run.

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [build/bench/bench_analysis]

The case is bench_analysis's BM_Spectra: NGA-West2 RSN8883 (16396 samples, 0.005 s), the default
301-point grid, dampings 0.02, 0.05 and 0.1, all five quantities, refined peaks, on one and on
two threads. "python" is wall time per accelspec.spectra call, conversions included; "core" is
bench_analysis's own figure for computeSpectra (run when its path is given); "numpy" is the
vectorised numpy peer (bench/peer_numpy.py) on the same record. Rounds alternate the three, and
the least time of each is reported, so that other work on the machine weighs on all alike.
Prints one line per figure and the ratio python/core, which should lie within 1.10.
"""
import json
import os
import subprocess
import sys
import time

import numpy as np

import accelspec

HERE = os.path.dirname(os.path.abspath(__file__))
RECORD = os.path.join(HERE, "..", "tests", "analysis", "data", "RSN8883_14383980_13849090.AT2")
ROUNDS = 3
CALLS = 5


def python_seconds(rec, threads):
    best = float("inf")
    for _ in range(CALLS):
        start = time.perf_counter()
        accelspec.spectra(rec.acc, rec.dt, dampings=(0.02, 0.05, 0.1),
                          quantities=accelspec.QUANTITIES, threads=threads)
        best = min(best, time.perf_counter() - start)
    return best


def core_seconds(program):
    out = subprocess.run([program, "--benchmark_filter=BM_Spectra/", "--benchmark_format=json",
                          "--benchmark_repetitions=%d" % CALLS], check=True,
                         capture_output=True, text=True).stdout
    best = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        threads = int(b["run_name"].split("/")[1])
        seconds = b["real_time"] / 1000.0  # milliseconds
        best[threads] = min(best.get(threads, float("inf")), seconds)
    return best


def numpy_seconds(rec):
    sys.path.insert(0, HERE)
    import peer_numpy
    acc = np.array(rec.acc)
    start = time.perf_counter()
    peer_numpy.spectra(acc, rec.dt, 100)
    return time.perf_counter() - start


def main():
    core = sys.argv[1] if len(sys.argv) > 1 else None
    rec = accelspec.read_record(RECORD)
    best = {}

    def keep(name, seconds):
        best[name] = min(best.get(name, float("inf")), seconds)

    for _ in range(ROUNDS):
        for threads in (1, 2):
            keep(f"python/{threads}", python_seconds(rec, threads))
        if core:
            for threads, seconds in core_seconds(core).items():
                keep(f"core/{threads}", seconds)
    keep("numpy", numpy_seconds(rec))

    for name, seconds in sorted(best.items()):
        print(f"{name:10s} {1000 * seconds:9.1f} ms")
    for threads in (1, 2):
        if f"core/{threads}" in best:
            print(f"python/core on {threads} thread(s): "
                  f"{best[f'python/{threads}'] / best[f'core/{threads}']:.3f}")
    print(f"numpy/python on 1 thread: {best['numpy'] / best['python/1']:.1f}")


if __name__ == "__main__":
    main()
