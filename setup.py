"""Builds the rorezide Python package (see pyproject.toml).

The library's sources (src/*/*.cc) are compiled into a plain shared library
inside the package, rorezide/librorezide.so (rorezide.dll on Windows), which
the module loads with ctypes. It is not a Python extension: it gets no
Python-specific file name, exports no PyInit_ function and links no Python
library. It exports the nine rorezide_* functions only, as the CMake build's
library does: through src/rorezide.map on ELF systems, through the header's
__declspec(dllexport) markings on Windows.

The version is the project's in CMakeLists.txt; the module's __version__ must
say the same, or the build stops.
"""

import glob
import os
import re
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

MODULE = "python/rorezide/__init__.py"
WINDOWS = sys.platform == "win32"
# The file name the module looks for inside its package.
LIBRARY_FILE = "rorezide.dll" if WINDOWS else "librorezide.so"


def file_match(path, pattern, what):
    with open(path, encoding="utf-8") as f:
        m = re.search(pattern, f.read(), re.MULTILINE)
    if not m:
        sys.exit("%s: %s not found" % (path, what))
    return m.group(1)


def project_version():
    """The version CMakeLists.txt gives the project, checked against the
    module's __version__."""
    version = file_match("CMakeLists.txt", r"project\(\s*rorezide\s+VERSION\s+([0-9][0-9.]*)",
                         "project(rorezide VERSION ...)")
    stated = file_match(MODULE, r'^__version__ = "([^"]*)"', "__version__")
    if stated != version:
        sys.exit("%s says __version__ = %r, CMakeLists.txt says %r" % (MODULE, stated, version))
    return version


class SharedLibrary(Extension):
    """The library, built by build_library as a plain shared library."""


class build_library(build_ext):
    """build_ext that builds a SharedLibrary without Python's conventions
    for extension modules."""

    def is_library(self, name):
        return isinstance(self.ext_map.get(name), SharedLibrary)

    def get_ext_filename(self, fullname):
        # Called with the full dotted name or its last part alone; the
        # package directories are added by the caller in the second case.
        if self.is_library(fullname):
            return os.path.join(*fullname.split(".")[:-1], LIBRARY_FILE)
        return super().get_ext_filename(fullname)

    def get_export_symbols(self, ext):
        # None asks the linker for no export list at all; setuptools would
        # ask for PyInit_<name> on Windows.
        if isinstance(ext, SharedLibrary):
            return None
        return super().get_export_symbols(ext)

    def get_libraries(self, ext):
        # Some platforms (MinGW among them) would link pythonXY here.
        if isinstance(ext, SharedLibrary):
            return list(ext.libraries)
        return super().get_libraries(ext)

    def build_extension(self, ext):
        if isinstance(ext, SharedLibrary):
            self.library_options(ext)
        super().build_extension(ext)

    def library_options(self, ext):
        """The CMake build's compile and link options, for this compiler."""
        if self.compiler.compiler_type == "msvc":
            ext.extra_compile_args = ["/std:c++17", "/O2", "/EHsc"]
            return
        # Python's own flags are meant for C: drop the one C++ warns about.
        compiler_so = getattr(self.compiler, "compiler_so", None)
        if compiler_so and "-Wstrict-prototypes" in compiler_so:
            compiler_so.remove("-Wstrict-prototypes")
        ext.extra_compile_args = ["-std=c++17", "-O2", "-g0", "-fvisibility=hidden",
                                  "-fvisibility-inlines-hidden", "-fno-exceptions", "-fno-rtti"]
        if WINDOWS:
            # libgcc and libstdc++ linked in: the DLL imports system DLLs only.
            ext.extra_link_args = ["-static"]
        elif sys.platform != "darwin":
            ext.extra_link_args = ["-Wl,--version-script=src/rorezide.map", "-Wl,--no-undefined"]


cmdclass = {"build_ext": build_library}

try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:
    try:
        from wheel.bdist_wheel import bdist_wheel
    except ImportError:
        bdist_wheel = None

if bdist_wheel is not None:

    class bdist_library_wheel(bdist_wheel):
        """Tags the wheel for every Python 3 of its platform: the library
        depends on no Python version."""

        def get_tag(self):
            _, _, platform = super().get_tag()
            return "py3", "none", platform

    cmdclass["bdist_wheel"] = bdist_library_wheel

setup(
    version=project_version(),
    ext_modules=[
        SharedLibrary(
            "rorezide._library",
            sources=sorted(glob.glob("src/*/*.cc")),
            include_dirs=["include", "src"],
            define_macros=[("ROREZIDE_BUILD", None), ("_FILE_OFFSET_BITS", "64")],
            language="c++",
        )
    ],
    cmdclass=cmdclass,
    # Out of the way of CMake's files when the CMake build is in build/ too.
    options={"build": {"build_base": "build/python-package"}},
)
