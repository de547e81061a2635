"""The session with a K27 calibrator on a serial port."""
import functools
import math
import operator
import os
from ctypes import byref, c_uint32
from dataclasses import dataclass
from numbers import Real

from . import _backup, _library, _ports
from . import image as _image
from .charset import decode
from .errors import ResultsWouldBeLostError, SessionError, SessionInUseError

_LONGEST_MS = 2**32 - 1


def _milliseconds(timeout):
    """KVTopen's read time-out for ``timeout`` seconds; refuses what would round to 0 ms or
    not fit its 32 bits."""
    if isinstance(timeout, bool) or not isinstance(timeout, Real) \
            or not math.isfinite(timeout):
        _library.refuse("Calibrator", "timeout=%r is not a number of seconds" % (timeout,))
    milliseconds = math.floor(timeout * 1000 + 0.5)  # the nearest, halves up
    if timeout <= 0 or milliseconds < 1:
        _library.refuse("Calibrator", "timeout=%r: give 0.001 s or more (0.5 s is usual); the "
                        "library takes 0 as no time-out at all, which holds a call for as long "
                        "as the calibrator is off" % (timeout,))
    if milliseconds > _LONGEST_MS:
        _library.refuse("Calibrator", "timeout=%r is more than the port waits at most, %d ms"
                        % (timeout, _LONGEST_MS))
    return milliseconds


def _attempts(attempts):
    """KVTopen's attempt count, 1 to 255: the library keeps the low 8 bits."""
    try:
        count = operator.index(attempts)
    except TypeError:
        _library.refuse("Calibrator", "attempts=%r is not a whole number" % (attempts,))
    if not 1 <= count <= 255:
        _library.refuse("Calibrator", "attempts=%d: each exchange makes 1 to 255 attempts (5 is "
                        "usual)" % count)
    return count


def _session(method):
    """A method that talks to the calibrator: refused once the Calibrator is closed (or
    another has opened since), so that it never drives another object's session."""
    @functools.wraps(method)
    def checked(self, *args, **kwargs):
        if Calibrator._open is not self:
            raise SessionError(2017, "Calibrator." + method.__name__,
                               "this Calibrator on %s is closed; open a new one" % self.port)
        return method(self, *args, **kwargs)
    return checked


@dataclass(frozen=True)
class Identity:
    """Who the calibrator is (KVTgetK2x).

    Attributes:
        model: the model text, e.g. ``"ORVAN K27"``.
        firmware: the firmware version, e.g. ``"V1.2.0"``.
        serial: the calibrator's serial number.
        memory_bytes: the capacity of each of its two memories, in bytes.
        procedure_items: items in its procedure memory.
        result_items: items in its results memory.
    """

    model: str
    firmware: str
    serial: str
    memory_bytes: int
    procedure_items: int
    result_items: int


@dataclass(frozen=True)
class MemoryStats:
    """The calibrator's memory use, over both memories together (KVTmemstats).

    Attributes:
        used_bytes: bytes used.
        free_bytes: bytes free.
    """

    used_bytes: int
    free_bytes: int


class Calibrator:
    """The session with a calibrator: opened by the constructor, closed by :meth:`close` or at
    the end of a ``with`` block; after that every method but :meth:`close` raises
    :class:`~kvtlnk.SessionError` (2017).

    The library holds one session per process (and one memory image and one setup): while a
    Calibrator is open, constructing another raises :class:`~kvtlnk.SessionInUseError`. Call
    the library from one thread at a time.

    Args:
        port: the serial port: ``"/dev/ttyUSB0"``, a pty such as the emulator's, ``"COM3"``
            (on POSIX ``/dev/ttyS2``).
        timeout: how long the port waits for each byte of a reply, in seconds: 0.001 to
            4294967.295, in whole milliseconds.
        attempts: how many times each packet exchange is tried, 1 to 255.

    Raises:
        SessionError: the port cannot be opened (2017: the message says why, as the
            command-line tool does: no such device, a file or a directory, not a terminal,
            permission denied, busy) or the calibrator does not answer (2019) or answers
            badly (2018, 2020-2022).
        NotAcceptedError: the instrument is not a K27 (2005).
        ArgumentError: a timeout, attempt count or port the library cannot take.

    Example::

        with Calibrator("/dev/ttyUSB0") as k27:
            print(k27.identify().serial)
    """

    _open = None

    def __init__(self, port, timeout=0.5, attempts=5):
        if Calibrator._open is not None:
            raise SessionInUseError(
                None, "Calibrator", "a calibrator session is already open on %s: the library "
                "holds one session per process; close it first" % Calibrator._open.port)
        self.port = os.fsdecode(port)
        if not self.port:
            _library.refuse("Calibrator", "port='' names no port")
        _library.refuse_zero_byte("Calibrator", "port", self.port)
        self._timeout_ms, self._attempts = _milliseconds(timeout), _attempts(attempts)
        self._open_session()

    def _open_session(self):
        try:
            _library.call("KVTopen", 9600, os.fsencode(self.port), self._timeout_ms,
                          self._attempts)
        except SessionError as error:
            problem = _ports.port_problem(self.port) if error.code == 2017 else ""
            if not problem:
                raise
            device = _ports.device_path(self.port)
            shown = self.port if device == self.port else "%s (%s)" % (self.port, device)
            raise SessionError(2017, "KVTopen", "cannot open %s: %s" % (shown, problem)) from None
        Calibrator._open = self

    def __enter__(self):
        return self

    def __exit__(self, kind, value, trace):
        try:
            self.close()
        except Exception:
            if kind is None:
                raise
        return False

    @property
    def is_open(self):
        """True until :meth:`close`."""
        return Calibrator._open is self

    def close(self):
        """Closes the session and the port. The port is closed even when the farewell to the
        calibrator fails, which raises SessionError all the same. Closing twice does nothing."""
        if Calibrator._open is self:
            Calibrator._open = None
            _library.call("KVTclose")

    @_session
    def identify(self):
        """Asks the calibrator who it is and what its memories hold; returns an
        :class:`Identity`."""
        model, serial, firmware = (_library.buffer("KVTgetK2x", p)
                                   for p in ("model", "ident3", "firmwareVersion"))
        counts = [c_uint32() for _ in range(3)]
        _library.call("KVTgetK2x", model, serial, firmware, *map(byref, counts))
        return Identity(decode(model.value), decode(firmware.value), decode(serial.value),
                        *(n.value for n in counts))

    @_session
    def memory_stats(self):
        """The calibrator's bytes used and free over both memories; a :class:`MemoryStats`."""
        used, free = c_uint32(), c_uint32()
        _library.call("KVTmemstats", byref(used), byref(free))
        return MemoryStats(used.value, free.value)

    @_session
    def download(self, image, progress=None, *, backup=None, discard_results=False):
        """Sends the procedure memory of the library's image to the calibrator, replacing its
        procedure memory; the end of the download empties its results memory.

        While the calibrator holds results, a download raises
        :class:`~kvtlnk.ResultsWouldBeLostError` and sends nothing, unless ``backup`` names a
        new file to save both memories in first or ``discard_results`` is True (see
        :meth:`backup`).

        Args:
            image: the :class:`~kvtlnk.Image` to send (the process's one image).
            progress: called as ``progress(done, total)`` after each item.
            backup: a path for the backup of both memories, taken first in any case.
            discard_results: go on although the results are not saved.

        Returns:
            the number of items sent.
        """
        del image  # every Image works on the one image of the process
        self._guard_results("download", backup, discard_results, "the download erases")
        return self._transfer("KVTdnlStart", "KVTdnlStep", progress)

    @_session
    def upload(self, progress=None):
        """Copies both of the calibrator's memories into the library's image, replacing what
        it held; read them with :class:`~kvtlnk.Image`. ``progress(done, total)`` is called
        after each item. Returns the number of items fetched."""
        with _image.uploading():
            return self._transfer("KVTuplStart", "KVTuplStep", progress)

    @_session
    def clear(self, *, backup=None, discard_results=False):
        """Empties the calibrator's procedure memory; the library's image is not touched.
        Its results refer to that procedure: while it holds results, clear raises
        :class:`~kvtlnk.ResultsWouldBeLostError` unless ``backup`` or ``discard_results`` is
        given, as for :meth:`download`."""
        self._guard_results("clear", backup, discard_results,
                            "refer to the strategies and tasks that clear takes away")
        _library.call("KVTclear")

    @_session
    def backup(self, path):
        """Saves both of the calibrator's memories in a new image file, the file ``kvtlnk
        upload --out`` writes and ``kvtlnk show`` reads, and reads it back before returning.
        It never replaces a file. The library's image, which may hold what is about to be
        downloaded, is not touched: the upload runs in a Python process of its own, for which
        the session closes and opens again. Returns ``{"procedure": n, "results": n}``, the
        records saved; raises :class:`~kvtlnk.BackupError` when the file cannot be written or
        does not read back as written."""
        path = os.path.abspath(os.fspath(path))
        _backup.check_new("Calibrator.backup", path)
        Calibrator._open = None
        try:
            _library.call("KVTclose")
            saved = _backup.run(self.port, path, self._timeout_ms, self._attempts)
        finally:
            self._open_session()  # when it fails, this Calibrator stays closed
        return saved

    def _guard_results(self, call, backup, discard, loss):
        if backup is not None:
            self.backup(backup)
            return
        held = self.identify().result_items
        if held and not discard:
            raise ResultsWouldBeLostError(
                "Calibrator." + call, "the calibrator on %s holds %d result item%s, which %s: "
                "pass backup=PATH to save both memories there first, or discard_results=True "
                "(nothing was sent)" % (self.port, held, "" if held == 1 else "s", loss), held)

    @staticmethod
    def _transfer(start, step, progress):
        total, remaining = c_uint32(), c_uint32()
        _library.call(start, byref(total))
        remaining.value = total.value
        while remaining.value > 0:
            _library.call(step, byref(remaining))
            if progress is not None:
                progress(total.value - remaining.value, total.value)
        return total.value
