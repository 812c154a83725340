"""Installs the Python package `wrenfield` (python/): its compiled module is
built by the project's CMake, so pip and `python3 -m build` need no network.

    python3 -m venv --system-site-packages env
    env/bin/pip install --no-build-isolation --no-index .
    python3 -m build --no-isolation          # dist/wrenfield-*.tar.gz and *.whl
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

TOP = Path(__file__).resolve().parent


def project_version():
    text = (TOP / "CMakeLists.txt").read_text()
    return re.search(r"project\(Wrenfield VERSION ([0-9.]+)", text).group(1)


class CMakeModule(Extension):
    def __init__(self, name, target):
        super().__init__(name, sources=[])
        self.target = target


class BuildWithCMake(build_ext):
    """Configures the libraries and the module alone (WRENFIELD_PYTHON_PACKAGE)
    for the interpreter running this, builds the module and puts it where
    setuptools packs it."""

    def build_extension(self, ext):
        build_dir = Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(TOP), "-B", str(build_dir),
            "-DWRENFIELD_PYTHON_PACKAGE=ON",
            f"-DPython_EXECUTABLE={sys.executable}",
            "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.run(configure, check=True)
        jobs = str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", ext.target, "--parallel", jobs], check=True)
        built = next((build_dir / "python" / "wrenfield").glob("_wrenfield*.so"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    name="wrenfield",
    version=project_version(),
    description="Customised birthweight centiles for numpy arrays, pandas and Dask",
    packages=["wrenfield"],
    package_dir={"wrenfield": "python/wrenfield"},
    ext_modules=[CMakeModule("wrenfield._wrenfield", "wrenfield_python")],
    cmdclass={"build_ext": BuildWithCMake},
    python_requires=">=3.9",
    install_requires=["numpy", "pandas"],
    extras_require={"dask": ["dask[dataframe]", "distributed"]},
    # Beside CMake's own build/ tree, never inside its files.
    options={"build": {"build_base": "build/setuptools"}},
    zip_safe=False,
)
