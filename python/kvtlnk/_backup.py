"""Backups of a calibrator's memories in the image-file format of the command-line tool (the
file of ``kvtlnk upload --out``, which ``kvtlnk show`` reads): both memories record by record,
as MEMdump writes them, with the calibrator's identity.

A backup is taken in a Python process of its own (:func:`run` starts :func:`main`): the upload
replaces the memory image of the process that makes it, and the image of the application's
process holds what it is about to download.
"""
import ctypes
import datetime
import json
import os
import re
import subprocess
import sys
import tempfile

from . import _library
from .errors import BackupError, KvtlnkError

_KINDS = {1: "SETUP_1", 2: "SETUP_2", 3: "SETUP_3", 4: "SETUP_4", 5: "SETUP_5", 6: "TEMPLATE",
          7: "CAL_RESULT_A", 8: "CAL_RESULT_B", 10: "PROMPT_DEFN", 11: "TASK_START",
          12: "PROMPT", 13: "TASK_END", 14: "STRATEGY", 15: "TAG_ID"}
_LISTING = re.compile(rb"([0-9]+): .*\(([0-9]+)\),V\(([0-9]+)\),")  # 3: NAME(14),V(0),date
_RECORD_BYTES = 64976  # the most a record holds
_MEMORIES = (("procedure", "prc", "MEMpDir"), ("results", "res", "MEMrDir"))


def _memory(folder, prefix, directory, count):
    """One memory of the library's image from MEMdump's files: the listing gives each record's
    kind and version, its data file the bytes; the directory call the code and stamp."""
    with open(os.path.join(folder, prefix + ".dir"), "rb") as listing:
        lines = listing.read().splitlines()
    if len(lines) != count:
        raise BackupError(None, "MEMdump", "%s.dir lists %d records, not %d"
                          % (prefix, len(lines), count))
    records = []
    for index, line in enumerate(lines):
        match = _LISTING.match(line)
        if not match or int(match.group(1)) != index or int(match.group(2)) > 0xFFFF:
            raise BackupError(None, "MEMdump", "%s.dir has line %d as %r"
                              % (prefix, index + 1, line[:80].decode("latin-1")))
        fields = [ctypes.c_uint32() for _ in range(7)]  # code, year, month, day, hour, min, s
        _library.call(directory, index, *map(ctypes.byref, fields))
        with open(os.path.join(folder, "%s%d.nd" % (prefix, index)), "rb") as file:
            data = file.read(_RECORD_BYTES + 1)
        if len(data) > _RECORD_BYTES:
            raise BackupError(None, "MEMdump", "%s%d.nd is not the data of a record"
                              % (prefix, index))
        kind = int(match.group(2))
        records.append({"index": index, "kind": kind, "name": _KINDS.get(kind, "UNKNOWN"),
                        "version": int(match.group(3)), "code": fields[0].value,
                        "stamp": "%04d-%02d-%02d %02d:%02d:%02d"
                                 % tuple(f.value for f in fields[1:]),
                        "length": len(data), "data": data.hex()})
    return records


def image_document(calibrator):
    """Both memories of the library's image as an image file holds them; ``calibrator`` is
    the identity of the calibrator they came from."""
    counts = [ctypes.c_uint32(), ctypes.c_uint32()]
    _library.call("MEMstats", *map(ctypes.byref, counts))
    base = tempfile.gettempdir()
    with tempfile.TemporaryDirectory(prefix="kvtlnk-", dir=base if len(base) < 160 else "/tmp") \
            as scratch:  # MEMdump takes paths of up to 238 characters
        _library.call("MEMdump", os.fsencode(scratch))
        memories = {name: _memory(scratch, prefix, call, count.value)
                    for (name, prefix, call), count in zip(_MEMORIES, counts)}
    return {"kvtlnkImage": 1, "calibrator": calibrator, **memories}


def check_new(call, path):
    """Refuses a backup path before anything is sent: a zero byte in it, an existing file (a
    backup never replaces one) or a folder that cannot take a file."""
    _library.refuse_zero_byte(call, "backup", path)
    folder = os.path.dirname(os.path.abspath(path))
    if os.path.lexists(path):
        raise BackupError(None, call, "the backup %s exists: a backup never replaces a file; "
                          "give a new name (nothing was sent)" % path)
    if not os.path.isdir(folder) or not os.access(folder, os.W_OK | os.X_OK):
        raise BackupError(None, call, "cannot write the backup %s: %s is not a folder this user "
                          "may write to (nothing was sent)" % (path, folder))


def _records(document):
    return {name: [(r["kind"], r["version"], r["stamp"], r["data"]) for r in document[name]]
            for name, _, _ in _MEMORIES}


def write_new(path, document):
    """Writes an image file whole, under a name no file has, and reads it back: raises
    BackupError when it cannot or the file does not hold what was uploaded."""
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix="." + os.path.basename(path) + ".", dir=folder)
    try:
        if os.name != "nt":  # mkstemp makes the file private; the backup gets the usual mode
            mask = os.umask(0)
            os.umask(mask)
            os.fchmod(handle, 0o666 & ~mask)
        with os.fdopen(handle, "w", encoding="utf-8") as file:
            file.write(json.dumps(document, indent=1, ensure_ascii=False) + "\n")
            file.flush()
            os.fsync(file.fileno())
        (os.rename if os.name == "nt" else os.link)(temporary, path)  # neither replaces a file
    except OSError as error:
        raise BackupError(None, "write", "cannot write the backup %s: %s"
                          % (path, error.strerror or error)) from None
    finally:
        if os.path.exists(temporary):
            os.unlink(temporary)
    try:
        with open(path, encoding="utf-8") as file:
            same = _records(json.load(file)) == _records(document)
    except (OSError, ValueError, KeyError, TypeError):
        same = False
    if not same:
        raise BackupError(None, "write", "the backup %s does not read back as written" % path)


def run(port, path, timeout_ms, attempts):
    """Takes a backup in a process of its own; returns {"procedure": n, "results": n}, the
    records written, or raises BackupError with the reason."""
    if not sys.executable:
        raise BackupError(None, "backup", "no Python interpreter to take the backup with")
    package = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [package] + [p for p in [os.environ.get("PYTHONPATH")] if p]))
    env["KVTLNK_LIBRARY"] = _library.library_path()
    main_call = "import sys, kvtlnk._backup as b; sys.exit(b.main(*sys.argv[1:]))"
    done = subprocess.run([sys.executable, "-c", main_call, port, path, str(timeout_ms),
                           str(attempts)], stdout=subprocess.PIPE, text=True, env=env)
    lines = done.stdout.strip().splitlines()
    try:
        reply = json.loads(lines[-1])
    except (IndexError, ValueError):
        reply = {"error": {"code": None, "call": "backup", "message": "the backup process "
                           "ended with status %d and no reply" % done.returncode}}
    if "error" in reply:
        error = reply["error"]
        raise BackupError(error["code"], error["call"], error["message"])
    return reply


def main(port, path, timeout_ms, attempts):
    """The backup process: uploads, writes and reads back the file; prints the records written
    or the error as one line of JSON."""
    from .calibrator import Calibrator
    try:
        with Calibrator(port, timeout=int(timeout_ms) / 1000, attempts=int(attempts)) as k27:
            identity = k27.identify()
            k27.upload()
            calibrator = {"model": identity.model, "firmware": identity.firmware,
                          "ident3": identity.serial, "edValue": identity.memory_bytes,
                          "procedureItems": identity.procedure_items,
                          "resultItems": identity.result_items, "port": port,
                          "uploaded": datetime.datetime.now().strftime("%Y-%m-%d %H:%M:%S")}
            document = image_document(calibrator)
        write_new(path, document)
        print(json.dumps({name: len(document[name]) for name, _, _ in _MEMORIES}))
        return 0
    except KvtlnkError as error:
        print(json.dumps({"error": {"code": error.code, "call": error.call,
                                    "message": error.message}}))
        return 1

