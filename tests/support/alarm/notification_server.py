#!/usr/bin/env python3
"""A desktop notification service for the tests, on the session bus the environment names.

    notification_server.py LOG

Owns org.freedesktop.Notifications, answers Notify with a new id (or the one it replaces) and
appends each call to LOG as a JSON line; prints "ready" once the name is owned.
"""
import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"


class Server(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.last_id = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        if replaces == 0:
            self.last_id += 1
        nid = replaces or self.last_id
        entry = {"app": str(app), "replaces": int(replaces), "id": nid,
                 "summary": str(summary), "body": str(body),
                 "urgency": int(hints.get("urgency", -1)), "timeout": int(timeout)}
        with open(self.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")
        return nid

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body"]


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    server = Server(bus, sys.argv[1])
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name, server


if __name__ == "__main__":
    main()
