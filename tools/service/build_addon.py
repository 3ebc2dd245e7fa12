#!/usr/bin/env python3
"""Builds the add-on packages that only the stand-in service offers (they are never bundled):
stages each folder of <scenario>/ that holds a set definition or a preview.txt, draws its pictures,
and packs it with build-package.sh into <out>/<package>.lba.

build_addon.py --scenario DIR --stage DIR --out DIR --packer VN_LBA --builder BUILD_PACKAGE_SH
"""

import argparse
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "demo"))

import figure as F  # noqa: E402
from art import px  # noqa: E402
from svg import circle, doc, group, path, rect  # noqa: E402

ICON = 96
# Sky wear: a cape with a cloud clasp, a flight jacket, a kite.
TOPS = [
    lambda: F.top(470, "wide", "high", 20, extras=F.circle(240, 262, 12, F.GREY_SHADE, F.OUTLINE, 2)),
    lambda: F.top(405, "long", "v", extras=F.rect(176, 380, 128, 14, F.GREY_DARK, F.OUTLINE, 2)
                  + F.buttons(226, (300, 330, 360))),
]
KITE = (path("M60,10 L100,60 L60,120 L20,60 Z", "#e8574a", F.INK, 3) + path("M60,10 L60,120 M20,60 L100,60", "none", F.INK, 2)
        + path("M60,120 Q40,150 60,170 Q80,190 39,210", "none", F.INK, 2))
SKY = ('<linearGradient id="skyA" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#6fb7e8"/>'
       '<stop offset="1" stop-color="#e9f6ff"/></linearGradient>'
       + rect(0, 0, 480, 600, "url(#skyA)", None)
       + "".join(circle(x, y, r, "#ffffff", None) for x, y, r in ((80, 120, 40), (120, 110, 50), (160, 125, 36),
                                                                  (330, 220, 34), (370, 210, 44), (410, 226, 30))))


def write(path_, text):
    os.makedirs(os.path.dirname(path_), exist_ok=True)
    with open(path_, "w") as f:
        f.write(text)


def icon(markup, view):
    tile = rect(2, 2, ICON - 4, ICON - 4, "#fbf6ec", "#d9cdb5", 2, 14)
    return doc(ICON, ICON, tile + '<svg x="4" y="4" width="88" height="88" viewBox="%s">%s</svg>' % (view, markup))


def stage_set(dst):
    for n, draw in enumerate(TOPS, 1):
        # rendered at the bundled sets' size, which this add-on mixes into
        write(os.path.join(dst, "pictures/top/%d.svg" % n), doc(px(480), px(600), draw(), view=(0, 0, 480, 600)))
        write(os.path.join(dst, "icons/top/%d.svg" % n), icon(draw(), "130 220 220 280"))
    write(os.path.join(dst, "pictures/items/1.svg"), doc(px(120), px(240), KITE, view=(0, 0, 120, 240)))
    write(os.path.join(dst, "icons/items/1.svg"), icon(KITE, "-6 -6 132 252"))


def stage_preview(dst):
    figure = F.body() + F.eyes(1) + F.mouth(1) + TOPS[0]() + F.hair(2)
    scene = SKY + figure + group(KITE, 'transform="translate(290 250)"')
    write(os.path.join(dst, "prev.jpg.svg"), doc(480, 600, scene))
    write(os.path.join(dst, "0.jpg.svg"), doc(480, 600, SKY + F.body() + F.eyes(2) + F.mouth(2) + TOPS[1]() + F.hair(4)))
    poster = (rect(0, 0, 480, 600, "#4f8fc9", None) + group(scene, 'transform="translate(60 40) scale(0.75)"')
              + rect(20, 500, 440, 80, "#ffffff", None, 0, 16, 'fill-opacity="0.85"')
              + '<text x="240" y="553" font-family="DejaVu Sans" font-weight="bold" font-size="36" '
                'text-anchor="middle" fill="#333">Sky</text>')
    write(os.path.join(dst, "info.jpg.svg"), doc(480, 600, poster))
    head = '<svg x="6" y="6" width="116" height="116" viewBox="120 30 240 240">%s</svg>' % figure
    write(os.path.join(dst, "icon.svg"), doc(128, 128, circle(64, 64, 60, "#4f8fc9", "#ffffff", 4) + head))


def main():
    ap = argparse.ArgumentParser()
    for name in ("scenario", "stage", "out", "packer", "builder"):
        ap.add_argument("--" + name, required=True)
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    for pkg in sorted(os.listdir(a.scenario)):
        src = os.path.join(a.scenario, pkg)
        is_set = os.path.exists(os.path.join(src, pkg + ".txt"))
        is_preview = os.path.exists(os.path.join(src, "preview.txt"))
        if not os.path.isdir(src) or not (is_set or is_preview):
            continue
        dst = os.path.join(a.stage, pkg)
        shutil.rmtree(dst, ignore_errors=True)
        shutil.copytree(src, dst)
        (stage_set if is_set else stage_preview)(dst)
        r = subprocess.run([a.builder, dst, pkg, os.path.join(a.out, pkg + ".lba"), a.packer],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if r.returncode != 0:
            sys.exit("build_addon: %s: %s" % (pkg, r.stdout.strip()))


if __name__ == "__main__":
    main()
