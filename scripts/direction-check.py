#!/usr/bin/env python3
"""Measures, on stills of the demo as authored, what the direction promises a viewer:

  planet   (0-96)    the subject (planet, ring, emitter) at least a quarter of the frame height
                     in every still, and no two beats in a row with the frame over 95 % black;
  tunnel   (282-304) at most 15 % of the frame at full white while the gems sweep and swell;
  credits  (352-432) every credits line wholly in the frame at least 4.5:1: the mean luminance
                     of its strokes' cores against the 8-pixel ring round it. The lines are
                     found from the credits image itself, wherever a still shows it.

The gems' size and the lit gems' contrast depend on where each gem lands on the screen, which
the GL tests of the cube tunnel work out from the effect's own matrices (CubeTunnelTest).

Usage (from the repository, after a build):
    scripts/direction-check.py [build/run] [work dir] [planet|tunnel|credits ...]
checks every section, or only those named. Prints one line per still and a verdict per
section; exits 1 when a section misses its mark.
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
CREDITS_TEXT = os.path.join(SCRIPTS, "..", "data", "text", "credits.txt")


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


class Credits:
    """The credits image as the overlay draws it: its lines of text (runs of inked rows), each
    with the core of its strokes and its whole ink, so that a still can be measured where the
    letters really are, whatever else is bright in the column."""

    # Alpha of a stroke's core, of anything inked (antialiased fringes included). The overlay
    # adds the image's colour times itself, so a core pixel receives at least a quarter of its
    # line's colour.
    CORE, INK = 128, 8

    def __init__(self, image_file, text_file):
        self.width, self.height, rgba = decode(image_file, "rgba")
        self.alpha = rgba[3::4]
        # How many inked pixels each row holds: the lines are the runs of inked rows, and the
        # profile is what a still's rows are matched against to find the image.
        self.ink = [sum(1 for x in range(self.width) if self.at(x, y) > self.INK) for y in range(self.height)]
        inked = [y for y in range(self.height) if self.ink[y]]
        self.lines = []
        for y in inked:
            if self.lines and y - self.lines[-1][-1] <= 2:
                self.lines[-1].append(y)
            else:
                self.lines.append([y])
        texts = credits_texts(text_file)
        self.names = texts if len(texts) == len(self.lines) else [f"line {i + 1}" for i in range(len(self.lines))]

    def at(self, x, y):
        return self.alpha[y * self.width + x]

    def cores(self, rows):
        return [(x, y) for y in rows for x in range(self.width) if self.at(x, y) >= self.CORE]

    def box(self, rows):
        xs = [x for y in rows for x in range(self.width) if self.at(x, y) > self.INK]
        return min(xs), rows[0], max(xs), rows[-1]

    def offset(self, picture):
        """The screen row of the image's top row in a still. The rows whose pale pixels follow the
        image's inked rows best give the candidates; the one whose stroke cores stand out most
        from the blank between them wins, if they stand out by a quarter of the range at least
        (the chrome logo or a bright tube reach half that by chance). None when no candidate
        shows the text."""
        pale = [sum(min(picture.pixel(CREDITS_LEFT + x, y)) for x in range(self.width)) for y in range(picture.height)]
        mean = sum(pale) / len(pale)
        pale = [v - mean for v in pale]

        def follows(top):
            return sum(self.ink[y] * pale[top + y] for y in range(max(0, -top), min(self.height, picture.height - top)))

        tops = range(-self.height + 1, picture.height)
        score = [follows(top) for top in tops]
        # Peaks only: a bright mass (the logo) makes one broad hill that would crowd out the rest.
        peaks = [i for i in range(len(score)) if score[i] == max(score[max(0, i - 4):i + 5])]
        candidates = [tops[i] for i in sorted(peaks, key=lambda i: score[i], reverse=True)[:16]]
        best, best_score = None, 64.0
        for top in candidates:
            score = self.standout(picture, top)
            if score is not None and score > best_score:
                best, best_score = top, score
        return best

    def standout(self, picture, top):
        """How much paler the still is under the strokes' cores than under the blank between
        them, with the image's top at screen row `top` (0 to 255)."""
        core, blank = [], []
        for rows in self.lines:
            for y in rows:
                if 0 <= top + y < picture.height:
                    for x in range(self.width):
                        a = self.at(x, y)
                        if a >= self.CORE or a == 0:
                            (core if a else blank).append(min(picture.pixel(CREDITS_LEFT + x, top + y)))
        if not core or not blank:
            return None
        return sum(core) / len(core) - sum(blank) / len(blank)

    def contrast(self, picture, top, rows, ring=8):
        """The mean luminance of a line's stroke cores against the ring of `ring` pixels round the
        line's box, leaving out any ink of the credits in the ring; None while the line and its
        ring are not wholly in the frame (entering or leaving, not yet there to be read)."""
        x0, y0, x1, y1 = self.box(rows)
        if top + y0 - ring < 0 or top + y1 + ring >= picture.height:
            return None
        cores = self.cores(rows)
        glyph = sum(luminance(picture.pixel(CREDITS_LEFT + x, top + y)) for x, y in cores) / len(cores)
        around = [luminance(picture.pixel(CREDITS_LEFT + x, top + y))
                  for y in range(y0 - ring, y1 + ring + 1) for x in range(x0 - ring, x1 + ring + 1)
                  if not (x0 <= x <= x1 and y0 <= y <= y1) and not self.inked(x, y)]
        return (glyph + 0.05) / (sum(around) / len(around) + 0.05)

    def inked(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height and self.at(x, y) > self.INK


def credits_texts(text_file):
    """The credits' lines of text in order, as the credits file gives them (headings "= ",
    small lines "- "; comments and gaps left out)."""
    texts = []
    with open(text_file, encoding="utf-8") as lines:
        for line in lines:
            line = line.rstrip("\n")
            if line.strip() and not line.startswith("#"):
                texts.append(line[2:] if line[:2] in ("= ", "- ") else line)
    return texts


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
    credits = Credits(os.path.join(RUN_DIR, "Textures", "Credits.png"), CREDITS_TEXT)
    worst, measured = None, 0
    for beat in CREDITS_BEATS:
        picture = load(os.path.join(out, f"beat-{beat:07.2f}.png"))
        top = credits.offset(picture)
        ratios = [] if top is None else [(r, name) for r, name in (
            (credits.contrast(picture, top, rows), name) for rows, name in zip(credits.lines, credits.names))
            if r is not None]
        measured += len(ratios)
        low = min(ratios) if ratios else None
        if low is not None and (worst is None or low[0] < worst[0]):
            worst = (low[0], low[1], beat)
        where = "credits not in the frame" if top is None else f"image top at row {top:4d}"
        print(f"credits beat {beat:6.2f}  {where}  lines {len(ratios):2d}  lowest contrast "
              f"{'-' if low is None else f'{low[0]:.1f}:1 ({low[1]})'}")
    ok = worst is not None and worst[0] >= 4.5
    print(f"credits: {measured} lines measured, lowest contrast "
          f"{'-' if worst is None else f'{worst[0]:.1f}:1 ({worst[1]}, beat {worst[2]})'} -> {'ok' if ok else 'MISSED'}")
    return ok


SECTIONS = {"planet": check_planet, "tunnel": check_tunnel, "credits": check_credits}


def main():
    chosen = sys.argv[3:] or list(SECTIONS)
    unknown = [name for name in chosen if name not in SECTIONS]
    if unknown:
        print(f"unknown section {', '.join(unknown)}; the sections are {', '.join(SECTIONS)}", file=sys.stderr)
        return 2
    os.makedirs(WORK_DIR, exist_ok=True)
    results = [SECTIONS[name]() for name in chosen]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
