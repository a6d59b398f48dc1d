"""Backups and the report mail over TLS, against the simulator in its TLS modes."""

import json
import os
import shutil
import subprocess

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import (HOST_PASSWORD, HOST_USER, PYTHON, REPO, Host, MailSink, expected_mail,
                         host_tree, only_result_log)
from hostsim.launch import start as start_simulator
from hostsim.tls import make_pki, pinned_key

ROWS = [ObjectRow("QSYS", "ARLIB", "*LIB"), ObjectRow("PAYLIB", "PAYROLL", "*FILE")]
VELMORO = os.environ.get("VELMORO", "velmoro")
OBJECTS = {"ARLIB/INV2025": bytes(range(256)) * 40,
           "PAYLIB/PAYROLL/MBR2025": "給与\r\n".encode("cp932") * 500}
SAVED = ["ARLIB", "PAYLIB/PAYROLL"]  # what the save files of ROWS hold


def tls_host(tmp_path, processes, mode, *cert, installed=True):
    root = tmp_path / "tlshost"
    proc, port = start_simulator(
        ["serve", "--root", str(root), *(["--installed"] if installed else []), "--user",
         HOST_USER, "--password", HOST_PASSWORD, "--queue-wait", "0.2", "--object-delay", "0.05",
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
        # A pinned key takes the CA's place, the host name is still checked.
        "pin-only-key": (other, None, pinned_key(ours["server.pem"]), "証明書の公開鍵がPINNEDKEYと一致しない"),
        "pin-only-name": (renamed, None, pinned_key(renamed["server.pem"]), "証明書のホスト名が接続先と一致しない"),
    }


@pytest.mark.parametrize("case", ["unknown-ca", "expired", "wrong-name", "pin-differs",
                                  "pin-only-key", "pin-only-name"])
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


def run_in(program, binary, *args):
    return subprocess.run([binary, *args], cwd=program.folder.path, env=program.environment(),
                          capture_output=True, timeout=90).stdout.decode().splitlines()


def test_key_pinned_on_first_use_then_installation_check_backup_and_restore_over_tls(
        tmp_path, processes, program, qivrestore_binary):
    host = tls_host(tmp_path, processes, "explicit", installed=False)  # a CA the PC never saw
    subprocess.run([PYTHON, "-m", "hostsim", "make-module", str(program.folder.path / "ZORVAV3")],
                   cwd=REPO, check=True)
    program.write_settings(ftp_port=host.port, host_tls="EXPLICIT", mail="NO")
    assert run_in(program, VELMORO, "--trust-host", "--yes")[-1] == "PINNEDKEYを登録しました"
    assert run_in(program, VELMORO, "--install")[-1] == "iSeries/ASへのモジュールの導入が完了した"
    host.write_objects(OBJECTS)
    program.write_set("DEMO", BackupSet("TLS", [*ROWS, ObjectRow("ARLIB", "GONE", "*FILE")]))
    assert run_in(program, VELMORO, "--check", "DEMO")[-1] == "  3 ARLIB      GONE       *FILE"
    program.run("DEMO")
    originals = host_tree(host.root, SAVED)
    for saved in SAVED:
        shutil.rmtree(host.root / saved)
    run_in(program, qivrestore_binary, "--set", "DEMO", "--generation",
           f"7/{only_result_log(program)[0][:8]}", "--restore", "ARLIB", "PAYROLL")
    assert host_tree(host.root, SAVED) == originals
    seen = wire(tmp_path)  # the trust step did not log on; nothing but AUTH TLS in clear
    assert [e.get("command") for e in seen[:2]] == ["AUTH", "AUTH"]
    assert {e["command"] for e in seen if not e.get("tls", True)} == {"AUTH"}
    assert {e["data"] for e in seen if "data" in e} == {"tls"}


def test_trust_host_pins_no_certificate_out_of_its_dates(tmp_path, processes, program):
    served = make_pki(tmp_path / "own", expired=True)
    host = tls_host(tmp_path, processes, "explicit",
                    "--cert", served["server.pem"], "--key", served["server.key"])
    program.write_settings(ftp_port=host.port, host_tls="EXPLICIT")
    assert run_in(program, VELMORO, "--trust-host", "--yes")[-1] == (
        "TLS接続を中止しました（証明書の有効期限が切れている）")
    assert b"PINNEDKEY" not in (program.folder.path / "zorva.ini").read_bytes()


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
