"""Starting and stopping the simulator from another program (tests, the demo, benchmarks)."""

import re
import select
import signal
import subprocess
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
PYTHON = "/usr/bin/python3"  # Debian's, which has pyftpdlib and aiosmtpd


def start(args, log_path, timeout=10):
    """Start `python3 -m hostsim ARGS`; (process, port) once it announced its port.

    Standard error goes to `log_path`; a simulator that does not announce itself in time is
    killed and the error names its first line and log."""
    with open(log_path, "wb") as log:
        proc = subprocess.Popen([PYTHON, "-m", "hostsim", *args], cwd=REPO,
                                stdout=subprocess.PIPE, stderr=log)
    ready, _, _ = select.select([proc.stdout], [], [], timeout)
    line = proc.stdout.readline().decode() if ready else ""
    match = re.fullmatch(r"listening on 127\.0\.0\.1:(\d+)\n", line)
    if not match:
        stop(proc)
        raise RuntimeError(f"hostsim did not start: first line {line!r}; log:\n"
                           f"{Path(log_path).read_text(errors='replace')}")
    return proc, int(match.group(1))


def stop(proc):
    """End a simulator with SIGTERM (killed when it does not end within 5 seconds)."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    if proc.stdout:
        proc.stdout.close()
