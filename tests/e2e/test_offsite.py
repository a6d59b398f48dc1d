"""Off-site copies through restic: snapshots after jobs, deduplication, fetching back, failures."""

import datetime
import json
import os
import re
import shutil
import subprocess

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import only_result_log

ROWS = [ObjectRow("PAYLIB", "PAYROLL", "*FILE"), ObjectRow("SALESLIB", "SALES", "*FILE")]
REPO_PASSWORD = "offsite-Pa55-word"
UNITS = {"B": 1, "KB": 1 << 10, "MB": 1 << 20, "GB": 1 << 30}


def private_file(path, text, mode=0o600):
    path.write_text(text)
    path.chmod(mode)
    return path


def restic(password_file, repository, *args):
    return subprocess.run(["restic", "--repo", str(repository), "--password-file",
                           str(password_file), "--no-cache", *args],
                          capture_output=True, text=True, timeout=120)


@pytest.fixture
def offsite(tmp_path, program, host):
    """A program folder with a set DEMO and a fresh local repository; restic is wrapped so that
    the test sees each command line and environment restic got."""
    password = private_file(tmp_path / "repo-password", REPO_PASSWORD + "\n")
    repository = tmp_path / "repository"
    assert restic(password, repository, "init").returncode == 0
    wrapper = tmp_path / "bin"
    wrapper.mkdir()
    calls = tmp_path / "restic-calls"
    real = shutil.which("restic")
    (wrapper / "restic").write_text(
        "#!/usr/bin/python3\nimport json, os, sys\n"
        f"with open({str(calls)!r}, 'a') as f: "
        "f.write(json.dumps({'argv': sys.argv, 'env': dict(os.environ)}) + '\\n')\n"
        f"os.execv({real!r}, [{real!r}] + sys.argv[1:])\n")
    (wrapper / "restic").chmod(0o755)
    env_file = private_file(tmp_path / "backend.env", "# backend keys\nZORVA_BACKEND_MARK=42\n")
    program.write_settings(offsite_repository=str(repository),
                           offsite_password_file=str(password),
                           offsite_env_file=str(env_file))
    program.write_set("DEMO", BackupSet("オフサイト", ROWS))
    env = program.environment()
    env["PATH"] = f"{wrapper}:{env['PATH']}"
    return password, repository, calls, env


def copies(program):
    """(bytes processed, bytes added) of each off-site copy the daily log reports."""
    found = re.findall(r"オフサイトコピー完了：\S+ 処理 ([\d.]+)(\w+) 追加 ([\d.]+)(\w+)",
                       "\n".join(program.daily_messages()))
    return [(float(a) * UNITS[u], float(b) * UNITS[v]) for a, u, b, v in found]


def run_job(program, env):
    assert program.run("DEMO", env=env).returncode == 0


def run_in(program, env, *argv):
    return subprocess.run([str(a) for a in argv], cwd=program.folder.path, env=env,
                          capture_output=True, text=True, timeout=90)


def test_snapshots_dedup_fetch_and_restore(tmp_path, program, host, mail, offsite,
                                           qivftp_binary, qivrestore_binary):
    password, repository, calls, env = offsite
    qivwh = qivftp_binary.parent / "qivWH"
    # restic cuts files into chunks of 0.5 to 8 MiB: a change costs its chunk.
    payroll = bytearray(os.urandom(48 << 20))
    host.write_objects({"PAYLIB/PAYROLL": bytes(payroll), "SALESLIB/SALES": os.urandom(1 << 16)})
    generation = f"7/{datetime.date.today():%Y%m%d}"
    folder = program.base / "DEMO" / generation

    # A password file others can read is refused; the job itself is as without off-site copies.
    password.chmod(0o644)
    run_job(program, env)
    assert only_result_log(program)[3] == "正常完了"
    assert any("モードが0600でない（0644）" in m for m in program.daily_messages())
    assert not calls.exists()

    # The next job copies the generation (the refused one's retry); a third, after a small
    # change on the host, adds far less than the first copy.
    password.chmod(0o600)
    run_job(program, env)
    payroll[1000:1010] = b"0123456789"
    host.write_objects({"PAYLIB/PAYROLL": bytes(payroll)})
    run_job(program, env)
    (_, first_added), (_, second_added) = copies(program)
    assert first_added > 48 * (1 << 20) and second_added < first_added / 4
    listed = json.loads(restic(password, repository, "snapshots", "--json").stdout)
    assert [s["hostname"] for s in listed] == ["PC01", "PC01"]
    assert restic(password, repository, "check").returncode == 0
    assert "オフサイトコピー : 1世代 追加" in mail.messages()[-1][0].decode("cp932")

    # The password reaches restic through its file only; the backend's keys reach restic alone.
    recorded = [json.loads(line) for line in calls.read_text().splitlines()]
    assert recorded and all(REPO_PASSWORD not in json.dumps(c) for c in recorded)
    assert all(c["env"].get("ZORVA_BACKEND_MARK") == "42" for c in recorded)
    assert REPO_PASSWORD.encode() not in program.folder.daily_log()

    # The newest snapshot comes back byte for byte in place of a lost generation, once ...
    out = run_in(program, env, qivwh, "--offsite", "DEMO")
    rows = [line.split("\t") for line in out.stdout.splitlines()]
    assert out.returncode == 0 and [r[2] for r in rows] == [generation, generation], out.stderr
    saved = {name: (folder / name).read_bytes() for name in os.listdir(folder)}
    shutil.rmtree(folder)
    done = run_in(program, env, qivwh, "--fetch", "DEMO", rows[-1][0])
    assert done.returncode == 0, done.stderr
    assert {name: (folder / name).read_bytes() for name in os.listdir(folder)} == saved
    again = run_in(program, env, qivwh, "--fetch", "DEMO", rows[-1][0])
    assert again.returncode == 1 and "ローカルにある" in again.stderr

    # ... and is restored to the host as any generation.
    for relative in ("PAYLIB/PAYROLL", "SALESLIB/SALES"):
        os.unlink(host.root / relative)
    restored = run_in(program, env, qivrestore_binary, "--set", "DEMO", "--generation",
                      generation, "--restore")
    assert restored.returncode == 0, restored.stdout + restored.stderr
    assert (host.root / "PAYLIB/PAYROLL").read_bytes() == bytes(payroll)


@pytest.mark.parametrize("repository, line", [
    pytest.param("wrong-password", r"オフサイト：リポジトリ\S+のパスワードが違う",
                 id="wrong-password"),
    pytest.param("missing", r"オフサイト：リポジトリ\S+がない（接続設定の初期化で作成する）",
                 id="missing-repository"),
    pytest.param("sftp://nobody@127.0.0.1:1//x",
                 r"オフサイト：restic失敗：unable to open repository at sftp://nobody@127\.0\.0\.1:1//x: .+",
                 id="unreachable-sftp"),
    # Killed at JOBTIMER with the child it waits for, as restic waits for its ssh.
    pytest.param("hung", "オフサイト：resticが10秒以内に終わらないため中止した", id="hung-restic"),
])
def test_failed_copy_leaves_the_job_alone(tmp_path, program, host, offsite, repository, line):
    password, real_repository, _, env = offsite
    children = tmp_path / "restic-children"
    if repository == "wrong-password":
        private_file(password, "not the password\n")
    elif repository == "missing":
        repository = str(tmp_path / "no-repository")
    elif repository == "hung":  # in place of the fixture's wrapper
        (tmp_path / "bin" / "restic").write_text(
            "#!/usr/bin/python3\nimport subprocess\nchild = subprocess.Popen(['sleep', '600'])\n"
            f"open({str(children)!r}, 'a').write(f'{{child.pid}}\\n')\nchild.wait()\n")
    if repository in ("wrong-password", "hung"):
        repository = str(real_repository)
    program.write_settings(offsite_repository=repository, job_timer=10000)
    host.write_objects({"PAYLIB/PAYROLL": b"payroll" * 1000, "SALESLIB/SALES": b"sales" * 100})
    run_job(program, env)
    _, _, _, word, rows = only_result_log(program)
    assert word == "正常完了" and [r.status for r in rows] == ["保管正常完了"] * 2
    assert sorted(os.listdir(program.base / "DEMO" / "7" / f"{datetime.date.today():%Y%m%d}")) \
        == ["PAYROLL", "SALES", "SHA256SUMS.txt"]
    offsite_lines = [m for m in program.daily_messages() if m.startswith("オフサイト：")]
    assert len(offsite_lines) == 1 and re.fullmatch(line, offsite_lines[0]), offsite_lines
    if "終わらない" in line:  # restic's child is gone too, or a zombie until a reaper collects it
        state = f"/proc/{children.read_text().split()[0]}/stat"
        assert not os.path.exists(state) or open(state).read().split()[2] == "Z"
