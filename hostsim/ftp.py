"""FTP as the host speaks it, on pyftpdlib.

Names are host names ("LIB/FILE", or "FILE" in the current library set with
CWD), RCMD runs a host command, and files travel byte for byte in both
transfer types (the exchange files already hold CR LF line ends), except that
a text (TYPE A) download leaves out the trailing blanks of each record, as the
host's FTP server does by default. Faults from the control file are applied to
every command line before it runs.
"""

import json
import logging
import os
import re
import time
from timeit import default_timer as timer

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FileProducer, FTPHandler, proto_cmds
from pyftpdlib.ioloop import RetryError
from pyftpdlib.servers import FTPServer

from . import commands
from .control import NO_LIMITS
from .host import GENERAL_LIBRARY, SYSTEM_LIBRARY
from .names import HostError, library_name, split_qualified

log = logging.getLogger("hostsim")

_KEPT_COMMANDS = {
    "ABOR", "ALLO", "CWD", "DELE", "EPRT", "EPSV", "FEAT", "HELP", "LIST", "MDTM",
    "MODE", "NLST", "NOOP", "OPTS", "PASS", "PASV", "PORT", "PWD", "QUIT", "RETR",
    "SITE", "SITE HELP", "SIZE", "STAT", "STOR", "STRU", "SYST", "TYPE", "USER",
}
# Commands whose argument is a host name: they get it as sent, not as a path.
_NAMED_COMMANDS = ("CWD", "DELE", "LIST", "MDTM", "NLST", "RETR", "SIZE", "STAT", "STOR")


def _host_commands():
    cmds = {name: dict(entry) for name, entry in proto_cmds.items() if name in _KEPT_COMMANDS}
    for name in _NAMED_COMMANDS:
        cmds[name]["perm"] = None
    cmds["RCMD"] = dict(perm=None, auth=True, arg=True,
                        help="Syntax: RCMD <SP> command (run a host command).")
    cmds["SITE NAMEFMT"] = dict(perm=None, auth=True, arg=True,
                                help="Syntax: SITE NAMEFMT <SP> 0 (library/file names).")
    return cmds


def reply(code, messages):
    """A reply of one or more lines; all but the last carry a hyphen."""
    lines = [f"{code}-{m}" for m in messages[:-1]] + [f"{code} {messages[-1]}"]
    return "\r\n".join(lines)


_LINE_END = re.compile(rb"([\r\n])")


class TrimmingProducer(FileProducer):
    """A text download as the host sends it: every record without its trailing blanks."""

    def __init__(self, file):
        super().__init__(file, "i")  # line ends stay as stored
        self._held = b""  # blanks that ended the last piece: the next piece tells if they trail

    def more(self):
        while True:
            piece = super().more()
            if not piece:
                return b""  # blanks before the end of the file trail the last record
            parts = _LINE_END.split(self._held + piece)  # text, line end, text, ..., text
            kept = [part if i % 2 else part.rstrip(b" ") for i, part in enumerate(parts)]
            self._held = parts[-1][len(kept[-1]):]
            data = b"".join(kept)
            if data:
                return data


class HostDTPHandler(DTPHandler):
    """A data connection that can be cut after K bytes and slowed to a rate."""

    _limits = NO_LIMITS
    _resume_call = None
    # Large pieces per sendfile() call and per read: fewer turns of the event
    # loop, so a download benchmark measures the client rather than us.
    ac_out_buffer_size = 1 << 20
    ac_in_buffer_size = 1 << 20

    def push_with_producer(self, producer):
        self._start(self.cmd_channel.transfer_limits)
        super().push_with_producer(producer)

    def enable_receiving(self, type, cmd):
        self._start(self.cmd_channel.transfer_limits)
        super().enable_receiving("i", cmd)  # stored exactly as sent, also in TYPE A

    def use_sendfile(self):
        if self._limits != NO_LIMITS:
            return False  # sendfile would bypass the cut and the rate
        return super().use_sendfile()

    def send(self, data):
        cut_after = self._limits.cut_after
        if cut_after is not None:
            room = cut_after - self.tot_bytes_sent
            if room <= 0:
                self._cut()
                return 0
            data = data[:room]
        if self._limits.rate:
            data = data[:self._chunk()]
        sent = super().send(data)
        self._throttle(self.tot_bytes_sent)
        return sent

    def recv(self, buffer_size):
        if self._limits.rate:
            buffer_size = min(buffer_size, self._chunk())
        chunk = super().recv(buffer_size)
        cut_after = self._limits.cut_after
        if cut_after is not None and chunk:
            room = cut_after - self.tot_bytes_received
            if len(chunk) > room:
                if room > 0:
                    self.file_obj.write(chunk[:room])
                self._cut()
                raise RetryError  # the channel is closed: nothing more to read
        self._throttle(self.tot_bytes_received + len(chunk))
        return chunk

    def close(self):
        if self._resume_call is not None and not self._resume_call.cancelled:
            self._resume_call.cancel()
        super().close()

    def _start(self, limits):
        self._limits = limits
        self._started = timer()

    def _chunk(self):
        # Small pieces keep a limited transfer even rather than bursty.
        return max(1024, self._limits.rate // 20)

    def _throttle(self, transferred):
        rate = self._limits.rate
        if not rate or self._closed:
            return
        ahead = transferred / rate - (timer() - self._started)
        if ahead > 0.001:
            self.del_channel()
            self._resume_call = self.ioloop.call_later(ahead, self._resume,
                                                       _errback=self.handle_error)

    def _resume(self):
        self._resume_call = None
        self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

    def _cut(self):
        if self.file_obj is not None:
            # An upload's first K bytes reach the disk before the client sees the cut.
            self.file_obj.close()
        self._resp = ("426 Connection closed; transfer aborted.", log.info)
        self.close()


class HostFTPHandler(FTPHandler):
    host = None  # the Host this server serves; set by make_server
    proto_cmds = _host_commands()
    dtp_handler = HostDTPHandler
    auth_failed_timeout = 0
    banner = "hostsim FTP server ready."

    def __init__(self, conn, server, ioloop=None):
        super().__init__(conn, server, ioloop)
        self.library = GENERAL_LIBRARY
        self.transfer_limits = NO_LIMITS
        self._line = ""

    # --- command handling

    def found_terminator(self):
        # The PC sends " RCMD ..." with a leading blank, which the host ignores.
        self._in_buffer = [b"".join(self._in_buffer).lstrip(b" ")]
        super().found_terminator()

    def pre_process_command(self, line, cmd, arg):
        self._line = line
        self.transfer_limits = NO_LIMITS
        if line and self.host.control.take_refusal(line):
            code = 530 if cmd in ("USER", "PASS") else 550
            self.respond(reply(code, [f"CPF9898: {cmd} refused by the fault setting.",
                                      "Request not done."]))
            return
        super().pre_process_command(line, cmd, arg)

    def process_command(self, cmd, *args, **kwargs):
        try:
            super().process_command(cmd, *args, **kwargs)
        except HostError as err:
            self.respond(reply(550, err.messages))
        except OSError as err:
            self.respond(reply(550, [f"CPF9898: {err.strerror or err}."]))

    # --- log-on

    def ftp_USER(self, line):
        super().ftp_USER(line.strip().upper())  # user profiles are upper case

    def ftp_SITE_NAMEFMT(self, arg):
        if arg.strip() != "0":
            raise HostError("CPF9898: Only naming format 0 (library/file) is supported.")
        self.respond("250 Now using naming format \"0\".")

    # --- host commands

    def ftp_RCMD(self, text):
        command = text.strip()
        try:
            messages = commands.run(self.host, command, self.library)
        except HostError as err:
            self.respond(reply(550, [f"Error occurred on command {command}."] + err.messages))
        else:
            self.respond(reply(250, messages + [f"Command {command} successful."]))

    # --- libraries

    def ftp_CWD(self, name):
        library = library_name(name.strip().strip("/"))
        if library != SYSTEM_LIBRARY:
            self.host.existing_library(library)
        self.library = library
        self.respond(f'250 "{library}" is current library.')

    def ftp_PWD(self, line):
        self.respond(f'257 "{self.library}" is current library.')

    def ftp_LIST(self, name):
        library, entries = self._listing(name)
        lines = [_list_line(library, entry, self._entry_path(library, entry)) for entry in entries]
        self.push_dtp_data("".join(lines).encode("ascii"), cmd="LIST")

    def ftp_NLST(self, name):
        _, entries = self._listing(name)
        self.push_dtp_data("".join(e + "\r\n" for e in entries).encode("ascii"), cmd="NLST")

    def _listing(self, name):
        """(library, entry names) for LIST and NLST: a library or one object."""
        name = name.strip()
        if name.lower() in ("-a", "-l", "-al", "-la"):
            name = ""
        name = name.strip("/")
        if "/" in name:
            library, obj = split_qualified(name, self.library)
            self.host.existing_object(library, obj)
            return library, [obj]
        library = library_name(name) if name else self.library
        if library == SYSTEM_LIBRARY:
            return library, self.host.libraries()
        return library, self.host.objects(library)

    def _entry_path(self, library, entry):
        if library == SYSTEM_LIBRARY:
            return self.host.library_path(entry)
        return self.host.object_path(library, entry)

    # --- files

    def ftp_RETR(self, name):
        path = self._existing_file(name)
        self.transfer_limits = self.host.control.transfer_limits(self._line)
        fd = open(path, "rb")
        trim = self.host.trim_text and self._current_type == "a"
        producer = TrimmingProducer(fd) if trim else FileProducer(fd, "i")
        self.push_dtp_data(producer, isproducer=True, file=fd, cmd="RETR")

    def ftp_STOR(self, name, mode="w"):
        library, obj = split_qualified(name, self.library)
        self.host.existing_library(library)
        path = self.host.object_path(library, obj)
        if os.path.isdir(path):
            raise HostError(f"CPF5813: Object {obj} in library {library} is not a file.")
        self.transfer_limits = self.host.control.transfer_limits(self._line)
        return super().ftp_STOR(path, mode)

    def ftp_DELE(self, name):
        os.unlink(self._existing_file(name))
        self.respond("250 File deleted.")

    def ftp_SIZE(self, name):
        self.respond(f"213 {os.path.getsize(self._existing_file(name))}")

    def ftp_MDTM(self, name):
        mtime = os.path.getmtime(self._existing_file(name))
        self.respond("213 " + time.strftime("%Y%m%d%H%M%S", time.gmtime(mtime)))

    def ftp_STAT(self, name):
        if name:
            raise HostError("CPF9898: STAT of a name is not supported.")
        super().ftp_STAT(name)

    def _existing_file(self, name):
        library, obj = split_qualified(name, self.library)
        path = self.host.existing_object(library, obj)
        if not os.path.isfile(path):
            raise HostError(f"CPF2105: Object {obj} in {library} type *FILE not found.")
        return path


def _list_line(library, entry, path):
    """One listing line in the host's style: owner, size, date, time, type, name."""
    st = os.stat(path)
    owner, kind = ("QSYS", "*LIB") if library == SYSTEM_LIBRARY else ("HOSTSIM", "*FILE")
    stamp = time.strftime("%m/%d/%y %H:%M:%S", time.localtime(st.st_mtime))
    return f"{owner:<10} {st.st_size:>12} {stamp} {kind:<10} {entry}\r\n"


class WireLog:
    """One JSON line per command (without its argument) and per data connection, saying
    whether it crossed TLS: what a test reads to see that nothing went in clear."""

    def __init__(self, path):
        self.path = path

    def write(self, **entry):
        if self.path:
            with open(self.path, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry) + "\n")


def _tls_handlers(implicit, certfile, keyfile, wire):
    """Handler classes for FTP over TLS, required on control and data connections."""
    from OpenSSL import SSL
    from pyftpdlib.handlers import SSLConnection, TLS_FTPHandler

    class HostTlsDTPHandler(SSLConnection, HostDTPHandler):
        def __init__(self, sock, cmd_channel):
            super().__init__(sock, cmd_channel)
            wire.write(data="tls" if cmd_channel._prot else "plain")
            if cmd_channel._prot:
                self.secure_connection(cmd_channel.ssl_context)

        def readable(self):
            # pyftpdlib 1.5.7 waits for the transfer command before it reads a data
            # connection, so the handshake libcurl begins first would stall (fixed in 1.5.8).
            return self._ssl_accepting or super().readable()

        def use_sendfile(self):
            return False

        def handle_failed_ssl_handshake(self):
            self.cmd_channel.respond("522 SSL handshake failed.")
            self.close()

    class HostTlsFTPHandler(TLS_FTPHandler, HostFTPHandler):
        dtp_handler = HostTlsDTPHandler
        proto_cmds = dict(HostFTPHandler.proto_cmds, AUTH=TLS_FTPHandler.proto_cmds["AUTH"],
                          PBSZ=TLS_FTPHandler.proto_cmds["PBSZ"],
                          PROT=TLS_FTPHandler.proto_cmds["PROT"])
        tls_control_required = True
        tls_data_required = True
        ssl_protocol = SSL.TLS_SERVER_METHOD

        def handle(self):
            if implicit:
                self.secure_connection(self.ssl_context)  # TLS from the first byte
            super().handle()

        def pre_process_command(self, line, cmd, arg):
            wire.write(command=cmd, tls=isinstance(self.socket, SSL.Connection))
            super().pre_process_command(line, cmd, arg)

        def process_command(self, cmd, *args, **kwargs):
            # TLS_FTPHandler's own checks, in front of the host's command handling.
            if cmd in ("USER", "PASS") and not self._ssl_established:
                self.respond("550 SSL/TLS required on the control channel.")
            elif cmd in ("PASV", "EPSV", "PORT", "EPRT") and not self._prot:
                self.respond("550 SSL/TLS required on the data channel.")
            else:
                HostFTPHandler.process_command(self, cmd, *args, **kwargs)

    HostTlsFTPHandler.certfile = certfile
    HostTlsFTPHandler.keyfile = keyfile
    return HostTlsFTPHandler


def make_server(host, port, user, password, tls=None, certfile=None, keyfile=None,
                wire_log=None):
    """An FTP server for `host` on 127.0.0.1; port 0 takes a free one. `tls` "explicit" or
    "implicit" requires TLS with the certificate and key files on every connection."""
    authorizer = DummyAuthorizer()
    authorizer.add_user(user.upper(), password, homedir=host.root, perm="")
    base = HostFTPHandler
    if tls:
        base = _tls_handlers(tls == "implicit", certfile, keyfile, WireLog(wire_log))
    handler = type("BoundHostFTPHandler", (base,), {"host": host, "authorizer": authorizer})
    return FTPServer(("127.0.0.1", port), handler)
