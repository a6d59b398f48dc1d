"""The agent's administrator commands on a new PC: the host module installed with
`velmoro --install`, then a stored set's objects checked with `velmoro --check SET`.

The binary comes from the environment variable VELMORO (CTest passes it)."""

import fcntl
import os
import subprocess
from pathlib import Path

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import ENCODING, HOST_PASSWORD, HOST_USER, PYTHON, REPO, ProgramFolder, Settings
from hostsim.launch import start as start_simulator

INSTALLED = "iSeries/ASへのモジュールの導入が完了した"


@pytest.fixture(scope="session")
def velmoro():
    path = os.environ.get("VELMORO")
    if not path or not os.access(path, os.X_OK):
        raise pytest.UsageError(f"no velmoro binary: set VELMORO (got {path!r})")
    return Path(path).resolve()


@pytest.fixture
def bare_host(tmp_path, processes):
    """A host without the module: no ZORVAV3 and no exchange libraries."""
    root = tmp_path / "host"
    proc, port = start_simulator(
        ["serve", "--root", str(root), "--port", "0",
         "--user", HOST_USER, "--password", HOST_PASSWORD],
        tmp_path / "host.log")
    processes.append(proc)
    return root, port


class Agent:
    """A fresh program folder with its settings and the module file, and the commands."""

    def __init__(self, tmp, binary, port):
        self.binary = binary
        self.folder = ProgramFolder(tmp / "program").create()
        (tmp / "save").mkdir()
        self.runtime = tmp / "run"
        self.runtime.mkdir(mode=0o700)
        self.folder.write_settings(Settings(base_dir=f"{tmp / 'save'}/", ftp_port=port,
                                            mail_port=25, user=HOST_USER,
                                            password=HOST_PASSWORD, mail="NO"))
        subprocess.run([PYTHON, "-m", "hostsim", "make-module",
                        str(self.folder.path / "ZORVAV3")], cwd=REPO, check=True)

    def run(self, *args, timeout=120):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["XDG_RUNTIME_DIR"] = str(self.runtime)
        done = subprocess.run([str(self.binary), *args], cwd=self.folder.path, env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        return done.returncode, done.stdout.decode("utf-8")

    def settings_text(self):
        return (self.folder.path / "zorva.ini").read_bytes().decode(ENCODING)

    def daily_messages(self):
        text = self.folder.daily_log().decode(ENCODING)
        return [line.rsplit(" ", 2)[0] for line in text.split("\n\r\n") if line]


def libraries(root):
    return sorted(p.name for p in Path(root).iterdir() if p.is_dir() and not p.name.startswith("."))


def test_install_then_check_marks_exactly_the_missing_row(tmp_path, bare_host, velmoro):
    root, port = bare_host
    agent = Agent(tmp_path, velmoro, port)

    code, output = agent.run("--install")

    assert code == 0, output
    assert output.splitlines()[-1] == INSTALLED
    assert "ホストに接続しました" in output
    assert "AS=YES" in agent.settings_text()
    assert {"ZORVAV3", "ZORVADATA", "ZORVARST", "ZORVALOGLB"} <= set(libraries(root))
    assert not (root / "QGPL" / "ZORVAV3").exists()  # restored, then deleted
    assert "ホストモジュールのインストール完了" in agent.daily_messages()
    assert HOST_PASSWORD not in output
    assert HOST_PASSWORD.encode() not in agent.folder.daily_log()

    for name in ("PAYLIB/PAYROLL", "PAYLIB/TAXES", "ARLIB/CUST"):
        (root / name).parent.mkdir(exist_ok=True)
        (root / name).write_bytes(b"data")
    rows = [ObjectRow("PAYLIB", "PAYROLL", "*FILE"), ObjectRow("PAYLIB", "PAY*", "*FILE"),
            ObjectRow("ARLIB", "GONE", "*FILE"), ObjectRow("ARLIB", "CUST", "*FILE"),
            ObjectRow("QSYS", "ARLIB", "*LIB", "4")]
    agent.folder.write_set("DEMO", BackupSet("点検", rows))
    set_file = agent.folder.set_folder / "DEMO"
    stored = set_file.read_bytes()

    code, output = agent.run("--check", "DEMO")

    assert code == 1, output
    lines = output.splitlines()
    at = lines.index("オブジェクト存在チェックエラー")
    assert lines[at + 1:] == ["いくつかのオブジェクトが存在しません",
                              "  3 ARLIB      GONE       *FILE"]
    assert set_file.read_bytes() == stored  # the check changes no file of the set
    assert agent.daily_messages()[-1] == "いくつかのオブジェクトが存在しません"

    (root / "ARLIB" / "GONE").write_bytes(b"back")
    code, output = agent.run("--check", "DEMO")
    assert code == 0, output
    assert output.splitlines()[-1] == "オブジェクト存在チェック完了"


def test_install_is_refused_while_a_transfer_agent_runs(tmp_path, bare_host, velmoro):
    root, port = bare_host
    agent = Agent(tmp_path, velmoro, port)
    with open(agent.folder.path / ".qivftp.lock", "a") as lock:  # the transfer agent's
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        code, output = agent.run("--install", timeout=30)
    assert code == 1
    assert output.strip() == "既にダウンロードが開始されている"
    assert "ZORVADATA" not in libraries(root)
    assert "AS=YES" not in agent.settings_text()


@pytest.mark.parametrize("args, text", [
    pytest.param(("--check", "demo"), "バックアップセット名が正しくない：demo", id="lower-case"),
    pytest.param(("--check", "NOSUCH"), "バックアップセット：NOSUCHを読み取ることが出来ない",
                 id="missing-set"),
])
def test_check_of_a_set_that_cannot_be_read_fails_before_the_host(tmp_path, bare_host, velmoro,
                                                                   args, text):
    root, port = bare_host
    agent = Agent(tmp_path, velmoro, port)
    code, output = agent.run(*args, timeout=30)
    assert (code, output.strip()) == (1, text)
    assert not (agent.folder.set_folder / "NOSUCH").exists()
