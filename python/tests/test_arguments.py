"""What the package refuses before the library would take it wrongly, and what it says: names
it does not know, numbers that do not fit their C type, texts with a zero byte, time-outs and
attempt counts, ports that are not serial ports, and settings the calibrator undid."""
import os

import pytest

import kvtlnk
from kvtlnk import (ArgumentError, Calibrator, Image, SessionError, SettingChangedError, Setup,
                    SetupError, names)


@pytest.fixture(autouse=True)
def accepted_calibrator():
    kvtlnk.set_version("ORVAN K27", "V1.2.0")  # an earlier test may have refused one
    Setup().reset()


@pytest.mark.parametrize("action, says", [
    (lambda: Setup().input("curent"), "function='curent' is not one of the names it takes: "
     "none, current, dcv,"),
    (lambda: Setup().input("tc", "pt100"), "sensor='pt100' is not one of the names it takes: "
     "tc_e, tc_n"),
    (lambda: Setup().input("2w_rtd"), "sensor=None is not one of the names it takes: "
     "rtd_pt100_392,"),
    (lambda: Setup().output("tc", "rtd_cu10"), "sensor='rtd_cu10' is not one of the names it "
     "takes: tc_e,"),
    (lambda: Setup().output("curent"), "function='curent' is not one of the names it takes: "
     "none, current, dcv, freq, 2w_ohms, tc, 2w_rtd, pressure, current_sink"),
    (lambda: Setup().loop_power("24V"), "state='24V' is not one of the names it takes: none, "
     "off, 24v, 28v"),
    (lambda: Setup().temperature_units("kelvin"), "units='kelvin' is not one of the names it "
     "takes: celsius, fahrenheit"),
    (lambda: Setup().pressure_units("pa"), "units='pa' is not one of the names it takes: psi,"),
    (lambda: Setup().temperature_standard("its-90"), "standard='its-90' is not one of"),
    (lambda: Setup().reference_junction("usr", 20), "mode='usr' is not one of"),
    (lambda: Setup().save_new(input="curent"), "input: function='curent' is not one of"),
    (lambda: Setup().save_new(input=("tc", "pt100")), "input: sensor='pt100' is not one of"),
    (lambda: Setup().save_new(output=("dcv", 1.0)), "output: sensor=1.0 is not a name"),
])
def test_a_bad_name_names_its_argument_and_the_names_taken(action, says):
    with pytest.raises(ArgumentError) as raised:
        action()
    assert says in raised.value.message


SETTERS = [  # (setter, names listed for it, what else the setter needs for each name)
    (lambda name, s: Setup().input(name, s), names.INPUT_FUNCTIONS, names.sensors),
    (lambda name, s: Setup().output(name, s), names.OUTPUT_FUNCTIONS, names.sensors),
    (lambda name, s: Setup().input("tc", name), names.THERMOCOUPLES, None),
    (lambda name, s: Setup().input("4w_rtd", name), names.RTDS, None),
    (lambda name, s: Setup().loop_power(name), names.LOOP_POWER, None),
    (lambda name, s: Setup().temperature_units(name), names.TEMPERATURE_UNITS, None),
    (lambda name, s: Setup().pressure_units(name), names.PRESSURE_UNITS, None),
    (lambda name, s: Setup().temperature_standard(name), names.TEMPERATURE_STANDARDS, None),
    (lambda name, s: Setup().reference_junction(name, 20), names.REFERENCE_JUNCTION_MODES, None),
]


@pytest.mark.parametrize("setter, listed, needs", SETTERS)
def test_the_names_listed_are_those_the_library_takes(setter, listed, needs):
    """Every name of the header's function table, and each name listed, against the library:
    a name it takes on that side is neither unknown (2013) nor measure- or source-only (2003)."""
    taken = []
    for name in sorted(set(listed) | set(names.FUNCTIONS)):
        try:
            setter(name, needs(name)[0] if needs and needs(name) else None)
        except ArgumentError:
            continue
        except SetupError as error:
            if error.code == 2003:
                continue
        taken.append(name)
    assert taken == sorted(listed)


@pytest.mark.parametrize("action, says", [
    (lambda: Image().record(2**32 + 1), "index=4294967297 does not fit int32_t"),
    (lambda: Image().record(-2**31 - 1), "index=-2147483649 does not fit int32_t"),
    (lambda: Image().result(2**31), "index=2147483648 does not fit int32_t"),
    (lambda: Image().record(1.0), "index=1.0 is not a whole number"),
    (lambda: Image().test(0, -1, "PT-101"), "setupIndex=-1 does not fit uint32_t"),
    (lambda: Image().test(2**32, 0, "PT-101"), "strategyIndex=4294967296 does not fit uint32_t"),
    (lambda: Setup().restore(2**31), "resultsIndex=2147483648 does not fit int32_t"),
    (lambda: Setup().input_scale("4 mA", 0.02), "first='4 mA' is not a number"),
    (lambda: Image().start_task("PT\x00-101"), "name='PT\\x00-101' holds a zero byte"),
    (lambda: Setup().input("dcv\0tc"), "function='dcv\\x00tc' holds a zero byte"),
    (lambda: Image().dump("/tmp\0/etc"), "directory='/tmp\\x00/etc' holds a zero byte"),
    (lambda: Calibrator("/dev/pts/0\0x"), "port='/dev/pts/0\\x00x' holds a zero byte"),
    (lambda: Calibrator(""), "port='' names no port"),
    (lambda: Calibrator("x", timeout=0.0004), "timeout=0.0004: give 0.001 s or more"),
    (lambda: Calibrator("x", timeout=0), "timeout=0: give 0.001 s or more"),
    (lambda: Calibrator("x", timeout=-1), "timeout=-1: give 0.001 s or more"),
    (lambda: Calibrator("x", timeout=4294967.2956), "more than the port waits at most"),
    (lambda: Calibrator("x", timeout=float("inf")), "timeout=inf is not a number of seconds"),
    (lambda: Calibrator("x", timeout="0.5"), "timeout='0.5' is not a number of seconds"),
    (lambda: Calibrator("x", attempts=256), "attempts=256: each exchange makes 1 to 255"),
    (lambda: Calibrator("x", attempts=0), "attempts=0: each exchange makes 1 to 255"),
    (lambda: Calibrator("x", attempts=2.5), "attempts=2.5 is not a whole number"),
])
def test_what_does_not_fit_the_c_types_is_refused(action, says):
    before = Image().counts()
    with pytest.raises(ArgumentError) as raised:
        action()
    assert raised.value.code in (None, 2013) and says in raised.value.message
    assert Image().counts() == before and Calibrator._open is None


def test_the_edges_that_fit_are_taken(emulator):
    assert [kvtlnk.calibrator._milliseconds(seconds) for seconds in (
        0.001, 0.0015, 0.0025, 0.5, 4294967.295)] == [1, 2, 3, 500, 2**32 - 1]
    with Calibrator(emulator, attempts=255) as k27:
        assert k27.identify().model == "ORVAN K27"


def ports(folder):
    (folder / "plain.txt").write_text("kept")
    os.symlink(folder / "unplugged", folder / "ttyUSB-gone")
    return [("plain.txt", "cannot open plain.txt: is a file, not a serial port"),
            ("COM99999", "cannot open COM99999 (/dev/ttyS99998): no such device; is the "
             "adapter plugged in?"),
            ("/dev/null", "cannot open /dev/null: is not a terminal, so not a serial port"),
            (str(folder), "is a directory, not a serial port"),
            ("COM0", "cannot open COM0: is no port name: ports run from COM1 (/dev/ttyS0)"),
            ("com012", "cannot open com012: is no port name"),
            (str(folder / "ttyUSB-gone"), "is a link to a device that is gone")]


def test_a_port_that_cannot_open_says_why(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    for port, says in ports(tmp_path):
        with pytest.raises(SessionError) as raised:
            Calibrator(port, timeout=0.05, attempts=1)
        assert raised.value.code == 2017 and says in raised.value.message, port
    assert (tmp_path / "plain.txt").read_text() == "kept"
    assert kvtlnk._ports.device_path("COM3") == "/dev/ttyS2"
    if os.path.exists("/dev/ttyS0"):  # a port the kernel knows without a UART behind it
        (tmp_path / "ttyS0").mkdir()
        (tmp_path / "ttyS0" / "type").write_text("0\n")
        monkeypatch.setattr(kvtlnk._ports, "_SYS_TTY", str(tmp_path))
        assert kvtlnk._ports.port_problem("COM1").startswith("no serial port is fitted there")


def test_a_setting_the_calibrator_undid_is_not_saved():
    asked = dict(output=dict(function="current", value=0.012), loop_power="24v",
                 input_scale=(0.004, 0.02), output_scale=(0.004, 0.02))
    before = Image().counts()
    with pytest.raises(SettingChangedError) as raised:
        Setup().save_new(**asked)
    assert (raised.value.code, raised.value.setting, raised.value.changed) == (
        102, "loop_power", ["output"])
    assert "nothing was saved" in raised.value.message and Image().counts() == before

    index, warnings = Setup().save_new(strict=False, **asked)
    assert [(w.setting, w.code, w.changed) for w in warnings] == [
        ("loop_power", 102, ("output",))]
    assert Image().counts()[0] == before[0] + 1 and index >= 0
    assert Setup().state().output.function == "none"


def test_output_takes_the_arguments_of_the_c_call_in_their_order():
    Setup().save_new(input="dcv", output=("tc", "tc_k", 100.0), input_scale=(0, 1),
                     output_scale=(0, 100))
    by_name = Setup().state().output
    Setup().save_new(input="dcv", output=dict(sensor="tc_k", value=100.0, function="tc"),
                     input_scale=(0, 1), output_scale=(0, 100))
    assert (by_name.function, by_name.sensor, by_name.primary) == ("tc", "tc_k", 100.0)
    assert Setup().state().output == by_name
