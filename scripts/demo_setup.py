"""Program folders for the demo and the end-to-end tests, and the demo's own steps.

A program folder is what every program of the system works in: zorva.ini
(CP932 text, CR LF, the password stored with every byte complemented), the
backup set folder with one file per set, and LOG_DAT for the logs.

Used as a module by tests/e2e, and as a command by scripts/demo:

    demo_setup.py prepare   --dir DIR
    demo_setup.py configure --dir DIR --ftp-port P --mail-port M
    demo_setup.py report    --dir DIR

`prepare` empties DIR (only when an earlier `prepare` made it) and lays out
the demo: DIR/program (the program folder), DIR/save (BASEDIR), DIR/host
(the simulated host's root with a few objects), DIR/mail (the mail sink's
folder) and DIR/logs (the simulators' output). `configure` writes zorva.ini
once the simulators' ports are known. `report` shows what the backup left
and exits 1 unless it is what the demo set must give.
"""

import argparse
import json
import os
import re
import shutil
import sys
from dataclasses import dataclass, field
from pathlib import Path

ENCODING = "cp932"
CRLF = "\r\n"
SETTINGS_FILE = "zorva.ini"
SET_FOLDER = "BACKUPSET"
LOG_FOLDER = "LOG_DAT"


# --- zorva.ini

def scramble(password):
    """The stored form of a password: every byte complemented."""
    return bytes(~b & 0xFF for b in password.encode(ENCODING))


def settings_bytes(sections):
    """zorva.ini from [(section, [(key, value), ...]), ...].

    A value is text (written in CP932) or bytes (written as they are).
    """
    out = bytearray()
    for section, keys in sections:
        out += f"[{section}]{CRLF}".encode(ENCODING)
        for key, value in keys:
            raw = value if isinstance(value, bytes) else str(value).encode(ENCODING)
            out += key.encode(ENCODING) + b"=" + raw + CRLF.encode(ENCODING)
    return bytes(out)


@dataclass
class Settings:
    """The keys the transfer agent reads; `sections()` gives them in file order."""

    base_dir: str
    ftp_port: int
    mail_port: int
    user: str = "ZORVA"
    password: str = "SECRET"
    host: str = "127.0.0.1"
    job_queue: str = "QGPL/QBATCH"
    terminal: str = "PC01"
    log: str = "YES"
    mail: str = "YES"
    mail_to: str = "ops@example.com"
    mail_from: str = ""
    smtp: str = "127.0.0.1"
    job_timer: int = 60000
    file_timer: int = 1000
    set_folder: str = SET_FOLDER

    def sections(self):
        base = self.base_dir if self.base_dir.endswith("/") else self.base_dir + "/"
        return [
            ("DIRECTORIES", [("BACKUPSET", self.set_folder), ("BASEDIR", base)]),
            ("LOCAL", [("TERMID", self.terminal), ("LOG", self.log)]),
            ("HOST", [("ADDRESS", self.host), ("PORT", self.ftp_port), ("USER", self.user),
                      ("PASSWORD", scramble(self.password)), ("JOBQ", self.job_queue)]),
            ("MAIL", [("ACT", self.mail), ("ADDRESS", self.mail_to), ("SMTP", self.smtp),
                      ("PORT", self.mail_port), ("MAILFROM", self.mail_from)]),
            ("TIMER", [("JOBTIMER", self.job_timer), ("FILETIMER", self.file_timer)]),
        ]

    def to_bytes(self):
        return settings_bytes(self.sections())


# --- backup set files

@dataclass
class ObjectRow:
    library: str
    object: str
    type: str
    option: str = "2"  # medium compression, not protected

    @property
    def kind(self):
        if self.library == "QSYS":
            return "1"
        return "3" if self.type == "*SPL" else "2"

    def line(self):
        return "\t".join([self.library, self.object, self.type, self.kind, self.option, ""])


@dataclass
class BackupSet:
    """A set file. `daily_kind` '1' every day (with `retention`), '2' weekdays, '0' monthly."""

    description: str
    rows: list = field(default_factory=list)
    start_method: str = "1"
    schedule_group: str = "1"
    save_time: str = "2200"
    daily_kind: str = "1"
    retention: str = "7"
    weekdays: str = "1111111"
    monthly_kind: str = " "
    month_day: str = ""

    def lines(self):
        fourth = self.retention if self.daily_kind == "1" else self.weekdays
        return [self.description, self.start_method,
                f"{self.schedule_group}\t{self.save_time}",
                f"{self.daily_kind}\t{fourth}",
                f"{self.monthly_kind}\t{self.month_day}",
                *(row.line() for row in self.rows)]

    def to_bytes(self):
        return "".join(line + CRLF for line in self.lines()).encode(ENCODING)


class ProgramFolder:
    """A program folder on disk: settings, set folder and LOG_DAT."""

    def __init__(self, path):
        self.path = Path(path)
        self.set_folder = self.path / SET_FOLDER
        self.log_folder = self.path / LOG_FOLDER

    def create(self):
        self.set_folder.mkdir(parents=True, exist_ok=True)
        self.log_folder.mkdir(parents=True, exist_ok=True)
        return self

    def write_settings(self, settings):
        path = self.path / SETTINGS_FILE
        # Mode 0600 from the start: the file holds the password.
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "wb") as f:
            f.write(settings.to_bytes())
        path.chmod(0o600)  # also when the file was there before

    def write_set(self, name, backup_set):
        (self.set_folder / name).write_bytes(backup_set.to_bytes())

    def result_logs(self):
        """{file name: content} of the job result logs."""
        return {p.name: p.read_bytes() for p in sorted(self.log_folder.glob("APP-*.log"))}

    def daily_log(self):
        """The daily log files' bytes, oldest day first."""
        days = sorted(p for p in self.log_folder.iterdir() if re.fullmatch(r"\d{8}\.log", p.name))
        return b"".join(p.read_bytes() for p in days)


# --- the mail sink's folder

def received_mails(folder):
    """[(data bytes, envelope dict)] of every complete message, in arrival order."""
    mails = []
    for envelope in sorted(Path(folder).glob("[0-9][0-9][0-9][0-9][0-9][0-9].json")):
        data = envelope.with_suffix(".eml").read_bytes()
        mails.append((data, json.loads(envelope.read_text(encoding="utf-8"))))
    return mails


# --- save files of the simulated host

SAVE_FILE_MAGIC = b"HOSTSIM SAVF 1\n"


def host_object_name(name):
    """The name of an object's save file: its first '*' replaced by '#'."""
    return name.replace("*", "#", 1)


def write_host_objects(root, objects):
    """Objects as the simulated host keeps them: {"LIB/OBJ" or "LIB/OBJ/MEMBER": bytes}."""
    for relative, data in objects.items():
        path = Path(root) / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)


# --- the demo

DEMO_SET_NAME = "DEMO"
DEMO_MARKER = ".velmoro-demo"
DEMO_JOB_TIMER = 120000
DEMO_FILE_TIMER = 1000
DEMO_USER, DEMO_PASSWORD = "ZORVA", "DEMOPASS"

DEMO_SET = BackupSet(
    description="デモ用バックアップセット（毎日・7世代）",
    rows=[
        ObjectRow("QSYS", "*ALLUSR", "*LIB"),      # every user library, saved as #ALLUSR
        ObjectRow("QSYS", "ARLIB", "*LIB"),        # one whole library
        ObjectRow("PAYLIB", "PAYROLL", "*FILE"),   # one object of a library
        ObjectRow("PAYLIB", "NOSUCHOBJ", "*FILE"),  # not on the host: the host fails it
    ],
)
DEMO_SAVED = ["#ALLUSR", "ARLIB", "PAYROLL"]
DEMO_HOST_FAILED = ["NOSUCHOBJ"]


def demo_host_objects():
    staff = "".join(f"{n:05d}  社員{n:03d}  {1000 + 37 * n:>8}\r\n" for n in range(1, 200))
    return {
        "PAYLIB/PAYROLL/MBR2026": staff.encode(ENCODING),
        "PAYLIB/PAYROLL/MBR2025": staff[: len(staff) // 2].encode(ENCODING),
        "PAYLIB/EMPLOYEES": "社員マスター\r\n".encode(ENCODING) * 50,
        "ARLIB/INVOICES": bytes(range(256)) * 64,
        "ARLIB/CUSTOMERS": "得意先マスター\r\n".encode(ENCODING) * 80,
        "QGPL/SCRATCH": b"not a user library: *ALLUSR leaves it out\r\n",
    }


class DemoLayout:
    def __init__(self, top):
        self.top = Path(top).resolve()
        self.program = ProgramFolder(self.top / "program")
        self.save = self.top / "save"
        self.host = self.top / "host"
        self.mail = self.top / "mail"
        self.logs = self.top / "logs"


def prepare(top):
    """Lay out a fresh demo below `top`; an earlier demo there is removed first."""
    layout = DemoLayout(top)
    if layout.top.exists():
        entries = list(layout.top.iterdir())
        if entries and not (layout.top / DEMO_MARKER).is_file():
            raise SystemExit(f"{layout.top} is not empty and was not made by the demo; "
                             "choose another folder with --dir")
        for entry in entries:
            if entry.is_dir() and not entry.is_symlink():
                shutil.rmtree(entry)
            else:
                entry.unlink()
    layout.top.mkdir(parents=True, exist_ok=True)
    (layout.top / DEMO_MARKER).write_text("made by scripts/demo; emptied by its next run\n")
    layout.program.create()
    layout.program.write_set(DEMO_SET_NAME, DEMO_SET)
    for folder in (layout.save, layout.mail, layout.logs):
        folder.mkdir()
    write_host_objects(layout.host, demo_host_objects())
    return layout


def demo_settings(layout, ftp_port, mail_port):
    return Settings(base_dir=str(layout.save) + "/", ftp_port=ftp_port, mail_port=mail_port,
                    user=DEMO_USER, password=DEMO_PASSWORD,
                    job_timer=DEMO_JOB_TIMER, file_timer=DEMO_FILE_TIMER)


def configure(top, ftp_port, mail_port):
    layout = DemoLayout(top)
    layout.program.write_settings(demo_settings(layout, ftp_port, mail_port))


def _text(data):
    return data.decode(ENCODING, errors="replace")


def _show(title, text):
    print(f"\n== {title}")
    print(text.rstrip("\r\n").replace("\r\n", "\n") if text else "(nothing)")


def demo_problems(top):
    """What differs from the expected outcome of the demo set (empty: all as expected)."""
    layout = DemoLayout(top)
    problems = []
    generations = sorted((layout.save / DEMO_SET_NAME / DEMO_SET.retention).glob("*"))
    if len(generations) != 1:
        problems.append(f"expected one generation folder, found {[g.name for g in generations]}")
    else:
        files = sorted(p.name for p in generations[0].iterdir())
        if files != sorted(DEMO_SAVED):
            problems.append(f"generation folder holds {files}, expected {sorted(DEMO_SAVED)}")
        for name in set(files) & set(DEMO_SAVED):
            with open(generations[0] / name, "rb") as f:
                if f.read(len(SAVE_FILE_MAGIC)) != SAVE_FILE_MAGIC:
                    problems.append(f"{name} is not a complete save file")

    logs = layout.program.result_logs()
    expected_name = re.compile(r"APP-\d{12}-\d{12}-DEMO-一部未完-\.log")
    if len(logs) != 1 or not expected_name.fullmatch(next(iter(logs))):
        problems.append(f"expected one result log APP-…-DEMO-一部未完-.log, found {list(logs)}")
    else:
        statuses = [line.split("/")[3] for line in _text(next(iter(logs.values()))).splitlines()]
        expected = ["保管正常完了"] * 3 + ["ホストで保管失敗"]
        if statuses != expected:
            problems.append(f"result log statuses {statuses}, expected {expected}")

    mails = received_mails(layout.mail)
    if len(mails) != 1 or "使用したバックアップセット名 : DEMO" not in _text(mails[0][0]):
        problems.append(f"expected one report mail for DEMO, found {len(mails)} messages")
    return problems


def report(top):
    layout = DemoLayout(top)
    for generation in sorted((layout.save / DEMO_SET_NAME).glob("*/*")):
        lines = [f"{p.stat().st_size:>10}  {p.name}" for p in sorted(generation.iterdir())]
        _show(f"saved generation {generation}", "\n".join(lines))
    for name, content in layout.program.result_logs().items():
        _show(f"job result log {layout.program.log_folder / name}", _text(content))
    _show(f"daily log {layout.program.log_folder}", _text(layout.program.daily_log()))
    for data, envelope in received_mails(layout.mail):
        _show(f"mail from {envelope['mail_from']} to {', '.join(envelope['rcpt_tos'])}",
              _text(data))

    problems = demo_problems(top)
    print()
    if problems:
        for problem in problems:
            print(f"demo: NOT AS EXPECTED: {problem}")
        return 1
    print("demo: backup completed as expected: 3 objects saved and downloaded, "
          "NOSUCHOBJ failed on the host (it does not exist there)")
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description="Program folders for the demo.")
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("prepare", "configure", "report"):
        p = commands.add_parser(name)
        p.add_argument("--dir", required=True)
        if name == "configure":
            p.add_argument("--ftp-port", type=int, required=True)
            p.add_argument("--mail-port", type=int, required=True)
    args = parser.parse_args(argv)
    if args.command == "prepare":
        prepare(args.dir)
        return 0
    if args.command == "configure":
        configure(args.dir, args.ftp_port, args.mail_port)
        return 0
    return report(args.dir)


if __name__ == "__main__":
    sys.exit(main())
