"""tallowby-dask on local clusters of two worker processes (127.0.0.1 only):
its output must equal one tallowby-scan run byte for byte, with every scan
option, also when a worker dies mid-run, and a shard that fails for good
must leave nothing."""

import logging
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

SCAN = os.environ["TALLOWBY_SCAN"]
DRIVER = os.environ["TALLOWBY_DASK"]
SOURCE = os.environ["TALLOWBY_SOURCE_DIR"]
SHARD = "100000"  # bytes: the sample log is cut into several ranges

sys.path.insert(0, os.path.join(SOURCE, "tools", "tallowby-dask"))
import tallowby_dask  # noqa: E402
import tallowby_dask_cli  # noqa: E402


def run(cmd, cwd=None):
    return subprocess.run(cmd, capture_output=True, check=False, timeout=120, cwd=cwd)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class DaskDriver(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from distributed import LocalCluster

        cls.tmp = tempfile.mkdtemp(prefix="tallowby-dask-test-")
        data = os.path.join(SOURCE, "tests", "data")
        # A compressed copy of a log too: the scanner decompresses it.
        cls.packed = cls.path("mixed.log.1")
        with open(cls.packed, "wb") as out:
            out.write(zlib.compress(read(os.path.join(data, "mixed.log")), wbits=31))  # gzip
        # Referrers from hosts of the built-in spam list, and a list of hosts
        # of the sample log's own.
        with open(os.path.join(SOURCE, "resources", "referrer-spam.hosts")) as f:
            spammers = [h.strip() for h in f if h.strip() and not h.startswith("#")][:3]
        cls.spam = cls.path("spam.log")
        with open(cls.spam, "w") as f:
            for i, host in enumerate(spammers * 2):
                f.write(f'10.0.0.{i} - - [01/Oct/2023:00:00:0{i} +0000] "GET / HTTP/1.1" 200 1 '
                        f'"http://www.{host}/p{i % 2}" "agent"\n')
        cls.hosts = cls.path("hosts.txt")
        with open(cls.hosts, "w") as f:
            f.write("news1.test\nshop2.test\n")
        # A crawler list of its own, in the format of the built-in one: it
        # takes one browser of the sample log for a crawler.
        cls.crawlers = cls.path("crawlers.json")
        with open(cls.crawlers, "w") as f:
            f.write('[{"pattern": "Pixel 7", "instances": ["Mozilla/5.0 (Linux; Android 14; '
                    'Pixel 7)"]}]\n')
        cls.sources = os.path.join(SOURCE, "resources", "sources")  # as newer lists would be
        cls.logs = [os.path.join(SOURCE, "samples", "access.log"), os.path.join(data, "today.log"),
                    os.path.join(data, "mixed.log"), cls.packed, cls.spam]
        cls.cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                   host="127.0.0.1", dashboard_address=None,
                                   silence_logs=logging.CRITICAL)

    @classmethod
    def tearDownClass(cls):
        cls.cluster.close()
        shutil.rmtree(cls.tmp)

    @classmethod
    def path(cls, name):
        return os.path.join(cls.tmp, name)

    def scanner_script(self, name, body):
        """A stand-in for tallowby-scan on the workers."""
        script = self.path(name)
        with open(script, "w") as f:
            f.write("#!/bin/sh\n" + body + f'exec "{SCAN}" "$@"\n')
        os.chmod(script, 0o755)
        return script

    def expect_equal_to_one_scan(self, driver_options, scan_options, tag, logs=None, cwd=None,
                                 unread=False):
        """`unread`: a log cannot be read, and the merge notes so before the summary."""
        logs = logs or self.logs
        outputs = {w: [self.path(f"{tag}-{w}.html"), self.path(f"{tag}-{w}-report.html"),
                       self.path(f"{tag}-{w}.partial")] for w in ("one", "dask")}

        def files(who):
            return ["--html", outputs[who][0], "--report", outputs[who][1],
                    "--partial", outputs[who][2]]

        one = run([SCAN, *scan_options, *files("one"), *logs], cwd=cwd)
        got = run([DRIVER, *driver_options, "--shard-size", SHARD, *scan_options, *files("dask"),
                   *logs], cwd=cwd)
        self.assertEqual(got.returncode, one.returncode, got.stderr)
        self.assertEqual(got.stdout, one.stdout)
        expected = one.stderr.splitlines(keepends=True)
        if unread:
            expected.insert(-1, b"tallowby-scan: warning: some inputs of these partial results "
                                b"could not be read when they were made\n")
        self.assertEqual(got.stderr, b"".join(expected))
        for a, b in zip(outputs["one"], outputs["dask"]):
            self.assertEqual(read(b), read(a), b)

    def on_the_cluster(self, *options):
        return ["--scheduler", self.cluster.scheduler_address, "--scanner", SCAN, *options]

    def test_own_local_cluster_gives_one_scans_output(self):
        for workers in (["--workers", "2"], ["--workers", "2", "--processes"]):
            with self.subTest(workers=workers):
                self.expect_equal_to_one_scan([*workers, "--scanner", SCAN],
                                              ["-d", "mysite.example"], "local")

    def test_every_option_on_a_running_scheduler(self):
        table = [
            ["--no-dupes", "--format", "json", "--hide-spam", "--threads", "1"],
            ["--https", "--quoted", "--no-types", "--by-site", "-q"],
            ["--spam-list", self.hosts, "--by-site", "--format", "json", "--threads", "2"],
            ["--fields", "--no-crawlers", "--format", "json"],
            ["--fields", "--crawlers", self.crawlers, "--no-crawlers", "--by-site"],
            ["--by-source", "--format", "json"],
            ["--keywords", "--sources", self.sources],
        ]
        # Batches of three shards are merged on the workers first.
        for options in table:
            with self.subTest(options=options):
                self.expect_equal_to_one_scan(self.on_the_cluster("--merge-batch", "3"),
                                              ["-d", "mysite.example", *options], "options")
        # Each of tallowby-scan's options that the driver takes is tried above.
        tried = {word for options in table for word in options} | {"-d", "--html", "--report", "--partial"}
        for option in tallowby_dask_cli.SCAN_OPTIONS:
            self.assertTrue({option.flag, option.short} & tried, option.flag)

    def test_names_relative_to_the_drivers_folder(self):
        # The workers run in another folder than the driver.
        here = self.path("here")
        os.makedirs(here, exist_ok=True)
        for source in (self.logs[1], self.spam, self.hosts, self.crawlers):
            shutil.copy(source, here)
        for lists in (["--spam-list", "hosts.txt"],
                      ["--fields", "--no-crawlers", "--crawlers", "crawlers.json"]):
            with self.subTest(lists=lists):
                self.expect_equal_to_one_scan(
                    self.on_the_cluster(), ["-d", "mysite.example", *lists], "relative",
                    logs=["today.log", "gone.log", "spam.log"], cwd=here, unread=True)

    def test_wrong_command_lines_leave_nothing(self):
        log = self.path("kept.log")
        shutil.copy(self.logs[1], log)
        crawlers = self.path("kept-crawlers.json")
        shutil.copy(self.crawlers, crawlers)
        html = self.path("refused.html")
        table = [  # options and logs, exit status, what standard error says
            (["-"], 2, b"standard input (-) cannot be shared out"),
            (["--threads", "0", log], 2, b"--threads needs a whole number"),
            (["--format", "xml", log], 2, b"unknown format 'xml'"),
            (["--html", log, log], 2, b"is the input " + log.encode()),
            (["--fields", "--crawlers", crawlers, "--partial", crawlers, log], 2,
             b"is the input " + crawlers.encode()),
        ]
        for arguments, status, message in table:
            with self.subTest(arguments=arguments):
                got = run([DRIVER, *self.on_the_cluster(), "-d", "mysite.example", "--html",
                           html, *arguments])
                self.assertEqual(got.returncode, status, got.stderr)
                self.assertEqual(got.stdout, b"")
                self.assertIn(message, got.stderr)
                self.assertFalse(os.path.exists(html))
        self.assertEqual(read(log), read(self.logs[1]))
        self.assertEqual(read(crawlers), read(self.crawlers))
        # An unreadable spam list ends the run before any scan, as in one scan.
        missing = ["-d", "mysite.example", "--spam-list", self.path("no-such-list"), log]
        one = run([SCAN, *missing])
        got = run([DRIVER, *self.on_the_cluster(), *missing])
        self.assertEqual((got.returncode, got.stdout, got.stderr),
                         (one.returncode, one.stdout, one.stderr))

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
        self.assertIn(b"shard " + self.logs[1].encode() + b" failed", got.stderr)
        self.assertIn(b"disk on fire", got.stderr)
        self.assertFalse(os.path.exists(self.path("failed.html")))


class CommandLine(unittest.TestCase):
    def test_scan_options_are_those_of_tallowby_scan(self):
        helped = {}  # long name: (short name, whether it takes a value)
        for line in run([SCAN, "--help"]).stdout.decode().splitlines():
            m = re.match(r"\s+(?:(-\w), )?(--[\w-]+)( [A-Z])?", line)
            if m:
                helped[m.group(2)] = (m.group(1), m.group(3) is not None)
        self.assertIn("--domain", helped)
        cli = tallowby_dask_cli
        taken = {o.flag: (o.short, o.value is not None) for o in cli.SCAN_OPTIONS}
        self.assertEqual(taken, {f: helped[f] for f in helped if f not in cli.NOT_TAKEN})
        self.assertLessEqual(set(cli.NOT_TAKEN), set(helped))

    def test_help_ends_well_and_a_wrong_command_line_does_not(self):
        table = [  # arguments, exit status, whether the usage is on standard output
            (["--help"], 0, True),
            (["-h", "-d", "mysite.example", "a.log"], 0, True),
            ([], 2, False),
            (["-d", "mysite.example", "--no-such-option", "a.log"], 2, False),
        ]
        for arguments, status, usage_out in table:
            with self.subTest(arguments=arguments):
                got = run([DRIVER, *arguments])
                self.assertEqual(got.returncode, status, got.stderr)
                self.assertEqual(got.stdout.startswith(b"usage: tallowby-dask"), usage_out)
                self.assertEqual(got.stderr.startswith(b"usage: tallowby-dask"), not usage_out)

    def test_log_arguments_in_scan_order(self):
        folder = tempfile.mkdtemp(prefix="tallowby-dask-names-")
        self.addCleanup(shutil.rmtree, folder)
        for name in ("a[1].log", "a1.log", "b1.log", "b2.log"):
            open(os.path.join(folder, name), "w").close()
        table = [  # arguments, the logs in scan order (None: refused)
            (["a[1].log"], ["a[1].log"]),  # a file of that very name
            (["b[12].log", "a1.log"], ["b1.log", "b2.log", "a1.log"]),
            (["b*.log", "a[1].log", "b1.log"], ["b1.log", "b2.log", "a[1].log", "b1.log"]),
            (["c*.log"], None),
            (["-"], None),  # standard input: the workers have none of it
        ]
        for arguments, logs in table:
            with self.subTest(arguments=arguments):
                given = [a if a == "-" else os.path.join(folder, a) for a in arguments]
                if logs is None:
                    with self.assertRaises(tallowby_dask_cli.UsageError):
                        tallowby_dask_cli.expand_logs(given)
                else:
                    self.assertEqual(tallowby_dask_cli.expand_logs(given),
                                     [os.path.join(folder, n) for n in logs])


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
    fields = None
    if flags & 4:  # the field counts follow the options
        figures = struct.unpack_from("<12q", body, at)
        at += 96
        (n,) = struct.unpack_from("<I", body, at)
        at += 4
        files = []
        for _ in range(n):
            (length,) = struct.unpack_from("<I", body, at)
            files.append(body[at + 4:at + 4 + length].decode())
            at += 4 + length
        fields = (figures, files)
    (count,) = struct.unpack_from("<Q", body, at)
    at += 8
    entries = []
    for _ in range(count):
        position, clicks, code, bot, length = struct.unpack_from("<QQBBI", body, at)
        at += 22
        entries.append((position, clicks, code, bot, body[at:at + length]))
        at += length
    assert at == len(body)
    return version, flags, counters, options, entries, fields


class PartialFormat(unittest.TestCase):
    def test_compressed_log_goes_whole_to_one_shard(self):
        table = [  # first bytes, cut into pieces
            (b"plain log line\n", True),
            (b"\x1f\x8b\x08\x00", False),            # gzip
            (b"BZh91AY&SY", False),                    # bzip2
            (b"BZh11AY&SY", False),                    # bzip2, block size 1
            (b"BZh0", True),                           # not bzip2: no block size 0
            (b"BZh5 GET /", True),                     # a text that starts like bzip2
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
                version, flags, counters, options, entries, fields = read_partial(f.read())
        self.assertEqual((version, flags, fields), (1, 1, None))
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

    def test_another_language_reads_the_field_counts(self):
        with tempfile.TemporaryDirectory() as tmp:
            partial = os.path.join(tmp, "p")
            log = os.path.join(tmp, "a.log")
            with open(log, "w", encoding="ascii") as f:
                f.write('1.2.3.4 - - [10/Oct/2023:13:55:36 -0700] "GET / HTTP/1.1" 200 5 '
                        '"http://a.example/" "Mozilla/5.0"\nno layout\n')
            subprocess.run([SCAN, "-d", "mysite.example", "-q", "--format", "none", "--fields",
                            "--partial", partial, log], check=True)
            with open(partial, "rb") as f:
                version, flags, counters, options, entries, fields = read_partial(f.read())
        self.assertEqual((version, flags), (1, 1 | 4))
        self.assertEqual(options[-1], "fields=1")
        # unknown, combined, ... directive; no referrer, self, crawlers, left out
        self.assertEqual(fields, ((1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), []))
        self.assertEqual([e[4] for e in entries], [b"http://a.example/"])


    def test_partial_stays_only_in_a_folder_the_worker_sees(self):
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
    try:
        import distributed  # noqa: F401
    except ImportError:
        print("python3-distributed is not installed: skipped")
        sys.exit(77)
    unittest.main()
