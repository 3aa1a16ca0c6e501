"""A host of the ZLNETDRV driver: the driver's lifecycle, its message pump,
and reads and writes by station, group and object, with the channel numbers
taken from the driver's own channel map."""

from __future__ import annotations

import ctypes
import json
import os
import queue
import select
import struct
import threading
import time
from dataclasses import dataclass
from enum import Enum
from typing import Any, Callable, Dict, Iterable, List, Mapping, Optional, Set, TypeVar, Union

from . import _lib
from ._lib import HostValue, TYPE_CODES

T = TypeVar("T")
Number = Union[int, float]

# Diagnostic channels of the driver.
_CH_CONNECTED = 488
_CH_QUEUED = 490
_CH_CYCLE_STATE = 495
_CH_WRITES_QUEUED = 497
# Sample memory channels.
_CH_SAMPLE_STATION = 60000
_CH_SAMPLE_BLOCK = 60001
_CH_SAMPLE_ROW = 60002
_CH_SAMPLE_START = 60003
_CH_SAMPLE_VALUES = 60010
_CH_SAMPLE_BUSY = 60018
SAMPLE_ROWS = 528

# The layout of each number type in HostValue's value bytes.
_FORMATS = {
    _lib.TYPE_BOOL: "<B", _lib.TYPE_U8: "<B", _lib.TYPE_U16: "<H", _lib.TYPE_U32: "<I",
    _lib.TYPE_I8: "<b", _lib.TYPE_I16: "<h", _lib.TYPE_I32: "<i",
    _lib.TYPE_SINGLE: "<f", _lib.TYPE_DOUBLE: "<d",
}

# The command that reads a group and the flag its answer raises.
_READS = {
    "bi": ("out_read_BI", "bi_new_BI"),
    "ai": ("out_read_AI", "bi_new_AI"),
    "aik": ("out_read_AItolvin", "bi_new_AI"),
    "ct": ("out_read_CT", None),
    "mi": ("out_read_KI", "bi_new_MI"),
}
# The event lines of a connect and of a socket error (Czech, or English when
# the process sets ZLNETDRV_LANG=en).
_TCP_INIT = ("Inicializace TCP", "TCP initialisation")
_TCP_ERROR = ("Chyba TCP", "TCP error")
GROUPS = ("bi", "bo", "ai", "aik", "ct", "mo", "mi", "mb", "qq")


class ZlError(Exception):
    """A failure of the driver or of the line, with the driver's message."""


class Quality(str, Enum):
    NEVER_READ = "never read"
    FRESH = "fresh"
    STALE = "stale"


@dataclass(frozen=True)
class Value:
    group: str
    object: int  # 1-based object or item number; 0 for a QQ variable
    channel: int
    value: Union[bool, float, int, str]
    quality: Quality


class _Job:
    def __init__(self, fn: Callable[[], Any]) -> None:
        self.fn = fn
        self.done = threading.Event()
        self.result: Any = None
        self.error: Optional[BaseException] = None


class Driver:
    """The driver loaded for one parameter file, as a context manager:

        with Driver("line.par") as d:
            d.connect(1)
            for v in d.read(1, ["ai"]):
                print(v.object, v.value, v.quality.value)

    Every call into the library runs on one thread of the Driver's own, which
    also pumps the driver's messages between calls, as the driver requires.
    """

    def __init__(
        self,
        parameter_file: Union[str, "os.PathLike[str]"],
        library: Optional[str] = None,
        timeout: float = 10.0,
        host_name: str = "Python",
    ) -> None:
        self.parameter_file = os.fspath(parameter_file)
        self.library_path = library
        self.timeout = timeout
        self.host_name = host_name
        self._lib: Optional[ctypes.CDLL] = None
        self._h: Optional[int] = None
        self._jobs: "queue.Queue[Optional[_Job]]" = queue.Queue()
        self._thread: Optional[threading.Thread] = None
        self._wake_r, self._wake_w = -1, -1
        self._pumped = threading.Condition()
        self._map: Dict[str, Any] = {}
        self._fresh: Dict[int, Set[str]] = {}
        self._bo_known: Dict[int, Set[int]] = {}

    # --- lifecycle

    def __enter__(self) -> "Driver":
        self.open()
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def open(self) -> None:
        """MakeDriver and Init; raises ZlError with the driver's message."""
        if self._thread:
            return
        lib = _lib.load_library(self.library_path)
        self._lib = lib
        if hasattr(lib, "MessageFd"):
            self._wake_r, self._wake_w = os.pipe()
        self._thread = threading.Thread(target=self._run, name="zlnetdrv", daemon=True)
        self._thread.start()
        try:
            self._call(self._init)
        except BaseException:
            self.close()
            raise
        self._map = json.loads(self._text(lib.GetChannelMap))

    def _init(self) -> None:
        lib = self._lib
        assert lib is not None
        self._h = lib.MakeDriver()
        text = ctypes.create_string_buffer(self.host_name.encode("cp1250", "replace"), 256)
        name = os.fsencode(self.parameter_file)
        if not lib.Init(self._h, 255, name, 0, text, 1):
            message = text.value.decode("cp1250", "replace")
            lib.Done(self._h)
            lib.DisposeDriver(self._h)
            self._h = None
            raise ZlError(message or "the driver refused " + self.parameter_file)

    def close(self) -> None:
        """Done and DisposeDriver; the Driver cannot be used after it."""
        if not self._thread:
            return

        def stop() -> None:
            if self._h is not None and self._lib is not None:
                self._lib.Done(self._h)
                self._lib.DisposeDriver(self._h)
                self._h = None

        try:
            self._call(stop)
        finally:
            self._jobs.put(None)
            self._wake()
            self._thread.join()
            self._thread = None
            for fd in (self._wake_r, self._wake_w):
                if fd >= 0:
                    os.close(fd)
            self._wake_r = self._wake_w = -1

    # --- the driver's thread

    def _wake(self) -> None:
        if self._wake_w >= 0:
            os.write(self._wake_w, b"x")

    def _run(self) -> None:
        lib = self._lib
        assert lib is not None
        while True:
            try:
                job = self._jobs.get_nowait()
            except queue.Empty:
                job = self._idle(lib)
                if job is False:
                    continue
            if job is None:
                return
            try:
                job.result = job.fn()
            except BaseException as e:  # handed to the caller
                job.error = e
            job.done.set()

    def _idle(self, lib: ctypes.CDLL) -> Any:
        """Waits for a message or a job; pumps the messages. A job, or False."""
        h = self._h
        if h is None:
            try:
                return self._jobs.get(timeout=0.1)
            except queue.Empty:
                return False
        if self._wake_r >= 0:
            fd = lib.MessageFd(h)
            readable, _, _ = select.select([fd, self._wake_r], [], [], 0.1)
            if self._wake_r in readable:
                os.read(self._wake_r, 4096)
        else:
            try:
                return self._jobs.get(timeout=0.01)
            except queue.Empty:
                pass
        lib.PumpMessages(h, 0)
        with self._pumped:
            self._pumped.notify_all()
        return False

    def _call(self, fn: Callable[[], T]) -> T:
        if threading.current_thread() is self._thread:
            return fn()
        if not self._thread:
            raise ZlError("the driver is closed")
        job = _Job(fn)
        self._jobs.put(job)
        self._wake()
        job.done.wait()
        if job.error is not None:
            raise job.error
        return job.result  # type: ignore[no-any-return]

    def _wait(self, condition: Callable[[], bool], timeout: float) -> bool:
        """Pumps until condition (run on the driver's thread) holds; False
        when timeout seconds pass first."""
        deadline = time.monotonic() + timeout
        while True:
            if self._call(condition):
                return True
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            with self._pumped:
                self._pumped.wait(min(left, 0.05))

    # --- raw channel access (on the driver's thread)

    def _get(self, channel: int, type_code: int) -> Any:
        lib, h = self._lib, self._h
        assert lib is not None
        v = HostValue()
        v.type = type_code
        if type_code == _lib.TYPE_TEXT:
            buf = ctypes.create_string_buffer(256)
            struct.pack_into("<Q" if ctypes.sizeof(ctypes.c_void_p) == 8 else "<I", v.value, 0,
                             ctypes.addressof(buf))
            lib.GetInput(h, channel, ctypes.byref(v))
            return buf.value.decode("cp1250", "replace").rstrip()
        lib.GetInput(h, channel, ctypes.byref(v))
        raw = bytes(v.value)
        fmt = _FORMATS[type_code]
        value = struct.unpack_from(fmt, raw)[0]
        return bool(value) if type_code == _lib.TYPE_BOOL else value

    def _put(self, channel: int, type_code: int, value: Any) -> None:
        lib = self._lib
        assert lib is not None
        fmt = _FORMATS[type_code]
        if type_code in (_lib.TYPE_SINGLE, _lib.TYPE_DOUBLE):
            value = float(value)
        else:
            value = int(value)
        raw = struct.pack(fmt, value).ljust(8, b"\0")
        lib.OutputRequest(self._h, channel, type_code, struct.unpack("<Q", raw)[0])

    def get(self, channel: int, type_name: str = "double") -> Any:
        """The value the driver holds for channel, read as type_name."""
        code = TYPE_CODES[type_name]
        return self._call(lambda: self._get(channel, code))

    def set(self, channel: int, value: Any, type_name: str = "double") -> None:
        """Writes value to channel as type_name (OutputRequest), unchecked."""
        code = TYPE_CODES[type_name]
        self._call(lambda: self._put(channel, code, value))

    def _text(self, fn: Callable[..., int]) -> str:
        def get() -> str:
            n = fn(self._h, None, 0)
            buf = ctypes.create_string_buffer(n + 1)
            fn(self._h, buf, n + 1)
            return buf.raw[:n].decode("utf-8")

        return self._call(get)

    # --- what the driver knows

    def channels(self) -> Dict[str, Any]:
        """The channel map: stations, groups, objects and their channels."""
        return self._map

    def status(self) -> Dict[str, Any]:
        """The status window: captions, state and event lines."""
        assert self._lib is not None
        result: Dict[str, Any] = json.loads(self._text(self._lib.GetStatusWindow))
        return result

    def _station(self, number: int) -> Dict[str, Any]:
        for st in self._map.get("stations", []):
            if st["number"] == number:
                return st  # type: ignore[no-any-return]
        raise ZlError(f"no station {number} in {self.parameter_file}")

    @staticmethod
    def _channel(st: Mapping[str, Any], name: str) -> int:
        for c in st["channels"]:
            if c["name"] == name:
                return int(c["channel"])
        raise ZlError(f"station {st['number']} ({st['name']}) has no {name} channel")

    @staticmethod
    def _objects(st: Mapping[str, Any], group: str) -> List[Dict[str, Any]]:
        for g in st["groups"]:
            if g["group"] == group:
                return list(g["objects"])
        return []

    def _describe(self, st: Mapping[str, Any]) -> str:
        return f"station {st['number']} ({st['name']}, gateway {st['gateway']})"

    # --- connection

    def _online(self, st: Mapping[str, Any]) -> bool:
        connected = self._channel(st, "in_connected_modem")
        return bool(self._get(connected, _lib.TYPE_BOOL)) and self._get(
            _CH_CONNECTED, _lib.TYPE_DOUBLE
        ) == 1.0

    def _refusal(self) -> Optional[str]:
        """The socket error logged since the last connect, if any."""
        assert self._lib is not None
        events: List[str] = json.loads(self._text(self._lib.GetStatusWindow)).get("events", [])
        start = max((i for i, e in enumerate(events) if e.startswith(_TCP_INIT)), default=-1)
        if start < 0:
            return None
        for line in events[start + 1:]:
            if line.startswith(_TCP_ERROR):
                return line
        return None

    def connect(self, station: int, timeout: Optional[float] = None) -> None:
        """Opens the gateway connection of station; raises ZlError at once when
        the gateway refuses it, or when it is not up within timeout."""
        st = self._station(station)
        if self._call(lambda: self._online(st)):
            return
        command = self._channel(st, "out_connect_modem")
        self._call(lambda: self._put(command, _lib.TYPE_BOOL, 1))
        refused: List[str] = []

        def done() -> bool:
            if self._online(st):
                return True
            line = self._refusal()
            if line:
                refused.append(line)
            return bool(line)

        if not self._wait(done, self.timeout if timeout is None else timeout):
            raise ZlError(f"could not connect to {self._describe(st)} within {timeout or self.timeout} s")
        if refused:
            raise ZlError(f"could not connect to {self._describe(st)}: {refused[0]}")

    # --- exchanges

    def _exchange(self, st: Mapping[str, Any], flags: Iterable[int], issue: Callable[[], None],
                  timeout: float) -> bool:
        """Clears flags, issues requests and waits until the driver's queues
        are empty and every flag is up. False when the station failed (time-out
        counted, asleep, connection lost, error item) or the wait ran out."""
        flags = list(flags)
        timeouts_ch = self._channel(st, "ErrorNoAnswer")
        errors_ch = self._channel(st, "ErrorInMess")
        sleep_ch = self._channel(st, "SleepTime")
        fault_ch = self._channel(st, "in_last_com_err")
        D, B = _lib.TYPE_DOUBLE, _lib.TYPE_BOOL

        def start() -> tuple:
            for f in flags:
                self._put(f, B, 0)
            before = (self._get(timeouts_ch, D), self._get(errors_ch, D))
            issue()
            return before

        timeouts0, errors0 = self._call(start)
        state = {"failed": False}

        def settled() -> bool:
            if self._get(sleep_ch, D) > 0 or not self._online(st):
                state["failed"] = True
                return True
            return self._get(_CH_QUEUED, D) == 0 and self._get(_CH_CYCLE_STATE, D) == 0

        if not self._wait(settled, timeout) or state["failed"]:
            return False

        def failed() -> bool:
            return (bool(self._get(fault_ch, B)) or self._get(timeouts_ch, D) > timeouts0
                    or self._get(errors_ch, D) > errors0)

        if self._call(failed):
            return False
        # An answer is decoded a pass after the queues empty: wait for the flags.
        return self._wait(lambda: all(self._get(f, B) for f in flags), timeout)

    def read(self, station: int, groups: Iterable[str] = ("bi", "ai", "ct", "mi"),
             timeout: Optional[float] = None) -> List[Value]:
        """Reads the groups of station from the controller and returns every
        object's value with its quality: fresh when this read got it, stale
        when it failed and an older value is held, never read otherwise.
        Binary outputs (bo) and memory outputs (mo) of a station that does not
        dial are never read back: their values are what the driver holds."""
        st = self._station(station)
        groups = list(groups)
        for g in groups:
            if g not in GROUPS:
                raise ZlError(f"no group {g!r}: one of {', '.join(GROUPS)}")
        self.connect(station, timeout)
        wait = self.timeout if timeout is None else timeout
        dials = str(st.get("phone", "")).startswith("D")
        fresh = self._fresh.setdefault(station, set())
        for g in groups:
            commands: List[int] = []
            requests: List[int] = []
            flag: Optional[int] = None
            if g in _READS and not (g == "mi" and dials):
                command, flag_name = _READS[g]
                commands.append(self._channel(st, command))
                flag = self._channel(st, flag_name) if flag_name else None
            elif g == "mo" and dials:
                commands.append(self._channel(st, "out_read_KI"))
                flag = self._channel(st, "bi_new_MI")
            elif g == "mb":
                commands += [b["read"]["channel"] for b in st["memoryBlocks"] if b["read"]]
            elif g == "qq":
                requests += [v["channel"] for v in st["variables"]
                             if v["direction"] in ("READ", "BIDIR")]
            if not commands and not requests:
                continue

            def issue(commands: List[int] = commands, requests: List[int] = requests) -> None:
                assert self._lib is not None
                for c in commands:
                    self._put(c, _lib.TYPE_BOOL, 1)
                for r in requests:
                    self._lib.InputRequest(self._h, r)

            if self._exchange(st, [flag] if flag else [], issue, wait):
                fresh.add(g)
            elif g in fresh:
                fresh.discard(g)
                fresh.add(g + ":stale")
        return self._call(lambda: self._values(st, groups, dials))

    def _quality(self, station: int, group: str) -> Quality:
        fresh = self._fresh.get(station, set())
        if group in fresh:
            return Quality.FRESH
        if group + ":stale" in fresh:
            return Quality.STALE
        return Quality.NEVER_READ

    def _values(self, st: Mapping[str, Any], groups: List[str], dials: bool) -> List[Value]:
        out: List[Value] = []
        number = st["number"]
        for g in groups:
            q = self._quality(number, g)
            if g in ("bi", "bo", "ai", "aik", "ct", "mo", "mi"):
                for o in self._objects(st, "ai" if g == "aik" else g):
                    type_name = o["read"][0]
                    out.append(Value(g, o["object"], o["channel"],
                                     self._get(o["channel"], TYPE_CODES[type_name]), q))
            elif g == "mb":
                for b in st["memoryBlocks"]:
                    for item in b["items"]:
                        out.append(Value(g, item["item"], item["channel"],
                                         self._get(item["channel"], TYPE_CODES[item["read"][0]]),
                                         q))
            elif g == "qq":
                for v in st["variables"]:
                    if v["direction"] not in ("READ", "BIDIR"):
                        continue
                    type_name = {"STRING": "text", "LONGINT": "i32"}.get(v["type"], "double")
                    out.append(Value(g, 0, v["channel"],
                                     self._get(v["channel"], TYPE_CODES[type_name]), q))
        return out

    def write(
        self,
        station: int,
        bo: Optional[Mapping[int, Union[bool, int]]] = None,
        mo: Optional[Mapping[int, Number]] = None,
        qq: Optional[Mapping[int, Number]] = None,
        mb: Optional[Mapping[int, Number]] = None,
        others_off: bool = False,
        timeout: Optional[float] = None,
    ) -> List[str]:
        """Writes binary outputs (bo, by object number), memory outputs (mo,
        by object number), QQ variables (qq, by channel) and memory block
        items (mb, by channel), then waits until the driver has sent them.

        The driver sends a station's binary outputs together, in whole groups
        of eight, from the values it holds; it holds 0 for an output that this
        Driver was never told. So a write of binary outputs names every output
        that goes with them that was not written before, or says others_off=True
        to send those as 0. Otherwise nothing is sent and ZlError names the
        outputs left out. Returns what was written, as "bo 3=1" texts."""
        st = self._station(station)
        writes: List[tuple] = []  # (channel, type code, value, group, text)
        bo_objects = {o["object"]: o for o in self._objects(st, "bo")}
        reach = min(96, len(bo_objects) // 8 * 8)
        known = self._bo_known.setdefault(station, set())
        if bo:
            for k, v in bo.items():
                if k not in bo_objects:
                    raise ZlError(f"{self._describe(st)} has no binary output {k}")
                if k > reach:
                    raise ZlError(
                        f"binary output {k} of {self._describe(st)} is never sent: the driver "
                        f"writes binary outputs in whole groups of eight, outputs 1-{reach}")
                writes.append((bo_objects[k]["channel"], _lib.TYPE_BOOL, 1 if v else 0, "bo",
                               f"bo {k}={1 if v else 0}"))
            missing = [k for k in range(1, reach + 1) if k not in bo and k not in known]
            if missing and not others_off:
                raise ZlError(
                    f"the driver sends binary outputs 1-{reach} of {self._describe(st)} together "
                    f"and holds 0 for every output it was not told: name every one (not named: "
                    f"{' '.join(map(str, missing))}), or pass others_off=True to send those as 0")
            for k in missing:
                writes.append((bo_objects[k]["channel"], _lib.TYPE_BOOL, 0, "bo", f"bo {k}=0"))
        mo_objects = {o["object"]: o for o in self._objects(st, "mo")}
        for k, v in (mo or {}).items():
            if k not in mo_objects:
                raise ZlError(f"{self._describe(st)} has no memory output {k}")
            writes.append((mo_objects[k]["channel"], _lib.TYPE_DOUBLE, float(v), "mo", f"mo {k}={v}"))
        variables = {v["channel"]: v for v in st["variables"]}
        for ch, v in (qq or {}).items():
            var = variables.get(ch)
            if not var or var["direction"] not in ("WRITE", "BIDIR"):
                raise ZlError(f"channel {ch} is no QQ variable of {self._describe(st)} that "
                              f"can be written")
            type_name = "i32" if var["type"] == "LONGINT" else "double"
            writes.append((ch, TYPE_CODES[type_name], v, "qq", f"qq {ch}={v}"))
        items = {i["channel"]: i for b in st["memoryBlocks"] for i in b["items"]}
        for ch, v in (mb or {}).items():
            item = items.get(ch)
            if not item or not item["write"]:
                raise ZlError(f"channel {ch} is no memory block item of {self._describe(st)} "
                              f"that can be written")
            writes.append((ch, TYPE_CODES[item["write"][0]], v, "mb", f"mb {ch}={v}"))
        if not writes:
            return []
        self.connect(station, timeout)
        write_bo = self._channel(st, "out_write_BO")

        def issue() -> None:
            bo_queued = False
            for ch, code, v, group, _ in writes:
                before = self._get(_CH_WRITES_QUEUED, _lib.TYPE_DOUBLE)
                self._put(ch, code, v)
                queued = self._get(_CH_WRITES_QUEUED, _lib.TYPE_DOUBLE) != before
                if group == "mo" and not queued:
                    # The frame is built from the value held when it is sent:
                    # a detour through another value queues the write.
                    self._put(ch, code, 1.0 if v == 0 else 0.0)
                    self._put(ch, code, v)
                bo_queued = bo_queued or (group == "bo" and queued)
            if any(w[3] == "bo" for w in writes) and not bo_queued:
                self._put(write_bo, _lib.TYPE_BOOL, 1)

        if not self._exchange(st, [], issue, self.timeout if timeout is None else timeout):
            raise ZlError(f"{self._describe(st)} did not take the write: "
                          + "; ".join(self._last_events(2)))
        known.update(k for k in range(1, reach + 1) if any(
            w[3] == "bo" and w[4].startswith(f"bo {k}=") for w in writes))
        return [w[4] for w in writes]

    def _last_events(self, count: int) -> List[str]:
        events: List[str] = self.status().get("events", [])
        return events[-count:]

    def samples(self, station: int, block: int = 1, timeout: Optional[float] = None
                ) -> List[List[float]]:
        """Transfers sample block 1..3 of station's sample memory and returns
        its 528 rows of 8 values."""
        st = self._station(station)
        if block not in (1, 2, 3):
            raise ZlError("the sample block is 1, 2 or 3")
        self.connect(station, timeout)
        U8, B = _lib.TYPE_U8, _lib.TYPE_BOOL

        def start() -> None:
            self._put(_CH_SAMPLE_STATION, U8, station)
            self._put(_CH_SAMPLE_BLOCK, U8, block)
            self._put(_CH_SAMPLE_START, B, 1)

        self._call(start)
        wait = max(self.timeout, 60.0) if timeout is None else timeout
        if not self._wait(lambda: not self._get(_CH_SAMPLE_BUSY, B), wait):
            raise ZlError(f"the sample transfer of {self._describe(st)} did not end within "
                          f"{wait} s: " + "; ".join(self._last_events(2)))

        def rows() -> List[List[float]]:
            out = []
            for r in range(1, SAMPLE_ROWS + 1):
                self._put(_CH_SAMPLE_ROW, _lib.TYPE_U16, r)
                out.append([self._get(_CH_SAMPLE_VALUES + v, _lib.TYPE_DOUBLE) for v in range(8)])
            return out

        return self._call(rows)
