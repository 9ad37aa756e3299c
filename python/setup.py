"""Builds symdeck's extension from the checkout this folder sits in: CMake and Ninja build the
core's static library (libsymdeck.a) in a build folder of the package's own, with the tests
off, and the extension links it. Nothing need be built or installed first.

SYMDECK_CORE_BUILD=DIR builds the library in DIR instead (an existing build of the same
checkout, whose libsymdeck.a is then brought up to date rather than made again)."""

import os
import shutil
import subprocess

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD = os.path.join(ROOT, "build", "python")
os.makedirs(BUILD, exist_ok=True)


def run(command):
    print(" ".join(command), flush=True)
    subprocess.check_call(command)


class BuildWithCore(build_ext):
    def run(self):
        for tool in ("cmake", "ninja"):
            if shutil.which(tool) is None:
                raise SystemExit(f"building symdeck's core needs {tool}")
        core = os.path.abspath(os.environ.get("SYMDECK_CORE_BUILD") or os.path.join(BUILD, "core"))
        if not os.path.exists(os.path.join(core, "build.ninja")):
            run(["cmake", "-S", ROOT, "-B", core, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                 "-DSYMDECK_TESTS=OFF"])
        run(["cmake", "--build", core, "--target", "symdeck_static"])
        for extension in self.extensions:
            extension.extra_objects = [os.path.join(core, "libsymdeck.a")]
        super().run()


setup(
    packages=["symdeck"],
    ext_modules=[Extension(
        "symdeck._native",
        sources=["src/native.cpp"],
        include_dirs=[os.path.join(ROOT, "include")],
        language="c++",
        extra_compile_args=["-std=c++20", "-Wall", "-Wextra", "-fvisibility=hidden"],
        # The core's C++ symbols stay inside the extension.
        extra_link_args=["-Wl,--exclude-libs,ALL"],
        libraries=["stdc++", "m", "pthread"],
    )],
    cmdclass={"build_ext": BuildWithCore},
    options={"build": {"build_base": os.path.join(BUILD, "setuptools")},
             "egg_info": {"egg_base": BUILD}},
)
