"""The round trip: what qivftp saved comes back on the host byte for byte through qivRestore."""

import fcntl
import os
import shutil
import subprocess

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import ENCODING, host_tree, minute_stamp, only_result_log

ROWS = [
    ObjectRow("QSYS", "ARLIB", "*LIB"),                # a whole library
    ObjectRow("PAYLIB", "PAYROLL", "*FILE"),           # one object with members
    ObjectRow("PAYLIB", "BONUS", "*FILE", option="5"),  # protected: sent as a physical file
    ObjectRow("SALESLIB", "SAL*", "*FILE"),             # a generic name: the save file SAL#
]
# The host paths each object brings back.
RESTORED_PATHS = ["ARLIB", "PAYLIB/PAYROLL", "PAYLIB/BONUS", "SALESLIB/SALES01",
                  "SALESLIB/SALES02"]


def host_objects():
    return {
        "ARLIB/INV2025": bytes(range(256)) * 40,
        "ARLIB/CUSTOMERS": "得意先\r\n".encode(ENCODING) * 100,
        "PAYLIB/PAYROLL/MBR2025": "給与\r\n".encode(ENCODING) * 500,
        "PAYLIB/PAYROLL/MBR2026": os.urandom(70000),
        "PAYLIB/BONUS": b"bonus data\r\n" * 100,
        "SALESLIB/SALES01": os.urandom(5000),
        "SALESLIB/SALES02": b"\x00\xff" * 3000,
        "SALESLIB/OTHER": b"not saved: does not match SAL*\r\n",
    }


def delete_on_host(root):
    for relative in RESTORED_PATHS:
        path = root / relative
        shutil.rmtree(path) if path.is_dir() else path.unlink()


def restore(program, binary, *args, timeout=60):
    proc = subprocess.run([str(binary), *args], cwd=program.folder.path,
                          env=program.environment(), capture_output=True, timeout=timeout)
    return proc.returncode, proc.stdout.decode(), proc.stderr.decode()


def results(output):
    """{object: status} from the result lines at the end of the output."""
    found = {}
    for line in output.splitlines():
        fields = line.split("\t")
        if len(fields) == 4:
            found[fields[1]] = fields[3]
    return found


def test_backup_delete_restore_gives_back_every_byte(program, host, qivrestore_binary):
    host.write_objects(host_objects())
    originals = host_tree(host.root, RESTORED_PATHS)
    program.write_set("DEMO", BackupSet("往復", ROWS))
    before = minute_stamp()
    assert program.run("DEMO").returncode == 0
    start, _, _, word, _ = only_result_log(program)
    assert word == "正常完了"
    assert before <= start
    generation = f"7/{start[:8]}"
    assert sorted(os.listdir(program.base / "DEMO" / generation)) == [
        "ARLIB", "BONUS", "PAYROLL", "SAL#", "SHA256SUMS.txt"]

    delete_on_host(host.root)
    assert host_tree(host.root, ["PAYLIB", "SALESLIB"]) == {
        "PAYLIB": None, "SALESLIB": None, "SALESLIB/OTHER": b"not saved: does not match SAL*\r\n"}

    code, out, err = restore(program, qivrestore_binary, "--set", "DEMO",
                             "--generation", generation, "--restore")
    assert (code, err) == (0, ""), out
    assert results(out) == {"ARLIB": "復元完了", "PAYROLL": "復元完了", "BONUS": "復元完了",
                            "SAL*": "復元完了"}
    assert host_tree(host.root, RESTORED_PATHS) == originals
    lines = out.splitlines()
    assert "ホストに接続しました" in lines
    assert "SAL#アップロード成功" in lines
    assert "DEMO 復元処理の完了" in lines

    # The objects exist now: without overwriting the host keeps them and says so per object.
    code, out, err = restore(program, qivrestore_binary, "--set", "DEMO",
                             "--generation", generation, "--restore")
    assert code == 1, out + err
    assert results(out) == {name: "既に存在している" for name in ("ARLIB", "PAYROLL", "BONUS", "SAL*")}
    assert host_tree(host.root, RESTORED_PATHS) == originals

    # Nothing below the saved data changed: the restore only reads it.
    assert sorted(os.listdir(program.base / "DEMO" / generation)) == [
        "ARLIB", "BONUS", "PAYROLL", "SAL#", "SHA256SUMS.txt"]


def test_upload_only_of_named_objects_restores_nothing(program, host, qivrestore_binary):
    host.write_objects(host_objects())
    program.write_set("DEMO", BackupSet("往復", ROWS))
    assert program.run("DEMO").returncode == 0
    start = only_result_log(program)[0]
    shutil.rmtree(host.root / "ARLIB")

    code, out, err = restore(program, qivrestore_binary, "--set", "DEMO",
                             "--generation", f"7/{start[:8]}", "SAL#", "BONUS")
    assert (code, err) == (0, ""), out
    assert results(out) == {"BONUS": "転送完了", "SAL*": "転送完了"}
    assert host.library("ZORVARST") == ["BONUS", "SAL#"]
    assert not (host.root / "ARLIB").exists()
    saved = program.base / "DEMO" / f"7/{start[:8]}"
    assert (host.root / "ZORVARST" / "SAL#").read_bytes() == (saved / "SAL#").read_bytes()
    # The local list was written but neither sent nor submitted.
    assert (program.folder.path / "SAVLIBS").read_bytes() == (
        b"2BONUS     PAYLIB    *FILE     5\r\n2SAL#      SALESLIB  *FILE     2\r\n")


def test_bad_command_lines_touch_no_host(program, host, qivrestore_binary):
    program.write_set("DEMO", BackupSet("往復", ROWS))
    (program.base / "DEMO" / "7" / "20260101").mkdir(parents=True)
    cases = [  # a command line it cannot use is a usage error (2)
        (["--set", "DE/MO", "--generation", "7/20260101"], "--set needs", 2),
        (["--set", "DEMO"], "--generation needs", 2),
        (["--set", "DEMO", "--generation", "7/20260101", "--overwrite"], "needs --restore", 2),
        (["--set", "DEMO", "--generation", "../../program"], "バックアップセットディレクトリにファイルがない", 1),
        (["--set", "DEMO", "--generation", "7/20260102"], "バックアップセットディレクトリにファイルがない", 1),
        (["--set", "NOSUCH", "--generation", "7/20260101"], "NOSUCHを読み取ることが出来ない", 1),
        (["--set", "DEMO", "--generation", "7/20260101", "PAYROLL"], "PAYROLLの保管データがこの世代に無い", 1),
        (["--set", "DEMO", "--generation", "7/20260101"], "アップロードするオブジェクトが指定されていない", 1),
        (["--bogus"], "unknown option --bogus", 2),
    ]
    for args, expected, status in cases:
        code, out, err = restore(program, qivrestore_binary, *args)
        assert code == status, args
        assert expected in err, (args, err)
    assert host.library("ZORVARST") == []
    assert not (program.folder.path / "SAVLIBS").exists()


@pytest.mark.parametrize("control, job_timer, last_line, message", [
    # The host job never finishes: the time limit, counted from the command's start, ends it.
    ({"hold_jobs": True}, 2500, "DEMO 復元処理のタイムアウト", ""),
    # The list can never be fetched: ten failed fetches in a row end the wait.
    ({"refuse": {"RETR ZORVARST/SAVLIBS": True}}, 60000, "DEMO ホストプログラムから応答が無い",
     "ホストプログラムから応答が無いので終了します"),
])
def test_a_host_that_does_not_finish_ends_the_wait(program, host, qivrestore_binary, control,
                                                   job_timer, last_line, message):
    program.write_set("DEMO", BackupSet("往復", ROWS))
    generation = program.base / "DEMO" / "Monday"
    generation.mkdir(parents=True)
    (generation / "PAYROLL").write_bytes(b"not a real save file")
    program.write_settings(job_timer=job_timer, file_timer=100)
    host.control(**control)

    code, out, err = restore(program, qivrestore_binary, "--set", "DEMO", "--generation",
                             "Monday", "--restore")

    assert code == 1, out
    assert message in err, out
    lines = out.splitlines()
    assert last_line in lines
    assert lines[-1] == "PAYLIB\tPAYROLL\t*FILE\t転送完了"  # sent, never restored
    assert lines.count("SAVLIBSダウンロードに失敗しました") == (10 if message else 0)



@pytest.mark.parametrize("args", [(), ("--set", "DEMO", "--generation", "Monday", "--restore")],
                         ids=["window", "command-line"])
def test_a_second_restore_on_the_program_folder_says_so_and_ends(program, host, qivrestore_binary,
                                                                  args):
    (host.root / "ZORVARST" / "SAVLIBS").write_bytes(b"the first restore's list\r\n")
    with open(program.folder.path / ".qivRestore.lock", "a") as lock:  # the first restore's
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        code, out, err = restore(program, qivrestore_binary, *args, timeout=30)
    assert (code, out) == (1, "")
    assert "プログラムが既に開始されている" in err
    assert host.library("ZORVARST") == ["SAVLIBS"]  # the first restore's files stay
