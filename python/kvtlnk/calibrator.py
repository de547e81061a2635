"""The session with a K27 calibrator on a serial port."""
import ctypes
import os
from ctypes import byref, c_uint32
from dataclasses import dataclass

from . import _library
from .charset import decode
from .errors import SessionInUseError


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
    the end of a ``with`` block.

    The library holds one session per process (and one memory image and one setup): while a
    Calibrator is open, constructing another raises :class:`~kvtlnk.SessionInUseError`. Call
    the library from one thread at a time.

    Args:
        port: the serial port: ``"/dev/ttyUSB0"``, a pty such as the emulator's, ``"COM3"``.
        timeout: how long the port waits for each byte of a reply, in seconds.
        attempts: how many times each packet exchange is tried.

    Raises:
        SessionError: the port cannot be opened (2017) or the calibrator does not answer
            (2019) or answers badly (2018, 2020-2022).
        NotAcceptedError: the instrument is not a K27 (2005).
        ArgumentError: a port name the library does not take (2013).

    Example::

        with Calibrator("/dev/ttyUSB0") as k27:
            print(k27.identify().serial)
    """

    _open = None

    def __init__(self, port, timeout=0.5, attempts=5):
        if Calibrator._open is not None:
            raise SessionInUseError(
                "a calibrator session is already open on %s: the library holds one session per "
                "process; close it first" % Calibrator._open.port)
        self.port = os.fspath(port)
        _library.call("KVTopen", 9600, os.fsencode(self.port), int(round(timeout * 1000)),
                      int(attempts))
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

    def identify(self):
        """Asks the calibrator who it is and what its memories hold; returns an
        :class:`Identity`."""
        model, serial, firmware = (ctypes.create_string_buffer(128) for _ in range(3))
        numbers = [c_uint32() for _ in range(3)]
        _library.call("KVTgetK2x", model, serial, firmware, *map(byref, numbers))
        return Identity(decode(model.value), decode(firmware.value), decode(serial.value),
                        *(n.value for n in numbers))

    def memory_stats(self):
        """The calibrator's bytes used and free over both memories; a :class:`MemoryStats`."""
        used, free = c_uint32(), c_uint32()
        _library.call("KVTmemstats", byref(used), byref(free))
        return MemoryStats(used.value, free.value)

    def download(self, image, progress=None):
        """Sends the procedure memory of the library's image to the calibrator, replacing its
        procedure memory; the end of the download empties its results memory.

        Args:
            image: the :class:`~kvtlnk.Image` to send (the process's one image).
            progress: called as ``progress(done, total)`` after each item.

        Returns:
            the number of items sent.
        """
        del image  # every Image works on the one image of the process
        return self._transfer("KVTdnlStart", "KVTdnlStep", progress)

    def upload(self, progress=None):
        """Copies both of the calibrator's memories into the library's image, replacing what
        it held; read them with :class:`~kvtlnk.Image`. ``progress(done, total)`` is called
        after each item. Returns the number of items fetched."""
        return self._transfer("KVTuplStart", "KVTuplStep", progress)

    def clear(self):
        """Empties the calibrator's procedure memory; the library's image is not touched."""
        _library.call("KVTclear")

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
