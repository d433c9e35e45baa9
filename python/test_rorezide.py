#!/usr/bin/env python3
"""Tests of the ctypes wrapper against the built library.

    ROREZIDE_LIBRARY=build/librorezide.so python3 python/test_rorezide.py

Works on examples/sample.pdf (12 pages, each showing "Page N of 12"). Which
pages an output holds is read with pdftotext when it is installed.
"""

import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import rorezide  # noqa: E402

SAMPLE = os.path.join(HERE, os.pardir, "examples", "sample.pdf")


def page_headings(path):
    """The "Page N of 12" numbers of a file, in page order."""
    text = subprocess.run(["pdftotext", "-layout", path, "-"], check=True,
                          capture_output=True, text=True).stdout
    return [int(line.split()[1]) for line in text.splitlines()
            if line.strip().startswith("Page ") and line.strip().endswith(" of 12")]


class WorkDir(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="rorezide-py-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def assertPages(self, path, expected):
        """The file holds len(expected) pages, and with pdftotext present,
        exactly these pages of the sample in this order."""
        self.assertEqual(rorezide.page_count(path), len(expected))
        if shutil.which("pdftotext"):
            self.assertEqual(page_headings(path), expected)


class Operations(WorkDir):
    def test_page_count_of_the_sample(self):
        self.assertEqual(rorezide.page_count(SAMPLE), 12)
        self.assertEqual(rorezide.page_count(pathlib.Path(SAMPLE)), 12)
        self.assertEqual(rorezide.page_count(os.fsencode(SAMPLE)), 12)
        self.assertEqual(rorezide.last_error(), "")

    def test_split_all_writes_one_file_per_page(self):
        out = self.path("all/nested")
        rorezide.split_all(SAMPLE, out)
        names = sorted(os.listdir(out))
        self.assertEqual(names, ["page_%03d.pdf" % k for k in range(1, 13)])
        self.assertPages(os.path.join(out, "page_006.pdf"), [6])

    def test_split_range(self):
        rorezide.split_range(SAMPLE, 3, 5, self.path("r.pdf"))
        self.assertPages(self.path("r.pdf"), [3, 4, 5])

    def test_split_pages_keeps_order_and_duplicates(self):
        rorezide.split_pages(SAMPLE, (12, 1, 7, 1), self.path("p.pdf"))
        self.assertPages(self.path("p.pdf"), [12, 1, 7, 1])

    def test_split_every_n_leaves_the_rest_in_the_last_chunk(self):
        rorezide.split_every_n(SAMPLE, 5, self.path("chunks"))
        self.assertEqual(sorted(os.listdir(self.path("chunks"))),
                         ["split_001.pdf", "split_002.pdf", "split_003.pdf"])
        self.assertPages(self.path("chunks/split_003.pdf"), [11, 12])

    def test_split_remove_keeps_document_order(self):
        rorezide.split_remove(SAMPLE, [12, 2, 2, 1], self.path("rest.pdf"))
        self.assertPages(self.path("rest.pdf"), list(range(3, 12)))

    def test_split_remove_with_no_pages_writes_everything(self):
        rorezide.split_remove(SAMPLE, [], self.path("all.pdf"))
        self.assertPages(self.path("all.pdf"), list(range(1, 13)))


class Failures(WorkDir):
    def assertFails(self, message, fn, *args):
        with self.assertRaises(rorezide.RorezideError) as ctx:
            fn(*args)
        self.assertEqual(ctx.exception.message, message)
        self.assertEqual(str(ctx.exception), message)
        self.assertEqual(rorezide.last_error(), message)

    def test_library_messages_come_through_unchanged(self):
        missing = self.path("missing.pdf")
        out = self.path("o.pdf")
        self.assertFails("Cannot open input file '%s'" % missing, rorezide.page_count, missing)
        self.assertFails("NULL input path", rorezide.page_count, None)
        self.assertFails("Invalid page range 0 to 5 (document has 12 pages)",
                         rorezide.split_range, SAMPLE, 0, 5, out)
        self.assertFails("Page index 13 out of range (document has 12 pages)",
                         rorezide.split_pages, SAMPLE, [1, 13, 0], out)
        self.assertFails("Invalid page array or page count <= 0",
                         rorezide.split_pages, SAMPLE, [], out)
        self.assertFails("Page index 0 out of range (1..12)",
                         rorezide.split_remove, SAMPLE, [0], out)
        self.assertFails("Cannot remove all pages from PDF (0 pages remaining)",
                         rorezide.split_remove, SAMPLE, range(1, 13), out)
        self.assertFails("Invalid chunk size n = -3 (must be >= 1)",
                         rorezide.split_every_n, SAMPLE, -3, self.path("c"))
        self.assertFails("NULL or empty output directory", rorezide.split_all, SAMPLE, "")
        self.assertFalse(os.path.exists(out))

    def test_a_success_empties_the_message(self):
        with self.assertRaises(rorezide.RorezideError):
            rorezide.page_count(self.path("missing.pdf"))
        self.assertNotEqual(rorezide.last_error(), "")
        self.assertEqual(rorezide.init(), 1)
        self.assertEqual(rorezide.last_error(), "")

    def test_numbers_that_do_not_fit_an_int_are_refused_before_the_call(self):
        with self.assertRaises(ValueError):
            rorezide.split_range(SAMPLE, 1, 2 ** 32 + 1, self.path("o.pdf"))
        with self.assertRaises(ValueError):
            rorezide.split_pages(SAMPLE, [1, -2 ** 31 - 1], self.path("o.pdf"))
        with self.assertRaises(TypeError):
            rorezide.split_pages(SAMPLE, [1.0], self.path("o.pdf"))
        self.assertFalse(os.path.exists(self.path("o.pdf")))

    def test_paths_with_a_nul_byte_are_refused_before_the_call(self):
        out = self.path("o.pdf")
        for call in (lambda: rorezide.split_range(SAMPLE, 1, 1, out + "\0/../x"),
                     lambda: rorezide.split_all(SAMPLE, os.fsencode(out) + b"\0x"),
                     lambda: rorezide.page_count(SAMPLE + "\0")):
            with self.assertRaises(ValueError):
                call()
        self.assertEqual(os.listdir(self.dir), [])


class Loading(unittest.TestCase):
    def test_a_library_path_that_does_not_load_raises_oserror(self):
        with self.assertRaises(OSError):
            rorezide.load_library(os.path.join(HERE, "no-such-librorezide.so"))

    def test_the_environment_variable_is_the_only_candidate_when_set(self):
        saved = os.environ.get("ROREZIDE_LIBRARY")
        os.environ["ROREZIDE_LIBRARY"] = "/no/such/librorezide.so"
        try:
            self.assertEqual(rorezide._candidates(), ["/no/such/librorezide.so"])
            with self.assertRaises(OSError):
                rorezide.load_library()
        finally:
            if saved is None:
                del os.environ["ROREZIDE_LIBRARY"]
            else:
                os.environ["ROREZIDE_LIBRARY"] = saved


class Threads(WorkDir):
    def test_each_thread_gets_its_own_calls_message(self):
        # Calls from many threads are serialised, so every failure carries
        # the message of its own call, never another thread's.
        problems = []

        def work(i):
            missing = self.path("missing-%d.pdf" % i)
            for _ in range(20):
                try:
                    rorezide.page_count(missing)
                    problems.append("no failure")
                except rorezide.RorezideError as e:
                    if e.message != "Cannot open input file '%s'" % missing:
                        problems.append(e.message)
                if rorezide.page_count(SAMPLE) != 12:
                    problems.append("count")

        threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(problems, [])


if __name__ == "__main__":
    unittest.main()
