#!/usr/bin/env bash
# Makes (once) the Debian 12 chroot in which 32-bit Wine runs under qemu's
# user-mode emulator, and registers the emulator for i386 programs. Kept
# outside the repository (NORQ_I386_CHROOT, default /var/cache/norq-i386-chroot)
# so that later runs take a second. Safe to rerun and to interrupt: the chroot
# is made in a scratch folder and only renamed into place when complete.
# Needs root. Usage: bash scripts/i686-chroot.sh   (prints the chroot's path)
set -euo pipefail
cd "$(dirname "$0")/.."

root=${NORQ_I386_CHROOT:-/var/cache/norq-i386-chroot}
# Bump when what goes into the chroot changes, so old ones are remade.
layout=3
ready=$root/.norq-ready-$layout

[ "$(id -u)" -eq 0 ] || { echo "i686-chroot: needs root (chroot, binfmt_misc)" >&2; exit 1; }
bash scripts/setup.sh --i686 >&2

# 32-bit programs start through qemu; F opens the emulator now, so it also
# serves programs inside the chroot, which holds no copy of it.
register_binfmt() {
  local dir=/proc/sys/fs/binfmt_misc
  [ -e $dir/register ] || mount -t binfmt_misc binfmt_misc $dir
  if [ -e $dir/qemu-i386 ]; then
    grep -qx 'flags: .*F.*' $dir/qemu-i386 && grep -q qemu-i386-static $dir/qemu-i386 && return 0
    echo -1 >$dir/qemu-i386
  fi
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' >$dir/register
}

# Bind mounts of an earlier, interrupted run must go before any folder is removed.
unmount_under() {
  local dir=$1
  findmnt -rn -o TARGET | { grep -F "$dir/" || true; } | sort -r | while read -r target; do umount -l "$target"; done
}

# One line per stage on standard error; what the stage prints goes to the log, whose end
# shows if it fails.
log=$root.log
stage() {
  local what=$1
  shift
  echo "i686-chroot: $what" >&2
  if ! "$@" >>"$log" 2>&1; then
    echo "i686-chroot: failed while it $what; the end of $log:" >&2
    tail -n 25 "$log" | sed 's/^/    /' >&2
    return 1
  fi
}

make_chroot() {
  local scratch=$root.partial mirror
  mirror=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources | head -n 1)
  : >"$log"
  unmount_under "$scratch"
  rm -rf --one-file-system "$scratch"
  echo "i686-chroot: making a Debian 12 chroot for 32-bit Wine in $root, once (a minute or two; log: $log)" >&2
  stage "fetches and unpacks a minimal Debian 12 from $mirror" debootstrap --variant=minbase bookworm "$scratch" "$mirror"
  echo 'APT::Install-Recommends "false";' >"$scratch/etc/apt/apt.conf.d/90norq"
  mount -t proc proc "$scratch/proc"
  trap 'umount -l "$scratch/proc"' RETURN
  stage "adds the i386 architecture and reads the package lists" \
    sh -c 'chroot "$1" dpkg --add-architecture i386 && chroot "$1" apt-get update' sh "$scratch"
  # The end-to-end suite's needs: code page 936 and fonts with Chinese glyphs.
  stage "installs Wine (64- and 32-bit) and its fonts, gcc, the locales and Chinese fonts" \
    chroot "$scratch" env DEBIAN_FRONTEND=noninteractive apt-get install -y \
    wine wine64 wine32:i386 fonts-wine gcc gcc-multilib locales fonts-wqy-microhei
  stage "generates the zh_CN.UTF-8 locale" chroot "$scratch" localedef -i zh_CN -c -f UTF-8 zh_CN.UTF-8
  # Built for both widths and preloaded as /usr/local/$LIB/...: the 64-bit
  # Wine processes then load a harmless copy instead of warning.
  cp tests/i686/mmap_noreplace.c "$scratch/tmp/"
  local bits lib
  for bits in 32 64; do
    lib=/usr/local/lib/$([ $bits = 32 ] && echo i386 || echo x86_64)-linux-gnu
    mkdir -p "$scratch$lib"
    stage "builds the emulator's mmap fix ($bits-bit)" \
      chroot "$scratch" gcc -m$bits -O2 -shared -fPIC -o $lib/mmap_noreplace.so /tmp/mmap_noreplace.c -ldl
  done
  chroot "$scratch" apt-get clean
  umount -l "$scratch/proc"
  trap - RETURN
  touch "$scratch/.norq-ready-$layout"
  unmount_under "$root"
  rm -rf --one-file-system "$root"
  mv "$scratch" "$root"
  echo "i686-chroot: ready" >&2
}

register_binfmt
[ -e "$ready" ] || make_chroot
echo "$root"
