"""Faults and knobs set at run time through ROOT/hostsim-control.json.

The file is read again whenever it is consulted, so a test changes the
host's behaviour by rewriting it. Counted faults ("refuse 2 times") count
from the moment the file's content last changed.
"""

import json
import logging
import os
import threading
from collections import Counter
from dataclasses import dataclass, field

CONTROL_FILE = "hostsim-control.json"

log = logging.getLogger("hostsim")


class ControlError(ValueError):
    pass


@dataclass(frozen=True)
class TransferLimits:
    cut_after: int = None  # bytes after which the data connection is dropped
    rate: int = 0          # bytes per second, 0 for no limit


NO_LIMITS = TransferLimits()


@dataclass(frozen=True)
class Settings:
    refuse: dict = field(default_factory=dict)   # prefix -> times (None: always)
    cut: dict = field(default_factory=dict)      # prefix -> (after, times)
    rate: int = 0
    hold_jobs: bool = False
    fail_objects: frozenset = frozenset()
    no_verified: bool = False
    save_file_size: int = 0
    job_queues: frozenset = frozenset()


def _count(value, what):
    """How many times a fault applies: a positive count, or true for always."""
    if value is True:
        return None
    if isinstance(value, int) and not isinstance(value, bool) and value >= 0:
        return value
    raise ControlError(f"{what}: a count or true expected, got {value!r}")


def _bytes(value, what):
    if isinstance(value, int) and not isinstance(value, bool) and value >= 0:
        return value
    raise ControlError(f"{what}: a byte count expected, got {value!r}")


def _cut(value, what):
    if isinstance(value, dict):
        unknown = set(value) - {"after", "times"}
        if unknown or "after" not in value:
            raise ControlError(f"{what}: expected {{\"after\": K, \"times\": N}}")
        return _bytes(value["after"], what), _count(value.get("times", True), what)
    return _bytes(value, what), None


def _names(value, what):
    if isinstance(value, list) and all(isinstance(v, str) for v in value):
        return frozenset(v.strip().upper() for v in value)
    raise ControlError(f"{what}: a list of names expected")


def _mapping(value, what, parse):
    if not isinstance(value, dict):
        raise ControlError(f"{what}: an object expected")
    return {k.strip().upper(): parse(v, f"{what}[{k}]") for k, v in value.items()}


def parse_settings(raw):
    """Settings from the file's bytes; ControlError names what is wrong."""
    if not raw.strip():
        return Settings()
    try:
        data = json.loads(raw)
    except ValueError as err:
        raise ControlError(f"not JSON: {err}") from None
    if not isinstance(data, dict):
        raise ControlError("a JSON object expected")
    unknown = set(data) - set(Settings.__dataclass_fields__)
    if unknown:
        raise ControlError(f"unknown keys: {', '.join(sorted(unknown))}")
    return Settings(
        refuse=_mapping(data.get("refuse", {}), "refuse", _count),
        cut=_mapping(data.get("cut", {}), "cut", _cut),
        rate=_bytes(data.get("rate", 0), "rate"),
        hold_jobs=bool(data.get("hold_jobs", False)),
        fail_objects=_names(data.get("fail_objects", []), "fail_objects"),
        no_verified=bool(data.get("no_verified", False)),
        save_file_size=_bytes(data.get("save_file_size", 0), "save_file_size"),
        job_queues=_names(data.get("job_queues", []), "job_queues"),
    )


def _matching_key(mapping, line):
    """The longest key that the command line starts with, or None."""
    command = line.lstrip().upper()
    keys = [k for k in mapping if command.startswith(k)]
    return max(keys, key=len) if keys else None


class Control:
    """The control file of one root, shared by the FTP sessions and the jobs."""

    def __init__(self, root):
        self.path = os.path.join(root, CONTROL_FILE)
        self._lock = threading.Lock()
        self._raw = b""
        self._settings = Settings()
        self._used = Counter()

    def settings(self):
        with self._lock:
            return self._load()

    def take_refusal(self, line):
        """True when this command line is to be refused (and count the use)."""
        with self._lock:
            refuse = self._load().refuse
            key = _matching_key(refuse, line)
            return key is not None and self._consume(("refuse", key), refuse[key])

    def transfer_limits(self, line):
        """The limits for the transfer this RETR or STOR line starts."""
        with self._lock:
            settings = self._load()
            key = _matching_key(settings.cut, line)
            cut_after = None
            if key is not None:
                after, times = settings.cut[key]
                if self._consume(("cut", key), times):
                    cut_after = after
            return TransferLimits(cut_after, settings.rate)

    def _load(self):
        try:
            with open(self.path, "rb") as f:
                raw = f.read()
        except FileNotFoundError:
            raw = b""
        if raw != self._raw:
            self._raw = raw
            self._used.clear()
            try:
                self._settings = parse_settings(raw)
            except ControlError as err:
                log.warning("%s ignored: %s", self.path, err)
                self._settings = Settings()
        return self._settings

    def _consume(self, ident, times):
        if times is not None and self._used[ident] >= times:
            return False
        self._used[ident] += 1
        return True
