"""scripts/demo --headless: installation, check, a scheduled backup and a restore against the
simulator, shown; the simulators and the agent always stopped."""

import os
import re
import signal
import socket
import subprocess
from pathlib import Path

import pytest

from demo_setup import demo_host_objects, write_host_objects
from e2e_support import (PYTHON, REPO, ProgramFolder, only_result_log, read_save_file,
                         received_mails)
from waiting import wait_for

DEMO = REPO / "scripts" / "demo"


def setup(*args, **options):
    """One of the demo's steps, as scripts/demo runs it."""
    return subprocess.run([PYTHON, "-m", "demo_setup", *args], cwd=REPO, **options)


def demo_environment(tmp_path, qivftp_binary):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    runtime = tmp_path / "run"  # the single-instance lock of this test's qivftp
    runtime.mkdir(mode=0o700, exist_ok=True)
    # The agent starts the transfer agent from its own folder: all programs come from one.
    env.update(ZORVA_BIN=str(qivftp_binary.parent), XDG_RUNTIME_DIR=str(runtime))
    return env


def announced_ports(output):
    ports = [int(p) for p in re.findall(r"listening on 127\.0\.0\.1:(\d+)", output)]
    assert len(ports) == 2, output
    return ports


def is_listening(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def processes_in(folder):
    """Process ids of the processes whose current folder is `folder` (the programs of the
    demo all run in its program folder)."""
    found = []
    for entry in Path("/proc").iterdir():
        try:
            if entry.name.isdigit() and Path(os.readlink(entry / "cwd")) == folder:
                found.append(int(entry.name))
        except OSError:
            pass
    return found


@pytest.fixture
def demo_group():
    """Runs the demo in a process group of its own, and leaves nothing of it behind."""
    groups = []

    def start(*args, env):
        proc = subprocess.Popen([str(DEMO), "--no-build", "--headless", *args], env=env,
                                text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                start_new_session=True)
        groups.append(proc.pid)
        return proc

    yield start
    for pgid in groups:
        try:
            os.killpg(pgid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def test_the_headless_demo_runs_the_whole_road(tmp_path, qivftp_binary, demo_group):
    top = tmp_path / "demo"
    # An earlier demo's folder, with what its run left: the demo starts afresh.
    setup("prepare", "--dir", str(top), check=True)
    (top / "save" / "DEMO" / "7" / "20200101").mkdir(parents=True)
    (top / "mail" / "000001.eml").write_bytes(b"an old mail")
    (top / "mail" / "000001.json").write_text('{"mail_from": "x", "rcpt_tos": []}')

    proc = demo_group("--dir", str(top), env=demo_environment(tmp_path, qivftp_binary))
    output, _ = proc.communicate(timeout=420)

    assert proc.returncode == 0, output
    assert not any(is_listening(port) for port in announced_ports(output))
    assert processes_in(top / "program") == []
    # The module went in and the check found the missing object.
    assert "iSeries/ASへのモジュールの導入が完了した" in output
    assert re.search(r"^ +4 PAYLIB +NOSUCHOBJ +\*FILE$", output, re.M), output
    # The agent's scheduler ran the job: it is booked in the job file.
    program = ProgramFolder(top / "program")
    job = (top / "program" / "schedule.txt").read_bytes().decode("cp932").split(",")
    assert job[1] == "DEMO" and job[3].strip(), job
    start, _, set_name, word, rows = only_result_log(program)
    assert (set_name, word) == ("DEMO", "一部未完")
    assert [(r.object, r.status) for r in rows] == [
        ("*ALLUSR", "保管正常完了"), ("ARLIB", "保管正常完了"), ("PAYROLL", "保管正常完了"),
        ("NOSUCHOBJ", "ホストで保管失敗")]
    generation = top / "save" / "DEMO" / "7" / start[:8]
    assert sorted(p.name for p in (top / "save" / "DEMO" / "7").iterdir()) == [start[:8]]
    files = sorted(p.name for p in generation.iterdir() if p.name != "SHA256SUMS.txt")
    assert files == ["#ALLUSR", "ARLIB", "PAYROLL"]
    for name in files:
        data = (generation / name).read_bytes()
        read_save_file(data)  # complete
        assert re.search(rf"^ +{len(data)}  {re.escape(name)}$", output, re.M), name
    assert "PAYLIB/NOSUCHOBJ/*FILE/ホストで保管失敗/000000000/000000000" in output
    (mail, _), = received_mails(top / "mail")  # the earlier run's mail went with its folder
    assert "使用したバックアップセット名 : DEMO" in mail.decode("cp932")
    assert "使用したバックアップセット名 : DEMO" in output
    # The restore brought back what the demo deleted on the host.
    assert re.search(r"^QSYS\tARLIB\t\*LIB\t復元完了$", output, re.M), output
    assert re.search(r"^PAYLIB\tPAYROLL\t\*FILE\t復元完了$", output, re.M), output
    assert (top / "host" / "PAYLIB" / "PAYROLL" / "MBR2026").is_file()
    assert "demo: restore completed as expected" in output
    assert output.rstrip().endswith("demo: everything as expected")


def test_the_demo_stops_the_simulators_and_the_agent_when_it_is_ended(
        tmp_path, qivftp_binary, demo_group):
    top = tmp_path / "demo"
    proc = demo_group("--dir", str(top), env=demo_environment(tmp_path, qivftp_binary))
    lines = []
    for line in proc.stdout:
        lines.append(line)
        if line.startswith("demo: running the agent velmoro"):
            break
    started = "プログラムが起動された".encode("cp932")
    wait_for(lambda: started in ProgramFolder(top / "program").daily_log(), 60, "the agent is up")
    proc.send_signal(signal.SIGTERM)  # to the script alone, not to the simulators
    output = "".join(lines) + proc.communicate(timeout=60)[0]

    assert proc.returncode == 128 + signal.SIGTERM, output
    assert "everything as expected" not in output
    ports = announced_ports(output)
    wait_for(lambda: not any(is_listening(p) for p in ports), 10, "the simulators stopped")
    wait_for(lambda: processes_in(top / "program") == [], 10, "the agent ended")


def test_the_demo_leaves_a_folder_it_did_not_make_alone(tmp_path, qivftp_binary, demo_group):
    mine = tmp_path / "mine"
    mine.mkdir()
    (mine / "notes.txt").write_text("keep me")
    proc = demo_group("--dir", str(mine), env=demo_environment(tmp_path, qivftp_binary))
    output, _ = proc.communicate(timeout=60)

    assert proc.returncode != 0, output
    assert "not made by the demo" in output
    assert os.listdir(mine) == ["notes.txt"]
    assert (mine / "notes.txt").read_text() == "keep me"


def test_the_demo_needs_every_program_its_agent_starts(tmp_path, qivftp_binary):
    partial = tmp_path / "bin"  # a build without qivWH
    partial.mkdir()
    for program in ("velmoro", "qivftp", "qivRestore", "qivLog"):
        (partial / program).symlink_to(qivftp_binary.parent / program)
    env = {**demo_environment(tmp_path, qivftp_binary), "ZORVA_BIN": str(partial)}
    done = subprocess.run([str(DEMO), "--no-build", "--headless", "--dir", str(tmp_path / "d")],
                          env=env, capture_output=True, text=True, timeout=300)
    assert (done.returncode, done.stderr) == (1, f"demo: {partial}/qivWH is not built\n")


def test_the_demo_check_fails_when_the_backup_did_not_happen(tmp_path):
    top = str(tmp_path / "demo")
    setup("prepare", "--dir", top, check=True)
    setup("configure", "--dir", top, "--ftp-port", "1", "--mail-port", "1", check=True)

    report = setup("report", "--dir", top, text=True, stdout=subprocess.PIPE)

    assert report.returncode == 1
    assert "NOT AS EXPECTED" in report.stdout


def lose_and_change(top, change):
    setup("lose", "--dir", top, check=True, stdout=subprocess.DEVNULL)
    objects = {k: v for k, v in demo_host_objects().items()
               if k.startswith("ARLIB/") or k.startswith("PAYLIB/PAYROLL/")}
    change(objects)
    write_host_objects(Path(top) / "host", objects)


@pytest.mark.parametrize("change, expected", [
    (lambda o: None, None),
    (lambda o: o.pop("ARLIB/INVOICES"), "ARLIB/INVOICES is missing on the host"),
    (lambda o: o.update({"ARLIB/EXTRA": b"x"}), "ARLIB/EXTRA is on the host but was never saved"),
    (lambda o: o.update({"PAYLIB/PAYROLL/MBR2026": o["PAYLIB/PAYROLL/MBR2026"][:-1]}),
     "PAYLIB/PAYROLL/MBR2026 differs from what was saved"),
])
def test_the_restore_check_compares_every_byte(tmp_path, change, expected):
    top = str(tmp_path / "demo")
    setup("prepare", "--dir", top, check=True)
    lose_and_change(top, change)

    check = setup("restored", "--dir", top, text=True, stdout=subprocess.PIPE)

    if expected is None:
        assert check.returncode == 0, check.stdout
        assert "restore completed as expected" in check.stdout
    else:
        assert check.returncode == 1
        assert f"NOT AS EXPECTED: {expected}" in check.stdout
