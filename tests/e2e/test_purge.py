"""The purge of old day folders: every-day sets only, before the host is contacted."""

import datetime
import os

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import only_result_log

WEEKDAYS = ["Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"]


def day(days_ago):
    return (datetime.date.today() - datetime.timedelta(days=days_ago)).strftime("%Y%m%d")


def lay_out_old_generations(base, outside):
    """Earlier generations below BASEDIR/DEMO, and what must survive any purge.

    Returns the paths (relative to BASEDIR/DEMO) an every-day purge with retention 7 removes.
    """
    demo = base / "DEMO"
    keep = demo / "7"
    files = {
        # day folders of the retention folder
        f"7/{day(8)}/PAYROLL": b"eight days old",
        f"7/{day(30)}/PAYROLL": b"a month old",
        "7/20000101/PAYROLL": b"from another century",
        f"7/{day(7)}/PAYROLL": b"exactly at the cut-off: kept",
        f"7/{day(1)}/PAYROLL": b"yesterday",
        # a day folder that still holds a folder cannot be removed; its plain files go
        f"7/{day(9)}/PAYROLL": b"nine days old",
        f"7/{day(9)}/NESTED/KEEP": b"below a sub-folder",
        # names that are not eight digits, and plain files, stay whatever they sort like
        "7/1999/PAYROLL": b"four digits",
        "7/2000010/PAYROLL": b"seven digits",
        "7/200001010/PAYROLL": b"nine digits",
        "7/ABCDEFGH/PAYROLL": b"letters",
        "7/20000102": b"a plain file with a day's name",
        # outside the retention folder nothing is purged
        "20000101/PAYROLL": b"a dated folder of the set folder",
        "6/20000101/PAYROLL": b"another retention folder",
    }
    for relative, data in files.items():
        (demo / relative).parent.mkdir(parents=True, exist_ok=True)
        (demo / relative).write_bytes(data)
    # A link with a day's name leads out of the save folder: it must not be followed.
    (outside / "PAYROLL").write_bytes(b"outside the save folder")
    os.symlink(outside, keep / "20000103")
    removed = {f"7/{day(8)}", f"7/{day(8)}/PAYROLL", f"7/{day(30)}", f"7/{day(30)}/PAYROLL",
               "7/20000101", "7/20000101/PAYROLL", f"7/{day(9)}/PAYROLL"}
    return removed


def tree(folder):
    return {str(p.relative_to(folder)) for p in folder.rglob("*")}


@pytest.mark.parametrize("schedule, generation, purges", [
    pytest.param(dict(daily_kind="1", retention="7"), f"7/{day(0)}", True, id="every-day"),
    pytest.param(dict(daily_kind="2", weekdays="1111111"),
                 WEEKDAYS[datetime.date.today().weekday()], False, id="weekdays"),
    pytest.param(dict(schedule_group="2", daily_kind="0", monthly_kind="1", month_day=""),
                 day(0)[:6] + "01", False, id="first-of-month"),
])
def test_old_day_folders_are_purged_before_connecting_for_every_day_sets_only(
        tmp_path, program, host, mail, gate, schedule, generation, purges):
    host.write_objects({"PAYLIB/PAYROLL": b"payroll"})
    program.write_set("DEMO", BackupSet("世代削除", [ObjectRow("PAYLIB", "PAYROLL", "*FILE")],
                                        **schedule))
    outside = tmp_path / "outside"
    outside.mkdir()
    removed = lay_out_old_generations(program.base, outside)
    demo = program.base / "DEMO"
    before = tree(demo)
    at_connect = []
    gate.on_connect = lambda: at_connect.append(tree(demo))

    run = program.run("DEMO")

    assert run.returncode == 0, run.output
    assert only_result_log(program)[3] == "正常完了"
    expected = (before - removed if purges else before) | {generation}
    assert at_connect[0] == expected  # the purge was over when qivftp first connected
    assert tree(demo) == expected | {f"{generation}/PAYROLL", f"{generation}/SHA256SUMS.txt"}
    assert (demo / generation / "PAYROLL").is_file()
    assert (outside / "PAYROLL").read_bytes() == b"outside the save folder"
    failures = program.daily_messages().count("削除対象ディレクトリの削除に失敗した")
    assert failures == (1 if purges else 0)  # the folder holding a sub-folder
