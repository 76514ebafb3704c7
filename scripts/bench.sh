#!/usr/bin/env bash
# On demand, not part of the test command: the installer's download speed, run
# time, peak memory and window answers against curl, on loopback under Wine.
# Builds what it needs first; arguments go to scripts/bench.py (--runs N, --sizes-mb 1,500 or 2000,
# --before OTHER_BUILD/win64).
# Needs about 2 GB free in /tmp for the 500 MB case, 7 GB for 2000; everything it writes there is removed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. scripts/lib.sh
echo "bench: building the native and win64 presets"
cmake --preset native >/dev/null && cmake --build --preset native >/dev/null
cmake --preset win64 >/dev/null && cmake --build --preset win64 >/dev/null
# The test build asks fixed loopback ports: a network namespace of its own keeps them free.
norq_own_network "$(norq_python)" scripts/bench.py "$@"
