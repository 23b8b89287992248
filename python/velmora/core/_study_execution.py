"""How the points of a study are run: executors and the progress bar.

The compiled study module decides which points run and what each record
holds; handing the points to a concurrent.futures executor, taking the outcomes
as they complete, and drawing the tqdm bar are calls into Python libraries and
live here, one function per job.
"""

import concurrent.futures
import contextlib
import io


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


def process_pool(max_workers):
    return concurrent.futures.ProcessPoolExecutor(max_workers=max_workers)


def run_on_executor(executor, task, jobs, shutdown):
    """Submits task(*arguments) for each (key, arguments) of jobs and yields
    (key, result) as the futures complete. On any exception (an interrupt
    included) the futures not yet started are cancelled; `shutdown` says whether
    the executor is this study's own and is shut down at the end."""
    futures = {}
    try:
        for key, arguments in jobs:
            futures[executor.submit(task, *arguments)] = key
        for future in concurrent.futures.as_completed(futures):
            yield futures[future], future.result()
    except BaseException:
        for future in futures:
            future.cancel()
        if shutdown:
            executor.shutdown(wait=False, cancel_futures=True)
            shutdown = False
        raise
    finally:
        if shutdown:
            executor.shutdown(wait=True)


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
