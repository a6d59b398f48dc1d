"""Helpers shared by the simulator's tests (a module name unique in the test tree)."""

import ftplib
import io
import json
import os
from pathlib import Path

from hostsim.launch import start, stop  # noqa: F401 (also for the tests)
from waiting import wait_for

REPO = Path(__file__).resolve().parents[2]
PYTHON = "/usr/bin/python3"  # Debian's, which has pyftpdlib and aiosmtpd
USER, PASSWORD = "TESTER", "secret"


class Sim:
    """A running simulated host and the helpers tests drive it with."""

    def __init__(self, root, proc, port):
        self.root, self.proc, self.port = root, proc, port

    def ftp(self, user=USER, password=PASSWORD):
        ftp = ftplib.FTP(timeout=10)
        ftp.connect("127.0.0.1", self.port)
        try:
            ftp.login(user, password)
        except ftplib.Error:
            ftp.close()
            raise
        return ftp

    def control(self, **settings):
        """Replace the control file at once, as a test harness should."""
        tmp = self.root / "control.tmp"
        tmp.write_text(json.dumps(settings))
        os.replace(tmp, self.root / "hostsim-control.json")


class Starter:
    """Starts hosts below one folder and stops them all at the end."""

    def __init__(self, folder):
        self.folder = folder
        self.procs = []

    def __call__(self, *options, installed=True):
        n = len(self.procs)
        root = self.folder / f"root{n}"
        args = ["serve", "--root", str(root), "--user", USER, "--password", PASSWORD,
                "--queue-wait", "0", "--object-delay", "0.01", *options]
        if installed:
            args.append("--installed")
        proc, port = start(args, self.folder / f"host{n}.log")
        self.procs.append(proc)
        return Sim(root, proc, port)

    def stop_all(self):
        for proc in self.procs:
            stop(proc)


SUBMIT = " RCMD SBMJOB CMD(CALL PGM(ZORVAV3/{program})  PARM({parm})) JOBQ(QGPL/QBATCH)"


def put(ftp, name, data):
    ftp.storbinary(f"STOR {name}", io.BytesIO(data))


def get(ftp, name):
    out = io.BytesIO()
    ftp.retrbinary(f"RETR {name}", out.write)
    return out.getvalue()


def record(kind, obj, library, type_, last):
    """One exchange line of 32 characters (without its CR LF)."""
    return f"{kind}{obj:<10}{library:<10}{type_:<10}{last}"


def lines_of(data):
    return [line for line in data.decode("latin-1").replace("\r", "\n").split("\n") if line]


def fetch_when(ftp, name, done):
    """Fetch `name` again and again until done(lines); those lines."""
    def attempt():
        try:
            lines = lines_of(get(ftp, name))
        except ftplib.error_perm:
            return None
        return lines if done(lines) else None
    return wait_for(attempt, 10, f"{name} as the test expects it")


def text_file(lines):
    return "".join(line + "\r\n" for line in lines).encode("latin-1")


def run_save(ftp, set_name, rows):
    """Upload a save request, submit the save job and wait until every line is done."""
    put(ftp, f"ZORVADATA/{set_name}", text_file(rows))
    ftp.sendcmd(SUBMIT.format(program="ZORVASAVE", parm=f"'{set_name}'"))
    return fetch_when(ftp, f"{set_name}/SAVLIBS",
                      lambda lines: len(lines) == len(rows) and all(l[31] in "09" for l in lines))


def upload_restore(ftp, save_files, extra_lines=(), physical=()):
    """Send save files and the restore list as the PC does, without submitting.

    Names in `physical` travel in a physical file, as protected objects do.
    """
    ftp.sendcmd("RCMD CLRLIB ZORVARST ")
    lines = []
    for name, data in save_files.items():
        if name in physical:
            ftp.sendcmd(f"RCMD CRTPF ZORVARST/{name} RCDLEN(528) SIZE(*NOMAX)")
        else:
            ftp.sendcmd(f"RCMD CRTSAVF ZORVARST/{name}")
        put(ftp, f"ZORVARST/{name}", data)
        lines.append(record("2", name, "PAYLIB", "*FILE", "2"))
    put(ftp, "ZORVARST/SAVLIBS", text_file(lines + list(extra_lines)))


def submit_restore(ftp, overwrite):
    ftp.sendcmd(SUBMIT.format(program="ZORVARSALL", parm="'1'" if overwrite else "' '"))


def restore_codes(ftp):
    """Wait until every line has its result (not the option sent); {save file: result code}."""
    done = fetch_when(ftp, "ZORVARST/SAVLIBS",
                      lambda lines: all(len(l) == 32 and l[31] in "0789A" for l in lines))
    return {line[1:11].strip(): line[31] for line in done}
