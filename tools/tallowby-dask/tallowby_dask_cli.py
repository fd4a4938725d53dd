"""The command line of tallowby-dask: its own options, those it takes from
tallowby-scan and passes on, and the checks made before any work."""

import argparse
import glob
import os
import subprocess
import sys

EXIT_USAGE = 2
EXIT_SHARD_FAILED = 3


class UsageError(Exception):
    pass


class ScanOption:
    """One option of tallowby-scan as the driver takes it, passed on as
    given: to every shard's scan and to the merge (which checks the scan
    options against those its partials record), or to the merge alone
    (`shards` false). `writes`: it names a file the run writes."""

    def __init__(self, flag, short=None, value=None, shards=True, writes=False):
        self.flag, self.short, self.value = flag, short, value
        self.shards, self.writes = shards, writes
        self.dest = flag[2:].replace("-", "_")

    def passed(self, args):
        """The option for tallowby-scan's command line; [] when not given."""
        given = getattr(args, self.dest)
        if self.value is None:
            return [self.flag] if given else []
        return [] if given is None else [self.flag, given]


# Every option of tallowby-scan is here or in NOT_TAKEN (a test holds both
# against `tallowby-scan --help`). Names in them (logs, --spam-list,
# --crawlers) mean on the workers what they mean here: see
# tallowby_dask.scan_shard().
SCAN_OPTIONS = (
    ScanOption("--domain", "-d", "DOMAIN"),
    ScanOption("--no-dupes"),
    ScanOption("--no-types"),
    ScanOption("--https"),
    ScanOption("--quoted"),
    ScanOption("--hide-spam"),
    ScanOption("--spam-list", value="FILE"),
    ScanOption("--fields"),
    ScanOption("--no-crawlers"),
    ScanOption("--crawlers", value="FILE"),
    ScanOption("--threads", value="N"),  # each shard's scan, and the merge's output
    ScanOption("--by-site", shards=False),
    ScanOption("--by-source", shards=False),
    ScanOption("--keywords", shards=False),
    ScanOption("--sources", value="DIR", shards=False),
    ScanOption("--format", value="FORMAT", shards=False),
    ScanOption("--html", value="FILE", shards=False, writes=True),
    ScanOption("--report", value="FILE", shards=False, writes=True),
    ScanOption("--partial", value="FILE", shards=False, writes=True),
    ScanOption("--quiet", "-q", shards=False),
)

NOT_TAKEN = {
    "--range": "the driver cuts the logs into ranges itself",
    "--merge": "the driver merges the shards' partials itself",
    "--help": "the driver has its own",
    "--version": "tallowby-scan --version tells that of the scanner that runs",
}


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="tallowby-dask", allow_abbrev=False,
        description="Scan web-server logs for referrers on a Dask cluster; "
        "the output equals one tallowby-scan run over all the logs in order.",
    )
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="a running Dask scheduler (tcp://host:8786); without it, "
                   "a local cluster of one worker per core, each running its scanners")
    p.add_argument("--workers", type=int, metavar="N",
                   help="workers of the local cluster (default: cores)")
    p.add_argument("--processes", action="store_true",
                   help="the local cluster's workers as processes of their own, each "
                   "restartable alone (slower to start; default: threads of the driver)")
    p.add_argument("--scanner", default="tallowby-scan", metavar="PATH",
                   help="tallowby-scan as the workers find it (default: on PATH)")
    p.add_argument("--merger", metavar="PATH",
                   help="tallowby-scan here, for the merge (default: --scanner)")
    p.add_argument("--shard-size", type=int, metavar="BYTES",
                   help="cut files bigger than this into ranges (default: the logs' "
                   "total over the worker threads, from 16 MB to 512 MB)")
    p.add_argument("--merge-batch", type=int, default=32, metavar="N",
                   help="with more than N shards, merge the partials of every N "
                   "consecutive shards on a worker first (default 32)")
    p.add_argument("--retries", type=int, default=2, metavar="N",
                   help="runs of a failed shard after the first (default 2); a shard "
                   "whose worker dies runs again elsewhere in any case")
    scan = p.add_argument_group(
        "options of tallowby-scan (see tallowby-scan --help)",
        "--by-site, --by-source, --keywords, --sources, --format, --html, "
        "--report, --partial and --quiet shape the merged output; the others go "
        "to the scan of every shard as well")
    for option in SCAN_OPTIONS:
        names = [n for n in (option.short, option.flag) if n]
        if option.value is None:
            scan.add_argument(*names, action="store_true")
        else:
            scan.add_argument(*names, metavar=option.value)
    p.add_argument("logs", nargs="+", metavar="LOG",
                   help="log paths or glob patterns, in scan order")
    try:
        args = p.parse_args(argv)
    except SystemExit as e:
        if e.code == 0:  # --help, which argparse has printed: the run ends well
            raise
        raise UsageError() from e
    if args.shard_size is not None and args.shard_size < 1:
        raise UsageError("--shard-size must be at least 1")
    if args.merge_batch < 2:
        raise UsageError("--merge-batch must be at least 2")
    return args


def scan_options(args):
    """The options every shard's scan runs with."""
    return [word for o in SCAN_OPTIONS if o.shards for word in o.passed(args)]


def output_options(args, writing=True):
    """The options that shape the merged output (without those that name
    files to write, unless `writing`)."""
    return [word for o in SCAN_OPTIONS if not o.shards and (writing or not o.writes)
            for word in o.passed(args)]


def expand_logs(patterns):
    """Paths in scan order: each pattern's matches sorted, a plain path (or
    the name of a file that exists, brackets and all) as is. Standard input
    cannot be shared out."""
    paths = []
    for pattern in patterns:
        if pattern == "-":
            raise UsageError("standard input (-) cannot be shared out to the workers: "
                             "give the log as a file")
        if glob.has_magic(pattern) and not os.path.lexists(pattern):
            matches = sorted(glob.glob(pattern))
            if not matches:
                raise UsageError(f"no log matches '{pattern}'")
            paths.extend(matches)
        else:
            paths.append(pattern)
    return paths


def refuse_writing_over_inputs(args, paths):
    """An output file that is one of the logs, the spam list or the crawler
    list would be written over once they are read: refused before anything
    runs."""
    inputs = [*paths, *(f for f in (args.spam_list, args.crawlers) if f)]
    for option in SCAN_OPTIONS:
        target = getattr(args, option.dest) if option.writes else None
        if target is None:
            continue
        try:
            written = os.stat(target)
        except OSError:
            continue
        for path in inputs:
            try:
                read = os.stat(path)
            except OSError:
                continue
            if (read.st_dev, read.st_ino) == (written.st_dev, written.st_ino):
                raise UsageError(f"{option.flag} {target} is the input {path}: "
                                 "it would be written over")


def check_options(merger, args, workdir):
    """tallowby-scan's own check of the command line: the merger scans an
    empty log with the shards' and the output's options, so a wrong value,
    or a spam or crawler list that cannot be read, is told as one scan tells
    it, before any work. None when all is well, else the exit status to leave with."""
    empty = os.path.join(workdir, "empty.log")
    with open(empty, "wb"):
        pass
    run = subprocess.run([merger, *scan_options(args), *output_options(args, writing=False),
                          "--quiet", "--", empty],
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, check=False)
    if run.returncode == 0:
        return None
    lines = run.stderr.decode("utf-8", "replace").splitlines(keepends=True)
    if run.returncode == EXIT_USAGE:
        # What is wrong; the usage lines after it are the scanner's.
        sys.stderr.write("".join(lines[:1]) + "Try 'tallowby-dask --help' for more information.\n")
        return EXIT_USAGE
    sys.stderr.write("".join(lines))
    return run.returncode if run.returncode == 1 else EXIT_SHARD_FAILED
