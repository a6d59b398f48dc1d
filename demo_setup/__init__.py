"""Program folders for the demo and the end-to-end tests, and the demo's own steps.

A program folder is what every program of the system works in: zorva.ini
(CP932 text, CR LF, the password stored with every byte complemented), the
backup set folder with one file per set, and LOG_DAT for the logs.

Imported by tests/e2e and bench (the repository's top on the path: pytest.ini says so, and
`python3 -m` from the top), and a command of scripts/demo:

    python3 -m demo_setup prepare   --dir DIR
    python3 -m demo_setup configure --dir DIR --ftp-port P --mail-port M
    python3 -m demo_setup schedule  --dir DIR [--lead S]
    python3 -m demo_setup booked    --dir DIR
    python3 -m demo_setup report    --dir DIR
    python3 -m demo_setup lose      --dir DIR
    python3 -m demo_setup restored  --dir DIR

`prepare` empties DIR (only when an earlier `prepare` made it) and lays out
the demo: DIR/program (the program folder), DIR/save (BASEDIR), DIR/host
(the simulated host's root with a few objects), DIR/mail (the mail sink's
folder) and DIR/logs (the simulators' output). `configure` writes zorva.ini
once the simulators' ports are known. `schedule --lead S` registers the demo set
as the agent's job and prints a clock shift (seconds, for libfaketime) that
makes the job due S seconds after the shift starts; without `--lead` the set
becomes one the agent runs at once.
`booked` exits 0 once the agent has booked a run of the job. `report` shows
what the backup left and exits 1 unless it is what the demo set must give.
`lose` deletes the saved objects the demo restores from the host, and
`restored` exits 1 unless they are back byte for byte.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import time
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
    mon_timer: int = None  # the agent's scheduler period; None leaves the key out
    installed: bool = False  # [INSTALL] AS=YES: the host module is in place
    # TLS (our extension): each key is left out while None, as in a file of today.
    host_tls: str = None  # "EXPLICIT" or "IMPLICIT"
    host_ca: str = None
    host_pin: str = None
    mail_tls: str = None  # "STARTTLS" or "SMTPS"
    mail_ca: str = None
    mail_user: str = None
    mail_password: str = None
    # Off-site copies (our extension): the section is left out while no repository is named.
    offsite_repository: str = None
    offsite_password_file: str = None
    offsite_env_file: str = None
    offsite_keep: int = None

    def _tls_keys(self, keys):
        return [(k, scramble(v) if k == "PASSWORD" else v) for k, v in keys if v is not None]

    def sections(self):
        base = self.base_dir if self.base_dir.endswith("/") else self.base_dir + "/"
        return [
            ("DIRECTORIES", [("BACKUPSET", self.set_folder), ("BASEDIR", base)]),
            ("LOCAL", [("TERMID", self.terminal), ("LOG", self.log)]),
            ("HOST", [("ADDRESS", self.host), ("PORT", self.ftp_port), ("USER", self.user),
                      ("PASSWORD", scramble(self.password)), ("JOBQ", self.job_queue)]
             + self._tls_keys([("TLS", self.host_tls), ("CAFILE", self.host_ca),
                               ("PINNEDKEY", self.host_pin)])),
            ("MAIL", [("ACT", self.mail), ("ADDRESS", self.mail_to), ("SMTP", self.smtp),
                      ("PORT", self.mail_port), ("MAILFROM", self.mail_from)]
             + self._tls_keys([("TLS", self.mail_tls), ("CAFILE", self.mail_ca),
                               ("USER", self.mail_user), ("PASSWORD", self.mail_password)])),
            ("TIMER", [("JOBTIMER", self.job_timer), ("FILETIMER", self.file_timer)]
             + ([("MONTIMER", self.mon_timer)] if self.mon_timer is not None else [])),
        ] + ([("INSTALL", [("AS", "YES")])] if self.installed else []) + self._offsite()

    def _offsite(self):
        if self.offsite_repository is None:
            return []
        keys = [("REPOSITORY", self.offsite_repository),
                ("PASSWORDFILE", self.offsite_password_file),
                ("ENVFILE", self.offsite_env_file), ("KEEP", self.offsite_keep)]
        return [("OFFSITE", [(k, v) for k, v in keys if v is not None])]

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
                    user=DEMO_USER, password=DEMO_PASSWORD, mail_from="velmoro@example.com",
                    job_timer=DEMO_JOB_TIMER, file_timer=DEMO_FILE_TIMER,
                    mon_timer=DEMO_MON_TIMER)


def configure(top, ftp_port, mail_port, tls_ca=None, offsite=None):
    """With `tls_ca` the host is reached over explicit TLS, verified against that CA; with
    `offsite` (a restic repository) each job's generation is copied there too."""
    layout = DemoLayout(top)
    settings = demo_settings(layout, ftp_port, mail_port)
    if tls_ca:
        settings.host_tls, settings.host_ca = "EXPLICIT", tls_ca
    if offsite:
        password = layout.program.path / "offsite-password"
        password.write_text("demo-offsite-password\n")
        password.chmod(0o600)
        settings.offsite_repository, settings.offsite_password_file = offsite, str(password)
    layout.program.write_settings(settings)


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
        expected = sorted([*DEMO_SAVED, "SHA256SUMS.txt"])  # the save files and their checksums
        if files != expected:
            problems.append(f"generation folder holds {files}, expected {expected}")
        sums = subprocess.run(["sha256sum", "-c", "--quiet", "SHA256SUMS.txt"],
                              cwd=generations[0], capture_output=True, text=True)
        if sums.returncode != 0:
            problems.append(f"SHA256SUMS.txt does not verify: {sums.stdout}{sums.stderr}")
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


# --- the agent's job, and the restore of what the host lost

JOB_FILE = "schedule.txt"
PC_START, WAITING = "ＰＣ起動", "実行前"
DEMO_MON_TIMER = 1000  # the agent looks for due jobs every second
# What the demo deletes on the host and brings back: a whole library and one file.
DEMO_LOST = ["ARLIB", "PAYLIB/PAYROLL"]
DEMO_RESTORED = ["ARLIB", "PAYROLL"]  # the set's names of those objects


def clock_shift(lead, now=None):
    """Seconds to add to the clock so that it stands `lead` seconds before a new minute."""
    now = time.time() if now is None else now
    second = time.localtime(now).tm_sec + now % 1
    return int(round(60 - lead - second)) % 60


def job_line(set_name, submitted):
    """A line of the agent's job file for a waiting PC-start job; the agent recalculates the
    next run from the set's schedule when it reads the file."""
    stamp = time.strftime("%Y/%m/%d %H:%M", submitted)
    return f"1,{set_name}, {stamp}, ,{stamp}, ,{PC_START},{WAITING}{CRLF}"


def schedule(top, lead=None):
    """With `lead`: registers the demo set as the agent's PC-start job and returns the clock
    shift that makes it due `lead` seconds after the shifted clock starts. Without: makes the
    set an immediate one, which the agent's ジョブ投入 runs at once; returns 0."""
    layout = DemoLayout(top)
    if lead is None:
        # No save time, as the agent stores an immediate set: ジョブ投入 then finds the set
        # unchanged and does not ask to overwrite it.
        layout.program.write_set(DEMO_SET_NAME, BackupSet(DEMO_SET.description, DEMO_SET.rows,
                                                          start_method="3", save_time=""))
        return 0
    shift = clock_shift(lead)
    due = time.localtime(time.time() + shift + lead + 1)
    layout.program.write_set(DEMO_SET_NAME, BackupSet(DEMO_SET.description, DEMO_SET.rows,
                                                      save_time=time.strftime("%H%M", due)))
    now = time.localtime(time.time() + shift)
    (layout.program.path / JOB_FILE).write_bytes(job_line(DEMO_SET_NAME, now).encode(ENCODING))
    return shift


def booked(top):
    """True once the agent booked a run of the demo job (its last-run field is filled)."""
    path = DemoLayout(top).program.path / JOB_FILE
    try:
        text = path.read_bytes().decode(ENCODING)
    except (OSError, UnicodeDecodeError):
        return False  # not there, or being replaced
    for line in text.split(CRLF):
        fields = line.split(",")
        if len(fields) == 8 and fields[1].strip() == DEMO_SET_NAME:
            return fields[3].strip() != ""
    return False


def _lost_objects():
    return {name: data for name, data in demo_host_objects().items()
            if any(name == lost or name.startswith(lost + "/") for lost in DEMO_LOST)}


def _host_files_below(root, relative):
    top = Path(root) / relative
    return {str(p.relative_to(root)): p.read_bytes() for p in top.rglob("*") if p.is_file()}


def lose(top):
    layout = DemoLayout(top)
    for relative in DEMO_LOST:
        shutil.rmtree(layout.host / relative)
        print(f"demo: deleted {relative} on the host")


def restore_problems(top):
    layout = DemoLayout(top)
    found = {}
    for relative in DEMO_LOST:
        found.update(_host_files_below(layout.host, relative))
    expected = _lost_objects()
    problems = [f"{name} is missing on the host" for name in sorted(expected.keys() - found.keys())]
    problems += [f"{name} is on the host but was never saved"
                 for name in sorted(found.keys() - expected.keys())]
    problems += [f"{name} differs from what was saved" for name in sorted(expected.keys() & found.keys())
                 if found[name] != expected[name]]
    return problems


def restored(top):
    problems = restore_problems(top)
    for problem in problems:
        print(f"demo: NOT AS EXPECTED: {problem}")
    if problems:
        return 1
    print(f"demo: restore completed as expected: {len(_lost_objects())} host files of "
          f"{' and '.join(DEMO_LOST)} are back byte for byte")
    return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description="Program folders for the demo.")
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("prepare", "configure", "schedule", "booked", "report", "lose", "restored"):
        p = commands.add_parser(name)
        p.add_argument("--dir", required=True)
        if name == "configure":
            p.add_argument("--ftp-port", type=int, required=True)
            p.add_argument("--mail-port", type=int, required=True)
            p.add_argument("--tls-ca", help="reach the host over TLS, trusting this CA")
            p.add_argument("--offsite", help="copy each generation to this restic repository")
        if name == "schedule":
            p.add_argument("--lead", type=int)
    args = parser.parse_args(argv)
    if args.command == "prepare":
        prepare(args.dir)
        return 0
    if args.command == "configure":
        configure(args.dir, args.ftp_port, args.mail_port, args.tls_ca, args.offsite)
        return 0
    if args.command == "schedule":
        print(schedule(args.dir, args.lead))
        return 0
    if args.command == "booked":
        return 0 if booked(args.dir) else 1
    if args.command == "lose":
        lose(args.dir)
        return 0
    if args.command == "restored":
        return restored(args.dir)
    return report(args.dir)
