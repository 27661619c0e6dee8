#!/usr/bin/env python3
"""Request-to-VISCA-bytes latency of "/cam/control" on loopback.

    control_latency.py <bench-server-binary> [requests]

Plays the network camera itself (VISCA on 127.0.0.1, any free port; every
command is acknowledged and completed), starts the bench server with slot 1
on that port, then sends "/cam/control" (pan right) and "/cam/stopControl"
over one keep-alive connection and times each from the request's first byte
to the complete drive or stop frame arriving at the camera. One clock, one
process: the times include our HTTP parsing, routing, the handler, the
control layer and the camera's socket write.
"""
import os
import socket
import subprocess
import sys
import time

binary = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000

visca = socket.socket()
visca.bind(("127.0.0.1", 0))
visca.listen(4)
server = subprocess.Popen([binary, "0", "", str(visca.getsockname()[1])],
                          stdout=subprocess.PIPE, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
try:
    cam, _ = visca.accept()
    cam.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    line = server.stdout.readline().decode()
    port = int(line.split()[1])
    http = socket.create_connection(("127.0.0.1", port))
    http.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    pending = b""

    def next_frame():
        global pending
        while b"\xff" not in pending:
            chunk = cam.recv(4096)
            if not chunk:
                raise SystemExit("camera connection closed")
            pending += chunk
        end = pending.index(b"\xff") + 1
        frame, pending = pending[:end], pending[end:]
        cam.sendall(b"\x90\x41\xff\x90\x51\xff")
        return frame

    def read_response(sock, buf=[b""]):
        while b"\r\n\r\n" not in buf[0]:
            buf[0] += sock.recv(65536)
        head, rest = buf[0].split(b"\r\n\r\n", 1)
        length = 0
        for h in head.split(b"\r\n"):
            if h.lower().startswith(b"content-length:"):
                length = int(h.split(b":")[1])
        while len(rest) < length:
            rest += sock.recv(65536)
        buf[0] = rest[length:]

    def timed(target, wanted):
        t0 = time.perf_counter()
        http.sendall(b"GET " + target + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        while True:
            frame = next_frame()
            if frame.startswith(wanted):
                break
        t1 = time.perf_counter()
        read_response(http)
        return (t1 - t0) * 1e3

    drive, stop = [], []
    for i in range(count):
        drive.append(timed(b"/cam/control?controlMethod=0&panSpeed=5&tiltSpeed=5&zoomSpeed=1&focusSpeed=1",
                           b"\x81\x01\x06\x01\x05\x00\x02\x03"))
        stop.append(timed(b"/cam/stopControl?controlMethod=0", b"\x81\x01\x06\x01\x00\x00\x03\x03"))

    def pct(values, p):
        values = sorted(values)
        return values[min(len(values) - 1, int(len(values) * p / 100))]

    for name, values in (("control (drive)", drive), ("stopControl (stop)", stop)):
        print("%-20s n=%d p50 %.3f ms  p90 %.3f ms  p99 %.3f ms  max %.3f ms  (goal p99 < 2 ms)"
              % (name, len(values), pct(values, 50), pct(values, 90), pct(values, 99), max(values)))
finally:
    server.terminate()
    server.wait()
