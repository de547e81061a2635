"""Result codes of the kvtlnk library as Python exceptions.

Every call that returns an error code (2000 and above) raises a :class:`KvtlnkError`, or the
subclass of its family, carrying the code, the name of the call and the library's text for the
code. Warnings (100-105) are not raised: the setters return them.
"""


class KvtlnkError(Exception):
    """A kvtlnk call failed.

    Attributes:
        code: the library's result code (2000-2026).
        call: the C call that returned it, e.g. ``"KVTopen"``.
        message: the library's text for the code: what happened and what to do.
    """

    def __init__(self, code, call, message):
        super().__init__("%s: %d: %s" % (call, code, message))
        self.code = code
        self.call = call
        self.message = message


class SetupError(KvtlnkError):
    """The setup refused a change (2000-2004, 2006-2011): a sensor conversion, a combination of
    function, units and sensor, a value or range that fits no range."""


class NotAcceptedError(KvtlnkError):
    """2005: the calibrator's model or firmware does not take it (an unknown model, or a setup
    that needs later firmware), or a record is not a setup the library can restore."""


class ImageError(KvtlnkError):
    """The memory image refused or could not find a record (2012, 2014-2016, 2024, 2026): full,
    no such record, a prompt too long for the display, a strategy point outside 0.0-3.0, a
    name too long, no tag after a result."""


class ArgumentError(KvtlnkError, ValueError):
    """2013: an argument the library does not take (a name not in its list, a baud rate other
    than 9600, an index beyond the image)."""


class SessionError(KvtlnkError):
    """The session or the link failed (2017-2023): no session or the port cannot be opened, the
    calibrator refused a command or did not answer, a malformed reply."""


class SessionInUseError(RuntimeError):
    """A second :class:`~kvtlnk.Calibrator` was opened while one is open: the library holds one
    session per process."""


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
