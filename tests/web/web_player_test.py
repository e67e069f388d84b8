#!/usr/bin/env python3
"""The web player's page in Chromium (headless, WebGL2 on SwiftShader) through Selenium: it loads,
starts on a click, draws frames that change, and writes the start-up lines the native log has; a
page whose data file is missing says so instead of staying blank.

Usage: web_player_test.py WEB_FOLDER (build-web/web)
"""
import functools
import http.server
import os
import shutil
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

WEB_DIR = os.path.abspath(sys.argv.pop(1))
# The native log's start-up lines, in order.
STARTUP_LINES = ["Logger Initialized.", "Sync System Initialized.", "Renderer Initialized.",
                 "Engine Initialized.", "Initializing Demo: Test Demo", "Initializing Effect: Planet Effect"]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_port}/index.html"


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError(f"timed out after {seconds} s waiting for {what}")


class WebPlayerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="quarn-web-test.")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                     "--disable-background-networking", "--disable-component-update", "--no-first-run",
                     "--window-size=1280,800", f"--user-data-dir={cls.scratch}/chromium"):
            options.add_argument(flag)
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def canvas_pixels(self):
        return self.browser.find_element(By.ID, "canvas").screenshot_as_png

    def log_text(self):
        return self.browser.execute_script(
            "try { return new TextDecoder('utf-16le').decode(Module.FS.readFile('/LogFile.txt')); }"
            " catch (e) { return ''; }")

    def test_starts_on_click_and_plays(self):
        server, url = serve(WEB_DIR)
        try:
            self.browser.get(url)
            start = self.browser.find_element(By.ID, "start")
            wait_for(lambda: start.is_enabled(), 60, "the data to load")
            self.assertEqual(self.browser.execute_script("return document.getElementById('progress').value"),
                             self.browser.execute_script("return document.getElementById('progress').max"))
            start.click()
            log = wait_for(lambda: "Initializing Effect: Planet Effect" in self.log_text() and self.log_text(), 60,
                           "the start-up lines")
            positions = [log.find(line) for line in STARTUP_LINES]
            self.assertNotIn(-1, positions, log)
            self.assertEqual(positions, sorted(positions), log)
            self.assertNotIn("ERROR", log)
            # The demo moves: two pictures a second apart differ.
            first = self.canvas_pixels()
            time.sleep(1.0)
            self.assertNotEqual(first, self.canvas_pixels())
            self.assertEqual(self.browser.find_element(By.ID, "message").text, "")
        finally:
            server.shutdown()
            server.server_close()

    def test_missing_data_file_says_so(self):
        broken = os.path.join(self.scratch, "broken")
        shutil.copytree(WEB_DIR, broken)
        os.remove(os.path.join(broken, "QuarnEngine.data"))
        server, url = serve(broken)
        try:
            self.browser.get(url)
            message = wait_for(lambda: self.browser.find_element(By.ID, "message").text, 30, "the error line")
            self.assertIn("Could not load the demo", message)
            self.assertFalse(self.browser.find_element(By.ID, "start").is_enabled())
        finally:
            server.shutdown()
            server.server_close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
