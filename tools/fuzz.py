#!/usr/bin/env python3
"""Hostile-input fuzzing of every public entry point of velmora.

Each case takes the valid baseline call of one entry point and replaces one to three of its
arguments (or, for the reactor model, of its attributes) with a hostile value: NaN, infinities,
zero, negative and huge numbers, wrong types, None, wrong-shaped or poisoned arrays, callables that
misbehave. The parent process imports velmora once; every case runs in a forked child with an
address-space cap and an alarm, so a crash, a hang or a runaway allocation ends the child only.
This file is the harness; the entry points, their baseline calls and which of their results must
be finite are the targets in tools/fuzz_targets.py (the reactor model's keywords, kinds and
option values come from its parameter table).

The child reports one outcome class over a pipe:
  ok                     the call returned and every number it must return is finite
  nonfinite              NaN/inf in a result although every injected value was finite  (fault)
  nonfinite-from-huge    NaN/inf in a result after a finite value of magnitude >= 1e100 was
                         injected (an overflow; reported as a fault of its own class)
  nonfinite-from-input   NaN/inf in a result after a NaN/inf was injected (passed through)
  exc:<Type>             a Python exception (expected for bad input)
  crash:<SIGNAME>        the child died by a signal                                     (fault)
  timeout                the child ran past its CPU-time limit (or ten times that in wall time)  (fault)
  lost                   the child exited without reporting                             (fault)
Exceptions of the types in INTERNAL_ERRORS mean a C-API or binding fault and count as faults too.

Which results must be finite is decided per entry point (see Target.finite): the model, the
kernels and the sub-models must never report NaN/inf from finite inputs; the quantile functions
follow scipy (q = 0 or 1 give -inf/inf, q outside [0, 1] gives NaN) and are exempt; the
integrator may end a failed (success False) integration on NaN/inf; the logistic cost functions and
the carbon-conservation ratio give NaN/inf exactly as the written float arithmetic does (log(0) of a
saturated logistic, 0/0 without initial carbon) and are not checked; the density helpers are
checked against their formula evaluated in numpy; the sintering time may be +inf (an overflowing
time is infinitely long).

Usage:
  tools/fuzz.py --cases 100000 --seed 1           counts by outcome and module, distinct faults
  tools/fuzz.py --replay 1:4711                   rerun one case in this process and show it
  tools/fuzz.py --list                            the entry points covered
"""
from __future__ import annotations

import argparse
import faulthandler
import collections
import json
import math
import os
import random
import re
import resource
import select
import signal
import sys
import time
import warnings

os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")
os.environ.setdefault("OMP_NUM_THREADS", "1")
os.environ.setdefault("MPLBACKEND", "Agg")

import numpy as np  # noqa: E402

NAN = float("nan")
INF = float("inf")

# Exception types that never describe bad input: a binding let a C++ fault or a C-API misuse through.
INTERNAL_ERRORS = ("SystemError",)
FAULT_PREFIXES = ("crash:", "timeout", "lost", "nonfinite")


def is_fault(outcome: str) -> bool:
    if outcome == "nonfinite-from-input":
        return False
    if outcome.startswith("exc:"):
        return outcome[4:] in INTERNAL_ERRORS
    return outcome.startswith(FAULT_PREFIXES)


# ----------------------------------------------------------------------------- hostile values

class Hostile:
    """A replacement value, its source text for the reproducer and whether it is non-finite."""

    __slots__ = ("value", "text", "nonfinite")

    def __init__(self, value, text, nonfinite=False):
        self.value, self.text, self.nonfinite = value, text, nonfinite

    @property
    def huge(self):
        """Holds a finite number of magnitude 1e100 or more (overflow of an absurd input)."""
        v = self.value
        try:
            if isinstance(v, (np.ndarray, list, tuple)):
                a = np.asarray(v, dtype=float)
                return bool(np.any(np.isfinite(a) & (np.abs(a) >= 1e100)))
            if isinstance(v, int) and not isinstance(v, bool):
                return abs(v) >= 10 ** 100
            if isinstance(v, (float, np.floating)):
                return math.isfinite(v) and abs(v) >= 1e100
        except (TypeError, ValueError, OverflowError):
            return False
        return False


class _Opaque:
    def __repr__(self):
        return "object()"


def _float_pool(base):
    pool = [
        Hostile(NAN, "nan", True), Hostile(INF, "inf", True), Hostile(-INF, "-inf", True),
        Hostile(0.0, "0.0"), Hostile(-0.0, "-0.0"), Hostile(-1.0, "-1.0"), Hostile(-1e300, "-1e300"),
        Hostile(1e300, "1e300"), Hostile(1e-300, "1e-300"), Hostile(5e-324, "5e-324"),
        Hostile(1e100, "1e100"), Hostile(-1e-12, "-1e-12"), Hostile(1.7976931348623157e308, "1.7976931348623157e308"),
        Hostile(10 ** 400, "10**400"), Hostile(-2 ** 63, "-2**63"), Hostile(None, "None"),
        Hostile("1.0", "'1.0'"), Hostile("abc", "'abc'"), Hostile([1.0], "[1.0]"),
        Hostile(np.array([1.0, 2.0]), "np.array([1.0, 2.0])"), Hostile(np.float32("nan"), "np.float32('nan')", True),
        Hostile(True, "True"), Hostile(1 + 2j, "(1+2j)"), Hostile(_Opaque(), "object()"), Hostile({}, "{}"),
    ]
    return pool


def _scaled_float(rng, base):
    """A finite value that merely looks unusual: the baseline scaled by 10^k, possibly negated."""
    try:
        b = float(base)
    except (TypeError, ValueError):
        b = 1.0
    if b == 0.0:
        b = 1.0
    k = rng.randint(-30, 30)
    sign = -1.0 if rng.random() < 0.25 else 1.0
    v = sign * b * 10.0 ** k
    return Hostile(v, repr(v))


_INT_POOL = [
    (-1, "-1"), (0, "0"), (1, "1"), (2, "2"), (3, "3"), (-2 ** 31, "-2**31"), (2 ** 31, "2**31"),
    (2 ** 63, "2**63"), (-2 ** 63 - 1, "-2**63-1"), (10 ** 30, "10**30"), (1.5, "1.5"), (NAN, "nan"),
    (INF, "inf"), (None, "None"), ("3", "'3'"), (True, "True"), (np.int64(-1), "np.int64(-1)"),
    (np.uint64(2 ** 64 - 1), "np.uint64(2**64-1)"), ([1], "[1]"), (_Opaque(), "object()"),
    (10 ** 6, "10**6"), (10 ** 9, "10**9"),
]

_STR_POOL = [
    ("", "''"), ("xyz", "'xyz'"), (" Ni", "' Ni'"), ("ni", "'ni'"), ("Ni\x00", "'Ni\\x00'"), ("é", "'é'"),
    ("x" * 10000, "'x'*10000"), (None, "None"), (1, "1"), (1.0, "1.0"), (b"Ni", "b'Ni'"), (["Ni"], "['Ni']"),
    (True, "True"), ("nan", "'nan'"), (NAN, "nan"),
]

_BOOL_POOL = [
    (True, "True"), (False, "False"), (0, "0"), (1, "1"), (2, "2"), (-1, "-1"), (None, "None"),
    ("False", "'False'"), ("", "''"), (NAN, "nan"), (np.bool_(True), "np.bool_(True)"), ([], "[]"),
    (_Opaque(), "object()"),
]

_DICT_POOL = [
    ({}, "{}"), ({"C2H2": NAN, "N2": 1.0}, "{'C2H2': nan, 'N2': 1.0}"), ({"XX": 1.0}, "{'XX': 1.0}"),
    ({"C2H2": -1.0, "N2": 1.0}, "{'C2H2': -1.0, 'N2': 1.0}"), ({"C2H2": 1e300}, "{'C2H2': 1e300}"),
    ({1: 1.0}, "{1: 1.0}"), ({"C2H2": "a"}, "{'C2H2': 'a'}"), (None, "None"), ([], "[]"),
    ("C2H2:1", "'C2H2:1'"), ({"N2": 0.0}, "{'N2': 0.0}"), ({"C2H2": 0.0, "N2": 0.0}, "{'C2H2': 0.0, 'N2': 0.0}"),
    ({"C2H2": INF}, "{'C2H2': inf}"), ({"N2": 1.0}, "{'N2': 1.0}"), ({"H2": 1.0}, "{'H2': 1.0}"),
]


def _array_variant(rng, base, name):
    """A hostile variant of the baseline array (or list) `base`; the text names the change."""
    a = np.array(base, dtype=float, copy=True)
    n = a.size
    choice = rng.randrange(22)
    flat = a.reshape(-1)
    if choice == 0:
        return Hostile(np.zeros(0), "np.zeros(0)")
    if choice == 1 and n > 0:
        return Hostile(a.reshape(-1)[:-1].copy(), f"{name}.ravel()[:-1]")
    if choice == 2:
        return Hostile(np.concatenate([flat, flat]), f"np.tile({name}.ravel(), 2)")
    if choice == 3:
        return Hostile(flat.reshape(1, -1).copy() if a.ndim == 1 else flat.copy(), f"reshaped {name}")
    if choice in (4, 5, 6) and n > 0:
        i = rng.randrange(n)
        v, t = [(NAN, "nan"), (INF, "inf"), (-INF, "-inf")][choice - 4]
        flat[i] = v
        return Hostile(a, f"{name} with [{i}]={t} (flat)", True)
    if choice == 7:
        return Hostile(-a, f"-{name}")
    if choice == 8:
        return Hostile(np.zeros_like(a), f"np.zeros_like({name})")
    if choice == 9:
        with np.errstate(over="ignore"):  # the overflow to inf is the hostile value itself
            return Hostile(a * 1e300, f"{name}*1e300")
    if choice == 10:
        return Hostile(np.full_like(a, 1e300), f"np.full_like({name}, 1e300)")
    if choice == 11:
        return Hostile(a.astype(np.int64), f"{name}.astype(int)")
    if choice == 12:
        return Hostile(a.tolist(), f"{name}.tolist()")
    if choice == 13:
        return Hostile(["a"] * max(n, 1), f"['a']*{max(n, 1)}")
    if choice == 14:
        return Hostile(None, "None")
    if choice == 15:
        return Hostile(1.0, "1.0")
    if choice == 16:
        return Hostile(a.astype(object), f"{name}.astype(object)")
    if choice == 17:
        wide = np.repeat(a, 2)
        return Hostile(wide[::2], f"np.repeat({name}, 2)[::2] (strided)")
    if choice == 18:
        return Hostile(a.astype(complex), f"{name}.astype(complex)")
    if choice == 19:
        return Hostile(a.astype(np.float32), f"{name}.astype(np.float32)")
    if choice == 20 and n > 0:
        i = rng.randrange(n)
        flat[i] = -1e300 if rng.random() < 0.5 else 1e300
        return Hostile(a, f"{name} with [{i}]={flat[i]:g} (flat)")
    return Hostile(np.zeros(2 ** rng.randint(0, 4) + 1), "np.zeros(len) of another length")


def _int_array_variant(rng, base, name):
    a = np.array(base, copy=True)
    n = a.size
    choice = rng.randrange(10)
    flat = a.reshape(-1)
    if choice in (0, 1, 2) and n > 0:
        i = rng.randrange(n)
        v = [-1, 10 ** 6, -2 ** 40][choice]
        flat[i] = v
        return Hostile(a, f"{name} with [{i}]={v} (flat)")
    if choice == 3:
        return Hostile(a.astype(float), f"{name}.astype(float)")
    if choice == 4:
        return Hostile(np.zeros((1, 1), dtype=np.int64), "np.zeros((1, 1), int)")
    if choice == 5:
        return Hostile(a.ravel(), f"{name}.ravel()")
    if choice == 6:
        return Hostile(np.full_like(a, 2 ** 31 - 1), f"np.full_like({name}, 2**31-1)")
    if choice == 7:
        return Hostile(a.astype(np.int32), f"{name}.astype(np.int32)")
    if choice == 8:
        return Hostile(None, "None")
    return Hostile(a.T.copy(), f"{name}.T")


def _nan_fun(t, y):
    return np.full(len(y), NAN)


def _raise_fun(*args):
    raise ValueError("raised by the callable")


def _short_fun(t, y):
    return [0.0]


def _none_fun(*args):
    return None


def _str_fun(*args):
    return "abc"


def _huge_fun(t, y):
    return np.full(len(y), 1e300)


def _interrupt_fun(*args):
    raise KeyboardInterrupt


_CALLABLE_POOL = [
    (_nan_fun, "lambda t, y: nan*len(y)", True), (_raise_fun, "callable raising ValueError", False),
    (_short_fun, "lambda t, y: [0.0]", False), (_none_fun, "lambda *a: None", False),
    (_str_fun, "lambda *a: 'abc'", False), (_huge_fun, "lambda t, y: 1e300*len(y)", False),
    (_interrupt_fun, "callable raising KeyboardInterrupt", False), (1.0, "1.0", False), (None, "None", False),
    (lambda: 0.0, "lambda: 0.0", False),
]


def hostile_value(rng, kind, base, name):
    """One hostile replacement for an argument of the given kind."""
    if kind == "f":
        if rng.random() < 0.3:
            return _scaled_float(rng, base)
        return rng.choice(_float_pool(base))
    if kind == "i":
        v, t = rng.choice(_INT_POOL)
        return Hostile(v, t, isinstance(v, float) and not math.isfinite(v))
    if kind == "s":
        v, t = rng.choice(_STR_POOL)
        return Hostile(v, t, isinstance(v, float) and not math.isfinite(v))
    if kind == "b":
        v, t = rng.choice(_BOOL_POOL)
        return Hostile(v, t, isinstance(v, float) and not math.isfinite(v))
    if kind == "d":
        v, t = rng.choice(_DICT_POOL)
        return Hostile(dict(v) if isinstance(v, dict) else v, t,
                       isinstance(v, dict) and any(isinstance(x, float) and not math.isfinite(x) for x in v.values()))
    if kind == "a":
        return _array_variant(rng, base, name)
    if kind == "ia":
        return _int_array_variant(rng, base, name)
    if kind == "c":
        v, t, nf = rng.choice(_CALLABLE_POOL)
        return Hostile(v, t, nf)
    # "o": anything
    pool = _float_pool(base)
    return rng.choice(pool)



# The entry points and their baselines live beside this file.
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fuzz_targets import (  # noqa: E402
    MODEL_ATTRS, MODEL_OPTIONS, Context, Target, _gas, _model, _results_file, build_targets, nonfinite_paths,
)

# ----------------------------------------------------------------------------- a case

def _reactor_data_pool(rng):
    v, t = rng.choice([({"lengthstep": NAN}, "{'lengthstep': nan}"), ({"lengthstep": -1.0}, "{'lengthstep': -1.0}"),
                       ({"lengthstep": 1e300}, "{'lengthstep': 1e300}"), ({}, "{}"), (None, "None"),
                       ({"lengthstep": "a"}, "{'lengthstep': 'a'}"), ({"lengthstep": 0.0}, "{'lengthstep': 0.0}"),
                       ({"lengthstep": 1e3}, "{'lengthstep': 1e3}")])
    return Hostile(dict(v) if isinstance(v, dict) else v, t, t == "{'lengthstep': nan}")


class Case:
    def __init__(self, seed, index, target, kwargs, changes):
        self.seed, self.index, self.target, self.kwargs, self.changes = seed, index, target, kwargs, changes

    @property
    def nonfinite_input(self):
        return any(h.nonfinite for _, h in self.changes)

    @property
    def huge_input(self):
        return any(h.huge for _, h in self.changes)

    def describe(self):
        inner = ", ".join(f"{k}={h.text}" for k, h in self.changes) or "baseline"
        return f"{self.target.name}({inner})"

    def replay_line(self):
        return f"tools/fuzz.py --replay {self.seed}:{self.index}"


def _pick_weighted(rng, targets):
    total = sum(t.weight for t in targets)
    r = rng.random() * total
    for t in targets:
        r -= t.weight
        if r <= 0:
            return t
    return targets[-1]


def make_case(targets, ctx, seed, index, avoid=None):
    """The case of number `index` in the stream of `seed`; same (seed, index), same case.

    avoid(case) -> True rejects a draw; the next draw of the same stream is taken instead."""
    rng = random.Random(f"{seed}:{index}")
    while True:
        target = _pick_weighted(rng, targets)
        kw = target.base(ctx)
        kinds = target.kinds(ctx) if callable(target.kinds) else target.kinds
        names = list(kinds)
        changes = []
        if names:
            count = rng.choices([1, 2, 3], weights=[0.6, 0.25, 0.15])[0]
            for name in rng.sample(names, min(count, len(names))):
                kind = kinds[name]
                base = kw.get(name)
                if name in MODEL_OPTIONS and rng.random() < 0.5:
                    opt = rng.choice(MODEL_OPTIONS[name])
                    h = Hostile(opt, repr(opt))
                elif kind == "rd":
                    h = _reactor_data_pool(rng)
                else:
                    if base is None and kind == "f" and name in MODEL_ATTRS:
                        base = MODEL_ATTRS[name][1]
                    h = hostile_value(rng, kind, base, name)
                kw[name] = h.value
                changes.append((name, h))
        case = Case(seed, index, target, kw, changes)
        if avoid is None or not avoid(case):
            return case


# ----------------------------------------------------------------------------- running a case in a child

def _signal_name(sig):
    try:
        return signal.Signals(sig).name
    except ValueError:
        return f"signal {sig}"


def _address_space_cap(extra_bytes):
    """Current virtual size of this process plus extra_bytes: the children's RLIMIT_AS."""
    try:
        with open("/proc/self/status") as fh:
            for line in fh:
                if line.startswith("VmSize:"):
                    return int(line.split()[1]) * 1024 + extra_bytes
    except OSError:
        pass
    return 4 * 2 ** 30


def evaluate(case, ctx):
    """Runs the case in this process; returns (outcome, detail)."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            result = case.target.call(ctx, case.kwargs)
    except BaseException as exc:  # noqa: BLE001 - every exception is an outcome here
        return f"exc:{type(exc).__name__}", str(exc)[:300]
    if case.target.finite:
        if callable(case.target.finite):
            bad = case.target.finite(result, case.kwargs)
        else:
            bad = nonfinite_paths(result)
        if bad:
            kind = ("nonfinite-from-input" if case.nonfinite_input else
                    "nonfinite-from-huge" if case.huge_input else "nonfinite")
            return kind, ", ".join(bad)
    return "ok", ""



def _read_chunk(rfd, deadline):
    """The next data on a child's pipe: bytes, b"" at its end, None once the monotonic `deadline` has passed."""
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([rfd], [], [], left)
        if ready:
            return os.read(rfd, 65536)

def run_in_child(case, ctx, timeout, mem_cap):
    """Forks; the child evaluates the case under an address-space cap and an alarm."""
    rfd, wfd = os.pipe()
    sys.stdout.flush()
    sys.stderr.flush()
    pid = os.fork()
    if pid == 0:  # child
        try:
            os.close(rfd)
            _child_setup(mem_cap)
            signal.signal(signal.SIGXCPU, signal.SIG_DFL)
            _limit_cpu(timeout)
            signal.alarm(max(1, int(math.ceil(timeout * WALL_FACTOR))))
            outcome, detail = evaluate(case, ctx)
            os.write(wfd, json.dumps([outcome, detail]).encode())
        except BaseException as exc:  # noqa: BLE001
            try:
                os.write(wfd, json.dumps([f"exc:{type(exc).__name__}", "in the harness: " + str(exc)[:200]]).encode())
            except BaseException:  # noqa: BLE001
                pass
        finally:
            os._exit(0)
    os.close(wfd)
    chunks = []
    deadline = time.monotonic() + timeout * WALL_FACTOR + 2.0
    timed_out = False
    while True:
        data = _read_chunk(rfd, deadline)
        if data is None:
            timed_out = True
            break
        if not data:
            break
        chunks.append(data)
    os.close(rfd)
    if timed_out:
        os.kill(pid, signal.SIGKILL)
    _, status = os.waitpid(pid, 0)
    if timed_out:
        return "timeout", f"no result after {timeout:g} s"
    if os.WIFSIGNALED(status):
        sig = os.WTERMSIG(status)
        if _timeout_signal(sig):
            return "timeout", f"no result after {timeout:g} s of CPU time"
        if sig == signal.SIGKILL:
            return "crash:SIGKILL", "killed (memory cap or outside)"
        return f"crash:{_signal_name(sig)}", ""
    try:
        outcome, detail = json.loads(b"".join(chunks).decode())
    except ValueError:
        return "lost", f"exit status {os.WEXITSTATUS(status)} without a report"
    return outcome, detail


# The time limit of a case is CPU time (RLIMIT_CPU, SIGXCPU), so that a loaded machine does not
# turn slow calls into timeouts; a wall-clock limit WALL_FACTOR times longer catches a child that
# blocks without computing.
WALL_FACTOR = 10.0


def _cpu_used():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime


def _limit_cpu(seconds):
    """Allows this process `seconds` more CPU time from now."""
    hard = resource.getrlimit(resource.RLIMIT_CPU)[1]
    soft = int(math.ceil(_cpu_used() + seconds))
    if hard != resource.RLIM_INFINITY:
        soft = min(soft, hard)
    resource.setrlimit(resource.RLIMIT_CPU, (soft, hard))


def _timeout_signal(sig):
    return sig in (signal.SIGXCPU, signal.SIGALRM)


def _child_setup(mem_cap):
    devnull = os.open(os.devnull, os.O_RDWR)
    os.dup2(devnull, 0)
    os.dup2(devnull, 1)
    os.dup2(devnull, 2)
    # a test runner may have replaced the Python-level streams by its own capture files, and may
    # have armed faulthandler on a descriptor of its own: a crash is reported by the parent
    sys.stdout = sys.stderr = open(os.devnull, "w")
    faulthandler.disable()
    resource.setrlimit(resource.RLIMIT_AS, (mem_cap, mem_cap))
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    signal.signal(signal.SIGALRM, signal.SIG_DFL)
    signal.signal(signal.SIGXCPU, signal.SIG_DFL)
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def run_batch(cases, ctx, timeout, mem_cap):
    """Runs calls that touch no shared object one after another in a forked worker.

    The worker announces each case before running it, so a case that kills the worker or hangs is
    known; the rest continue in a new worker. Yields (case, outcome, detail) in order."""
    pos = 0
    while pos < len(cases):
        rfd, wfd = os.pipe()
        sys.stdout.flush()
        sys.stderr.flush()
        pid = os.fork()
        if pid == 0:
            try:
                os.close(rfd)
                _child_setup(mem_cap)
                for j in range(pos, len(cases)):
                    os.write(wfd, f"S {j}\n".encode())
                    limit = cases[j].target.timeout or timeout
                    _limit_cpu(limit)
                    signal.alarm(max(1, int(math.ceil(limit * WALL_FACTOR))))
                    outcome, detail = evaluate(cases[j], ctx)
                    signal.alarm(0)
                    os.write(wfd, ("R " + json.dumps([j, outcome, detail]) + "\n").encode())
            finally:
                os._exit(0)
        os.close(wfd)
        buf = b""
        started = None
        timed_out = False
        deadline = time.monotonic() + timeout * WALL_FACTOR + 2.0
        while True:
            data = _read_chunk(rfd, deadline)
            if data is None:
                timed_out = True
                break
            if not data:
                break
            buf += data
            while b"\n" in buf:
                line, buf = buf.split(b"\n", 1)
                if line.startswith(b"S "):
                    started = int(line[2:])
                    t = cases[started].target.timeout or timeout
                    deadline = time.monotonic() + t * WALL_FACTOR + 2.0
                else:
                    j, outcome, detail = json.loads(line[2:].decode())
                    started = None
                    pos = j + 1
                    yield cases[j], outcome, detail
        os.close(rfd)
        if timed_out:
            os.kill(pid, signal.SIGKILL)
        _, status = os.waitpid(pid, 0)
        if started is None:
            continue  # the worker finished (pos == len(cases)) or died between cases
        if timed_out:
            outcome, detail = "timeout", "no result in time"
        elif os.WIFSIGNALED(status):
            sig = os.WTERMSIG(status)
            outcome, detail = ("timeout", "no result in time") if _timeout_signal(sig) else (
                f"crash:{_signal_name(sig)}", "")
        else:
            outcome, detail = "lost", f"exit status {os.WEXITSTATUS(status)} without a report"
        yield cases[started], outcome, detail
        pos = started + 1


class Campaign:
    """Runs cases and keeps counts by outcome and by module, and the distinct faults."""

    def __init__(self, timeout=5.0, mem_extra=2 * 2 ** 30, targets=None):
        self.ctx = Context()
        self.targets = targets if targets is not None else build_targets()
        self.timeout = timeout
        self.by_outcome = collections.Counter()
        self.by_module = collections.defaultdict(collections.Counter)
        self.by_target = collections.defaultdict(collections.Counter)
        self.faults = {}          # (target, outcome, changed names) -> (count, first case, detail)
        self.messages = collections.defaultdict(collections.Counter)  # (kind of bad input) -> Counter of messages
        self.prepare()
        self.mem_cap = _address_space_cap(mem_extra)

    def prepare(self):
        """Builds the shared objects once so that children inherit them."""
        import importlib
        for name in ("velmora._numerics", "velmora.core.fast_kernels", "velmora.core.growth_simulator",
                     "velmora.core.parameter_sweep", "velmora.modules.acetylene_growth", "velmora.modules.np_thermal",
                     "velmora.modules.gas_reactions", "velmora.modules.coalescence_time",
                     "velmora.modules.solubility_check", "velmora.ml.phase_boundary_learner",
                     "velmora.ml.scale_inputs", "velmora.ml.fit_weights", "velmora.ml.logistic_loss",
                     "velmora.ml.compute_gradient"):
            importlib.import_module(name)
        _model(self.ctx)
        _gas(self.ctx)
        _results_file(self.ctx)

    def run_case(self, case):
        timeout = case.target.timeout or self.timeout
        outcome, detail = run_in_child(case, self.ctx, timeout, self.mem_cap)
        self.record(case, outcome, detail)
        return outcome, detail

    def run_cases(self, cases, batch=1):
        """Every case in a child of its own (batch 1), or the calls that touch no shared object in
        workers of up to `batch` cases each; yields (case, outcome, detail)."""
        if batch <= 1:
            for case in cases:
                yield (case,) + self.run_case(case)
            return
        alone = [c for c in cases if c.target.shared]
        grouped = [c for c in cases if not c.target.shared]
        for case in alone:
            yield (case,) + self.run_case(case)
        for i in range(0, len(grouped), batch):
            for case, outcome, detail in run_batch(grouped[i:i + batch], self.ctx, self.timeout, self.mem_cap):
                self.record(case, outcome, detail)
                yield case, outcome, detail

    def confirm_faults(self):
        """Reruns the first case of every distinct fault alone in a fresh child."""
        for entry in self.faults.values():
            case = entry[1]
            outcome, detail = run_in_child(case, self.ctx, case.target.timeout or self.timeout, self.mem_cap)
            entry.append(outcome)

    def record(self, case, outcome, detail):
        self.by_outcome[outcome] += 1
        self.by_module[case.target.module][outcome] += 1
        self.by_target[case.target.name][outcome] += 1
        if is_fault(outcome):
            key = (case.target.name, outcome, tuple(sorted(k for k, _ in case.changes)))
            if key in self.faults:
                self.faults[key][0] += 1
            else:
                self.faults[key] = [1, case, detail]
        if outcome.startswith("exc:") and len(case.changes) == 1:
            self._note_message(case, outcome, detail)

    def _note_message(self, case, outcome, detail):
        """Error type and wording per (kind of bad value, module), for comparing the conversion layer."""
        name, h = case.changes[0]
        text = h.text
        if text in ("None", "'abc'", "'1.0'", "[1.0]", "object()", "(1+2j)", "{}", "-1", "10**30", "2**63",
                    "1.5", "'3'", "np.zeros(0)", "['a']*6", "10**400"):
            msg = re.sub(rf"\b{re.escape(name)}\b", "<arg>", detail.split("\n")[0])
            self.messages[text][(case.target.module, outcome, msg[:120])] += 1


def print_report(c, cases, seconds, out=sys.stdout, show_messages=True):
    faults = sum(n for o, n in c.by_outcome.items() if is_fault(o))
    counts = ", ".join(f"{o} {n}" for o, n in sorted(c.by_outcome.items(), key=lambda kv: -kv[1]))
    print(f"fuzz: {cases} cases in {seconds:.0f} s: {counts}; faults {faults}", file=out)
    print("\nby module:", file=out)
    for mod in sorted(c.by_module):
        row = ", ".join(f"{o} {n}" for o, n in sorted(c.by_module[mod].items(), key=lambda kv: -kv[1]))
        print(f"  {mod:24s} {sum(c.by_module[mod].values()):7d}: {row}", file=out)
    print(f"\ndistinct faults: {len(c.faults)}", file=out)
    for (tname, outcome, names), entry in sorted(c.faults.items(), key=lambda kv: (kv[0][0], kv[0][1])):
        n, case, detail = entry[:3]
        alone = ""
        if len(entry) > 3:
            alone = "; alone: same" if entry[3] == outcome else f"; alone: {entry[3]}"
        print(f"  [{outcome}] x{n} {case.describe()}{alone}", file=out)
        if detail:
            print(f"      detail: {detail[:200]}", file=out)
        print(f"      reproduce: {case.replay_line()}", file=out)
    if show_messages and c.messages:
        print("\nerror type and message by bad value and module (single-argument cases):", file=out)
        for text in sorted(c.messages):
            print(f"  {text}:", file=out)
            for (mod, outcome, msg), n in sorted(c.messages[text].items())[:40]:
                print(f"    {mod:24s} {outcome:22s} x{n:<4d} {msg}", file=out)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cases", type=int, default=2000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--start", type=int, default=0, help="first case index")
    ap.add_argument("--timeout", type=float, default=5.0,
                    help="CPU seconds per case (the wall-clock limit is ten times longer)")
    ap.add_argument("--memory", type=float, default=2.0, help="GiB a child may allocate beyond the parent")
    ap.add_argument("--target", action="append", help="restrict to entry points whose name contains this")
    ap.add_argument("--replay", help="SEED:INDEX: print and run one case in this process")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--progress", type=int, default=5000, help="print counts every N cases")
    ap.add_argument("--batch", type=int, default=200,
                    help="run up to N calls that touch no shared object in one worker (faults are rerun alone)")
    args = ap.parse_args(argv)

    targets = build_targets()
    if args.target:
        targets = [t for t in targets if any(s in t.name for s in args.target)]
    if args.list:
        for t in targets:
            print(f"{t.weight:4.1f}  {t.name}")
        return 0
    if args.replay:
        seed, index = args.replay.split(":")
        ctx = Context()
        case = make_case(targets, ctx, int(seed), int(index))
        print(case.describe())
        for k, h in case.changes:
            print(f"  {k} = {h.text!s}  ({type(h.value).__name__})")
        outcome, detail = evaluate(case, ctx)
        print(f"outcome: {outcome} {detail}")
        return 0

    c = Campaign(timeout=args.timeout, mem_extra=int(args.memory * 2 ** 30), targets=targets)
    t0 = time.time()
    chunk = max(args.batch, 1) * 10
    done = 0
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    try:
        for first in range(args.start, args.start + args.cases, chunk):
            last = min(first + chunk, args.start + args.cases)
            cases = [make_case(c.targets, c.ctx, args.seed, i) for i in range(first, last)]
            for _ in c.run_cases(cases, args.batch):
                done += 1
                if args.progress and done % args.progress == 0 and done < args.cases:
                    faults = sum(n for o, n in c.by_outcome.items() if is_fault(o))
                    print(f"... {done} cases, {time.time() - t0:.0f} s, faults {faults}, distinct {len(c.faults)}",
                          flush=True)
        if args.batch > 1:
            c.confirm_faults()
    except KeyboardInterrupt:
        print(f"interrupted after {done} cases; the counts below cover those", flush=True)
    print_report(c, done, time.time() - t0)
    return 1 if c.faults else 0


if __name__ == "__main__":
    sys.exit(main())
