"""Cost of one right-hand-side evaluation of the population balance at the
default 35 sections: a native evaluation (timed in a C++ loop, as the
integrator calls it) against the same fcn called from Python."""
import time

from velmora.core.growth_simulator import MovingSectionalModel


def main(repeats=2000):
    m = MovingSectionalModel(total_initial_concentration=1e17, initial_distribution="Polydisperse")
    m.initialize_conditions()
    m.AA12 = m.AA00
    state = m.y.copy()
    m.fcn(0.0, state)  # warm-up: buffers reach their size

    def python_level():
        start = time.perf_counter()
        for _ in range(repeats):
            m.fcn(0.0, state)
        return (time.perf_counter() - start) / repeats

    # Interleaved rounds, best of each: the machine's load shifts between rounds.
    native, python_call = float("inf"), float("inf")
    for _ in range(5):
        native = min(native, m._benchmark_fcn(0.0, state, repeats))
        python_call = min(python_call, python_level())
    print(f"sections: {m.intnum} (live {m.isec})")
    print(f"native fcn evaluation:        {native * 1e6:9.2f} us")
    print(f"Python-level fcn call:        {python_call * 1e6:9.2f} us")
    print(f"ratio native / Python-level:  {native / python_call:9.3f}")


if __name__ == "__main__":
    main()
