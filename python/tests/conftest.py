"""The simulated line gateway for the package's tests: zlsim serving the
demonstration line's stations on ephemeral loopback ports, printing every
frame it receives and sends, and a copy of the parameter file that points
the driver at it."""

from __future__ import annotations

import os
import re
import subprocess
import threading
from pathlib import Path
from typing import Iterator, List

import pytest

SOURCE = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("ZL_BINARY_DIR", SOURCE / "build"))
DEMO = SOURCE / "examples" / "demo.par"


def library() -> str:
    return os.environ.get("ZLNETDRV_LIBRARY", str(BUILD / "libzlnetdrv.so"))


class Line:
    def __init__(self, tmp: Path) -> None:
        self.proc = subprocess.Popen(
            [str(BUILD / "tools" / "zlsim" / "zlsim"), str(DEMO), "--ephemeral", "--static",
             "--seed", "7", "--trace"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        assert self.proc.stdout is not None
        self.ports = {}
        for line in self.proc.stdout:
            if line.startswith("PORT "):
                _, configured, actual = line.split()
                self.ports[configured] = actual
            if line.startswith("READY"):
                break
        assert self.ports, "zlsim did not start"
        self.trace: List[str] = []
        self._lock = threading.Lock()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        # CR LF kept as the file has them; the line made quick: no pause after
        # an answer, 1 ms between the driver thread's passes.
        text = DEMO.read_bytes().decode("cp1250")
        for configured, actual in self.ports.items():
            text = re.sub(r"(PORT\s+)%s\b" % configured, r"\g<1>%s" % actual, text)
        text = text.replace("SILENCE_WAIT 20", "SILENCE_WAIT 0 ")
        text = text.replace("IDLE_TIME    10", "IDLE_TIME    1 ")
        self.parameter_file = tmp / "line.par"
        self.parameter_file.write_bytes(text.encode("cp1250"))

    def _read(self) -> None:
        assert self.proc.stdout is not None
        for line in self.proc.stdout:
            with self._lock:
                self.trace.append(line)

    def frames(self, direction: str, command: int) -> List[bytes]:
        """The frames received (IN) or sent (OUT) whose command byte is command."""
        out = []
        with self._lock:
            lines = list(self.trace)
        for line in lines:
            m = re.search(r" (IN |OUT) ((?:[0-9A-F]{2} )+)", line)
            if not m or m.group(1).strip() != direction:
                continue
            frame = bytes.fromhex(m.group(2))
            if len(frame) > 8 and frame[8] == command:
                out.append(frame)
        return out

    def stop(self) -> None:
        self.proc.terminate()
        self.proc.wait()


@pytest.fixture
def line(tmp_path: Path) -> Iterator[Line]:
    sim = Line(tmp_path)
    yield sim
    sim.stop()


@pytest.fixture(autouse=True)
def drive_c(tmp_path: Path, monkeypatch: pytest.MonkeyPatch) -> None:
    """The driver's C: drive (its debug log, its sample files) in the test's folder."""
    monkeypatch.setenv("ZLNETDRV_DRIVE_C", str(tmp_path))
