#!/usr/bin/env python3
"""Draws the value pictures of the finishing, binding and slip-sheet lists (32 x 32 PPM files
beside this script) and prints their bitmap lines for pictures.txt. Run it from anywhere:
    python3 data/dialogs/draw_value_pictures.py"""
import os

SIZE = 32
WHITE, BLACK, GREY, BLUE = (255, 255, 255), (0, 0, 0), (160, 160, 160), (40, 80, 200)
HERE = os.path.dirname(os.path.abspath(__file__))


class Picture:
    def __init__(self):
        self.pixels = [[WHITE] * SIZE for _ in range(SIZE)]

    def dot(self, x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1, colour, fill=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge or fill:
                    self.dot(x, y, colour if edge else fill)

    def bar(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, colour)

    def hole(self, cx, cy):
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                if abs(dx) + abs(dy) < 2:
                    self.dot(cx + dx, cy + dy, BLACK)

    def save(self, name):
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(b"P6\n%d %d\n255\n" % (SIZE, SIZE))
            out.write(bytes(c for row in self.pixels for p in row for c in p))


def sheet(landscape):
    """A sheet with three lines of text; its box (x0, y0, x1, y1)."""
    p = Picture()
    x0, y0, x1, y1 = (2, 7, 29, 24) if landscape else (6, 2, 25, 29)
    p.box(x0, y0, x1, y1, BLACK, WHITE)
    for k in range(3):
        p.bar(x0 + 5, y0 + 5 + 3 * k, x1 - 5, y0 + 5 + 3 * k, GREY)
    return p, (x0, y0, x1, y1)


def along(a, b, count):
    """count places spread evenly between a and b."""
    return [a + (b - a) * (k + 1) // (count + 1) for k in range(count)]


# Staple positions: (corner or edge, count, slant).
STAPLES = {"S1": ("topleft", 1, "slant"), "S2": ("topright", 1, "slant"), "S17": ("topleft", 1, "flat"),
           "S18": ("topright", 1, "flat"), "1SR": ("right", 1, "slant"), "1SL": ("left", 1, "slant"),
           "1R": ("right", 1, "flat"), "1L": ("left", 1, "flat"), "2T": ("top", 2, "flat"),
           "2R": ("right", 2, "flat"), "2L": ("left", 2, "flat"), "2M": ("middle", 2, "flat")}


def staple(name, landscape):
    where, count, form = STAPLES[name]
    p, (x0, y0, x1, y1) = sheet(landscape)
    if where in ("topleft", "topright"):
        x = x0 + 3 if where == "topleft" else x1 - 3
        step = 1 if where == "topleft" else -1
        for k in range(4):
            if form == "slant":
                p.dot(x + step * k, y0 + 5 - k, BLUE), p.dot(x + step * k, y0 + 4 - k, BLUE)
            else:
                p.bar(min(x, x + step * 4), y0 + 2, max(x, x + step * 4), y0 + 3, BLUE)
    elif where in ("left", "right"):
        x = x0 + 2 if where == "left" else x1 - 3
        ys = along(y0, y1, count) if count > 1 else [(y0 + y1) // 2]
        for y in ys:
            if form == "slant":
                for k in range(4):
                    p.bar(x + k // 2, y - 2 + k, x + 1 + k // 2, y - 2 + k, BLUE)
            else:
                p.bar(x, y - 2, x + 1, y + 2, BLUE)
    elif where == "top":
        for x in along(x0, x1, count):
            p.bar(x - 2, y0 + 2, x + 2, y0 + 3, BLUE)
    else:  # the fold in the middle, stapled twice
        mid = (x0 + x1) // 2 if not landscape else (y0 + y1) // 2
        if landscape:
            p.bar(x0 + 1, mid, x1 - 1, mid, GREY)
            for x in along(x0, x1, count):
                p.bar(x - 2, mid - 1, x + 2, mid, BLUE)
        else:
            p.bar(mid, y0 + 1, mid, y1 - 1, GREY)
            for y in along(y0, y1, count):
                p.bar(mid - 1, y - 2, mid, y + 2, BLUE)
    return p


# Punch edges and hole counts: the plain position has two holes, "2" three, "3" four, "4" many.
HOLES = {"": 2, "2": 3, "3": 4, "4": 7}


def punch(edge, holes, landscape):
    p, (x0, y0, x1, y1) = sheet(landscape)
    if edge == "T":
        for x in along(x0, x1, holes):
            p.hole(x, y0 + 3)
    else:
        x = x0 + 3 if edge == "L" else x1 - 3
        for y in along(y0, y1, holes):
            p.hole(x, y)
    return p


def binding(edge):
    p, (x0, y0, x1, y1) = sheet(False)
    if edge == "TOP":
        p.bar(x0, y0, x1, y0 + 2, BLUE)
    elif edge == "BOTTOM":
        p.bar(x0, y1 - 2, x1, y1, BLUE)
    elif edge == "LEFT":
        p.bar(x0, y0, x0 + 2, y1, BLUE)
    else:
        p.bar(x1 - 2, y0, x1, y1, BLUE)
    return p


def slip_sheet(printed):
    """A slip sheet (in front, blue edge), blank or printed, before a printed sheet."""
    p = Picture()
    p.box(10, 2, 29, 23, BLACK, WHITE)
    for line in range(3):
        p.bar(14, 7 + 3 * line, 25, 7 + 3 * line, GREY)
    p.box(2, 8, 21, 29, BLUE, WHITE)
    if printed:
        for line in range(3):
            p.bar(6, 13 + 3 * line, 17, 13 + 3 * line, GREY)
    return p


def main():
    lines = []

    def keep(picture, bitmap, name, what):
        picture.save(name)
        lines.append('bitmap %-5d "%s"   # %s' % (bitmap, name, what))

    staples = ["S1", "S2", "S17", "S18", "1SR", "1SL", "1R", "1L", "2T", "2R", "2L", "2M"]
    for k, name in enumerate(staples):
        keep(staple(name, False), 2700 + k, "staple_%s.ppm" % name.lower(), "staple %s" % name)
        keep(staple(name, True), 2720 + k, "staple_%s_l.ppm" % name.lower(), "staple %s, landscape sheet" % name)
    punches = [(edge, count) for count in ("", "2", "3", "4") for edge in ("T", "R", "L")]
    for k, (edge, count) in enumerate(punches):
        name = "punch_%s%s" % (edge.lower(), count)
        keep(punch(edge, HOLES[count], False), 2600 + k, name + ".ppm", "punch %s%s" % (edge, count))
        keep(punch(edge, HOLES[count], True), 2620 + k, name + "_l.ppm", "punch %s%s, landscape sheet" % (edge, count))
    for k, edge in enumerate(["TOP", "RIGHT", "LEFT", "BOTTOM"]):
        keep(binding(edge), 4302 + k, "bind_%s.ppm" % edge.lower(), "binding edge %s" % edge.lower())
    keep(slip_sheet(False), 4201, "slip_blank.ppm", "blank slip sheets")
    keep(slip_sheet(True), 4202, "slip_printed.ppm", "printed slip sheets")
    print("\n".join(sorted(lines, key=lambda l: int(l.split()[1]))))


if __name__ == "__main__":
    main()
