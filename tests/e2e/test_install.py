"""An installation as a user makes it: `cmake --install` into a fresh prefix, then a backup run
by the installed qivftp exactly as the installed systemd unit starts it, and the five installed
programs' --help and --version in one form.

The build folder comes from the environment variable ZORVA_BUILD_DIR (CTest passes it)."""

import os
import re
import shlex
import subprocess
from pathlib import Path

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import ProgramUnderTest, only_result_log

PROGRAMS = ["velmoro", "qivftp", "qivRestore", "qivWH", "qivLog"]
WITH_DESKTOP_ENTRY = ["velmoro", "qivRestore", "qivWH", "qivLog"]


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    build = os.environ.get("ZORVA_BUILD_DIR")
    if not build or not Path(build, "CMakeCache.txt").is_file():
        raise pytest.UsageError(f"no build folder: set ZORVA_BUILD_DIR (got {build!r})")
    prefix = tmp_path_factory.mktemp("prefix")
    done = subprocess.run(["cmake", "--install", build, "--prefix", str(prefix)],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    assert done.returncode == 0, done.stdout
    return prefix


def test_the_installation_holds_programs_entries_icons_and_units(prefix):
    for program in [*PROGRAMS, "zorva-launch"]:
        assert os.access(prefix / "bin" / program, os.X_OK), program
    for program in WITH_DESKTOP_ENTRY:
        entry = (prefix / "share" / "applications" / f"{program}.desktop").read_text()
        assert f'\nExec="{prefix}/bin/zorva-launch" {program}\n' in entry, entry  # no PATH needed
        assert f"\nIcon={program}\n" in entry, entry
        for size in ("16x16", "32x32", "48x48", "128x128"):
            assert (prefix / f"share/icons/hicolor/{size}/apps/{program}.png").is_file()
        assert (prefix / f"share/icons/hicolor/scalable/apps/{program}.svg").is_file()
    units = prefix / "share" / "systemd" / "user"
    assert sorted(os.listdir(units)) == ["zorva-backup@.service", "zorva-backup@.timer"]


def service_command(prefix, set_name):
    """(argv, environment) of the installed service unit for set `set_name`."""
    unit = (prefix / "share/systemd/user/zorva-backup@.service").read_text()
    exec_start = re.search(r"^ExecStart=(.*)$", unit, re.M).group(1)
    argv = [word.replace("%i", set_name) for word in shlex.split(exec_start)]
    env = dict(re.findall(r"^Environment=(\w+)=(.*)$", unit, re.M))
    return argv, env


def test_the_installed_unit_runs_a_backup_with_the_installed_qivftp(prefix, tmp_path, host, mail):
    argv, unit_env = service_command(prefix, "NIGHTLY")
    assert argv == [str(prefix / "bin" / "qivftp"), "NIGHTLY"]
    assert unit_env == {"QT_QPA_PLATFORM": "offscreen"}
    host.write_objects({"PAYLIB/PAYROLL/MBR2026": "給与\r\n".encode("cp932") * 300})
    program = ProgramUnderTest(tmp_path, Path(argv[0]), host, mail)
    program.write_set("NIGHTLY", BackupSet("夜間", [ObjectRow("PAYLIB", "PAYROLL", "*FILE")]))

    run = program.run(*argv[1:], env={**program.environment(), **unit_env})

    assert run.returncode == 0, run.output
    start, _, set_name, word, rows = only_result_log(program)
    assert (set_name, word) == ("NIGHTLY", "正常完了")
    assert [(r.object, r.status) for r in rows] == [("PAYROLL", "保管正常完了")]
    saved = program.base / "NIGHTLY" / "7" / start[:8] / "PAYROLL"
    assert saved.read_bytes().startswith(b"HOSTSIM SAVF 1\n")
    assert len(mail.messages()) == 1


def offscreen_env():
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    return {**env, "QT_QPA_PLATFORM": "offscreen"}


def run_installed(prefix, program, option, tmp_path):
    env = offscreen_env()
    # In an empty folder: neither option may read or make a file of a program folder.
    folder = tmp_path / f"{program}{option}"
    folder.mkdir()
    done = subprocess.run([str(prefix / "bin" / program), option], cwd=folder, env=env,
                          capture_output=True, text=True, timeout=30)
    assert os.listdir(folder) == [], (program, option)
    return done


@pytest.mark.parametrize("program", PROGRAMS)
def test_help_and_version_have_one_form(prefix, program, tmp_path):
    version = run_installed(prefix, program, "--version", tmp_path)
    assert (version.returncode, version.stderr) == (0, "")
    assert re.fullmatch(rf"{program} \d+\.\d+\.\d+\n", version.stdout), version.stdout

    usage = run_installed(prefix, program, "--help", tmp_path)
    assert (usage.returncode, usage.stderr) == (0, "")
    lines = usage.stdout.splitlines()
    assert lines[0].startswith(f"Usage: {program}"), lines[0]
    assert lines[-2:] == ["  --help       this text", "  --version    the program's version"]
    assert all(len(line) <= 100 for line in lines), usage.stdout


@pytest.mark.parametrize("program", PROGRAMS)
def test_an_unknown_option_is_refused_before_anything_starts(prefix, program, tmp_path):
    refused = run_installed(prefix, program, "--bogus", tmp_path)
    assert refused.returncode == 2
    assert refused.stdout == ""
    assert refused.stderr.startswith(f"{program}: unknown option --bogus\nUsage: {program}")


@pytest.mark.parametrize("argv, code", [
    (["velmoro"], 1), (["qivftp", "NIGHTLY"], 1), (["qivRestore"], 1), (["qivWH"], 1),
    (["qivWH", "--verify", "NIGHTLY"], 2), (["qivLog"], 1), (["qivLog", "--status"], 3)])
def test_a_removed_program_folder_is_named_not_crashed_on(prefix, argv, code, tmp_path):
    (tmp_path / "gone").mkdir()
    done = subprocess.run(["sh", "-c", 'cd gone && rmdir ../gone && exec "$@"', "sh",
                           str(prefix / "bin" / argv[0]), *argv[1:]], cwd=tmp_path,
                          env=offscreen_env(), capture_output=True, text=True, timeout=30)
    assert done.returncode == code, done.stderr
    assert done.stderr.endswith(f"{argv[0]}: the current folder (the program folder) cannot be "
                                "read: No such file or directory\n"), done.stderr
