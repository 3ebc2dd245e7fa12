"""Small SVG helpers for the demo art: flat shapes, one outline colour, optional tint."""

OUTLINE = "#5f5f5f"
GREY = "#e4e4e4"        # colourable parts: light grey so colour modulation tints them
GREY_SHADE = "#c4c4c4"
GREY_DARK = "#9a9a9a"


def doc(w, h, body, view=None, defs=""):
    vb = view or (0, 0, w, h)
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="%g %g %g %g">'
            '<defs>%s</defs>%s</svg>\n' % (w, h, vb[0], vb[1], vb[2], vb[3], defs, body))


def attrs(fill, stroke=OUTLINE, sw=3, extra=""):
    s = 'fill="%s"' % fill
    if stroke:
        s += ' stroke="%s" stroke-width="%g" stroke-linejoin="round" stroke-linecap="round"' % (stroke, sw)
    return s + ((" " + extra) if extra else "")


def path(d, fill, stroke=OUTLINE, sw=3, extra=""):
    return '<path d="%s" %s/>' % (d, attrs(fill, stroke, sw, extra))


def circle(cx, cy, r, fill, stroke=OUTLINE, sw=3, extra=""):
    return '<circle cx="%g" cy="%g" r="%g" %s/>' % (cx, cy, r, attrs(fill, stroke, sw, extra))


def ellipse(cx, cy, rx, ry, fill, stroke=OUTLINE, sw=3, extra=""):
    return '<ellipse cx="%g" cy="%g" rx="%g" ry="%g" %s/>' % (cx, cy, rx, ry, attrs(fill, stroke, sw, extra))


def rect(x, y, w, h, fill, stroke=OUTLINE, sw=3, rx=0, extra=""):
    return '<rect x="%g" y="%g" width="%g" height="%g" rx="%g" %s/>' % (x, y, w, h, rx, attrs(fill, stroke, sw, extra))


def line(x1, y1, x2, y2, stroke=OUTLINE, sw=3):
    return ('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="%s" stroke-width="%g" stroke-linecap="round"/>'
            % (x1, y1, x2, y2, stroke, sw))


def group(body, extra=""):
    return "<g %s>%s</g>" % (extra, body)


def silhouette(shapes, fill, stroke=OUTLINE, sw=3):
    """Shapes drawn as one figure: a thick outline pass under a fill pass, so inner seams vanish."""
    out = "".join(s.replace("%FILL%", stroke).replace("%SW%", str(sw * 2)).replace("%ST%", stroke) for s in shapes)
    out += "".join(s.replace("%FILL%", fill).replace("%SW%", "0").replace("%ST%", "none") for s in shapes)
    return out


def sil_path(d):
    return '<path d="%s" fill="%%FILL%%" stroke="%%ST%%" stroke-width="%%SW%%" stroke-linejoin="round"/>' % d


def sil_ellipse(cx, cy, rx, ry):
    return ('<ellipse cx="%g" cy="%g" rx="%g" ry="%g" fill="%%FILL%%" stroke="%%ST%%" stroke-width="%%SW%%"/>'
            % (cx, cy, rx, ry))


def sil_circle(cx, cy, r):
    return sil_ellipse(cx, cy, r, r)


def tint_filter(fid, rgb):
    """Multiplies like the program's colour modulation (for preview pictures only)."""
    r, g, b = (c / 255.0 for c in rgb)
    return ('<filter id="%s" color-interpolation-filters="sRGB"><feColorMatrix type="matrix" '
            'values="%g 0 0 0 0 0 %g 0 0 0 0 0 %g 0 0 0 0 0 1 0"/></filter>' % (fid, r, g, b))


def mirror(body, axis=240):
    return group(body, 'transform="translate(%g 0) scale(-1 1)"' % (2 * axis))
