"""The host commands the PC sends through RCMD.

Each command answers with the message lines of its success or raises
HostError with the lines of its failure. Unqualified names refer to the
session's current library (the one set with CWD).
"""

import os

from . import cl, programs, savefile
from .cl import Syntax
from .host import DEFAULT_JOB_QUEUE, GENERAL_LIBRARY, SYSTEM_LIBRARY, remove_tree_or_file
from .names import HostError, library_name, split_qualified

SYNTAXES = {
    "CALL": Syntax(positional=("PGM", "PARM"), required=("PGM",)),
    "CLRLIB": Syntax(positional=("LIB",), required=("LIB",)),
    "CRTLIB": Syntax(positional=("LIB", "TYPE", "TEXT"), required=("LIB",)),
    "CRTPF": Syntax(positional=("FILE",), required=("FILE", "RCDLEN"), optional=("SIZE", "TEXT")),
    "CRTSAVF": Syntax(positional=("FILE", "TEXT"), required=("FILE",)),
    "DLTF": Syntax(positional=("FILE",), required=("FILE",)),
    "DLTLIB": Syntax(positional=("LIB",), required=("LIB",)),
    "RSTLIB": Syntax(positional=("SAVLIB", "DEV"), required=("SAVLIB", "DEV", "SAVF")),
    "SBMJOB": Syntax(positional=("CMD", "JOB", "JOBD"), required=("CMD",), optional=("JOBQ",)),
}

# Programs that the PC submits as jobs, and what starts each one.
_BATCH_PROGRAMS = {
    "ZORVASAVE": lambda host, parms: programs.submit_save(host, _set_name(parms)),
    "ZORVARSALL": lambda host, parms: programs.submit_restore(host, parms[:1] == ["1"]),
}

_UNDELETABLE = {SYSTEM_LIBRARY, GENERAL_LIBRARY}


def run(host, text, current_library):
    """Run one command; its success messages, or HostError."""
    name, params = cl.parse(text, SYNTAXES)
    return _HANDLERS[name](host, params, current_library)


def _qualified(value, current_library):
    """(library, object) of a qualified name; *LIBL and *CURLIB mean the current library."""
    value = value.strip()
    for special in ("*LIBL/", "*CURLIB/"):
        if value.upper().startswith(special):
            value = value[len(special):]
    return split_qualified(value, current_library)


def _create_file(host, params, current_library):
    library, name = _qualified(params["FILE"], current_library)
    host.existing_library(library)
    path = host.object_path(library, name)
    if os.path.lexists(path):
        raise HostError(f"CPF7302: File {name} not created in library {library}.",
                        f"CPF5813: File {name} in library {library} already exists.")
    open(path, "wb").close()
    return [f"CPC7301: File {name} created in library {library}."]


def _crtsavf(host, params, current_library):
    return _create_file(host, params, current_library)


def _crtpf(host, params, current_library):
    length = params["RCDLEN"].strip()
    if not length.isdigit() or not 1 <= int(length) <= 32766:
        raise HostError(f"CPD0084: Value '{length}' for parameter RCDLEN not valid.")
    return _create_file(host, params, current_library)


def _dltf(host, params, current_library):
    library, name = _qualified(params["FILE"], current_library)
    remove_tree_or_file(host.existing_object(library, name))
    return [f"CPC2191: Object {name} in {library} type *FILE deleted."]


def _crtlib(host, params, current_library):
    library = library_name(params["LIB"])
    if library == SYSTEM_LIBRARY or host.library_exists(library):
        raise HostError(f"CPF2111: Library {library} already exists.")
    os.mkdir(host.library_path(library))
    return [f"CPC2102: Library {library} created."]


def _dltlib(host, params, current_library):
    library = library_name(params["LIB"])
    if library in _UNDELETABLE:
        raise HostError(f"CPF2161: Library {library} cannot be deleted.")
    remove_tree_or_file(host.existing_library(library))
    return [f"CPC2194: Library {library} deleted."]


def _clrlib(host, params, current_library):
    library = library_name(params["LIB"])
    path = host.existing_library(library)
    for entry in os.listdir(path):
        remove_tree_or_file(os.path.join(path, entry))
    return [f"CPC2103: Library {library} cleared."]


def _rstlib(host, params, current_library):
    library = library_name(params["SAVLIB"])
    if params["DEV"].strip().upper() != "*SAVF":
        raise HostError(f"CPF3782: Device {params['DEV'].strip()} not valid; *SAVF expected.")
    savf_library, savf = _qualified(params["SAVF"], current_library)
    path = host.existing_object(savf_library, savf)
    try:
        if library not in savefile.saved_libraries(path):
            raise HostError(f"CPF3780: Library {library} not found on save file {savf}.")
        restored = savefile.restore(path, host.root, overwrite=True, library=library)
    except (savefile.SaveFileError, savefile.DamagedSaveFileError):
        raise HostError(f"CPF3782: File {savf} in {savf_library} not a valid save file.") from None
    return [f"CPC3703: {len(restored)} objects restored to {library}."]


def _program(host, params, current_library):
    """(name, parameters) of a CALL whose program exists."""
    library, program = _qualified(params["PGM"], current_library)
    if not host.program_exists(library, program):
        raise HostError("CPF0001: Error found on CALL command.",
                        f"CPD0170: Program {program} in library {library} not found.")
    return program, cl.values(params.get("PARM", ""))


def _call(host, params, current_library):
    program, _ = _program(host, params, current_library)
    if program != "IFEXIST":
        raise HostError(f"CPF9898: Program {program} runs only as a submitted job.")
    return programs.check_objects(host)


def _sbmjob(host, params, current_library):
    _, call_params = cl.parse(params["CMD"], {"CALL": SYNTAXES["CALL"]})
    program, parms = _program(host, call_params, current_library)
    queue = _job_queue(host, params.get("JOBQ", ""))
    job = library_name(params["JOB"]) if params.get("JOB", "").strip() else program
    start = _BATCH_PROGRAMS.get(program)
    if start is None:
        raise HostError(f"CPF9898: Program {program} cannot be submitted.")
    start(host, parms)
    queue_library, queue_name = queue.split("/")
    number = host.next_job_number()
    return [f"CPC1221: Job {number:06d}/HOSTSIM/{job} submitted to job queue "
            f"{queue_name} in library {queue_library}."]


def _job_queue(host, value):
    """The qualified name of an existing job queue; empty means the default."""
    value = value.strip().upper()
    if not value:
        return DEFAULT_JOB_QUEUE
    library, name = _qualified(value, GENERAL_LIBRARY)
    queue = f"{library}/{name}"
    if queue != DEFAULT_JOB_QUEUE and queue not in host.control.settings().job_queues:
        raise HostError("CPF1338: Errors occurred on SBMJOB command.",
                        f"CPF133D: Job queue {name} in library {library} not found.")
    return queue


def _set_name(parms):
    """The set name a save job is given; it names a library, so it is checked."""
    if len(parms) != 1:
        raise HostError("CPD0172: Parameters passed on CALL do not match those required.")
    return library_name(parms[0])


_HANDLERS = {
    "CALL": _call, "CLRLIB": _clrlib, "CRTLIB": _crtlib, "CRTPF": _crtpf,
    "CRTSAVF": _crtsavf, "DLTF": _dltf, "DLTLIB": _dltlib, "RSTLIB": _rstlib,
    "SBMJOB": _sbmjob,
}
