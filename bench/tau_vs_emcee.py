#!/usr/bin/python3
"""The program's tau (chainstat.dat, from the thinned chain) against emcee's
autocorr.integrated_time (c = 5) on the chain file of every step (MMchain.dat,
gparmode 2) after the same burn-in.

  bench/tau_vs_emcee.py FOLDER [BURN]     # FOLDER holds chainstat.dat and MMchain.dat of one run

Prints per row: parameter, tau of the program, tau of emcee, their ratio.
"""
import sys

import emcee
import numpy as np

folder = sys.argv[1]
burn = float(sys.argv[2]) if len(sys.argv) > 2 else 0.2
chain = np.loadtxt(folder + "/MMchain.dat")
start = int(np.floor(burn * len(chain)))
worst = 0.0
for line in open(folder + "/chainstat.dat"):
    if line.startswith("#"):
        continue
    words = line.split()
    i, name, tau = int(words[0]), words[1], float(words[9])
    column = 1 if i == 0 else 1 + i
    ref = emcee.autocorr.integrated_time(chain[start:, column], c=5, quiet=True)[0]
    worst = max(worst, abs(tau / ref - 1))
    print(f"{i:3d} {name:10s} {tau:12.2f} {ref:12.2f} {tau / ref:8.4f}")
print(f"largest relative difference {100 * worst:.2f} %")
