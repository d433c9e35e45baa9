"""Python access to the rorezide library, through ctypes.

    import rorezide
    rorezide.page_count("in.pdf")                      # 12
    rorezide.burst("in.pdf", "out")                    # [Path('out/page_001.pdf'), ...]
    rorezide.split_range("in.pdf", 2, 4, "p2-4.pdf")   # Path('p2-4.pdf')
    rorezide.pages("in.pdf", [3, 1, 3], "picked.pdf")  # Path('picked.pdf')
    rorezide.chunks("in.pdf", 5, "parts")              # [Path('parts/split_001.pdf'), ...]
    rorezide.remove("in.pdf", [1], "rest.pdf")         # Path('rest.pdf')

burst, pages, chunks and remove are the names of the command line's
subcommands; split_all, split_pages, split_every_n and split_remove are the
same functions under their first names.

Page numbers are 1-based. Paths may be str, bytes or path-like objects; on
Windows the library reads them in the process's ANSI code page, so str paths
are encoded to it (a name it cannot hold raises UnicodeEncodeError).

Errors. Every failure the library reports raises RorezideError, whose
`message` (and str()) is the library's text exactly. Some failures are also
Python's own exception types:
  - an input or output that cannot be opened: OpenError, which is an OSError
    with `filename` and, when the system's reason can be found, `errno` and
    `strerror`; by that reason also FileNotFoundError, IsADirectoryError or
    PermissionError;
  - a page number, range or chunk size the library refuses: PageError, which
    is a ValueError.
Arguments are checked before any call: a path that is None or not a path
raises TypeError, a path holding a NUL byte or a number that does not fit a
C int raises ValueError.

The shared library is looked for, in this order: the copy built into this
package (librorezide.so, rorezide.dll on Windows); the path in the
environment variable ROREZIDE_LIBRARY; next to the package, librorezide.so.0
or librorezide.so (rorezide.dll on Windows); the system loader's search
(ctypes.util.find_library, then "librorezide.so.0" or "rorezide.dll").

The library keeps one process-wide message buffer, so it must be called one
call at a time; this module holds a lock around every call and the reading of
its message, so threads may share it.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import errno
import operator
import os
import stat
import threading
from pathlib import Path
from typing import Iterable, List, Optional, Union

__version__ = "0.1.0"

__all__ = [
    "RorezideError", "OpenError", "PageError", "load_library", "page_count",
    "split_all", "split_range", "split_pages", "split_every_n", "split_remove",
    "burst", "pages", "chunks", "remove", "last_error", "init", "cleanup",
]

PathArg = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

_INT_MIN = -(2 ** 31)
_INT_MAX = 2 ** 31 - 1

_WINDOWS = os.name == "nt"
# The copy the package build places inside the package.
_OWN_NAME = "rorezide.dll" if _WINDOWS else "librorezide.so"
# The library's file names elsewhere, the one to ask the system loader for
# first.
_NAMES = ("rorezide.dll",) if _WINDOWS else ("librorezide.so.0", "librorezide.so")
# Paths and messages between Python text and the library's bytes.
_ENCODING = "mbcs" if _WINDOWS else None

_lock = threading.Lock()
_lib = None


class RorezideError(Exception):
    """A failure reported by the library; `message` is its text exactly."""

    def __init__(self, message: str) -> None:
        super().__init__(message)
        self.message = message

    def __str__(self) -> str:
        return self.message

    def __repr__(self) -> str:
        return "%s(%r)" % (type(self).__name__, self.message)


class PageError(RorezideError, ValueError):
    """A page number, page list, range or chunk size the library refused."""


class OpenError(RorezideError, OSError):
    """An input or output file the library could not open. `filename` is
    the file the library names; `errno` and `strerror` are the system's
    reason when one could be found, else None."""

    def __init__(self, message: str, filename: str, code: Optional[int] = None) -> None:
        OSError.__init__(self, code, os.strerror(code) if code else None, filename)
        self.message = message


class OpenNotFoundError(OpenError, FileNotFoundError):
    """The file, or a directory on its path, does not exist."""


class OpenIsADirectoryError(OpenError, IsADirectoryError):
    """The path names a directory."""


class OpenPermissionError(OpenError, PermissionError):
    """The system refused access."""


_OPEN_ERRORS = {
    errno.ENOENT: OpenNotFoundError,
    errno.EISDIR: OpenIsADirectoryError,
    errno.EACCES: OpenPermissionError,
    errno.EPERM: OpenPermissionError,
}

# How the library's messages begin, by the kind of failure.
_INPUT_OPEN = (b"Cannot open input file '", b"'")
_OUTPUT_OPEN = (b"Cannot open output file '", b"' for writing")
_PAGE_REFUSALS = (b"Invalid page range ", b"Page index ", b"Invalid page array",
                  b"Invalid chunk size ", b"Cannot remove all pages", b"Page count must be")


def _candidates() -> List[str]:
    """Library paths to try, in order."""
    package = os.path.dirname(os.path.abspath(__file__))
    names = []
    own = os.path.join(package, _OWN_NAME)
    if os.path.exists(own):
        names.append(own)
    env = os.environ.get("ROREZIDE_LIBRARY")
    if env:
        # An explicit choice is the only other candidate: falling back to
        # some other copy would hide a wrong setting.
        return names + [env]
    beside = os.path.dirname(package)
    names += [p for p in (os.path.join(beside, n) for n in _NAMES) if os.path.exists(p)]
    found = ctypes.util.find_library("rorezide")
    if found:
        names.append(found)
    names.append(_NAMES[0])
    return names


def _declare(lib: ctypes.CDLL) -> ctypes.CDLL:
    """The nine functions' argument and result types."""
    c_int, c_char_p = ctypes.c_int, ctypes.c_char_p
    int_array = ctypes.POINTER(ctypes.c_int)
    signatures = {
        "rorezide_init": ([], c_int),
        "rorezide_cleanup": ([], None),
        "rorezide_last_error": ([], c_char_p),
        "rorezide_page_count": ([c_char_p], c_int),
        "rorezide_all": ([c_char_p, c_char_p], c_int),
        "rorezide_range": ([c_char_p, c_int, c_int, c_char_p], c_int),
        "rorezide_pages": ([c_char_p, int_array, c_int, c_char_p], c_int),
        "rorezide_every_n": ([c_char_p, c_int, c_char_p], c_int),
        "rorezide_remove": ([c_char_p, int_array, c_int, c_char_p], c_int),
    }
    for name, (args, result) in signatures.items():
        fn = getattr(lib, name)
        fn.argtypes = args
        fn.restype = result
    return lib


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """Loads the shared library (from `path`, else as described above) and
    declares its functions. Raises OSError when no candidate loads."""
    names = [path] if path else _candidates()
    errors = []
    for name in names:
        try:
            return _declare(ctypes.CDLL(name))
        except OSError as e:
            errors.append("%s: %s" % (name, e))
    raise OSError("cannot load the rorezide library (set ROREZIDE_LIBRARY to its path): "
                  + "; ".join(errors))


def _library() -> ctypes.CDLL:
    global _lib
    if _lib is None:
        _lib = load_library()
    return _lib


# ---- arguments ---------------------------------------------------------------

def _path(p: PathArg, what: str) -> bytes:
    """The path as bytes for the C library (on Windows in the ANSI code
    page, which the library reads paths in). A NUL byte would end the path
    early there, so that some other file would be read or written: such a
    path is refused, as Python's own file functions refuse it."""
    if p is None:
        raise TypeError("%s must be a path (str, bytes or os.PathLike), not None" % what)
    try:
        p = os.fspath(p)
    except TypeError:
        raise TypeError("%s must be a path (str, bytes or os.PathLike), not %s"
                        % (what, type(p).__name__)) from None
    if isinstance(p, str) and _ENCODING:
        encoded = p.encode(_ENCODING)
    else:
        encoded = os.fsencode(p)
    if b"\0" in encoded:
        raise ValueError("embedded null byte in path")
    return encoded


def _int(value: int, what: str) -> int:
    """A Python integer that fits a C int, which ctypes would otherwise cut
    silently."""
    v = operator.index(value)
    if v < _INT_MIN or v > _INT_MAX:
        raise ValueError("%s %d does not fit a C int" % (what, v))
    return v


def _page_array(pages: Iterable[int]):
    """(array, count) for an iterable of page numbers; (None, 0) when empty,
    which the library reads as no list. Text is refused: iterating it would
    give characters (or, for bytes, their codes) rather than pages."""
    if isinstance(pages, (str, bytes, bytearray)):
        raise TypeError("pages must be integers, not %s" % type(pages).__name__)
    values = [_int(p, "page number") for p in pages]
    if not values:
        return None, 0
    return (ctypes.c_int * len(values))(*values), len(values)


def _text(path: bytes) -> str:
    """A path from the library's side as Python text."""
    return path.decode(_ENCODING) if _ENCODING else os.fsdecode(path)


# ---- failures ----------------------------------------------------------------

def _input_errno(path: Union[str, bytes]) -> Optional[int]:
    """The system's reason an input could not be opened, or None. The
    library refuses anything but a regular file before opening it, so a
    directory is reported as EISDIR."""
    try:
        st = os.stat(path)
    except OSError as e:
        return e.errno
    if stat.S_ISDIR(st.st_mode):
        return errno.EISDIR
    if not stat.S_ISREG(st.st_mode):
        return None
    try:
        with open(path, "rb"):
            pass
    except OSError as e:
        return e.errno
    return None


def _output_errno(path: Union[str, bytes]) -> Optional[int]:
    """The system's reason an output could not be opened for writing, or
    None; nothing is created to find it."""
    try:
        st = os.stat(path)
    except FileNotFoundError:
        parent = os.path.dirname(path) or (b"." if isinstance(path, bytes) else ".")
        try:
            st = os.stat(parent)
        except OSError as e:
            return e.errno
        if not stat.S_ISDIR(st.st_mode):
            return errno.ENOTDIR
        return None if os.access(parent, os.W_OK) else errno.EACCES
    except OSError as e:
        return e.errno
    if stat.S_ISDIR(st.st_mode):
        return errno.EISDIR
    return None if os.access(path, os.W_OK) else errno.EACCES


def _error(raw: bytes) -> RorezideError:
    """The exception for the library's message `raw`."""
    message = raw.decode(_ENCODING or "utf-8", "replace")
    for (head, tail), probe in ((_INPUT_OPEN, _input_errno), (_OUTPUT_OPEN, _output_errno)):
        if raw.startswith(head) and raw.endswith(tail) and len(raw) >= len(head) + len(tail):
            named = raw[len(head):len(raw) - len(tail)]
            # Windows reads bytes paths as UTF-8, the library as the ANSI
            # code page: probe with the text the library saw.
            code = probe(_text(named) if _WINDOWS else named)
            return _OPEN_ERRORS.get(code, OpenError)(message, _text(named), code)
    if raw.startswith(_PAGE_REFUSALS):
        return PageError(message)
    return RorezideError(message)


def _call(lib: ctypes.CDLL, name: str, *args) -> None:
    """Calls a split function; raises its failure. The caller holds the
    lock."""
    if getattr(lib, name)(*args) != 1:
        raise _error(lib.rorezide_last_error())


def _numbered(outdir: bytes, stem: str, width: int, count: int) -> List[Path]:
    """The names the library gives a series of files: stem_001.pdf ..."""
    base = Path(_text(outdir))
    return [base / ("%s_%0*d.pdf" % (stem, width, k)) for k in range(1, count + 1)]


def _count(lib: ctypes.CDLL, path: bytes) -> int:
    n = lib.rorezide_page_count(path)
    if n < 0:
        raise _error(lib.rorezide_last_error())
    return n


# ---- the library's functions -------------------------------------------------

def init() -> int:
    """Empties the library's message; optional. Returns 1."""
    lib = _library()
    with _lock:
        return lib.rorezide_init()


def cleanup() -> None:
    """Empties the library's message; optional."""
    lib = _library()
    with _lock:
        lib.rorezide_cleanup()


def last_error() -> str:
    """The message of the library's last failed call, or ""."""
    lib = _library()
    with _lock:
        return lib.rorezide_last_error().decode(_ENCODING or "utf-8", "replace")


def page_count(path: PathArg) -> int:
    """The number of pages of the PDF at `path`. Writes nothing.

    Raises OpenError (an OSError, such as FileNotFoundError) when the file
    cannot be opened, RorezideError when it cannot be read as a PDF."""
    src = _path(path, "path")
    lib = _library()
    with _lock:
        return _count(lib, src)


def split_all(path: PathArg, outdir: PathArg) -> List[Path]:
    """Writes every page to a file of its own in `outdir`, creating missing
    directories: page_001.pdf, page_002.pdf, ... (four digits from 1000
    pages, five from 10000). Returns the files written, in page order.

    Raises OpenError (an OSError) when the input or an output cannot be
    opened, RorezideError for other failures; the files of earlier pages
    stay when a later one fails."""
    src, dst = _path(path, "path"), _path(outdir, "outdir")
    lib = _library()
    with _lock:
        _call(lib, "rorezide_all", src, dst)
        count = _count(lib, src)
    width = 3 if count <= 999 else 4 if count <= 9999 else 5
    return _numbered(dst, "page", width, count)


def split_range(path: PathArg, first: int, last: int, out: PathArg) -> Path:
    """Writes pages first to last, both included, to the file `out`, and
    returns its path.

    Raises PageError (a ValueError) unless 1 <= first <= last <= page count,
    OpenError (an OSError) when the input or `out` cannot be opened,
    RorezideError for other failures."""
    src, dst = _path(path, "path"), _path(out, "out")
    first, last = _int(first, "first page"), _int(last, "last page")
    lib = _library()
    with _lock:
        _call(lib, "rorezide_range", src, first, last, dst)
    return Path(_text(dst))


def split_pages(path: PathArg, pages: Iterable[int], out: PathArg) -> Path:
    """Writes the pages of `pages`, in its order (a page listed twice
    appears twice), to the file `out`, and returns its path.

    Raises PageError (a ValueError) for an empty list or a page outside the
    document, OpenError (an OSError) when the input or `out` cannot be
    opened, RorezideError for other failures."""
    src, dst = _path(path, "path"), _path(out, "out")
    array, count = _page_array(pages)
    lib = _library()
    with _lock:
        _call(lib, "rorezide_pages", src, array, count, dst)
    return Path(_text(dst))


def split_every_n(path: PathArg, n: int, outdir: PathArg) -> List[Path]:
    """Writes files of n consecutive pages each to `outdir`, creating missing
    directories: split_001.pdf, split_002.pdf, ... (four digits from 1000
    files); the last holds what remains. Returns the files written, in page
    order.

    Raises PageError (a ValueError) when n < 1, OpenError (an OSError) when
    the input or an output cannot be opened, RorezideError for other
    failures."""
    src, dst = _path(path, "path"), _path(outdir, "outdir")
    n = _int(n, "chunk size")
    lib = _library()
    with _lock:
        _call(lib, "rorezide_every_n", src, n, dst)
        pages = _count(lib, src)
    chunks = pages // n + (1 if pages % n else 0)
    return _numbered(dst, "split", 3 if chunks <= 999 else 4, chunks)


def split_remove(path: PathArg, pages: Iterable[int], out: PathArg) -> Path:
    """Writes every page except those of `pages` to the file `out`, in
    document order, and returns its path.

    Raises ValueError for an empty list (before any call), PageError (a
    ValueError) for a page outside the document or a list naming every page,
    OpenError (an OSError) when the input or `out` cannot be opened,
    RorezideError for other failures."""
    src, dst = _path(path, "path"), _path(out, "out")
    array, count = _page_array(pages)
    if count == 0:
        raise ValueError("no pages to remove: the page list is empty")
    lib = _library()
    with _lock:
        _call(lib, "rorezide_remove", src, array, count, dst)
    return Path(_text(dst))


# The command line's names for the same operations.
burst = split_all
pages = split_pages
chunks = split_every_n
remove = split_remove
