#!/usr/bin/env python3
"""Measures, on stills of the demo as authored, what the direction promises a viewer:

  planet   (0-96)    the subject (planet, ring, emitter) at least a quarter of the frame height
                     in every still, and no two beats in a row with the frame over 95 % black;
  tunnel   (282-304) at most 15 % of the frame at full white while the gems sweep and swell;
  credits  (352-432) every credits line at least 4.5:1 against the 8-pixel ring round it.

The gems' size and the lit gems' contrast depend on where each gem lands on the screen, which
the GL tests of the cube tunnel work out from the effect's own matrices (CubeTunnelTest).

Usage (from the repository, after a build):  scripts/direction-check.py [build/run] [work dir]
Prints one line per still and a verdict per section; exits 1 when a section misses its mark.
Needs python3, ffmpeg (to decode the PNGs) and the headless runner. Takes a few minutes.
"""

import os
import subprocess
import sys

SCRIPTS = os.path.dirname(os.path.abspath(__file__))
RUN_DIR = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SCRIPTS, "..", "build", "run"))
WORK_DIR = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "/tmp/quarn-direction")

# The contact sheet's layout (tools/capture/ContactSheet.h): thumbnails of a fifth, eight a row.
THUMB_W, THUMB_H, GAP, COLUMNS = 256, 144, 4, 8
LABEL_W, LABEL_H = 64, 20  # the darkened corner behind a beat label, left out of the measures

PLANET_BEATS = list(range(0, 96))
TUNNEL_BEATS = [282, 283, 284, 285, 286, 288, 290, 292, 294, 296, 298, 300, 302]
CREDITS_BEATS = list(range(352, 432, 4)) + [431]
CREDITS_LEFT = 384  # the credits image, drawn at its pixel size, centred on a 1280 frame


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def crop(self, left, top, width, height):
        rows = [self.rgb[3 * ((top + y) * self.width + left):3 * ((top + y) * self.width + left + width)]
                for y in range(height)]
        return Picture(width, height, b"".join(rows))


def decode(path, pixel_format):
    size = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                           "stream=width,height", "-of", "csv=p=0", path],
                          check=True, capture_output=True, text=True).stdout.strip().split(",")
    data = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", pixel_format, "-"],
                          check=True, capture_output=True).stdout
    return int(size[0]), int(size[1]), data


def load(path):
    return Picture(*decode(path, "rgb24"))


def credits_column():
    """The screen columns the credits' text covers: those of the credits image with any ink."""
    width, height, rgba = decode(os.path.join(RUN_DIR, "Textures", "Credits.png"), "rgba")
    inked = [x for x in range(width) if any(rgba[4 * (y * width + x) + 3] > 8 for y in range(height))]
    return CREDITS_LEFT + min(inked), CREDITS_LEFT + max(inked) + 1


def capture(arguments):
    subprocess.run([os.path.join(SCRIPTS, "headless.sh"), "./quarn-capture"] + arguments, cwd=RUN_DIR,
                   check=True, stdout=subprocess.DEVNULL)


def linear(channel):
    c = channel / 255.0
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


LINEAR = [linear(v) for v in range(256)]


def luminance(rgb):
    return 0.2126 * LINEAR[rgb[0]] + 0.7152 * LINEAR[rgb[1]] + 0.0722 * LINEAR[rgb[2]]


def outside_label(x, y):
    return x >= LABEL_W or y >= LABEL_H


def black(rgb):
    return max(rgb) < 24


def black_share(thumb):
    total = dark = 0
    for y in range(thumb.height):
        for x in range(thumb.width):
            if outside_label(x, y):
                total += 1
                dark += black(thumb.pixel(x, y))
    return dark / total


def subject_height(thumb):
    """The tallest run of rows in which at least 2 % of the pixels are not black; the sparse
    stars light a row only here and there, the subject across a stretch of it."""
    best = run = 0
    for y in range(thumb.height):
        lit = sum(1 for x in range(thumb.width) if outside_label(x, y) and not black(thumb.pixel(x, y)))
        run = run + 1 if lit >= 0.02 * thumb.width else 0
        best = max(best, run)
    return best / thumb.height


def white_share(picture):
    white = sum(1 for i in range(0, len(picture.rgb), 3) if min(picture.rgb[i:i + 3]) >= 250)
    return white / (picture.width * picture.height)


def glyph(rgb):
    """Bright and pale: the white lines and the small lines' light blue, not the sprites' hues."""
    return max(rgb) >= 150 and min(rgb) >= 0.35 * max(rgb)


def credits_lines(picture, column):
    """Rows of glyph pixels (near white or the small lines' pale blue) in the credits' column,
    grouped into lines; each line with its glyph pixels and its bounding box. Anything as
    bright in the column counts too: behind the text it would hurt as much."""
    left, right = column
    rows = []
    for y in range(picture.height):
        glyphs = [x for x in range(left, right) if glyph(picture.pixel(x, y))]
        rows.append(glyphs)
    lines, current, gap = [], [], 0
    for y, glyphs in enumerate(rows):
        if len(glyphs) >= 3:
            current.append(y)
            gap = 0
        elif current:
            gap += 1
            if gap > 2:
                lines.append(current)
                current, gap = [], 0
    if current:
        lines.append(current)
    result = []
    for line in lines:
        pixels = [(x, y) for y in line for x in rows[y]]
        xs = [x for x, _ in pixels]
        if len(pixels) < 20 or max(xs) - min(xs) < 12:
            continue  # a star or a sprite's core, not a line of text
        result.append((pixels, (min(xs), line[0], max(xs), line[-1])))
    return result


def contrast(picture, pixels, box, ring=8):
    x0, y0, x1, y1 = box
    if y0 - ring < 0 or y1 + ring >= picture.height:
        return None  # the line is entering or leaving the frame
    glyph = sum(luminance(picture.pixel(x, y)) for x, y in pixels) / len(pixels)
    around = []
    for y in range(y0 - ring, y1 + ring + 1):
        for x in range(x0 - ring, x1 + ring + 1):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                around.append(luminance(picture.pixel(x, y)))
    return (glyph + 0.05) / (sum(around) / len(around) + 0.05)


def check_planet():
    sheet_file = os.path.join(WORK_DIR, "planet-sheet.png")
    capture(["--sheet", sheet_file, "--every", "1", "--from", "0", "--to", str(PLANET_BEATS[-1])])
    sheet = load(sheet_file)
    heights, dark = [], []
    for index, beat in enumerate(PLANET_BEATS):
        left = GAP + index % COLUMNS * (THUMB_W + GAP)
        top = GAP + index // COLUMNS * (THUMB_H + GAP)
        thumb = sheet.crop(left, top, THUMB_W, THUMB_H)
        heights.append(subject_height(thumb))
        dark.append(black_share(thumb))
        print(f"planet  beat {beat:6.2f}  subject height {heights[-1]:.2f}  black {dark[-1]:.3f}")
    longest = run = 0
    for share in dark:
        run = run + 1 if share > 0.95 else 0
        longest = max(longest, run)
    low = min(range(len(heights)), key=lambda i: heights[i])
    ok = heights[low] >= 0.25 and longest < 2
    print(f"planet: smallest subject {heights[low]:.2f} of the frame height (beat {PLANET_BEATS[low]}); "
          f"longest run of stills over 95 % black: {longest} -> {'ok' if ok else 'MISSED'}")
    return ok


def check_tunnel():
    out = os.path.join(WORK_DIR, "tunnel")
    capture(["--out", out] + [a for b in TUNNEL_BEATS for a in ("--at", str(b))])
    worst = 0.0
    for beat in TUNNEL_BEATS:
        share = white_share(load(os.path.join(out, f"beat-{beat:07.2f}.png")))
        worst = max(worst, share)
        print(f"tunnel  beat {beat:6.2f}  full white {share:.3f}")
    ok = worst <= 0.15
    print(f"tunnel: largest share at full white {worst:.3f} -> {'ok' if ok else 'MISSED'}")
    return ok


def check_credits():
    out = os.path.join(WORK_DIR, "credits")
    capture(["--out", out] + [a for b in CREDITS_BEATS for a in ("--at", str(b))])
    worst, measured = None, 0
    column = credits_column()
    for beat in CREDITS_BEATS:
        picture = load(os.path.join(out, f"beat-{beat:07.2f}.png"))
        lines = credits_lines(picture, column)
        ratios = [r for r in (contrast(picture, p, box) for p, box in lines) if r is not None]
        measured += len(ratios)
        low = min(ratios) if ratios else None
        if low is not None and (worst is None or low < worst[0]):
            worst = (low, beat)
        print(f"credits beat {beat:6.2f}  lines {len(ratios):2d}  lowest contrast "
              f"{'-' if low is None else f'{low:.1f}:1'}")
    ok = worst is not None and worst[0] >= 4.5
    print(f"credits: {measured} lines measured, lowest contrast "
          f"{'-' if worst is None else f'{worst[0]:.1f}:1 (beat {worst[1]})'} -> {'ok' if ok else 'MISSED'}")
    return ok


def main():
    os.makedirs(WORK_DIR, exist_ok=True)
    results = [check_planet(), check_tunnel(), check_credits()]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
