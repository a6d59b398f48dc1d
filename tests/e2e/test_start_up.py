"""Start-up: one instance at a time, the set name argument, a set file that is missing."""

import os
import re
import subprocess
import time
from pathlib import Path

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import ENCODING, MAIL_COMMANDS, expected_mail, minute_stamp, only_result_log
from waiting import wait_for

ROWS = [ObjectRow("PAYLIB", "PAYROLL", "*FILE")]


def without_display(program, **changes):
    """The environment of cron or ssh: no display, no Qt platform chosen."""
    env = {k: v for k, v in program.environment().items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(changes)
    return env


# The lock is the program folder's: a run from cron (no runtime folder) and one from the desktop
# (another runtime folder) exclude each other as two runs from one environment do.
@pytest.mark.parametrize("second_runtime", [
    pytest.param("same", id="same-environment"),
    pytest.param("other", id="other-runtime-folder"),
    pytest.param(None, id="no-runtime-folder"),
])
def test_a_second_instance_ends_at_once_and_leaves_the_first_alone(program, host, mail, gate,
                                                                  tmp_path, second_runtime):
    host.write_objects({"PAYLIB/PAYROLL": b"payroll"})
    host.control(hold_jobs=True)
    program.write_set("DEMO", BackupSet("二重起動", ROWS))
    started = time.monotonic()
    first = program.start("DEMO")
    try:
        wait_for(lambda: (host.root / "DEMO" / "SAVLIBS").exists(), 15, "the first job waits")
        connections = gate.connections

        env = program.environment()
        if second_runtime is None:
            env = without_display(program)
            del env["XDG_RUNTIME_DIR"]
        elif second_runtime == "other":
            (tmp_path / "other-run").mkdir(mode=0o700)
            env["XDG_RUNTIME_DIR"] = str(tmp_path / "other-run")
        second = program.run("DEMO", timeout=10, env=env)

        # No wall-clock bound (a busy machine breaks it): the run's timeout and the untouched
        # host show that the second ended at once instead of running the job.
        assert second.returncode == 0, second.output
        assert gate.connections == connections  # the second never contacted the host
        assert first.poll() is None
        assert "プログラムが既に開始されている" in program.daily_messages()
        assert program.result_logs() == {}
        host.control()  # let the host job go on
    finally:
        run = program.finish(first, started)
    assert run.returncode == 0, run.output
    _, _, set_name, word, rows = only_result_log(program)
    assert (set_name, word, rows[0].status) == ("DEMO", "正常完了", "保管正常完了")
    assert len(mail.messages()) == 1
    assert program.daily_messages().count("プログラムが既に開始されている") == 1


@pytest.mark.parametrize("args, logged", [
    pytest.param(("../X",), "バックアップセット名が正しくない：../X", id="path"),
    pytest.param(("daily",), "バックアップセット名が正しくない：daily", id="lower-case"),
    pytest.param(("ABCDEFGHIJK",), "バックアップセット名が正しくない：ABCDEFGHIJK", id="11-letters"),
    pytest.param(("DEMO1",), "バックアップセット名が正しくない：DEMO1", id="digit"),
    pytest.param(("DEMO", "EXTRA"), "バックアップセット名が正しくない：DEMO EXTRA", id="two-words"),
    pytest.param(("",), None, id="empty"),
    pytest.param((), None, id="none"),
])
def test_an_argument_that_is_not_a_set_name_ends_the_program_before_anything_else(
        program, host, mail, gate, args, logged):
    # Sets that a careless use of the argument would find.
    for name in ("X", "DAILY", "DEMO"):
        program.write_set(name, BackupSet("罠", ROWS))
    program.folder.path.joinpath("X").write_bytes(BackupSet("罠", ROWS).to_bytes())
    folder_before = sorted(os.listdir(program.folder.path.parent))
    program_before = sorted(os.listdir(program.folder.path))

    run = program.run(*args, timeout=10)

    assert run.returncode == 0, run.output
    assert run.output == (f"qivftp: {logged}\n" if logged else "")  # a cron line mails it
    assert program.daily_messages() == ([logged] if logged else [])
    assert gate.connections == 0
    assert sorted(os.listdir(program.folder.path)) == program_before
    assert sorted(os.listdir(program.folder.log_folder)) == (
        [f"{minute_stamp()[:8]}.log"] if logged else [])
    assert sorted(os.listdir(program.folder.path.parent)) == folder_before
    assert os.listdir(program.base) == []
    assert mail.messages() == []


def test_a_missing_set_file_is_reported_and_the_job_still_ends_with_its_logs(
        program, host, mail, gate):
    before = minute_stamp()

    run = program.run("NOSET")

    assert run.returncode == 0, run.output
    assert "バックアップセット：NOSETを読み取ることが出来ない" in program.daily_messages()
    assert gate.connections == 0
    # No file made: neither the set file, nor a request file, nor a save folder.
    assert os.listdir(program.folder.set_folder) == []
    assert sorted(os.listdir(program.folder.path)) == [
        ".qivftp.lock", "BACKUPSET", "LOG_DAT", "zorva.ini"]
    assert os.listdir(program.base) == []
    # A job without rows: an empty result word and an empty result log; a mail without rows.
    start, end, set_name, word, rows = only_result_log(program)
    assert (set_name, word, rows) == ("NOSET", "", [])
    assert before <= start <= end <= minute_stamp()
    (data, envelope), = mail.messages()
    assert envelope["commands"] == MAIL_COMMANDS
    assert data == expected_mail("NOSET", start, end, [])


def test_without_a_display_the_job_runs_headless_and_keeps_no_core_file(program, host, mail):
    host.write_objects({"PAYLIB/PAYROLL": b"payroll"})
    host.control(hold_jobs=True)
    program.write_set("DEMO", BackupSet("夜間", ROWS))
    started = time.monotonic()
    proc = program.start("DEMO", env=without_display(program))
    try:
        wait_for(lambda: (host.root / "DEMO" / "SAVLIBS").exists(), 15, "the job's host save")
        limits = Path(f"/proc/{proc.pid}/limits").read_text()
        assert re.search(r"^Max core file size\s+0\s+0\s", limits, re.M), limits
        host.control()
    finally:
        run = program.finish(proc, started)
    assert run.returncode == 0, run.output
    _, _, set_name, word, rows = only_result_log(program)
    assert (set_name, word, rows[0].status) == ("DEMO", "正常完了", "保管正常完了")
    assert len(mail.messages()) == 1
    assert "ホストに接続しました" in program.daily_messages()
    # cron mails whatever a job prints: the offscreen platform's notes stay out of it.
    assert "propagateSizeHints" not in run.output


def test_a_lock_file_that_cannot_be_opened_is_its_own_error_not_a_running_instance(
        program, host, mail, gate):
    program.write_set("DEMO", BackupSet("夜間", ROWS))
    (program.folder.path / ".qivftp.lock").mkdir()  # where the lock file must be

    run = program.run("DEMO", timeout=10)

    assert run.returncode == 0, run.output
    messages = program.daily_messages()
    assert "プログラムが既に開始されている" not in messages
    expected = f"{program.folder.path / '.qivftp.lock'}が開けない："
    assert len(messages) == 1 and messages[0].startswith(expected), messages
    assert expected in run.output
    assert gate.connections == 0
    assert program.result_logs() == {}


# Each program refuses to start on a folder it cannot use, says why on standard error (and in its
# daily log where it keeps one) and leaves the settings file as it found it.
@pytest.mark.parametrize("name, args, code, logged", [
    ("velmoro", (), 1, True), ("qivftp", ("DEMO",), 0, True), ("qivRestore", (), 1, True),
    ("qivRestore", ("--set", "DEMO", "--generation", "Monday"), 1, True),
    ("qivWH", (), 1, False), ("qivLog", (), 1, False), ("velmoro", ("lock",), 1, True),
])
def test_a_program_that_cannot_use_its_folder_says_why_and_ends(program, gate, name, args, code,
                                                                logged):
    program.write_set("DEMO", BackupSet("夜間", ROWS))
    ini, lock = program.folder.path / "zorva.ini", program.folder.path / ".velmoro.lock"
    if args == ("lock",):
        args, expected = (), f"{lock}が開けない："
        lock.mkdir()
    else:
        ini.unlink()
        ini.symlink_to("zorva.ini")  # a link loop: not even root can read it
        expected = f"{ini}を読み取れない："
    before = ini.read_bytes() if not ini.is_symlink() else None

    run = subprocess.run([str(program.binary.parent / name), *args], cwd=program.folder.path,
                         env=program.environment(), capture_output=True, timeout=60)

    assert run.returncode == code, run
    assert expected in run.stderr.decode(errors="replace")
    assert (expected.encode(ENCODING) in program.folder.daily_log()) == logged
    assert (os.readlink(ini) if before is None else ini.read_bytes()) == (before or "zorva.ini")
    assert not (program.folder.path / "schedule.txt").exists()
    assert (gate.connections, program.result_logs()) == (0, {})


def test_a_run_from_cron_mails_its_owner_nothing(program, mail):
    # cron's environment: no display, no Qt platform, no XDG_RUNTIME_DIR.
    cron = {"HOME": str(program.folder.path), "LOGNAME": "zorva", "PATH": "/usr/bin:/bin"}
    run = program.run("NOSET", env=cron)
    assert (run.returncode, run.output) == (0, "")
    assert "バックアップセット：NOSETを読み取ることが出来ない" in program.daily_messages()
