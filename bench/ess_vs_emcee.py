#!/usr/bin/python3
"""Effective samples per second: the program's adaptive chain (varpar 3) and its
ensemble (varpar 4) against emcee's affine-invariant ensemble on the same
likelihood.

For each reference problem (../shared/bench/<folder>) the script

  1. runs the program in a scratch copy of the problem with each mode asked
     for (--modes: varpar values, "v" for --vector, "@label" for another build
     given by --program label=path) and gparmode 2 (a chain record every step),
     and for reference the problem as shipped (one parameter per step, varpar 0);
  2. reads MMchain.dat, drops the burn-in (the first 20 % of the steps, at least
     the adaptation), and estimates every free parameter's integrated
     autocorrelation time tau as emcee does (emcee.autocorr.integrated_time:
     Sokal's automatic window with c = 5); for the ensemble, whose step t moves
     walker t mod L, on the walkers' own series (tau in sweeps of L steps, which
     is the steps per independent sample);
  3. runs emcee with max(24, 2d) walkers on the same log-likelihood,
     -chi^2/(2T) with the chi-square of the program (the mean over the data
     sets) and flat priors inside the parameter limits, and takes tau from its
     chain with get_autocorr_time (the same estimator on the walker-averaged
     autocorrelation function), after the same 20 % burn-in;
  4. prints ESS = (samples after burn-in) / max tau, the chain's length in
     units of tau (50 or more for a trustworthy tau), and ESS per second of CPU
     time (the machine is shared, so CPU time is the fairer clock; wall time
     is printed too) and the ratio program / emcee.

Usage: bench/ess_vs_emcee.py [B1 B2 B3 B4a B4b B5] [--cycles N] [--emcee-steps N] [--repeat N]
                             [--modes 3,3v,4] [--cycles-for PROBLEM:MODE=N ...]
Needs build/zorvik and, for B2-B5, build/chisq_server (make bench builds it).
"""
import argparse
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

import emcee
import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BENCH = os.path.join(ROOT, "..", "shared", "bench")
PROGRAM = os.environ.get("ZORVIK", os.path.join(ROOT, "build", "zorvik"))
SERVER = os.environ.get("ZORVIK_SERVER", os.path.join(ROOT, "build", "chisq_server"))
FOLDERS = {"B1": "B1_gauss3", "B2": "B2_qens", "B3": "B3_qens_rot", "B4a": "B4a_diel52", "B4b": "B4b_diel51",
           "B5": "B5_diel_T"}
BURN = 0.2
WALKERS = 24


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def self_cpu():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime


def read_problem(folder):
    """Temperature, npar, and per parameter (name, kind, value, move, lo, hi)."""
    lines = open(os.path.join(folder, "bench.par")).read().splitlines()
    find = lambda tag: next(i for i, l in enumerate(lines) if tag in l)
    temp = float(lines[find("!Temperature")].split()[0])
    npar = int(lines[find("!npar")].split()[0])
    a = find("!Acceptance factor")
    pars = []
    for i in range(npar):
        f = lines[a + 1 + i].split()
        pars.append((f[1], f[2], float(f[3]), float(f[4]), float(f[5]), float(f[6])))
    return temp, pars


def set_chain(parfile, varpar, gparmode, cycles):
    text = open(parfile).read()
    text = re.sub(r"^\s*\d+\s+\d+(\s+\S+\s+\S+\s+\S+\s*!varpar)", lambda m: f"   {varpar}    {gparmode}" + m.group(1),
                  text, count=1, flags=re.M)
    if cycles:
        text = re.sub(r"^\s*(\d+)\s+(\d+)(\s*!Ciclos)", lambda m: f"   {cycles}    {m.group(2)}" + m.group(3), text,
                      count=1, flags=re.M)
    open(parfile, "w").write(text)


def tau_of(samples):
    """samples: (steps, walkers, free) -> tau per free parameter, emcee's estimator."""
    return emcee.autocorr.integrated_time(samples, c=5, tol=0, quiet=True)


def walkers_of(varpar, free):
    """The program's ensemble (varpar 4) interleaves max(24, 2d + d mod 2) walkers."""
    d = len(free)
    return max(24, 2 * d + d % 2) if varpar == 4 else 1


def program_tau(chain, varpar, free):
    """Steps per independent sample of the program's chain after the burn-in.

    A single chain (varpar 0-3): emcee's estimator on the chain itself. The
    ensemble (varpar 4): step t moves walker t mod L, so the records split into
    L walkers' series; emcee's estimator on them gives tau in sweeps of L steps,
    and L walkers with tau sweeps give one independent sample per tau steps."""
    x = chain[:, [2 + i for i in free]]
    L = walkers_of(varpar, free)
    if L == 1:
        return tau_of(x[int(BURN * len(x)):, None, :]), len(x) - int(BURN * len(x))
    sweeps = (len(x) - (L - 1)) // L
    y = x[L - 1:L - 1 + sweeps * L].reshape(sweeps, L, len(free))[int(BURN * sweeps):]
    return tau_of(y), y.shape[0] * L


def run_program(folder, varpar, cycles, vector, repeat, program=PROGRAM):
    scratch = tempfile.mkdtemp(prefix="zorvik_ess_")
    try:
        for f in os.listdir(folder):
            if f.endswith((".par", ".dat")):
                shutil.copy(os.path.join(folder, f), scratch)
                os.chmod(os.path.join(scratch, f), 0o644)
        par = os.path.join(scratch, "bench.par")
        set_chain(par, varpar, 2, cycles)
        temp, pars = read_problem(scratch)
        free = [i for i, p in enumerate(pars) if p[3] != 0.0]
        args = [program] + (["--vector"] if vector else []) + ["bench.par"]
        # The same run `repeat` times from the same file (the program rewrites it
        # at every write interval), so the same chain each time: the median times.
        text = open(par).read()
        cpus, walls = [], []
        for _ in range(repeat):
            open(par, "w").write(text)
            c0, w0 = children_cpu(), time.perf_counter()
            subprocess.run(args, cwd=scratch, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL, check=True)
            cpus.append(children_cpu() - c0)
            walls.append(time.perf_counter() - w0)
        cpu, wall = float(np.median(cpus)), float(np.median(walls))
        chain = np.loadtxt(os.path.join(scratch, "MMchain.dat"), comments="#")
        tau, n = program_tau(chain, varpar, free)
        return dict(n=n, tau=tau, cpu=cpu, wall=wall, names=[pars[i][0] for i in free],
                    length=n / max(tau) / walkers_of(varpar, free) if varpar == 4 else n / max(tau))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


class NumpyGauss3:
    """Model 101 on B1: three Gaussians on a quadratic background, all walkers at once."""

    def __init__(self, folder, npar):
        lines = open(os.path.join(folder, "bench.par")).read().splitlines()
        sigma0 = float(lines[next(i for i, l in enumerate(lines) if "!Temperature" in l) + 1].split()[0])
        d = np.loadtxt(os.path.join(folder, "data1.dat"), skiprows=1, usecols=(0, 1))
        self.x, self.y, self.w = d[:, 0], d[:, 1], 1.0 / sigma0**2

    def __call__(self, p):  # p: (walkers, 12)
        x = self.x[None, :]
        f = p[:, 0, None] + p[:, 1, None] * x + p[:, 2, None] * x * x
        for m in range(3):
            a, c, s = p[:, 3 + 3 * m, None], p[:, 4 + 3 * m, None], p[:, 5 + 3 * m, None]
            f = f + a / (s * np.sqrt(2 * np.pi)) * np.exp(-((x - c) ** 2) / (2 * s * s))
        return ((self.y[None, :] - f) ** 2).sum(axis=1) * self.w


class ServerChisq:
    """The program's chi-square, one process answering parameter vectors."""

    def __init__(self, folder, npar):
        self.scratch = tempfile.mkdtemp(prefix="zorvik_srv_")
        for f in os.listdir(folder):
            if f.endswith((".par", ".dat")):
                shutil.copy(os.path.join(folder, f), self.scratch)
                os.chmod(os.path.join(self.scratch, f), 0o644)
        self.proc = subprocess.Popen([SERVER, "bench.par"], cwd=self.scratch, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, bufsize=1)
        self.npar = npar

    def __call__(self, p):
        block = "\n".join(" ".join(repr(float(v)) for v in row) for row in p)
        self.proc.stdin.write(f"{len(p)}\n{block}\n")
        self.proc.stdin.flush()
        return np.array([float(self.proc.stdout.readline()) for _ in range(len(p))])

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()
        shutil.rmtree(self.scratch, ignore_errors=True)


def run_emcee(folder, steps, pid):
    temp, pars = read_problem(folder)
    npar = len(pars)
    free = [i for i, p in enumerate(pars) if p[3] != 0.0]
    base = np.array([p[2] for p in pars])
    lo = np.array([pars[i][4] for i in free])
    hi = np.array([pars[i][5] for i in free])
    chisq = NumpyGauss3(folder, npar) if pid == "B1" else ServerChisq(folder, npar)

    def log_prob(q):  # q: (walkers, free)
        full = np.repeat(base[None, :], len(q), axis=0)
        full[:, free] = q
        inside = np.all((q >= lo) & (q <= hi), axis=1)
        out = np.full(len(q), -np.inf)
        if inside.any():
            out[inside] = -chisq(full[inside]) / (2.0 * temp)
        return out

    rng = np.random.default_rng(20261206)
    np.random.seed(20261206)  # emcee's moves draw from numpy's global generator
    # emcee's stretch move needs at least twice as many walkers as dimensions.
    walkers = max(WALKERS, 2 * len(free))
    start = base[free] + 0.1 * np.array([pars[i][3] for i in free]) * rng.standard_normal((walkers, len(free)))
    start = np.clip(start, lo, hi)
    sampler = emcee.EnsembleSampler(walkers, len(free), log_prob, vectorize=True)
    c0, w0 = self_cpu(), time.perf_counter()
    sampler.run_mcmc(start, steps, progress=False)
    cpu, wall = self_cpu() - c0, time.perf_counter() - w0
    if isinstance(chisq, ServerChisq):
        cpu += children_cpu_of_server(chisq)
        chisq.close()
    discard = int(BURN * steps)
    tau = sampler.get_autocorr_time(discard=discard, c=5, tol=0, quiet=True)
    n = (steps - discard) * walkers
    return dict(n=n, tau=tau, cpu=cpu, wall=wall, walkers=walkers, length=(steps - discard) / max(tau))


def children_cpu_of_server(s):
    """The server's CPU time so far, from /proc (it is still running)."""
    fields = open(f"/proc/{s.proc.pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def line(label, r):
    ess = r["n"] / max(r["tau"])
    text = (f"  {label:28s} N {r['n']:8d}  tau_max {max(r['tau']):8.1f}  length/tau {r['length']:6.0f}"
            f"  ESS {ess:8.0f}  cpu {r['cpu']:7.2f} s  wall {r['wall']:7.2f} s  ESS/s(cpu) {ess / r['cpu']:8.1f}")
    return text, ess / r["cpu"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("problems", nargs="*", default=["B1"])
    ap.add_argument("--cycles", type=int, default=0, help="steps of the program's chain (default: the problem's)")
    ap.add_argument("--emcee-steps", type=int, default=4000)
    ap.add_argument("--repeat", type=int, default=3, help="runs of each program configuration (median time)")
    ap.add_argument("--no-reference", action="store_true", help="skip the one-parameter chain")
    ap.add_argument("--modes", default="3,3v,4", help="program modes: varpar values, v for --vector (e.g. 3,3v,4)")
    ap.add_argument("--cycles-for", action="append", default=[],
                    help="PROBLEM:MODE=N, steps of one configuration (e.g. B5:4=1200000)")
    ap.add_argument("--emcee-steps-for", action="append", default=[], help="PROBLEM=N, emcee's steps for one problem")
    ap.add_argument("--program", action="append", default=[],
                    help="LABEL=PATH, another build of the program; a mode MODE@LABEL runs it (e.g. 3@before)")
    a = ap.parse_args()
    emcee_for = dict(kv.split("=") for kv in a.emcee_steps_for)
    cycles_for = dict(kv.split("=") for kv in a.cycles_for)
    programs = dict(kv.split("=", 1) for kv in a.program)
    for pid in a.problems:
        folder = os.path.join(BENCH, FOLDERS[pid])
        print(f"{pid} ({FOLDERS[pid]})", flush=True)
        results = {}
        modes = a.modes.split(",") + ([] if a.no_reference else ["0"])
        for mode in modes:
            mode, _, build = mode.partition("@")
            varpar, vector = int(mode.rstrip("v")), mode.endswith("v")
            label = f"program varpar {varpar}" + (" --vector" if vector else "") + (f" ({build})" if build else "")
            cycles = int(cycles_for.get(f"{pid}:{mode}", a.cycles))
            r = run_program(folder, varpar, cycles, vector, a.repeat, programs.get(build, PROGRAM))
            text, results[label] = line(label, r)
            print(text, flush=True)
        r = run_emcee(folder, int(emcee_for.get(pid, a.emcee_steps)), pid)
        text, results["emcee"] = line(f"emcee {r['walkers']} walkers", r)
        print(text, flush=True)
        for label in results:
            if label != "emcee":
                print(f"  ratio {label} / emcee: {results[label] / results['emcee']:.2f}")


if __name__ == "__main__":
    sys.exit(main())
