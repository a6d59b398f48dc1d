"""Command line of the host simulator: python3 -m hostsim COMMAND ..."""

import argparse
import logging
import os
import signal
import sys

from .host import Host, make_module
from .names import HostError, library_name

DATA_LIBRARY = "ZORVADATA"


def _announce(port):
    # Callers read this one line to learn the port; it must not wait in a buffer.
    print(f"listening on 127.0.0.1:{port}", flush=True)


def _exit_on_sigterm():
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(0))


def serve(args):
    from .ftp import make_server  # each command loads only what it needs: starts stay quick

    _exit_on_sigterm()
    host = Host(args.root, queue_wait=args.queue_wait, object_delay=args.object_delay,
                trim_text=not args.no_trim)
    host.prepare(installed=args.installed)
    tls_files = {}
    if args.tls:
        from .tls import server_files

        certfile, keyfile = server_files(args)
        tls_files = dict(tls=args.tls, certfile=certfile, keyfile=keyfile, wire_log=args.wire_log)
    server = make_server(host, args.port, args.user, args.password, **tls_files)
    _announce(server.socket.getsockname()[1])
    try:
        server.serve_forever(handle_exit=True)  # returns on SIGTERM or Ctrl-C
    finally:
        host.stopping.set()
    return 0


def request_start(args):
    """Leave the file by which the host asks a PC to run a set."""
    try:
        terminal = library_name(args.terminal)
        set_name = library_name(args.set)
    except HostError as err:
        sys.exit(f"hostsim: {err.messages[0]}")
    library = os.path.join(args.root, DATA_LIBRARY)
    if not os.path.isdir(library):
        sys.exit(f"hostsim: library {DATA_LIBRARY} does not exist; install the host module first")
    with open(os.path.join(library, terminal), "wb") as f:
        f.write(set_name.encode("ascii") + b"\r\n")
    return 0


def module(args):
    make_module(args.out)
    return 0


def mail(args):
    import asyncio

    from . import mailsink

    _exit_on_sigterm()
    os.makedirs(args.dir, exist_ok=True)
    try:
        asyncio.run(mailsink.serve(args.dir, args.port, _announce, **_mail_security(args)))
    except KeyboardInterrupt:
        pass
    return 0


def _tls_options(p, modes):
    p.add_argument("--tls", choices=modes, help="require TLS (default: none)")
    p.add_argument("--tls-dir", default=".",
                   help="with --tls and no --cert: where the throw-away CA (ca.pem) and "
                        "server certificate are written")
    p.add_argument("--cert", help="the server certificate (PEM) instead of a throw-away one")
    p.add_argument("--key", help="its private key (default: in the --cert file)")


def _mail_security(args):
    security = {}
    if args.tls:
        from .tls import server_files

        security["tls"] = args.tls
        security["certfile"], security["keyfile"] = server_files(args)
    if args.auth:
        security["credentials"] = tuple(args.auth.split(":", 1))
    return security


def _parser():
    parser = argparse.ArgumentParser(
        prog="python3 -m hostsim",
        description="Simulated host side and mail sink for tests and demos.")
    sub = parser.add_subparsers(dest="command", required=True)

    p = sub.add_parser("serve", help="run the FTP server of a simulated host")
    p.add_argument("--root", required=True, help="folder holding the host's libraries")
    p.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    p.add_argument("--user", default="HOSTSIM")
    p.add_argument("--password", default="HOSTSIM")
    p.add_argument("--installed", action="store_true",
                   help="start with the host module and exchange libraries in place")
    p.add_argument("--queue-wait", "--job-delay", dest="queue_wait", type=float, default=0.0,
                   metavar="S", help="seconds a submitted job waits in its job queue")
    p.add_argument("--object-delay", type=float, default=0.2, metavar="S",
                   help="seconds a job spends on each object")
    p.add_argument("--no-trim", action="store_true",
                   help="text (TYPE A) downloads keep the trailing blanks of each record")
    _tls_options(p, ("explicit", "implicit"))
    p.add_argument("--wire-log", metavar="FILE",
                   help="with --tls: a JSON line per command and data connection (TLS or not)")
    p.set_defaults(run=serve)

    p = sub.add_parser("request-start", help="ask the PC of a terminal to run a set")
    p.add_argument("--root", required=True)
    p.add_argument("--terminal", required=True)
    p.add_argument("--set", required=True)
    p.set_defaults(run=request_start)

    p = sub.add_parser("make-module", help="write the host module save file")
    p.add_argument("out")
    p.set_defaults(run=module)

    p = sub.add_parser("mailsink", help="run a mail server that stores every message")
    p.add_argument("--dir", required=True)
    p.add_argument("--port", type=int, default=0)
    _tls_options(p, ("starttls", "smtps"))
    p.add_argument("--auth", metavar="USER:PASSWORD",
                   help="require AUTH (PLAIN or LOGIN) with this user and password")
    p.set_defaults(run=mail)
    return parser


def main(argv=None):
    args = _parser().parse_args(argv)
    logging.basicConfig(level=logging.INFO, stream=sys.stderr,
                        format="%(asctime)s %(name)s %(levelname)s %(message)s")
    # pyftpdlib adds a handler of its own when it finds none; ours is enough.
    logging.getLogger("pyftpdlib").addHandler(logging.NullHandler())
    return args.run(args)


if __name__ == "__main__":
    sys.exit(main())
