"""A whole backup job: save on the host, download, host clean-up, result log, daily log, mail."""

import os
import random
import threading
import time

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import (MAIL_COMMANDS, ENCODING, expected_mail, host_tree, minute_stamp,
                         only_result_log, read_save_file)

SAVED_ROWS = [
    ObjectRow("QSYS", "*ALLUSR", "*LIB"),     # every user library, into the save file #ALLUSR
    ObjectRow("QSYS", "ARLIB", "*LIB"),       # one library
    ObjectRow("PAYLIB", "PAYROLL", "*FILE"),  # one object of a library
    ObjectRow("ARLIB", "INV*", "*FILE"),      # a generic name, into the save file INV#
]
# What each save file holds: its description and the host paths saved into it.
SAVES = {
    "#ALLUSR": ("QSYS", "*ALLUSR", "*LIB",
                ["ARLIB", "PAYLIB", "ZORVADATA", "ZORVALOGLB", "ZORVARST", "ZORVAV3"]),
    "ARLIB": ("QSYS", "ARLIB", "*LIB", ["ARLIB"]),
    "PAYROLL": ("PAYLIB", "PAYROLL", "*FILE", ["PAYLIB/PAYROLL"]),
    "INV#": ("ARLIB", "INV*", "*FILE", ["ARLIB/INV2025", "ARLIB/INV2026"]),
}


def host_objects():
    rng = random.Random(5)
    return {
        "PAYLIB/PAYROLL/MBR2026": rng.randbytes(40000),
        "PAYLIB/PAYROLL/MBR2025": "給与\r\n".encode(ENCODING) * 500,
        "PAYLIB/BONUS": b"bonus data\r\n" * 100,
        "ARLIB/INV2025": bytes(range(256)) * 40,
        "ARLIB/INV2026": rng.randbytes(3000),
        "ARLIB/CUSTOMERS": "得意先\r\n".encode(ENCODING) * 100,
        "QGPL/SCRATCH": b"system library: not a user library\r\n",
        "QUSRTOOL/TOOL": b"starts with Q: not a user library\r\n",
    }


def demo_set(failing_row, rows=SAVED_ROWS, **schedule):
    return BackupSet("テスト用セット", [*rows, failing_row], **schedule)


def generation_folder(program, start):
    """The every-day generation of a job started at `start` (YYYYMMDDHHMM)."""
    return program.base / "DEMO" / "7" / start[:8]


def assert_save_file(data, name, host_root):
    """`data` is the complete save file `name`: its description and every byte it saved."""
    library, obj, type_, members = SAVES[name]
    description, content = read_save_file(data)
    assert (description["library"], description["object"], description["type"],
            description["members"]) == (library, obj, type_, members)
    assert content == host_tree(host_root, members)


def assert_finished_job(program, host, mail, before, failing):
    """What every finished job of the set above leaves, whatever became of the host's copies."""
    start, end, set_name, word, rows = only_result_log(program)
    assert (set_name, word) == ("DEMO", "一部未完")
    assert before <= start <= end <= minute_stamp()
    assert [(r.library, r.object, r.type, r.status) for r in rows] == [
        *((r.library, r.object, r.type, "保管正常完了") for r in SAVED_ROWS),
        ("PAYLIB", failing, "*FILE", "ホストで保管失敗")]
    for row in rows[:-1]:
        assert start <= row.started <= row.ended <= end, row
    assert (rows[-1].started, rows[-1].ended) == ("000000000", "000000000")

    folder = generation_folder(program, start)
    assert sorted(os.listdir(program.base)) == ["DEMO"]
    assert program.files_below(program.base / "DEMO") == [
        "7", f"7/{start[:8]}", *(f"7/{start[:8]}/{n}" for n in sorted([*SAVES, "SHA256SUMS.txt"]))]
    for name in SAVES:
        assert_save_file((folder / name).read_bytes(), name, host.root)

    messages = program.daily_messages()
    assert "DEMO 全ての転送が完了" in messages
    assert messages.count("保管が正常に終了した") == len(SAVES)

    (data, envelope), = mail.messages()
    assert envelope["commands"] == MAIL_COMMANDS
    assert data == expected_mail("DEMO", start, end, rows)
    return messages


@pytest.mark.parametrize("failing, control", [
    pytest.param("NOSUCHOBJ", {}, id="object-missing-on-host"),
    pytest.param("BONUS", {"fail_objects": ["BONUS"]}, id="host-save-fails"),
])
def test_backup_downloads_every_saved_object_and_reports_the_job(program, host, mail,
                                                                 failing, control):
    host.write_objects(host_objects())
    host.control(**control)
    program.write_set("DEMO", demo_set(ObjectRow("PAYLIB", failing, "*FILE")))
    before = minute_stamp()

    run = program.run("DEMO")

    assert run.returncode == 0, run.output
    messages = assert_finished_job(program, host, mail, before, failing)
    # The host kept nothing: every save file and the progress list are deleted.
    assert host.library("DEMO") == []
    deleted = [m for m in messages if m.endswith("削除しました")]
    assert deleted == [f"DEMO/{name}削除しました" for name in ["#ALLUSR", "ARLIB", "PAYROLL", "INV#"]]
    # The request went to the host as one 34-byte record per row.
    request = (host.root / "ZORVADATA" / "DEMO").read_bytes()
    assert request == b"".join(
        f"{r.kind}{r.object:<10}{r.library:<10}{r.type:<10}2\r\n".encode()
        for r in [*SAVED_ROWS, ObjectRow("PAYLIB", failing, "*FILE")])


def test_downloaded_files_are_the_host_save_files_byte_for_byte(program, host, mail):
    # With deletion refused the host keeps its save files, so both copies can be compared.
    host.write_objects(host_objects())
    host.control(refuse={"DELE": True})
    program.write_set("DEMO", demo_set(ObjectRow("PAYLIB", "NOSUCHOBJ", "*FILE")))
    before = minute_stamp()

    run = program.run("DEMO")

    assert run.returncode == 0, run.output
    messages = assert_finished_job(program, host, mail, before, "NOSUCHOBJ")
    start = only_result_log(program)[0]
    assert host.library("DEMO") == sorted(SAVES)  # the progress list is gone all the same
    for name in SAVES:
        assert (generation_folder(program, start) / name).read_bytes() == \
            (host.root / "DEMO" / name).read_bytes(), name
        assert f"DEMO/{name}削除に失敗しました" in messages


def test_a_cut_download_is_retried_and_never_replaces_the_earlier_file_with_a_part(
        program, host, mail):
    objects = host_objects()
    objects["PAYLIB/PAYROLL/MBR2026"] = random.Random(7).randbytes(600_000)
    host.write_objects(objects)
    host.control(cut={"RETR DEMO/PAYROLL": {"after": 65536, "times": 1}})
    program.write_set("DEMO", demo_set(ObjectRow("PAYLIB", "NOSUCHOBJ", "*FILE")))
    before = minute_stamp()
    folder = program.base / "DEMO" / "7" / time.strftime("%Y%m%d")
    folder.mkdir(parents=True)
    old = b"PAYROLL as saved by an earlier run of the same day\r\n" * 3000
    (folder / "PAYROLL").write_bytes(old)

    seen = []  # (time, names in the folder, PAYROLL's content) as the job goes on
    done = threading.Event()

    def watch():
        while not done.is_set():
            names = sorted(os.listdir(folder))
            try:
                content = (folder / "PAYROLL").read_bytes()
            except FileNotFoundError:
                content = None  # never right: the earlier file must stay until replaced
            seen.append((time.monotonic(), names, content))
            time.sleep(0.002)

    watcher = threading.Thread(target=watch)
    watcher.start()
    try:
        run = program.run("DEMO")
    finally:
        done.set()
        watcher.join()

    assert run.returncode == 0, run.output
    assert run.seconds >= 10  # the download was retried after its pause
    assert_finished_job(program, host, mail, before, "NOSUCHOBJ")
    new = (folder / "PAYROLL").read_bytes()
    assert len(new) > 600_000 and new != old
    contents = {content for _, _, content in seen}
    assert contents <= {old, new}, sorted(-1 if c is None else len(c) for c in contents)
    # The partial download only ever lay under a temporary name, never under PAYROLL's.
    def temporary(names):
        return [n for n in names if n not in SAVES and not n.startswith("SHA256SUMS.txt")]
    assert all(any(save in n for save in SAVES) for _, names, _ in seen for n in temporary(names))
    # Through the ten-second pause after the cut, the earlier file stayed as it was: it was
    # still there more than nine seconds before the complete one took its place.
    replaced = next(t for t, _, content in seen if content == new)
    assert any(content == old for t, _, content in seen if replaced - t > 9)
