#!/usr/bin/env python3
"""Judges the screenshot of padscope-pen after a stroke: dark pixels at and
between the points the pen touched, none elsewhere on the canvas, and a
wider line where the pressure was higher.

    stroke_pixels.py DUMP.txt DUMP.bmp [X,Y,PRESSURE...]

The points are the packets in contact in the coordinates of the packets;
without them, those of the simulated library's default stroke
(sim/README.md).

Where a point lands follows from the window's promise that where the pen is
on the tablet is where it is drawn: the canvas (from the status line) stands
for the tablet's range, its last pixels for the range's top, y upwards.
"""
import math
import re
import struct
import sys

# The default script's packets in contact (pressure above 0), in order:
# x, y, pressure.
CONTACT = [(10500, 8200, 1024), (11000, 8400, 2048), (11500, 8600, 4096),
           (12000, 8800, 6144), (12500, 9000, 8191), (13000, 9200, 4096)]
DARK = 160  # the lightest ink is mid grey (128); paper, frame and panels are lighter


def read_bmp(path):
    data = open(path, 'rb').read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    top_down = height < 0
    height = abs(height)
    row = (width * 3 + 3) & ~3

    def luminance(x, y):
        if not (0 <= x < width and 0 <= y < height):
            return 255
        r = y if top_down else height - 1 - y
        b, g, red = data[offset + r * row + 3 * x: offset + r * row + 3 * x + 3]
        return (red * 299 + g * 587 + b * 114) // 1000

    return width, height, luminance


def distance_to_segment(px, py, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0 if length == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def main():
    status = open(sys.argv[1], encoding='utf-8').read()
    canvas = [int(v) for v in re.search(r'canvas=(-?\d+),(-?\d+),(-?\d+),(-?\d+)', status).groups()]
    tablet = [int(v) for v in re.search(r'tablet=(-?\d+),(-?\d+),(-?\d+),(-?\d+)', status).groups()]
    left, top, right, bottom = canvas
    x_min, y_min, x_max, y_max = tablet
    last_x, last_y = right - left - 1, bottom - top - 1

    def place(x, y):
        return (left + (x - x_min) * last_x // (x_max - x_min),
                top + last_y - (y - y_min) * last_y // (y_max - y_min))

    contact = [tuple(int(v) for v in point.split(',')) for point in sys.argv[3:]] or CONTACT
    points = [place(x, y) for x, y, _ in contact]
    _, _, lum = read_bmp(sys.argv[2])
    failures = []

    def dark_near(x, y, reach=2):
        return any(lum(x + i, y + j) < DARK for i in range(-reach, reach + 1) for j in range(-reach, reach + 1))

    for k, (x, y) in enumerate(points):
        if not dark_near(x, y):
            failures.append('no ink at point %d (%d,%d)' % (k, x, y))
    for k in range(len(points) - 1):
        (ax, ay), (bx, by) = points[k], points[k + 1]
        if not dark_near((ax + bx) // 2, (ay + by) // 2):
            failures.append('no ink between points %d and %d' % (k, k + 1))

    heaviest = max(3, (right - left) // 40)
    stray = 0
    for y in range(top + 2, bottom - 2):
        for x in range(left + 2, right - 2):
            if lum(x, y) >= DARK:
                continue
            near = min(distance_to_segment(x, y, points[k], points[k + 1]) for k in range(len(points) - 1))
            if near > heaviest / 2 + 2:
                stray += 1
    if stray:
        failures.append('%d dark pixels away from the stroke' % stray)

    def thickness(x, y):
        return sum(1 for j in range(-heaviest, heaviest + 1) if lum(x, y + j) < DARK)

    lightest = min(range(len(contact)), key=lambda k: contact[k][2])
    heaviest_point = max(range(len(contact)), key=lambda k: contact[k][2])
    light, heavy = thickness(*points[lightest]), thickness(*points[heaviest_point])
    if heavy <= light + 2:
        failures.append('the line is %d pixels thick at pressure %d and %d at %d' %
                        (heavy, contact[heaviest_point][2], light, contact[lightest][2]))
    for failure in failures:
        print('stroke_pixels: ' + failure)
    print('stroke_pixels: thickness %d at pressure %d, %d at %d' %
          (light, contact[lightest][2], heavy, contact[heaviest_point][2]))
    return 1 if failures else 0


sys.exit(main())
