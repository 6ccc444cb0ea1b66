#!/usr/bin/python3
# Vantrel used as a screen-reader user would, through the accessibility bus (AT-SPI): fill the
# list, reorder it by keys only, sort through the header item's action, join, and read the
# About box. Run by hand under an X server with an accessibility bus, e.g.
#   Xvfb :18 & DISPLAY=:18 openbox &
#   DISPLAY=:18 dbus-run-session -- tests/app/screenreader_trial.py build/bin/vantrel /tmp/folder
# Keys go through the X server (xdotool); everything read comes from the bus.
import os
import subprocess
import sys
import time

import pyatspi

exe, folder = sys.argv[1], sys.argv[2]
os.makedirs(folder, exist_ok=True)
for name in "cab":
    with open(os.path.join(folder, name + ".txt"), "w") as f:
        f.write(name * 3)
output = os.path.join(folder, "joined.bin")
if os.path.exists(output):
    os.remove(output)


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "60", *keys], check=True)
    time.sleep(0.4)


def typed(text):
    subprocess.run(["xdotool", "type", "--delay", "20", text], check=True)
    time.sleep(0.3)


def wait_for(fn, what, timeout=10):
    end = time.time() + timeout
    while time.time() < end:
        found = fn()
        if found:
            return found
        time.sleep(0.2)
    raise SystemExit("not found: " + what)


def find(root, pred):
    if root is None:
        return None
    try:
        if pred(root):
            return root
        for i in range(root.childCount):
            hit = find(root.getChildAtIndex(i), pred)
            if hit:
                return hit
    except Exception:
        return None
    return None


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name in ("vantrel", "Vantrel"):
            return a
    return None


def named(role, name):
    return lambda n: n.getRoleName() == role and n.name == name


def press(node):
    """Presses through the bus and says how long the call took."""
    action = node.queryAction()
    start = time.time()
    action.doAction(0)
    took = time.time() - start
    print(f"  press '{node.name}' ({node.getRoleName()}): call returned in {took * 1000:.0f} ms")
    return took


def rows(table):
    t = table.queryTable()
    return [os.path.basename(t.getAccessibleAt(r, 0).name) for r in range(t.nRows)]


def is_other_window(n):
    """A dialog or box besides the main window (which is a dialog named Vantrel too)."""
    if not n.getState().contains(pyatspi.STATE_SHOWING):
        return False
    if n.getRoleName() == "alert":
        return True
    return n.getRoleName() == "dialog" and n.getIndexInParent() > 0 and n.parent == app()


def answer_file_dialog(names):
    dialog = wait_for(lambda: find(app(), is_other_window), "file dialog")
    print(f"  dialog '{dialog.name}' open; typing the file name")
    time.sleep(0.5)
    typed(names)
    key("Return")
    wait_for(lambda: not find(app(), is_other_window), "dialog closed")


proc = subprocess.Popen([exe], env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
try:
    wait_for(app, "Vantrel on the bus", 20)
    time.sleep(1)
    toolbar = wait_for(lambda: find(app(), named("tool bar", "Toolbar")), "toolbar")
    table = find(app(), named("table", "Files to join"))
    print("window:", find(app(), lambda n: n.getRoleName() in ("frame", "dialog")).name)

    print("1. Add Files, through the toolbar button's action")
    took = press(find(toolbar, named("push button", "Add Files")))
    assert took < 2, "the press blocked"
    answer_file_dialog(f'"{folder}/c.txt" "{folder}/a.txt" "{folder}/b.txt"')
    print("  rows:", rows(table))

    print("2. Reorder by keys: select the last row, Alt+Home; then Alt+Down")
    key("Tab", "Tab", "Tab")  # round the focus chain back to the list
    key("End")
    print("  selected:", [rows(table)[r] for r in table.queryTable().getSelectedRows()])
    key("alt+Home")
    print("  after Alt+Home:", rows(table), "selected",
          [rows(table)[r] for r in table.queryTable().getSelectedRows()])
    key("alt+Down")
    print("  after Alt+Down:", rows(table))
    key("alt+End")
    print("  after Alt+End:", rows(table))

    print("3. Sort through the header item's action, then with Alt+S")
    header = find(table, lambda n: n.getRoleName() in ("table column header", "column header"))
    print(f"  header '{header.name}': description '{header.description}', actions",
          [header.queryAction().getName(i) for i in range(header.queryAction().nActions)])
    press(header)
    time.sleep(0.5)
    print("  after the action:", rows(table), "|", header.description)
    key("alt+s")
    print("  after Alt+S:", rows(table), "|", header.description)
    key("alt+s")
    print("  after Alt+S again:", rows(table), "|", header.description)
    order = rows(table)

    print("4. Output through the '...' button's action, then Join Files")
    press(find(app(), named("push button", "Choose the output file")))
    answer_file_dialog(output)
    took = press(find(toolbar, named("push button", "Join Files")))
    box = wait_for(lambda: find(app(), is_other_window), "box")
    text = find(box, lambda n: n.getRoleName() in ("label", "static") and n.name)
    print("  box says:", text.name if text else "(no text)")
    ok = find(box, named("push button", "OK"))
    press(ok)
    wait_for(lambda: not find(app(), is_other_window), "box closed")
    with open(output) as f:
        joined = f.read()
    expected = "".join(n[0] * 3 for n in order)
    print(f"  output '{joined}', expected from the list '{expected}':",
          "OK" if joined == expected else "WRONG")

    print("5. The About box")
    press(find(toolbar, named("push button", "About")))
    about = wait_for(lambda: find(app(), is_other_window), "About box")
    print(f"  '{about.name}' reads:")
    for i in range(about.childCount):
        c = about.getChildAtIndex(i)
        actions = []
        try:
            a = c.queryAction()
            actions = [a.getName(j) for j in range(a.nActions)]
        except NotImplementedError:
            pass
        print(f"    {c.getRoleName():12} '{c.name}' {actions}")
    subprocess.run(["import", "-window", "root", os.path.join(folder, "about.png")])
    key("Tab")
    focused = find(about, lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))
    print("  Tab from OK reaches:", focused.getRoleName() if focused else None,
          focused.name if focused else None)
    subprocess.run(["import", "-window", "root", os.path.join(folder, "about-link-focus.png")])
    key("Escape")
finally:
    proc.terminate()
    proc.wait(10)
