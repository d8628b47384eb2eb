#!/usr/bin/env python3
"""Draws the calibration curve of a voltage sweep as an SVG chart.

    ambrel-batch --sweep all=0:12000:1000 | scripts/sweep-chart.py > curve.svg
    scripts/sweep-chart.py sweep.csv curve.svg

Reads the CSV table of `ambrel-batch --sweep` (or of Save CSV in the Sweep window) and draws, for
each movable object, the deflection of its string from the vertical (Az folded into 0 to 180
degrees, as the window's chart does) against the voltage. Only the points whose run converged are
drawn; the others are listed under the chart. Needs nothing but Python 3.
"""

import csv
import math
import sys

WIDTH, HEIGHT = 720, 440
LEFT, RIGHT, TOP, BOTTOM = 70, 20, 40, 90
COLOURS = ["#0057a8", "#c0392b", "#27864a", "#8e44ad", "#d68910", "#17a2b8"]


def nice_step(span, count=8):
    """1, 2 or 5 times a power of ten, giving at most `count` steps over `span`."""
    if span <= 0:
        return 1.0
    power = 10 ** math.floor(math.log10(span / count))
    for factor in (1, 2, 5, 10):
        if span / (factor * power) <= count:
            return factor * power
    return 10 * power


def ticks(low, high):
    step = nice_step(high - low)
    start = math.floor(low / step) * step
    end = math.ceil(high / step) * step
    values = []
    value = start
    while value <= end + step / 2:
        values.append(value)
        value += step
    return values


def main():
    source = open(sys.argv[1], newline="") if len(sys.argv) > 1 else sys.stdin
    rows = list(csv.reader(source))
    header, points = rows[0], rows[1:]
    az_columns = [k for k, name in enumerate(header) if name.startswith("Az[")]
    converged = header.index("Converged")
    end = header.index("End")

    curves = []
    for k in az_columns:
        name = header[k][len("Az"):].rsplit(" (", 1)[0]
        curve = [(float(p[0]), math.degrees(math.acos(math.cos(math.radians(float(p[k]))))))
                 for p in points if p[converged] == "1"]
        curves.append((name, curve))
    # The points left out, grouped by how their runs ended: "step-limit at 0, 1000 V".
    left_out = {}
    for p in points:
        if p[converged] != "1":
            left_out.setdefault(p[end], []).append(p[0])

    xs = [float(p[0]) for p in points] or [0.0, 1.0]
    ys = [y for _, curve in curves for _, y in curve] or [0.0, 1.0]
    x_ticks = ticks(min(xs), max(xs))
    y_ticks = ticks(0.0, max(ys))
    x0, x1, y0, y1 = x_ticks[0], x_ticks[-1], y_ticks[0], y_ticks[-1]

    def px(x):
        return LEFT + (x - x0) / ((x1 - x0) or 1) * (WIDTH - LEFT - RIGHT)

    def py(y):
        return HEIGHT - BOTTOM - (y - y0) / ((y1 - y0) or 1) * (HEIGHT - TOP - BOTTOM)

    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
           f'font-family="sans-serif" font-size="12">',
           f'<rect width="{WIDTH}" height="{HEIGHT}" fill="white"/>',
           f'<text x="{WIDTH / 2}" y="22" text-anchor="middle" font-size="15">'
           f'Deflection against voltage</text>']
    for x in x_ticks:
        out.append(f'<line x1="{px(x):.1f}" y1="{TOP}" x2="{px(x):.1f}" y2="{HEIGHT - BOTTOM}" stroke="#ddd"/>')
        out.append(f'<text x="{px(x):.1f}" y="{HEIGHT - BOTTOM + 16}" text-anchor="middle">{x:g}</text>')
    for y in y_ticks:
        out.append(f'<line x1="{LEFT}" y1="{py(y):.1f}" x2="{WIDTH - RIGHT}" y2="{py(y):.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{LEFT - 6}" y="{py(y) + 4:.1f}" text-anchor="end">{y:g}</text>')
    out.append(f'<text x="{(LEFT + WIDTH - RIGHT) / 2}" y="{HEIGHT - BOTTOM + 36}" text-anchor="middle">'
               f'{header[0]}</text>')
    out.append(f'<text transform="translate(18 {(TOP + HEIGHT - BOTTOM) / 2}) rotate(-90)" '
               f'text-anchor="middle">Deflection from the vertical (degrees)</text>')
    for index, (name, curve) in enumerate(curves):
        colour = COLOURS[index % len(COLOURS)]
        path = " ".join(f"{px(x):.1f},{py(y):.1f}" for x, y in curve)
        # Curves that coincide (a symmetric system) stay visible: the earlier ones are wider.
        width = 2 + 3 * (len(curves) - 1 - index)
        out.append(f'<polyline points="{path}" fill="none" stroke="{colour}" stroke-width="{width}" '
                   f'stroke-linejoin="round"/>')
        out.extend(f'<circle cx="{px(x):.1f}" cy="{py(y):.1f}" r="3" fill="{colour}"/>' for x, y in curve)
        out.append(f'<text x="{LEFT + 10 + 130 * index}" y="{HEIGHT - 30}" fill="{colour}">{name}</text>')
    if left_out:
        groups = "; ".join(f"{how} at {', '.join(volts)} V" for how, volts in left_out.items())
        out.append(f'<text x="{LEFT + 10}" y="{HEIGHT - 10}" fill="#555">Not drawn: {groups}</text>')
    out.append("</svg>")
    target = open(sys.argv[2], "w") if len(sys.argv) > 2 else sys.stdout
    target.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
