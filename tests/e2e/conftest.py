"""Fixtures of the end-to-end tests: the real qivftp against the host simulator and mail sink.

The binary comes from --qivftp or the environment variable QIVFTP (CTest passes it).
Every test gets its own folders, free ports and XDG_RUNTIME_DIR, so tests may run at once.
"""

import os
from pathlib import Path

import pytest

from e2e_support import HOST_PASSWORD, HOST_USER, Gate, Host, MailSink, ProgramUnderTest
from hostsim.launch import start as start_simulator, stop as stop_process


def pytest_addoption(parser):
    parser.addoption("--qivftp", default=os.environ.get("QIVFTP"),
                     help="the qivftp binary (default: $QIVFTP)")
    parser.addoption("--qivrestore", default=os.environ.get("QIVRESTORE"),
                     help="the qivRestore binary (default: $QIVRESTORE)")


@pytest.fixture(scope="session")
def qivftp_binary(pytestconfig):
    path = pytestconfig.getoption("--qivftp")
    if not path or not os.access(path, os.X_OK):
        raise pytest.UsageError(f"no qivftp binary: pass --qivftp PATH or set QIVFTP (got {path!r})")
    return Path(path).resolve()


@pytest.fixture(scope="session")
def qivrestore_binary(pytestconfig):
    path = pytestconfig.getoption("--qivrestore")
    if not path or not os.access(path, os.X_OK):
        raise pytest.UsageError(
            f"no qivRestore binary: pass --qivrestore PATH or set QIVRESTORE (got {path!r})")
    return Path(path).resolve()


@pytest.fixture
def processes():
    started = []
    yield started
    for proc in reversed(started):
        stop_process(proc)


@pytest.fixture
def host(tmp_path, processes):
    root = tmp_path / "host"
    # As on a busy host, a submitted job waits in its queue longer than one poll (FILETIMER).
    proc, port = start_simulator(
        ["serve", "--root", str(root), "--port", "0", "--installed",
         "--user", HOST_USER, "--password", HOST_PASSWORD,
         "--queue-wait", "0.5", "--object-delay", "0.05"],
        tmp_path / "host.log")
    processes.append(proc)
    return Host(root, proc, port)


@pytest.fixture
def mail(tmp_path, processes):
    folder = tmp_path / "mail"
    proc, port = start_simulator(["mailsink", "--dir", str(folder), "--port", "0"],
                                 tmp_path / "mailsink.log")
    processes.append(proc)
    return MailSink(folder, proc, port)


@pytest.fixture
def program(tmp_path, qivftp_binary, host, mail):
    return ProgramUnderTest(tmp_path, qivftp_binary, host, mail)


@pytest.fixture
def gate(host, program):
    """A relay between qivftp and the host, so a test sees every connection qivftp makes."""
    relay = Gate(host.port)
    program.write_settings(ftp_port=relay.port)
    yield relay
    relay.close()
