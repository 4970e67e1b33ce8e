"""Builds the extension tessivane._core against libtessivane.so.1.

Which library (the extension's rpath points at it, so C++ and Python share one
library and one set of bits):
1. TESSIVANE_PREFIX=<prefix>: the library installed there (cmake --install);
2. otherwise an installed library that pkg-config finds (PKG_CONFIG_PATH);
3. otherwise the library is built from this source tree with CMake and copied
   into the package next to the extension.
Nothing is downloaded: run pip with --no-build-isolation (see pyproject.toml).
"""

import glob
import os
import shutil
import subprocess

import pybind11
from pybind11.setup_helpers import ParallelCompile
from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
SONAME = "libtessivane.so.1"


def _pkg_config(variable):
    try:
        out = subprocess.run(["pkg-config", f"--variable={variable}", "tessivane"],
                             capture_output=True, text=True, check=True)
    except (OSError, subprocess.CalledProcessError):
        return None
    return out.stdout.strip() or None


def installed_library():
    """(include dir, lib dir) of an installed libtessivane, or None."""
    prefix = os.environ.get("TESSIVANE_PREFIX")
    if prefix:
        for libdir in sorted(glob.glob(os.path.join(prefix, "lib*", "**", SONAME), recursive=True)):
            return os.path.join(prefix, "include", "tessivane"), os.path.dirname(libdir)
        raise SystemExit(f"TESSIVANE_PREFIX={prefix}: no {SONAME} under {prefix}/lib*")
    libdir, includedir = _pkg_config("libdir"), _pkg_config("includedir")
    if libdir and includedir and os.path.exists(os.path.join(libdir, SONAME)):
        return os.path.join(includedir, "tessivane"), libdir
    return None


class BuildExt(build_ext):
    def build_extensions(self):
        found = installed_library()
        ext = self.extensions[0]
        if found:
            include, libdir = found
            ext.include_dirs.append(include)
            ext.library_dirs.append(libdir)
            ext.extra_link_args.append(f"-Wl,-rpath,{libdir}")
            print(f"tessivane: linking {libdir}/{SONAME}")
        else:
            libdir = self._build_library()
            ext.include_dirs.extend(sorted(glob.glob(os.path.join(REPO, "numerics", "*"))))
            ext.library_dirs.append(libdir)
            ext.extra_link_args.append("-Wl,-rpath,$ORIGIN")
            package = os.path.join(self.build_lib, "tessivane")
            os.makedirs(package, exist_ok=True)
            shutil.copy2(os.path.realpath(os.path.join(libdir, SONAME)), os.path.join(package, SONAME))
        # pip builds in python/build, which outlives the install: an extension
        # left there by an earlier install would otherwise be reused as up to
        # date, linked (rpath included) to that install's library.
        self.force = True
        super().build_extensions()

    def _build_library(self):
        if not os.path.exists(os.path.join(REPO, "numerics", "core", "nrutil.h")):
            raise SystemExit("tessivane: no installed libtessivane found (set TESSIVANE_PREFIX or "
                             "PKG_CONFIG_PATH) and no source tree above python/ to build it from")
        build = os.path.abspath(os.path.join(self.build_temp, "libtessivane"))
        print(f"tessivane: building {SONAME} from {REPO} in {build}")
        subprocess.run(["cmake", "-S", REPO, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DTV_BUILD_TESTS=OFF", "-DTV_BUILD_BENCH=OFF", "-DTV_BUILD_EXAMPLES=OFF",
                        "-DTV_PYTHON=OFF"], check=True)
        subprocess.run(["cmake", "--build", build, "--target", "tessivane", "-j",
                        str(os.cpu_count() or 2)], check=True)
        return build


core = Extension(
    "tessivane._core",
    sources=sorted(glob.glob(os.path.join("src", "*.cpp"))),
    include_dirs=[pybind11.get_include(), "src"],
    libraries=["tessivane"],
    language="c++",
    # The flags of the library's Release build, which come after (and so
    # override) the interpreter's own CFLAGS: -O2, no contraction into fused
    # multiply-adds, nothing host-specific, hidden symbols, and no debug
    # information (the interpreter's -g alone made the module 30 times larger).
    extra_compile_args=["-std=c++17", "-O2", "-g0", "-ffp-contract=off", "-fvisibility=hidden",
                        "-fvisibility-inlines-hidden"],
)

# The extension's sources compile side by side on every core (NPY_NUM_BUILD_JOBS
# sets the number); one at a time they take over a minute.
ParallelCompile("NPY_NUM_BUILD_JOBS").install()
setup(ext_modules=[core], cmdclass={"build_ext": BuildExt})
