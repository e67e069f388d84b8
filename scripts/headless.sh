#!/usr/bin/env bash
# Runs a command with a display and an audio device, whatever the machine has:
# Xvfb (1280x720, 24 bits, GLX on Mesa's software rasteriser) when no display is set,
# and OpenAL Soft's null output when no sound card is present.
set -euo pipefail

if [[ -z "${ALSOFT_DRIVERS:-}" ]] && ! ls /dev/snd/pcm* >/dev/null 2>&1; then
  export ALSOFT_DRIVERS=null
fi

if [[ -n "${DISPLAY:-}" ]]; then
  exec "$@"
fi
export LIBGL_ALWAYS_SOFTWARE=1
# -noreset: by default the server resets whenever its last client leaves, and a test process
# that connects during that reset finds no display (a few connections in a hundred, back to back).
exec xvfb-run -a -s "-screen 0 1280x720x24 +extension GLX +extension RANDR -noreset" "$@"
