"""The package against the simulated demonstration line."""

from __future__ import annotations

import re
import socket
import time
from pathlib import Path

import pytest

from conftest import DEMO, Line, library
from zlnetdrv import Driver, Quality, ZlError


def test_channel_map_follows_the_parameter_file(line: Line) -> None:
    text = DEMO.read_bytes().decode("cp1250")
    sections = text.split("[STATION]")[1:]
    with Driver(line.parameter_file, library=library()) as d:
        stations = d.channels()["stations"]
    assert len(stations) == len(sections)
    keys = {"bi": "NUM_BINAR_IN", "bo": "NUM_BINAR_OUT", "ai": "NUM_ANALOG_IN",
            "ct": "NUM_COUNTER_IN", "mi": "NUM_MEMORY_IN", "mo": "NUM_MEMORY_OUT"}
    for n, (st, section) in enumerate(zip(stations, sections), start=1):
        name = re.search(r'NAME\s+"([^"]*)"', section).group(1)
        assert (st["number"], st["name"]) == (n, name)
        base = 500 * (n - 1)  # ORIGINAL_CHANNELS
        offsets = {"bi": 1, "bo": 97, "ai": 193, "ct": 257, "mo": 305, "mi": 405}
        groups = {g["group"]: g["objects"] for g in st["groups"]}
        for group, key in keys.items():
            count = re.search(key + r"\s+(\d+)", section)
            expected = int(count.group(1)) if count else 0
            objects = groups.get(group, [])
            assert [o["object"] for o in objects] == list(range(1, expected + 1)), group
            assert [o["channel"] for o in objects] == [
                base + offsets[group] + i for i in range(expected)], group
        channels = {c["name"]: c["channel"] for c in st["channels"]}
        assert channels["out_read_BI"] == base + 472
        assert channels["in_connected_modem"] == base + 478
        for v in st["variables"]:
            qq = re.search(r"\b%d\b" % v["channel"], section)
            assert qq, v


def test_read_equals_what_the_simulator_holds_and_a_write_reaches_it(line: Line) -> None:
    with Driver(line.parameter_file, library=library()) as d:
        before = d.read(1, ["bi"])
        assert {v.quality for v in before} == {Quality.FRESH}
        # The binary input answer: "B", the group mask, one byte per group.
        answer = line.frames("OUT", ord("B"))[-1]
        bits = int.from_bytes(answer[10:12], "little")
        inverted = {3, 4}  # BINAR_IN_XOR of station 1
        assert [v.value for v in before] == [
            bool(bits >> (k - 1) & 1) ^ (k in inverted) for k in range(1, 17)]

        # A BIDIR WORD variable written, then read back from the controller.
        assert d.write(1, qq={2501: 0x1234}) == ["qq 2501=4660"]
        assert any(b"\x00\x10\x01\x34\x12" in f for f in line.frames("IN", ord("q")) +
                   line.frames("IN", ord("Q")))
        values = {v.channel: v for v in d.read(1, ["qq"])}
        assert values[2501].value == 0x1234 and values[2501].quality is Quality.FRESH
        assert values[2506].value == "ZL2 SIM ST1 VAR7"

        # Binary outputs: the ones not named are refused, then sent as 0.
        with pytest.raises(ZlError, match="not named: 2 3 4 5 6 7 8"):
            d.write(1, bo={1: True})
        assert not line.frames("IN", ord("b"))
        d.write(1, bo={1: True}, others_off=True)
        assert line.frames("IN", ord("b"))[-1][10] & 0x7F == 0x01
        # Output 1 is known now: writing output 2 alone keeps it on.
        d.write(1, bo={2: True, 3: False, 4: False, 5: False, 6: False, 7: False, 8: False})
        assert line.frames("IN", ord("b"))[-1][10] & 0x7F == 0x03
        status = d.status()
        assert "KOTELNA - BO2=1" in status["events"]


def test_a_refused_gateway_raises_at_once(line: Line) -> None:
    # Station 3's gateway moved to a port where nothing listens.
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        dead = s.getsockname()[1]
    text = line.parameter_file.read_bytes()
    text = text.replace(b"PORT           " + line.ports["4002"].encode(),
                        b"PORT           " + str(dead).encode())
    line.parameter_file.write_bytes(text)
    with Driver(line.parameter_file, library=library(), timeout=30) as d:
        started = time.monotonic()
        with pytest.raises(ZlError, match="Chyba TCP|TCP error"):
            d.connect(3)  # its gateway: a port where nothing listens
        assert time.monotonic() - started < 5


def test_a_bad_parameter_file_raises_the_drivers_message(tmp_path: Path) -> None:
    bad = tmp_path / "bad.par"
    bad.write_bytes(b"[GLOBAL]\r\n  PREFIX $02$02\r\n  BOGUS 1\r\nEND\r\n")
    with pytest.raises(ZlError) as e:
        Driver(bad, library=library()).open()
    assert e.value.args[0]
    with pytest.raises(ZlError, match="soubor|Soubor|nenalezen|otev"):
        Driver(tmp_path / "missing.par", library=library()).open()
