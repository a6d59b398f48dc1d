"""The 32-character object lines that the PC and the host programs exchange.

Layout (byte positions): 0 kind, 1-10 object, 11-20 library, 21-30 type,
31 option or status. Files hold one line per object, each ended by CR LF.
Text is handled as Latin-1 so that every byte keeps its position whatever
the PC wrote (the exchange files are Shift-JIS on the PC side).
"""

import os
import tempfile
from dataclasses import dataclass

LINE = 32
SAVED = "0"
FAILED = "9"
PENDING = "P"  # after a restore line's 32 characters: not done yet


@dataclass(frozen=True)
class ObjectLine:
    kind: str
    object: str
    library: str
    type: str
    last: str  # option code when sent, status character when answered

    @classmethod
    def parse(cls, line):
        padded = line[:LINE].ljust(LINE)
        return cls(padded[0], padded[1:11].strip(), padded[11:21].strip(),
                   padded[21:31].strip(), padded[31])

    def text(self, last=None):
        """The 32-character line, with `last` in place of byte 31 when given."""
        return (self.kind[:1].ljust(1) + self.object.ljust(10)[:10]
                + self.library.ljust(10)[:10] + self.type.ljust(10)[:10]
                + (self.last if last is None else last))


def read_lines(path):
    """The non-empty lines of a text file, split at CR and LF."""
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    return [line for line in text.replace("\r", "\n").split("\n") if line]


def read_objects(path):
    return [ObjectLine.parse(line) for line in read_lines(path)]


def write_lines(path, lines, work_dir):
    """Replace `path` at once, so a reader never sees a half-written list."""
    data = "".join(line + "\r\n" for line in lines).encode("latin-1")
    write_atomically(path, data, work_dir)


def write_atomically(path, data, work_dir):
    fd, tmp = tempfile.mkstemp(dir=work_dir)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.replace(tmp, path)
    except BaseException:
        if os.path.exists(tmp):
            os.unlink(tmp)
        raise
