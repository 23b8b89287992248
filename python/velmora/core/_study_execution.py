"""How the points of a study are run: executors and the progress bar.

The compiled study module decides which points run and what each record
holds; handing the points to a concurrent.futures executor (the study's own
workers are a pebble pool, which can stop a run at its time limit), taking the
outcomes as they complete, and drawing the tqdm bar are calls into Python
libraries and live here, one function per job.
"""

import concurrent.futures
import contextlib
import io
import time


class Progress:
    """The study's printed lines and, when `on`, a tqdm bar on standard error
    counting finished simulations. The bar is cleared before a line is printed
    and drawn again after it, so the two never share a line."""

    def __init__(self, on, total, initial):
        self.bar = None
        if on:
            from tqdm import tqdm

            self.bar = tqdm(total=total, initial=initial, unit="sim", dynamic_ncols=True, leave=True)

    def show(self, line):
        if self.bar is not None:
            self.bar.clear()
        print(line)
        if self.bar is not None:
            self.bar.refresh()

    def advance(self):
        if self.bar is not None:
            self.bar.update(1)

    def close(self):
        """The finished bar stays on standard error above what follows."""
        if self.bar is not None:
            self.bar.close()


def progress(on, total, initial):
    """(show, advance, close) of a new Progress, for the compiled study to call."""
    bar = Progress(on, total, initial)
    return bar.show, bar.advance, bar.close


def process_pool(max_workers):
    """The study's own worker processes: a pebble pool, which can stop a run
    at its time limit (it ends the worker process and starts a new one)."""
    import pebble

    return pebble.ProcessPool(max_workers=max_workers)


def _is_pebble_pool(executor):
    try:
        import pebble
    except ImportError:
        return False
    return isinstance(executor, pebble.ProcessPool)


def _is_dask_executor(executor):
    return type(executor).__module__.split(".")[0] == "distributed"


def check_timeout_support(executor):
    """Raises ValueError when a time limit cannot be kept on this executor.

    A Dask executor's futures never report that their task has started, so a
    run's time cannot be measured (and Dask cannot stop a running task)."""
    if _is_dask_executor(executor):
        raise ValueError("run_timeout cannot be kept on a Dask executor (its futures do not report when a run "
                         "starts, and a running task cannot be stopped); use max_workers for timed runs")


def _submit(executor, task, arguments, run_timeout):
    if _is_pebble_pool(executor):
        return executor.schedule(task, args=arguments, timeout=run_timeout)
    return executor.submit(task, *arguments)


def _shut_down(executor, wait):
    if _is_pebble_pool(executor):
        executor.close() if wait else executor.stop()
        executor.join()
    else:
        executor.shutdown(wait=wait, cancel_futures=not wait)


# Seconds between looks at the running futures of an executor that cannot
# stop a run itself: the resolution of its time limit.
_TIMEOUT_POLL = 0.05


def run_on_executor(executor, task, jobs, shutdown, run_timeout=None):
    """Submits task(*arguments) for each (key, arguments) of jobs and yields
    (key, result) as the futures complete; result is None for a run stopped or
    abandoned at run_timeout seconds.

    A pebble pool stops a run at its limit (the worker process is ended and
    replaced). Any other executor cannot: there the study's clock starts when
    the future reports that it runs, and at the limit the run is given up (its
    future cancelled, which a started task ignores) and left to end on its
    worker. On any exception (an interrupt included) the futures not yet
    started are cancelled; `shutdown` says whether the executor is this
    study's own and is shut down at the end."""
    futures = {}
    try:
        for key, arguments in jobs:
            futures[_submit(executor, task, arguments, run_timeout)] = key
        if run_timeout is None or _is_pebble_pool(executor):
            for future in concurrent.futures.as_completed(futures):
                try:
                    result = future.result()
                except concurrent.futures.TimeoutError:
                    if run_timeout is None:
                        raise
                    result = None
                yield futures[future], result
            return
        started, pending = {}, set(futures)
        while pending:
            done, _ = concurrent.futures.wait(pending, timeout=_TIMEOUT_POLL,
                                              return_when=concurrent.futures.FIRST_COMPLETED)
            for future in done:
                pending.discard(future)
                yield futures[future], future.result()
            now = time.monotonic()
            for future in list(pending):
                if future.running():
                    started.setdefault(future, now)
                    if now - started[future] > run_timeout:
                        future.cancel()
                        pending.discard(future)
                        yield futures[future], None
    except BaseException:
        for future in futures:
            future.cancel()
        if shutdown:
            _shut_down(executor, wait=False)
            shutdown = False
        raise
    finally:
        if shutdown:
            _shut_down(executor, wait=True)


def run_study_point(point, Velmora_kwargs):
    """The worker task of a parallel study: (record of one grid point, what its run printed).

    A plain function of this module, so that any executor ships it to a worker
    by reference; the point itself is run by the compiled study module.
    """
    from velmora.core import parameter_sweep

    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        record = parameter_sweep._run_point(point, Velmora_kwargs)
    return record, printed.getvalue()


def study_parts(wrapper, config):
    """What a study's runner reads of its wrapper and configuration, in one call: (map_requested,
    Y_parameter, X_parameter, constant_parameters, constant_values, Y_parameter_range, X_parameter_range)."""
    return (wrapper.map_requested, config.Y_parameter, config.X_parameter, config.constant_parameters,
            config.constant_values, config.Y_parameter_range, config.X_parameter_range)


def quietly(make, *arguments):
    """make(*arguments) with what it prints discarded (a boundary study's
    configuration prints the lines of a uniform grid, which it does not run)."""
    with contextlib.redirect_stdout(io.StringIO()):
        return make(*arguments)
