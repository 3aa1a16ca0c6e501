"""Loading the driver library and the typed prototypes of its exports."""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import sys
from pathlib import Path
from typing import List, Optional

# Value type codes of HostValue.
TYPE_BOOL = 2
TYPE_U8 = 3
TYPE_U16 = 4
TYPE_U32 = 5
TYPE_I8 = 6
TYPE_I16 = 7
TYPE_I32 = 8
TYPE_SINGLE = 9
TYPE_DOUBLE = 10
TYPE_TEXT = 11
TYPE_BUFFER = 12

TYPE_CODES = {
    "bool": TYPE_BOOL,
    "u8": TYPE_U8,
    "u16": TYPE_U16,
    "u32": TYPE_U32,
    "i8": TYPE_I8,
    "i16": TYPE_I16,
    "i32": TYPE_I32,
    "single": TYPE_SINGLE,
    "double": TYPE_DOUBLE,
    "text": TYPE_TEXT,
    "buffer": TYPE_BUFFER,
}


class HostValue(ctypes.Structure):
    """The host's value record: a type code and 8 value bytes, little-endian."""

    _fields_ = [("type", ctypes.c_uint32), ("value", ctypes.c_uint8 * 8)]


if sys.platform == "win32":
    _LIBRARY_NAME = "zlnetdrv.dll"
else:
    _LIBRARY_NAME = "libzlnetdrv.so"


def _candidates(path: Optional[str]) -> List[str]:
    if path:
        return [path]
    env = os.environ.get("ZLNETDRV_LIBRARY")
    if env:
        return [env]
    found: List[str] = []
    # A build tree: ./build beside this package's source tree, or below the
    # working directory or one of its parents.
    roots = [Path(__file__).resolve().parent.parent.parent, *Path.cwd().resolve().parents]
    roots.insert(1, Path.cwd().resolve())
    for root in roots:
        lib = root / "build" / _LIBRARY_NAME
        if lib.is_file():
            found.append(str(lib))
    system = ctypes.util.find_library("zlnetdrv")
    found.append(system or _LIBRARY_NAME)
    return found


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """The driver library: path, else $ZLNETDRV_LIBRARY, else a build tree,
    else the system's. Raises OSError naming what was tried."""
    tried = _candidates(path)
    errors = []
    for name in tried:
        try:
            lib = ctypes.CDLL(name)
        except OSError as e:
            errors.append(f"{name}: {e}")
            continue
        declare(lib)
        return lib
    raise OSError("cannot load the ZLNETDRV library (" + "; ".join(errors) + ")")


def declare(lib: ctypes.CDLL) -> None:
    """Sets the argument and result types of every export the library has."""
    h = ctypes.c_void_p
    u8, u16, u32, i32 = ctypes.c_uint8, ctypes.c_uint16, ctypes.c_uint32, ctypes.c_int32
    text = ctypes.c_char_p
    prototypes = {
        "Version": (u32, []),
        "Check": (u8, [u32, ctypes.c_char_p]),
        "GetDriverInfo": (u32, [u32, ctypes.c_char_p]),
        "MakeDriver": (h, []),
        "DisposeDriver": (None, [h]),
        "DriverCallBack": (i32, [h, i32]),
        "Init": (u8, [h, i32, text, u32, ctypes.c_char_p, i32]),
        "BufferInfo": (u8, [h, u32, u8, u16]),
        "SetBufferAddr": (None, [h, u32, ctypes.c_void_p]),
        "InputRequest": (None, [h, u16]),
        "InputRequestCompleted": (None, [h, u16]),
        "InputFinalized": (u8, [h, u32, ctypes.POINTER(i32)]),
        "GetInput": (None, [h, u16, ctypes.POINTER(HostValue)]),
        "OutputRequest": (None, [h, u16, u32, ctypes.c_uint64]),
        "OutputRequestCompleted": (None, [h, u16]),
        "OutputFinalized": (u8, [h, u32, ctypes.POINTER(i32)]),
        "DriverProc": (None, [h, i32, i32, i32]),
        "QueryProc": (None, [h, i32, i32]),
        "Done": (None, [h]),
        "PumpMessages": (i32, [h, i32]),
        "MessageFd": (i32, [h]),
        "GetStatusWindow": (i32, [h, ctypes.c_char_p, i32]),
        "GetChannelMap": (i32, [h, ctypes.c_char_p, i32]),
        "ClickButton": (None, [h, text]),
    }
    for name, (restype, argtypes) in prototypes.items():
        fn = getattr(lib, name, None)
        if fn is None:
            continue  # MessageFd is not there on Windows
        fn.restype = restype
        fn.argtypes = argtypes
