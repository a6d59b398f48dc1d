"""The host's storage: libraries are folders of the root, objects their entries.

The root folder itself plays the system library QSYS, which holds the
libraries; a file or folder L/O below the root is object O of library L.
Entries whose names are not host names (such as the control file and the
simulator's work folder) are invisible to the host.
"""

import itertools
import logging
import os
import shutil
import tempfile
import threading

from . import savefile
from .control import Control
from .names import HostError, is_library_name, is_object_name

SYSTEM_LIBRARY = "QSYS"
GENERAL_LIBRARY = "QGPL"
PROGRAM_LIBRARY = "ZORVAV3"
EXCHANGE_LIBRARIES = ("ZORVADATA", "ZORVARST", "ZORVALOGLB")
PROGRAMS = ("ZORVASAVE", "ZORVARSALL", "IFEXIST")
DEFAULT_JOB_QUEUE = "QGPL/QBATCH"
WORK_FOLDER = ".work"

# Special library values a save request may name as an object of QSYS.
_LIBRARY_SETS = {
    "*ALL": lambda name: True,
    "*NONSYS": lambda name: True,
    "*ALLUSR": lambda name: not name.startswith("Q"),
    "*IBM": lambda name: name.startswith("Q"),
}

log = logging.getLogger("hostsim")


class Host:
    """One simulated host: its root folder, control file and running jobs."""

    def __init__(self, root, queue_wait=0.0, object_delay=0.0, trim_text=True):
        self.root = os.path.realpath(root)
        self.work_dir = os.path.join(self.root, WORK_FOLDER)
        self.control = Control(self.root)
        self.queue_wait = queue_wait
        self.object_delay = object_delay
        self.trim_text = trim_text
        self.stopping = threading.Event()
        self._job_numbers = itertools.count(1)

    def prepare(self, installed=False):
        """Create the folders every host has; with `installed`, the module too."""
        for path in (self.root, self.work_dir, os.path.join(self.root, GENERAL_LIBRARY)):
            os.makedirs(path, exist_ok=True)
        if installed:
            write_programs(os.path.join(self.root, PROGRAM_LIBRARY))
            for library in EXCHANGE_LIBRARIES:
                os.makedirs(self.library_path(library), exist_ok=True)

    # --- libraries and objects

    def library_path(self, library):
        if library == SYSTEM_LIBRARY:
            raise HostError(f"CPF2176: Library {library} cannot hold files.")
        return self._inside(os.path.join(self.root, library))

    def library_exists(self, library):
        return library != SYSTEM_LIBRARY and os.path.isdir(self.library_path(library))

    def existing_library(self, library):
        path = self.library_path(library)
        if not os.path.isdir(path):
            raise HostError(f"CPF2110: Library {library} not found.")
        return path

    def object_path(self, library, name):
        return self._inside(os.path.join(self.library_path(library), name))

    def existing_object(self, library, name):
        self.existing_library(library)
        path = self.object_path(library, name)
        if not os.path.lexists(path):
            raise HostError(f"CPF2105: Object {name} in {library} type *FILE not found.")
        return path

    def libraries(self):
        return sorted(n for n in os.listdir(self.root)
                      if is_library_name(n) and os.path.isdir(os.path.join(self.root, n)))

    def objects(self, library):
        return sorted(n for n in os.listdir(self.existing_library(library)) if is_object_name(n))

    def select(self, library, pattern, exclude=()):
        """Paths (relative to the root) of the objects a request row names.

        Library QSYS means the row names libraries: an exact name, a generic
        name ending in '*', or one of *ALL, *ALLUSR, *NONSYS, *IBM. In any
        other library the row names objects: an exact or generic name, or *ALL.
        """
        pattern = pattern.upper()
        if library == SYSTEM_LIBRARY:
            candidates = [n for n in self.libraries() if n not in exclude]
            return _match(pattern, candidates, _LIBRARY_SETS)
        if not self.library_exists(library):
            return []
        return [f"{library}/{n}" for n in _match(pattern, self.objects(library), {})]

    def program_exists(self, library, program):
        return (library == PROGRAM_LIBRARY and program in PROGRAMS
                and self.library_exists(library)
                and os.path.isfile(self.object_path(library, program)))

    # --- helpers for the host programs

    def work_file(self):
        """A fresh temporary file inside the root, for atomic replacement."""
        fd, path = tempfile.mkstemp(dir=self.work_dir)
        os.close(fd)
        return path

    def next_job_number(self):
        return next(self._job_numbers)  # jobs are submitted on the FTP thread only

    def sleep(self, seconds):
        """Wait `seconds`; False when the server stops meanwhile."""
        return not self.stopping.wait(seconds)

    def wait_while_held(self):
        """Wait as long as the control file holds jobs; False when stopping."""
        while self.control.settings().hold_jobs:
            if self.stopping.wait(0.05):
                return False
        return True

    def _inside(self, path):
        # Names are checked before they get here; this guards against links.
        real = os.path.realpath(path)
        if real != self.root and not real.startswith(self.root + os.sep):
            raise HostError(f"CPF9810: {path} is outside the host.")
        return path


def _match(pattern, names, specials):
    if pattern in specials:
        return [n for n in names if specials[pattern](n)]
    if pattern == "*ALL":
        return list(names)
    if pattern.endswith("*") and len(pattern) > 1:
        return [n for n in names if n.startswith(pattern[:-1])]
    return [pattern] if pattern in names else []


def write_programs(library_dir):
    """The host programs as the objects of their library."""
    os.makedirs(library_dir, exist_ok=True)
    for program in PROGRAMS:
        with open(os.path.join(library_dir, program), "w") as f:
            f.write(f"hostsim program {program}\n")


def make_module(out):
    """Write the save file of library ZORVAV3 that the installation uploads."""
    with tempfile.TemporaryDirectory() as stage:
        write_programs(os.path.join(stage, PROGRAM_LIBRARY))
        savefile.write(out, stage, [PROGRAM_LIBRARY],
                       {"library": SYSTEM_LIBRARY, "object": PROGRAM_LIBRARY, "type": "*LIB"})


def remove_tree_or_file(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    else:
        os.unlink(path)
