"""Checksums of saved data: a manifest sha256sum accepts, damage found, refused and outlived."""

import datetime
import os
import shutil
import subprocess

from demo_setup import BackupSet, ObjectRow
from e2e_support import only_result_log

ROWS = [ObjectRow("PAYLIB", "PAYROLL", "*FILE"), ObjectRow("PAYLIB", "BONUS", "*FILE"),
        ObjectRow("SALESLIB", "SALES", "*FILE")]
SAVE_FILES = ["BONUS", "PAYROLL", "SALES"]


def day(days_ago):
    return (datetime.date.today() - datetime.timedelta(days=days_ago)).strftime("%Y%m%d")


def run(program, binary, *args):
    proc = subprocess.run([str(binary), *args], cwd=program.folder.path,
                          env=program.environment(), capture_output=True, timeout=60)
    return proc.returncode, proc.stdout.decode(), proc.stderr.decode()


def test_damage_is_found_refused_and_outlived(program, host, qivftp_binary, qivrestore_binary):
    qivwh = qivftp_binary.parent / "qivWH"
    objects = {"PAYLIB/PAYROLL": os.urandom(50000), "PAYLIB/BONUS": b"bonus\r\n" * 900,
               "SALESLIB/SALES": os.urandom(3000)}
    host.write_objects(objects)
    program.write_set("DEMO", BackupSet("検証", ROWS))
    assert program.run("DEMO").returncode == 0
    assert only_result_log(program)[3] == "正常完了"
    generation = f"7/{day(0)}"
    folder = program.base / "DEMO" / generation

    # The manifest is sha256sum's own format, one line per save file.
    check = subprocess.run(["sha256sum", "-c", "SHA256SUMS.txt"], cwd=folder,
                           capture_output=True, text=True)
    assert check.returncode == 0, check.stdout + check.stderr
    assert sorted(check.stdout.splitlines()) == [f"{name}: OK" for name in SAVE_FILES]
    good_copy = program.base / "DEMO" / "7" / day(20)
    shutil.copytree(folder, good_copy)

    # One byte of one save file flips on the disk.
    damaged = bytearray((folder / "PAYROLL").read_bytes())
    damaged[len(damaged) // 2] ^= 0x01
    (folder / "PAYROLL").write_bytes(damaged)
    code, out, err = run(program, qivwh, "--verify", "DEMO", generation)
    assert (code, err) == (1, ""), out
    assert out.splitlines() == [f"{generation}/BONUS: OK", f"{generation}/PAYROLL: DAMAGED",
                                f"{generation}/SALES: OK"]

    # The restore sends the others and refuses the damaged one.
    for relative in objects:
        os.unlink(host.root / relative)
    code, out, err = run(program, qivrestore_binary, "--set", "DEMO", "--generation", generation,
                         "--restore")
    assert code == 1, out + err
    assert out.splitlines()[-3:] == ["PAYLIB\tBONUS\t*FILE\t復元完了",
                                     "PAYLIB\tPAYROLL\t*FILE\tチェックサム不一致",
                                     "SALESLIB\tSALES\t*FILE\t復元完了"]
    assert not (host.root / "PAYLIB/PAYROLL").exists()
    assert (host.root / "SALESLIB/SALES").read_bytes() == objects["SALESLIB/SALES"]

    # Both day folders are past the retention: the purge keeps the older one, which verifies.
    os.rename(folder, program.base / "DEMO" / "7" / day(9))
    host.control(fail_objects=["PAYROLL", "BONUS", "SALES"])
    assert program.run("DEMO").returncode == 0
    assert sorted(os.listdir(program.base / "DEMO" / "7")) == [day(20), day(0)]
    code, out, err = run(program, qivwh, "--verify", "DEMO")
    assert (code, err) == (0, ""), out
    assert out.splitlines() == [f"7/{day(20)}/{name}: OK" for name in SAVE_FILES]
