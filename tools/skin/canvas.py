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

    def fill(self, x, y, w, h, colour):
        for yy in range(max(0, y), min(self.height, y + h)):
            row = self.rows[yy]
            for xx in range(max(0, x), min(self.width, x + w)):
                row[xx] = colour

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

    def screws(self, points, colour_light, colour_dark):
        for (x, y) in points:
            self.fill(x - 1, y - 1, 3, 3, colour_dark)
            self.put(x - 1, y - 1, colour_light)
            self.put(x, y, colour_light)

    def inside_polygon_mask(self, points):
        """Keep only the pixels inside the polygon (winding rule); outside gets 0."""
        for y in range(self.height):
            for x in range(self.width):
                if not point_in_polygon(x + 0.5, y + 0.5, points):
                    self.rows[y][x] = 0


def point_in_polygon(px, py, points):
    winding = 0
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if y1 <= py < y2 or y2 <= py < y1:
            t = (py - y1) / (y2 - y1)
            if x1 + t * (x2 - x1) > px:
                winding += 1 if y2 > y1 else -1
    return winding != 0
