"""The three host programs of library ZORVAV3.

IFEXIST runs while the PC waits for its CALL. ZORVASAVE and ZORVARSALL run
as submitted jobs on a thread of their own: --job-delay before they start,
then --object-delay per object; while the control file says "hold_jobs" they
stop before their next object, leaving its line pending.
"""

import logging
import os
import threading

from . import savefile
from .names import HostError, host_object_name, library_name, object_name, stored_object_name
from .records import FAILED, LINE, PENDING, SAVED, read_lines, read_objects, write_lines

DATA_LIBRARY = "ZORVADATA"
RESTORE_LIBRARY = "ZORVARST"
LIST_FILE = "SAVLIBS"
STOP_FILE = "STOP"
CHECK_FILE = "CHKOBJF"
VERIFIED_FILE = "VERIFIED"

# Result codes of a restore, as the restore list reports them.
RESTORED = "0"
EXISTS = "7"
NO_SAVE_FILE = "8"
RESTORE_FAILED = "9"
DAMAGED = "A"

log = logging.getLogger("hostsim")


def check_objects(host):
    """IFEXIST: answer each CHKOBJF line with '0' (exists) or '9' (missing)."""
    verified = host.object_path(DATA_LIBRARY, VERIFIED_FILE)
    if os.path.lexists(verified):
        os.unlink(verified)  # a marker from an earlier check must not count
    check_file = host.existing_object(DATA_LIBRARY, CHECK_FILE)
    rows = read_objects(check_file)
    answered = [row.text(SAVED if _exists(host, row) else FAILED) for row in rows]
    write_lines(check_file, answered, host.work_dir)
    if not host.control.settings().no_verified:
        with open(verified, "wb") as f:
            f.write(b"VERIFIED\r\n")
    missing = sum(line.endswith(FAILED) for line in answered)
    return [f"{len(rows) - missing} of {len(rows)} objects exist."]


def _exists(host, row):
    try:
        return bool(host.select(library_name(row.library), row.object))
    except HostError:
        return False


# --- ZORVASAVE

def submit_save(host, set_name):
    """The part of a save that happens when the job is accepted.

    The progress list and stop request of an earlier run are removed, so the
    PC never mistakes them for this run's.
    """
    set_dir = host.library_path(set_name)
    os.makedirs(set_dir, exist_ok=True)
    for stale in (LIST_FILE, STOP_FILE):
        path = host.object_path(set_name, stale)
        if os.path.lexists(path):
            os.unlink(path)
    _start_job(f"ZORVASAVE {set_name}", _run_save, host, set_name)


def _run_save(host, set_name):
    if not host.sleep(host.job_delay):
        return
    try:
        rows = read_objects(host.object_path(DATA_LIBRARY, set_name))
    except FileNotFoundError:
        log.warning("ZORVASAVE %s: no request %s/%s; job ends", set_name, DATA_LIBRARY, set_name)
        return
    list_path = host.object_path(set_name, LIST_FILE)
    lines = [row.text(PENDING) for row in rows]
    write_lines(list_path, lines, host.work_dir)
    for i, row in enumerate(rows):
        if not (host.wait_while_held() and host.sleep(host.object_delay)):
            return
        if _stop_requested(host, set_name):
            log.info("ZORVASAVE %s: stop requested; %d objects left unsaved",
                     set_name, len(rows) - i)
            lines[i:] = [r.text(FAILED) for r in rows[i:]]
            write_lines(list_path, lines, host.work_dir)
            return
        lines[i] = row.text(_save_object(host, set_name, row))
        write_lines(list_path, lines, host.work_dir)


def _stop_requested(host, set_name):
    stop = host.object_path(set_name, STOP_FILE)
    if not os.path.lexists(stop):
        return False
    os.unlink(stop)
    return True


def _save_object(host, set_name, row):
    settings = host.control.settings()
    if row.object.upper() in settings.fail_objects:
        return FAILED
    try:
        library = library_name(row.library)
        save_file = object_name(host_object_name(row.object))
        members = host.select(library, row.object, exclude={set_name})
    except HostError as err:
        log.info("ZORVASAVE %s: %s", set_name, err.messages[0])
        return FAILED
    if not members:
        return FAILED
    work = host.work_file()
    try:
        savefile.write(work, host.root, members,
                       {"library": library, "object": row.object, "type": row.type},
                       pad_to=settings.save_file_size)
        os.replace(work, host.object_path(set_name, save_file))
    except OSError as err:
        log.warning("ZORVASAVE %s: %s not saved: %s", set_name, row.object, err)
        if os.path.exists(work):
            os.unlink(work)
        return FAILED
    return SAVED


# --- ZORVARSALL

def submit_restore(host, overwrite):
    """Accept a restore: mark every line of the restore list pending at once.

    The PC polls the very list it uploaded, and a line of 32 characters
    counts as done; so the lines must change before the PC can fetch them.
    """
    host.existing_library(RESTORE_LIBRARY)
    list_path = host.object_path(RESTORE_LIBRARY, LIST_FILE)
    if not os.path.isfile(list_path):
        log.warning("ZORVARSALL: no list %s/%s; job ends", RESTORE_LIBRARY, LIST_FILE)
        return
    lines = [line[:LINE].ljust(LINE) for line in read_lines(list_path)]
    write_lines(list_path, [line + PENDING for line in lines], host.work_dir)
    _start_job("ZORVARSALL", _run_restore, host, lines, overwrite)


def _run_restore(host, lines, overwrite):
    if not host.sleep(host.job_delay):
        return
    list_path = host.object_path(RESTORE_LIBRARY, LIST_FILE)
    results = [line + PENDING for line in lines]
    for i, line in enumerate(lines):
        if not (host.wait_while_held() and host.sleep(host.object_delay)):
            return
        results[i] = line[:LINE - 1] + _restore_object(host, line[1:11].strip(), overwrite)
        write_lines(list_path, results, host.work_dir)


def _restore_object(host, name, overwrite):
    if stored_object_name(name).upper() in host.control.settings().fail_objects:
        return RESTORE_FAILED
    try:
        path = host.object_path(RESTORE_LIBRARY, object_name(name))
    except HostError:
        return NO_SAVE_FILE
    if not os.path.isfile(path):
        return NO_SAVE_FILE
    try:
        restored = savefile.restore(path, host.root, overwrite)
    except savefile.SaveFileError:
        return RESTORE_FAILED
    except savefile.DamagedSaveFileError as err:
        log.warning("ZORVARSALL: %s: %s", name, err)
        return DAMAGED
    return EXISTS if restored is None else RESTORED


def _start_job(name, target, *args):
    def run():
        try:
            target(*args)
        except Exception:  # a failing job must not take the server down
            log.exception("job %s ended abnormally", name)
    threading.Thread(target=run, name=name, daemon=True).start()

