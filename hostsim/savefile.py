"""Save files: what the host's save commands write and its restores read.

A save file is a header line, one JSON line describing the save, then an
uncompressed tar of the saved objects with paths relative to the root
("LIB" for a whole library, "LIB/OBJ" for an object). Zero bytes may follow
the tar to give the file a chosen size; tar readers stop at the first zero
block, so the padding never disturbs a restore.
"""

import json
import os
import shutil
import tarfile
import time

from .names import is_library_name, is_object_name

MAGIC = b"HOSTSIM SAVF 1\n"
_HEADER_LIMIT = 1 << 20


class SaveFileError(Exception):
    """Not a save file of this host (restore code '9')."""


class DamagedSaveFileError(Exception):
    """A save file of this host whose content cannot be read (code 'A')."""


def write(dest, root, members, description, pad_to=0):
    """Save `members` (paths relative to `root`) into the save file `dest`.

    Padding extends the file with a hole, so even a save file of several
    gigabytes costs neither time nor memory to make.
    """
    header = dict(description, members=sorted(members), saved=time.strftime("%Y-%m-%dT%H:%M:%S"))
    with open(dest, "wb") as f:
        f.write(MAGIC)
        f.write(json.dumps(header).encode("ascii") + b"\n")
        with tarfile.open(fileobj=f, mode="w", format=tarfile.PAX_FORMAT) as tar:
            for member in sorted(members):
                tar.add(os.path.join(root, member), arcname=member)
        if f.tell() < pad_to:
            f.truncate(pad_to)


def read_header(path):
    """The description of a save file; SaveFileError when it is not one."""
    with open(path, "rb") as f:
        return _read_header(f)


def _read_header(f):
    if f.read(len(MAGIC)) != MAGIC:
        raise SaveFileError("not a save file")
    try:
        header = json.loads(f.readline(_HEADER_LIMIT))
        members = header["members"]
    except (ValueError, KeyError, TypeError):
        raise SaveFileError("save file header damaged") from None
    if not isinstance(members, list):
        raise SaveFileError("save file header damaged")
    return header


def saved_libraries(path):
    """Names of the libraries saved whole in a save file."""
    return [m for m in read_header(path)["members"] if "/" not in m]


def restore(path, root, overwrite, library=None):
    """Restore the objects of a save file below `root`.

    Returns the object paths ("LIB/OBJ") restored, or None when an object
    exists already and `overwrite` is false (then nothing is touched).
    With `library`, only that library's objects are restored.
    """
    with open(path, "rb") as f:
        header = _read_header(f)
        try:
            with tarfile.open(fileobj=f, mode="r:") as tar:
                everything = tar.getmembers()
                if not set(header["members"]) <= {m.name for m in everything}:
                    raise DamagedSaveFileError("saved objects missing from the save file")
                members = [m for m in everything if _in_library(m.name, library)]
                for member in members:
                    _check_member(member)
                objects = sorted({_object_path(m.name) for m in members} - {None})
                if not overwrite and any(os.path.lexists(os.path.join(root, o)) for o in objects):
                    return None
                for obj in objects:
                    _remove(os.path.join(root, obj))
                tar.extractall(root, members=members)
        except (tarfile.TarError, EOFError, OSError) as err:
            raise DamagedSaveFileError(str(err)) from None
    return objects


def _in_library(name, library):
    return library is None or name.split("/")[0] == library


def _object_path(name):
    parts = name.split("/")
    return "/".join(parts[:2]) if len(parts) >= 2 else None


def _check_member(member):
    """Refuse anything that could land outside the root or is not plain data."""
    parts = member.name.split("/")
    plain = member.isfile() or member.isdir()
    if (not plain or member.name.startswith("/") or ".." in parts or "" in parts
            or not is_library_name(parts[0])
            or (len(parts) > 1 and not is_object_name(parts[1]))):
        raise DamagedSaveFileError(f"member {member.name!r} refused")


def _remove(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.unlink(path)
