"""Runs a Tallowby scan on a Dask cluster.

The logs are cut into shards (whole files, and byte ranges of big files),
each shard is scanned on a worker by `tallowby-scan --partial`, and the
partial results are merged here, in the order of the inputs, by
`tallowby-scan --merge`: the output is byte for byte that of one scan of
all the logs.

Exit status: 0 and 1 as tallowby-scan (1: a log could not be read, the rest
was written; or the spam or crawler list could not be read, and nothing
was); 2: the
command line was wrong; 3: a shard failed for good, or the cluster could not
be reached: nothing was written.
"""

import logging
import math
import os
import shutil
import subprocess
import sys
import tempfile
import uuid
import warnings

from tallowby_dask_cli import (EXIT_SHARD_FAILED, EXIT_USAGE, UsageError, check_options,
                               expand_logs, output_options, parse_args,
                               refuse_writing_over_inputs, scan_options)

# Each shard costs a scanner start, a partial holding its distinct referrers
# and a place in the merge, so by default there is one shard per worker
# thread, never smaller than the first figure; inputs big enough to need
# more than the second per shard are cut finer, so that a slow or lost
# worker holds the run up less.
MIN_SHARD_BYTES = 16 << 20
MAX_SHARD_BYTES = 512 << 20


def default_shard_size(total, threads):
    return max(MIN_SHARD_BYTES, min(MAX_SHARD_BYTES, math.ceil(total / max(threads, 1))))


def is_compressed(path):
    """True when the file starts as a compressed log: its bytes have no line
    starts to cut at (the scanner reads such a file whole in the piece that
    starts at 0), so it goes to one worker whole."""
    try:
        with open(path, "rb") as f:
            head = f.read(10)
    except OSError:
        return False
    # gzip, bzip2 (block size 1 to 9, then the magic of a block or of the
    # stream's end, as far as the file goes), xz, zstd and a zstd skippable
    # frame, as the scanner tells them.
    return (head.startswith((b"\x1f\x8b", b"\xfd7zXZ\x00", b"\x28\xb5\x2f\xfd"))
            or (head[:3] == b"BZh" and len(head) >= 4 and 0x31 <= head[3] <= 0x39
                and (b"\x31\x41\x59\x26\x53\x59".startswith(head[4:])
                     or b"\x17\x72\x45\x38\x50\x90".startswith(head[4:])))
            or (len(head) >= 4 and head[0] & 0xF0 == 0x50 and head[1:4] == b"\x2a\x4d\x18"))


def make_shards(paths, shard_size):
    """(path, start, end) in scan order; end None: to the end of the file,
    start None: the whole file. A file this side cannot see, or a compressed
    one, is one shard."""
    shards = []
    for path in paths:
        try:
            size = os.stat(path).st_size
        except OSError:
            size = 0
        if size <= shard_size or is_compressed(path):
            shards.append((path, None, None))
            continue
        pieces = math.ceil(size / shard_size)
        step = math.ceil(size / pieces)
        for k in range(pieces):
            start = k * step
            shards.append((path, start, None if k == pieces - 1 else (k + 1) * step))
    return shards


def describe(shard):
    path, start, end = shard
    if start is None:
        return path
    return f"{path} bytes {start}:{'' if end is None else end}"


def drop_folder(drop):
    """The driver's folder named by `drop` (folder, token), when this worker
    sees it (the same machine, or storage both share), else None."""
    if drop is None:
        return None
    folder, token = drop
    try:
        with open(os.path.join(folder, "token"), encoding="ascii") as f:
            return folder if f.read() == token else None
    except OSError:
        return None


def folder_here(folder):
    """`folder` when this machine has it, else None (the worker's own)."""
    return folder if folder is not None and os.path.isdir(folder) else None


def scan_shard(scanner, options, shard, drop=None, name=None, driver_folder=None):
    """Runs on a worker, in `driver_folder` where it has one of that name:
    the partial result of one shard, with the scanner's messages and exit
    status. The partial is left as `name` in the driver's
    folder when this worker sees it (its path is returned), else returned as
    bytes. Raises when the scanner fails, so Dask runs the shard again."""
    path, start, end = shard
    folder = drop_folder(drop)
    if folder is not None:
        partial = os.path.join(folder, name)
    else:
        fd, partial = tempfile.mkstemp(prefix="tallowby-", suffix=".partial")
        os.close(fd)
    try:
        cmd = [scanner, *options, "--quiet", "--format", "none", "--partial", partial]
        if start is not None:
            cmd += ["--range", f"{start}:{'' if end is None else end}"]
        cmd += ["--", path]
        # Names relative to the driver's folder (logs, the spam and crawler
        # lists) are resolved in that folder where this worker has it: what
        # an absolute name would reach, while the scanner's messages and the
        # partial's record of the lists keep the names as given. Without it,
        # an absolute name could not be resolved here either.
        run = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, check=False,
                             cwd=folder_here(driver_folder))
        message = run.stderr.decode("utf-8", "replace")
        if run.returncode not in (0, 1) or not os.path.isfile(partial) \
                or os.path.getsize(partial) == 0:
            raise RuntimeError(f"{scanner} exited with status {run.returncode}: "
                               f"{message.strip() or '(no message)'}")
        if folder is not None:
            return partial, message, run.returncode
        with open(partial, "rb") as f:
            return f.read(), message, run.returncode
    finally:
        if folder is None:
            os.unlink(partial)


class ProgressBar:
    """A bar on a terminal's standard error, redrawn as shards finish."""

    def __init__(self, total, enabled):
        self.total, self.done, self.enabled = total, 0, enabled
        self.draw()

    def draw(self):
        if not self.enabled:
            return
        width = 30
        filled = width * self.done // max(self.total, 1)
        sys.stderr.write(f"\r[{'#' * filled}{'.' * (width - filled)}] "
                         f"{self.done}/{self.total} shards")
        sys.stderr.flush()

    def step(self):
        self.done += 1
        self.draw()

    def erase(self):
        if self.enabled:
            sys.stderr.write("\r\033[K")
            sys.stderr.flush()


def merge_batch(scanner, parts, drop=None, name=None):
    """Runs on a worker: the partials of consecutive shards (as bytes)
    merged into one, left in the driver's folder as scan_shard() leaves
    one, with their messages and the worst of their exit statuses."""
    folder = drop_folder(drop)
    with tempfile.TemporaryDirectory(prefix="tallowby-batch-") as tmp:
        names = []
        for i, (data, _, _) in enumerate(parts):
            names.append(os.path.join(tmp, f"{i:06d}.partial"))
            with open(names[-1], "wb") as f:
                f.write(data)
        merged = os.path.join(folder if folder is not None else tmp,
                              name if folder is not None else "merged.partial")
        # Its note about unread inputs is dropped: the final merge says it.
        run = subprocess.run([scanner, "--merge", "--quiet", "--format", "none",
                              "--partial", merged, "--", *names],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, check=False)
        if run.returncode not in (0, 1) or not os.path.exists(merged):
            raise RuntimeError(f"{scanner} --merge exited with status {run.returncode}: "
                               f"{run.stderr.decode('utf-8', 'replace').strip()}")
        if folder is not None:
            data = merged
        else:
            with open(merged, "rb") as f:
                data = f.read()
    return data, "".join(m for _, m, _ in parts), max(status for _, _, status in parts)


def run_shards(client, args, shards, drop):
    """The partials to merge, in shard order: one per shard, or, with more
    shards than --merge-batch, one per batch of consecutive shards, merged
    on the workers. Each is a path in the folder of `drop` (folder, token)
    where its worker saw that folder, else bytes. Raises naming the shard
    or batch that failed for good."""
    import cloudpickle
    from distributed import as_completed

    # Workers need no copy of this file: the functions travel by value.
    cloudpickle.register_pickle_by_value(sys.modules[__name__])
    options = scan_options(args)
    batched = len(shards) > args.merge_batch
    futures = []
    for i, shard in enumerate(shards):
        # A batch's merge may run on a worker that sees no other's folder:
        # its shards' partials travel as bytes.
        futures.append(client.submit(scan_shard, args.scanner, options, shard,
                                     None if batched else drop, f"{i:06d}.partial",
                                     os.getcwd(),
                                     key=f"tallowby-shard-{i}-{uuid.uuid4().hex}",
                                     retries=args.retries, pure=False))
    batches = []
    if batched:
        for first in range(0, len(shards), args.merge_batch):
            part = futures[first:first + args.merge_batch]
            batches.append((first, first + len(part) - 1,
                            client.submit(merge_batch, args.scanner, part, drop,
                                          f"batch-{first:06d}.partial",
                                          key=f"tallowby-batch-{first}-{uuid.uuid4().hex}",
                                          retries=args.retries, pure=False)))
    index = {f.key: i for i, f in enumerate(futures)}
    results = [None] * len(shards)
    bar = ProgressBar(len(shards), sys.stderr.isatty() and not args.quiet)

    def fail(what, future):
        try:
            future.result()
            cause = "no result"
        except Exception as e:  # noqa: BLE001 - the worker's exception, or KilledWorker
            cause = e
        for other in futures + [b for _, _, b in batches]:
            other.cancel()
        raise RunFailed(f"{what} failed: {cause}")

    try:
        for future in as_completed(futures):
            i = index[future.key]
            if future.status != "finished":
                fail(f"shard {describe(shards[i])}", future)
            if not batches:
                results[i] = future.result()
            bar.step()
    finally:
        bar.erase()
    if not batches:
        return results
    merged = []
    for first, last, future in batches:
        try:
            merged.append(future.result())
        except Exception:  # noqa: BLE001 - reported with its cause by fail()
            fail(f"the merge of shards {describe(shards[first])} to "
                 f"{describe(shards[last])}", future)
    return merged


class RunFailed(Exception):
    pass


def merge(args, partials, workdir):
    """Merges the partials, in order, into the outputs; those that came as
    bytes are written to `workdir` first."""
    files = []
    for i, (data, _, _) in enumerate(partials):
        if isinstance(data, str):
            files.append(data)
            continue
        name = os.path.join(workdir, f"received-{i:06d}.partial")
        with open(name, "wb") as f:
            f.write(data)
        files.append(name)
    cmd = [args.merger or args.scanner, "--merge", *scan_options(args), *output_options(args),
           "--", *files]
    return subprocess.run(cmd, check=False).returncode


def skip_unused_version_report():
    """A client, and a worker, tell the scheduler the versions of some
    optional packages on connecting, importing each to ask it; pandas alone
    takes about a third of a second of processor time to import, and plays
    no part in a scan. Leaving it out of this process's report costs at most
    a version warning, and warnings are off here."""
    try:
        from distributed import versions

        versions.optional_packages[:] = [
            p for p in versions.optional_packages if p[0] != "pandas"]
    except Exception:  # noqa: BLE001 - another distributed: leave it as it is
        pass


def start_client(args):
    # Standard error carries the scanner's messages and the summary line
    # only, as with one scan: the cluster's advice (slow scratch folders,
    # restarted workers) stays out of it, here and in local workers.
    warnings.filterwarnings("ignore")
    os.environ["PYTHONWARNINGS"] = "ignore"
    logging.getLogger("distributed").setLevel(logging.ERROR)
    from distributed import Client, LocalCluster

    skip_unused_version_report()
    if args.scheduler:
        return Client(args.scheduler), None
    # The workers of a local cluster live in this process, one thread each:
    # a worker only waits for the scanner process it starts, and worker
    # processes of their own would cost a second or more to start (each
    # importing distributed) and every partial a trip between processes.
    # --processes gives each worker a process of its own, for those who
    # want a dying worker to take only its own shard with it.
    cluster = LocalCluster(n_workers=args.workers or os.cpu_count() or 1, threads_per_worker=1,
                           processes=args.processes, dashboard_address=None,
                           silence_logs=logging.CRITICAL)
    return Client(cluster), cluster


def main(argv=None):
    try:
        args = parse_args(sys.argv[1:] if argv is None else argv)
        paths = expand_logs(args.logs)
        refuse_writing_over_inputs(args, paths)
    except UsageError as e:
        if str(e):
            print(f"tallowby-dask: {e}", file=sys.stderr)
        return EXIT_USAGE
    merger = args.merger or args.scanner
    if shutil.which(merger) is None:
        print(f"tallowby-dask: {merger}: not found here (give --merger)", file=sys.stderr)
        return EXIT_USAGE
    # Workers that see this folder leave their partials in it, so they
    # need not travel; the token tells it from a folder of that name on
    # another machine.
    with tempfile.TemporaryDirectory(prefix="tallowby-dask-") as workdir:
        refused = check_options(merger, args, workdir)
        if refused is not None:
            return refused
        token = uuid.uuid4().hex
        with open(os.path.join(workdir, "token"), "w", encoding="ascii") as f:
            f.write(token)
        return run(args, paths, (workdir, token))


def run(args, paths, drop):
    """Scans the logs on the cluster and merges the partials into the
    outputs; `drop` (folder, token) as run_shards() takes it."""
    try:
        client, cluster = start_client(args)
    except Exception as e:  # noqa: BLE001 - any failure to reach the cluster
        print(f"tallowby-dask: cannot reach the cluster: {e}", file=sys.stderr)
        return EXIT_SHARD_FAILED
    try:
        threads = sum(client.nthreads().values()) or 1
        total = sum(os.path.getsize(p) for p in paths if os.path.isfile(p))
        shard_size = args.shard_size or default_shard_size(total, threads)
        shards = make_shards(paths, shard_size)
        try:
            partials = run_shards(client, args, shards, drop)
        except RunFailed as e:
            print(f"tallowby-dask: {e}; nothing was written", file=sys.stderr)
            return EXIT_SHARD_FAILED
        # The scanner's own messages (a log missing or unreadable), in order.
        for _, message, _ in partials:
            sys.stderr.write(message)
        sys.stderr.flush()
        return merge(args, partials, drop[0])
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


def exit_with(status):
    """Ends the program once main() is done: everything is written and the
    cluster closed, so it leaves without the interpreter's teardown of what
    distributed started, which takes a good part of a second."""
    sys.stdout.flush()
    sys.stderr.flush()
    os._exit(status)


if __name__ == "__main__":
    exit_with(main())
