"""A small FTP server for the host session tests, modelled on the host's FTP server.

Libraries are folders below --root. "A/B" names file B of library A, a bare name a file in
the current library, and CWD always names a library. Like the host it calls itself OS/400 and
keeps a naming format: in format 1 (path names, which this server does not emulate) every
command that names a library or file is refused. RCMD is accepted; its text decides the
answer:
  REFUSE...      refused every time with a three-line 550 reply
  FLAKY<n> ...   refused the first n times (counted per command text), then accepted
  DROP...        the server closes the control connection without a reply
  BYE...         accepted, then the server closes the control connection
  HANG...        never answered
  MUTEQUIT...    accepted; the QUIT that follows on this connection is never answered
  JAPANESE...    refused with a two-line 550 reply in Japanese, in code page 932
File names go out in listings as the bytes they have on disk (a host's names are CP932).
  anything else  accepted
Every command line as it arrived (the password masked) is appended to --transcript.
Prints "listening on 127.0.0.1:PORT" once it accepts connections.
"""

import argparse
import logging
import socket

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib import handlers
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer


class LibraryFS(AbstractedFS):
    def ftpnorm(self, ftppath):
        if "/" in ftppath and not ftppath.startswith("/"):
            ftppath = "/" + ftppath
        return super().ftpnorm(ftppath)


class HostHandler(FTPHandler):
    proto_cmds = dict(FTPHandler.proto_cmds)
    proto_cmds["RCMD"] = dict(perm=None, auth=True, arg=True, help="Syntax: RCMD <command>")
    proto_cmds["SITE NAMEFMT"] = dict(perm=None, auth=True, arg=True, help="Syntax: SITE NAMEFMT 0|1")
    abstracted_fs = LibraryFS
    auth_failed_timeout = 0
    transcript = None
    refusals = {}
    name_format = 0
    mute_quit = False
    unicode_errors = "surrogateescape"  # names leave as their bytes on disk

    def found_terminator(self):
        raw = b"".join(self._in_buffer).decode("utf-8", "replace")
        if raw.upper().startswith("PASS "):
            raw = "PASS ******"
        with open(self.transcript, "a", encoding="utf-8") as out:
            out.write(raw + "\n")
        # The host ignores blanks before the command word.
        stripped = raw.lstrip(" ") if not raw.startswith("PASS ") else None
        if stripped is not None and stripped != raw:
            self._in_buffer = [stripped.encode("utf-8")]
            self._in_buffer_len = len(self._in_buffer[0])
        super().found_terminator()

    def pre_process_command(self, line, cmd, arg):
        if self.name_format == 1 and cmd in ("CWD", "DELE", "NLST", "LIST", "RETR", "STOR", "SIZE"):
            self.respond("550 Naming format 1 is not emulated.")
            return
        if cmd in ("CWD", "XCWD") and arg and not arg.startswith("/"):
            arg = "/" + arg
        super().pre_process_command(line, cmd, arg)

    def ftp_QUIT(self, line):
        if not self.mute_quit:
            super().ftp_QUIT(line)

    def ftp_SYST(self, line):
        self.respond('215 OS/400 is the remote operating system. The TCP/IP version is "V7R4M0".')

    def ftp_PWD(self, line):
        if self.name_format == 1:
            self.respond('257 "/QSYS.LIB/QGPL.LIB" is current directory.')
        else:
            self.respond('257 "QGPL" is current library.')

    def ftp_SITE_NAMEFMT(self, arg):
        if arg.strip() not in ("0", "1"):
            self.respond("501 Naming format 0 or 1 expected.")
            return
        self.name_format = int(arg.strip())
        self.respond('250  Now using naming format "%d".' % self.name_format)

    def ftp_RCMD(self, line):
        text = line.strip()
        word = text.split(" ")[0].upper()
        if word.startswith("REFUSE"):
            self.respond("550-Command %s ended in error.\r\n"
                         "550-CPF9999: Function check.\r\n"
                         "550 Request processing ended." % word)
        elif word.startswith("FLAKY"):
            limit = int(word[5:] or "1")
            seen = HostHandler.refusals.get(text, 0)
            HostHandler.refusals[text] = seen + 1
            if seen < limit:
                self.respond("550 Not yet (%d)." % (seen + 1))
            else:
                self.respond("250 Command %s accepted." % word)
        elif word.startswith("DROP"):
            self.close()
        elif word.startswith("BYE"):
            # The reply and the end of the stream leave together, before the client reads on.
            self.socket.sendall(("250 Command %s accepted.\r\n" % word).encode())
            self.socket.shutdown(socket.SHUT_RDWR)
            self.close()
        elif word.startswith("HANG"):
            pass
        elif word.startswith("JAPANESE"):
            reply = ("550-ジョブ待ち行列QGPL/夜間が見つかりません。\r\n"
                     "550 要求は処理されませんでした。\r\n").encode("cp932")
            handlers.asynchat.async_chat.push(self, reply)
        elif word.startswith("MUTEQUIT"):
            self.mute_quit = True
            self.respond("250 Command %s accepted." % word)
        else:
            self.respond("250 Command %s accepted." % word)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--transcript", required=True)
    parser.add_argument("--user", default="ZORVA")
    parser.add_argument("--password", default="SECRET")
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    HostHandler.authorizer = authorizer
    HostHandler.transcript = args.transcript
    HostHandler.banner = "Test host ready."
    HostHandler.passive_ports = None

    config_logging(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", 0), HostHandler)
    print("listening on 127.0.0.1:%d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
