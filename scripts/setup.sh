#!/usr/bin/env bash
# Installs what the builds and the tests need, from Debian's packages only.
# openssl makes the test build's index key and signs the trees the tests publish.
# tinyproxy stands for a user's proxy that asks for its own authentication.
# norq-publish fetches with libcurl (--verify checks a deployed server) and hashes with libcrypto.
# Idempotent and quick on a machine that has everything: apt is not touched then.
# --i686 adds what scripts/test-i686.sh needs to run the 32-bit build under
# 32-bit Wine (an emulator and the tool that makes its Debian chroot).
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine64 fonts-wine xvfb xauth fonts-wqy-microhei imagemagick x11-utils locales iproute2
  python3 python3-pytest nginx curl openssl ca-certificates osslsigncode
  tinyproxy libcurl4-openssl-dev libssl-dev
)
if [ "${1:-}" = --i686 ]; then
  packages+=(qemu-user-static debootstrap)
fi
# Wine takes its ANSI code page from the locale: the tests run it in zh_CN.UTF-8 (code page 936).
locale_name=zh_CN.UTF-8

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed=" $(dpkg-query -W -f='${db:Status-Status}:${Package} ' "${packages[@]}" 2>/dev/null || true) "
missing=()
for package in "${packages[@]}"; do
  [[ $installed == *" installed:$package "* ]] || missing+=("$package")
done

# apt's own output goes to a log; what it is doing shows as it happens (every tenth of
# the packages fetched, unpacked and set up), and the log's end if it fails.
apt_log=${TMPDIR:-/tmp}/norq-setup-apt.log
progress() {
  awk '
    function step(phase, name) {
      count[phase]++
      if (total && (count[phase] == total || count[phase] % int((total + 9) / 10) == 0)) {
        printf "setup:   %s %d of %d packages (%s)\n", phase, count[phase], total, name; fflush()
      }
    }
    / newly installed, / { total = $3 + 0 }
    /^Need to get / { printf "setup:   %d packages to fetch and install (%s %s)\n", total, $4, $5; fflush() }
    /^Get:[0-9]+ / { step("fetched", $5) }
    /^Unpacking / { name = $2; sub(/:.*/, "", name); step("unpacked", name) }
    /^Setting up / { name = $3; sub(/:.*/, "", name); step("set up", name) }'
}
apt() {
  local status
  as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>&1 | tee -a "$apt_log" | progress
  status=${PIPESTATUS[0]}
  if [ "$status" -ne 0 ]; then
    echo "setup: apt-get $1 failed; the end of $apt_log:"
    tail -n 20 "$apt_log" | sed 's/^/    /'
  fi
  return "$status"
}

if [ ${#missing[@]} -gt 0 ]; then
  : >"$apt_log"
  echo "setup: installing ${missing[*]} and what they need (apt's log: $apt_log)"
  echo "setup:   reading the package lists"
  apt update
  apt install -y --no-install-recommends "${missing[@]}"
  echo "setup: installed"
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  echo "setup: generating the $locale_name locale"
  as_root localedef -i zh_CN -c -f UTF-8 "$locale_name"
fi
