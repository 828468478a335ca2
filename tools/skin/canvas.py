"""An 8-bit drawing surface with the few primitives the skin needs."""
from style import EDGE_LIGHT, EDGE_SHADOW


class Canvas:
    def __init__(self, width, height, fill=0):
        self.width = width
        self.height = height
        self.rows = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def get(self, x, y):
        return self.rows[y][x]

    def fill(self, x, y, w, h, colour):
        x0, x1 = max(0, x), min(self.width, x + w)
        if x1 <= x0:
            return
        for yy in range(max(0, y), min(self.height, y + h)):
            self.rows[yy][x0:x1] = [colour] * (x1 - x0)

    def vgradient(self, x, y, w, h, top, bottom):
        """Fill with palette indices stepping from top to bottom (same ramp)."""
        for i in range(h):
            c = round(top + (bottom - top) * i / max(1, h - 1))
            self.fill(x, y + i, w, 1, c)

    def bevel(self, x, y, w, h, raised=True, light=EDGE_LIGHT, shadow=EDGE_SHADOW):
        a, b = (light, shadow) if raised else (shadow, light)
        self.fill(x, y, w, 1, a)
        self.fill(x, y, 1, h, a)
        self.fill(x, y + h - 1, w, 1, b)
        self.fill(x + w - 1, y, 1, h, b)

    def frame(self, x, y, w, h, colour):
        self.bevel(x, y, w, h, True, colour, colour)

    def screws(self, points, colour_light, colour_dark):
        for (x, y) in points:
            self.fill(x - 1, y - 1, 3, 3, colour_dark)
            self.put(x - 1, y - 1, colour_light)
            self.put(x, y, colour_light)

    def pattern(self, x, y, rows, colour):
        """Draw a pattern of '1's (one string per row)."""
        for dy, row in enumerate(rows):
            for dx, bit in enumerate(row):
                if bit == "1":
                    self.put(x + dx, y + dy, colour)

    def paste(self, other, x, y):
        for dy, row in enumerate(other.rows):
            for dx, v in enumerate(row):
                self.put(x + dx, y + dy, v)

    def inside_polygon_mask(self, points, outside=0):
        """Keep only the pixels inside the polygon (winding rule)."""
        for y in range(self.height):
            spans = polygon_spans(points, y + 0.5)
            row = self.rows[y]
            keep = [False] * self.width
            for a, b in spans:
                for x in range(max(0, a), min(self.width, b)):
                    keep[x] = True
            for x in range(self.width):
                if not keep[x]:
                    row[x] = outside


def polygon_spans(points, py):
    """The [start, end) pixel spans of one scan line inside the polygon."""
    crossings = []
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if y1 <= py < y2 or y2 <= py < y1:
            t = (py - y1) / (y2 - y1)
            crossings.append((x1 + t * (x2 - x1), 1 if y2 > y1 else -1))
    crossings.sort()
    spans, winding, start = [], 0, None
    for x, d in crossings:
        before = winding
        winding += d
        if before == 0 and winding != 0:
            start = x
        elif before != 0 and winding == 0:
            spans.append((int(round(start)), int(round(x))))
    return spans
