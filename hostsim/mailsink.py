"""A mail server that keeps every message it is given, byte for byte.

Each message becomes two files in the sink's folder: NNNNNN.eml holds the
data as received (the bytes between DATA and the final ".", after the usual
removal of a leading "." that a sender doubled), NNNNNN.json its envelope.
The envelope file is written last, so its presence means the message is
complete.
"""

import asyncio
import json
import os
import re

from aiosmtpd.smtp import SMTP

from .records import write_atomically

_NUMBERED = re.compile(r"(\d{6})\.json\Z")


class RecordingSMTP(SMTP):
    """An SMTP session that also remembers the command lines as sent."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.command_lines = []

    async def smtp_HELO(self, arg):
        self.command_lines.append(_line("HELO", arg))
        await super().smtp_HELO(arg)

    async def smtp_EHLO(self, arg):
        self.command_lines.append(_line("EHLO", arg))
        await super().smtp_EHLO(arg)

    async def smtp_MAIL(self, arg):
        self.command_lines.append(_line("MAIL", arg))
        await super().smtp_MAIL(arg)

    async def smtp_RCPT(self, arg):
        self.command_lines.append(_line("RCPT", arg))
        await super().smtp_RCPT(arg)


def _line(verb, arg):
    return verb if arg is None else f"{verb} {arg}"


class Store:
    """aiosmtpd handler writing each message into `folder`."""

    def __init__(self, folder):
        self.folder = folder
        self.work_dir = os.path.join(folder, ".work")
        os.makedirs(self.work_dir, exist_ok=True)
        numbers = [int(m.group(1)) for m in map(_NUMBERED.match, os.listdir(folder)) if m]
        self._next = max(numbers, default=0) + 1

    async def handle_DATA(self, server, session, envelope):
        number = f"{self._next:06d}"
        self._next += 1
        write_atomically(os.path.join(self.folder, number + ".eml"),
                         envelope.original_content, self.work_dir)
        record = {
            "peer": list(session.peer[:2]),
            "helo": session.host_name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "commands": server.command_lines + ["DATA"],
        }
        server.command_lines = []
        write_atomically(os.path.join(self.folder, number + ".json"),
                         json.dumps(record, ensure_ascii=False, indent=1).encode("utf-8"),
                         self.work_dir)
        return "250 OK"


async def serve(folder, port, ready):
    """Serve on 127.0.0.1:`port` until cancelled; `ready(port)` once listening."""
    store = Store(folder)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: RecordingSMTP(store, decode_data=False, hostname="hostsim"),
        host="127.0.0.1", port=port)
    ready(server.sockets[0].getsockname()[1])
    async with server:
        await server.serve_forever()
