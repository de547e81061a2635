"""What the calibrator holds is never lost without a word: download and clear refuse while it
holds results, a backup is an image file the command-line tool reads, and a closed Calibrator
drives no session."""
import json
import subprocess

import pytest
from conftest import CLI, build_loop_check

from kvtlnk import (ArgumentError, BackupError, Calibrator, Image, ResultsWouldBeLostError,
                    SessionError, Template)

pytestmark = pytest.mark.parametrize("emulator", [["--run"]], indirect=True)


def held(k27):
    identity = k27.identify()
    return identity.procedure_items, identity.result_items


def test_download_and_clear_keep_results_unless_told(emulator, tmp_path):
    backup = tmp_path / "field.json"
    with Calibrator(emulator) as k27:
        k27.download(build_loop_check())  # nothing held yet; the field run then records
        before = held(k27)
        assert before[1] == 2
        for action in (lambda: k27.download(Image()), k27.clear):
            with pytest.raises(ResultsWouldBeLostError, match="backup=PATH") as raised:
                action()
            assert raised.value.result_items == 2 and held(k27) == before

        image = build_loop_check(flagged=True)  # not what the calibrator holds
        k27.download(image, backup=backup)
        k27.upload()
        assert [r.flagged for r in image.procedure() if isinstance(r, Template)] == [True]

        saved = backup.read_bytes()
        with pytest.raises(BackupError, match="never replaces"):
            k27.clear(backup=backup)
        assert backup.read_bytes() == saved and held(k27)[1] == 2

        k27.clear(discard_results=True)
        assert held(k27)[0] == 0

    document = json.loads(saved)
    assert [r["name"] for r in document["results"]] == ["CAL_RESULT_A", "TAG_ID"]
    assert document["calibrator"]["ident3"] == "SN270001"
    shown = subprocess.run([CLI, "show", str(backup)], capture_output=True, text=True)
    assert shown.returncode == 0, shown.stderr
    assert "PT-101 as found, as found, taken" in shown.stdout  # the result's texts, unflagged
    assert "tag TAG-0001," in shown.stdout
    assert 'flag off, "PT-101" / "as found"' in shown.stdout  # the procedure before the download


def test_a_backup_that_cannot_be_written_sends_nothing(emulator, tmp_path):
    with Calibrator(emulator) as k27:
        k27.download(build_loop_check())
        before = held(k27)
        for path, family, reason in ((tmp_path / "no" / "such.json", BackupError, "not a folder"),
                                     (tmp_path, BackupError, "never replaces"),
                                     ("field\0.json", ArgumentError, "holds a zero byte")):
            with pytest.raises(family, match=reason):
                k27.download(Image(), backup=path)
            assert held(k27) == before


METHODS = {"identify": lambda k27, path: k27.identify(),
           "memory_stats": lambda k27, path: k27.memory_stats(),
           "upload": lambda k27, path: k27.upload(),
           "download": lambda k27, path: k27.download(Image(), discard_results=True),
           "clear": lambda k27, path: k27.clear(discard_results=True),
           "backup": lambda k27, path: k27.backup(path)}


@pytest.mark.parametrize("method", sorted(METHODS))
def test_a_closed_calibrator_drives_no_session(emulator, tmp_path, method):
    first = Calibrator(emulator)
    first.close()
    with Calibrator(emulator) as second:
        second.download(build_loop_check())
        before = held(second)
        with pytest.raises(SessionError, match="closed") as raised:
            METHODS[method](first, tmp_path / "backup.json")
        assert raised.value.code == 2017 and second.is_open and held(second) == before
    first.close()  # closing again does nothing
