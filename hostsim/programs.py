"""The three host programs of library ZORVAV3.

IFEXIST runs while the PC waits for its CALL. ZORVASAVE and ZORVARSALL run
as submitted jobs on a thread of their own: they wait --queue-wait seconds in
their job queue, touching no file, then spend --object-delay per object;
while the control file says "hold_jobs" they stop before their next object,
leaving its line pending.
"""

import logging
import os
import threading
import time

from . import savefile
from .names import HostError, host_object_name, library_name, object_name, stored_object_name
from .records import FAILED, LINE, PENDING, SAVED, read_lines, read_objects, write_lines

DATA_LIBRARY = "ZORVADATA"
RESTORE_LIBRARY = "ZORVARST"
LIST_FILE = "SAVLIBS"
STOP_FILE = "STOP"
CHECK_FILE = "CHKOBJF"
VERIFIED_FILE = "VERIFIED"

# The status byte of an object that exists, and of a save line not yet done: the program
# leaves it blank, so the FTP server's text download drops it with the record's other
# trailing blanks.
UNMARKED = " "

# Result codes of a restore, as the restore list reports them.
RESTORED = "0"
EXISTS = "7"
NO_SAVE_FILE = "8"
RESTORE_FAILED = "9"
DAMAGED = "A"

log = logging.getLogger("hostsim")


def check_objects(host):
    """IFEXIST: mark each CHKOBJF line of a missing object '9'; existing ones stay blank."""
    verified = host.object_path(DATA_LIBRARY, VERIFIED_FILE)
    if os.path.lexists(verified):
        os.unlink(verified)  # a marker from an earlier check must not count
    check_file = host.existing_object(DATA_LIBRARY, CHECK_FILE)
    rows = read_objects(check_file)
    answered = [row.text(UNMARKED if _exists(host, row) else FAILED) for row in rows]
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
    """Accept a save job; it waits in its job queue before it starts."""
    _start_job(f"ZORVASAVE {set_name}", _run_save, host, set_name, time.time())


def _start_save(host, set_name, submitted):
    """The job's first step: its library, without the list of an earlier run.

    A stop request older than the submit is an earlier run's and goes too;
    one the PC sent while the job waited in its queue stays and is honoured.
    """
    os.makedirs(host.library_path(set_name), exist_ok=True)
    list_path = host.object_path(set_name, LIST_FILE)
    if os.path.lexists(list_path):
        os.unlink(list_path)
    stop = host.object_path(set_name, STOP_FILE)
    if os.path.lexists(stop) and os.lstat(stop).st_mtime < submitted:
        os.unlink(stop)
    return list_path


def _run_save(host, set_name, submitted):
    if not host.sleep(host.queue_wait):
        return
    list_path = _start_save(host, set_name, submitted)
    try:
        rows = read_objects(host.object_path(DATA_LIBRARY, set_name))
    except FileNotFoundError:
        log.warning("ZORVASAVE %s: no request %s/%s; job ends", set_name, DATA_LIBRARY, set_name)
        return
    lines = [row.text(UNMARKED) for row in rows]
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
    """Accept a restore job; it waits in its job queue before it starts.

    Until then the restore list stays exactly as the PC uploaded it.
    """
    host.existing_library(RESTORE_LIBRARY)
    _start_job("ZORVARSALL", _run_restore, host, overwrite)


def _run_restore(host, overwrite):
    if not host.sleep(host.queue_wait):
        return
    list_path = host.object_path(RESTORE_LIBRARY, LIST_FILE)
    if not os.path.isfile(list_path):
        log.warning("ZORVARSALL: no list %s/%s; job ends", RESTORE_LIBRARY, LIST_FILE)
        return
    # A line longer than 32 characters is not done yet: the PC tells results by their length.
    lines = [line[:LINE].ljust(LINE) for line in read_lines(list_path)]
    results = [line + PENDING for line in lines]
    write_lines(list_path, results, host.work_dir)
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

