"""The agent as a user leaves it running: the real velmoro (offscreen) schedules the real qivftp
against the host simulator, for a PC-start job that comes due and for a start request the host
leaves. Time runs shifted (libfaketime) so that a save time comes due within seconds; the
transfer agent inherits the same shift."""

import os
import re
import subprocess
import time
from pathlib import Path

import pytest

from demo_setup import BackupSet, ObjectRow, settings_bytes
from e2e_support import ENCODING, PYTHON, REPO
from waiting import wait_for

FAKETIME_LIBRARY = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
PC_START, HOST_START, WAITING = "ＰＣ起動", "ホスト起動", "実行前"
OBJECTS = {"PAYLIB/PAYROLL/MBR2026": b"payroll data\r\n" * 200}
ROWS = [ObjectRow("PAYLIB", "PAYROLL", "*FILE")]


@pytest.fixture(scope="session")
def velmoro_binary():
    path = os.environ.get("VELMORO")
    if not path or not os.access(path, os.X_OK):
        raise pytest.UsageError(f"no velmoro binary: set VELMORO (got {path!r})")
    return Path(path).resolve()


class Agent:
    """A program folder for the agent, and the agent running in it with shifted time."""

    def __init__(self, program, binary, processes, shift):
        self.program, self.binary, self.processes, self.shift = program, binary, processes, shift
        self.folder = program.folder.path

    def now(self):
        return time.localtime(time.time() + self.shift)

    def write_settings(self):
        sections = self.program.settings.sections()
        for name, keys in sections:
            if name == "TIMER":
                keys.append(("MONTIMER", 300))
        sections.append(("INSTALL", [("AS", "YES")]))
        (self.folder / "zorva.ini").write_bytes(settings_bytes(sections))

    def write_jobs(self, *jobs):
        lines = [f"1,{name}, 2026/01/05 09:00, ,2026/01/05 22:00, ,{method},{WAITING}\r\n"
                 for name, method in jobs]
        (self.folder / "schedule.txt").write_bytes("".join(lines).encode(ENCODING))

    def jobs(self):
        text = (self.folder / "schedule.txt").read_bytes().decode(ENCODING)
        assert text.endswith("\r\n") or not text, text
        return {fields[1]: fields for fields in
                (line.split(",") for line in text.split("\r\n") if line)}

    def start(self):
        env = self.program.environment()
        env.update(LD_PRELOAD=FAKETIME_LIBRARY, FAKETIME=f"{self.shift:+d}s",
                   FAKETIME_DONT_FAKE_MONOTONIC="1", FAKETIME_NO_CACHE="1")
        proc = subprocess.Popen([str(self.binary)], cwd=self.folder, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(proc)
        return proc


def shift_to_minute_end(seconds_left=8):
    """A time shift that puts the shifted clock `seconds_left` seconds before a new minute."""
    now = time.time()
    second = time.localtime(now).tm_sec + (now % 1)
    return int((60 - seconds_left - second) % 60)


@pytest.fixture
def agent(program, velmoro_binary, processes, host):
    host.write_objects(OBJECTS)
    return Agent(program, velmoro_binary, processes, shift_to_minute_end())


def daily_messages(program):
    """The daily log's messages without their time stamps. The agent ends its lines with LF CR
    LF, the transfer agent with CR LF; both write into the same file."""
    text = program.folder.daily_log().decode(ENCODING)
    lines = [line for line in re.split(r"\n\r\n|\r\n", text)]
    assert lines[-1] == "", text[-80:]
    messages = []
    for line in lines[:-1]:
        match = re.fullmatch(r"(.*) \d{4}/\d\d/\d\d \d\d:\d\d", line, re.S)
        assert match, f"daily log line without its time stamp: {line!r}"
        messages.append(match.group(1))
    return messages


def saved_files(program):
    return sorted(str(p.relative_to(program.base)) for p in program.base.rglob("*") if p.is_file())


def test_a_due_pc_start_job_runs_the_transfer_agent_and_is_booked(agent, program):
    # The save time is the shifted clock's next minute, a few seconds away.
    due = time.localtime(time.mktime(agent.now()) + 60)
    save_time = time.strftime("%H%M", due)
    program.write_set("PCSET", BackupSet("夜間", ROWS, save_time=save_time))
    agent.write_settings()
    agent.write_jobs(("PCSET", PC_START))
    first = agent.start()

    def booked():
        fields = agent.jobs().get("PCSET")
        return fields if fields and fields[3] != " " else None

    fields = wait_for(booked, 150, "the agent booked the run of PCSET", interval=0.2)
    active, name, submitted, last_run, next_run, duration, method, status = fields
    assert (active, method, status) == ("1", PC_START, WAITING)
    assert re.fullmatch(r" \d{4}/\d\d/\d\d \d\d:\d\d", last_run), last_run
    assert re.fullmatch(r"\d\d:\d\d:\d\d", duration), duration
    tomorrow = time.localtime(time.mktime(due) + 86400)
    assert next_run == time.strftime("%Y/%m/%d ", tomorrow) + save_time[:2] + ":" + save_time[2:]
    folder = f"PCSET/7/{time.strftime('%Y%m%d', due)}"
    assert saved_files(program) == [f"{folder}/PAYROLL", f"{folder}/SHA256SUMS.txt"]
    assert len(program.result_logs()) == 1

    messages = daily_messages(program)
    assert "プログラムが起動された" in messages

    # A second agent on the same folder ends at once and leaves the first alone.
    second = subprocess.run([str(agent.binary)], cwd=agent.folder, env=program.environment(),
                            capture_output=True, timeout=60)
    assert second.returncode == 0
    assert "プログラムが既に開始されている" in second.stderr.decode(errors="replace")
    assert first.poll() is None
    assert daily_messages(program).count("プログラムが起動された") == 1


def test_a_host_start_request_runs_its_job_once_and_the_start_file_goes(agent, program, host,
                                                                        gate):
    program.write_set("HOSTSET", BackupSet("ホスト", ROWS, start_method="2", save_time=""))
    agent.write_settings()
    agent.write_jobs(("HOSTSET", HOST_START))
    agent.start()
    # Every poll is a connection through the gate.
    wait_for(lambda: gate.connections >= 2, 60, "two polls that find no request yet")
    subprocess.run([PYTHON, "-m", "hostsim", "request-start", "--root", str(host.root),
                    "--terminal", "PC01", "--set", "HOSTSET"], cwd=REPO, check=True)

    def booked():
        fields = agent.jobs().get("HOSTSET")
        return fields if fields and fields[3] != " " else None

    fields = wait_for(booked, 150, "the agent booked the run of HOSTSET", interval=0.2)
    assert fields[6:] == [HOST_START, WAITING]
    assert re.fullmatch(r"\d\d:\d\d:\d\d", fields[5]), fields[5]
    assert "PC01" not in (host.library("ZORVADATA") or [])
    # Further polls find no request: the set ran once.
    polls = gate.connections
    wait_for(lambda: gate.connections >= polls + 3, 60, "three more polls")
    assert len(program.result_logs()) == 1
    assert daily_messages(program).count("ホスト起動：起動指示受信") == 1
    assert len([f for f in saved_files(program) if f.endswith("/PAYROLL")]) == 1
