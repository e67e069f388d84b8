#!/usr/bin/env bash
# Serves a web player's folder on loopback, on a free port, until interrupted; prints the address
# and opens it in the desktop's browser where there is a desktop.
# Usage: scripts/serve-web.sh FOLDER
set -euo pipefail
folder=${1:?usage: scripts/serve-web.sh FOLDER}
[[ -f "$folder/index.html" ]] || { echo "serve-web: no index.html in $folder" >&2; exit 1; }
exec python3 - "$folder" <<'PY'
import functools, http.server, os, shutil, subprocess, sys

class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

server = http.server.ThreadingHTTPServer(
    ("127.0.0.1", 0), functools.partial(Handler, directory=sys.argv[1]))
url = f"http://127.0.0.1:{server.server_port}/"
print(f"Web player: {url}", flush=True)
desktop = os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY")
if desktop and os.environ.get("XDG_CURRENT_DESKTOP") and shutil.which("xdg-open"):
    subprocess.Popen(["xdg-open", url], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PY
