"""Result codes of the kvtlnk library, and what the package itself refuses, as exceptions.

Every call that returns an error code (2000 and above) raises a :class:`KvtlnkError`, or the
subclass of its family, carrying the code, the name of the call and the library's text for the
code. The setters return warnings (100-105); :meth:`kvtlnk.Setup.save_new` raises
:class:`SettingChangedError` when one undoes a setting it was given. Arguments that do not fit
the library's C types, and names it does not know, raise :class:`ArgumentError` before or
instead of the call.
"""


class KvtlnkError(Exception):
    """A kvtlnk call failed, or the package refused to make it.

    Attributes:
        code: the library's result code (2000-2026; 100-105 for
            :class:`SettingChangedError`), or None when the package refused on its own.
        call: the C call (``"KVTopen"``) or the method (``"Calibrator.download"``) that failed.
        message: what happened and what to do: the library's text for the code, or the
            package's more precise one.
    """

    def __init__(self, code, call, message):
        super().__init__("%s: %s%s" % (call, "" if code is None else "%d: " % code, message))
        self.code = code
        self.call = call
        self.message = message


class SetupError(KvtlnkError):
    """The setup refused a change (2000-2004, 2006-2011): a sensor conversion, a combination of
    function, units and sensor, a value or range that fits no range."""


class SettingChangedError(SetupError):
    """A setting of :meth:`kvtlnk.Setup.save_new` was undone by a later one: the calibrator
    made way (warning 100-105) by switching off or changing what was asked. Nothing was saved.

    Attributes:
        setting: the keyword whose setter gave the warning, e.g. ``"loop_power"``.
        changed: the keywords it undid, e.g. ``["output"]``.
        warnings: every :class:`kvtlnk.SetupWarning` up to this one.
    """

    def __init__(self, code, call, message, setting, changed, warnings):
        super().__init__(code, call, message)
        self.setting = setting
        self.changed = changed
        self.warnings = warnings


class NotAcceptedError(KvtlnkError):
    """2005: the calibrator's model or firmware does not take it (an unknown model, or a setup
    that needs later firmware), or a record is not a setup the library can restore."""


class ImageError(KvtlnkError):
    """The memory image refused or could not find a record (2012, 2014-2016, 2024, 2026): full,
    no such record, a prompt too long for the display, a strategy point outside 0.0-3.0, a
    name too long, no tag after a result."""


class ArgumentError(KvtlnkError, ValueError):
    """2013: an argument the library does not take (a name not in its list, a baud rate other
    than 9600, an index beyond the image), or one the package refuses before the call: a
    number that does not fit the C type, a text with a zero byte, a value of the wrong type."""


class SessionError(KvtlnkError):
    """The session or the link failed (2017-2023): no session or the port cannot be opened, the
    calibrator refused a command or did not answer (also when the adapter was unplugged), a
    malformed reply. A method of a closed
    :class:`~kvtlnk.Calibrator` raises it with code 2017."""


class SessionInUseError(SessionError, RuntimeError):
    """A second :class:`~kvtlnk.Calibrator` was opened while one is open: the library holds one
    session per process."""


class ResultsWouldBeLostError(SessionError):
    """The calibrator holds calibration results that a download (which empties the results
    memory) or a clear (which takes away the procedure they refer to) would lose: pass
    ``backup=PATH`` to save both memories first, or ``discard_results=True``. Nothing was sent.

    Attributes:
        result_items: the items in the calibrator's results memory.
    """

    def __init__(self, call, message, result_items):
        super().__init__(None, call, message)
        self.result_items = result_items


class BackupError(SessionError):
    """The backup of the calibrator's memories could not be made, written or read back as
    written; nothing was changed on the calibrator."""


class LibraryNotFoundError(KvtlnkError, OSError):
    """The kvtlnk library could not be found or loaded; the message says where the package
    looked and names ``KVTLNK_LIBRARY``, which takes its path."""


def error_class(code):
    """The exception class of a result code's family."""
    if code == 2005:
        return NotAcceptedError
    if code == 2013:
        return ArgumentError
    if 2000 <= code <= 2011:
        return SetupError
    if 2017 <= code <= 2023:
        return SessionError
    return ImageError if 2012 <= code <= 2026 else KvtlnkError
