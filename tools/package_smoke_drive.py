#!/usr/bin/python3
"""Drives an installed telvar_v210 from outside, as a user would: a press on
the menu bar takes the port from comports.txt, a click on "ЗАПРОС
ПАРАМЕТРОВ" reads the status block, and the traffic log must end "   : ОК.".

    package_smoke_drive.py PROGRAM WORKDIR PORT SIMLOG

Runs on an X display with a D-Bus session (xvfb-run, dbus-run-session). The
window is read over the accessibility bus; the clicks are real X events
(xdotool). PROGRAM runs in WORKDIR, in a private mount namespace in which
/sys/class/tty is empty, so that its port list is WORKDIR/comports.txt.
SIMLOG, the simulator's request log, must show the status request answered.
"""

import os
import subprocess
import sys
import time

import pyatspi

BUTTON = "ЗАПРОС ПАРАМЕТРОВ"
OK_LINE = "   : ОК."
STATUS_REQUEST = "F7 03 00 00 00 1E"  # registers 0..29 of the device at 247


class Failure(Exception):
    pass


def wait_for(what, probe, timeout_s):
    deadline = time.monotonic() + timeout_s
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"{what}: not within {timeout_s} s")
        time.sleep(0.1)


def fresh(accessible):
    # Names and children are cached from bus signals that no main loop here
    # reads; drop the cache so that every look is current.
    try:
        accessible.clear_cache()
    except AttributeError:
        pass
    return accessible


def find_app(name):
    desktop = fresh(pyatspi.Registry.getDesktop(0))
    for app in desktop:
        if app is not None and app.name == name:
            return fresh(app)
    return None


def find(root, role, predicate=lambda a: True):
    return pyatspi.findDescendant(
        fresh(root), lambda a: a is not None and a.getRole() == role and predicate(fresh(a)))


def click(accessible, at_right=False):
    x, y, width, height = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if width <= 0 or height <= 0:
        raise Failure(f"{accessible.getRoleName()} '{accessible.name}' has no place on the screen")
    # The right end of the menu bar holds no menu title: a press there opens
    # no menu.
    px = x + width - 4 if at_right else x + width // 2
    subprocess.run(["xdotool", "mousemove", "--sync", str(px), str(y + height // 2), "click", "1"],
                   check=True, timeout=10)


def memo_text(app):
    memo = find(app, pyatspi.ROLE_TEXT, lambda a: a.queryText().getText(0, -1).startswith("TX :"))
    return memo.queryText().getText(0, -1) if memo else ""


def start_program(program, workdir):
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    inner = f"mount -t tmpfs tmpfs /sys/class/tty && cd '{workdir}' && exec '{program}'"
    return subprocess.Popen(["unshare", "--mount", "sh", "-c", inner], env=env,
                            stdout=open(os.path.join(workdir, "program.out"), "w"),
                            stderr=subprocess.STDOUT)


def check_sim_log(path):
    with open(path, encoding="utf-8") as log:
        lines = [line.rstrip("\n").split("\t") for line in log if line.strip()]
    if not any(len(f) == 4 and f[1].startswith(STATUS_REQUEST) and f[3] == "ok" for f in lines):
        raise Failure(f"the simulator's log has no answered status request '{STATUS_REQUEST} ..':\n"
                      + "\n".join("\t".join(f) for f in lines))


def drive(program, workdir, port, simlog):
    name = os.path.basename(program)
    process = start_program(program, workdir)
    try:
        def running_app():
            if process.poll() is not None:
                raise Failure(f"{name} exited with status {process.returncode}")
            return find_app(name)

        app = wait_for(f"{name} on the accessibility bus", running_app, 20)
        button = wait_for(f"the button '{BUTTON}'",
                          lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, lambda a: a.name == BUTTON), 10)
        menu_bar = wait_for("the menu bar", lambda: find(app, pyatspi.ROLE_MENU_BAR), 10)
        wait_for("the window on the screen", lambda: fresh(button).getState().contains(pyatspi.STATE_SHOWING), 10)

        click(menu_bar, at_right=True)
        wait_for(f"the port {port} in the status bar",
                 lambda: find(app, pyatspi.ROLE_LABEL, lambda a: a.name == port), 10)

        click(button)
        text = wait_for("the end of the status request in the traffic log",
                        lambda: (lambda t: t if "\n   : " in t else None)(memo_text(app)), 10)
        last = text.rstrip("\n").split("\n")[-1]
        if last != OK_LINE:
            raise Failure(f"the traffic log ends '{last}', not '{OK_LINE}':\n{text}")
        check_sim_log(simlog)
        print(f"{name}: status read through {port}:\n{text}")
    finally:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        drive(*sys.argv[1:])
    except (Failure, subprocess.SubprocessError, OSError) as error:
        print(f"package_smoke_drive.py: {error}", file=sys.stderr)
        out = os.path.join(sys.argv[2], "program.out")
        if os.path.exists(out):
            print(f"program output:\n{open(out, encoding='utf-8', errors='replace').read()}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
