"""Python access to the rorezide library, through ctypes.

    import rorezide
    rorezide.page_count("in.pdf")                    # -> 12
    rorezide.split_all("in.pdf", "out")              # out/page_001.pdf ...
    rorezide.split_range("in.pdf", 2, 4, "p2-4.pdf")
    rorezide.split_pages("in.pdf", [3, 1, 3], "picked.pdf")
    rorezide.split_every_n("in.pdf", 5, "chunks")    # chunks/split_001.pdf ...
    rorezide.split_remove("in.pdf", [1], "rest.pdf")

Page numbers are 1-based. Paths may be str, bytes or path-like objects; on
Windows the library reads them in the process's ANSI code page, so str paths
are encoded to it (a name it cannot hold raises UnicodeEncodeError). A failure
raises RorezideError whose message is the library's, unchanged.

The shared library is looked for, in this order: the path in the environment
variable ROREZIDE_LIBRARY; next to this module, librorezide.so.0 or
librorezide.so (rorezide.dll on Windows); the system loader's search
(ctypes.util.find_library, then "librorezide.so.0" or "rorezide.dll").

The library keeps one process-wide message buffer, so it must be called one
call at a time; this module holds a lock around every call and the reading of
its message, so threads may share it.
"""

import ctypes
import ctypes.util
import operator
import os
import threading

__all__ = [
    "RorezideError", "load_library", "page_count", "split_all", "split_range",
    "split_pages", "split_every_n", "split_remove", "last_error", "init", "cleanup",
]

_INT_MIN = -(2 ** 31)
_INT_MAX = 2 ** 31 - 1

_WINDOWS = os.name == "nt"
# The library's file names, the one to ask the system loader for first.
_NAMES = ("rorezide.dll",) if _WINDOWS else ("librorezide.so.0", "librorezide.so")
# Paths and messages between Python text and the library's bytes.
_ENCODING = "mbcs" if _WINDOWS else None

_lock = threading.Lock()
_lib = None


class RorezideError(Exception):
    """A failure reported by the library; `message` is its text exactly."""

    def __init__(self, message):
        super().__init__(message)
        self.message = message


def _candidates():
    """Library names to try, most specific first."""
    env = os.environ.get("ROREZIDE_LIBRARY")
    if env:
        # An explicit choice is the only candidate: falling back to another
        # copy would hide a wrong setting.
        return [env]
    here = os.path.dirname(os.path.abspath(__file__))
    names = [os.path.join(here, n) for n in _NAMES]
    names = [n for n in names if os.path.exists(n)]
    found = ctypes.util.find_library("rorezide")
    if found:
        names.append(found)
    names.append(_NAMES[0])
    return names


def _declare(lib):
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


def load_library(path=None):
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


def _library():
    global _lib
    if _lib is None:
        _lib = load_library()
    return _lib


def _path(p):
    """The path as bytes for the C library (on Windows in the ANSI code
    page, which the library reads paths in). A NUL byte would end the path
    early there, so that some other file would be read or written: such a
    path is refused, as Python's own file functions refuse it."""
    if p is None:
        return None
    p = os.fspath(p)
    if isinstance(p, str) and _ENCODING:
        encoded = p.encode(_ENCODING)
    else:
        encoded = os.fsencode(p)
    if b"\0" in encoded:
        raise ValueError("embedded null byte in path")
    return encoded


def _int(value, what):
    """A Python integer that fits a C int, which ctypes would otherwise cut
    silently."""
    v = operator.index(value)
    if v < _INT_MIN or v > _INT_MAX:
        raise ValueError("%s %d does not fit a C int" % (what, v))
    return v


def _page_array(pages):
    """(array, count) for a sequence of page numbers; (None, 0) when empty,
    which the library reads as no list."""
    values = [_int(p, "page number") for p in pages]
    if not values:
        return None, 0
    return (ctypes.c_int * len(values))(*values), len(values)


def _message(lib):
    return lib.rorezide_last_error().decode(_ENCODING or "utf-8", "replace")


def _call_split(name, *args):
    lib = _library()
    with _lock:
        if getattr(lib, name)(*args) != 1:
            raise RorezideError(_message(lib))


def init():
    """Empties the library's message; optional."""
    lib = _library()
    with _lock:
        return lib.rorezide_init()


def cleanup():
    """Empties the library's message; optional."""
    lib = _library()
    with _lock:
        lib.rorezide_cleanup()


def last_error():
    """The message of the library's last failed call, or ""."""
    lib = _library()
    with _lock:
        return _message(lib)


def page_count(path):
    """The number of pages of the PDF at `path`."""
    lib = _library()
    with _lock:
        n = lib.rorezide_page_count(_path(path))
        if n < 0:
            raise RorezideError(_message(lib))
    return n


def split_all(path, outdir):
    """One file per page: outdir/page_001.pdf ... (four digits from 1000
    pages, five from 10000). Missing directories are created."""
    _call_split("rorezide_all", _path(path), _path(outdir))


def split_range(path, first, last, out):
    """Pages first..last, both included, into the file `out`."""
    _call_split("rorezide_range", _path(path), _int(first, "first page"),
                _int(last, "last page"), _path(out))


def split_pages(path, pages, out):
    """The pages of the sequence `pages`, in its order (a page listed twice
    appears twice), into the file `out`."""
    array, count = _page_array(pages)
    _call_split("rorezide_pages", _path(path), array, count, _path(out))


def split_every_n(path, n, outdir):
    """Chunks of n consecutive pages: outdir/split_001.pdf ... (four digits
    from 1000 chunks); the last chunk holds what remains."""
    _call_split("rorezide_every_n", _path(path), _int(n, "chunk size"), _path(outdir))


def split_remove(path, pages, out):
    """Every page except those in the sequence `pages`, in document order,
    into the file `out`. An empty sequence writes the whole document anew."""
    array, count = _page_array(pages)
    _call_split("rorezide_remove", _path(path), array, count, _path(out))
