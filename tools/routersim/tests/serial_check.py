#!/usr/bin/python3
"""Logs in to the router's console with pyserial and prints what Menu 3.2 shows.

usage: serial_check.py PORT PASSWORD
Prints "address mask dhcp pool-start pool-size dns1 dns2", each value the word after the
label's "=" on its row of the screen; exits 1 with the reason when the console does not lead
there.
"""
import re
import sys

import serial

LABELS = ["IP Address=", "IP Subnet Mask=", "DHCP=", "Client IP Pool Starting Address=",
          "Size of Client IP Pool=", "Primary DNS Server=", "Secondary DNS Server="]


def screen(raw):
    """The text pieces placed with ESC[row;colH, as rows of a 25x80 screen."""
    rows = [[" "] * 80 for _ in range(25)]
    for row, col, text in re.findall(rb"\x1b\[(\d+);(\d+)H([^\x1b]*)", raw):
        r, c = int(row) - 1, int(col) - 1
        for i, ch in enumerate(text.decode("latin-1")):
            if 0 <= r < 25 and 0 <= c + i < 80:
                rows[r][c + i] = ch
    return ["".join(row) for row in rows]


def ask(port, keys, wanted):
    port.write(keys)
    raw = b""
    while wanted not in raw:
        chunk = port.read(max(1, port.in_waiting))
        if not chunk:
            sys.exit("no %r after %r; got %r" % (wanted, keys, raw))
        raw += chunk
    return raw


def main():
    link, password = sys.argv[1], sys.argv[2]
    with serial.Serial(link, 9600, bytesize=8, parity="N", stopbits=1, rtscts=True, timeout=5) as port:
        ask(port, b"\r", b"Enter Password: ")
        ask(port, password.encode() + b"\r", b"Enter Menu Selection Number:")
        ask(port, b"3\r", b"Menu 3 - Ethernet Setup")
        rows = screen(ask(port, b"2\r", b"Press ENTER to Confirm"))
        values = []
        for label in LABELS:
            row = next((r for r in rows if r.strip().startswith(label)), None)
            if row is None:
                sys.exit("Menu 3.2 has no " + label)
            values.append(row.split(label, 1)[1].split()[0])
        ask(port, b"\x1b", b"Enter Menu Selection Number:")
        ask(port, b"\x1b", b"Prestige 643 Main Menu")
        ask(port, b"99\r", b"Session closed")
    print(" ".join(values))


main()
