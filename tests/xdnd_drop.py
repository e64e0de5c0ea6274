#!/usr/bin/python3
"""Drops files on the X window under a screen point, as a Linux file manager does: an XDND drag
offering the files as text/uri-list. Wine turns such a drop on a window that accepts files into
WM_DROPFILES. Started by the system tests; writes how the drop ended to a result file.

    xdnd_drop.py X Y RESULT_FILE PATH... [--drop-when FILE]

With --drop-when the drag is taken over the target and held there until FILE exists, so that a
test can let go at a moment of its choosing (within a few milliseconds); FILE.holding is made
once the target has answered and the drag is held.

The result file gets one line: "finished" when the target took the drop and said it was done,
"refused" when it would not take it, or "error: ..." on anything else. The exit code is 0 only
for "finished".
"""
import argparse
import os
import select
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display, error
from Xlib.protocol import event

XDND_VERSION = 5


class DropFailed(Exception):
    pass


class DragSource:
    def __init__(self, disp, uris, deadline):
        self.d = disp
        self.root = disp.screen().root
        self.deadline = deadline
        self.payload = "".join(u + "\r\n" for u in uris).encode("ascii")
        self.atom = {name: disp.intern_atom(name) for name in (
            "XdndAware", "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus",
            "XdndLeave", "XdndDrop", "XdndFinished", "XdndActionCopy", "XdndTypeList",
            "text/uri-list", "TARGETS")}
        self.window = self.root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent,
                                              X.InputOnly, X.CopyFromParent)
        self.window.set_selection_owner(self.atom["XdndSelection"], X.CurrentTime)
        self.d.flush()
        if self.d.get_selection_owner(self.atom["XdndSelection"]) != self.window:
            raise DropFailed("could not own XdndSelection")

    def aware_version(self, window):
        try:
            prop = window.get_full_property(self.atom["XdndAware"], Xatom.ATOM)
        except error.BadWindow:
            return 0
        return prop.value[0] if prop and len(prop.value) else 0

    def target_at(self, x, y):
        """The deepest mapped window at root point (x, y) that says it takes XDND drops."""
        found, version = None, 0
        current = self.root
        while True:
            reply = current.translate_coords(self.root, x, y)
            child = reply.child
            if not child:
                break
            current = child
            v = self.aware_version(current)
            if v:
                found, version = current, v
        if not found:
            raise DropFailed("no XdndAware window at %d,%d" % (x, y))
        return found, version

    def send(self, target, name, data):
        data = list(data) + [0] * (5 - len(data))
        ev = event.ClientMessage(window=target, client_type=self.atom[name], data=(32, data))
        target.send_event(ev, event_mask=0)
        self.d.flush()

    def answer_selection_request(self, ev):
        prop = ev.property or ev.target
        if ev.selection != self.atom["XdndSelection"]:
            prop = X.NONE
        elif ev.target == self.atom["text/uri-list"]:
            ev.requestor.change_property(prop, ev.target, 8, self.payload)
        elif ev.target == self.atom["TARGETS"]:
            ev.requestor.change_property(prop, Xatom.ATOM, 32, [self.atom["text/uri-list"]])
        else:
            prop = X.NONE
        reply = event.SelectionNotify(time=ev.time, requestor=ev.requestor,
                                      selection=ev.selection, target=ev.target, property=prop)
        ev.requestor.send_event(reply, event_mask=0)
        self.d.flush()

    def wait_for(self, name):
        """Answers selection requests until a client message `name` arrives; its data."""
        while True:
            while self.d.pending_events():
                ev = self.d.next_event()
                if ev.type == X.SelectionRequest:
                    self.answer_selection_request(ev)
                elif ev.type == X.ClientMessage and ev.client_type == self.atom[name]:
                    return ev.data[1]
            left = self.deadline - time.monotonic()
            if left <= 0:
                raise DropFailed("no %s in time" % name)
            select.select([self.d.fileno()], [], [], min(left, 0.1))

    def hold_until(self, path):
        """Says it is holding (PATH.holding), then answers selection requests until `path`
        exists."""
        with open(path + ".holding", "w"):
            pass
        while not os.path.exists(path):
            while self.d.pending_events():
                ev = self.d.next_event()
                if ev.type == X.SelectionRequest:
                    self.answer_selection_request(ev)
            if time.monotonic() > self.deadline:
                raise DropFailed("%s did not come" % path)
            select.select([self.d.fileno()], [], [], 0.002)

    def drop(self, x, y, drop_when=None):
        target, version = self.target_at(x, y)
        me = self.window.id
        version = min(version, XDND_VERSION)
        self.send(target, "XdndEnter", [me, version << 24, self.atom["text/uri-list"]])
        self.send(target, "XdndPosition",
                  [me, 0, (x << 16) | y, X.CurrentTime, self.atom["XdndActionCopy"]])
        status = self.wait_for("XdndStatus")
        if not status[1] & 1:
            self.send(target, "XdndLeave", [me])
            return "refused"
        if drop_when:
            self.hold_until(drop_when)
        self.send(target, "XdndDrop", [me, 0, X.CurrentTime])
        self.wait_for("XdndFinished")
        return "finished"


def write_result(path, text):
    # Written whole under another name first: the reader never sees half a line.
    partial = path + ".part"
    with open(partial, "w") as f:
        f.write(text + "\n")
    os.replace(partial, path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("x", type=int)
    ap.add_argument("y", type=int)
    ap.add_argument("result")
    ap.add_argument("paths", nargs="+")
    ap.add_argument("--timeout", type=float, default=15.0)
    ap.add_argument("--drop-when", help="hold the drag until this file exists")
    args = ap.parse_args()
    # The URI carries the name's own bytes (UTF-8 here) percent-encoded, whatever locale this
    # script runs in.
    uris = ["file://" + urllib.parse.quote(os.fsencode(os.path.abspath(p))) for p in args.paths]
    try:
        source = DragSource(display.Display(), uris, time.monotonic() + args.timeout)
        outcome = source.drop(args.x, args.y, args.drop_when)
    except (DropFailed, error.XError, OSError) as e:
        outcome = "error: %s" % e
    write_result(args.result, outcome)
    return 0 if outcome == "finished" else 1


if __name__ == "__main__":
    sys.exit(main())
