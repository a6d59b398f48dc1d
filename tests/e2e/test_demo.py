"""scripts/demo: a complete backup of the sample set, shown; the simulators always stopped."""

import os
import re
import signal
import socket
import subprocess
import time

import pytest

from e2e_support import (PYTHON, REPO, ProgramFolder, only_result_log, read_save_file,
                         received_mails)

DEMO = REPO / "scripts" / "demo"
SETUP = REPO / "scripts" / "demo_setup.py"


def demo_environment(tmp_path, qivftp_binary):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    runtime = tmp_path / "run"  # the single-instance lock of this test's qivftp
    runtime.mkdir(mode=0o700, exist_ok=True)
    env.update(QIVFTP=str(qivftp_binary), XDG_RUNTIME_DIR=str(runtime))
    return env


def announced_ports(output):
    ports = [int(p) for p in re.findall(r"listening on 127\.0\.0\.1:(\d+)", output)]
    assert len(ports) == 2, output
    return ports


def is_listening(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


@pytest.fixture
def demo_group():
    """Runs the demo in a process group of its own, and leaves nothing of it behind."""
    groups = []

    def start(*args, env):
        proc = subprocess.Popen([str(DEMO), "--no-build", *args], env=env, text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                start_new_session=True)
        groups.append(proc.pid)
        return proc

    yield start
    for pgid in groups:
        try:
            os.killpg(pgid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def test_the_demo_backs_up_the_sample_set_and_runs_again(tmp_path, qivftp_binary, demo_group):
    top = tmp_path / "demo"
    for _ in range(2):
        proc = demo_group("--dir", str(top), env=demo_environment(tmp_path, qivftp_binary))
        output, _ = proc.communicate(timeout=120)

        assert proc.returncode == 0, output
        assert not any(is_listening(port) for port in announced_ports(output))
        # What the demo showed is what is on disk.
        program = ProgramFolder(top / "program")
        start, _, set_name, word, rows = only_result_log(program)
        assert (set_name, word) == ("DEMO", "一部未完")
        assert [(r.object, r.status) for r in rows] == [
            ("*ALLUSR", "保管正常完了"), ("ARLIB", "保管正常完了"), ("PAYROLL", "保管正常完了"),
            ("NOSUCHOBJ", "ホストで保管失敗")]
        generation = top / "save" / "DEMO" / "7" / start[:8]
        files = sorted(p.name for p in generation.iterdir())
        assert files == ["#ALLUSR", "ARLIB", "PAYROLL"]
        for name in files:
            data = (generation / name).read_bytes()
            read_save_file(data)  # complete
            assert re.search(rf"^ +{len(data)}  {re.escape(name)}$", output, re.M), name
        assert "PAYLIB/NOSUCHOBJ/*FILE/ホストで保管失敗/000000000/000000000" in output
        assert "DEMO 全ての転送が完了" in output
        (mail, _), = received_mails(top / "mail")  # the earlier run's mail went with its folder
        assert "使用したバックアップセット名 : DEMO" in mail.decode("cp932")
        assert "使用したバックアップセット名 : DEMO" in output
        assert "demo: backup completed as expected" in output


def test_the_demo_stops_the_simulators_when_it_is_ended(tmp_path, qivftp_binary, demo_group):
    proc = demo_group("--dir", str(tmp_path / "demo"), env=demo_environment(tmp_path, qivftp_binary))
    lines = []
    for line in proc.stdout:
        lines.append(line)
        if line.startswith("demo: running qivftp"):
            break
    proc.send_signal(signal.SIGTERM)  # to the script alone, not to the simulators
    output = "".join(lines) + proc.communicate(timeout=60)[0]

    assert proc.returncode == 128 + signal.SIGTERM, output
    assert "backup completed as expected" not in output
    deadline = time.monotonic() + 5
    while any(is_listening(p) for p in announced_ports(output)) and time.monotonic() < deadline:
        time.sleep(0.05)
    assert not any(is_listening(p) for p in announced_ports(output))


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


def test_the_demo_check_fails_when_the_backup_did_not_happen(tmp_path):
    top = str(tmp_path / "demo")
    subprocess.run([PYTHON, str(SETUP), "prepare", "--dir", top], check=True)
    subprocess.run([PYTHON, str(SETUP), "configure", "--dir", top, "--ftp-port", "1",
                    "--mail-port", "1"], check=True)

    report = subprocess.run([PYTHON, str(SETUP), "report", "--dir", top], text=True,
                            stdout=subprocess.PIPE)

    assert report.returncode == 1
    assert "NOT AS EXPECTED" in report.stdout
