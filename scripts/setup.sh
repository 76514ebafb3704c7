#!/usr/bin/env bash
# Installs what the builds and the tests need, from Debian's packages only.
# openssl makes the test build's index key and signs the trees the tests publish.
# Idempotent and quick on a machine that has everything: apt is not touched then.
# --i686 adds what scripts/test-i686.sh needs to run the 32-bit build under
# 32-bit Wine (an emulator and the tool that makes its Debian chroot).
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine64 xvfb xauth fonts-wqy-zenhei imagemagick x11-utils locales iproute2
  python3 python3-pytest nginx curl openssl ca-certificates osslsigncode
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

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  echo "setup: generating the $locale_name locale"
  as_root localedef -i zh_CN -c -f UTF-8 "$locale_name"
fi
