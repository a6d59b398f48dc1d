#!/usr/bin/python3
"""Verification benchmark of `qivWH --verify` against `sha256sum -c` (see bench/README.md).

A generation folder of --files save files of --file-mib MiB each and its SHA256SUMS.txt (made
by sha256sum) is checked by both commands in alternating order; each side is timed over its
whole process. The files are read once before the rounds, so both hash from the page cache:
the figure is the rate of the hashing, not of the disk. The medians over --repeats rounds
count; the goal is qivWH at no less than 0.8 of sha256sum's rate.

    /usr/bin/python3 bench/verify_bench.py [--files 4 --file-mib 256 --repeats 5]

Exit status 0 when the goal is met, 1 when not.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "scripts"))
from demo_setup import ProgramFolder, Settings  # noqa: E402

SET_NAME, GENERATION = "BENCH", "20260101"
MIB = 1024 * 1024


def lay_out(work, files, size):
    """A program folder whose set BENCH has one generation of `files` save files."""
    program = ProgramFolder(work / "program").create()
    base = work / "save"
    program.write_settings(Settings(base_dir=f"{base}/", ftp_port=21, mail_port=25))
    folder = base / SET_NAME / GENERATION
    folder.mkdir(parents=True)
    chunk = os.urandom(MIB)
    for i in range(files):
        with open(folder / f"OBJ{chr(ord('A') + i)}", "wb") as out:
            for _ in range(size // MIB):
                out.write(chunk)
    names = sorted(p.name for p in folder.iterdir())
    sums = subprocess.run(["sha256sum", *names], cwd=folder, check=True, capture_output=True)
    (folder / "SHA256SUMS.txt").write_bytes(sums.stdout)
    return program.path, folder


def timed(command, cwd):
    started = time.monotonic()
    proc = subprocess.run(command, cwd=cwd, capture_output=True, text=True)
    seconds = time.monotonic() - started
    if proc.returncode != 0 or "DAMAGED" in proc.stdout or "FAILED" in proc.stdout:
        raise RuntimeError(f"{command[0]} ended {proc.returncode}: {proc.stdout}{proc.stderr}")
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--qivwh", default=str(REPO / "build/bin/qivWH"))
    parser.add_argument("--files", type=int, default=4)
    parser.add_argument("--file-mib", type=int, default=256)
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--work-root", default=None)
    args = parser.parse_args()
    if not os.access(args.qivwh, os.X_OK):
        parser.error(f"no qivWH binary at {args.qivwh}: build first")

    work = Path(tempfile.mkdtemp(prefix="zorva-verify-bench-", dir=args.work_root))
    try:
        program, folder = lay_out(work, args.files, args.file_mib * MIB)
        total = args.files * args.file_mib * MIB
        ours = [args.qivwh, "--verify", SET_NAME, GENERATION]
        theirs = ["sha256sum", "-c", "--quiet", "SHA256SUMS.txt"]
        timed(theirs, folder)  # reads every file into the page cache
        rates = {"qivWH": [], "sha256sum": []}
        for number in range(args.repeats):
            order = [("qivWH", ours, program), ("sha256sum", theirs, folder)]
            for name, command, cwd in order if number % 2 == 0 else reversed(order):
                rates[name].append(total / timed(command, cwd) / 1e6)
            print(f"  round {number + 1}: qivWH {rates['qivWH'][-1]:8.1f} MB/s, "
                  f"sha256sum {rates['sha256sum'][-1]:8.1f} MB/s", flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    ours_rate = statistics.median(rates["qivWH"])
    theirs_rate = statistics.median(rates["sha256sum"])
    ratio = ours_rate / theirs_rate
    print(f"\n{args.files} files of {args.file_mib} MiB, median of {args.repeats} rounds")
    print(f"qivWH --verify  {ours_rate:8.1f} MB/s")
    print(f"sha256sum -c    {theirs_rate:8.1f} MB/s")
    print(f"ratio           {ratio:8.3f}   (goal: at least 0.8)")
    return 0 if ratio >= 0.8 else 1


if __name__ == "__main__":
    sys.exit(main())
