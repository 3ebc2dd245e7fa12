"""The demo figures' parts, drawn on a 480 x 600 canvas (head centre 240, 150; feet at 580).

Every function returns SVG markup in canvas coordinates unless it says otherwise. Colourable parts
use the light greys of svg.py so the program's colour modulation tints them.
"""

from svg import (GREY, GREY_DARK, GREY_SHADE, OUTLINE, circle, ellipse, group, line, mirror, path, rect,
                 sil_circle, sil_ellipse, sil_path, silhouette)

W, H = 480, 600
INK = "#2f2f2f"
LIP = "#b03a48"


def both(markup):
    """A left-side shape and its mirror image."""
    return markup + mirror(markup)


# ---------------------------------------------------------------- body
def body(sturdy=False, short=False):
    d = 12 if sturdy else 0
    arm = ("M%d,256 Q%d,262 %d,300 L%d,398 Q%d,412 %d,413 Q%d,413 %d,400 L%d,318 Q%d,296 %d,290 Z"
           % (176 - d, 152 - d, 148 - d, 140 - d, 139 - d, 151 - d, 162 - d, 163 - d, 170 - d, 174 - d, 184 - d))
    leg = "M186,398 L196,558 L234,558 L239,408 Z"
    torso = ("M%d,252 Q240,%d %d,252 L%d,330 Q%d,366 %d,402 L%d,402 Q%d,366 %d,330 Z"
             % (172 - d, 236 - d // 2, 308 + d, 300 + d, 292 + d, 298 + d // 2, 182 - d // 2, 188 - d, 180 - d))
    shapes = [sil_path(arm), mirror(sil_path(arm)), sil_circle(151 - d, 414, 13), sil_circle(329 + d, 414, 13),
              sil_path(leg), mirror(sil_path(leg)), sil_ellipse(212, 568, 26, 11), sil_ellipse(268, 568, 26, 11),
              sil_path(torso), sil_path("M222,196 L258,196 L260,250 L220,250 Z"),
              sil_ellipse(184, 156, 10, 15), sil_ellipse(296, 156, 10, 15), sil_ellipse(240, 150, 56, 64)]
    out = silhouette(shapes, GREY)
    # soft shading that tints with the skin colour
    out += path("M222,212 Q240,226 258,212 L258,232 Q240,240 222,232 Z", GREY_SHADE, None)
    out += path("M186,156 Q184,150 188,146", "none", GREY_DARK, 2) + path("M294,156 Q296,150 292,146", "none", GREY_DARK, 2)
    out += path("M236,160 Q240,170 244,160", "none", GREY_DARK, 2.5)   # nose
    return out


# ---------------------------------------------------------------- face
def eyes(kind):
    if kind == 1:
        one = circle(218, 150, 7, INK, None) + circle(220, 147, 2.2, "#fff", None)
    elif kind == 2:
        one = path("M207,153 Q218,140 229,153", "none", INK, 3.5)
    elif kind == 3:
        one = (ellipse(218, 150, 11, 13, "#fff", INK, 2) + circle(219, 152, 7, "#3a7bd5", None)
               + circle(219, 152, 3.5, INK, None) + circle(221, 149, 2, "#fff", None))
    else:
        one = (ellipse(218, 151, 10, 8, "#fff", INK, 2) + circle(218, 151, 5.5, "#4f9a4a", None)
               + circle(218, 151, 2.8, INK, None) + path("M205,144 L210,146", "none", INK, 2))
    return both(one)


def brows(kind):
    d = {1: "M205,132 Q218,124 231,132", 2: "M205,130 L231,129", 3: "M206,128 Q218,116 231,126"}[kind]
    return both(path(d, "none", "#4a3a30", 5 if kind == 2 else 3.5))


def mouth(kind):
    if kind == 1:
        return path("M224,184 Q240,197 256,184", "none", LIP, 3.5)
    if kind == 2:
        return path("M222,182 Q240,208 258,182 Z", LIP, INK, 2) + path("M232,194 Q240,190 248,194 Q240,202 232,194 Z", "#e57a86", None)
    return ellipse(240, 189, 6, 7, LIP, INK, 2)


def cheeks(kind):
    if kind == 1:
        return both(ellipse(204, 174, 12, 7, "#f28c9a", None, 0, 'opacity="0.55"'))
    dots = "".join(circle(x, y, 1.8, "#a0623c", None) for x, y in ((200, 168), (207, 172), (196, 175), (210, 177)))
    return both(dots)


def earrings(kind):
    if kind == 1:
        return both(circle(184, 179, 8, "none", "#d4a017", 3))
    return both(circle(184, 172, 4.5, "#3a7bd5", "#1f4f8f", 1.5))


def glasses(kind):
    if kind == 1:
        g = circle(218, 150, 16, "#ffffff", "#3b3b3b", 3, 'fill-opacity="0.25"')
        return both(g) + path("M234,148 Q240,143 246,148", "none", "#3b3b3b", 3) + both(line(202, 146, 186, 142, "#3b3b3b", 3))
    g = rect(198, 138, 38, 24, "#1f2430", "#111", 2, 9)
    return both(g) + line(236, 146, 244, 146, "#111", 4) + both(line(198, 144, 186, 142, "#111", 3))


# ---------------------------------------------------------------- hair
def hair(kind):
    c = GREY
    if kind == 1:      # bob
        return path("M178,176 Q164,84 240,80 Q316,84 302,176 Q300,198 292,206 L290,152 Q268,112 240,126 "
                    "Q214,112 190,152 L188,206 Q180,198 178,176 Z", c)
    if kind == 2:      # spiky
        return path("M184,152 L172,112 L198,118 L194,82 L222,100 L232,66 L252,96 L272,70 L278,102 L306,92 "
                    "L296,124 L310,140 L296,152 Q272,116 240,124 Q208,116 184,152 Z", c)
    if kind == 3:      # long, with back hair
        return path("M176,162 Q162,82 240,78 Q318,82 304,162 L312,300 L288,302 L290,162 Q268,122 240,124 "
                    "Q212,122 190,162 L192,302 L168,300 Z", c) + path("M212,106 Q240,96 268,106", "none", GREY_DARK, 2)
    if kind == 4:      # slicked to a ponytail
        return (path("M182,162 Q174,82 240,82 Q306,82 298,162 Q282,110 240,112 Q198,110 182,162 Z", c)
                + rect(288, 100, 16, 14, GREY_DARK, OUTLINE, 2, 4))
    if kind == 5:      # bun
        return (circle(240, 70, 28, c) + path("M182,160 Q176,86 240,86 Q304,86 298,160 Q280,112 240,114 "
                                              "Q200,112 182,160 Z", c) + path("M226,64 Q240,56 254,64", "none", GREY_DARK, 2))
    if kind == 6:      # short crop
        return path("M184,150 Q178,90 240,86 Q302,90 296,150 Q286,118 262,112 Q240,120 214,112 Q192,118 184,150 Z", c)
    if kind == 7:      # side part
        return path("M182,160 Q170,84 240,80 Q310,84 298,160 L292,132 Q250,126 222,102 Q214,128 188,136 Z", c)
    if kind == 8:      # curls
        curls = "".join(circle(x, y, 17, c) for x, y in ((190, 126), (204, 100), (228, 86), (254, 86), (278, 100), (292, 126)))
        return curls + circle(240, 100, 20, c, None)
    # pigtails
    return (path("M182,160 Q174,84 240,84 Q306,84 298,160 Q270,112 240,118 Q210,112 182,160 Z", c)
            + both(ellipse(166, 196, 18, 40, c)) + both(circle(176, 160, 7, GREY_DARK)))


def hair_back(kind):
    if kind == 3:
        return path("M178,140 Q240,56 302,140 L320,330 Q240,352 160,330 Z", GREY)
    if kind == 4:
        return path("M272,100 Q344,88 342,160 Q350,250 318,306 Q316,228 300,172 Z", GREY)
    return ""


def hat(kind):
    if kind == 1:      # pointed hat
        return (path("M184,106 Q226,62 266,6 Q282,62 298,106 Z", GREY) + ellipse(240, 108, 92, 16, GREY)
                + path("M190,98 Q240,112 292,98 L290,88 Q240,100 192,88 Z", GREY_DARK, OUTLINE, 2))
    # beanie
    return (path("M178,128 Q176,56 240,54 Q304,56 302,128 Z", GREY) + rect(174, 114, 132, 24, GREY_SHADE, OUTLINE, 3, 8)
            + circle(240, 48, 14, GREY_SHADE))


def hat_mask(kind):
    """Opaque black marks the hair pixels that the hat hides."""
    return rect(0, 0, 480, 98 if kind == 1 else 116, "#000000", None)


def cap(kind):
    if kind == 1:
        return path("M180,124 Q178,66 240,64 Q302,66 300,124 Z", GREY) + path("M290,118 Q330,112 352,124 Q320,132 290,128 Z", GREY_SHADE)
    return path("M176,122 Q180,78 240,76 Q300,78 304,122 Q240,110 176,122 Z", GREY) + circle(240, 76, 8, GREY_DARK)


def bow(kind):
    if kind == 1:
        return (path("M240,80 L206,62 L208,98 Z", GREY) + path("M240,80 L274,62 L272,98 Z", GREY) + circle(240, 80, 8, GREY_SHADE))
    return circle(286, 96, 14, GREY) + circle(286, 96, 6, GREY_SHADE)


# ---------------------------------------------------------------- clothes
SLEEVE_LONG = "M176,252 Q148,260 144,300 L136,392 L168,396 L174,320 Q178,300 188,292 Z"
SLEEVE_SHORT = "M176,252 Q148,260 144,300 L142,320 L172,326 L176,302 Z"
SLEEVE_WIDE = "M176,252 Q144,262 138,300 L116,400 L174,404 L176,320 Q180,300 188,292 Z"


def torso_cover(hem, neck="round", flare=0):
    if neck == "v":
        n = "L214,244 L240,282 L266,244"
    elif neck == "high":
        n = "L218,236 Q240,244 262,236"
    else:
        n = "L214,244 Q240,268 266,244"
    return ("M166,250 %s L314,250 L304,330 Q298,360 %d,%d L%d,%d Q182,360 176,330 Z"
            % (n, 304 + flare, hem, 176 - flare, hem))


def top(hem, sleeves, neck="round", flare=0, fill=GREY, extras=""):
    out = ""
    if sleeves:
        out += both(path({"long": SLEEVE_LONG, "short": SLEEVE_SHORT, "wide": SLEEVE_WIDE}[sleeves], fill))
    out += path(torso_cover(hem, neck, flare), fill)
    return out + extras


def buttons(x, ys, fill=GREY_DARK):
    return "".join(circle(x, y, 4, fill, OUTLINE, 1.5) for y in ys)


FOREST_TOPS = [
    lambda: top(440, "long", "v", 8, extras=rect(176, 370, 128, 16, GREY_DARK, OUTLINE, 2) + rect(232, 368, 16, 20, GREY_SHADE, OUTLINE, 2)),
    lambda: top(400, None, "v", extras=buttons(240, (300, 330, 360))),
    lambda: path("M196,250 Q240,210 284,250 L270,262 Q240,236 210,262 Z", GREY_SHADE) + top(410, "long", "round"),
    lambda: top(405, "short", "round", extras="".join(path("M%d,248 Q%d,270 %d,262 Q%d,254 %d,248 Z" % (x, x + 6, x + 16, x + 12, x),
                                                                GREY_SHADE, OUTLINE, 2) for x in (208, 226, 244, 262))),
    lambda: top(420, "long", "high", extras=both(rect(188, 330, 30, 26, GREY_SHADE, OUTLINE, 2, 3)) + line(240, 240, 240, 418, OUTLINE, 2)),
    lambda: top(470, "wide", "v", 14, extras=path("M232,300 L248,300 L246,470 L234,470 Z", GREY_SHADE, None)),
    lambda: top(405, "long", "round", extras="".join(line(186, y, 294, y, GREY_SHADE, 2) for y in range(290, 400, 16))),
]
CASTLE_TOPS = [
    lambda: top(470, None, "round", 30, extras=both(ellipse(170, 268, 22, 20, GREY)) + path("M204,300 L276,300 L240,360 Z", GREY_SHADE, OUTLINE, 2)),
    lambda: top(420, "long", "high", extras=both(ellipse(172, 262, 26, 18, GREY_SHADE)) + "".join(
        path("M182,%d Q240,%d 298,%d" % (y, y + 10, y), "none", OUTLINE, 2) for y in (300, 330, 360, 390))),
]
CITY_TOPS = [
    lambda: top(410, "long", "round", extras=rect(204, 350, 72, 40, GREY_SHADE, OUTLINE, 2, 8)
                + line(230, 262, 228, 300, OUTLINE, 2) + line(250, 262, 252, 300, OUTLINE, 2)),
    lambda: top(420, "long", "v", extras=both(path("M214,244 L240,282 L220,320 L200,262 Z", GREY_SHADE, OUTLINE, 2)) + buttons(240, (330, 360))),
    lambda: top(400, "short", "round", extras=path("M240,300 L248,318 L268,320 L252,332 L258,352 L240,340 L222,352 "
                                                   "L228,332 L212,320 L232,318 Z", GREY_DARK, OUTLINE, 2)),
]
VURO_SHIRTS = [
    lambda: top(405, "short", "round"),
    lambda: top(410, "long", "high", extras=buttons(240, (280, 310, 340, 370))),
    lambda: top(405, "long", "round", extras=rect(176, 320, 128, 18, GREY_SHADE, None)),
]
DRESSES = [
    lambda: top(500, "short", "round", 44, extras=rect(180, 360, 120, 12, GREY_SHADE, OUTLINE, 2)),
    lambda: top(470, None, "v", 30, extras="".join(circle(x, y, 5, GREY_SHADE, None) for x, y in
                                                   ((210, 320), (250, 340), (230, 400), (270, 410), (200, 440)))),
]


def under(kind):
    if kind == 1:
        return top(400, "short", "round", fill="#f7f7f4")
    stripes = "".join(rect(180, y, 120, 8, "#6aa5d8", None) for y in range(280, 400, 20))
    return path(torso_cover(400, "v"), "#f2f2ee") + stripes + path(torso_cover(400, "v"), "none")


def pants(kind):
    if kind == 1:
        d = "M182,372 L298,372 L300,402 L288,556 L246,556 L240,420 L234,556 L192,556 L180,402 Z"
    elif kind == 2:
        d = "M182,372 L298,372 L300,402 L296,452 L242,452 L240,420 L238,452 L184,452 L180,402 Z"
    elif kind == 3:
        d = "M182,372 L298,372 L304,402 L314,556 L246,556 L240,430 L234,556 L166,556 L176,402 Z"
    else:
        d = "M182,372 L298,372 L300,402 L292,506 L244,506 L240,420 L236,506 L188,506 L180,402 Z"
    return path(d, GREY) + line(240, 376, 240, 410, GREY_DARK, 2) + rect(182, 370, 116, 12, GREY_SHADE, OUTLINE, 2)


def boots(kind):
    top_y = {1: 488, 2: 544, 3: 452}[kind]
    fill = {1: "#8a5a36", 2: "#f4f4f4", 3: "#2b2b33"}[kind]
    one = path("M192,%d L237,%d L238,556 Q242,582 224,582 L184,582 Q170,580 180,566 L192,556 Z" % (top_y, top_y), fill)
    if kind == 2:
        one += path("M182,566 L236,566 L236,572 L180,572 Z", "#d8433b", None)
    if kind == 1:
        one += rect(190, top_y - 2, 50, 10, "#6b4226", OUTLINE, 2, 3)
    return both(one)


def shoes(kind):
    fill = {1: "#3a3a48", 2: "#c0392b"}[kind]
    return both(path("M190,552 L236,552 Q242,582 224,582 L184,582 Q168,580 180,566 Z", fill))


def skirt(kind):
    hem = 470 if kind == 1 else 548
    fill = "#c0392b" if kind == 1 else "#2a9d8f"
    out = path("M180,366 L300,366 L%d,%d L%d,%d Z" % (318 + (hem - 470) // 6, hem, 162 - (hem - 470) // 6, hem), fill)
    return out + "".join(line(x, 372, x + (x - 240) // 6, hem - 4, "#00000040", 2) for x in (200, 220, 240, 260, 280))


# ---------------------------------------------------------------- alterers and frames
def shade(kind):
    return ellipse(240, 224, 30, 9, "#000000", None, 0, 'opacity="0.35"')


def sleeve_cut(kind):
    return rect(110, 330, 70, 100, "#000000", None) + rect(300, 330, 70, 100, "#000000", None)


def cover(kind):
    tiles = "".join(path("M%d,%d l20,-20 l20,20 l-20,20 Z" % (x, y), "#e2d3b2", None)
                    for x in range(-20, 480, 40) for y in range(0, 620, 40))
    return rect(0, 0, 480, 600, "#efe3c8", None) + tiles + rect(0, 0, 480, 600, "none", "#b89d6a", 16)


def frame(kind):
    """340 x 420 picture: a border with an open window."""
    if kind == 1:
        return (rect(12, 12, 316, 396, "none", "#7a4e2d", 24, 28) + rect(2, 2, 336, 416, "none", "#4a2e18", 3, 34)
                + rect(24, 24, 292, 372, "none", "#4a2e18", 3, 18))
    corners = "".join(circle(x, y, 16, "#f2c94c", "#8a6d1a", 3) for x, y in ((18, 18), (322, 18), (18, 402), (322, 402)))
    return rect(10, 10, 320, 400, "none", "#d4a017", 20) + rect(22, 22, 296, 376, "none", "#8a6d1a", 3) + corners


def badge(kind):
    """70 x 70 picture."""
    star = "M35,10 L42,27 L60,28 L46,40 L51,58 L35,48 L19,58 L24,40 L10,28 L28,27 Z"
    return circle(35, 35, 32, "#2f6fb0", "#1d4570", 3) + path(star, "#f2c94c", "#8a6d1a", 2)


# ---------------------------------------------------------------- held items (120 x 240 pictures, hand at 39, 164)
def held(kind):
    if kind == "lantern":
        return (path("M30,60 Q39,40 48,60", "none", INK, 3) + rect(22, 60, 34, 10, "#4a4a4a", INK, 2, 2)
                + rect(24, 70, 30, 44, "#ffe08a", INK, 3, 6) + circle(39, 92, 8, "#ffb02e", None)
                + rect(22, 114, 34, 8, "#4a4a4a", INK, 2, 2) + line(39, 122, 39, 160, INK, 3))
    if kind == "staff":
        return rect(34, 30, 10, 206, "#8a5a36", INK, 2, 4) + circle(39, 26, 18, "#7fd1e8", INK, 3) + circle(34, 20, 5, "#ffffff", None)
    if kind == "bow":
        return path("M60,20 Q-10,120 60,226", "none", "#8a5a36", 8) + line(60, 20, 60, 226, "#dddddd", 2)
    if kind == "shield":
        return path("M8,100 L70,100 L70,150 Q70,200 39,220 Q8,200 8,150 Z", "#b8c4d0", INK, 3) + path("M39,110 L39,205 M16,150 L62,150", "none", "#c0392b", 8)
    if kind == "umbrella":
        return (path("M4,70 Q60,0 116,70 Q102,60 88,70 Q74,60 60,70 Q46,60 32,70 Q18,60 4,70 Z", "#2f6fb0", INK, 3)
                + line(60, 70, 60, 168, INK, 4) + path("M60,168 Q60,182 48,182 Q38,182 38,172", "none", INK, 4))
    return rect(26, 124, 28, 50, "#30343c", INK, 3, 6) + rect(30, 130, 20, 36, "#8fd3ff", None, 0, 2)


HELD_RECT = (290, 250, 120, 240)


# ---------------------------------------------------------------- backgrounds (480 x 600)
def background(kind):
    if kind == 0:
        return ('<linearGradient id="sky0" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#bfe3f5"/>'
                '<stop offset="1" stop-color="#f6fbfd"/></linearGradient>'
                + rect(0, 0, 480, 600, "url(#sky0)", None) + rect(0, 500, 480, 100, "#dfe9d6", None))
    if kind == 1:      # forest
        trees = "".join(path("M%d,%d l40,-120 l40,120 Z" % (x, y), col, None) + rect(x + 34, y, 12, 26, "#6b4226", None)
                        for x, y, col in ((-10, 430, "#3f7d4e"), (60, 460, "#2f6b3e"), (330, 440, "#3f7d4e"),
                                          (400, 470, "#2f6b3e"), (180, 400, "#5c9a5f")))
        return (rect(0, 0, 480, 600, "#cfe9de", None) + ellipse(120, 560, 260, 120, "#7fb77e", None)
                + ellipse(400, 580, 240, 120, "#6aa56d", None) + trees)
    if kind == 2:      # castle hall
        bricks = "".join(rect(x + (20 if (y // 30) % 2 else 0), y, 40, 30, "#b9b3aa", "#8d867c", 2)
                         for x in range(-40, 480, 40) for y in range(0, 460, 30))
        return (bricks + rect(0, 460, 480, 140, "#7b5a3f", None) + path("M190,40 L290,40 L290,220 L240,190 L190,220 Z", "#a83232", "#6b1f1f", 3)
                + circle(240, 100, 22, "#f2c94c", "#8a6d1a", 3))
    if kind == 3:      # city street
        houses = "".join(rect(x, y, w, 600 - y, col, "#4d5560", 2) + "".join(
            rect(x + 10 + i * 22, yy, 12, 16, "#ffe08a", None) for i in range(max(1, (w - 20) // 22)) for yy in range(y + 20, 470, 40))
            for x, y, w, col in ((0, 180, 110, "#8ea3b8"), (110, 120, 90, "#a5b6c6"), (200, 220, 100, "#7f93a8"),
                                 (300, 90, 90, "#9fb0c2"), (390, 160, 90, "#8599ae")))
        return rect(0, 0, 480, 600, "#f3d9c6", None) + houses + rect(0, 500, 480, 100, "#60656d", None)
    if kind == 4:      # beach
        return (rect(0, 0, 480, 600, "#f7b98b", None) + circle(360, 150, 50, "#ffe08a", None)
                + rect(0, 330, 480, 140, "#4f9ac9", None) + path("M0,470 Q240,430 480,470 L480,600 L0,600 Z", "#f2dca8", None))
    stars = "".join(circle((i * 97) % 480, (i * 53) % 400, 1.5 + (i % 3), "#fff6c8", None) for i in range(40))
    return (rect(0, 0, 480, 600, "#1d2747", None) + stars + circle(380, 100, 40, "#f5f0d8", None)
            + circle(396, 90, 36, "#1d2747", None) + ellipse(240, 620, 360, 140, "#2b3a5e", None))


def room(kind):
    """Plain painted scenes of the second set (PNG pictures)."""
    cols = {1: ("#f1e4d0", "#c9a77c"), 2: ("#dbeaf5", "#8aa9c2"), 3: ("#e6f0da", "#98b77f")}[kind]
    out = rect(0, 0, 480, 600, cols[0], None) + rect(0, 470, 480, 130, cols[1], None)
    if kind == 1:
        out += rect(60, 90, 140, 110, "#a9d4f0", "#7a5a3a", 8) + line(130, 90, 130, 200, "#7a5a3a", 6)
    elif kind == 2:
        out += path("M0,470 L120,260 L230,470 Z M180,470 L320,200 L480,470 Z", "#6f8fa8", None) + path("M300,236 L320,200 L340,236 Z", "#ffffff", None)
    else:
        out += "".join(circle(x, 440, 30, "#7fb77e", None) for x in (40, 100, 400, 450)) + circle(90, 90, 34, "#ffe08a", None)
    return out
