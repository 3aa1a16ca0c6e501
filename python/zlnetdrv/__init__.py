"""Python host of the ZLNETDRV driver: Zavro controllers on a ZL2 line
reached through a TCP/IP line gateway."""

from ._lib import HostValue, load_library
from .driver import GROUPS, SAMPLE_ROWS, Driver, Quality, Value, ZlError

__all__ = ["Driver", "GROUPS", "HostValue", "Quality", "SAMPLE_ROWS", "Value", "ZlError",
           "load_library"]
