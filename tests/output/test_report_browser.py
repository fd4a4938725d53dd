"""The report of the sample log as a real browser reads it: headless Chromium
(Debian's chromium) loads the page written by tallowby-scan --report once with
scripts on and once with scripts off, and its document must hold the summary,
the chart's bars and every row of both tables, as the scanner's own CSV
output and summary line give them; with scripts on, a click on a heading
sorts the table. Without chromium the test reports itself skipped (77).

The browser is driven over its DevTools pipe: --dump-dom reads the document
through the page's script engine and prints nothing when scripts are off,
while the protocol's DOM.getOuterHTML does not need it. No network: the page
needs none, and any request of the browser's own goes to a proxy that is not
there."""

import csv
import html.parser
import io
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import unittest
from decimal import ROUND_HALF_UP, Decimal

SCAN = os.environ["TALLOWBY_SCAN"]
SAMPLE = os.path.join(os.environ["TALLOWBY_SOURCE_DIR"], "samples", "access.log")
CHROMIUM = shutil.which("chromium")
DEADLINE = 60  # seconds for any one answer of the browser


class Browser:
    """One headless Chromium, spoken to over --remote-debugging-pipe."""

    def __init__(self, scripts):
        # Helpers of the browser may still leave files there as it closes.
        self.profile = tempfile.TemporaryDirectory(ignore_cleanup_errors=True)
        to_browser, self.out = os.pipe()
        self.inp, from_browser = os.pipe()
        args = [CHROMIUM, "--headless", "--disable-gpu", "--no-sandbox",
                "--remote-debugging-pipe", "--user-data-dir=" + self.profile.name,
                "--no-first-run", "--disable-background-networking", "--disable-sync",
                "--disable-component-update", "--proxy-server=http://127.0.0.1:9",
                "--window-size=1200,900", "about:blank"]
        if not scripts:
            args.insert(1, "--blink-settings=scriptEnabled=false")

        def pipes():  # the browser reads commands on fd 3, answers on fd 4
            a, b = os.dup(to_browser), os.dup(from_browser)
            os.dup2(a, 3)
            os.dup2(b, 4)

        self.process = subprocess.Popen(args, preexec_fn=pipes, close_fds=False,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self.buffer, self.next_id, self.events = b"", 0, []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable", session=True)

    def close(self):
        try:
            self.call("Browser.close")
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(DEADLINE)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.out)
        os.close(self.inp)
        self.profile.cleanup()

    def read(self):
        while b"\0" not in self.buffer:
            ready, _, _ = select.select([self.inp], [], [], DEADLINE)
            chunk = os.read(self.inp, 1 << 16) if ready else b""
            if not chunk:
                raise RuntimeError("chromium did not answer")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=False):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        while True:
            answer = self.read()
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer["result"]
            self.events.append(answer.get("method"))

    def load(self, path):
        self.events.clear()
        self.call("Page.navigate", {"url": "file://" + path}, session=True)
        while "Page.loadEventFired" not in self.events:
            self.events.append(self.read().get("method"))

    def document(self):
        root = self.call("DOM.getDocument", {"depth": -1}, session=True)["root"]
        return self.call("DOM.getOuterHTML", {"nodeId": root["nodeId"]}, session=True)["outerHTML"]

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True},
                           session=True)
        return result["result"].get("value")


class Page(html.parser.HTMLParser):
    """What a reader finds in the document: the rows of each table by its id,
    the items of each list by its id, and the chart's bars and labels."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.tables, self.lists, self.bars, self.labels = {}, {}, {}, {}
        self.table = self.list = self.cell = self.row = self.figure = None
        self.in_label = False
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "figure":
            self.figure = attrs.get("id")
        elif tag == "table":
            self.table = self.tables.setdefault(attrs.get("id"), [])
        elif tag == "ul" and "id" in attrs:
            self.list = self.lists.setdefault(attrs["id"], [])
        elif tag == "tr" and self.table is not None:
            self.row = []
        elif tag in ("td", "th", "li") and (self.row is not None or self.list is not None):
            self.cell = ""
        elif tag == "rect" and attrs.get("class") == "bar":
            self.bars[self.figure] = self.bars.get(self.figure, 0) + 1
        elif tag == "text" and attrs.get("class") == "label":
            self.in_label, self.cell = True, ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.row is not None:
            self.row.append(self.cell)
        elif tag == "li" and self.list is not None:
            self.list.append(self.cell)
        elif tag == "tr" and self.row is not None:
            self.table.append(self.row)
            self.row = None
        elif tag == "table":
            self.table = None
        elif tag == "ul":
            self.list = None
        elif tag == "text" and self.in_label:
            self.labels.setdefault(self.figure, []).append(self.cell)
            self.in_label = False
        elif tag == "figure":
            self.figure = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def share(part, whole):
    percent = (Decimal(part) * 100 / Decimal(whole)).quantize(Decimal("0.1"), ROUND_HALF_UP)
    return f"{percent}%"


def most_first(rows, clicks):
    return sorted(rows, key=lambda row: -int(row[clicks]))  # sorted() keeps ties in order


class ReportInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.report = os.path.join(cls.dir.name, "report.html")
        scan = [SCAN, "-d", "mysite.example", "--fields", SAMPLE]
        rows = subprocess.run(scan + ["--report", cls.report], capture_output=True, check=True,
                              text=True, timeout=120)
        sites = subprocess.run(scan + ["--by-site", "-q", "--report", cls.report + ".2"],
                               capture_output=True, check=True, text=True, timeout=120)
        cls.rows = list(csv.reader(io.StringIO(rows.stdout)))[1:]
        cls.sites = list(csv.reader(io.StringIO(sites.stdout)))[1:]
        sources = subprocess.run(scan + ["--by-source", "-q"], capture_output=True, check=True,
                                 text=True, timeout=120)
        cls.sources = list(csv.reader(io.StringIO(sources.stdout)))[1:]
        cls.summary = rows.stderr.strip().removeprefix("COMPLETE: ").split(" : ")
        with open(cls.report, encoding="utf-8") as a, open(cls.report + ".2", encoding="utf-8") as b:
            cls.written = a.read()
            cls.by_site = b.read()

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def expect_whole_report(self, page):
        figures = [[" ".join(f.split(" ")[1:]).capitalize(), f.split(" ")[0]]
                   for f in self.summary[:5]]
        self.assertEqual(page.tables["figures"], figures)
        self.assertEqual(page.lists["field-figures"], self.summary[5:])
        clicks = sum(int(row[1]) for row in self.rows)
        self.assertEqual(str(clicks), figures[2][1])  # links found

        referrers = [[t, str(int(c)), share(int(c), clicks), r]
                     for t, c, r in most_first(self.rows, 1)]
        self.assertEqual(page.tables["referrers-table"],
                         [["Type", "Clicks", "Share", "Referrer"]] + referrers)
        sites = [[s, str(int(p)), str(int(c)), share(int(c), clicks)]
                 for p, c, s in most_first(self.sites, 1)]
        self.assertEqual(page.tables["sites-table"],
                         [["Site", "Pages", "Clicks", "Share"]] + sites)
        self.assertEqual(page.bars["sites-chart"], min(20, len(sites)))
        self.assertEqual(page.labels["sites-chart"], [s[0] for s in sites[:20]])
        # The sources view as --by-source lists it, most clicks first; one
        # bar for each class that has clicks.
        sources = [[k, s, str(int(p)), str(int(c)), share(int(c), clicks)]
                   for k, s, p, c in most_first(self.sources, 3)]
        self.assertEqual(page.tables["sources-table"],
                         [["Class", "Source", "Pages", "Clicks", "Share"]] + sources)
        self.assertEqual(page.labels["classes-chart"],
                         [k for k in ("search", "social", "ai", "website", "spam")
                          if any(row[0] == k for row in sources)])

    def test_scripts_off_show_every_table_and_the_chart(self):
        self.assertTrue(self.written.startswith("<!DOCTYPE html>"))
        self.assertIn('<meta name="generator" content="Tallowby">', self.written[:1024])
        self.assertEqual(self.by_site, self.written)
        browser = Browser(scripts=False)
        try:
            browser.load(self.report)
            self.expect_whole_report(Page(browser.document()))
        finally:
            browser.close()

    def test_scripts_on_sort_a_table_on_a_click_on_a_heading(self):
        browser = Browser(scripts=True)
        try:
            browser.load(self.report)
            self.expect_whole_report(Page(browser.document()))
            column = ("Array.from(document.querySelectorAll('#referrers-table tbody tr'))"
                      ".map(r => r.cells[%d].textContent)")
            click = "document.querySelectorAll('#referrers-table th')[%d].click()"
            by_clicks = most_first(self.rows, 1)
            browser.evaluate(click % 1)  # shown most first: now least first
            least_first = sorted(by_clicks, key=lambda row: int(row[1]))
            self.assertEqual(browser.evaluate(column % 3), [r[2] for r in least_first])
            browser.evaluate(click % 1)
            self.assertEqual(browser.evaluate(column % 3), [r[2] for r in by_clicks])
            browser.evaluate(click % 3)
            self.assertEqual(browser.evaluate(column % 3),
                             sorted((r[2] for r in by_clicks), key=str.lower))
        finally:
            browser.close()


if __name__ == "__main__":
    if CHROMIUM is None:
        print("chromium is not installed (scripts/install-deps.sh installs it): skipped")
        sys.exit(77)
    unittest.main()
