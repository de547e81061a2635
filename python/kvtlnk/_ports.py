"""Why a serial port cannot be opened, in the words of the command-line tool."""
import errno
import os
import re
import stat

_COM = re.compile(r"[Cc][Oo][Mm]([0-9]+)")
_BUSY = "busy: another program holds it; close that program and try again"
_SYS_TTY = "/sys/class/tty"  # type 0: the kernel knows the port, but no UART is fitted


def device_path(port):
    """The device the library opens for a port name: on POSIX "COMn" (n from 1, up to five
    digits without a leading zero) is /dev/ttyS<n-1>; other names are paths."""
    match = _COM.fullmatch(port)
    if os.name == "nt" or not match or len(port) > 8 or match.group(1).startswith("0"):
        return port
    return "/dev/ttyS%d" % (int(match.group(1)) - 1)


def _first_line(path):
    try:
        with open(path) as file:
            return file.readline().strip()
    except OSError:
        return ""


def _permission(info):
    try:
        import grp
        group = grp.getgrgid(info.st_gid).gr_name
    except (ImportError, KeyError):
        group = None
    if group and info.st_gid != 0 and info.st_mode & stat.S_IRGRP and info.st_mode & stat.S_IWGRP:
        return ('permission denied; add your user to the "%s" group and log in again' % group)
    return "permission denied; ask for read and write access to it"


def _open_problem(number, info):
    if number in (errno.EACCES, errno.EPERM):
        return _permission(info)
    if number == errno.EBUSY:
        return _BUSY
    if number in (errno.ENXIO, errno.ENODEV, errno.EIO):
        return "the device does not respond; was the adapter unplugged? Plug it in again"
    return os.strerror(number)


def _try_opening(path, info):
    import fcntl
    import termios
    try:
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        return _open_problem(error.errno, info)
    try:
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            return _BUSY
        try:
            termios.tcgetattr(fd)
        except termios.error:
            return "is not a terminal, so not a serial port"
        return ""
    finally:
        os.close(fd)


def port_problem(port):
    """Why the library cannot open a port as the calibrator's: "is no port name: ...",
    "is a file, not a serial port", "permission denied; add your user to ..."; "" when
    nothing is found (or on Windows, where the library's own code says it)."""
    if os.name == "nt":
        return ""
    if _COM.fullmatch(port) and device_path(port) == port:
        return "is no port name: ports run from COM1 (/dev/ttyS0) up, without leading zeros"
    path = device_path(port)
    try:
        info = os.stat(path)
    except OSError as error:
        if error.errno == errno.EACCES:
            return "permission denied on the way to it"
        if os.path.islink(path):
            return "it is a link to a device that is gone; was the adapter unplugged?"
        return "no such device; is the adapter plugged in? (kvtlnk ports lists the serial ports)"
    if stat.S_ISDIR(info.st_mode):
        return "is a directory, not a serial port"
    if not stat.S_ISCHR(info.st_mode):
        return "is a file, not a serial port"
    if path.startswith("/dev/ttyS") and _first_line(
            os.path.join(_SYS_TTY, os.path.basename(path), "type")) == "0":
        return "no serial port is fitted there (kvtlnk ports lists the serial ports)"
    return _try_opening(path, info)
