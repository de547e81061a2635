"""The library's memory image: building the procedure memory, and reading both memories back."""
import contextlib
import ctypes
import datetime
import operator
import os
from ctypes import byref, c_float, c_int32, c_uint32
from dataclasses import dataclass
from typing import List, Optional

from . import _library
from .charset import decode, encode
from .errors import ImageError
from .setup_state import Setup, SetupView, stamp

_NAME = 33  # task, prompt and prompt-definition names, template and tag texts
_STRATEGY_NAME = 21
_PROMPT_TEXT = 65536  # more than a record holds
_NO_TASK = (0xFFFFFFFF, 0x7FFFFFFF)
_STRATEGY_CODE = 36
_SETUP_CODE = 0  # the directory code of a saved setup (and of records the library does not name)

# What the results memory of the image holds: None before any upload, else "complete" or
# "partial" (an upload that stopped part-way). Every Image works on the process's one image.
_upload = None


@contextlib.contextmanager
def uploading():
    """Marks the image as filled by an upload: complete when the block ends without an error,
    partial when it raises."""
    global _upload
    _upload = "partial"
    yield
    _upload = "complete"


def _whole(index):
    """An index that fits the uint32_t of MEMtemplate."""
    try:
        return 0 <= operator.index(index) < 2**32
    except TypeError:
        return False


def _ranges(indices):
    """"0-8, 12, 14-15" for [0, ..., 8, 12, 14, 15]."""
    spans = []
    for index in indices:
        if spans and index == spans[-1][1] + 1:
            spans[-1][1] = index
        else:
            spans.append([index, index])
    return ", ".join(str(a) if a == b else "%d-%d" % (a, b) for a, b in spans)


@dataclass(frozen=True)
class DirEntry:
    """A record's directory entry (MEMpDir, MEMrDir).

    Attributes:
        index: its index in its memory.
        code: the directory code: in the procedure memory 32 prompt definition, 33 task start,
            34 prompt, 35 task end, 36 strategy, 37 test; in the results memory 1 and 2
            calibration results, 3-7 saved setups; 0 anything else.
        stamp: when it was made (None for a date the calendar does not have).
    """

    index: int
    code: int
    stamp: Optional[datetime.datetime]


@dataclass(frozen=True)
class Strategy:
    """A test strategy: its points as fractions of the span (0.0 low end, 1.0 high end)."""

    index: int
    name: str
    points: List[float]


@dataclass(frozen=True)
class TaskStart:
    """The start of a task; the records up to the next :class:`TaskEnd` are its steps.
    ``word`` is the task's word (0 for tasks the library made)."""

    index: int
    name: str
    word: int


@dataclass(frozen=True)
class TaskEnd:
    """The end of a task."""

    index: int


@dataclass(frozen=True)
class Prompt:
    """A step that shows the prompt definition named ``definition``."""

    index: int
    definition: str


@dataclass(frozen=True)
class PromptDefinition:
    """A named prompt text."""

    index: int
    name: str
    text: str


@dataclass(frozen=True)
class Template:
    """A test: the strategy it steps through, whether it is flagged (its results report the
    reading after adjustment), and the two texts naming the item tested."""

    index: int
    strategy_index: int
    flagged: bool
    text1: str
    text2: str


@dataclass(frozen=True)
class Record:
    """A record of another kind (a saved setup, or one the library does not decode)."""

    index: int
    code: int


@dataclass(frozen=True)
class TestPoint:
    """One test point of a calibration result, in base units (volts, amps, ohms, hertz;
    temperatures and pressures in the setup's units).

    Attributes:
        measured: the measured value (for a flagged result, the reading after adjustment), or
            None when the calibrator recorded none.
        measured_limit: the upper limit of the measure range it was taken in (0.0: none).
        sourced: the sourced value, or None.
        sourced_limit: the upper limit of the source range (0.0: none).
        error: the point's third value as the calibrator recorded it (the error in percent of
            the span), or None.
    """

    measured: Optional[float]
    measured_limit: float
    sourced: Optional[float]
    sourced_limit: float
    error: Optional[float]


@dataclass(frozen=True)
class CalResult:
    """A calibration result of the results memory.

    Attributes:
        index: its results index.
        stamp: when it was taken.
        tag: the tag the calibrator gave it (e.g. ``"TAG-0001"``), or None when it has none.
        text1: the first text of the test that produced it.
        text2: its second text.
        task: the name of the task it came from, or None when no task of the procedure memory
            names its setup.
        task_index: the procedure index of that task's start, or None.
        strategy: the strategy's name.
        strategy_index: the strategy's procedure index.
        flagged: the result is flagged (its measured values are the readings after
            adjustment).
        setup: the setup the test ran with.
        points: the test points, one per point of the strategy.
    """

    index: int
    stamp: Optional[datetime.datetime]
    tag: Optional[str]
    text1: str
    text2: str
    task: Optional[str]
    task_index: Optional[int]
    strategy: str
    strategy_index: int
    flagged: bool
    setup: SetupView
    points: List[TestPoint]


class Image:
    """The library's memory image: the procedure memory it builds for a download and both
    memories an upload brings back. The library holds one image per process, which every
    Image object works on.

    Build a procedure in this order: :meth:`clear` (the nine standard strategies, indices 0 to
    8), then :meth:`strategy` and :meth:`prompt_definition`; per task, save the setups of its
    tests (:meth:`kvtlnk.Setup.save`), then :meth:`task` with its :meth:`prompt` and
    :meth:`test` steps. Texts are str, in the calibrator's character set
    (:mod:`kvtlnk.charset`). Errors raise :class:`~kvtlnk.ImageError` or
    :class:`~kvtlnk.ArgumentError`.

    Example::

        image = Image()
        image.clear()
        points = image.strategy("4 pt", [0, 0.25, 0.5, 1])
        image.prompt_definition("vent", "Vent the transmitter.")
        with image.task("PT-101"):
            image.prompt("vent")
            image.test(points, setup_index, "PT-101", "as found")
    """

    def clear(self):
        """Empties both memories and lays down the nine standard strategies."""
        global _upload
        _library.call("MEMclear")
        _upload = None

    def strategy(self, name, points):
        """Defines a strategy (name up to 20 characters; points 0.0 to 3.0, 1 to 32,000 of
        them); returns its procedure index. A strategy of that name and point count is reused.
        """
        index = c_uint32()
        values = (c_float * len(points))(*points)
        _library.call("MEMstrategyDefn", byref(index), encode(name), len(points), values)
        return index.value

    def check_prompt(self, text):
        """Returns the length of a prompt text that fits the calibrator's display (10 lines);
        raises ImageError 2015 when it does not, with ``fitting_length``, the characters that
        fit."""
        length = c_uint32()
        try:
            _library.call("MEMcheckPromptDefn", encode(text), byref(length))
        except ImageError as error:
            error.fitting_length = length.value
            raise
        return length.value

    def prompt_definition(self, name, text):
        """Defines a prompt text under a name (up to 32 characters); a text too long for the
        display is cut to what fits."""
        _library.call("MEMpromptDefn", encode(name), encode(text))

    def start_task(self, name):
        """Starts a task (name up to 32 characters)."""
        _library.call("MEMstartTask", encode(name))

    def end_task(self):
        """Ends the task."""
        _library.call("MEMendTask")

    @contextlib.contextmanager
    def task(self, name):
        """A task as a ``with`` block: started on entry, ended on leaving without an error."""
        self.start_task(name)
        yield self
        self.end_task()

    def prompt(self, definition):
        """Adds a step that shows the named prompt definition."""
        _library.call("MEMprompt", encode(definition))

    def test(self, strategy, setup, text1, text2="", flagged=False):
        """Adds a test: the strategy's procedure index, the saved setup's index
        (:meth:`kvtlnk.Setup.save`, which needs input and output scales), the two texts that
        name the item tested (up to 32 characters each) and the flag. A strategy or setup
        index that names no strategy or saved setup of the image raises
        :class:`~kvtlnk.ArgumentError` naming the indices it holds: the calibrator would skip
        such a test and record nothing."""
        if _whole(strategy) and _whole(setup):  # else the call refuses what does not fit
            self._expect("Image.test", "strategy", strategy, _STRATEGY_CODE)
            self._expect("Image.test", "setup", setup, _SETUP_CODE)
        _library.call("MEMtemplate", strategy, int(bool(flagged)), encode(text1), encode(text2),
                      setup)

    def _expect(self, call, what, index, code):
        """Refuses an index that is not a procedure record with this directory code."""
        count = self.counts()[0]
        if index < count and self._code(index) == code:
            return
        held = [i for i in range(count) if self._code(i) == code]
        if held:
            where = "the image holds " + _ranges(held)
        elif code == _SETUP_CODE:
            where = "the image holds none: save one first (Setup.save)"
        else:
            where = "the image holds none: clear() lays down the standard ones"
        _library.refuse(call, "no %s %r, %s" % (what, index, where))

    def _code(self, index):
        code = c_uint32()
        _library.call("MEMpDir", index, byref(code), *[None] * 6)
        return code.value

    def used_bytes(self):
        """Bytes the image takes in the calibrator's memories (44 when empty)."""
        used = c_uint32()
        _library.call("MEMused", byref(used))
        return used.value

    def counts(self):
        """(procedure records, results records)."""
        procedure, results = c_uint32(), c_uint32()
        _library.call("MEMstats", byref(procedure), byref(results))
        return procedure.value, results.value

    def directory(self, memory="procedure"):
        """The directory of ``"procedure"`` or ``"results"`` memory: a list of
        :class:`DirEntry`."""
        call = {"procedure": "MEMpDir", "results": "MEMrDir"}[memory]
        entries = []
        for index in range(self.counts()[memory == "results"]):
            fields = [c_uint32() for _ in range(7)]
            _library.call(call, index, *map(byref, fields))
            entries.append(DirEntry(index, fields[0].value, stamp(f.value for f in fields[1:])))
        return entries

    def record(self, index, code=None):
        """The procedure record at an index, decoded by its directory code: a
        :class:`Strategy`, :class:`TaskStart`, :class:`TaskEnd`, :class:`Prompt`,
        :class:`PromptDefinition`, :class:`Template` or :class:`Record`."""
        if code is None:
            code = c_uint32()
            _library.call("MEMpDir", index, byref(code), *[None] * 6)
            code = code.value
        name, text1, text2 = (ctypes.create_string_buffer(_NAME) for _ in range(3))
        numbers = [c_uint32(), c_uint32()]
        if code == 32:
            text, length = ctypes.create_string_buffer(_PROMPT_TEXT), c_uint32()
            _library.call("MEMpromptDefnInfo", index, name, byref(length), _PROMPT_TEXT, text)
            return PromptDefinition(index, decode(name.value), decode(text.value))
        if code == 33:
            _library.call("MEMtaskInfo", index, name, byref(numbers[0]))
            return TaskStart(index, decode(name.value), numbers[0].value)
        if code == 34:
            _library.call("MEMpromptInfo", index, name)
            return Prompt(index, decode(name.value))
        if code == 35:
            return TaskEnd(index)
        if code == 36:
            return self._strategy(index)
        if code == 37:
            _library.call("MEMtemplateInfo", index, *map(byref, numbers), text1, text2)
            return Template(index, numbers[0].value, bool(numbers[1].value),
                            decode(text1.value), decode(text2.value))
        return Record(index, code)

    def _strategy(self, index):
        name, count = ctypes.create_string_buffer(_STRATEGY_NAME), c_int32()
        _library.call("MEMstrategyInfo", index, name, byref(count), 0, None)
        points = (c_float * count.value)()
        _library.call("MEMstrategyInfo", index, name, byref(count), count.value, points)
        return Strategy(index, decode(name.value), [round(p, 4) for p in points])

    def procedure(self):
        """Every record of the procedure memory, decoded (see :meth:`record`)."""
        return [self.record(e.index, e.code) for e in self.directory("procedure")]

    def results(self):
        """Every calibration result of the results memory, as :class:`CalResult`. Reading a
        result loads its setup into the library's setup (:meth:`kvtlnk.Setup.load_result`).

        Raises :class:`~kvtlnk.ImageError` before any upload (or after :meth:`clear`), and
        after an upload that stopped part-way: the image then holds no results, or only some,
        which an empty list would hide."""
        if _upload != "complete":
            raise ImageError(None, "Image.results", {
                None: "no upload yet: the image holds the calibrator's results only after "
                      "Calibrator.upload()",
                "partial": "the last upload stopped part-way: upload again"}[_upload])
        return [self.result(e.index, e.stamp) for e in self.directory("results")
                if e.code in (1, 2)]

    def result(self, index, when=None):
        """The calibration result at a results index, as a :class:`CalResult`."""
        if when is None:
            fields = [c_uint32() for _ in range(7)]
            _library.call("MEMrDir", index, *map(byref, fields))
            when = stamp(f.value for f in fields[1:])
        count, task_index, strategy_index, flag = (c_uint32() for _ in range(4))
        _library.call("MEMcalResult", index, byref(count))
        _library.call("MEMasflInfo", index, byref(task_index), byref(strategy_index), byref(flag))
        texts = [ctypes.create_string_buffer(_NAME) for _ in range(3)]
        try:
            _library.call("MEMtagidInfo", index, *texts)
        except ImageError as error:  # 2026: the calibrator stored the result without a tag
            if error.code != 2026:
                raise
        tag, text1, text2 = (decode(t.value) for t in texts)
        task = None
        if task_index.value not in _NO_TASK:
            task = self.record(task_index.value, 33).name
        points = []
        for entry in range(count.value):
            values = [c_float() for _ in range(5)]
            flags = [c_uint32(), c_uint32()]
            _library.call("MEMcalResultEntry", index, entry, byref(values[0]), byref(flags[0]),
                          byref(values[1]), byref(values[2]), byref(flags[1]), byref(values[3]),
                          byref(values[4]))
            v = [_library.f32(x.value) for x in values]
            points.append(TestPoint(v[0] if flags[0].value else None, v[1],
                                    v[2] if flags[1].value else None, v[3],
                                    None if v[4] != v[4] else v[4]))
        setup = Setup()
        setup.load_result(index)
        return CalResult(index, when, tag or None, text1, text2, task,
                         None if task is None else task_index.value,
                         self._strategy(strategy_index.value).name, strategy_index.value,
                         bool(flag.value), setup.state(), points)

    def dump(self, directory):
        """Writes the image to files in an existing directory: per memory a listing
        (``res.dir``, ``prc.dir``) and one file of data bytes per record."""
        _library.call("MEMdump", os.fsencode(directory))
