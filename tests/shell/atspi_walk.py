#!/usr/bin/python3
"""Reads a running application's accessibility tree over AT-SPI from outside
the process, as a screen reader does, and presses named controls.

usage: atspi_walk.py PID LIST TITLE [PRESS...]

Finds the application of process PID on the accessibility bus, the list
named LIST in it, and in that list the shown item whose name begins with
"TITLE, ". Prints one JSON object: the item's name and states and, for each
child, its role, name, description, value and actions. Then presses each
PRESS (a child's name) through its first action, in order. Exits 1 when the
application, the list or the item is not found.
"""

import json
import sys

import dbus

ACCESSIBLE = "org.a11y.atspi.Accessible"
ACTION = "org.a11y.atspi.Action"
VALUE = "org.a11y.atspi.Value"
PROPERTIES = "org.freedesktop.DBus.Properties"
STATES = {8: "enabled", 11: "focusable", 12: "focused", 18: "multiselectable",
          22: "selectable", 23: "selected", 25: "showing", 30: "visible"}
SHOWING = 25


def connect():
    session = dbus.SessionBus()
    bus = session.get_object("org.a11y.Bus", "/org/a11y/bus")
    return dbus.bus.BusConnection(bus.GetAddress(dbus_interface="org.a11y.Bus"))


class Node:
    def __init__(self, a11y, ref):
        self.a11y = a11y
        self.ref = (str(ref[0]), str(ref[1]))
        self.obj = a11y.get_object(self.ref[0], self.ref[1], introspect=False)

    def prop(self, interface, name):
        return self.obj.Get(interface, name, dbus_interface=PROPERTIES)

    def name(self):
        return str(self.prop(ACCESSIBLE, "Name"))

    def description(self):
        return str(self.prop(ACCESSIBLE, "Description"))

    def role(self):
        return str(self.obj.GetRoleName(dbus_interface=ACCESSIBLE))

    def states(self):
        words = self.obj.GetState(dbus_interface=ACCESSIBLE)
        bits = int(words[0]) | (int(words[1]) << 32)
        return [STATES[b] for b in sorted(STATES) if bits & (1 << b)]

    def showing(self):
        words = self.obj.GetState(dbus_interface=ACCESSIBLE)
        return bool(int(words[0]) & (1 << SHOWING))

    def interfaces(self):
        return [str(i) for i in self.obj.GetInterfaces(dbus_interface=ACCESSIBLE)]

    def children(self):
        return [Node(self.a11y, r) for r in self.obj.GetChildren(dbus_interface=ACCESSIBLE)]

    def actions(self):
        if ACTION not in self.interfaces():
            return []
        count = int(self.prop(ACTION, "NActions"))
        return [str(self.obj.GetName(i, dbus_interface=ACTION)) for i in range(count)]

    def value(self):
        if VALUE not in self.interfaces():
            return None
        return float(self.prop(VALUE, "CurrentValue"))

    def press(self):
        return bool(self.obj.DoAction(0, dbus_interface=ACTION))


def find(node, wanted, depth=0):
    """Depth first through the shown part of the tree."""
    if depth > 40:
        return None
    if wanted(node):
        return node
    for child in node.children():
        if not child.showing():
            continue
        hit = find(child, wanted, depth + 1)
        if hit:
            return hit
    return None


def main():
    pid, list_name, title = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    presses = sys.argv[4:]
    a11y = connect()
    daemon = a11y.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus")
    registry = Node(a11y, ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"))
    app = None
    for candidate in registry.children():
        owner = daemon.GetConnectionUnixProcessID(candidate.ref[0],
                                                  dbus_interface="org.freedesktop.DBus")
        if int(owner) == pid:
            app = candidate
    if app is None:
        print(json.dumps({"error": "no application of process %d" % pid}))
        return 1
    library = find(app, lambda n: n.role() == "list" and n.name() == list_name)
    if library is None:
        print(json.dumps({"error": "no list named " + list_name}))
        return 1
    item = None
    for child in library.children():
        if child.showing() and child.name().startswith(title + ", "):
            item = child
            break
    if item is None:
        print(json.dumps({"error": "no item " + title}))
        return 1
    parts = []
    for child in item.children():
        parts.append({"role": child.role(), "name": child.name(),
                      "description": child.description(), "value": child.value(),
                      "actions": child.actions()})
    report = {"role": item.role(), "name": item.name(), "states": item.states(),
              "children": parts, "pressed": []}
    for name in presses:
        for child in item.children():
            if child.name() == name and child.actions():
                child.press()
                report["pressed"].append(name)
                break
    print(json.dumps(report, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main())
