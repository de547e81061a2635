"""The package installed as on a lab PC without PyPI: built offline with Debian's setuptools
and wheel from the folder the build made, put outside the source tree, and imported by a clean
interpreter with no KVTLNK_* variable, finding the library that cmake --install put in a
prefix."""
import os
import shutil
import subprocess
import sys

import pytest
from conftest import BUILD, CMAKE

PROBE = """
import kvtlnk
try:
    print(kvtlnk.version())
except kvtlnk.KvtlnkError as error:
    print("error:", error)
else:
    print(next(line.split()[-1] for line in open("/proc/self/maps") if "libkvtlnk" in line))
"""


@pytest.fixture(scope="module")
def installed(tmp_path_factory):
    root = tmp_path_factory.mktemp("installed")
    source = root / "source"  # pip builds in the folder it is given: a copy of build/python
    shutil.copytree(BUILD / "python", source)
    subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index",
                    "--no-build-isolation", "--target", str(root / "site"), str(source)],
                   check=True, env=dict(os.environ, PIP_ROOT_USER_ACTION="ignore"))
    subprocess.run([CMAKE, "--install", str(BUILD), "--prefix", str(root / "prefix")],
                   check=True, stdout=subprocess.DEVNULL)
    return root


def probe(root, **env):
    clean = {k: v for k, v in os.environ.items()
             if not k.startswith("KVTLNK_") and k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    done = subprocess.run([sys.executable, "-c", PROBE], cwd=root, capture_output=True, text=True,
                          env=dict(clean, PYTHONPATH=str(root / "site"), **env), check=True)
    return done.stdout.splitlines()


def test_installed_package_finds_the_installed_library(installed):
    prefix_lib = str(installed / "prefix" / "lib")
    package = installed / "site" / "kvtlnk"
    assert (package / "_header.py").exists() and not (package / "libkvtlnk.so.1").exists()

    version, loaded = probe(installed, LD_LIBRARY_PATH=prefix_lib)
    assert version == "1.1" and os.path.realpath(loaded).startswith(prefix_lib)

    for env, says in (({}, "the kvtlnk library is neither in %s nor on the system's library "
                           "path: install it" % package),
                      ({"KVTLNK_LIBRARY": "/no/libkvtlnk.so"}, "cannot load the kvtlnk "
                                                               "library /no/libkvtlnk.so")):
        if not env and "libkvtlnk" in probe(installed)[-1]:
            continue  # this machine has one on the system's library path
        [line] = probe(installed, **env)
        assert line.startswith("error: kvtlnk: " + says) and "KVTLNK_LIBRARY" in line

    shutil.copy(os.path.join(prefix_lib, "libkvtlnk.so.1"), package)  # its own folder first
    assert probe(installed, LD_LIBRARY_PATH=prefix_lib)[1] == str(package / "libkvtlnk.so.1")


def test_the_readme_install_works_as_written(tmp_path):
    """The commands of python/README.md, run as written from a folder that holds a copy of
    build/python, with Debian's interpreter whatever python3 comes first on the PATH."""
    readme = (BUILD / "python" / "README.md").read_text()
    commands = readme.split("```sh\n", 1)[1].split("```", 1)[0].splitlines()
    shutil.copytree(BUILD / "python", tmp_path / "build" / "python")
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env.update(PIP_ROOT_USER_ACTION="ignore", PIP_NO_INDEX="1")
    for command in commands:
        subprocess.run(command, shell=True, cwd=tmp_path, check=True, env=env,
                       stdout=subprocess.DEVNULL)
    done = subprocess.run([str(tmp_path / "k27" / "bin" / "python"), "-c",
                           "import kvtlnk; print(kvtlnk.__file__)"], cwd="/", env=env,
                          capture_output=True, text=True, check=True)
    assert done.stdout.startswith(str(tmp_path / "k27"))
