"""FTP as the host speaks it: names, transfer types, listings, refusals."""

import ftplib
import os
import signal

import pytest

from hostsim_testing import get, put

EXCHANGE_BYTES = b"1PAYROLL   PAYLIB    *FILE     2\r\n\x83e\x83X\x83g\nlone LF\r\n"


@pytest.fixture
def host(shared_host):
    """These tests leave the libraries as they found them, so they share one host."""
    return shared_host


def test_serve_ends_cleanly_on_sigterm(start_host):
    sim = start_host()
    sim.proc.send_signal(signal.SIGTERM)
    assert sim.proc.wait(5) == 0


@pytest.mark.parametrize("transfer_type", ["A", "I"])
def test_files_travel_byte_for_byte_in_both_types(ftp, transfer_type):
    ftp.sendcmd(f"TYPE {transfer_type}")
    put(ftp, "ZORVADATA/DAILY", EXCHANGE_BYTES)
    assert get(ftp, "ZORVADATA/DAILY") == EXCHANGE_BYTES
    assert ftp.sendcmd("SIZE ZORVADATA/DAILY") == f"213 {len(EXCHANGE_BYTES)}"


RECORD = b"2PAYROLL   PAYLIB    *FILE" + b" " * 40 + b"\r\n"  # 64 KiB pieces end in blanks
TEXT = RECORD * 2000 + b"9  "


@pytest.mark.parametrize("options, last", [((), "9"), (("--no-trim",), "9  ")],
                         ids=["trimmed", "no-trim"])
def test_text_downloads_leave_out_trailing_blanks_unless_told(start_host, options, last):
    with start_host(*options).ftp() as ftp:
        put(ftp, "ZORVADATA/LIST", TEXT)
        lines = []
        ftp.retrlines("RETR ZORVADATA/LIST", lines.append)  # TYPE A
        line = RECORD[:-2].decode()
        assert lines == [line.rstrip() if last == "9" else line] * 2000 + [last]
        assert get(ftp, "ZORVADATA/LIST") == TEXT  # TYPE I: untouched


def test_bare_names_are_files_of_the_current_library(host, ftp):
    assert ftp.sendcmd("PWD") == '257 "QGPL" is current library.'
    assert ftp.cwd("ZORVALOGLB").startswith("250")
    assert ftp.sendcmd("PWD") == '257 "ZORVALOGLB" is current library.'
    put(ftp, "NAMES", b"x")
    put(ftp, "zorvarst/names", b"y")  # the host upper-cases names
    assert (host.root / "ZORVALOGLB" / "NAMES").read_bytes() == b"x"
    assert get(ftp, "ZORVARST/NAMES") == b"y"
    assert ftp.nlst() == ["NAMES"]
    assert ftp.nlst("ZORVARST") == ["NAMES"]
    ftp.delete("NAMES")
    ftp.delete("ZORVARST/NAMES")
    assert ftp.nlst() == []
    with pytest.raises(ftplib.error_perm, match="CPF2105"):
        get(ftp, "NAMES")


def test_listings_of_qsys_and_of_a_library(ftp):
    lines = []
    ftp.retrlines("LIST QSYS", lines.append)
    assert [line.split()[-1] for line in lines] == [
        "QGPL", "ZORVADATA", "ZORVALOGLB", "ZORVARST", "ZORVAV3"]
    assert all("*LIB" in line for line in lines)
    lines.clear()
    ftp.retrlines("LIST ZORVAV3", lines.append)
    assert [line.split()[-1] for line in lines] == ["IFEXIST", "ZORVARSALL", "ZORVASAVE"]


def test_cwd_to_a_missing_library_fails(ftp):
    with pytest.raises(ftplib.error_perm, match="550 CPF2110: Library NOSUCH not found"):
        ftp.cwd("NOSUCH")
    assert ftp.sendcmd("PWD") == '257 "QGPL" is current library.'


@pytest.mark.parametrize("name", [
    "../escape", "ZORVADATA/../../escape", "..", "ZORVADATA/..",
    "LIBRARYNAME/X", "ZORVADATA/ELEVENCHARS", "ZORVADATA/A/B", "QSYS/X", "ZORVADATA/.hidden",
])
def test_bad_names_are_refused_and_touch_nothing(shared_host, name):
    top = shared_host.root.parent
    before = sorted(os.walk(top))
    with shared_host.ftp() as ftp:
        for command in (f"RETR {name}", f"DELE {name}", f"CWD {name}", f"SIZE {name}",
                        f"RCMD CRTSAVF FILE({name})"):
            with pytest.raises(ftplib.error_perm):
                ftp.sendcmd(command)
        with pytest.raises(ftplib.error_perm):
            put(ftp, name, b"data")
    assert sorted(os.walk(top)) == before


def test_wrong_password_is_refused(host):
    with pytest.raises(ftplib.error_perm, match="530"):
        host.ftp(password="wrong")


@pytest.mark.parametrize("command, reply", [
    ("RCMD WRKACTJOB", "CPD0030: Command WRKACTJOB"),
    ("RCMD CRTLIB LIB(ZORVADATA)", "CPF2111: Library ZORVADATA already exists"),
    ("RCMD CRTLIB LIB(ELEVENCHARS)", "CPD0074"),
    ("RCMD CRTLIB LIB(A) BOGUS(1)", "CPD0043: Keyword BOGUS"),
    ("RCMD CRTPF ZORVARST/X SIZE(*NOMAX)", "CPD0071: Value for parameter RCDLEN"),
    ("RCMD DLTLIB LIB(QGPL)", "CPF2161"),
    ("RCMD DLTF FILE(ZORVADATA/NOSUCH)", "CPF2105"),
    ("RCMD CLRLIB NOSUCH", "CPF2110"),
    ("RCMD CALL PGM(ZORVAV3/NOSUCH)", "CPD0170: Program NOSUCH in library ZORVAV3 not found"),
    ("RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE) PARM('DAILY')", "CPD0011"),
    ("RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE) PARM('DAILY')) JOBQ(QGPL/NOSUCH)",
     "CPF133D: Job queue NOSUCH in library QGPL not found"),
    ("RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE) PARM('../X'))", "CPD0074"),
])
def test_refused_commands_answer_with_cpf_message_lines(shared_host, command, reply):
    with shared_host.ftp() as ftp, pytest.raises(ftplib.error_perm) as refused:
        ftp.sendcmd(command)
    lines = str(refused.value).split("\n")
    assert len(lines) >= 2
    assert lines[0] == f"550-Error occurred on command {command[5:]}."
    assert reply in lines[-1]


def test_unknown_ftp_command_is_not_understood(ftp):
    with pytest.raises(ftplib.error_perm, match="500"):
        ftp.sendcmd("MKD NEWLIB")
