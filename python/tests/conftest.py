"""The package's tests run against the K27 emulator (kvtsim), one emulator per test."""
import os
import pathlib
import subprocess

import pytest

import kvtlnk

KVTSIM = os.environ.get(
    "KVTSIM", str(pathlib.Path(__file__).resolve().parents[2] / "build/tools/emulator/kvtsim"))


@pytest.fixture
def emulator(request):
    """Starts kvtsim with the arguments the test gives (indirect parameter), yields the path of
    its port, and stops it by its process id."""
    process = subprocess.Popen([KVTSIM, *getattr(request, "param", [])], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    try:
        port = process.stdout.readline().strip()
        assert port, "kvtsim printed no port"
        yield port
    finally:
        if kvtlnk.Calibrator._open is not None:  # a test that failed half-way
            kvtlnk.Calibrator._open.close()
        process.terminate()
        process.wait(timeout=30)
