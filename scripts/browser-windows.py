#!/usr/bin/env python3
"""Looks at browsers that accept DevTools connections on the loopback interface.

  browser-windows.py reachable             exit 0 when some browser that Quellio would
                                           find answers (its usual profile folders)
  browser-windows.py watch PROFILE_FOLDER  print that browser's open windows once a second
"""
import json
import os
import sys
import time
import urllib.request


def port_of(folder):
    try:
        with open(os.path.join(folder, "DevToolsActivePort"), encoding="ascii") as f:
            return int(f.readline().strip())
    except (OSError, ValueError):
        return None


def targets(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=2) as answer:
        return json.load(answer)


def usual_folders():
    home = os.path.expanduser("~")
    config = os.environ.get("XDG_CONFIG_HOME") or os.path.join(home, ".config")
    data = os.environ.get("XDG_DATA_HOME") or os.path.join(home, ".local", "share")
    names = ["chromium", "google-chrome", "google-chrome-beta", "google-chrome-unstable",
             "BraveSoftware/Brave-Browser", "microsoft-edge", "microsoft-edge-beta",
             "microsoft-edge-dev"]
    folders = [os.path.join(config, name) for name in names]
    folders.append(os.path.join(home, "snap/chromium/common/chromium"))
    folders.append(os.path.join(data, "Quellio", "browser"))
    return folders


def reachable():
    for folder in usual_folders():
        port = port_of(folder)
        if port is None:
            continue
        try:
            targets(port)
            return 0
        except OSError:
            continue
    return 1


def describe(page):
    """A page's address, shortened, and its title where the page has one of its own."""
    url = page.get("url", "")
    title = page.get("title", "")
    shown = url[:60]
    if title and title != url and not url.endswith(title):
        shown += f" [{title[:50]}]"
    return shown


def watch(folder):
    while True:
        port = port_of(folder)
        stamp = time.strftime("%H:%M:%S")
        try:
            pages = [t for t in targets(port) if t.get("type") == "page"] if port else None
        except OSError:
            pages = None
        if pages is None:
            print(f"{stamp}  (browser not reachable yet)", flush=True)
        else:
            shown = ", ".join(describe(p) for p in pages) or "none"
            print(f"{stamp}  {len(pages)} open window(s): {shown}", flush=True)
        time.sleep(1)


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "reachable":
        sys.exit(reachable())
    if len(sys.argv) == 3 and sys.argv[1] == "watch":
        try:
            watch(sys.argv[2])
        except KeyboardInterrupt:
            pass
        sys.exit(0)
    sys.exit(__doc__)
