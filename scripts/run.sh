#!/usr/bin/env bash
# The installer's main job in one command, on loopback: builds the presets,
# publishes harmless stand-ins for the ten files, serves them with nginx and runs
# the installer under Wine with "REFRESH" until it has installed everything and
# started the setup program. Screenshots of its window go to out/demo/, logs to
# out/demo/logs/. scripts/demo.py does the work, with the end-to-end harness.
#
#   bash scripts/run.sh [--headless]
set -euo pipefail
cd "$(dirname "$0")/.."
# Debian's interpreter, whatever else is on PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
exec "$python" scripts/demo.py "$@"
