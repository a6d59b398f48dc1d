"""The one way the Python tests wait: for something they can see, never for a fixed time."""

import time


def wait_for(predicate, timeout, what, interval=0.02):
    """Polls `predicate` until it gives a true value and returns that value; fails the test
    naming `what` when `timeout` seconds pass first."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"not within {timeout} s: {what}")
        time.sleep(interval)
