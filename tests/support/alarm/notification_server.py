#!/usr/bin/env python3
"""notification_server.py DIR: a dbus-daemon listening in DIR with a notification service
on it that appends each Notify to DIR/received.jsonl; prints the bus address once ready."""
import json
import os
import signal
import subprocess
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
        self.last_id += 0 if replaces else 1
        entry = {"app": str(app), "replaces": int(replaces), "summary": str(summary),
                 "body": str(body), "urgency": int(hints.get("urgency", -1))}
        with open(self.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")
        return replaces or self.last_id


def main():
    folder = sys.argv[1]
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                               "--address=unix:dir=" + folder], stdout=subprocess.PIPE, text=True)
    address = daemon.stdout.readline().strip()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    server = Server(bus, os.path.join(folder, "received.jsonl"))
    print(address, flush=True)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()
    daemon.terminate()
    del name, server  # held until the end


if __name__ == "__main__":
    main()
