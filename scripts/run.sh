#!/usr/bin/env bash
# Shows the installer: builds the x86_64 exe, runs it under Wine in a throw-away
# prefix from a folder holding a demo OEM marker, saves a screenshot of its
# window to out/window.png, then closes it and removes everything it made.
# Uses $DISPLAY when set, otherwise a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
caption="brisel表格快递单打印软件"
build=$repo/build/win64
work=$(mktemp -d /tmp/norq-run.XXXXXX)
shot=$repo/out/window.png

# Undo steps run last-in first-out when the script ends, however it ends.
undo=()
finish() {
  local i
  for ((i = ${#undo[@]} - 1; i >= 0; i--)); do eval "${undo[i]}" >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap finish EXIT

say() { echo "run: $*"; }

# Polls a command until it succeeds: wait_for SECONDS WHAT COMMAND...
wait_for() {
  local seconds=$1 what=$2 deadline
  shift 2
  deadline=$((SECONDS + seconds))
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then say "gave up waiting for $what"; return 1; fi
    sleep 0.2
  done
}

setup_and_build() {
  bash scripts/setup.sh
  say "building the win64 preset"
  { cmake --preset win64 && cmake --build --preset win64; } >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log"; return 1; }
}

start_display() {
  if [ -n "${DISPLAY:-}" ]; then
    say "using DISPLAY=$DISPLAY"
    return
  fi
  # -displayfd picks a free display number and writes it once the server is ready.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  undo+=("kill $!")
  wait_for 20 "Xvfb" test -s "$work/display"
  export DISPLAY=":$(head -n 1 "$work/display")"
  say "started Xvfb on $DISPLAY"
}

make_prefix() {
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to download Mono or Gecko
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8  # ANSI code page 936, as on the target systems
  say "making a Wine prefix"
  undo+=("$wineserver -k")
  "$wine" wineboot -i >"$work/wineboot.log" 2>&1
  # The prefix's UI fonts have no Chinese glyphs; message boxes need these replacements.
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" SimSun 宋体; do
      printf '"%s"="WenQuanYi Zen Hei"\r\n' "$font"
    done
  } | iconv -f UTF-8 -t UTF-16 >"$work/fonts.reg"
  "$wine" regedit /S "Z:${work//\//\\}\\fonts.reg" >"$work/regedit.log" 2>&1
}

place_installer() {
  folder=$WINEPREFIX/drive_c/norq_demo
  mkdir -p "$folder"
  cp "$build/norq_installer.exe" "$folder/"
  printf '演示版\r\n' | iconv -f UTF-8 -t GBK >"$folder/norqoem.dat"
}

probe() {
  "$wine" "$build/norq_probe.exe" "$@" >>"$work/probe.log" 2>&1
}

window_shown() {
  probe dump "$caption" 'Z:'"${work//\//\\}"'\window.json' && grep -q '"visible": true' "$work/window.json"
}

start_installer() {
  say "starting the installer"
  (cd "$folder" && exec "$wine" 'C:\norq_demo\norq_installer.exe' >"$work/installer.log" 2>&1) &
  installer=$!
  undo+=("kill $installer")
  wait_for 60 "the installer's window" window_shown
}

# The window has finished painting when two screenshots in a row are the same.
take_screenshot() {
  mkdir -p "$(dirname "$shot")"
  local previous=""
  local current
  for _ in $(seq 25); do
    import -window root "$work/shot.ppm"
    current=$(md5sum <"$work/shot.ppm")
    [ "$current" = "$previous" ] && break
    previous=$current
    sleep 0.2
  done
  convert "$work/shot.ppm" "$shot"
  say "saved $shot"
}

close_installer() {
  probe close "$caption" || true
  wait_for 15 "the installer to end" bash -c "! kill -0 $installer 2>/dev/null" || true
}

main() {
  setup_and_build
  start_display
  make_prefix
  place_installer
  start_installer
  take_screenshot
  close_installer
}

main "$@"
