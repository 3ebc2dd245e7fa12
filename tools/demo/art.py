"""Which drawing makes which picture of the demo packages, and the package pictures (icons,
previews, information pages) composed from them. Writes SVG sources only; the package builder
renders them (name.svg -> PNG, name.jpg.svg -> JPEG)."""

import os

import figure as F
from svg import doc, group, rect, tint_filter, circle

CANVAS = (480, 600)   # the design canvas every drawing of figure.py uses
# Item pictures are rendered at SCALE times their design size: 816 x 1020 set pixels fill the width
# of the edit screen's figure area at the default 1600 x 1200 window (816 x 1152), where a smaller
# set is drawn at its own size in the middle. One decimal keeps every rectangle (all multiples of 10
# in design units) whole in set pixels. Package pictures stay at the design size.
SCALE = 1.7
ICON = 96


def px(design):
    """A design length in set pixels."""
    return int(round(design * SCALE))


PIXELS = (px(CANVAS[0]), px(CANVAS[1]))

# (package, category) -> {item: drawing}; item 0 is the picture drawn when nothing is chosen.
ITEMS = {
    ("char_vexa", "background"): {k: (lambda k=k: F.background(k)) for k in range(6)},
    ("char_vexa", "cover"): {1: lambda: F.cover(1)},
    ("char_vexa", "hair_back"): {3: lambda: F.hair_back(3), 4: lambda: F.hair_back(4)},
    ("char_vexa", "body"): {1: lambda: F.body(), 2: lambda: F.body(sturdy=True)},
    ("char_vexa", "eyes"): {k: (lambda k=k: F.eyes(k)) for k in (1, 2, 3)},
    ("char_vexa", "brows"): {k: (lambda k=k: F.brows(k)) for k in (1, 2, 3)},
    ("char_vexa", "mouth"): {k: (lambda k=k: F.mouth(k)) for k in (1, 2, 3)},
    ("char_vexa", "cheeks"): {k: (lambda k=k: F.cheeks(k)) for k in (1, 2)},
    ("char_vexa", "earrings"): {k: (lambda k=k: F.earrings(k)) for k in (1, 2)},
    ("char_vexa", "under"): {k: (lambda k=k: F.under(k)) for k in (1, 2)},
    ("char_vexa", "pants"): {k: (lambda k=k: F.pants(k)) for k in (1, 2, 3, 4)},
    ("char_vexa", "boots"): {k: (lambda k=k: F.boots(k)) for k in (1, 2, 3)},
    ("char_vexa", "skirt"): {k: (lambda k=k: F.skirt(k)) for k in (1, 2)},
    ("char_vexa", "sleeve_cut"): {1: lambda: F.sleeve_cut(1)},
    ("char_vexa", "shade"): {1: lambda: F.shade(1)},
    ("char_vexa", "col_hair"): {k: (lambda k=k: F.hair(k)) for k in (1, 2, 3, 4, 5)},
    ("char_vexa", "hat_mask"): {k: (lambda k=k: F.hat_mask(k)) for k in (1, 2)},
    ("char_vexa", "glasses"): {k: (lambda k=k: F.glasses(k)) for k in (1, 2)},
    ("char_vexa", "hat"): {k: (lambda k=k: F.hat(k)) for k in (1, 2)},
    ("char_vexa", "frame"): {k: (lambda k=k: F.frame(k)) for k in (1, 2)},
    ("vexa_forest", "top"): {i + 1: f for i, f in enumerate(F.FOREST_TOPS)},
    ("vexa_forest", "items"): {1: lambda: F.held("lantern"), 2: lambda: F.held("staff"), 3: lambda: F.held("bow")},
    ("vexa_castle", "top"): {i + 1: f for i, f in enumerate(F.CASTLE_TOPS)},
    ("vexa_castle", "items"): {1: lambda: F.held("shield")},
    ("vexa_city", "top"): {i + 1: f for i, f in enumerate(F.CITY_TOPS)},
    ("vexa_city", "items"): {1: lambda: F.held("umbrella"), 2: lambda: F.held("phone")},
    ("season_logo", "badge"): {1: lambda: F.badge(1)},
    ("char_vuro", "background"): {k: (lambda k=k: F.room(k)) for k in (1, 2, 3)},
    ("char_vuro", "body"): {1: lambda: F.body(sturdy=True), 2: lambda: F.body()},
    ("char_vuro", "eyes"): {1: lambda: F.eyes(1), 2: lambda: F.eyes(4)},
    ("char_vuro", "mouth"): {1: lambda: F.mouth(1), 2: lambda: F.mouth(3)},
    ("char_vuro", "pants"): {k: (lambda k=k: F.pants(k)) for k in (1, 2, 3)},
    ("char_vuro", "shoes"): {k: (lambda k=k: F.shoes(k)) for k in (1, 2)},
    ("char_vuro", "shirt"): {i + 1: f for i, f in enumerate(F.VURO_SHIRTS)},
    ("char_vuro", "hair"): {1: lambda: F.hair(6), 2: lambda: F.hair(7), 3: lambda: F.hair(8), 4: lambda: F.hair(2)},
    ("char_vuro", "cap"): {k: (lambda k=k: F.cap(k)) for k in (1, 2)},
    ("char_vimo", "background"): {0: lambda: F.background(0), 1: lambda: F.background(4),
                                  2: lambda: F.background(1), 3: lambda: F.background(5)},
    ("char_vimo", "body"): {1: lambda: F.body(), 2: lambda: F.body(sturdy=True)},
    ("char_vimo", "eyes"): {1: lambda: F.eyes(3), 2: lambda: F.eyes(2)},
    ("char_vimo", "mouth"): {1: lambda: F.mouth(2), 2: lambda: F.mouth(1)},
    ("char_vimo", "shoes"): {1: lambda: F.shoes(2), 2: lambda: F.shoes(1)},
    ("char_vimo", "dress"): {i + 1: f for i, f in enumerate(F.DRESSES)},
    ("char_vimo", "hair"): {1: lambda: F.hair(9), 2: lambda: F.hair(5), 3: lambda: F.hair(1)},
    ("char_vimo", "bow"): {k: (lambda k=k: F.bow(k)) for k in (1, 2)},
}

# Pictures smaller than the canvas (placed by the definition's rectangles).
SIZES = {"frame": (340, 420), "items": (120, 240), "badge": (70, 70)}
JPEG_CATEGORIES = {("char_vexa", "background"), ("char_vimo", "background")}

# The part of the canvas an icon shows, and whether the pale figure is drawn behind the item.
ICON_VIEW = {
    "eyes": ((180, 100, 120, 120), True), "brows": ((180, 90, 120, 120), True), "mouth": ((190, 130, 100, 100), True),
    "cheeks": ((170, 100, 140, 140), True), "earrings": ((150, 100, 180, 180), True), "glasses": ((160, 90, 160, 160), True),
    "col_hair": ((100, 30, 280, 280), True), "hair": ((100, 30, 280, 280), True), "hat": ((110, 0, 260, 260), True),
    "cap": ((120, 30, 240, 240), True), "bow": ((120, 20, 240, 240), True),
    "body": ((100, 60, 280, 540), False), "under": ((100, 210, 280, 280), True), "top": ((90, 210, 300, 300), True),
    "shirt": ((100, 210, 280, 280), True), "dress": ((90, 210, 300, 320), True), "pants": ((120, 350, 240, 240), True),
    "skirt": ((120, 350, 240, 240), True), "boots": ((150, 430, 170, 170), True), "shoes": ((150, 470, 170, 130), True),
}

# The default figures of the package pictures: (package, category, item, tint or None), back to front.
# DEFAULT tints a layer with its definition's DefaultColor, the colour the editor starts it with, so
# the menu's preview and the first figure in the editor cannot drift apart.
DEFAULT = "DefaultColor"


def default_of(package, category):
    """The DefaultColor of another layer (an add-on's drawing in the base set's layer)."""
    return (DEFAULT, package, category)


HAIR_BACK = ("char_vexa", "col_hair_back", 3, default_of("char_vexa", "hair_back"))
VEXA = [("char_vexa", "body", 1, DEFAULT), ("char_vexa", "eyes", 3, None),
        ("char_vexa", "brows", 1, None), ("char_vexa", "mouth", 1, None), ("char_vexa", "cheeks", 1, None),
        ("char_vexa", "pants", 1, DEFAULT), ("char_vexa", "boots", 1, None)]
VURO = [("char_vuro", "body", 1, DEFAULT), ("char_vuro", "eyes", 1, None), ("char_vuro", "mouth", 1, None),
        ("char_vuro", "pants", 1, DEFAULT), ("char_vuro", "shoes", 1, None), ("char_vuro", "shirt", 1, DEFAULT),
        ("char_vuro", "hair", 1, DEFAULT), ("char_vuro", "cap", 1, DEFAULT)]
VIMO = [("char_vimo", "body", 1, DEFAULT), ("char_vimo", "eyes", 1, None), ("char_vimo", "mouth", 1, None),
        ("char_vimo", "shoes", 1, None), ("char_vimo", "dress", 1, DEFAULT), ("char_vimo", "hair", 1, DEFAULT),
        ("char_vimo", "bow", 1, DEFAULT)]


def item_markup(package, category, item):
    if category == "col_hair_back":
        return F.hair_back(item)
    return ITEMS[(package, category)][item]()


def placed(package, category, item, rects):
    """An item's drawing in canvas coordinates (small pictures moved to their rectangle, which the
    definitions give in set pixels)."""
    body = item_markup(package, category, item)
    r = rects.get((package, category))
    if r:
        body = group(body, 'transform="translate(%g %g)"' % (r[0] / SCALE, r[1] / SCALE))
    return body


def figure(layers, rects, background=None, extra=(), colours=None):
    defs = ""
    body = background or ""
    stack = list(layers) + list(extra)
    # back hair goes behind everything, wherever it is listed
    stack = [x for x in stack if x[1] == "col_hair_back"] + [x for x in stack if x[1] != "col_hair_back"]
    for n, (package, category, item, tint) in enumerate(stack):
        markup = placed(package, category, item, rects)
        if tint == DEFAULT:
            tint = default_of(package, category)
        if isinstance(tint, tuple) and tint[0] == DEFAULT:
            tint = (colours or {}).get(tint[1:])
        if tint:
            fid = "t%d" % n
            defs += tint_filter(fid, tint)
            markup = group(markup, 'filter="url(#%s)"' % fid)
        body += markup
    return defs, body


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def icon_svg(package, category, item):
    size = SIZES.get(category)
    tile = rect(2, 2, ICON - 4, ICON - 4, "#fbf6ec", "#d9cdb5", 2, 14)
    markup = item_markup(package, category, item)
    if size:
        view = (-6, -6, size[0] + 12, size[1] + 12)
        under = ""
    elif category in ICON_VIEW:
        view, pale = ICON_VIEW[category]
        under = group(F.body(), 'opacity="0.3"') if pale else ""
    else:
        view, under = (0, 0) + CANVAS, ""
    inner = ('<svg x="4" y="4" width="%d" height="%d" viewBox="%g %g %g %g">%s%s</svg>'
             % (ICON - 8, ICON - 8, view[0], view[1], view[2], view[3], under, markup))
    return doc(ICON, ICON, tile + inner)


def check_sizes(defs):
    """Definitions whose size or rectangles disagree with the pictures rendered here: the program
    clips a picture to its rectangle and places it in set pixels, so a mismatch shows as a cut or
    misplaced part rather than an error."""
    problems = []
    for d in defs:
        where = "%s/%s.txt" % (d.name, d.name)
        if d.has_dimensions and d.size != PIXELS:
            problems.append("%s: Dimensions %dx%d, but the pictures are rendered at %dx%d" % ((where,) + d.size + PIXELS))
        for c in d.categories:
            want = tuple(px(n) for n in SIZES.get(c.name, CANVAS))
            for g in c.rect_text.split(","):
                nums = g.split()
                if len(nums) != 4 or not all(n.isdigit() for n in nums):
                    continue   # the checker reports malformed groups
                x, y, w, h = (int(n) for n in nums)
                if (w, h) != want:
                    problems.append("%s [%s]: rectangle \"%s\" is not the picture's size %dx%d"
                                    % ((where, c.name, g.strip()) + want))
                elif x + w > PIXELS[0] or y + h > PIXELS[1]:
                    problems.append("%s [%s]: rectangle \"%s\" reaches past the set's %dx%d"
                                    % ((where, c.name, g.strip()) + PIXELS))
    return problems


def write_item_pictures(package, category, count, out_dir):
    """Pictures and icons of items 0..count of a category; returns the files written."""
    drawings = ITEMS.get((package, category), {})
    written = []
    size = SIZES.get(category, CANVAS)
    jpeg = (package, category) in JPEG_CATEGORIES
    for item, _ in sorted(drawings.items()):
        if item > count:
            continue
        name = "pictures/%s/%d.%s" % (category, item, "jpg.svg" if jpeg else "svg")
        write(os.path.join(out_dir, name), doc(px(size[0]), px(size[1]), item_markup(package, category, item),
                                               view=(0, 0, size[0], size[1])))
        written.append(name)
        if item > 0:
            name = "icons/%s/%d.svg" % (category, item)
            write(os.path.join(out_dir, name), icon_svg(package, category, item))
            written.append(name)
    return written


# ---------------------------------------------------------------- package pictures
PREVIEWS = {
    "char_vexa_prev": dict(layers=VEXA, extra=[HAIR_BACK, ("vexa_forest", "top", 1, default_of("char_vexa", "top")), ("char_vexa", "col_hair", 3, DEFAULT)],
                           bg=lambda: F.background(1), colour="#7fb77e", title="Vexa"),
    "char_vuro_prev": dict(layers=VURO, extra=[], bg=lambda: F.room(2), colour="#6f8fa8", title="Vuro"),
    "char_vimo_prev": dict(layers=VIMO, extra=[], bg=lambda: F.background(4), colour="#e58fb5", title="Vimo"),
    "vexa_forest_prev": dict(layers=VEXA, extra=[HAIR_BACK, ("vexa_forest", "top", 6, (60, 110, 70)), ("char_vexa", "col_hair", 3, DEFAULT),
                                                 ("vexa_forest", "items", 1, None)],
                             bg=lambda: F.background(1), colour="#3f7d4e", title="Forest"),
    "vexa_castle_prev": dict(layers=VEXA, extra=[("vexa_castle", "top", 1, (170, 40, 60)), ("char_vexa", "col_hair", 5, (90, 60, 40)),
                                                 ("vexa_castle", "items", 1, None)],
                             bg=lambda: F.background(2), colour="#a83232", title="Castle"),
    "vexa_city_prev": dict(layers=VEXA, extra=[("vexa_city", "top", 1, (70, 90, 200)), ("char_vexa", "col_hair", 2, (40, 40, 40)),
                                               ("vexa_city", "items", 1, None)],
                           bg=lambda: F.background(3), colour="#7f93a8", title="City"),
    "season_logo_prev": dict(layers=[], extra=[("season_logo", "badge", 1, None)], bg=lambda: F.background(0),
                             colour="#2f6fb0", title="Season 1"),
}
# The alternative looks on the numbered information pictures.
ALTERNATIVES = [
    [("vexa_castle", "top", 2, (160, 170, 190)), ("char_vexa", "col_hair", 1, (200, 160, 60))],
    [("vexa_forest", "top", 7, (200, 200, 90)), ("char_vexa", "col_hair", 4, (120, 40, 30)), ("char_vexa", "hat", 2, (200, 60, 60))],
]


def write_package_pictures(entry, image_count, rects, out_dir, colours=None):
    """colours: (package, category) -> the DefaultColor of its definition."""
    p = PREVIEWS[entry]
    written = []
    defs, body = figure(p["layers"], rects, p["bg"](), p["extra"], colours)
    # prev.jpg: the figure in its scene.
    write(os.path.join(out_dir, "prev.jpg.svg"), doc(480, 600, body, defs=defs))
    written.append("prev.jpg.svg")
    # icon.png: the head on a coloured disc.
    head = ('<svg x="6" y="6" width="116" height="116" viewBox="120 30 240 240">%s</svg>'
            % figure(p["layers"], rects, "", p["extra"], colours)[1])
    if entry == "season_logo_prev":
        head = '<svg x="14" y="14" width="100" height="100" viewBox="0 0 70 70">%s</svg>' % F.badge(1)
    write(os.path.join(out_dir, "icon.svg"), doc(128, 128, circle(64, 64, 60, p["colour"], "#ffffff", 4) + head, defs=defs))
    written.append("icon.svg")
    # info.jpg: a poster with the package's name.
    poster = (rect(0, 0, 480, 600, p["colour"], None) + group(body, 'transform="translate(60 40) scale(0.75)"')
              + rect(20, 500, 440, 80, "#ffffff", None, 0, 16, 'fill-opacity="0.85"')
              + '<text x="240" y="553" font-family="DejaVu Sans" font-weight="bold" font-size="36" text-anchor="middle" '
                'fill="#333">%s</text>' % p["title"])
    write(os.path.join(out_dir, "info.jpg.svg"), doc(480, 600, poster, defs=defs))
    written.append("info.jpg.svg")
    for k in range(max(0, image_count)):
        alt = ALTERNATIVES[k % len(ALTERNATIVES)]
        d2, b2 = figure(p["layers"], rects, F.background((k + 2) % 6), alt if p["layers"] else p["extra"], colours)
        write(os.path.join(out_dir, "%d.jpg.svg" % k), doc(480, 600, b2, defs=d2))
        written.append("%d.jpg.svg" % k)
    return written


def write_list_icons(defs, out_dir):
    """The edit screen's sub-category ("subcat/<category>_i|_a") and main-category
    ("main_cat/<list>_i|_a") buttons for every listed category and list of the demo sets, the theme
    filter buttons and the grid's "no item" icon ("icons/0"), as SVG sources for the core package
    (normal and selected look)."""
    def sample(category):
        for (package, cat), drawings in sorted(ITEMS.items()):
            if cat == category and any(k > 0 for k in drawings):
                return package, min(k for k in drawings if k > 0)
        return None

    def button(package, category, item, active):
        inner = icon_svg(package, category, item)
        inner = inner[inner.index(">") + 1:inner.rindex("</svg>")]   # the icon's content without its root
        ring = rect(3, 3, ICON - 6, ICON - 6, "none", "#e0a526" if active else "#b9ab90", 6 if active else 2, 16)
        return doc(ICON, ICON, inner + ring)

    written = []
    # The theme filters of the settings screen and the sub-menu's quick-load buttons.
    filters = {"loadall": ('<text x="48" y="60" font-family="DejaVu Sans" font-weight="bold" font-size="30" '
                           'text-anchor="middle" fill="#5a4a2a">All</text>'),
               "loadfantasy": group(F.held("shield"), 'transform="translate(22 -44) scale(0.62)"'),
               "loadmodern": group(F.held("umbrella"), 'transform="translate(10 2) scale(0.64)"')}
    for name, markup in filters.items():
        for suffix, active in (("_i", False), ("_a", True)):
            ring = rect(3, 3, ICON - 6, ICON - 6, "none", "#e0a526" if active else "#b9ab90", 6 if active else 2, 16)
            write(os.path.join(out_dir, "subcat/%s%s.svg" % (name, suffix)),
                  doc(ICON, ICON, rect(2, 2, ICON - 4, ICON - 4, "#fbf6ec", None, 0, 14) + markup + ring))
            written.append("subcat/%s%s.svg" % (name, suffix))
    # The item grid's "no item" entry.
    write(os.path.join(out_dir, "icons/0.svg"),
          doc(ICON, ICON, rect(2, 2, ICON - 4, ICON - 4, "#fbf6ec", "#d9cdb5", 2, 14)
              + circle(48, 48, 24, "none", "#b9ab90", 5) + '<line x1="31" y1="65" x2="65" y2="31" stroke="#b9ab90" '
              'stroke-width="5" stroke-linecap="round"/>'))
    written.append("icons/0.svg")
    for d in defs.values():
        if len(d.lists) < 2:
            continue
        for group_index, list_name in enumerate(d.lists[:-1]):
            first = None
            for c in d.categories:
                if c.sub != list_name:
                    continue
                s = sample(c.name)
                if not s:
                    continue
                first = first or (s[0], c.name, s[1])
                for suffix, active in (("_i", False), ("_a", True)):
                    name = "subcat/%s%s.svg" % (c.name, suffix)
                    write(os.path.join(out_dir, name), button(s[0], c.name, s[1], active))
                    written.append(name)
            if first:
                for suffix, active in (("_i", False), ("_a", True)):
                    name = "main_cat/%s%s.svg" % (list_name, suffix)
                    write(os.path.join(out_dir, name), button(first[0], first[1], first[2], active))
                    written.append(name)
    return written
