"""Each knob of the control file does what it says, and stops when it says."""

import ftplib
import time

import pytest

from hostsim_testing import SUBMIT, get, put, record, restore_codes, run_save, submit_restore, \
    text_file, upload_restore

DATA = bytes(range(256)) * 400


@pytest.fixture
def host(shared_host):
    yield shared_host
    shared_host.control()  # the next test starts without faults


def _submit(host, ftp):
    ftp.sendcmd(SUBMIT.format(program="ZORVASAVE", parm="'REFUSALS'"))


def _download(host, ftp):
    get(ftp, "ZORVADATA/DATA")


def _upload(host, ftp):
    put(ftp, "ZORVADATA/DATA", b"x")


def _change_library(host, ftp):
    ftp.cwd("ZORVADATA")


def _log_on(host, ftp):
    host.ftp().close()


@pytest.mark.parametrize("key, attempt, code", [
    ("RCMD SBMJOB", _submit, "550"),
    ("RETR ZORVADATA/DATA", _download, "550"),
    ("STOR", _upload, "550"),
    ("CWD", _change_library, "550"),
    ("PASS", _log_on, "530"),
])
def test_refuse_fails_a_command_the_given_number_of_times(host, ftp, key, attempt, code):
    put(ftp, "ZORVADATA/DATA", b"data")
    host.control(refuse={key: 2})
    for _ in range(2):
        with pytest.raises(ftplib.error_perm) as refused:
            attempt(host, ftp)
        lines = str(refused.value).split("\n")
        assert lines[0].startswith(f"{code}-CPF9898") and lines[-1].startswith(f"{code} ")
    attempt(host, ftp)


def test_refusal_of_one_file_leaves_the_others(host, ftp):
    put(ftp, "ZORVADATA/DATA", b"data")
    put(ftp, "ZORVADATA/OTHER", b"other")
    host.control(refuse={"RETR ZORVADATA/DATA": True})
    assert get(ftp, "ZORVADATA/OTHER") == b"other"
    for _ in range(3):
        with pytest.raises(ftplib.error_perm):
            get(ftp, "ZORVADATA/DATA")


def test_download_is_cut_after_k_bytes_once(host, ftp):
    (host.root / "ZORVADATA" / "DATA").write_bytes(DATA)
    host.control(cut={"RETR ZORVADATA/DATA": {"after": 5000, "times": 1}})
    received = bytearray()
    with pytest.raises(ftplib.error_temp, match="426"):
        ftp.retrbinary("RETR ZORVADATA/DATA", received.extend)
    assert bytes(received) == DATA[:5000]
    assert get(ftp, "ZORVADATA/DATA") == DATA


def test_upload_is_cut_after_k_bytes_while_the_key_stays(host):
    host.control(cut={"STOR": 5000})
    for _ in range(2):
        ftp = host.ftp()
        with pytest.raises((ftplib.error_temp, OSError)):  # OSError: the cut met our sending
            put(ftp, "ZORVADATA/DATA", DATA)
        ftp.close()
        assert (host.root / "ZORVADATA" / "DATA").read_bytes() == DATA[:5000]
    host.control()
    with host.ftp() as ftp:
        put(ftp, "ZORVADATA/DATA", DATA)
    assert (host.root / "ZORVADATA" / "DATA").read_bytes() == DATA


@pytest.mark.parametrize("direction", ["RETR", "STOR"])
def test_rate_limits_both_directions(host, ftp, direction):
    data = DATA[:60_000]
    (host.root / "ZORVADATA" / "DATA").write_bytes(data)
    host.control(rate=100_000)
    started = time.monotonic()
    if direction == "RETR":
        assert get(ftp, "ZORVADATA/DATA") == data
    else:
        put(ftp, "ZORVADATA/DATA", data)
    assert time.monotonic() - started >= 0.5
    assert (host.root / "ZORVADATA" / "DATA").read_bytes() == data


def test_no_verified_answers_the_check_but_never_marks_it_done(host, ftp):
    host.control(no_verified=True)
    ftp.cwd("ZORVADATA")
    put(ftp, "VERIFIED", b"VERIFIED\r\n")
    put(ftp, "CHKOBJF", text_file([record("2", "NOSUCH", "PAYLIB", "*FILE", " ")]))
    ftp.sendcmd("RCMD CALL PGM(ZORVAV3/IFEXIST)")
    assert get(ftp, "CHKOBJF")[31:32] == b"9"
    with pytest.raises(ftplib.error_perm):
        get(ftp, "VERIFIED")


def test_save_files_are_padded_to_the_set_size_and_still_restore(host, ftp):
    (host.root / "PAYLIB").mkdir()
    (host.root / "PAYLIB" / "PAYROLL").write_bytes(b"payroll")
    host.control(save_file_size=3_000_000)
    assert [line[31] for line in run_save(ftp, "DAILY", [
        record("2", "PAYROLL", "PAYLIB", "*FILE", "2")])] == ["0"]
    assert ftp.sendcmd("SIZE DAILY/PAYROLL") == "213 3000000"
    save_file = get(ftp, "DAILY/PAYROLL")
    (host.root / "PAYLIB" / "PAYROLL").unlink()
    upload_restore(ftp, {"PAYROLL": save_file})
    submit_restore(ftp, overwrite=False)
    assert restore_codes(ftp) == {"PAYROLL": "0"}
    assert (host.root / "PAYLIB" / "PAYROLL").read_bytes() == b"payroll"


def test_a_broken_control_file_is_ignored(host, ftp):
    (host.root / "hostsim-control.json").write_text('{"refuse": {"CWD": "often"}}')
    ftp.cwd("ZORVADATA")
