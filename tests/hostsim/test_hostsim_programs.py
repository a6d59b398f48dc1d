"""The host programs and the installation, driven as the PC drives them."""

import ftplib
import shutil
import subprocess
import time

import pytest

from hostsim_testing import (PYTHON, REPO, SUBMIT, fetch_when, get, put, record, restore_codes,
                             run_save, submit_restore, text_file, upload_restore)

SET_ROWS = [
    record("2", "PAYROLL", "PAYLIB", "*FILE", "2"),
    record("2", "CUST*", "PAYLIB", "*FILE", "5"),     # generic: saved as CUST#
    record("1", "ARLIB", "QSYS", "*LIB", "2"),        # a whole library
    record("2", "MISSING", "PAYLIB", "*FILE", "2"),
    record("2", "INVOICES", "ARLIB", "*FILE", "2"),   # exists, but chosen to fail
]
SAVE_FILES = ["PAYROLL", "CUST#", "ARLIB"]


def make_objects(root):
    (root / "PAYLIB" / "CUSTMAST").mkdir(parents=True)
    (root / "PAYLIB" / "CUSTMAST" / "MBR1").write_bytes(b"member one\r\n")
    (root / "PAYLIB" / "CUSTIDX").write_bytes(b"index")
    (root / "PAYLIB" / "PAYROLL").write_bytes(bytes(range(256)) * 64)
    (root / "PAYLIB" / "OTHER").write_bytes(b"not saved")
    (root / "ARLIB").mkdir()
    (root / "ARLIB" / "INVOICES").write_bytes(b"\x83C\x83\x93\x83{\x83C\x83X")


def snapshot(root, libraries=("PAYLIB", "ARLIB")):
    """Every path below the libraries with its content (None for a folder)."""
    result = {}
    for library in libraries:
        for path in sorted((root / library).rglob("*")):
            result[str(path.relative_to(root))] = None if path.is_dir() else path.read_bytes()
    return result


def test_save_job_reports_progress_and_its_save_files_restore_the_objects(host, ftp):
    make_objects(host.root)
    originals = snapshot(host.root)
    host.control(hold_jobs=True, fail_objects=["INVOICES"])
    ftp.cwd("ZORVADATA")
    put(ftp, "DAILY", text_file(SET_ROWS))
    ftp.sendcmd(SUBMIT.format(program="ZORVASAVE", parm="'DAILY'"))

    pending = fetch_when(ftp, "DAILY/SAVLIBS", lambda lines: len(lines) == len(SET_ROWS))
    assert [line[:31] for line in pending] == [row[:31] for row in SET_ROWS]
    assert all(len(line) == 32 and line[31] not in "09" for line in pending)

    host.control(fail_objects=["INVOICES"])
    done = fetch_when(ftp, "DAILY/SAVLIBS", lambda lines: all(l[31] in "09" for l in lines))
    assert [line[31] for line in done] == ["0", "0", "0", "9", "9"]
    assert sorted(ftp.nlst("DAILY")) == sorted(SAVE_FILES + ["SAVLIBS"])
    saved = {name: get(ftp, f"DAILY/{name}") for name in SAVE_FILES}
    for name in SAVE_FILES:
        ftp.delete(f"DAILY/{name}")
    ftp.sendcmd(" RCMD DLTF DAILY/SAVLIBS")
    assert ftp.nlst("DAILY") == []

    (host.root / "PAYLIB" / "PAYROLL").unlink()
    (host.root / "PAYLIB" / "CUSTIDX").unlink()
    shutil.rmtree(host.root / "PAYLIB" / "CUSTMAST")
    shutil.rmtree(host.root / "ARLIB")
    broken = saved["PAYROLL"][:600]  # a save file cut short in transfer
    upload_restore(ftp, dict(saved, BROKEN=broken, JUNK=b"not a save file"),
                   [record("2", "GONE", "PAYLIB", "*FILE", "2")], physical={"CUST#"})
    host.control(hold_jobs=True)
    submit_restore(ftp, overwrite=False)
    fetch_when(ftp, "ZORVARST/SAVLIBS", lambda lines: [len(line) for line in lines] == [33] * 6)
    host.control()
    assert restore_codes(ftp) == {"PAYROLL": "0", "CUST#": "0", "ARLIB": "0",
                                  "BROKEN": "A", "JUNK": "9", "GONE": "8"}
    assert snapshot(host.root) == originals


@pytest.mark.parametrize("overwrite, code, payroll", [
    (False, "7", b"changed since the save"),
    (True, "0", None),  # None: back to what was saved
])
def test_restore_over_existing_objects_needs_the_overwrite_flag(
        host, ftp, overwrite, code, payroll):
    make_objects(host.root)
    saved_payroll = (host.root / "PAYLIB" / "PAYROLL").read_bytes()
    run_save(ftp, "DAILY", SET_ROWS[:1])
    save_file = get(ftp, "DAILY/PAYROLL")
    (host.root / "PAYLIB" / "PAYROLL").write_bytes(b"changed since the save")
    upload_restore(ftp, {"PAYROLL": save_file})
    submit_restore(ftp, overwrite)
    assert restore_codes(ftp) == {"PAYROLL": code}
    assert (host.root / "PAYLIB" / "PAYROLL").read_bytes() == (payroll or saved_payroll)


def test_stop_request_ends_the_save(host, ftp):
    make_objects(host.root)
    host.control(hold_jobs=True)
    put(ftp, "ZORVADATA/DAILY", text_file(SET_ROWS[:2]))
    ftp.sendcmd(SUBMIT.format(program="ZORVASAVE", parm="'DAILY'"))
    fetch_when(ftp, "DAILY/SAVLIBS", lambda lines: len(lines) == 2)
    put(ftp, "DAILY/STOP", b"DAILY")
    host.control()
    done = fetch_when(ftp, "DAILY/SAVLIBS", lambda lines: all(l[31] in "09" for l in lines))
    assert [line[31] for line in done] == ["9", "9"]
    assert ftp.nlst("DAILY") == ["SAVLIBS"]


@pytest.mark.parametrize("program, parm, list_name, done", [
    ("ZORVASAVE", "'DAILY'", "DAILY/SAVLIBS", "0"),  # the earlier run's STOP went at the start
    ("ZORVARSALL", "'1'", "ZORVARST/SAVLIBS", "9"),  # ZORVARST/PAYROLL is no save file
])
def test_a_submitted_job_touches_no_file_while_it_waits_in_its_queue(start_host, program, parm,
                                                                     list_name, done):
    sim = start_host("--queue-wait", "2")
    make_objects(sim.root)
    with sim.ftp() as ftp:
        ftp.sendcmd("RCMD CRTLIB DAILY")
        for name in ("ZORVARST/SAVLIBS", "ZORVADATA/DAILY", "DAILY/SAVLIBS", "ZORVARST/PAYROLL",
                     "DAILY/STOP"):  # the lists as sent, an earlier save's list and stop request
            put(ftp, name, text_file([record("2", "PAYROLL", "PAYLIB", "*FILE", "2")]))
        before = snapshot(sim.root, ("DAILY", "ZORVARST", "ZORVADATA", "PAYLIB"))
        ftp.sendcmd(SUBMIT.format(program=program, parm=parm))
        time.sleep(0.5)
        assert snapshot(sim.root, ("DAILY", "ZORVARST", "ZORVADATA", "PAYLIB")) == before
        fetch_when(ftp, list_name, lambda lines: [line[31:] for line in lines] == [done])


def test_object_check_marks_missing_objects_then_writes_verified(host, ftp):
    make_objects(host.root)
    rows = [record("2", "PAYROLL", "PAYLIB", "*FILE", " "),
            record("2", "NOSUCH", "PAYLIB", "*FILE", " "),
            record("1", "ARLIB", "QSYS", "*LIB", " "),
            record("1", "NOLIB", "QSYS", "*LIB", " "),
            record("2", "PAYROLL", "NOLIB", "*FILE", " ")]
    ftp.cwd("ZORVADATA")
    put(ftp, "VERIFIED", b"VERIFIED\r\n")  # left by an earlier check
    put(ftp, "CHKOBJF", text_file(rows))
    ftp.sendcmd("RCMD CALL PGM(ZORVAV3/IFEXIST)")
    assert get(ftp, "CHKOBJF") == text_file(r[:31] + s for r, s in zip(rows, " 9 99"))
    assert get(ftp, "VERIFIED").startswith(b"V")


def test_installation_from_the_module_save_file(start_host, tmp_path):
    sim = start_host(installed=False)
    module = tmp_path / "ZORVAV3"
    subprocess.run([PYTHON, "-m", "hostsim", "make-module", str(module)], cwd=REPO, check=True)
    with sim.ftp() as ftp:
        for call in ("RCMD CALL PGM(ZORVAV3/IFEXIST)",
                     SUBMIT.format(program="ZORVASAVE", parm="'DAILY'")):
            with pytest.raises(ftplib.error_perm, match="CPD0170: Program"):
                ftp.sendcmd(call)
        assert ftp.nlst("QGPL") == []
        ftp.sendcmd("RCMD CRTSAVF QGPL/ZORVAV3")
        put(ftp, "QGPL/ZORVAV3", module.read_bytes())
        for _ in range(2):  # the second round is a reinstallation
            for library in ("ZORVADATA", "ZORVARST", "ZORVALOGLB"):
                if library in ftp.nlst("QSYS"):
                    ftp.cwd(library)
                    ftp.cwd("QSYS")
                    ftp.sendcmd(f"RCMD DLTLIB LIB({library})")
            ftp.sendcmd("RCMD RSTLIB SAVLIB(ZORVAV3) DEV(*SAVF) SAVF(QGPL/ZORVAV3)")
            for library in ("ZORVADATA", "ZORVARST", "ZORVALOGLB"):
                ftp.sendcmd(f"RCMD CRTLIB LIB({library})")
        ftp.sendcmd("RCMD DLTF FILE(QGPL/ZORVAV3)")
        assert ftp.nlst("QGPL") == []
        put(ftp, "ZORVADATA/CHKOBJF", b"")
        ftp.sendcmd("RCMD CALL PGM(ZORVAV3/IFEXIST)")


@pytest.mark.parametrize("content, message", [
    (b"not a save file", "CPF3782"),
    (None, "CPF3780: Library ZORVAV3 not found"),  # None: a save file of another library
])
def test_rstlib_takes_only_a_save_file_of_the_library(host, ftp, content, message):
    if content is None:
        make_objects(host.root)
        run_save(ftp, "DAILY", [record("1", "ARLIB", "QSYS", "*LIB", "2")])
        content = get(ftp, "DAILY/ARLIB")
    ftp.sendcmd("RCMD CRTSAVF QGPL/OTHER")
    put(ftp, "QGPL/OTHER", content)
    with pytest.raises(ftplib.error_perm, match=message):
        ftp.sendcmd("RCMD RSTLIB SAVLIB(ZORVAV3) DEV(*SAVF) SAVF(QGPL/OTHER)")


def test_request_start_leaves_the_start_file(host, ftp):
    subprocess.run([PYTHON, "-m", "hostsim", "request-start", "--root", str(host.root),
                    "--terminal", "TERM01", "--set", "PAYROLL"], cwd=REPO, check=True)
    assert get(ftp, "ZORVADATA/TERM01") == b"PAYROLL\r\n"


def test_submit_accepts_an_empty_job_queue_as_the_default(ftp):
    reply = ftp.sendcmd(" RCMD SBMJOB CMD(CALL PGM(ZORVAV3/ZORVASAVE)  PARM('DAILY')) JOBQ()")
    assert "submitted to job queue QBATCH in library QGPL" in reply
