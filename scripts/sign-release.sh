#!/usr/bin/env bash
# Signs the release exe with the vendor's Authenticode certificate (osslsigncode,
# SHA-256) and adds the signed exe's SHA-256 to the release notes beside it.
#
#   bash scripts/sign-release.sh --pkcs12 vendor.p12 [--password-file FILE]
#        [--timestamp URL] [--exe build/win32-release/norq_installer.exe] [--out DIR]
#
# The PKCS#12 password comes from --password-file or from the environment
# variable NORQ_SIGN_PASSWORD, never from the command line, where every user of
# the machine could read it. --timestamp names an RFC 3161 time-stamp server;
# with one the signature stays valid after the certificate expires. The signed
# exe is written as DIR/norq_installer.exe (default: signed/ beside the exe);
# the unsigned one is kept, so the build can still be compared with a rebuild.
set -euo pipefail
# Before anything that needs a package (osslsigncode, openssl).
bash "$(dirname "$0")/setup.sh"

usage() { sed -n '4,5p' "$0" | sed 's/^# *//' >&2; exit 2; }

pkcs12='' password_file='' timestamp='' exe=build/win32-release/norq_installer.exe out=''
while [ $# -gt 0 ]; do
  case $1 in
    --pkcs12) pkcs12=${2:?}; shift 2 ;;
    --password-file) password_file=${2:?}; shift 2 ;;
    --timestamp) timestamp=${2:?}; shift 2 ;;
    --exe) exe=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$pkcs12" ] || usage
[ -f "$exe" ] || { echo "sign-release: no exe at $exe (build the release first)" >&2; exit 1; }
[ -n "$out" ] || out=$(dirname "$exe")/signed
mkdir -p "$out"
signed=$out/$(basename "$exe")

args=(sign -pkcs12 "$pkcs12" -h sha256)
[ -z "$timestamp" ] || args+=(-ts "$timestamp")
rm -f "$signed"
if [ -n "$password_file" ]; then
  osslsigncode "${args[@]}" -readpass "$password_file" -in "$exe" -out "$signed"
elif [ -n "${NORQ_SIGN_PASSWORD+set}" ]; then
  # printf is built in, so the password reaches osslsigncode through a pipe
  # and appears in no process's arguments.
  osslsigncode "${args[@]}" -readpass <(printf '%s' "$NORQ_SIGN_PASSWORD") -in "$exe" -out "$signed"
else
  echo "sign-release: give --password-file FILE or set NORQ_SIGN_PASSWORD" >&2
  exit 1
fi

notes=${exe%.exe}.release.txt
if [ -f "$notes" ]; then
  sed -i '/^signed exe SHA-256: /d' "$notes"
  echo "signed exe SHA-256: $(sha256sum "$signed" | cut -d' ' -f1)" >>"$notes"
fi
echo "signed: $signed"
