#!/usr/bin/python3
"""RTSP test server: H.264 test patterns at rtsp://ADDRESS:PORT/<path>.

    rtspserver.py [--keep-playing] ADDRESS PORT PATH=WIDTHxHEIGHT@FPS[:GOP] ...

e.g. `rtspserver.py 127.0.0.41 554 1=640x360@15 2=320x180@15`. Each path has
one shared encoder (all clients get the same session); a key frame comes
every GOP frames (default FPS, one a second). PORT 0 takes a free port.
Prints "READY <port>" once listening, or "BINDFAIL <reason>" and exits with 2
when the address cannot be bound. Runs until its standard input closes, so it
ends with its parent. With --keep-playing the server plays every path to
itself, so each client joins a running stream as with a real camera (and a
client's start never meets the shared stream being torn down).
"""
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtspServer  # noqa: E402


def main():
    args = sys.argv[1:]
    keep_playing = bool(args) and args[0] == "--keep-playing"
    if keep_playing:
        args = args[1:]
    if len(args) < 3:
        print(__doc__, file=sys.stderr)
        return 1
    address, port, streams = args[0], args[1], args[2:]
    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address(address)
    server.set_service(port)
    mounts = server.get_mount_points()
    for entry in streams:
        path, fmt = entry.split("=", 1)
        size, rate = fmt.split("@")
        fps, _, gop = rate.partition(":")
        width, height = size.split("x")
        factory = GstRtspServer.RTSPMediaFactory()
        factory.set_launch(
            "( videotestsrc is-live=true pattern=ball "
            f"! video/x-raw,width={width},height={height},framerate={fps}/1 "
            f"! x264enc tune=zerolatency speed-preset=ultrafast key-int-max={gop or fps} "
            "! rtph264pay name=pay0 pt=96 config-interval=1 )")
        factory.set_shared(True)
        mounts.add_factory("/" + path, factory)
    try:
        if server.attach(None) == 0:
            raise GLib.Error("attach failed")
    except GLib.Error as error:
        print("BINDFAIL", error.message, flush=True)
        return 2
    keepers = []
    if keep_playing:
        for entry in streams:
            keeper = Gst.parse_launch(
                f"rtspsrc location=rtsp://{address}:{server.get_bound_port()}/"
                f"{entry.split('=', 1)[0]} latency=0 ! fakesink sync=false")
            keeper.set_state(Gst.State.PLAYING)
            keepers.append(keeper)
    loop = GLib.MainLoop()
    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR,
                      lambda *_: loop.quit() or False)
    print("READY", server.get_bound_port(), flush=True)
    loop.run()
    for keeper in keepers:
        keeper.set_state(Gst.State.NULL)
    return 0


if __name__ == "__main__":
    sys.exit(main())
