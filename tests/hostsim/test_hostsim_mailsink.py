"""The mail sink takes the report dialogue as the PC sends it and keeps it raw."""

import json
import signal
import socket

from hostsim_testing import start
from waiting import wait_for

BODY = ("ジョブDAILYはタイムアウトによりキャンセルされた\r\n"
        "使用したバックアップセット名 : DAILY\r\n"
        "PAYROLL:保管正常完了 : \t 終了時刻 : 2024/01/31 22:05\r\n").encode("cp932")
DATA = b"X-Mailer: VelMoroAgent\r\nSubject: Velmoro Job Report \r\n\r\n" + BODY
COMMANDS = ["HELO 127.0.0.1", "MAIL FROM: <ops@example.com>", "RCPT TO:<admin@example.com>",
            "DATA"]


def send_report(port):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
        replies = sock.makefile("rb")
        assert replies.readline().startswith(b"220")
        for command in COMMANDS:
            sock.sendall(command.encode() + b"\r\n")
            assert replies.readline()[:1] in (b"2", b"3")
        sock.sendall(DATA + b".\r\n")
        assert replies.readline().startswith(b"250")
        sock.sendall(b"QUIT\r\n")
        assert replies.readline().startswith(b"221")


def test_messages_are_stored_with_envelope_and_raw_data(tmp_path):
    folder = tmp_path / "mail"
    proc, port = start(["mailsink", "--dir", str(folder)], tmp_path / "mail.log")
    try:
        send_report(port)
        send_report(port)
        wait_for(lambda: (folder / "000002.json").exists(), 10, "the second message stored")
    finally:
        proc.send_signal(signal.SIGTERM)
        assert proc.wait(5) == 0
        proc.stdout.close()
    for number in ("000001", "000002"):
        assert (folder / f"{number}.eml").read_bytes() == DATA
        envelope = json.loads((folder / f"{number}.json").read_text())
        assert envelope["helo"] == "127.0.0.1"
        assert envelope["mail_from"] == "ops@example.com"
        assert envelope["rcpt_tos"] == ["admin@example.com"]
        assert envelope["commands"] == COMMANDS
