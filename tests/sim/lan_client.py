#!/usr/bin/env python3
"""Sends one discovery request or command frame from UDP port 10000, as the utility does, and
prints every reply that arrives within the wait as "FROM ip:port" followed by its lines."""
import argparse
import socket
import time

MODEL = b"KVX-350RT"


def rc4(data, key=MODEL):
    state = list(range(256))
    j = 0
    for i in range(256):
        j = (j + state[i] + key[i % len(key)]) % 256
        state[i], state[j] = state[j], state[i]
    out = bytearray()
    i = j = 0
    for byte in data:
        i = (i + 1) % 256
        j = (j + state[i]) % 256
        state[i], state[j] = state[j], state[i]
        out.append(byte ^ state[(state[i] + state[j]) % 256])
    return bytes(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["discover", "admin", "misc"])
    parser.add_argument("address", help="phone address, or 255.255.255.255 to broadcast")
    parser.add_argument("fields", nargs="*", help="admin: 4 fields; misc: name password digits")
    parser.add_argument("--wait", type=float, default=1.0)
    args = parser.parse_args()
    if args.kind == "discover":
        datagram = b"?"
    elif args.kind == "admin":
        datagram = b"@ " + rc4(";!sep!;".join(args.fields).encode())
    else:
        name, password, digits = args.fields
        datagram = b"# " + rc4(f"{name};!sep!;{password};!sep!;{digits}".encode())
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.bind(("", 10000))
    sock.sendto(datagram, (args.address, 9999))
    end = time.monotonic() + args.wait
    while (left := end - time.monotonic()) > 0:
        sock.settimeout(left)
        try:
            reply, sender = sock.recvfrom(2048)
        except socket.timeout:
            break
        print(f"FROM {sender[0]}:{sender[1]}")
        print(reply.decode("latin-1").replace("\r\n", "\n").rstrip("\n"))


main()
