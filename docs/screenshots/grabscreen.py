#!/usr/bin/python3
"""Writes the whole X screen ($DISPLAY) to a PNG file: grabscreen.py OUT.png"""
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

Gst.init(None)
pipeline = Gst.parse_launch(
    "ximagesrc use-damage=false num-buffers=1 ! videoconvert ! pngenc ! filesink name=out")
pipeline.get_by_name("out").set_property("location", sys.argv[1])
pipeline.set_state(Gst.State.PLAYING)
msg = pipeline.get_bus().timed_pop_filtered(10 * Gst.SECOND,
                                            Gst.MessageType.EOS | Gst.MessageType.ERROR)
pipeline.set_state(Gst.State.NULL)
sys.exit(0 if msg and msg.type == Gst.MessageType.EOS else 1)
