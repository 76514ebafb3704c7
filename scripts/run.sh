#!/usr/bin/env bash
# The installer's main job in one command, on loopback: installs what it needs,
# builds the presets, publishes harmless stand-ins for the ten files, serves them
# with nginx and runs the installer under Wine, pressing 开始安装 as a user would,
# until it has installed everything and started the setup program. Pictures of its
# window go to out/demo/, logs to out/demo/logs/. scripts/demo.py does the work,
# with the end-to-end harness.
#
#   bash scripts/run.sh [--headless]
set -euo pipefail
cd "$(dirname "$0")/.."
# Before anything that needs a package: a minimal Debian has no Python.
bash scripts/setup.sh
. scripts/lib.sh
exec "$(norq_python)" scripts/demo.py "$@"
