"""Figures of the timeline editor, in headless Chromium against the player in author mode.

  /usr/bin/python3 bench/editor_bench.py build/run [--scale 10] [--edits 30]

Prints: the page's load with the whole timeline (navigation until every lane shows its keys),
panning and zooming (frames a second while the page is wheeled every animation frame, from the
page's own frame timestamps), and from an edit sent to the player until the player's frame
reads the new value (median and p95; the playhead stream reports every 50 ms, which bounds the
resolution). The timeline holds `--scale` times as many keys as data/timeline.txt, spread over
the music. Run it under scripts/headless.sh.
"""
import argparse
import json
import math
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TRACKS = re.findall(r"^\[(.+)\]$", open(os.path.join(ROOT, "data", "timeline.txt")).read(), re.M)


def scaled_timeline(scale):
    """The real timeline with `scale` times its keys. The tracks that choose the scene and its
    clock get copies of the key before (the same show); the others a wave of values."""
    text = open(os.path.join(ROOT, "data", "timeline.txt")).read()
    sections = {}
    for line in text.splitlines():
        line = re.sub(r"(^|\s)#.*", "", line).strip()
        if line.startswith("["):
            keys = sections.setdefault(line[1:-1], [])
        elif line:
            keys.append(line.split())
    out, count = [], 0
    for name, keys in sections.items():
        rows = [round(float(k[0]) * 16) for k in keys] + [432 * 16]
        out.append(f"[{name}]")
        wanted = len(keys) * scale  # spread by the length of each key's stretch
        for (position, value, kind), row, next_row in zip(keys, rows, rows[1:]):
            share = max(round(wanted * (next_row - row) / rows[-1]), 1)
            step = max((next_row - row) // share, 1)
            for extra in range(row, min(row + share * step, next_row), step):
                same = name in ("Effect Index", "PostProcessor Index", "Effect Time") or extra == row
                out.append(f"{extra}r {value if same else f'{math.sin(extra * 0.01) * 10:.3f}'} "
                           f"{'step' if same and extra != row else kind}")
                count += 1
        out.append("")
    return "\n".join(out), count


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("run_dir")
    parser.add_argument("--scale", type=int, default=10)
    parser.add_argument("--edits", type=int, default=30)
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix="quarn-editor-bench-")
    run = os.path.join(scratch, "run")
    os.mkdir(run)
    for name in os.listdir(args.run_dir):
        if name != "LogFile.txt":
            os.symlink(os.path.abspath(os.path.join(args.run_dir, name)), os.path.join(run, name))
    sources = os.path.join(scratch, "sources")
    shutil.copytree(os.path.join(ROOT, "data", "Shaders"), os.path.join(sources, "Shaders"))
    text, keys = scaled_timeline(args.scale)
    with open(os.path.join(sources, "timeline.txt"), "w") as file:
        file.write(text)

    player = subprocess.Popen(["./QuarnEngine", "--author", "--watch", sources, "--editor", "--no-browser",
                               "--from", "310"], cwd=run, stdout=subprocess.PIPE, text=True,
                              env=dict(os.environ, ALSOFT_DRIVERS="null"))
    url = player.stdout.readline().split(": ", 1)[1].strip()
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run", "--window-size=1600,1000",
                 f"--user-data-dir={scratch}/chromium"):
        options.add_argument(flag)
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        started = time.monotonic()
        browser.get(url)
        while len(browser.find_elements(By.CSS_SELECTOR, "[data-track] [data-row]")) < keys:
            time.sleep(0.01)
        print(f"page load, {keys} keys in {len(TRACKS)} lanes: {(time.monotonic() - started) * 1000:.0f} ms")

        frames = browser.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const timeline = document.querySelector('#timeline');
            const stamps = [];
            function step(now) {
              stamps.push(now);
              const i = stamps.length;
              timeline.dispatchEvent(new WheelEvent('wheel', {deltaY: i % 40 < 20 ? -60 : 60, clientX: 800,
                                                              shiftKey: i % 2 === 0, cancelable: true}));
              if (now - stamps[0] < 4000) requestAnimationFrame(step); else done(stamps);
            }
            requestAnimationFrame(step);""")
        gaps = sorted(b - a for a, b in zip(frames, frames[1:]))
        print(f"panning and zooming, {keys} keys: {len(gaps) / ((frames[-1] - frames[0]) / 1000):.1f} frames/s, "
              f"frame median {statistics.median(gaps):.1f} ms, p95 {gaps[int(len(gaps) * 0.95)]:.1f} ms")

        latencies = []
        for i in range(args.edits):
            state = json.load(urllib.request.urlopen(url + "api/state"))
            track = "Camera Distance"
            keys_now = next(t["keys"] for t in state["tracks"] if t["name"] == track)
            value = 100.0 + i
            changed = [{"op": "set", "track": track, "row": k[0], "value": value, "kind": 0} for k in keys_now]
            request = urllib.request.Request(url + "api/edit", method="POST",
                                             data=json.dumps({"version": state["version"], "operations": changed}).encode())
            started = time.monotonic()
            urllib.request.urlopen(request).read()
            while browser.execute_script("return quarnEditor.playhead().values[arguments[0]]", track) != value:
                time.sleep(0.005)
            latencies.append((time.monotonic() - started) * 1000)
        latencies.sort()
        print(f"edit to the player's frame reading it ({args.edits} edits): median {statistics.median(latencies):.0f} ms, "
              f"p95 {latencies[int(len(latencies) * 0.95) - 1]:.0f} ms")
    finally:
        browser.quit()
        player.send_signal(signal.SIGTERM)
        player.wait(timeout=30)
        shutil.rmtree(scratch)


if __name__ == "__main__":
    sys.exit(main())
