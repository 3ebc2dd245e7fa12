#!/usr/bin/env python3
"""Checks the demo content's set definitions and package descriptions before they are packed.

Reads the files with the program's own configuration grammar and refuses what the program would
silently get wrong: missing pictures or icons, rectangle lists of the wrong length, links that
would be ignored, item numbering that an add-on would shift, colourable layers of a playable set
without a default colour, and a char_vexa layout whose pages no longer match the tutorial. Usage: check_content.py <content-folder> [<staged-folder>]
(the staged folder holds the generated pictures; without it only the text files are checked).
Exit status 1 and one line per problem on failure.
"""

import os
import re
import sys

LAST_LIST_KEYS = ("Linked", "Toggle", "AppliedTo", "AvailableTo")


# ------------------------------------------------------------------ the configuration grammar
def parse_config(text):
    """Sections as [name, [entry, ...]], each entry a (keys, values) pair, as the program reads them."""
    sections, token, quoted = [], "", False
    for ch in text:
        if ch == ":" and not quoted:
            token = ""
        elif ch == "{":
            sections.append([token, []])
            token = ""
        elif ch in "}]":
            token = ""
        elif ch == "[":
            if sections:
                sections[-1][1].append(([], []))
            token = ""
        elif ch == "=":
            if sections and sections[-1][1]:
                sections[-1][1][-1][0].append(token)
            token, quoted = "", False
        elif ch == '"':
            if quoted:
                if sections and sections[-1][1]:
                    sections[-1][1][-1][1].append(token)
                token, quoted = "", False
            else:
                quoted = True
        elif ch in " \n\t\v\r" and not quoted:
            pass
        else:
            token += ch
    return sections


def section(sections, name):
    for s in sections:
        if s[0] == name:
            return s[1]
    return None


def get(entry, key):
    keys, values = entry
    for i, k in enumerate(keys):
        if k == key:
            return values[i] if i < len(values) else ""
    return None


def get_int(entry, key):
    v = get(entry, key)
    if v is None:
        return -1
    m = re.match(r"\s*([+-]?\d+)", v)
    return int(m.group(1)) if m else 0


# ------------------------------------------------------------------ model
class Category:
    def __init__(self, entry, rect_text):
        self.name = get(entry, "Name") or ""
        self.sub = get(entry, "Subcategory") or ""
        self.count = get_int(entry, "ItemCount")
        self.removable = get_int(entry, "Removable") != 0
        self.has_icons = get_int(entry, "HasIcons") == 1
        self.transparent = get_int(entry, "TransparentItem")
        self.colourable = get_int(entry, "Colorable") == 1
        text = get(entry, "DefaultColor")
        nums = (text or "").split()
        ok = len(nums) == 3 and all(n.isdigit() and int(n) <= 255 for n in nums)
        self.default_color = tuple(int(n) for n in nums) if ok else None
        self.bad_color = text is not None and not ok
        self.entry = entry
        self.rect_text = rect_text or ""


class SetDefinition:
    def __init__(self, name, text):
        self.name = name
        s = parse_config(text)
        self.lists = [get(e, "Subcategory") or "" for e in (section(s, "Zoom") or [])]
        dims = section(s, "Dimensions")
        self.has_dimensions = dims is not None
        self.size = (get_int(dims[0], "Width"), get_int(dims[0], "Height")) if dims else (-1, -1)
        rects = section(s, "Rects")
        items = section(s, "Items") or []
        self.rect_entries = None if rects is None else len(rects)
        self.categories = [Category(e, get(rects[i], "Rect") if rects and i < len(rects) else "")
                           for i, e in enumerate(items)]

    def find(self, name):
        for c in self.categories:
            if c.name == name:
                return c
        return None


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def rect_groups(text, where, problems):
    groups = [g for g in text.split(",")] if text.strip() else []
    for g in groups:
        nums = g.split()
        if len(nums) != 4 or not all(n.isdigit() for n in nums):
            problems.append("%s: rectangle \"%s\" is not four unsigned numbers" % (where, g.strip()))
    return len(groups)


def check_definition(d, files, problems, base=False):
    where = "%s/%s.txt" % (d.name, d.name)
    if not d.lists:
        problems.append("%s: no Zoom lists" % where)
        return
    if not d.has_dimensions:
        problems.append("%s: no Dimensions section (only test fixtures may leave it out)" % where)
    if d.rect_entries is not None and d.rect_entries != len(d.categories):
        problems.append("%s: Rects has %d entries for %d categories" % (where, d.rect_entries, len(d.categories)))
    last = d.lists[-1]
    for c in d.categories:
        cw = "%s [%s]" % (where, c.name)
        if not c.name or not c.sub:
            problems.append("%s: a category needs Name and Subcategory" % cw)
            continue
        if c.sub not in d.lists:
            problems.append("%s: Subcategory \"%s\" is not a Zoom list" % (cw, c.sub))
        for key in LAST_LIST_KEYS:
            value = get(c.entry, key)
            if value and c.sub != last:
                problems.append("%s: %s is only read for categories of the last list \"%s\"" % (cw, key, last))
            for target in (value or "").split():
                if not d.find(target):
                    problems.append("%s: %s names unknown category \"%s\"" % (cw, key, target))
        for target in (get(c.entry, "IgnoreItem") or "").split():
            if not d.find(target):
                problems.append("%s: IgnoreItem names unknown category \"%s\"" % (cw, target))
        count = max(c.count, 0)
        alpha = get(c.entry, "Alpha") or ""
        for g in filter(None, (x.strip() for x in alpha.split(","))):
            nums = g.split()
            if len(nums) < 2 or not nums[0].isdigit() or not nums[1].isdigit() or not 1 <= int(nums[0]) <= count:
                problems.append("%s: Alpha group \"%s\" does not name one of its items and a bit" % (cw, g))
        if c.bad_color:
            problems.append("%s: DefaultColor \"%s\" is not three numbers 0..255" % (cw, get(c.entry, "DefaultColor")))
        elif base and c.colourable and c.default_color is None:
            # the program would start this layer as the grey drawing, unlike the menu's preview
            problems.append("%s: a colourable layer of a playable set needs a DefaultColor" % cw)
        ext = "jpg" if c.transparent > -1 else "png"
        has_zero = ("pictures/%s/0.%s" % (c.name, ext)) in files if files is not None else False
        n_rects = rect_groups(c.rect_text, cw, problems)
        if n_rects and n_rects != count + (1 if has_zero else 0):
            problems.append("%s: %d rectangles for %d items" % (cw, n_rects, count))
        listed = c.sub != last or c.has_icons
        if files is None:
            continue
        for item in range(1, count + 1):
            pic = "pictures/%s/%d.%s" % (c.name, item, ext)
            if listed and pic not in files:
                problems.append("%s: item %d has no picture %s" % (cw, item, pic))
            if listed and ("icons/%s/%d.png" % (c.name, item)) not in files:
                problems.append("%s: item %d has no icon" % (cw, item))
        if c.sub == last and get(c.entry, "Linked") is None and not c.has_icons:
            for item in range(1, count + 1):
                if ("pictures/%s/%d.%s" % (c.name, item, ext)) not in files:
                    problems.append("%s: item %d has no picture" % (cw, item))


def read_preview(path):
    s = parse_config(read(path))
    p = section(s, "Purchase")
    return p[0] if p else None


def flag(e, key):
    return get_int(e, key) == 1


def check_packages(root, staged, problems):
    defs, previews = {}, {}
    for name in sorted(os.listdir(root)):
        folder = os.path.join(root, name)
        if not os.path.isdir(folder) or name == "core" or name == "dyncfg":
            continue
        if os.path.exists(os.path.join(folder, "preview.txt")):
            e = read_preview(os.path.join(folder, "preview.txt"))
            if e is None:
                problems.append("%s/preview.txt: no Purchase section" % name)
                continue
            previews[name] = e
        elif os.path.exists(os.path.join(folder, name + ".txt")):
            defs[name] = SetDefinition(name, read(os.path.join(folder, name + ".txt")))

    def files_of(pkg):
        if staged is None:
            return None
        base = os.path.join(staged, pkg)
        out = set()
        for dirpath, _, names in os.walk(base):
            for n in names:
                rel = os.path.relpath(os.path.join(dirpath, n), base)
                # the stager's sources stand for what the package builder makes of them
                if rel.endswith(".jpg.svg"):
                    rel = rel[:-4]
                elif rel.endswith(".svg"):
                    rel = rel[:-4] + ".png"
                out.add(rel)
        return out

    bases = {get(e, "Assets") for e in previews.values() if flag(e, "Base")}
    for d in defs.values():
        check_definition(d, files_of(d.name), problems, d.name in bases)

    for entry, e in previews.items():
        set_name = get(e, "Assets") or ""
        if set_name and set_name not in defs:
            problems.append("%s/preview.txt: Assets \"%s\" has no definition" % (entry, set_name))
        files = files_of(entry)
        if files is not None:
            for need in ("icon.png", "prev.jpg"):
                if need not in files:
                    problems.append("%s: no %s" % (entry, need))
            if "en.txt" in files:
                for need in ["info.jpg"] + ["%d.jpg" % k for k in range(max(0, get_int(e, "ImageCount")))]:
                    if need not in files:
                        problems.append("%s: the information page needs %s" % (entry, need))
                if not get(e, "Font") or get_int(e, "FontSize") < 1:
                    problems.append("%s: the information page needs Font and FontSize" % entry)
        # An add-on appends a range to each category it names; the target must exist and declare no
        # items of its own, or the first range would start at 0 and every item would shift by one.
        targets = [p for p in (get(e, "Packages") or "").split(";") if p]
        if "all" in targets:
            targets = [n for n, pe in previews.items() if flag(pe, "Base") and not flag(pe, "DisableMixing")
                       and get(pe, "Assets")]
            targets = [get(previews[n], "Assets") for n in targets]
        for t in targets:
            if t not in defs or set_name not in defs:
                continue
            for c in defs[set_name].categories:
                tc = defs[t].find(c.name)
                if tc is None:
                    problems.append("%s: mixes category \"%s\" into %s, which has none" % (entry, c.name, t))
                elif tc.count != 0:
                    problems.append("%s/%s.txt [%s]: declares ItemCount %d but %s adds items; the numbering "
                                    "would shift (declare 0)" % (t, t, c.name, tc.count, entry))
    return defs, previews


# ------------------------------------------------------------------ the tutorial's fixed pages
TUTORIAL_PAGES = {  # category -> (grid page, grid entry the tutorial presses)
    "col_hair": (2, 4), "pants": (4, 3), "boots": (5, 2), "top": (7, 6), "background": (15, 4), "items": (16, 2)}
# The add-on the tutorial plays: the first of char_vexa's add-ons in the default package list.
TUTORIAL_ADDON = "vexa_forest_prev"
TUTORIAL_LISTS = {"col_hair": (0, 2), "pants": (1, 1), "boots": (1, 2), "top": (1, 4), "background": (4, 0), "items": (4, 1)}


def check_tutorial(defs, previews, problems):
    """Replays the edit screen's list building for char_vexa with the tutorial's packages."""
    if "char_vexa" not in defs:
        problems.append("char_vexa: no definition")
        return
    d = defs["char_vexa"]
    counts = {c.name: max(c.count, 0) for c in d.categories}
    addons = [n for n, e in previews.items() if flag(e, "HD") and "char_vexa" in (get(e, "Packages") or "").split(";")]
    logos = [n for n, e in previews.items() if flag(e, "Logo")]
    if TUTORIAL_ADDON not in addons:
        problems.append("char_vexa: the tutorial's add-on %s is not an HD add-on of char_vexa" % TUTORIAL_ADDON)
    for entry in [a for a in addons if a == TUTORIAL_ADDON] + logos:
        src = defs.get(get(previews[entry], "Assets"))
        for c in (src.categories if src else []):
            if c.name in counts:
                counts[c.name] += max(c.count, 0)
    pages, lists = {}, {}
    page = 0
    for gi, group in enumerate(d.lists[:-1]):
        member = 0
        for c in d.categories:
            if c.sub != group:
                continue
            n = counts[c.name] - (0 if c.removable else 1)
            if n == 0:
                continue
            pages[c.name] = (page, n)
            lists[c.name] = (gi, member)
            page += 1
            member += 1
    for name, (want_page, want_entry) in TUTORIAL_PAGES.items():
        got = pages.get(name)
        if not got or got[0] != want_page:
            problems.append("char_vexa: tutorial expects \"%s\" on grid page %d, it lands on %s"
                            % (name, want_page, got[0] if got else "no page"))
        elif got[1] < want_entry:
            problems.append("char_vexa: tutorial presses entry %d of \"%s\", which has %d" % (want_entry, name, got[1]))
        if lists.get(name) != TUTORIAL_LISTS[name]:
            problems.append("char_vexa: tutorial expects \"%s\" at main/sub %s, it is at %s"
                            % (name, TUTORIAL_LISTS[name], lists.get(name)))
    c = d.find("col_hair")
    if not c or get_int(c.entry, "Colorable") != 1:
        problems.append("char_vexa: col_hair must be colourable")
    toggles = [get(x.entry, "Toggle") for x in d.categories if x.sub == d.lists[-1]]
    if "boots" not in toggles:
        problems.append("char_vexa: boots must be named under Toggle by a category of the last list")
    if not d.find("items") or get_int(d.find("items").entry, "Movable") != 1:
        problems.append("char_vexa: the category on page 16 must be movable")
    if len(addons) < 3:
        problems.append("char_vexa: the tutorial needs three add-on packages, found %d" % len(addons))


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    problems = []
    defs, previews = check_packages(argv[1], argv[2] if len(argv) > 2 else None, problems)
    check_tutorial(defs, previews, problems)
    for p in problems:
        print("content check: " + p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
