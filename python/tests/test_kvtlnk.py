"""The Python package over the library, against the emulator: a session round trip, a test
through the emulator's field run and its results, and the errors each family raises."""
import pytest
from conftest import build_loop_check

import kvtlnk
from kvtlnk import (Calibrator, Image, ImageError, LibraryNotFoundError,
                    NotAcceptedError, SessionError, Setup, SetupError)

POINTS = [0, 0.25, 0.5, 0.75, 1]


def test_session_round_trip(emulator):
    steps = []
    with Calibrator(emulator, timeout=0.5, attempts=5) as k27:
        image = build_loop_check()  # after opening: the calibrator's firmware decides the setups
        sent = image.procedure()
        identity = k27.identify()
        assert (identity.model, identity.firmware, identity.serial, identity.memory_bytes) == (
            "ORVAN K27", "V1.2.0", "SN270001", 1048576)
        with pytest.raises(kvtlnk.SessionInUseError):
            Calibrator(emulator)
        assert k27.download(image, progress=lambda done, total: steps.append((done, total))) \
            == len(sent)
        assert steps == [(i + 1, len(sent)) for i in range(len(sent))]
        stats = k27.memory_stats()
        assert stats.used_bytes > 0 and stats.used_bytes + stats.free_bytes == 2 * 1048576
        image.clear()
        assert k27.upload() == len(sent)
    assert not k27.is_open
    assert image.procedure() == sent
    assert [type(r).__name__ for r in sent[9:]] == [
        "Strategy", "PromptDefinition", "Record", "TaskStart", "Prompt", "Template", "TaskEnd"]


@pytest.mark.parametrize("emulator", [["--run"]], indirect=True)
@pytest.mark.parametrize("flagged", [False, True])
def test_field_run_results(emulator, flagged):
    with Calibrator(emulator) as k27:
        image = build_loop_check(flagged)
        k27.download(image)
        k27.upload()
    [result] = image.results()
    assert (result.tag, result.text1, result.text2, result.task, result.strategy,
            result.flagged) == ("TAG-0001", "PT-101", "as found", "PT-101 loop", "5 up", flagged)
    assert (result.setup.input.function, result.setup.output.function) == ("current", "dcv")
    assert len(result.points) == len(POINTS)
    for p, point in zip(POINTS, result.points):
        assert point.sourced == pytest.approx(1 + 4 * p)
        assert point.measured == pytest.approx(0.004 + 0.016 * p, abs=0.016 * 0.0005 + 1e-7)
        assert point.measured < point.measured_limit and point.sourced <= point.sourced_limit
        assert abs(point.error) <= 0.05 + 1e-6


def download_refused(port):
    with Calibrator(port) as k27:
        k27.download(build_loop_check())


@pytest.mark.parametrize("emulator, action, family, code", [
    (["--silent"], lambda port: Calibrator(port, timeout=0.05, attempts=2), SessionError, 2019),
    (["--model", "OTHER K9"], lambda port: Calibrator(port), NotAcceptedError, 2005),
    (["--refuse", "ma"], download_refused, SessionError, 2018),
    ([], lambda port: kvtlnk.set_version("ORVAN K2", "V1.2.0"), NotAcceptedError, 2005),
    ([], lambda port: Setup().output("acv"), SetupError, 2003),
    ([], lambda port: Image().strategy("x" * 21, [0]), ImageError, 2024),
    ([], lambda port: Image().strategy("too far", [3.5]), ImageError, 2016),
    ([], lambda port: Image().check_prompt("wide " * 200), ImageError, 2015),
    ([], lambda port: Image().record(9999, 33), ImageError, 2014),
    ([], lambda port: Image().result(9999), ImageError, 2014),
], indirect=["emulator"])
def test_errors_raise_with_their_code(emulator, action, family, code):
    with pytest.raises(family) as raised:
        action(emulator)
    assert raised.value.code == code and raised.value.message == kvtlnk.message(code)
    assert kvtlnk.Calibrator._open is None


def test_warnings_are_returned_and_display_glyphs_decoded():
    setup = Setup()
    setup.reset()
    setup.input("current")
    assert setup.output("current", value=0.012) == 101  # the input gave way
    assert setup.state().input.function == "dcv"
    assert "current" not in kvtlnk.message(101) and "dcv" in kvtlnk.message(101)
    setup.output("2w_ohms", value=100.0)
    assert setup.output_string()[0].endswith("Ω")
    setup.output("tc", sensor="tc_k", value=100.0)
    assert setup.output_string()[0].endswith("°C")
    assert kvtlnk.encode("3 ↑") == b"3 \x8c" and kvtlnk.decode(b"in\x89O\0x") == "in₂O"
    with pytest.raises(ValueError):
        kvtlnk.encode("€")


def test_what_the_header_gives_the_package():
    import ctypes
    with pytest.raises(LibraryNotFoundError, match="lacks KVTclear, KVTclose"):
        kvtlnk._library.bind(ctypes.CDLL(None))  # the interpreter's own symbols
    assert kvtlnk.encode("\u2126\u03a9") == b"\x81\x81" and kvtlnk.decode(b"\x81") == "\u03a9"
    assert kvtlnk.message(4242) == kvtlnk.message(4243) != kvtlnk.message(2019)
