#!/usr/bin/env python3
"""Makes the program's bitmaps, alarm sound and application icon.

Standard library only, and deterministic: running it again gives the same
bytes, so the generated files can live in version control beside it.

    python3 resources/tools/make_resources.py [resources-folder]
"""

import math
import os
import struct
import sys
import wave
import zlib

# --------------------------------------------------------------- writers


def write_bmp(path, width, height, pixel):
    """24-bit BMP; pixel(x, y) gives (r, g, b) with y = 0 at the top."""
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # BMP rows run bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    header_size = 14 + 40
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                              len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(file_header + info_header + pixels)


def write_png(path, width, height, rgba_rows):
    """8-bit RGBA PNG from rows of (r, g, b, a) tuples."""
    raw = bytearray()
    for row in rgba_rows:
        raw.append(0)  # filter: none
        for px in row:
            raw += bytes(px)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", ihdr))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


def write_wav(path, rate, samples):
    """16-bit PCM mono from floats in [-1, 1]."""
    frames = b"".join(struct.pack("<h", int(round(max(-1.0, min(1.0, s)) * 32767))) for s in samples)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames)


# ------------------------------------------------------------ bitmaps


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def vertical_gradient(top, bottom, lines=None):
    """A top-to-bottom gradient; lines maps a row (negative from the bottom) to a colour."""
    top, bottom = hex_rgb(top), hex_rgb(bottom)
    lines = {k: hex_rgb(v) for k, v in (lines or {}).items()}

    def make(height):
        def pixel(_x, y):
            for row, colour in lines.items():
                if y == (row if row >= 0 else height + row):
                    return colour
            return mix(top, bottom, y / max(1, height - 1))
        return pixel
    return make


# Each bitmap is stretched over its bar or row, so only its vertical course
# matters; 64 columns keep the stretch smooth without wasting bytes.
BITMAPS = [
    # name, width, height, painter
    ("toolsbarBackground.bmp", 64, 30,
     vertical_gradient("#fbfbfa", "#eeedec", {-1: "#d5d3d0"})),   # line under the top bar
    ("searchbarBackground.bmp", 64, 26,
     vertical_gradient("#f0efee", "#f8f8f7", {0: "#d5d3d0"})),    # line over the bottom bar
    ("groupBackground.bmp", 64, 24, vertical_gradient("#f6f8f3", "#f1f4ee")),
    ("itemBackground0.bmp", 64, 24, vertical_gradient("#ffffff", "#fafafa")),
    ("itemBackground1.bmp", 64, 24, vertical_gradient("#f6f9fd", "#f1f5fb")),
]


# ------------------------------------------------------------- sound


def alarm_chime(rate=22050, seconds=1.6):
    """Three rising bell-like tones (A5, C#6, E6), each ringing out."""
    notes = [(0.00, 880.00), (0.18, 1108.73), (0.36, 1318.51)]
    partials = [(1.0, 1.0), (2.0, 0.22), (3.0, 0.06)]  # (ratio, weight)
    count = int(rate * seconds)
    out = []
    for n in range(count):
        t = n / rate
        s = 0.0
        for start, freq in notes:
            dt = t - start
            if dt < 0:
                continue
            envelope = min(1.0, dt / 0.004) * math.exp(-dt / 0.38)
            for ratio, weight in partials:
                # higher partials fade faster, as on a struck bell
                s += envelope * weight * math.exp(-dt * (ratio - 1) * 3) * math.sin(2 * math.pi * freq * ratio * dt)
        fade = min(1.0, (seconds - t) / 0.06)
        out.append(0.30 * s * fade)
    return rate, out


# ----------------------------------------------------- application icon
#
# A note pad with an amber head and a quill across it, drawn as signed
# distance shapes and sampled 4 x 4 per pixel for smooth edges.


def sd_round_box(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - r


def sd_segment(px, py, ax, ay, bx, by, r):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - ax - vx * t, py - ay - vy * t) - r


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


QUILL_A = (58.0, 112.0)    # nib
QUILL_B = (118.0, 22.0)    # end of the shaft
QUILL_DIR = (QUILL_B[0] - QUILL_A[0], QUILL_B[1] - QUILL_A[1])
QUILL_LEN = math.hypot(*QUILL_DIR)
QUILL_U = (QUILL_DIR[0] / QUILL_LEN, QUILL_DIR[1] / QUILL_LEN)


def quill_coords(px, py):
    """Position along the shaft (0 at the nib) and signed distance across it."""
    dx, dy = px - QUILL_A[0], py - QUILL_A[1]
    along = dx * QUILL_U[0] + dy * QUILL_U[1]
    across = -dx * QUILL_U[1] + dy * QUILL_U[0]
    return along, across


def vane_half_width(along):
    """Feather outline: starts a little above the nib, widest near the top."""
    start, end = 26.0, QUILL_LEN + 4
    if along < start or along > end:
        return -1.0
    t = (along - start) / (end - start)
    return 14.0 * math.sin(math.pi * t ** 0.8)


PAD = (14, 8, 98, 120, 11)     # x0, y0, x1, y1, corner radius
HEAD_BOTTOM = 34
LINES_Y = (54, 70, 86, 102)


def icon_layers(px, py):
    """Colours (r, g, b, a) covering the point, bottom layer first."""
    x0, y0, x1, y1, r = PAD
    layers = []
    d_shadow = sd_round_box(px, py - 2.5, x0, y0, x1, y1, r)
    if d_shadow < 4:
        layers.append((40, 40, 40, 0.22 * min(1.0, (4 - d_shadow) / 5)))
    d_pad = sd_round_box(px, py, x0, y0, x1, y1, r)
    if d_pad <= 0:
        if d_pad > -2.2:
            layers.append((184, 178, 168, 1.0))           # pad edge
        elif py < HEAD_BOTTOM:
            layers.append((229, 160, 52, 1.0))            # amber head
        else:
            layers.append((253, 252, 249, 1.0))           # paper
            for ly in LINES_Y:
                if sd_segment(px, py, 28, ly, 84, ly, 1.2) <= 0:
                    layers.append((196, 208, 222, 1.0))   # ruled lines
        for hx in (34, 56, 78):                           # binding holes
            if sd_circle(px, py, hx, 21, 4.2) <= 0:
                layers.append((120, 78, 20, 1.0))
    # tick in front of the first line
    if sd_segment(px, py, 24, 53, 30, 59, 2.6) <= 0 or sd_segment(px, py, 30, 59, 41, 45, 2.6) <= 0:
        layers.append((38, 162, 105, 1.0))
    # the quill
    along, across = quill_coords(px, py)
    half = vane_half_width(along)
    if half > 0 and abs(across) <= half:
        shade = 0.5 + 0.5 * (across / half)               # lighter on one side
        layers.append(tuple(int(round(c)) for c in mix((52, 101, 164), (98, 160, 234), shade)) + (1.0,))
        if abs(across) > half - 1.6:
            layers.append((34, 70, 120, 1.0))             # outline
    if sd_segment(px, py, QUILL_A[0] + QUILL_U[0] * 6, QUILL_A[1] + QUILL_U[1] * 6,
                  QUILL_B[0], QUILL_B[1], 1.1) <= 0:
        layers.append((236, 240, 246, 1.0))               # shaft
    if 0 <= along <= 10 and abs(across) <= along * 0.32:
        layers.append((46, 52, 64, 1.0))                  # nib
    return layers


def render_icon(size, samples=4):
    scale = 128.0 / size
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(samples):
                for sx in range(samples):
                    px = (x + (sx + 0.5) / samples) * scale
                    py = (y + (sy + 0.5) / samples) * scale
                    r = g = b = a = 0.0
                    for lr, lg, lb, la in icon_layers(px, py):
                        r = lr * la + r * (1 - la)
                        g = lg * la + g * (1 - la)
                        b = lb * la + b * (1 - la)
                        a = la + a * (1 - la)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if alpha <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(acc[i] / n / alpha)) for i in range(3))
                           + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


# The sizes an installed copy puts into the desktop's hicolor icon theme.
HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


# -------------------------------------------------------------- main


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    for folder in ("Images", "Sounds", "images", "icons"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)

    for name, width, height, make in BITMAPS:
        write_bmp(os.path.join(root, "Images", name), width, height, make(height))

    rate, samples = alarm_chime()
    write_wav(os.path.join(root, "Sounds", "Alarm.wav"), rate, samples)

    icon = render_icon(128)
    # The about box reads images/appIcon.png; the desktop entry names ambrel-quillpad.
    for path in (os.path.join(root, "images", "appIcon.png"),
                 os.path.join(root, "icons", "ambrel-quillpad.png")):
        write_png(path, 128, 128, icon)
    # Drawn afresh at each size rather than scaled, so small ones stay sharp.
    for size in HICOLOR_SIZES:
        folder = os.path.join(root, "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, "ambrel-quillpad.png"), size, size,
                  icon if size == 128 else render_icon(size))


if __name__ == "__main__":
    main()
