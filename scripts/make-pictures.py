#!/usr/bin/env python3
"""Draws Quellio's icons and bitmaps as SVG and renders them to PNG with ImageMagick.

Run from anywhere: scripts/make-pictures.py. It rewrites the pictures under res/icons and
res/bitmaps; the results are committed, so building needs neither this script nor ImageMagick.
"""

import math
import os
import shutil
import subprocess
import sys

RES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")

BLUE = "#2f6fd0"
NAVY = "#1c3f7a"
RED = "#d9342b"
GREEN = "#2e9e44"
GREY = "#8a8f98"
DARK_GREY = "#555a63"
AMBER = "#f2a516"


def svg(width, height, body, view=48):
    """A document of width x height pixels whose drawing uses a view x view canvas."""
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {view} {view}">{body}</svg>')


# 48 x 48 drawings: a browser window with a badge in its lower right corner.
def window(frame, bar):
    return (f'<rect x="3" y="6" width="38" height="32" rx="4" fill="#ffffff" stroke="{frame}" '
            f'stroke-width="3"/>'
            f'<rect x="3" y="6" width="38" height="9" rx="3" fill="{bar}"/>'
            f'<rect x="9" y="21" width="16" height="3" fill="{frame}" opacity="0.45"/>'
            f'<rect x="9" y="27" width="11" height="3" fill="{frame}" opacity="0.45"/>')


def rotated(points, degrees, cx, cy):
    """An SVG points list of `points` turned about (cx, cy): ImageMagick's own SVG renderer
    ignores transforms on shapes, so the geometry is turned here."""
    a = math.radians(degrees)
    turned = []
    for x, y in points:
        dx, dy = x - cx, y - cy
        turned.append(f"{cx + dx * math.cos(a) - dy * math.sin(a):.2f},"
                      f"{cy + dx * math.sin(a) + dy * math.cos(a):.2f}")
    return " ".join(turned)


def no_entry(fill):
    bar = rotated([(26, 31), (42, 31), (42, 37), (26, 37)], -45, 34, 34)
    return (f'<circle cx="34" cy="34" r="12" fill="{fill}" stroke="#ffffff" stroke-width="2.5"/>'
            f'<polygon points="{bar}" fill="#ffffff"/>')


def program_icon():
    return window(NAVY, BLUE) + no_entry(RED)


def tray_off():
    return (window(DARK_GREY, GREY) +
            f'<circle cx="34" cy="34" r="11" fill="#ffffff" stroke="{GREY}" stroke-width="4"/>')


def tray_kill():
    points = []
    for i in range(24):
        r = 22 if i % 2 == 0 else 12
        a = math.pi * 2 * i / 24
        points.append(f"{24 + r * math.cos(a):.2f},{24 + r * math.sin(a):.2f}")
    return (f'<polygon points="{" ".join(points)}" fill="{AMBER}" stroke="{RED}" stroke-width="2"/>'
            f'<circle cx="24" cy="24" r="10" fill="{RED}"/>'
            f'<path d="M19 19 L29 29 M29 19 L19 29" stroke="#ffffff" stroke-width="4" '
            f'stroke-linecap="round"/>')


# 16 x 16 menu pictures.
def power(colour):
    return (f'<path d="M5 4.5 A5.5 5.5 0 1 0 11 4.5" fill="none" stroke="{colour}" '
            f'stroke-width="2" stroke-linecap="round"/>'
            f'<path d="M8 2 L8 8" stroke="{colour}" stroke-width="2" stroke-linecap="round"/>')


def gear():
    tooth = [(6.5, 0.5), (9.5, 0.5), (9.5, 4.5), (6.5, 4.5)]
    teeth = "".join(f'<polygon points="{rotated(tooth, a, 8, 8)}" fill="{DARK_GREY}"/>'
                    for a in range(0, 360, 45))
    return (teeth + f'<circle cx="8" cy="8" r="5" fill="{DARK_GREY}"/>'
            f'<circle cx="8" cy="8" r="2" fill="#ffffff"/>')


def clock():
    return (f'<circle cx="8" cy="8" r="6.5" fill="#ffffff" stroke="{BLUE}" stroke-width="1.5"/>'
            f'<path d="M8 4 L8 8 L11 10" fill="none" stroke="{NAVY}" stroke-width="1.5" '
            f'stroke-linecap="round"/>')


def page(fill, stroke):
    return (f'<path d="M3 1.5 H10 L13 4.5 V14.5 H3 Z" fill="{fill}" stroke="{stroke}" '
            f'stroke-width="1"/>')


def black_list():
    return (page("#30343b", "#30343b") +
            f'<path d="M5.5 6 L10.5 11 M10.5 6 L5.5 11" stroke="{RED}" stroke-width="2" '
            f'stroke-linecap="round"/>')


def white_list():
    return (page("#ffffff", DARK_GREY) +
            f'<path d="M5 8.5 L7.5 11 L11.5 5.5" fill="none" stroke="{GREEN}" stroke-width="2" '
            f'stroke-linecap="round" stroke-linejoin="round"/>')


def logs():
    lines = "".join(f'<rect x="5" y="{y}" width="6" height="1.4" fill="{BLUE}"/>'
                    for y in (5, 7.5, 10, 12.5))
    return page("#ffffff", DARK_GREY) + lines


def about():
    return (f'<circle cx="8" cy="8" r="7" fill="{BLUE}"/>'
            f'<rect x="7" y="7" width="2" height="5.5" fill="#ffffff"/>'
            f'<circle cx="8" cy="4.7" r="1.2" fill="#ffffff"/>')


def help_topics():
    return (f'<path d="M2 3 Q5 1.5 8 3 Q11 1.5 14 3 V13.5 Q11 12 8 13.5 Q5 12 2 13.5 Z" '
            f'fill="#ffffff" stroke="{NAVY}" stroke-width="1.2"/>'
            f'<path d="M8 3 V13.5" stroke="{NAVY}" stroke-width="1"/>'
            f'<path d="M4 6 H6.5 M4 8.5 H6.5 M9.5 6 H12 M9.5 8.5 H12" stroke="{BLUE}" '
            f'stroke-width="1"/>')


def help_online():
    return (f'<circle cx="8" cy="8" r="6.5" fill="#d9ecff" stroke="{BLUE}" stroke-width="1.3"/>'
            f'<ellipse cx="8" cy="8" rx="2.8" ry="6.5" fill="none" stroke="{BLUE}" '
            f'stroke-width="1"/>'
            f'<path d="M1.5 8 H14.5 M2.8 4.8 H13.2 M2.8 11.2 H13.2" stroke="{BLUE}" '
            f'stroke-width="0.9"/>')


def tip():
    return (f'<circle cx="8" cy="6.5" r="5" fill="#ffe680" stroke="{AMBER}" stroke-width="1.2"/>'
            f'<rect x="5.8" y="11" width="4.4" height="3.5" rx="0.8" fill="{GREY}"/>'
            f'<path d="M6.5 7 L8 9 L9.5 7" fill="none" stroke="{AMBER}" stroke-width="0.9"/>')


def exit_door():
    return (f'<rect x="2.5" y="1.5" width="8" height="13" fill="#c58a4a" stroke="#7a4f22" '
            f'stroke-width="1"/>'
            f'<circle cx="8.5" cy="8" r="0.9" fill="#7a4f22"/>'
            f'<path d="M9.5 8 H15 M12.5 5.5 L15 8 L12.5 10.5" fill="none" stroke="{RED}" '
            f'stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>')


def side_band():
    # 16 x 252: navy fading to blue in bands (the renderer has no gradients), with the
    # program's 16 pixel icon at the bottom.
    top, bottom = (0x1c, 0x3f, 0x7a), (0x2f, 0x6f, 0xd0)
    bands = []
    for i in range(18):
        colour = "#" + "".join(f"{round(a + (b - a) * i / 17):02x}" for a, b in zip(top, bottom))
        bands.append(f'<rect x="0" y="{i * 14}" width="16" height="14" fill="{colour}"/>')
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="252" '
            'viewBox="0 0 16 252">' + "".join(bands) +
            f'<g transform="translate(0 234) scale({16 / 48})">{program_icon()}</g></svg>')


def tip_heading():
    # 40 x 53, the heading of the tip of the day: a lit bulb with rays.
    rays = "".join(
        f'<path d="M{20 + 13 * math.cos(math.radians(a)):.2f} {19 + 13 * math.sin(math.radians(a)):.2f} '
        f'L{20 + 18 * math.cos(math.radians(a)):.2f} {19 + 18 * math.sin(math.radians(a)):.2f}" '
        f'stroke="{AMBER}" stroke-width="2" stroke-linecap="round"/>'
        for a in (-150, -120, -90, -60, -30, 180, 0))
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="40" height="53" viewBox="0 0 40 53">'
            + rays +
            f'<circle cx="20" cy="20" r="10" fill="#ffe680" stroke="{AMBER}" stroke-width="1.6"/>'
            f'<path d="M16 29 L17 34 L23 34 L24 29" fill="#ffe680" stroke="{AMBER}" '
            f'stroke-width="1.4"/>'
            f'<path d="M17 20 L19 24 L21 24 L23 20" fill="none" stroke="{AMBER}" stroke-width="1"/>'
            f'<rect x="16.5" y="34" width="7" height="8" rx="1.2" fill="{GREY}"/>'
            f'<path d="M16.5 36.5 H23.5 M16.5 39.3 H23.5" stroke="{DARK_GREY}" stroke-width="0.9"/>'
            f'<rect x="18.5" y="42" width="3" height="2" fill="{DARK_GREY}"/></svg>')


def holly_leaf(cx, cy, degrees):
    """A spiky leaf 14 long along its axis, turned about its stalk at (cx, cy)."""
    outline = [(0, 0), (3, -2.2), (4.5, -4.5), (6.5, -3.2), (8.5, -5), (10.5, -3.5), (14, -2.5),
               (14, 0), (14, 2.5), (10.5, 3.5), (8.5, 5), (6.5, 3.2), (4.5, 4.5), (3, 2.2)]
    points = rotated([(cx + x, cy + y) for x, y in outline], degrees, cx, cy)
    return f'<polygon points="{points}" fill="{GREEN}" stroke="#1d6b2e" stroke-width="0.7"/>'


def maker():
    # 37 x 37, the maker's picture: a sprig of holly on a pale disc.
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="37" height="37" viewBox="0 0 37 37">'
            '<circle cx="18.5" cy="18.5" r="17.5" fill="#eef4ec" stroke="#9fbf9a" stroke-width="1"/>'
            + holly_leaf(18.5, 19.5, -150) + holly_leaf(18.5, 19.5, -30) + holly_leaf(18.5, 19.5, 90) +
            f'<circle cx="16" cy="18" r="3" fill="{RED}"/><circle cx="21.5" cy="17" r="3" fill="{RED}"/>'
            f'<circle cx="18.5" cy="22" r="3" fill="{RED}"/></svg>')


ICONS = {  # file stem: drawing on the 48 canvas
    "quellio": program_icon,
    "tray-on": program_icon,
    "tray-kill": tray_kill,
    "tray-off": tray_off,
}
ICON_SIZES = (16, 22, 32, 48)

MENU_BITMAPS = {  # file stem: drawing on the 16 canvas
    "menu-off": lambda: power(GREY),
    "menu-on": lambda: power(GREEN),
    "menu-general": gear,
    "menu-history": clock,
    "menu-blacklist": black_list,
    "menu-whitelist": white_list,
    "menu-logs": logs,
    "menu-about": about,
    "menu-help-topics": help_topics,
    "menu-help-online": help_online,
    "menu-tip": tip,
    "menu-exit": exit_door,
}


def render(document, target):
    convert = shutil.which("convert")
    if convert is None:
        sys.exit("make-pictures: ImageMagick's convert is needed")
    subprocess.run([convert, "-background", "none", "svg:-", "-strip", f"png32:{target}"],
                   input=document.encode(), check=True)


def main():
    icons = os.path.join(RES, "icons")
    bitmaps = os.path.join(RES, "bitmaps")
    os.makedirs(icons, exist_ok=True)
    os.makedirs(bitmaps, exist_ok=True)
    with open(os.path.join(icons, "quellio.svg"), "w") as f:
        f.write(svg(48, 48, program_icon()) + "\n")
    for stem, draw in ICONS.items():
        for size in ICON_SIZES:
            render(svg(size, size, draw()), os.path.join(icons, f"{stem}-{size}.png"))
    for stem, draw in MENU_BITMAPS.items():
        render(svg(16, 16, draw(), view=16), os.path.join(bitmaps, f"{stem}.png"))
    render(side_band(), os.path.join(bitmaps, "menu-side.png"))
    render(tip_heading(), os.path.join(bitmaps, "tip-heading.png"))
    render(maker(), os.path.join(bitmaps, "maker.png"))
    # The main window's 38 x 37 picture: the program icon on a 37 pixel square.
    render(svg(38, 37, f'<g transform="translate(0.5 0)">{program_icon()}</g>', view=48 * 38 / 37),
           os.path.join(bitmaps, "logo.png"))


if __name__ == "__main__":
    main()
