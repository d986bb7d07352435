#!/usr/bin/python3
"""A stand-in for the desktop's screenshot portal on a private session bus.

Serves org.freedesktop.portal.Screenshot (version 2) at
/org/freedesktop/portal/desktop as org.freedesktop.portal.Desktop, and
answers each request with org.freedesktop.portal.Request.Response on the
request's path. What it answers is read from the file named by
STANDIN_MODE_FILE at each request, so a test switches it between captures:
  picture  a fresh copy of STANDIN_PICTURE in STANDIN_OUT (response 0, its uri)
  deny     response 1
  cancel   response 2
  silent   no response (until the request is closed)
With STANDIN_STORE set it also serves the permission store, whose
"screenshot" entry allows the application id named there ("" included).
Each request is logged to STANDIN_LOG: "request interactive=B parent=P answer=A".
"""
import os
import shutil
import sys
import urllib.parse

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SCREENSHOT = "org.freedesktop.portal.Screenshot"
REQUEST = "org.freedesktop.portal.Request"
PROPERTIES = "org.freedesktop.DBus.Properties"
STORE = "org.freedesktop.impl.portal.PermissionStore"


def log(line):
    with open(os.environ["STANDIN_LOG"], "a") as f:
        f.write(line + "\n")


class Request(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.closed = False

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        self.closed = True
        log("closed")
        self.remove_from_connection()


class Screenshot(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.count = 0

    @dbus.service.method(SCREENSHOT, in_signature="sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def Screenshot(self, parent_window, options, sender=None):
        with open(os.environ["STANDIN_MODE_FILE"]) as f:
            mode = f.read().strip()
        token = str(options.get("handle_token", "t%d" % self.count))
        path = "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
        request = Request(self.bus, path)
        self.count += 1
        log("request interactive=%d parent=%s answer=%s"
            % (bool(options.get("interactive", False)), parent_window, mode))

        def answer():
            if request.closed:
                return False
            if mode == "picture":
                out = os.path.join(os.environ["STANDIN_OUT"], "shot-%d.png" % self.count)
                shutil.copyfile(os.environ["STANDIN_PICTURE"], out)  # a new file, a new time
                uri = "file://" + urllib.parse.quote(out)
                request.Response(dbus.UInt32(0), dbus.Dictionary({"uri": uri}, signature="sv"))
            else:
                request.Response(dbus.UInt32(1 if mode == "deny" else 2),
                                 dbus.Dictionary({}, signature="sv"))
            request.remove_from_connection()
            return False

        if mode != "silent":
            GLib.timeout_add(100, answer)  # after the handle reached the caller
        return dbus.ObjectPath(path)

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == SCREENSHOT and name == "version":
            return dbus.UInt32(2, variant_level=1)
        raise dbus.exceptions.DBusException(
            "no property %s.%s" % (interface, name),
            name="org.freedesktop.DBus.Error.InvalidArgs")

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"version": dbus.UInt32(2)} if interface == SCREENSHOT else {}


class PermissionStore(dbus.service.Object):
    def __init__(self, bus, allowed):
        super().__init__(bus, "/org/freedesktop/impl/portal/PermissionStore")
        self.allowed = allowed

    @dbus.service.method(STORE, in_signature="ss", out_signature="a{sas}v")
    def Lookup(self, table, ident):
        if (table, ident) != ("screenshot", "screenshot"):
            raise dbus.exceptions.DBusException(
                "no entry", name="org.freedesktop.portal.Error.NotFound")
        return (dbus.Dictionary({self.allowed: ["yes"]}, signature="sas"),
                dbus.Byte(0, variant_level=1))


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    names = [dbus.service.BusName(PORTAL, bus)]
    portal = Screenshot(bus)
    store = None
    if "STANDIN_STORE" in os.environ:
        names.append(dbus.service.BusName(STORE, bus))
        store = PermissionStore(bus, os.environ["STANDIN_STORE"])
    log("ready")
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
