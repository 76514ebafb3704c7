#!/usr/bin/env bash
# render-nginx.sh RUN TREE LISTEN PRIMARY SECONDARY DOWNLOAD > nginx.conf
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 6 ] || { echo "usage: $0 RUN TREE LISTEN PRIMARY SECONDARY DOWNLOAD" >&2; exit 2; }
sed -e "s|@RUN@|$1|g" -e "s|@TREE@|$2|g" -e "s|@LISTEN@|$3|g" \
    -e "s|@PRIMARY@|$4|g" -e "s|@SECONDARY@|$5|g" -e "s|@DOWNLOAD@|$6|g" \
    "$here/deploy/nginx-norq.conf.in"
