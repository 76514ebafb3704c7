#!/usr/bin/env bash
# End-to-end files or cases alone, run as the test command runs the suite: Debian's
# Python, in a network namespace of its own where the system allows it. Needs the
# native and win64 builds (scripts/test.sh, or the README's build commands).
# Arguments go to pytest; without a path under tests/ the whole suite is selected from.
#
#   bash scripts/e2e.sh -q tests/e2e/test_window.py
#   bash scripts/e2e.sh -q -k closing_the_window
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. scripts/lib.sh
suite=(tests/e2e)
for arg in "$@"; do [[ $arg != tests/* ]] || suite=(); done
# Folders of its own: pytest deletes older sessions' folders under its shared root.
root=$(mktemp -d "${TMPDIR:-/tmp}/norq-pytest.XXXXXX")
trap 'rm -rf "$root"' EXIT
(norq_own_network "$(norq_python)" -m pytest -p no:cacheprovider --basetemp="$root/e2e" "$@" "${suite[@]}")
