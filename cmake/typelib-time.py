#!/usr/bin/env python3
"""Gives a widl type library a fixed creation time, so that two builds of one source give one DLL.

widl 7 writes the time of the build twice into the library's custom data, whatever
SOURCE_DATE_EPOCH says: as text ("Created by WIDL version 7.0 at Tue Dec  8 15:28:59 2026\n") and
as a VT_UI4 value (0x0013, then the seconds) right after it. Both become SOURCE_DATE_EPOCH, or 0.
Usage: typelib-time.py FILE.tlb
"""
import calendar
import os
import re
import struct
import sys
import time

path = sys.argv[1]
data = bytearray(open(path, "rb").read())
fixed = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))

match = re.search(rb"Created by WIDL version [^\n]* at ([A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4})\n", data)
if not match:
    sys.exit("typelib-time: no creation time in " + path)
stamp = match.group(1).decode()
# ctime() text: the same width whatever the date.
data[match.start(1):match.end(1)] = time.strftime("%a %b %e %H:%M:%S %Y", time.gmtime(fixed)).encode()

# The seconds, stored as VT_UI4; the text is local time, which may or may not be UTC here.
parsed = time.strptime(stamp, "%a %b %d %H:%M:%S %Y")
candidates = {calendar.timegm(parsed), int(time.mktime(parsed))}
replaced = 0
for seconds in candidates:
    needle = struct.pack("<HI", 0x13, seconds & 0xFFFFFFFF)
    at = data.find(needle)
    while at >= 0:
        data[at + 2:at + 6] = struct.pack("<I", fixed & 0xFFFFFFFF)
        replaced += 1
        at = data.find(needle, at + 6)
if replaced == 0:
    sys.exit("typelib-time: the creation time " + stamp + " is not stored as a number in " + path)
open(path, "wb").write(data)
