#!/usr/bin/python3
"""RTSP test server (usage: rtspserver.py [--keep-playing] ADDRESS PORT PATH=WxH@FPS[:GOP]...)."""
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtspServer  # noqa: E402


def main(args):
    keep_playing = args[0] == "--keep-playing"
    address, port, *streams = args[1:] if keep_playing else args
    Gst.init(None)
    server = GstRtspServer.RTSPServer(address=address, service=port)
    for entry in streams:
        path, fmt = entry.split("=", 1)
        size, rate = fmt.split("@")
        fps, _, gop = rate.partition(":")
        width, height = size.split("x")
        factory = GstRtspServer.RTSPMediaFactory(shared=True)
        factory.set_launch(
            f"( videotestsrc is-live=true pattern=ball ! video/x-raw,width={width},"
            f"height={height},framerate={fps}/1 ! x264enc tune=zerolatency speed-preset=ultrafast "
            f"key-int-max={gop or fps} ! rtph264pay name=pay0 pt=96 config-interval=1 )")
        server.get_mount_points().add_factory("/" + path, factory)
    try:
        if server.attach(None) == 0:
            raise GLib.Error("attach failed")
    except GLib.Error as error:
        print("BINDFAIL", error.message, flush=True)
        return 2
    keepers = [Gst.parse_launch(f"rtspsrc location=rtsp://{address}:{server.get_bound_port()}/"
                                f"{entry.split('=')[0]} latency=0 ! fakesink sync=false")
               for entry in (streams if keep_playing else [])]
    for keeper in keepers:
        keeper.set_state(Gst.State.PLAYING)
    loop = GLib.MainLoop()
    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR,
                      lambda *_: loop.quit() or False)
    print("READY", server.get_bound_port(), flush=True)
    loop.run()
    for keeper in keepers:
        keeper.set_state(Gst.State.NULL)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
