#!/usr/bin/env bash
# render-nginx.sh RUN TREE LISTEN PRIMARY SECONDARY DOWNLOAD [RATE] > nginx.conf
# Fills in deploy/nginx-norq.conf.in. RATE bounds each download's speed
# (nginx's limit_rate, e.g. 64k); 0, the default, means no bound.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ne 6 ] && [ $# -ne 7 ]; then
  echo "usage: $0 RUN TREE LISTEN PRIMARY SECONDARY DOWNLOAD [RATE]" >&2
  exit 2
fi
rate=${7:-0}
[[ $rate =~ ^[0-9]+[kKmM]?$ ]] || { echo "$0: RATE must be a number of bytes, optionally with k or m: $rate" >&2; exit 2; }
sed -e "s|@RUN@|$1|g" -e "s|@TREE@|$2|g" -e "s|@LISTEN@|$3|g" \
    -e "s|@PRIMARY@|$4|g" -e "s|@SECONDARY@|$5|g" -e "s|@DOWNLOAD@|$6|g" -e "s|@RATE@|$rate|g" \
    "$here/deploy/nginx-norq.conf.in"
