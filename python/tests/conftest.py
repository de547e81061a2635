"""The package's tests run against the K27 emulator (kvtsim), one emulator per test. The build
tree, the emulator and the command-line tool come from the environment ctest sets, or from
build/ beside the sources."""
import os
import pathlib
import subprocess

import pytest

import kvtlnk

BUILD = pathlib.Path(os.environ.get(
    "KVTLNK_BUILD_DIR", pathlib.Path(__file__).resolve().parents[2] / "build"))
KVTSIM = os.environ.get("KVTSIM", str(BUILD / "tools/emulator/kvtsim"))
CLI = os.environ.get("KVTLNK_CLI", str(BUILD / "tools/cli/kvtlnk"))
CMAKE = os.environ.get("CMAKE", "cmake")


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


def build_loop_check(flagged=False):
    """A task that tests a 4-20 mA transmitter driven by 1-5 V; returns the image."""
    image = kvtlnk.Image()
    image.clear()
    strategy = image.strategy("5 up", [0, 0.25, 0.5, 0.75, 1])
    image.prompt_definition("connect", "Connect PT-101:\n1-5 V in, mA out.")
    saved = kvtlnk.Setup().save_new(input="current", output=dict(function="dcv", value=1.0),
                                    input_scale=(0.004, 0.020), output_scale=(1.0, 5.0))
    with image.task("PT-101 loop"):
        image.prompt("connect")
        image.test(strategy, saved, "PT-101", "as found", flagged)
    return image
