"""Backups and the report mail over TLS, against the simulator in its TLS modes."""

import json

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import HOST_PASSWORD, HOST_USER, Host, MailSink, expected_mail, only_result_log
from hostsim.launch import start as start_simulator
from hostsim.tls import make_pki, pinned_key

ROWS = [ObjectRow("QSYS", "ARLIB", "*LIB"), ObjectRow("PAYLIB", "PAYROLL", "*FILE")]
OBJECTS = {"ARLIB/INV2025": bytes(range(256)) * 40,
           "PAYLIB/PAYROLL/MBR2025": "給与\r\n".encode("cp932") * 500}


def tls_host(tmp_path, processes, mode, *cert):
    root = tmp_path / "tlshost"
    proc, port = start_simulator(
        ["serve", "--root", str(root), "--installed", "--user", HOST_USER,
         "--password", HOST_PASSWORD, "--queue-wait", "0.2", "--object-delay", "0.05",
         "--tls", mode, "--tls-dir", str(tmp_path / "tls"),
         "--wire-log", str(tmp_path / "wire.jsonl"), *cert], tmp_path / "tlshost.log")
    processes.append(proc)
    return Host(root, proc, port)


def wire(tmp_path):
    path = tmp_path / "wire.jsonl"
    return [json.loads(line) for line in path.read_text().splitlines()] if path.exists() else []


@pytest.mark.parametrize("mode", ["explicit", "implicit"])
def test_a_backup_over_tls_arrives_byte_for_byte_and_nothing_crosses_in_clear(
        tmp_path, processes, program, mode):
    host = tls_host(tmp_path, processes, mode)
    host.write_objects(OBJECTS)
    host.control(refuse={"DELE": True})  # the host keeps its save files to compare with
    program.write_settings(ftp_port=host.port, host_tls=mode.upper(),
                           host_ca=str(tmp_path / "tls" / "ca.pem"))
    program.write_set("DEMO", BackupSet("TLS", ROWS))

    run = program.run("DEMO")

    assert run.returncode == 0, run.output
    start, _, _, word, rows = only_result_log(program)
    assert [r.status for r in rows] == ["保管正常完了"] * 2, (word, program.daily_messages())
    for name in ("ARLIB", "PAYROLL"):
        saved = program.base / "DEMO" / "7" / start[:8] / name
        assert saved.read_bytes() == (host.root / "DEMO" / name).read_bytes()
    seen = wire(tmp_path)
    commands = [e for e in seen if "command" in e]
    after_auth = commands[1:] if mode == "explicit" else commands
    assert mode == "implicit" or commands[0] == {"command": "AUTH", "tls": False}
    assert {"command": "RETR", "tls": True} in after_auth
    assert all(e["tls"] for e in after_auth), after_auth
    assert {e["data"] for e in seen if "data" in e} == {"tls"}


def refusal_cases(tmp_path):
    ours, other = make_pki(tmp_path / "ours"), make_pki(tmp_path / "other")
    expired = make_pki(tmp_path / "expired", expired=True)
    renamed = make_pki(tmp_path / "renamed", host="ibmi.example.com")
    return {  # served certificate, CA file and pinned key of the PC, the reason logged
        "unknown-ca": (other, ours["ca.pem"], None, "証明書の発行元（CA）が信頼されていない"),
        "expired": (expired, expired["ca.pem"], None, "証明書の有効期限が切れている"),
        "wrong-name": (renamed, renamed["ca.pem"], None, "証明書のホスト名が接続先と一致しない"),
        "pin-differs": (ours, ours["ca.pem"], pinned_key(other["server.pem"]),
                        "証明書の公開鍵がPINNEDKEYと一致しない"),
    }


@pytest.mark.parametrize("case", ["unknown-ca", "expired", "wrong-name", "pin-differs"])
def test_a_certificate_that_fails_verification_ends_the_log_on_before_the_password(
        tmp_path, processes, program, case):
    served, ca, pin, reason = refusal_cases(tmp_path)[case]
    host = tls_host(tmp_path, processes, "explicit",
                    "--cert", served["server.pem"], "--key", served["server.key"])
    program.write_settings(ftp_port=host.port, host_tls="EXPLICIT", host_ca=ca, host_pin=pin)
    program.write_set("DEMO", BackupSet("TLS", ROWS))

    program.run("DEMO")

    assert [e["command"] for e in wire(tmp_path) if "command" in e] == ["AUTH"]
    assert any(m.startswith(f"TLS接続を中止しました（{reason}）") for m in program.daily_messages()), \
        program.daily_messages()


def test_the_report_mail_over_starttls_with_auth_carries_the_plain_mails_bytes(
        tmp_path, processes, program, host):
    proc, port = start_simulator(
        ["mailsink", "--dir", str(tmp_path / "tlsmail"), "--tls", "starttls",
         "--tls-dir", str(tmp_path / "mailtls"), "--auth", "reports:Geheim 1"],
        tmp_path / "tlsmail.log")
    processes.append(proc)
    sink = MailSink(tmp_path / "tlsmail", proc, port)
    host.write_objects(OBJECTS)
    program.write_settings(mail_port=port, mail_tls="STARTTLS", mail_user="reports",
                           mail_password="Geheim 1",
                           mail_ca=str(tmp_path / "mailtls" / "ca.pem"))
    program.write_set("DEMO", BackupSet("TLS", ROWS))

    run = program.run("DEMO")

    assert run.returncode == 0, run.output
    start, end, _, _, rows = only_result_log(program)
    (data, envelope), = sink.messages()
    assert (envelope["tls"], envelope["login"]) == (True, "reports")
    assert data == expected_mail("DEMO", start, end, rows)
    assert not any("Geheim" in m for m in program.daily_messages())
