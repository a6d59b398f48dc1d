"""Host object names as the PC writes them, and the refusals they can earn.

Names are checked before any path is built from them, so nothing the PC
sends can reach a file outside the simulator's root folder.
"""

import re

MAX_NAME = 10

# Library names follow the host's rules; object names are looser because the
# PC stores save files under names such as "#ALLUSR" or "SAL#ES*1".
_LIBRARY = re.compile(r"[A-Z$#@][A-Z0-9$#@_.]*")
_OBJECT = re.compile(r"[A-Z0-9$#@_*][A-Z0-9$#@_.*]*")


class HostError(Exception):
    """A request the host refuses; each message is one CPF-style reply line."""

    def __init__(self, *messages):
        super().__init__(messages[0])
        self.messages = list(messages)


def _checked(text, pattern, what):
    name = text.strip().upper()
    if not name or len(name) > MAX_NAME or ".." in name or not pattern.fullmatch(name):
        raise HostError(f"CPD0074: {what} name '{text.strip()}' not valid.")
    return name


def library_name(text):
    """The library name in `text`, upper-cased; HostError when invalid."""
    return _checked(text, _LIBRARY, "Library")


def object_name(text):
    """The object (file) name in `text`, upper-cased; HostError when invalid."""
    return _checked(text, _OBJECT, "Object")


def is_library_name(text):
    return len(text) <= MAX_NAME and ".." not in text and bool(_LIBRARY.fullmatch(text))


def is_object_name(text):
    return len(text) <= MAX_NAME and ".." not in text and bool(_OBJECT.fullmatch(text))


def split_qualified(text, current_library):
    """(library, object) of "LIB/OBJ", or of a bare "OBJ" in `current_library`.

    A single leading or trailing "/" is tolerated, as FTP clients add them.
    """
    parts = text.strip().strip("/").split("/")
    if len(parts) == 1:
        return current_library, object_name(parts[0])
    if len(parts) == 2:
        return library_name(parts[0]), object_name(parts[1])
    raise HostError(f"CPD0074: Name '{text.strip()}' not valid.")


def host_object_name(name):
    """The name a saved object's save file gets: the first '*' becomes '#'."""
    return name.replace("*", "#", 1)


def stored_object_name(name):
    """The inverse of host_object_name for the first '#'."""
    return name.replace("#", "*", 1)
