#!/usr/bin/env bash
# Every command the README or docs/ name must install its packages (scripts/setup.sh) before
# it runs anything they bring: a minimal Debian has none of them, not even python3.
#
# Each command runs in a copy of the checkout whose setup.sh only records that it ran
# and then fails, which stops the command there, and in a private mount namespace where
# every program that a minimal Debian lacks is a stub that records its use. A command passes
# when nothing but setup.sh was recorded first. Exit 77: the system allows no mount
# namespace, so nothing was checked.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD

if [ "${1:-}" != --inside ]; then
  if ! refusal=$(unshare -m true 2>&1); then
    echo "no private mount namespace here (as in a chroot that is not a mount point, or without root): $refusal"
    exit 77
  fi
  # Removed from out here, once the namespace and its mounts of the stub are gone.
  work=$(mktemp -d /tmp/norq-setup-first.XXXXXX)
  trap 'rm -rf "$work"' EXIT
  status=0
  unshare -m -- bash "$0" --inside "$work" || status=$?
  exit "$status"
fi

work=$2
record=$work/record
copy=$work/checkout

# The checkout as it stands, uncommitted files included.
mkdir "$copy"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -C "$copy" -xf -
cat >"$copy/scripts/setup.sh" <<STUB
#!/usr/bin/env bash
echo "setup.sh \$*" >>"$record"
exit 97
STUB

stub=$work/stub
printf '#!/bin/sh\necho "$0 $*" >>"%s"\nexit 1\n' "$record" >"$stub"
chmod +x "$stub"

# Every program a minimal Debian (debootstrap --variant=minbase: the essential and required
# packages and apt) does not have.
mapfile -t extra < <(dpkg-query -W -f='${Package}:${Architecture} ${Essential} ${Priority}\n' |
  awk '$2 != "yes" && $3 != "required" && $1 !~ /^apt:/ {print $1}')
stubbed=0
while read -r program; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  mount --bind "$stub" "$program"
  stubbed=$((stubbed + 1))
done < <(dpkg -L "${extra[@]}" 2>/dev/null | grep -E '/s?bin/[^/]+$|^/usr/lib/wine/' | sort -u)
echo "$stubbed programs of ${#extra[@]} packages that a minimal Debian lacks stand in for the real ones"
export PATH=/usr/sbin:/usr/bin:/sbin:/bin

failed=0
for command in $(grep -ohE 'bash scripts/[a-z0-9_-]+\.sh' README.md docs/*.md | sort -u | cut -d' ' -f2); do
  [ "$command" != scripts/setup.sh ] || continue
  : >"$record"
  (cd "$copy" && timeout 60 bash "$command" </dev/null >/dev/null 2>&1) || true
  first=$(head -n 1 "$record")
  case $first in
    "" | setup.sh*) echo "ok      bash $command: ${first:-needs no package}" ;;
    *) echo "FAILED  bash $command runs $first before scripts/setup.sh"; failed=1 ;;
  esac
done
exit "$failed"
