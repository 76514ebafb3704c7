#!/usr/bin/env bash
# demo_components.sh BUILD OUT
# Makes the ten files norq-publish expects from the project's harmless proof
# programs in BUILD (a win64 or win32-release build folder): the proof
# component under each of the nine component names, each with a trailer of
# its own so that every file is told apart after installation, and the proof
# setup program as norq_setup.exe. OUT must not exist yet or be empty.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BUILD OUT" >&2; exit 2; }
build=$1 out=$2
component=$build/norq_proof_component.dll
setup=$build/norq_proof_setup.exe
for file in "$component" "$setup"; do
  [ -f "$file" ] || { echo "$0: $file is missing: build the preset first" >&2; exit 1; }
done

publish=$(dirname "$0")/../build/native/norq-publish
[ -x "$publish" ] || { echo "$0: $publish is missing: build the native preset first" >&2; exit 1; }

mkdir -p "$out"
# The installer's own list (its manifest table), in its order.
"$publish" --list | while IFS=$'\t' read -r name _ where; do
  if [ "$where" = system ]; then
    # Bytes after the last section of a PE image are never loaded, so the
    # trailer leaves the library working.
    { cat "$component"; printf '\r\nnorq demo component: %s\r\n' "$name"; } >"$out/$name"
  else
    cp "$setup" "$out/$name"
  fi
done
