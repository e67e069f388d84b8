"""The timeline editor's server while clients try to stall it, against the player in author mode.

  scripts/headless.sh /usr/bin/python3 bench/editor_stall_bench.py build/run [--seconds 20]

Plays the player (paused at beat 300, so every frame costs the same) with the editor and reads
its playhead stream, whose events count the player's frames. First a quiet stretch; then, for
as long again, it holds 200 idle connections and 50 slowloris connections (a byte of a request
head a second), each opened again as soon as the server closes it, and 30 event streams that
are read as a page reads them. Throughout, a state request with the secret goes out every half
second. Prints the state request's latency (median, slowest) and the player's frames a second
in each stretch, and how many of the held connections the server kept. Loopback only; it ends
by itself.
"""
import argparse
import http.client
import json
import os
import shutil
import socket
import statistics
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
# The test's player, started the same way; its module reads the run and source folders from argv.
arguments = sys.argv[1:]
sys.argv = sys.argv[:1] + [arguments[0] if arguments else "", ROOT]
from editor_server_test import Player  # noqa: E402


class Holder(threading.Thread):
    """`count` connections to the server, opened again whenever one is found closed; slow ones
    send a byte of a request head a second."""

    def __init__(self, port, count, head, stop):
        super().__init__(daemon=True)
        self.port, self.count, self.head, self.stop = port, count, head, stop
        self.sockets, self.reopened = [], 0

    def open(self):
        connection = socket.create_connection(("127.0.0.1", self.port))
        connection.setblocking(False)
        return [connection, 0]

    def alive(self, entry):
        try:
            return entry[0].recv(1, socket.MSG_PEEK) != b""
        except BlockingIOError:
            return True
        except OSError:
            return False

    def run(self):
        self.sockets = [self.open() for _ in range(self.count)]
        while not self.stop.wait(1.0):
            for i, entry in enumerate(self.sockets):
                if not self.alive(entry):
                    entry[0].close()
                    self.sockets[i] = entry = self.open()
                    self.reopened += 1
                if self.head:
                    try:
                        entry[0].send(self.head[entry[1] % len(self.head):][:1])
                        entry[1] += 1
                    except OSError:
                        pass
        for entry in self.sockets:
            entry[0].close()

    def kept(self):
        return sum(self.alive(entry) for entry in self.sockets)


def frame_counter(player, stop, frames):
    """Reads one playhead stream and records (time, frame) for each event."""
    connection = http.client.HTTPConnection("127.0.0.1", player.port, timeout=30)
    connection.request("GET", player.base + "api/events")
    response = connection.getresponse()
    for line in response:
        if stop.is_set():
            break
        if line.startswith(b"data: "):
            frames.append((time.monotonic(), json.loads(line[6:])["frame"]))
    connection.close()


def page_stream(player, stop, counts, index):
    connection = http.client.HTTPConnection("127.0.0.1", player.port, timeout=30)
    connection.request("GET", player.base + "api/events")
    response = connection.getresponse()
    for line in response:
        if stop.is_set():
            break
        counts[index] += line.startswith(b"data: ")
    connection.close()


def frames_per_second(frames, start, end):
    inside = [(t, f) for t, f in frames if start <= t <= end]
    if len(inside) < 2 or inside[-1][1] == inside[0][1]:
        return 0.0
    return (inside[-1][1] - inside[0][1]) / (inside[-1][0] - inside[0][0])


def state_latencies(player, start, end):
    latencies = []
    while time.monotonic() < end:
        started = time.monotonic()
        status, _ = player.get(player.base + "api/state", timeout=30)
        latencies.append(time.monotonic() - started if status == 200 else float("inf"))
        time.sleep(max(0.0, 0.5 - (time.monotonic() - started)))
    return latencies


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("run_dir")
    parser.add_argument("--seconds", type=float, default=20.0)
    options = parser.parse_args(arguments)
    scratch = tempfile.mkdtemp(prefix="quarn-editor-stall-")
    player = Player(scratch, ["--no-browser"])
    try:
        connection = http.client.HTTPConnection("127.0.0.1", player.port, timeout=10)
        connection.request("POST", player.base + "api/pause", "{}", {"Host": f"127.0.0.1:{player.port}"})
        connection.getresponse().read()
        stop, frames = threading.Event(), []
        threading.Thread(target=frame_counter, args=(player, stop, frames), daemon=True).start()
        time.sleep(2.0)  # the pause and the stream settle

        quiet_start = time.monotonic()
        quiet = state_latencies(player, quiet_start, quiet_start + options.seconds)
        quiet_end = time.monotonic()

        head = f"GET {player.base}api/state HTTP/1.1\r\nHost: 127.0.0.1:{player.port}\r\n".encode()
        idle, slow = Holder(player.port, 200, b"", stop), Holder(player.port, 50, head, stop)
        idle.start()
        slow.start()
        counts = [0] * 30
        for i in range(30):
            threading.Thread(target=page_stream, args=(player, stop, counts, i), daemon=True).start()
        time.sleep(2.0)  # all held
        held_start = time.monotonic()
        held = state_latencies(player, held_start, held_start + options.seconds)
        held_end = time.monotonic()
        kept = idle.kept(), slow.kept()
        stop.set()
        seconds = player.terminate()
    finally:
        if player.process.poll() is None:
            player.process.kill()
        shutil.rmtree(scratch)

    def line(name, latencies, start, end):
        print(f"{name}: state request median {statistics.median(latencies) * 1000:.0f} ms, "
              f"slowest {max(latencies) * 1000:.0f} ms ({len(latencies)} requests); "
              f"player {frames_per_second(frames, start, end):.2f} frames/s")

    line("quiet", quiet, quiet_start, quiet_end)
    line("held (200 idle, 50 slowloris, 30 streams)", held, held_start, held_end)
    print(f"held connections still open at the end: idle {kept[0]}/200, slowloris {kept[1]}/50; "
          f"reopened after the server closed them: idle {idle.reopened}, slowloris {slow.reopened}")
    print(f"events each of the 30 streams read while held: min {min(counts)}, max {max(counts)}")
    print(f"SIGTERM to exit with all of them connected: {seconds:.2f} s")


if __name__ == "__main__":
    main()
