"""The job time limit (JOBTIMER): counted from submission, it also interrupts a download."""

import pytest

from demo_setup import BackupSet, ObjectRow
from e2e_support import MAIL_COMMANDS, expected_mail, minute_stamp, only_result_log

ROWS = [ObjectRow("ARLIB", "INVOICES", "*FILE"), ObjectRow("PAYLIB", "PAYROLL", "*FILE"),
        ObjectRow("PAYLIB", "BONUS", "*FILE")]
OBJECTS = {
    "ARLIB/INVOICES": b"i" * 20_000,
    "PAYLIB/PAYROLL": b"p" * 2_000_000,  # 40 s at the slow rate below
    "PAYLIB/BONUS": b"b" * 1000,
}
LIMIT_MS = 5000  # room for log-on, submission and INVOICES on a busy machine
SLOW = 50_000  # bytes per second


# Each row: object, status, and which download times the result log holds: both (a finished
# download), start (a download the time limit interrupted) or none (never downloaded).
@pytest.mark.parametrize("control, expected, on_host", [
    # The host job never gets past its first object: nothing is ever saved.
    pytest.param({"hold_jobs": True},
                 [("INVOICES", "保管未完了", "none"), ("PAYROLL", "保管未完了", "none"),
                  ("BONUS", "保管未完了", "none")],
                 ["SAVLIBS"], id="job-never-finishes"),
    # INVOICES arrives, then the limit ends the download of PAYROLL half-way.
    pytest.param({"rate": SLOW},
                 [("INVOICES", "保管正常完了", "both"), ("PAYROLL", "保管未完了", "start"),
                  ("BONUS", "保管未完了", "none")],
                 ["BONUS", "PAYROLL", "SAVLIBS"], id="download-too-slow"),
])
def test_the_job_ends_as_timed_out_at_the_time_limit(program, host, mail, control, expected,
                                                     on_host):
    host.write_objects(OBJECTS)
    host.control(**control)
    program.write_settings(job_timer=LIMIT_MS)
    program.write_set("DEMO", BackupSet("時間切れ", ROWS))
    folder = program.base / "DEMO" / "7"
    earlier = folder / minute_stamp()[:8] / "PAYROLL"
    earlier.parent.mkdir(parents=True)
    earlier.write_bytes(b"an earlier generation")
    before = minute_stamp()

    run = program.run("DEMO")

    assert run.returncode == 0, run.output
    # Not before the limit; the upper bound is generous so that a busy machine cannot break it
    # (the result word below tells that the limit, not something else, ended the job).
    assert LIMIT_MS / 1000 <= run.seconds < LIMIT_MS / 1000 + 60
    start, end, set_name, word, rows = only_result_log(program)
    saved = [obj for obj, status, _ in expected if status == "保管正常完了"]
    assert (set_name, word) == ("DEMO", "一部未完" if saved else "異常終了")
    assert before <= start <= end <= minute_stamp()
    assert [(r.object, r.status) for r in rows] == [(obj, status) for obj, status, _ in expected]
    for row, (_, _, times) in zip(rows, expected):
        started = row.started if times in ("both", "start") else "000000000"
        ended = row.ended if times == "both" else "000000000"
        assert (row.started, row.ended) == (started, ended), row
        if times != "none":
            assert start <= row.started <= end, row
        if times == "both":
            assert row.started <= row.ended <= end, row

    messages = program.daily_messages()
    assert "DEMO バックアップジョブのタイムアウト" in messages
    assert "DEMO 全ての転送が完了" not in messages
    (data, envelope), = mail.messages()
    assert envelope["commands"] == MAIL_COMMANDS
    assert data == expected_mail("DEMO", start, end, rows,
                                 ["ジョブDEMOはタイムアウトによりキャンセルされた"])

    # No stop request, nothing deleted on the host; the earlier PAYROLL is untouched and no
    # partial download is left beside it.
    assert host.library("DEMO") == on_host
    manifest = ["SHA256SUMS.txt"] if saved else []
    assert sorted(p.name for p in earlier.parent.iterdir()) == sorted(["PAYROLL", *saved, *manifest])
    assert earlier.read_bytes() == b"an earlier generation"
