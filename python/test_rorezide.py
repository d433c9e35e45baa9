#!/usr/bin/env python3
"""Tests of the rorezide package.

Against the source tree's module and a built library:

    ROREZIDE_LIBRARY=build/librorezide.so python3 python/test_rorezide.py

Against an installed package (the test command installs the wheel into a
fresh virtual environment and runs a copy of this file there), with
ROREZIDE_TEST_INSTALLED=1: the module and its library must then come from
the installed package.

Works on examples/sample.pdf (12 pages, each showing "Page N of 12"; its path
in ROREZIDE_SAMPLE when this file is not in the source tree). Which pages an
output holds is read with pdftotext when it is installed. ROREZIDE_VERSION,
when set, is the version __version__ must equal.
"""

import errno
import os
import pathlib
import shutil
import stat
import subprocess
import tempfile
import threading
import unittest

import rorezide

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.environ.get("ROREZIDE_SAMPLE") or os.path.join(HERE, os.pardir, "examples",
                                                           "sample.pdf")


def page_headings(path):
    """The "Page N of 12" numbers of a file, in page order."""
    text = subprocess.run(["pdftotext", "-layout", os.fspath(path), "-"], check=True,
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

    def test_series_return_their_files_in_page_order(self):
        out = os.path.join(self.dir, "all", "nested")
        written = rorezide.split_all(SAMPLE, out)
        self.assertEqual(written, [pathlib.Path(out, "page_%03d.pdf" % k) for k in range(1, 13)])
        self.assertEqual(sorted(os.listdir(out)), [p.name for p in written])
        self.assertPages(written[5], [6])

        written = rorezide.split_every_n(SAMPLE, 5, os.fsencode(self.path("chunks")))
        self.assertEqual(written, [pathlib.Path(self.dir, "chunks", "split_%03d.pdf" % k)
                                   for k in (1, 2, 3)])
        self.assertEqual(sorted(os.listdir(self.path("chunks"))), [p.name for p in written])
        self.assertPages(written[2], [11, 12])

    def test_single_outputs_return_their_path(self):
        cases = [
            (rorezide.split_range, (3, 5), [3, 4, 5]),
            (rorezide.split_pages, ((12, 1, 7, 1),), [12, 1, 7, 1]),
            (rorezide.split_remove, ([12, 2, 2, 1],), list(range(3, 12))),
        ]
        for fn, args, expected in cases:
            for out in (self.path("o.pdf"), pathlib.Path(self.dir, "p.pdf")):
                with self.subTest(fn=fn.__name__, out=type(out).__name__):
                    written = fn(SAMPLE, *args, out)
                    self.assertIsInstance(written, pathlib.Path)
                    self.assertEqual(written, pathlib.Path(out))
                    self.assertPages(written, expected)

    def test_aliases_are_the_command_line_names(self):
        self.assertIs(rorezide.burst, rorezide.split_all)
        self.assertIs(rorezide.pages, rorezide.split_pages)
        self.assertIs(rorezide.chunks, rorezide.split_every_n)
        self.assertIs(rorezide.remove, rorezide.split_remove)

    def test_version_is_the_librarys(self):
        expected = os.environ.get("ROREZIDE_VERSION")
        if not expected:
            self.skipTest("ROREZIDE_VERSION not set")
        self.assertEqual(rorezide.__version__, expected)


class Failures(WorkDir):
    def assertFails(self, kind, message, fn, *args):
        """fn(*args) raises `kind`, a RorezideError carrying `message`."""
        with self.assertRaises(kind) as ctx:
            fn(*args)
        self.assertIsInstance(ctx.exception, rorezide.RorezideError)
        self.assertEqual(ctx.exception.message, message)
        self.assertEqual(str(ctx.exception), message)
        self.assertEqual(rorezide.last_error(), message)
        return ctx.exception

    def test_page_refusals_are_value_errors(self):
        out = self.path("o.pdf")
        cases = [
            ("Invalid page range 0 to 5 (document has 12 pages)",
             rorezide.split_range, SAMPLE, 0, 5, out),
            ("Page index 13 out of range (document has 12 pages)",
             rorezide.split_pages, SAMPLE, [1, 13, 0], out),
            ("Invalid page array or page count <= 0", rorezide.split_pages, SAMPLE, [], out),
            ("Page index 0 out of range (1..12)", rorezide.split_remove, SAMPLE, [0], out),
            ("Cannot remove all pages from PDF (0 pages remaining)",
             rorezide.split_remove, SAMPLE, range(1, 13), out),
            ("Invalid chunk size n = -3 (must be >= 1)",
             rorezide.split_every_n, SAMPLE, -3, self.path("c")),
        ]
        for message, fn, *args in cases:
            with self.subTest(message=message):
                self.assertFails(ValueError, message, fn, *args)
        self.assertEqual(os.listdir(self.dir), [])

    def test_other_library_messages_are_rorezide_errors(self):
        junk = self.path("junk.pdf")
        with open(junk, "wb") as f:
            f.write(b"%PDF-1.4\nnothing here\n")
        e = self.assertFails(rorezide.RorezideError, "No PDF objects found in '%s'" % junk,
                             rorezide.page_count, junk)
        self.assertNotIsInstance(e, (OSError, ValueError))
        self.assertFails(rorezide.RorezideError, "NULL or empty output directory",
                         rorezide.split_all, SAMPLE, "")

    def test_inputs_that_cannot_be_opened_are_os_errors(self):
        missing = self.path("missing.pdf")
        e = self.assertFails(FileNotFoundError, "Cannot open input file '%s'" % missing,
                             rorezide.page_count, missing)
        self.assertEqual((e.filename, e.errno), (missing, errno.ENOENT))
        e = self.assertFails(IsADirectoryError, "Cannot open input file '%s'" % self.dir,
                             rorezide.split_range, self.dir, 1, 1, self.path("o.pdf"))
        self.assertEqual(e.filename, self.dir)
        e = self.assertFails(FileNotFoundError, "Cannot open input file '%s'" % missing,
                             rorezide.split_all, pathlib.Path(missing), self.path("d"))
        self.assertEqual(e.strerror, os.strerror(errno.ENOENT))
        self.assertEqual(os.listdir(self.dir), [])

    def test_outputs_that_cannot_be_opened_are_os_errors(self):
        out = os.path.join(self.dir, "no", "such", "o.pdf")
        e = self.assertFails(FileNotFoundError, "Cannot open output file '%s' for writing" % out,
                             rorezide.split_pages, SAMPLE, [1], out)
        self.assertEqual(e.filename, out)
        e = self.assertFails(IsADirectoryError,
                             "Cannot open output file '%s' for writing" % self.dir,
                             rorezide.split_range, SAMPLE, 1, 2, self.dir)
        # A series names the file it could not open; a regular file where
        # the directory should be leaves no reason to find but "not a
        # directory", which is a plain OSError.
        blocker = self.path("file")
        open(blocker, "wb").close()
        first = os.path.join(blocker, "sub") + "/page_001.pdf"
        e = self.assertFails(rorezide.OpenError, "Cannot open output file '%s' for writing" % first,
                             rorezide.split_all, SAMPLE, os.path.join(blocker, "sub"))
        self.assertEqual((e.filename, e.errno), (first, errno.ENOTDIR))
        self.assertNotIsInstance(e, (FileNotFoundError, IsADirectoryError, PermissionError))

    @unittest.skipIf(os.name == "nt" or os.geteuid() == 0,
                     "permission bits do not stop this user")
    def test_refused_access_is_a_permission_error(self):
        locked = self.path("locked.pdf")
        shutil.copyfile(SAMPLE, locked)
        os.chmod(locked, 0)
        self.assertFails(PermissionError, "Cannot open input file '%s'" % locked,
                         rorezide.page_count, locked)
        os.chmod(locked, stat.S_IRUSR)
        self.assertFails(PermissionError, "Cannot open output file '%s' for writing" % locked,
                         rorezide.split_range, SAMPLE, 1, 1, locked)

    def test_bad_arguments_are_refused_before_any_call(self):
        out = self.path("o.pdf")
        rorezide.init()
        cases = [
            (TypeError, rorezide.page_count, None),
            (TypeError, rorezide.split_all, SAMPLE, None),
            (TypeError, rorezide.split_range, 42, 1, 1, out),
            (TypeError, rorezide.split_pages, SAMPLE, [1], ["o.pdf"]),
            (TypeError, rorezide.split_pages, SAMPLE, [1.0], out),
            (TypeError, rorezide.split_pages, SAMPLE, "1,2", out),
            (TypeError, rorezide.split_remove, SAMPLE, b"\x01", out),
            (ValueError, rorezide.split_remove, SAMPLE, [], out),
            (ValueError, rorezide.split_range, SAMPLE, 1, 2 ** 32 + 1, out),
            (ValueError, rorezide.split_pages, SAMPLE, [1, -2 ** 31 - 1], out),
            (ValueError, rorezide.split_range, SAMPLE, 1, 1, out + "\0/../x"),
            (ValueError, rorezide.split_all, SAMPLE, os.fsencode(out) + b"\0x"),
            (ValueError, rorezide.page_count, SAMPLE + "\0"),
        ]
        for kind, fn, *args in cases:
            with self.subTest(fn=fn.__name__, args=args):
                with self.assertRaises(kind) as ctx:
                    fn(*args)
                self.assertNotIsInstance(ctx.exception, rorezide.RorezideError)
        self.assertEqual(rorezide.last_error(), "")
        self.assertEqual(os.listdir(self.dir), [])

    def test_a_success_empties_the_message(self):
        with self.assertRaises(rorezide.RorezideError):
            rorezide.page_count(self.path("missing.pdf"))
        self.assertNotEqual(rorezide.last_error(), "")
        self.assertEqual(rorezide.init(), 1)
        self.assertEqual(rorezide.last_error(), "")


class Loading(unittest.TestCase):
    def test_a_library_path_that_does_not_load_raises_oserror(self):
        with self.assertRaises(OSError):
            rorezide.load_library(os.path.join(HERE, "no-such-librorezide.so"))

    def test_the_environment_variable_follows_only_the_packages_copy(self):
        saved = os.environ.get("ROREZIDE_LIBRARY")
        os.environ["ROREZIDE_LIBRARY"] = "/no/such/librorezide.so"
        try:
            own = os.path.join(os.path.dirname(rorezide.__file__), rorezide._OWN_NAME)
            expected = [own] if os.path.exists(own) else []
            self.assertEqual(rorezide._candidates(), expected + ["/no/such/librorezide.so"])
            if not expected:
                with self.assertRaises(OSError):
                    rorezide.load_library()
        finally:
            if saved is None:
                del os.environ["ROREZIDE_LIBRARY"]
            else:
                os.environ["ROREZIDE_LIBRARY"] = saved


@unittest.skipUnless(os.environ.get("ROREZIDE_TEST_INSTALLED"), "not an installed package")
class Installed(unittest.TestCase):
    def test_the_package_brings_its_library_and_type_marker(self):
        package = os.path.dirname(os.path.abspath(rorezide.__file__))
        self.assertTrue(os.path.isfile(os.path.join(package, "py.typed")))
        # The test command points ROREZIDE_LIBRARY nowhere: the package's
        # own copy comes first.
        self.assertEqual(rorezide._library()._name, os.path.join(package, rorezide._OWN_NAME))
        self.assertEqual(rorezide.page_count(SAMPLE), 12)


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
