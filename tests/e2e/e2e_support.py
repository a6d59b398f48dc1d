"""What the end-to-end tests drive: the simulators, a program folder and the qivftp binary.

(A module name unique in the test tree, beside tests/hostsim's helpers.)
"""

import io
import json
import os
import re
import socket
import subprocess
import tarfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path

# The demo's module writes program folders; the tests write theirs with it too.
from demo_setup import ENCODING, SAVE_FILE_MAGIC, ProgramFolder, Settings, received_mails

REPO = Path(__file__).resolve().parents[2]
PYTHON = "/usr/bin/python3"  # Debian's, which has pyftpdlib and aiosmtpd

HOST_USER, HOST_PASSWORD = "ZORVA", "SECRET"


# --- the simulators

class Host:
    """A running simulated host."""

    def __init__(self, root, proc, port):
        self.root, self.proc, self.port = Path(root), proc, port

    def control(self, **settings):
        """Replace the control file in one step."""
        tmp = self.root / "control.tmp"
        tmp.write_text(json.dumps(settings))
        os.replace(tmp, self.root / "hostsim-control.json")

    def write_objects(self, objects):
        for relative, data in objects.items():
            path = self.root / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)

    def library(self, name):
        """Names in a library folder, or None when the library does not exist."""
        path = self.root / name
        return sorted(os.listdir(path)) if path.is_dir() else None


class MailSink:
    def __init__(self, folder, proc, port):
        self.folder, self.proc, self.port = Path(folder), proc, port

    def messages(self):
        return received_mails(self.folder)


class Gate:
    """A TCP relay in front of the host: counts connections and can look around on each.

    Only the control connection passes through it (the host names its own
    address for data connections), which is what "connecting" means here.
    """

    def __init__(self, target_port, on_connect=None):
        self.target_port = target_port
        self.on_connect = on_connect
        self.connections = 0
        self.server = socket.create_server(("127.0.0.1", 0))
        self.port = self.server.getsockname()[1]
        self._sockets = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.server.accept()
            except OSError:
                return
            self.connections += 1
            if self.on_connect:
                self.on_connect()
            upstream = socket.create_connection(("127.0.0.1", self.target_port))
            self._sockets += [client, upstream]
            for a, b in ((client, upstream), (upstream, client)):
                threading.Thread(target=self._pump, args=(a, b), daemon=True).start()

    @staticmethod
    def _pump(source, sink):
        try:
            while data := source.recv(65536):
                sink.sendall(data)
            sink.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def close(self):
        self.server.close()
        for s in self._sockets:
            s.close()


# --- the program folder and the binary

@dataclass
class Run:
    returncode: int
    seconds: float
    output: str


class ProgramUnderTest:
    """A program folder wired to a host and a mail sink, and the qivftp that runs in it."""

    def __init__(self, tmp, binary, host, mail):
        self.binary = binary
        self.host = host
        self.folder = ProgramFolder(tmp / "program").create()
        self.base = tmp / "save"
        self.base.mkdir()
        self.runtime = tmp / "run"  # the single-instance lock lives here
        self.runtime.mkdir(mode=0o700)
        self.settings = Settings(base_dir=f"{self.base}/", ftp_port=host.port,
                                 mail_port=mail.port, user=HOST_USER, password=HOST_PASSWORD,
                                 job_timer=60000, file_timer=300)
        self.write_settings()

    def write_settings(self, **changes):
        for key, value in changes.items():
            setattr(self.settings, key, value)
        self.folder.write_settings(self.settings)

    def write_set(self, name, backup_set):
        self.folder.write_set(name, backup_set)

    def environment(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=str(self.runtime))
        return env

    def start(self, *args, env=None):
        return subprocess.Popen([str(self.binary), *args], cwd=self.folder.path,
                                env=self.environment() if env is None else env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)

    def finish(self, proc, started, timeout=90):
        try:
            output, _ = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            output, _ = proc.communicate()
            raise AssertionError(f"qivftp still running after {timeout} s:\n{output.decode()}")
        return Run(proc.returncode, time.monotonic() - started, output.decode(errors="replace"))

    def run(self, *args, timeout=90, env=None):
        started = time.monotonic()
        return self.finish(self.start(*args, env=env), started, timeout)

    # what the run left

    def result_logs(self):
        return self.folder.result_logs()

    def daily_lines(self):
        """The daily log's lines as text, without their CR LF (checked to be there)."""
        data = self.folder.daily_log()
        assert_crlf_lines(data)
        return data.decode(ENCODING).split("\r\n")[:-1] if data else []

    def daily_messages(self):
        """The daily log's messages: each line without its time stamp."""
        messages = []
        for line in self.daily_lines():
            match = re.fullmatch(r"(.*) \d{4}/\d\d/\d\d \d\d:\d\d", line, re.S)
            assert match, f"daily log line without its time stamp: {line!r}"
            messages.append(match.group(1))
        return messages

    def files_below(self, folder):
        """Every path below `folder`, relative, as text."""
        return sorted(str(p.relative_to(folder)) for p in Path(folder).rglob("*"))


def assert_crlf_lines(data):
    """Every line ends with CR LF, and no CR or LF stands anywhere else."""
    if data:
        assert data.endswith(b"\r\n"), data[-40:]
    assert data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r"), data


def minute_stamp(t=None):
    return time.strftime("%Y%m%d%H%M", time.localtime(t))


# --- result logs and mails

RESULT_LOG = re.compile(r"APP-(\d{12})-(\d{12})-([A-Z]+)-(.*)-\.log")
ZERO_TIME = "000000000"


@dataclass
class ResultLine:
    library: str
    object: str
    type: str
    status: str
    started: str
    ended: str


def parse_result_log(content):
    """The lines of a job result log (CP932, CR LF) as ResultLines."""
    assert_crlf_lines(content)
    lines = content.decode(ENCODING).split("\r\n")[:-1]
    rows = []
    for line in lines:
        fields = line.split("/")
        assert len(fields) == 6, line
        rows.append(ResultLine(*fields))
    return rows


def only_result_log(program):
    """(start, end, set name, result word, rows) of the one result log there must be."""
    logs = program.result_logs()
    assert len(logs) == 1, list(logs)
    name, content = next(iter(logs.items()))
    match = RESULT_LOG.fullmatch(name)
    assert match, name
    start, end, set_name, word = match.groups()
    return start, end, set_name, word, parse_result_log(content)


def mail_time(stamp):
    """The mail's form of a result log time: 202612070503 -> 2026/12/07 05:03."""
    if stamp == ZERO_TIME:
        return ""  # never downloaded
    return f"{stamp[:4]}/{stamp[4:6]}/{stamp[6:8]} {stamp[8:10]}:{stamp[10:12]}"


MAIL_STATUS = {
    "保管未完了": ":保管未完了",
    "保管正常完了": ":保管正常完了 : \t",
    "ホストで保管失敗": ":ホストで保管失敗 : \t",
    "保管異常終了": ":保管異常終了 : \t",
}


def expected_mail(set_name, start, end, rows, first_lines=()):
    """The report mail's data as the result log of the same job says it must be."""
    lines = ["X-Mailer: VelMoroAgent", "Subject: Velmoro Job Report ", "", *first_lines,
             f"使用したバックアップセット名 : {set_name}",
             f" 開始時刻 : {mail_time(start)}", f" 終了時刻 : {mail_time(end)}"]
    for row in rows:
        line = row.object + MAIL_STATUS[row.status]
        if row.status != "保管未完了":
            line += f" 終了時刻 : {mail_time(row.started)}"
        lines.append(line)
    return "".join(line + "\r\n" for line in lines).encode(ENCODING)


MAIL_COMMANDS = ["HELO 127.0.0.1", "MAIL FROM: <ops@example.com>",
                 "RCPT TO:<ops@example.com>", "DATA"]


# --- save files of the simulated host

def read_save_file(data):
    """(description, {member name: bytes or None for a folder}) of a complete save file."""
    assert data.startswith(SAVE_FILE_MAGIC), data[:40]
    stream = io.BytesIO(data)
    stream.read(len(SAVE_FILE_MAGIC))
    description = json.loads(stream.readline())
    members = {}
    with tarfile.open(fileobj=stream, mode="r:") as tar:
        for member in tar.getmembers():
            members[member.name] = tar.extractfile(member).read() if member.isfile() else None
    return description, members


def host_tree(root, paths):
    """{member name: bytes or None} of what the host holds below `paths`, as a save holds it."""
    tree = {}
    for relative in paths:
        top = Path(root) / relative
        for path in [top, *sorted(top.rglob("*"))]:
            name = str(path.relative_to(root))
            tree[name] = path.read_bytes() if path.is_file() else None
    return tree
