#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""A vectorised numpy float64 peer of `accelspec-cli spectra` with refined peaks.

    peer_numpy.py RECORD.txt DT OUT.csv [GRID_N_PER_DECADE]

RECORD.txt holds one acceleration (m/s²) a line. The grid is log:0.1:100:N (default 100), the
dampings 0.02, 0.05 and 0.1. Each oscillator is stepped from sample to sample with the exact
piecewise-linear step, vectorised over all oscillators; the points between samples (m =
max(1, ceil(20·dt·f − 1e-9)) sub-steps) are evaluated from the state at the sample before them,
vectorised over blocks of samples. OUT.csv gets one row per oscillator (damping-major, ascending
frequency): frequency, damping, sd, sv, sa. Prints the seconds the computation took (reading and
writing excluded).
"""
import sys
import time

import numpy as np

DAMPINGS = (0.02, 0.05, 0.1)
BLOCK = 1024


def coefficients(w, zeta, tau, share):
    """The step of length tau; the excitation's increment over it is share·Δa."""
    psiw = zeta * w
    wd = np.sqrt(w * w - psiw * psiw)
    decay = np.exp(-psiw * tau)
    es = np.sin(wd * tau) * decay
    ec = np.cos(wd * tau) * decay
    q = es * psiw / wd
    a11 = q + ec
    a12 = es / wd
    b11 = ((tau * w * w - 2 * psiw) + (psiw * psiw - wd * wd) * es / wd + 2 * psiw * ec) / tau / w**4
    b12 = ((1 - q) - ec) / w / w
    a21 = -a12 * w * w
    a22 = ec - q
    b21 = b12 / tau
    return a11, a12, b11 * share, b12, a21, a22, b21 * share, a12


def spectra(acc, dt, per_decade):
    k = np.arange(0, 3 * per_decade + 1)
    freqs = 0.1 * 10.0 ** (k / per_decade)
    f = np.tile(freqs, len(DAMPINGS))
    zeta = np.repeat(DAMPINGS, len(freqs))
    w = 2 * np.pi * f
    m = np.maximum(1, np.ceil(20 * dt * f - 1e-9)).astype(int)
    a11, a12, b11, b12, a21, a22, b21, b22 = coefficients(w, zeta, dt, 1.0)
    w2, tzw = w * w, 2 * zeta * w

    n = len(acc)
    a0 = acc[:-1]
    d = acc[1:] - acc[:-1]
    pu = np.zeros_like(w)
    pv = np.zeros_like(w)
    pa = np.zeros_like(w)
    u = np.zeros_like(w)
    v = np.zeros_like(w)
    groups = []
    for mm in np.unique(m):
        if mm < 2:
            continue
        cols = np.nonzero(m == mm)[0]
        steps = [coefficients(w[cols], zeta[cols], dt * j / mm, j / mm) for j in range(1, mm)]
        groups.append((cols, steps))

    us = np.empty((BLOCK + 1, len(w)))
    vs = np.empty((BLOCK + 1, len(w)))
    t1 = np.empty_like(w)
    for start in range(0, n - 1, BLOCK):
        stop = min(start + BLOCK, n - 1)
        us[0] = u
        vs[0] = v
        for row, i in enumerate(range(start, stop), 1):
            # The sample-to-sample recurrence: the sequential part, over all oscillators at once.
            np.multiply(u, a11, out=t1)
            t1 += v * a12
            t1 -= d[i] * b11
            t1 -= a0[i] * b12
            v = v * a22 + u * a21 - d[i] * b21 - a0[i] * b22
            u = t1.copy()
            us[row] = u
            vs[row] = v
        rows = stop - start
        bu, bv = us[1 : rows + 1], vs[1 : rows + 1]
        np.maximum(pu, np.abs(bu).max(axis=0), out=pu)
        np.maximum(pv, np.abs(bv).max(axis=0), out=pv)
        np.maximum(pa, np.abs(tzw * bv + w2 * bu).max(axis=0), out=pa)
        # The points between the samples, from the state at the start of each step.
        su, sv = us[:rows], vs[:rows]
        da = d[start:stop, None]
        aa = a0[start:stop, None]
        for cols, steps in groups:
            gu, gv = su[:, cols], sv[:, cols]
            for c11, c12, c13, c14, c21, c22, c23, c24 in steps:
                pu_ = gu * c11 + gv * c12 - da * c13 - aa * c14
                pv_ = gu * c21 + gv * c22 - da * c23 - aa * c24
                pu[cols] = np.maximum(pu[cols], np.abs(pu_).max(axis=0))
                pv[cols] = np.maximum(pv[cols], np.abs(pv_).max(axis=0))
                pa[cols] = np.maximum(
                    pa[cols], np.abs(tzw[cols] * pv_ + w2[cols] * pu_).max(axis=0))
    return f, zeta, pu, pv, pa


def main():
    acc = np.loadtxt(sys.argv[1], dtype=np.float64)
    dt = float(sys.argv[2])
    per_decade = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    begin = time.perf_counter()
    f, zeta, sd, sv, sa = spectra(acc, dt, per_decade)
    seconds = time.perf_counter() - begin
    np.savetxt(sys.argv[3], np.column_stack([f, zeta, sd, sv, sa]), delimiter=",", fmt="%.17g")
    print(f"{seconds:.6f}")


if __name__ == "__main__":
    main()
