#!/usr/bin/env python3
"""Runs the demo of `make run` (scripts/run-quellio without a display) for about twenty
seconds and checks what a newcomer is meant to see: no pop-up listed for more than two
seconds, the tab kept once it is open, the demo page counting its pop-ups closed, and the
browser's companion extension connected to Quellio through its bridge.
    demo_test.py SOURCE_FOLDER BIN_FOLDER
"""
import os
import re
import selectors
import signal
import subprocess
import sys
import time

WATCHED_LINES = 20
LINE = re.compile(r"^(\d\d):(\d\d):(\d\d)  \d+ open window\(s\): (.*)$")


def run_demo(root, bindir):
    """The watch lines the demo printed, as (seconds of the day, what was listed), and
    whether the extension's bridge was running at the end."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["QUELLIO_BIN"] = bindir
    demo = subprocess.Popen([os.path.join(root, "scripts", "run-quellio")], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            start_new_session=True)
    seen, output = [], []
    selector = selectors.DefaultSelector()
    selector.register(demo.stdout, selectors.EVENT_READ)
    deadline = time.monotonic() + 120
    try:
        while len(seen) < WATCHED_LINES and time.monotonic() < deadline:
            if not selector.select(timeout=1):
                continue
            line = demo.stdout.readline()
            if not line:
                break
            output.append(line)
            match = LINE.match(line.rstrip("\n"))
            if match:
                h, m, s, listed = match.groups()
                seen.append((int(h) * 3600 + int(m) * 60 + int(s), listed))
        # The bridge runs in the demo's session once the extension has started it.
        bridged = subprocess.run(["pgrep", "-x", "-s", str(demo.pid), "quellio-bridge"],
                                 stdout=subprocess.DEVNULL, check=False).returncode == 0
    finally:
        # The script's own Ctrl+C handling ends everything it started.
        demo.send_signal(signal.SIGINT)
        try:
            demo.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(demo.pid, signal.SIGKILL)
    return seen, bridged, "".join(output)


def faults(seen, bridged):
    """What is wrong with the watch lines, in words; empty when all is well."""
    found = []
    if not bridged:
        found.append("the companion extension never started its bridge")
    if len(seen) < WATCHED_LINES:
        found.append(f"only {len(seen)} lines with the browser's windows")
    listed_at = {}
    for stamp, listed in seen:
        for n in re.findall(r"popup\.html\?n=(\d+)", listed):
            listed_at.setdefault(n, []).append(stamp)
    for n, stamps in sorted(listed_at.items()):
        if stamps[-1] - stamps[0] > 2:
            found.append(f"pop-up {n} listed from {stamps[0]} to {stamps[-1]}")
    with_tab = [i for i, (_, listed) in enumerate(seen) if "tab.html" in listed]
    if not with_tab:
        found.append("the tab never appeared")
    elif with_tab != list(range(with_tab[0], len(seen))):
        found.append("the tab went away")
    counts = re.search(r"(\d+) pop-ups opened, (\d+) closed", seen[-1][1] if seen else "")
    if not counts:
        found.append("the demo page does not show its counts")
    else:
        opened, closed = int(counts.group(1)), int(counts.group(2))
        # The last one may be on its way out at the moment of the look.
        if opened < 5 or closed < opened - 1:
            found.append(f"{opened} pop-ups opened, {closed} closed")
    return found


def main():
    seen, bridged, output = run_demo(sys.argv[1], sys.argv[2])
    found = faults(seen, bridged)
    if found:
        print(output)
        print("\n".join(found))
        return 1
    print(f"{len(seen)} lines, last: {seen[-1][1]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
