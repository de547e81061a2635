"""The image answers "not yet" rather than "nothing": its results before an upload (or after
one that stopped part-way) and a test naming a strategy or setup the image does not hold are
refused with the reason."""
import pytest
from conftest import build_loop_check

import kvtlnk
from kvtlnk import ArgumentError, Calibrator, Image, ImageError, Setup


def test_results_before_an_upload_say_so(emulator):
    with Calibrator(emulator):
        image = build_loop_check()  # cleared: whatever an earlier upload brought is gone
    with pytest.raises(ImageError, match="no upload yet") as raised:
        image.results()
    assert raised.value.code is None and raised.value.call == "Image.results"


@pytest.mark.parametrize("emulator", [["--run"]], indirect=True)
def test_results_after_uploads(emulator):
    with Calibrator(emulator) as k27:
        k27.upload()  # an empty calibrator: nothing recorded, which is an answer
        assert Image().results() == []
        k27.download(build_loop_check())
        k27.upload()
        assert [r.tag for r in Image().results()] == ["TAG-0001"]


@pytest.mark.parametrize("emulator", [["--run", "--refuse", "mu r"]], indirect=True)
def test_results_after_an_upload_that_stopped_part_way(emulator):
    with Calibrator(emulator, timeout=0.1, attempts=2) as k27:
        k27.download(build_loop_check())
        with pytest.raises(kvtlnk.SessionError):
            k27.upload()  # no item of the results memory comes
    with pytest.raises(ImageError, match="stopped part-way"):
        Image().results()


def test_a_test_names_what_the_image_holds(emulator):
    Calibrator(emulator).close()  # the calibrator's firmware decides the setups
    image = Image()
    image.clear()
    assert image.strategy("3 up", [0, 0.5, 1]) == 9
    image.prompt_definition("vent", "Vent it.")
    setup = Setup().save_new(input="current", output=dict(function="dcv", value=1.0),
                             input_scale=(0.004, 0.020), output_scale=(1.0, 5.0))
    before = image.counts()
    image.start_task("PT-101")
    for strategy, index, says in [
            (99, setup, "no strategy 99, the image holds 0-9"),
            (10, setup, "no strategy 10, the image holds 0-9"),  # the prompt definition
            (9, 99, "no setup 99, the image holds %d" % setup),
            (9, 4, "no setup 4, the image holds %d" % setup)]:  # a strategy
        with pytest.raises(ArgumentError, match=says) as raised:
            image.test(strategy, index, "PT-101")
        assert raised.value.call == "Image.test"
    assert image.counts()[0] == before[0] + 1  # the task's start only
    image.test(9, setup, "PT-101")
    image.end_task()

    image.clear()
    with pytest.raises(ArgumentError, match="no setup 0, the image holds none: save one"):
        image.test(0, 0, "x")
