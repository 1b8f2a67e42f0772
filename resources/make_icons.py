#!/usr/bin/env python3
"""Draws the program's icons: three status LEDs and the window icon, as .ico files for the
window's resources and a .png of the window icon for the desktop entry. Run it again after a
change; the outputs are committed."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def render(size, shade):
    """shade(x, y) -> (r, g, b, a) in 0..1 for x, y in 0..1; 4x4 supersampled."""
    rows = []
    n = 4
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0.0] * 4
            for sj in range(n):
                for si in range(n):
                    x = (i + (si + 0.5) / n) / size
                    y = (j + (sj + 0.5) / n) / size
                    r, g, b, a = shade(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3] / (n * n)
            if a > 0:
                px = [acc[k] / acc[3] for k in range(3)] + [a]
            else:
                px = [0, 0, 0, 0]
            row.append(tuple(max(0, min(255, round(v * 255))) for v in px))
        rows.append(row)
    return rows


def led(colour):
    cr, cg, cb = colour

    def shade(x, y):
        dx, dy = x - 0.5, y - 0.5
        d = math.hypot(dx, dy)
        if d > 0.46:
            return (0, 0, 0, 0)
        if d > 0.40:  # dark rim
            return (0.18, 0.18, 0.18, 1)
        # lit from the upper left
        light = max(0.0, 1 - math.hypot(x - 0.36, y - 0.34) / 0.42)
        k = 0.55 + 0.45 * (1 - d / 0.40)
        r, g, b = cr * k, cg * k, cb * k
        h = light ** 3
        return (r + (1 - r) * h, g + (1 - g) * h, b + (1 - b) * h, 1)

    return shade


def window_icon(x, y):
    # rounded dark square, an orange dial and a white needle: a gauge for an engine-side unit
    m, rad = 0.04, 0.18
    qx = min(max(x, m + rad), 1 - m - rad)
    qy = min(max(y, m + rad), 1 - m - rad)
    if math.hypot(x - qx, y - qy) > rad:
        return (0, 0, 0, 0)
    bg = (0.13, 0.17, 0.24, 1)
    dx, dy = x - 0.5, y - 0.56
    d = math.hypot(dx, dy)
    ang = math.degrees(math.atan2(-dy, dx))  # 0 = right, 90 = up
    in_arc = -45 <= ang <= 225 or ang <= -135
    if 0.27 <= d <= 0.35 and in_arc:
        t = ((225 - ang) % 360) / 270.0  # 0 at the low end, 1 at the high end
        return (0.98, 0.55 - 0.35 * t, 0.10, 1)
    # needle towards 60 degrees
    na = math.radians(60)
    ux, uy = math.cos(na), -math.sin(na)
    along = dx * ux + dy * uy
    across = abs(-dx * uy + dy * ux)
    if -0.04 <= along <= 0.30 and across <= 0.028 * (1 - along / 0.40):
        return (0.96, 0.96, 0.96, 1)
    if d <= 0.06:
        return (0.96, 0.96, 0.96, 1)
    return bg


def ico(path, sizes, shade):
    images = []
    for s in sizes:
        px = render(s, shade)
        xor = b"".join(struct.pack("4B", b, g, r, a) for row in reversed(px) for (r, g, b, a) in row)
        mask_row = ((s + 31) // 32) * 4
        dib = struct.pack("<IiiHHIIiiII", 40, s, 2 * s, 1, 32, 0, len(xor), 0, 0, 0, 0) + xor + bytes(mask_row * s)
        images.append((s, dib))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, dib in images:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(dib), offset)
        offset += len(dib)
    out += b"".join(dib for _, dib in images)
    with open(path, "wb") as f:
        f.write(out)


def png(path, size, shade):
    px = render(size, shade)
    raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in px)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    icons = os.path.join(HERE, "icons")
    os.makedirs(icons, exist_ok=True)
    ico(os.path.join(icons, "redled.ico"), [16, 32], led((0.90, 0.10, 0.08)))
    ico(os.path.join(icons, "greenled.ico"), [16, 32], led((0.10, 0.78, 0.16)))
    ico(os.path.join(icons, "yellowled.ico"), [16, 32], led((0.98, 0.80, 0.05)))
    ico(os.path.join(icons, "vl.ico"), [16, 32, 48], window_icon)
    png(os.path.join(icons, "brennix.png"), 128, window_icon)
