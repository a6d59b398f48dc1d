"""Fixtures that run the simulator as its users do: a child process on a free port."""

import pytest

from hostsim_testing import Starter


@pytest.fixture
def start_host(tmp_path):
    starter = Starter(tmp_path)
    yield starter
    starter.stop_all()


@pytest.fixture
def host(start_host):
    return start_host()


@pytest.fixture(scope="module")
def shared_host(tmp_path_factory):
    """One host for the tests of a module that leave its files as they were."""
    starter = Starter(tmp_path_factory.mktemp("shared"))
    yield starter()
    starter.stop_all()


@pytest.fixture
def ftp(host):
    session = host.ftp()
    yield session
    session.close()
