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
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

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
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "login": session.auth_data if session.authenticated else None,
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


class Authenticator:
    """Accepts AUTH PLAIN and LOGIN with one user and password."""

    def __init__(self, user, password):
        self.user, self.password = user.encode(), password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
              and auth_data.password == self.password)
        return AuthResult(success=ok, auth_data=self.user.decode() if ok else None)


def _smtp_options(tls, certfile, keyfile, credentials):
    """aiosmtpd options and the listening socket's TLS context for a security set-up."""
    context = None
    if tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(certfile, keyfile)
    options = {}
    if tls == "starttls":
        options.update(tls_context=context, require_starttls=True)
    if credentials:
        options.update(authenticator=Authenticator(*credentials), auth_required=True,
                       auth_require_tls=bool(tls))
    return options, context if tls == "smtps" else None


async def serve(folder, port, ready, tls=None, certfile=None, keyfile=None, credentials=None):
    """Serve on 127.0.0.1:`port` until cancelled; `ready(port)` once listening. `tls`
    "starttls" requires STARTTLS, "smtps" TLS from the first byte; `credentials` (user,
    password) requires AUTH."""
    store = Store(folder)
    loop = asyncio.get_running_loop()
    options, listening_tls = _smtp_options(tls, certfile, keyfile, credentials)
    server = await loop.create_server(
        lambda: RecordingSMTP(store, decode_data=False, hostname="hostsim", **options),
        host="127.0.0.1", port=port, ssl=listening_tls)
    ready(server.sockets[0].getsockname()[1])
    async with server:
        await server.serve_forever()
