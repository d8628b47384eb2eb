#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the calibration curve of a voltage sweep, or any columns of a study, as an SVG chart.

    ambrel-batch --sweep all=0:12000:1000 | scripts/sweep-chart.py > curve.svg
    scripts/sweep-chart.py sweep.csv curve.svg
    scripts/sweep-chart.py --x gap --y="-CC[top][bottom] (pF)" study.csv capacitance.svg

Reads the CSV table of `ambrel-batch --sweep` (or of Save CSV in the Sweep window) and draws, for
each movable object, the deflection of its string from the vertical (its Deflection column) against
the voltage. Only the points whose run converged are drawn; the others are listed under the chart.
With --x and --y (given once or more) it draws those columns of any table, such as that of
`ambrel-batch --study`, leaving out the rows whose Status is not ok ("--y -NAME" draws column NAME
negated, e.g. the capacitance between two conductors, -CC[a][b]); --title, --x-label and
--y-label set the texts. Needs
nothing but Python 3.
"""

import argparse
import csv
import math
import sys
from xml.sax.saxutils import escape

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


def sweep_curves(header, points):
    """Every object's deflection against the voltage, and the points left out by how they ended."""
    columns = [k for k, name in enumerate(header) if name.startswith("Deflection[")]
    # Tables written before the deflection columns: Az folded into 0 to 180 degrees.
    folded = not columns
    if folded:
        columns = [k for k, name in enumerate(header) if name.startswith("Az[")]
    converged = header.index("Converged")
    end = header.index("End")
    curves = []
    for k in columns:
        name = header[k][header[k].index("["):].rsplit(" (", 1)[0]
        curve = []
        for p in points:
            if p[converged] == "1":
                y = float(p[k])
                curve.append((float(p[0]), math.degrees(math.acos(math.cos(math.radians(y)))) if folded else y))
        curves.append((name, curve))
    # The points left out, grouped by how their runs ended: "step-limit at 0, 1000 V".
    left_out = {}
    for p in points:
        if p[converged] != "1":
            left_out.setdefault(p[end], []).append(p[0] + " V")
    return curves, left_out


def column_curves(header, points, x_name, y_names):
    """The columns asked for, over the rows whose Status is ok (all rows of a table without one); a
    y column named with a leading "-" is drawn negated."""
    signs = {name: -1.0 if name.startswith("-") and name not in header else 1.0 for name in y_names}
    columns = {name: name[1:] if signs[name] < 0 else name for name in y_names}
    for name in [x_name] + list(columns.values()):
        if name not in header:
            sys.exit(f"sweep-chart: no column {name!r}; the columns are: {', '.join(header)}")
    x = header.index(x_name)
    status = header.index("Status") if "Status" in header else None
    kept = [p for p in points if status is None or p[status] == "ok"]
    curves = [(name, [(float(p[x]), signs[name] * float(p[header.index(columns[name])])) for p in kept])
              for name in y_names]
    left_out = {}
    for p in points:
        if status is not None and p[status] != "ok":
            left_out.setdefault(p[status], []).append(f"{x_name} {p[x]}")
    return curves, left_out


def main():
    parser = argparse.ArgumentParser(description="Draws a sweep's or a study's table as an SVG chart.")
    parser.add_argument("--x", help="the column across (default: the sweep's voltage)")
    parser.add_argument("--y", action="append", default=[], help="a column up (once or more)")
    parser.add_argument("--title", help="the chart's title")
    parser.add_argument("--x-label", help="the label across (default: the column's name)")
    parser.add_argument("--y-label", help="the label up")
    parser.add_argument("table", nargs="?", help="the CSV table (default: standard input)")
    parser.add_argument("chart", nargs="?", help="the SVG file (default: standard output)")
    args = parser.parse_args()
    source = open(args.table, newline="") if args.table else sys.stdin
    rows = list(csv.reader(source))
    header, points = rows[0], rows[1:]
    if args.x or args.y:
        if not (args.x and args.y):
            sys.exit("sweep-chart: --x and --y go together")
        curves, left_out = column_curves(header, points, args.x, args.y)
        x_label = args.x_label or args.x
        y_label = args.y_label or (args.y[0] if len(args.y) == 1 else "")
        title = args.title or (", ".join(args.y) + " against " + args.x)
    else:
        curves, left_out = sweep_curves(header, points)
        x_label = header[0]
        y_label = "Deflection from the vertical (degrees)"
        title = args.title or "Deflection against voltage"

    xs = [x for _, curve in curves for x, _ in curve] or [0.0, 1.0]
    ys = [y for _, curve in curves for _, y in curve] or [0.0, 1.0]
    x_ticks = ticks(min(xs), max(xs))
    y_ticks = ticks(min(0.0, min(ys)), max(0.0, max(ys)))
    x0, x1, y0, y1 = x_ticks[0], x_ticks[-1], y_ticks[0], y_ticks[-1]

    def px(x):
        return LEFT + (x - x0) / ((x1 - x0) or 1) * (WIDTH - LEFT - RIGHT)

    def py(y):
        return HEIGHT - BOTTOM - (y - y0) / ((y1 - y0) or 1) * (HEIGHT - TOP - BOTTOM)

    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
           f'font-family="sans-serif" font-size="12">',
           f'<rect width="{WIDTH}" height="{HEIGHT}" fill="white"/>',
           f'<text x="{WIDTH / 2}" y="22" text-anchor="middle" font-size="15">'
           f'{escape(title)}</text>']
    for x in x_ticks:
        out.append(f'<line x1="{px(x):.1f}" y1="{TOP}" x2="{px(x):.1f}" y2="{HEIGHT - BOTTOM}" stroke="#ddd"/>')
        out.append(f'<text x="{px(x):.1f}" y="{HEIGHT - BOTTOM + 16}" text-anchor="middle">{x:g}</text>')
    for y in y_ticks:
        out.append(f'<line x1="{LEFT}" y1="{py(y):.1f}" x2="{WIDTH - RIGHT}" y2="{py(y):.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{LEFT - 6}" y="{py(y) + 4:.1f}" text-anchor="end">{y:g}</text>')
    out.append(f'<text x="{(LEFT + WIDTH - RIGHT) / 2}" y="{HEIGHT - BOTTOM + 36}" text-anchor="middle">'
               f'{escape(x_label)}</text>')
    out.append(f'<text transform="translate(18 {(TOP + HEIGHT - BOTTOM) / 2}) rotate(-90)" '
               f'text-anchor="middle">{escape(y_label)}</text>')
    for index, (name, curve) in enumerate(curves):
        colour = COLOURS[index % len(COLOURS)]
        path = " ".join(f"{px(x):.1f},{py(y):.1f}" for x, y in curve)
        # Curves that coincide (a symmetric system) stay visible: the earlier ones are wider.
        width = 2 + 3 * (len(curves) - 1 - index)
        out.append(f'<polyline points="{path}" fill="none" stroke="{colour}" stroke-width="{width}" '
                   f'stroke-linejoin="round"/>')
        out.extend(f'<circle cx="{px(x):.1f}" cy="{py(y):.1f}" r="3" fill="{colour}"/>' for x, y in curve)
        out.append(f'<text x="{LEFT + 10 + 130 * index}" y="{HEIGHT - 30}" fill="{colour}">{escape(name)}</text>')
    if left_out:
        groups = "; ".join(f"{how} at {', '.join(where)}" for how, where in left_out.items())
        out.append(f'<text x="{LEFT + 10}" y="{HEIGHT - 10}" fill="#555">Not drawn: {escape(groups)}</text>')
    out.append("</svg>")
    target = open(args.chart, "w") if args.chart else sys.stdout
    target.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
