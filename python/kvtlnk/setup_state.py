"""The calibrator's setup as the library holds it: what it measures and sources, ranges, units,
scales, and the readings and display strings that follow from them."""
import ctypes
import datetime
from ctypes import byref, c_float, c_int32, c_uint32
from dataclasses import dataclass
from typing import List, Optional, Tuple

from . import _header, _library, names
from .charset import decode, encode
from .errors import ArgumentError, KvtlnkError, SettingChangedError

_NAME = _header.NAME_SIZE  # function, sensor, unit and mode names
_DISPLAY = _header.DISPLAY_STRING_SIZE  # display strings


def _name(call, argument, value):
    if value is None:
        return None
    if not isinstance(value, str):
        _library.refuse(call, "%s=%r is not a name (a text such as %r)"
                        % (argument, value, "tc_k" if argument == "sensor" else "dcv"))
    return encode(value)


def _set(call, named, *numbers):
    """Calls a setter whose first arguments are names, given as (argument, value, the names it
    takes or None), then numbers. A name the library does not know (2013) is refused naming
    the argument, with the names it takes."""
    try:
        return _library.call(call, *(_name(call, a, value) for a, value, _ in named), *numbers)
    except ArgumentError as error:
        for argument, value, valid in named:
            if error.code == 2013 and valid is not None and value not in valid:
                raise ArgumentError(2013, call, "%s=%r is not one of the names it takes: %s"
                                    % (argument, value, ", ".join(valid))) from None
        raise


def _names(count, size=_NAME):
    return [ctypes.create_string_buffer(size) for _ in range(count)]


@dataclass(frozen=True)
class Reading:
    """The measure side (STAgetInput).

    Attributes:
        function: the input function, e.g. ``"dcv"``, ``"tc"``.
        sensor: the thermocouple or RTD type, or ``""``.
        valid: the readings hold a valid measurement.
        settled: the measurement is valid and has settled.
        primary: the reading shown large, in base units (volts, amps, ohms, hertz; degrees in
            the temperature units, pressures in the pressure units), or scaled.
        secondary: the reading behind it (frequency of "acv", resistance of "cont", EMF or
            resistance behind a temperature, the unscaled value), else 0.
    """

    function: str
    sensor: str
    valid: bool
    settled: bool
    primary: float
    secondary: float


@dataclass(frozen=True)
class Source:
    """The source side (STAgetOutput).

    Attributes:
        function: the output function, e.g. ``"current"``, ``"none"``.
        sensor: the thermocouple or RTD type of a temperature source, or ``""``.
        set: an output value has been set.
        confirmed: the calibrator's output agrees with the setting.
        primary: the value as set, in base units (or scaled units).
        secondary: the amplitude of "freq", the EMF or resistance behind a temperature, or
            the value in real units under a transfer function; else 0.
    """

    function: str
    sensor: str
    set: bool
    confirmed: bool
    primary: float
    secondary: float


@dataclass(frozen=True)
class Transfer:
    """A side's transfer function (STAgetScaled): on or off, and its two parameters."""

    on: bool
    p1: float
    p2: float


@dataclass(frozen=True)
class SetupView:
    """The whole setup, read at one moment (:meth:`Setup.state`).

    Attributes:
        input: the measure side.
        output: the source side.
        input_range_automatic: the calibrator chooses the input range.
        input_range_high: the input range's high limit in base units (0 without a range).
        loop_power: ``"none"``, ``"off"``, ``"24v"`` or ``"28v"``.
        input_transfer: the input's transfer function.
        output_transfer: the output's transfer function.
        input_scale: the two values given to :meth:`Setup.input_scale`.
        output_scale: the two values given to :meth:`Setup.output_scale`.
        test_tolerance: the test tolerance.
        temperature_units: ``"celsius"`` or ``"fahrenheit"``.
        pressure_units: ``"psi"``, ``"mm_hg"``, ``"in_hg"``, ``"in_h2o"``, ``"ft_h2o"``,
            ``"bar"`` or ``"kpa"``.
        temperature_standard: ``"its90"`` or ``"ipts68"``.
        reference_junction: ``"measure"`` or ``"user"``.
        reference_temperature: the reference-junction temperature that applies.
        pressure_module: the attached pressure module's two texts, or None.
    """

    input: Reading
    output: Source
    input_range_automatic: bool
    input_range_high: float
    loop_power: str
    input_transfer: Transfer
    output_transfer: Transfer
    input_scale: Tuple[float, float]
    output_scale: Tuple[float, float]
    test_tolerance: float
    temperature_units: str
    pressure_units: str
    temperature_standard: str
    reference_junction: str
    reference_temperature: float
    pressure_module: Optional[Tuple[str, str]]


@dataclass(frozen=True)
class Log:
    """The log of readings a restored setup carries (the STAgetLog calls).

    Attributes:
        interval: the logging interval, as the calibrator recorded it.
        requested: the number of samples asked for.
        start: when logging started (None for a date the calendar does not have).
        minimum: the smallest valid sample (3.4028235e38 with none).
        maximum: the largest valid sample (-3.4028235e38 with none).
        samples: the samples, oldest first; None for a sample that is not a valid reading.
    """

    interval: int
    requested: int
    start: Optional[datetime.datetime]
    minimum: float
    maximum: float
    samples: List[Optional[float]]


# The order in which Setup.save_new makes its settings: units before the values given in them,
# and each side's function before its range and scale.
_ORDER = ("temperature_units", "pressure_units", "temperature_standard", "reference_junction",
          "input", "input_range", "output", "loop_power", "input_scale", "output_scale",
          "test_tolerance")
# What each warning changed to make way: the loop supply, the input, the output.
_GIVES_WAY = {100: ("loop_power",), 101: ("input",), 102: ("output",),
              104: ("input", "loop_power"), 105: ("output", "loop_power")}


@dataclass(frozen=True)
class SetupWarning:
    """A warning of a setting made by :meth:`Setup.save_new`.

    Attributes:
        setting: the keyword whose setter gave it, e.g. ``"loop_power"``.
        code: the warning, 100-105.
        changed: what the calibrator changed to make way: ``"input"``, ``"output"``,
            ``"loop_power"``.
        message: the library's text for the code.
    """

    setting: str
    code: int
    changed: Tuple[str, ...]
    message: str


def stamp(fields):
    """A datetime from (year, month, day, hour, minute, second); None when it is no date."""
    try:
        return datetime.datetime(*fields)
    except ValueError:
        return None


class Setup:
    """The calibrator's setup as the library holds it: one per process, which every Setup
    object works on. Shape it with the setters, then :meth:`save` it for a test
    (:meth:`kvtlnk.Image.test`); read it with :meth:`state` and the display strings.

    Names are the library's, lowercase and exact: functions ``"none"``, ``"current"``,
    ``"current_sink"`` (source only), ``"dcv"``, ``"acv"``, ``"freq"``, ``"freq_low"``,
    ``"2w_ohms"``, ``"3w_ohms"``, ``"4w_ohms"``, ``"cont"``, ``"tc"``, ``"2w_rtd"``,
    ``"3w_rtd"``, ``"4w_rtd"``, ``"pressure"``; thermocouples ``"tc_e"``, ``"tc_n"``,
    ``"tc_j"``, ``"tc_k"``, ``"tc_t"``, ``"tc_b"``, ``"tc_r"``, ``"tc_s"``, ``"tc_c"``,
    ``"tc_l"``, ``"tc_u"``; RTDs ``"rtd_pt100_392"``, ``"rtd_pt100_385"``, ``"rtd_ni120"``,
    ``"rtd_pt200_385"``, ``"rtd_pt500_385"``, ``"rtd_pt1000_385"``, ``"rtd_cu10"``,
    ``"rtd_pt100_3916"``. Values are in base units (amps, volts, ohms, hertz), temperatures in
    the temperature units, pressures in the pressure units.

    Setters return 0, or a warning code (100-105) when the setting was made and something else
    changed to allow it (:func:`kvtlnk.message` says what); errors raise
    :class:`~kvtlnk.SetupError` or :class:`~kvtlnk.ArgumentError`.

    Example::

        setup = Setup()
        setup.reset()
        setup.input("current")
        setup.output("dcv", value=1.0)
        setup.input_scale(0.004, 0.020)
        setup.output_scale(1.0, 5.0)
        index = setup.save()
    """

    def reset(self):
        """Resets the setup to the calibrator's defaults (STAinit): nothing measured or
        sourced, celsius, psi, its90, loop power off, no scales."""
        _library.call("STAinit")

    def input(self, function, sensor=None):
        """Chooses what the calibrator measures; ``sensor`` for ``"tc"`` and the RTD
        functions. Returns 0 or a warning code."""
        return _set("STAsetInput", [("function", function, names.INPUT_FUNCTIONS),
                                    ("sensor", sensor, names.sensors(function))])

    def input_range(self, value=None):
        """Fixes the lowest input range that holds ``value`` (amps, volts or ohms), or returns
        to automatic ranging when ``value`` is None."""
        return _library.call("STAsetInputRange", int(value is None), value or 0.0)

    def output(self, function, sensor=None, value=0.0, amplitude=0.0):
        """Chooses what the calibrator sources and the value, its arguments in the order of
        STAsetOutput: ``sensor`` for ``"tc"`` and ``"2w_rtd"``, ``value`` in base units or
        the temperature units, ``amplitude`` (volts) for ``"freq"``. Returns 0 or a warning
        code. Example: ``setup.output("tc", "tc_k", 100.0)``,
        ``setup.output("dcv", value=1.0)``."""
        return _set("STAsetOutput", [("function", function, names.OUTPUT_FUNCTIONS),
                                     ("sensor", sensor, names.sensors(function))],
                    value, amplitude)

    def loop_power(self, state):
        """Switches the loop supply: ``"24v"``, ``"28v"``, ``"off"`` or ``"none"``."""
        return _set("STAsetLoopPower", [("state", state, names.LOOP_POWER)])

    def temperature_units(self, units):
        """``"celsius"`` or ``"fahrenheit"``."""
        return _set("STAsetTempUnits", [("units", units, names.TEMPERATURE_UNITS)])

    def pressure_units(self, units):
        """``"psi"``, ``"mm_hg"``, ``"in_hg"``, ``"in_h2o"``, ``"ft_h2o"``, ``"bar"`` or
        ``"kpa"``."""
        return _set("STAsetPresUnits", [("units", units, names.PRESSURE_UNITS)])

    def temperature_standard(self, standard):
        """``"its90"`` or ``"ipts68"``: the curves of thermocouples and RTDs."""
        return _set("STAsetTempStd", [("standard", standard, names.TEMPERATURE_STANDARDS)])

    def reference_junction(self, mode, temperature=0.0):
        """``"measure"``, or ``"user"`` with the junction's temperature (-100 to 400 degrees C
        in the current temperature units)."""
        return _set("STAsetTref", [("mode", mode, names.REFERENCE_JUNCTION_MODES)], temperature)

    def input_scale(self, first, second):
        """The input's span for a test (e.g. 0.004, 0.020 for 4-20 mA); a test needs it."""
        return _library.call("STAsetInputScale", first, second)

    def output_scale(self, first, second):
        """The output's span for a test (e.g. 1.0, 5.0 for 1-5 V); a test needs it."""
        return _library.call("STAsetOutputScale", first, second)

    def test_tolerance(self, tolerance):
        """The test tolerance, switched on."""
        return _library.call("STAsetTestTolerance", tolerance)

    def save(self):
        """Stores the setup in the image's procedure memory for a test; returns its index for
        :meth:`kvtlnk.Image.test`. Save a task's setups before :meth:`kvtlnk.Image.start_task`.
        Raises NotAcceptedError (2005) when the calibrator's firmware cannot run it."""
        index = c_int32(-1)
        _library.call("STAsave", byref(index))
        return index.value

    def save_new(self, strict=True, **settings):
        """Resets the setup, makes the settings given as keywords and saves it for a test;
        returns its index. Each keyword is a setter's name; its value the setter's one
        argument, a tuple of its arguments in order, or a dict of them by name. They are made
        in this order: temperature_units, pressure_units, temperature_standard,
        reference_junction, input, input_range, output, loop_power, input_scale, output_scale,
        test_tolerance.

        When the calibrator makes way for a setting by changing one given before (a warning
        100-105: ``loop_power="24v"`` turns a current output to ``"none"``), nothing is saved
        and :class:`~kvtlnk.SettingChangedError` names both. With ``strict=False`` the setup
        is saved all the same and ``(index, warnings)`` returned, a :class:`SetupWarning`
        for every warning. A setting the setup refuses raises as its setter does, the message
        starting with its keyword. Example::

            index = Setup().save_new(input="current", output=dict(function="dcv", value=1.0),
                                     input_scale=(0.004, 0.020), output_scale=(1.0, 5.0))
        """
        unknown = set(settings) - set(_ORDER)
        if unknown:
            raise TypeError("save_new() takes no setting %s" % ", ".join(sorted(unknown)))
        self.reset()
        warnings = []
        for name in (name for name in _ORDER if name in settings):
            code = self._make(name, settings[name])
            if not code:
                continue
            changed = tuple(c for c in _GIVES_WAY.get(code, ()) if c != name)
            warnings.append(SetupWarning(name, code, changed, _library.message(code)))
            undone = [c for c in changed if c in settings and _ORDER.index(c) < _ORDER.index(name)]
            if strict and undone:
                raise SettingChangedError(
                    code, "Setup.save_new", "%s=%r changed %s given before (%d: %s); nothing was "
                    "saved" % (name, settings[name], " and ".join(undone), code,
                               _library.message(code)), name, undone, warnings)
        index = self.save()
        return index if strict else (index, warnings)

    def _make(self, name, value):
        """One setting of save_new; an error's message starts with its keyword."""
        try:
            if isinstance(value, dict):
                return getattr(self, name)(**value)
            return getattr(self, name)(*(value if isinstance(value, tuple) else (value,)))
        except KvtlnkError as error:
            if type(error).__init__ is not KvtlnkError.__init__:
                raise
            raise type(error)(error.code, error.call, "%s: %s" % (name, error.message)) from None

    def restore(self, results_index):
        """Loads a setup record of the results memory into the setup."""
        return _library.call("STArestore", results_index)

    def load_template(self, index):
        """Loads the setup that the test (template) at a procedure index names."""
        _library.call("MEMtemplateState", index)

    def load_result(self, index):
        """Loads the setup a calibration result (results index) was taken with."""
        _library.call("MEMbaseState", index)

    def state(self):
        """The whole setup as a :class:`SetupView`. Raises SetupError when a side holds a
        thermocouple or RTD conversion failure."""
        lib = _library.lib()
        sides = []
        for call, kind in (("STAgetInput", Reading), ("STAgetOutput", Source)):
            function, sensor = _names(2)
            flags = [c_uint32(), c_uint32()]
            values = [c_float(), c_float()]
            _library.call(call, function, sensor, *map(byref, flags + values))
            sides.append(kind(decode(function.value), decode(sensor.value),
                              *(bool(f.value) for f in flags), *(_library.f32(v.value) for v in values)))
        automatic, high = c_uint32(), c_float()
        lib.STAgetInputRange(byref(automatic), byref(high))
        loop, temp_units, pres_units, standard, mode = (
            _library.buffer(call, parameter) for call, parameter in (
                ("STAgetLoopPower", "loopPower"), ("STAgetTempUnits", "units"),
                ("STAgetPresUnits", "units"), ("STAgetTempStd", "standard"),
                ("STAgetTref", "mode")))
        lib.STAgetLoopPower(loop)
        scaled = [c_uint32(), c_float(), c_float(), c_uint32(), c_float(), c_float()]
        lib.STAgetScaled(*map(byref, scaled))
        scales = [c_float() for _ in range(5)]
        lib.STAgetInputScale(byref(scales[0]), byref(scales[1]))
        lib.STAgetOutputScale(byref(scales[2]), byref(scales[3]))
        lib.STAgetTestTolerance(byref(scales[4]))
        lib.STAgetTempUnits(temp_units)
        lib.STAgetPresUnits(pres_units)
        lib.STAgetTempStd(standard)
        tref = c_float()
        lib.STAgetTref(mode, byref(tref))
        text1, text2 = (_library.buffer("STAgetPressure", p) for p in ("text1", "text2"))
        present = c_uint32()
        lib.STAgetPressure(text1, text2, byref(present))
        v = [_library.f32(s.value) for s in scaled + scales]
        return SetupView(sides[0], sides[1], bool(automatic.value), _library.f32(high.value),
                         decode(loop.value), Transfer(bool(v[0]), v[1], v[2]),
                         Transfer(bool(v[3]), v[4], v[5]), (v[6], v[7]), (v[8], v[9]), v[10],
                         decode(temp_units.value), decode(pres_units.value),
                         decode(standard.value), decode(mode.value), _library.f32(tref.value),
                         (decode(text1.value), decode(text2.value)) if present.value else None)

    def min_max(self):
        """(maximum, minimum) of the input readings since the record was cleared."""
        maximum, minimum = c_float(), c_float()
        _library.call("STAgetMinMax", byref(maximum), byref(minimum))
        return _library.f32(maximum.value), _library.f32(minimum.value)

    def _strings(self, call):
        first, second = _names(2, _DISPLAY)
        _library.call(call, first, second)
        return decode(first.raw), decode(second.raw)

    def input_string(self):
        """(primary, secondary) input readings as the calibrator's display shows them, e.g.
        ``(" 4.0000mA", "")``; ``"------"`` without a valid reading, ``"!!!!!!"`` on overload.
        The display's own glyphs come back as Unicode (Ω, °, ₂; see :mod:`kvtlnk.charset`)."""
        return self._strings("STAgetInputString")

    def output_string(self):
        """(primary, secondary) output setting as the display shows it, e.g.
        ``("100.00Ω", "")``."""
        return self._strings("STAgetOutputString")

    def min_max_string(self):
        """(maximum, minimum) as the display shows them; ``"!!!!!!"`` before any reading."""
        return self._strings("STAgetMinMaxString")

    def log(self):
        """The log of readings the setup carries, as a :class:`Log` (empty after
        :meth:`reset`). A sample that is no valid reading comes back as None."""
        lib = _library.lib()
        counts = [c_uint32() for _ in range(3)]
        _library.call("STAgetLogData", *map(byref, counts))
        start = [c_uint32() for _ in range(6)]
        _library.call("STAgetLogStart", *map(byref, start))
        low, high = c_float(), c_float()
        _library.call("STAgetLogMinMax", byref(low), byref(high))
        samples = []
        for i in range(counts[0].value):
            valid, value = c_uint32(), c_float()
            lib.STAgetLoggedData(i, byref(valid), byref(value))  # 2008: not a valid reading
            samples.append(_library.f32(value.value) if valid.value else None)
        return Log(counts[1].value, counts[2].value, stamp(s.value for s in start),
                   _library.f32(low.value), _library.f32(high.value), samples)
