#!/usr/bin/env bash
# The shipped width under test: the i686 build (the release's compiler flags,
# the test hosts) runs end-to-end cases under 32-bit Wine, which this machine's
# kernel cannot start itself, so Wine runs from a Debian chroot under qemu's
# user-mode emulator (scripts/i686-chroot.sh makes it once, outside the
# repository). Needs root. The cases: the whole round trip into syswow64 with
# its registration commands and the setup start, the signed exe doing the
# same, a failed download, and the window closing.
#
#   bash scripts/test-i686.sh [pytest arguments, e.g. -k round_trip]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

root=$(bash scripts/i686-chroot.sh)
for preset in native win32-test; do
  echo "test-i686: building the $preset preset" >&2
  nice cmake --preset "$preset" >/dev/null && nice cmake --build --preset "$preset" >/dev/null
done

cases=(-k 'round_trip or a_failed_download or closing_the_window')
[ $# -eq 0 ] || cases=("$@")

# A mount namespace of its own: the chroot sees this machine's /dev, /tmp (Wine
# prefix, X socket, the servers' files) and the repository at the same paths,
# and the mounts go when the run ends, however it ends. Inside it, the suite
# gets a network namespace of its own (scripts/lib.sh): the fixed test ports
# clash with nothing.
# shellcheck disable=SC2016
exec unshare -m -- bash -c '
  set -euo pipefail
  root=$1 repo=$2
  shift 2
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount --bind /tmp "$root/tmp"
  mkdir -p "$root$repo"
  mount --bind "$repo" "$root$repo"
  . scripts/lib.sh
  export NORQ_E2E_I686_CHROOT=$root
  norq_own_network "$(norq_python)" -m pytest -v -rs -p no:cacheprovider --durations=5 "$@" tests/e2e
' bash "$root" "$repo" "${cases[@]}"
