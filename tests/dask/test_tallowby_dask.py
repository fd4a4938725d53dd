"""tallowby-dask on local clusters of two worker processes (127.0.0.1 only):
its output must equal one tallowby-scan run byte for byte, also when a
worker dies mid-run, and a shard that fails for good must leave nothing."""

import logging
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

SCAN = os.environ["TALLOWBY_SCAN"]
LOGGEN = os.environ["TALLOWBY_LOGGEN"]
DRIVER = os.environ["TALLOWBY_DASK"]
SOURCE = os.environ["TALLOWBY_SOURCE_DIR"]
SHARD = "2000000"  # bytes: the generated log is cut into several ranges


def run(cmd):
    return subprocess.run(cmd, capture_output=True, check=False, timeout=120)


class DaskDriver(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from distributed import LocalCluster

        cls.tmp = tempfile.mkdtemp(prefix="tallowby-dask-test-")
        cls.generated = os.path.join(cls.tmp, "generated.log")
        subprocess.run([LOGGEN, "--lines", "40000", "--output", cls.generated], check=True)
        data = os.path.join(SOURCE, "tests", "data")
        # A compressed copy of a log too: the scanner decompresses it.
        cls.packed = os.path.join(cls.tmp, "mixed.log.1")
        with open(os.path.join(data, "mixed.log"), "rb") as plain, open(cls.packed, "wb") as out:
            out.write(zlib.compress(plain.read(), wbits=31))  # wbits 31: the gzip format
        cls.logs = [os.path.join(SOURCE, "samples", "access.log"), cls.generated,
                    os.path.join(data, "today.log"), os.path.join(data, "mixed.log"), cls.packed]
        cls.cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                   host="127.0.0.1", dashboard_address=None,
                                   silence_logs=logging.CRITICAL)

    @classmethod
    def tearDownClass(cls):
        cls.cluster.close()
        shutil.rmtree(cls.tmp)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def scanner_script(self, name, body):
        """A stand-in for tallowby-scan on the workers."""
        script = self.path(name)
        with open(script, "w") as f:
            f.write("#!/bin/sh\n" + body + f'exec "{SCAN}" "$@"\n')
        os.chmod(script, 0o755)
        return script

    def expect_equal_to_one_scan(self, driver_options, scan_options, tag):
        one = run([SCAN, *scan_options, "--html", self.path(tag + "-one.html"), *self.logs])
        got = run([DRIVER, *driver_options, "--shard-size", SHARD, *scan_options,
                   "--html", self.path(tag + "-dask.html"), *self.logs])
        self.assertEqual(got.returncode, one.returncode, got.stderr)
        self.assertEqual(got.stdout, one.stdout)
        self.assertEqual(got.stderr, one.stderr)
        with open(self.path(tag + "-one.html"), "rb") as a, \
                open(self.path(tag + "-dask.html"), "rb") as b:
            self.assertEqual(b.read(), a.read())

    def test_own_local_cluster_gives_one_scans_output(self):
        for workers in (["--workers", "2"], ["--workers", "2", "--processes"]):
            with self.subTest(workers=workers):
                self.expect_equal_to_one_scan([*workers, "--scanner", SCAN],
                                              ["-d", "mysite.example"], "local")

    def test_every_option_on_a_running_scheduler(self):
        # Batches of three shards are merged on the workers first.
        for options in (["--no-dupes", "--format", "json"],
                        ["--https", "--quoted", "--no-types"]):
            with self.subTest(options=options):
                self.expect_equal_to_one_scan(
                    ["--scheduler", self.cluster.scheduler_address, "--scanner", SCAN,
                     "--merge-batch", "3"],
                    ["-d", "mysite.example", *options], "options")

    def test_shard_of_a_killed_worker_runs_again_elsewhere(self):
        marker = self.path("killed")
        # The first shard to start kills the worker process running it.
        script = self.scanner_script(
            "killing-scan", f'if mkdir "{marker}" 2>/dev/null; then kill -9 $PPID; exit 9; fi\n')
        self.expect_equal_to_one_scan(
            ["--scheduler", self.cluster.scheduler_address, "--scanner", script,
             "--merger", SCAN], ["-d", "mysite.example"], "killed")
        self.assertTrue(os.path.isdir(marker))

    def test_shard_failing_for_good_leaves_nothing(self):
        script = self.scanner_script(
            "failing-scan",
            'for a in "$@"; do case "$a" in *today.log) echo "disk on fire" >&2; exit 2;; '
            'esac; done\n')
        got = run([DRIVER, "--scheduler", self.cluster.scheduler_address, "--scanner", script,
                   "--merger", SCAN, "--retries", "1", "-d", "mysite.example",
                   "--html", self.path("failed.html"), *self.logs])
        self.assertEqual(got.returncode, 3)
        self.assertEqual(got.stdout, b"")
        self.assertIn(b"shard " + self.logs[2].encode() + b" failed", got.stderr)
        self.assertIn(b"disk on fire", got.stderr)
        self.assertFalse(os.path.exists(self.path("failed.html")))


def read_partial(data):
    """A reader of the partial format written from its documentation alone."""
    if data[:8] != b"TLBYPART" or data[-8:] != b"TLBYEND\n":
        raise ValueError("not a whole partial")
    body, crc = data[:-12], struct.unpack("<I", data[-12:-8])[0]
    if zlib.crc32(body) != crc:
        raise ValueError("checksum")
    version, flags = struct.unpack_from("<II", body, 8)
    counters = struct.unpack_from("<5q", body, 16)
    at = 56
    (n,) = struct.unpack_from("<I", body, at)
    at += 4
    options = []
    for _ in range(n):
        (length,) = struct.unpack_from("<I", body, at)
        options.append(body[at + 4:at + 4 + length].decode())
        at += 4 + length
    (count,) = struct.unpack_from("<Q", body, at)
    at += 8
    entries = []
    for _ in range(count):
        position, clicks, code, bot, length = struct.unpack_from("<QQBBI", body, at)
        at += 22
        entries.append((position, clicks, code, bot, body[at:at + length]))
        at += length
    assert at == len(body)
    return version, flags, counters, options, entries


class PartialFormat(unittest.TestCase):
    def test_compressed_log_goes_whole_to_one_shard(self):
        sys.path.insert(0, os.path.join(SOURCE, "tools", "tallowby-dask"))
        import tallowby_dask

        table = [  # first bytes, cut into pieces
            (b"plain log line\n", True),
            (b"\x1f\x8b\x08\x00", False),            # gzip
            (b"BZh9", False),                          # bzip2
            (b"BZh0", True),                           # not bzip2: no block size 0
            (b"\xfd7zXZ\x00", False),                  # xz
            (b"\x28\xb5\x2f\xfd", False),              # zstd
            (b"\x5a\x2a\x4d\x18", False),              # zstd skippable frame
        ]
        folder = tempfile.mkdtemp(prefix="tallowby-dask-shards-")
        self.addCleanup(shutil.rmtree, folder)
        for head, cut in table:
            with self.subTest(head=head):
                name = os.path.join(folder, "head.bin")
                with open(name, "wb") as f:
                    f.write(head + b"x" * 200)
                shards = tallowby_dask.make_shards([name], 64)
                self.assertEqual(len(shards) > 1, cut, shards)
                if not cut:
                    self.assertEqual(shards, [(name, None, None)])

    def test_another_language_reads_what_the_scanner_writes(self):
        with tempfile.TemporaryDirectory() as tmp:
            partial = os.path.join(tmp, "p")
            log = os.path.join(SOURCE, "tests", "data", "combined.log")
            subprocess.run([SCAN, "-d", "mysite.example", "-q", "--format", "none",
                            "--partial", partial, log], check=True)
            with open(partial, "rb") as f:
                version, flags, counters, options, entries = read_partial(f.read())
        self.assertEqual((version, flags), (1, 1))
        self.assertEqual(options, ["domain=mysite.example", "dupes=1", "types=1", "https=0",
                                   "quoted=0"])
        files, lines, links, removed, spam = counters
        self.assertEqual((files, spam), (1, 0))
        self.assertEqual(len(entries), links - removed)
        self.assertEqual(sum(e[1] for e in entries), links)
        # Work-list order: ASCII letters folded, bytes unsigned, then arrival.
        keys = [(e[4].lower(), e[0]) for e in entries]
        self.assertEqual(keys, sorted(keys))
        self.assertEqual(len({e[0] for e in entries}), len(entries))


    def test_partial_stays_only_in_a_folder_the_worker_sees(self):
        sys.path.insert(0, os.path.join(SOURCE, "tools", "tallowby-dask"))
        import tallowby_dask

        log = os.path.join(SOURCE, "tests", "data", "combined.log")
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "token"), "w", encoding="ascii") as f:
                f.write("right")
            table = [  # the driver's folder as the worker is told of it, what comes back
                (None, bytes),
                ((folder, "wrong"), bytes),           # a folder of that name elsewhere
                ((folder + "-gone", "right"), bytes),  # no such folder here
                ((folder, "right"), str),             # its path, the partial left there
            ]
            got = []
            for drop, kind in table:
                with self.subTest(drop=drop):
                    data, _, status = tallowby_dask.scan_shard(
                        SCAN, ["-d", "mysite.example"], (log, None, None), drop, "p.partial")
                    self.assertEqual(status, 0)
                    self.assertIsInstance(data, kind)
                    if kind is str:
                        self.assertEqual(data, os.path.join(folder, "p.partial"))
                        with open(data, "rb") as f:
                            data = f.read()
                    got.append(data)
            self.assertEqual(got, [got[0]] * len(table))
            self.assertEqual(sorted(os.listdir(folder)), ["p.partial", "token"])

if __name__ == "__main__":
    sys.exit(unittest.main())
