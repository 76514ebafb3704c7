#!/usr/bin/env bash
# The installer's main job in one command, on loopback: builds the presets,
# publishes harmless stand-ins for the ten files with norq-publish (the tree
# signed with the build's demo key, installed by the installer keyed to it), serves them
# with nginx and the sample configuration, and runs the installer under Wine
# with "REFRESH" until it has installed everything and started the setup
# program. Screenshots of its window go to out/demo/, logs to out/demo/logs/.
#
#   bash scripts/run.sh [--headless]
#
# Shows the window on $DISPLAY when it is set, otherwise (or with --headless)
# on a private Xvfb. Exits non-zero unless the installation completed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
self=$repo/scripts/run.sh

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
caption="brisel表格快递单打印软件"
base_address="http://127.0.0.1:18090"
primary_port=18080    # the demo and test build's compiled-in pointer hosts
secondary_port=18081
download_port=18090
# Slow enough that the bar can be seen growing: nginx sends a second's worth at
# a time, so each demo component arrives in two steps and the setup program in
# three; the ten files take about twelve seconds.
rate=${NORQ_DEMO_RATE:-48k}
components=(comcat.dll MCI32.OCX stdole2.tlb shdocvw.dll shdocvw.oca msxml3.dll MSINET.OCX COMDLG32.OCX MSADODC.OCX)
percent_id=1011       # the progress panel's percentage label
body_point=(205 225)  # a point of the window's green body, relative to its client area
body_green="srgb(125,204,174)"

build=$repo/build/win64
shots=$repo/out/demo
logs=$shots/logs

say() { echo "demo: $*"; }
usage() { sed -n '2,11s/^# \{0,1\}//p' "$self"; }

headless=0
inside=""
netns=0
while [ $# -gt 0 ]; do
  case $1 in
    --headless) headless=1 ;;
    --inside) inside=$2; shift ;;  # the second half, run by the first
    --netns) netns=1 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "run.sh: unknown argument \"$1\"" >&2; usage >&2; exit 2 ;;
  esac
  shift
done

# Undo steps run last-in first-out when the script ends, however it ends.
undo=()
finish() {
  local i
  for ((i = ${#undo[@]} - 1; i >= 0; i--)); do eval "${undo[i]}" >/dev/null 2>&1 || true; done
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

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

# ------------------------------------------------------------ the first half

build_presets() {
  bash scripts/setup.sh
  local preset
  for preset in native win64; do
    say "building the $preset preset"
    { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$logs/build-$preset.log" 2>&1 ||
      { tail -n 30 "$logs/build-$preset.log"; say "the $preset build failed"; return 1; }
  done
}

publish_tree() {
  bash scripts/demo_components.sh "$build" "$work/components"
  say "publishing the demo files for $base_address"
  # Signed as a vendor would, with the key pair the win64 build made for its keyed installer.
  build/native/norq-publish --components "$work/components" --base "$base_address" --out "$work/tree" \
    --sign "$build/test-key/private.pem" >"$logs/publish.log" 2>&1 || { cat "$logs/publish.log"; return 1; }
  say "signed the tree's index (norq/Soft/norq_index.txt) with the demo vendor's key"
}

# A display reachable from another network namespace: a local socket, not TCP.
display_is_local() {
  [[ ${DISPLAY:-} =~ ^:([0-9]+)(\.[0-9]+)?$ ]] && [ -S "/tmp/.X11-unix/X${BASH_REMATCH[1]}" ]
}

port_taken() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

first_half() {
  local started=$SECONDS
  mkdir -p "$logs"
  rm -f "$shots"/*.png "$logs"/*
  build_presets
  work=$(mktemp -d /tmp/norq-demo.XXXXXX)
  undo+=("rm -rf '$work'")
  # nginx's workers read the tree as an unprivileged user.
  chmod 755 "$work"
  publish_tree
  say "ready after $((SECONDS - started)) s"

  local args=(--inside "$work")
  [ "$headless" -eq 1 ] && args+=(--headless)
  # In a network namespace of its own the demo owns the fixed loopback ports:
  # it neither meets nor disturbs anything else on this machine.
  if unshare -n true 2>/dev/null && { [ "$headless" -eq 1 ] || [ -z "${DISPLAY:-}" ] || display_is_local; }; then
    say "servers and Wine run in a network namespace of their own"
    unshare -n -- bash "$self" "${args[@]}" --netns
  else
    local port
    for port in "$primary_port" "$secondary_port" "$download_port"; do
      if port_taken "$port"; then say "something already listens on 127.0.0.1:$port"; return 1; fi
    done
    say "servers and Wine use the shared loopback"
    bash "$self" "${args[@]}"
  fi
}

# ----------------------------------------------------------- the second half

start_display() {
  if [ "$headless" -eq 0 ] && [ -n "${DISPLAY:-}" ]; then
    say "showing the window on DISPLAY=$DISPLAY"
    return
  fi
  # -displayfd picks a free display number and writes it once the server is ready.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$logs/xvfb.log" 2>&1 &
  undo+=("kill $!; wait $!")
  wait_for 20 "Xvfb" test -s "$work/display"
  export DISPLAY=":$(head -n 1 "$work/display")"
  say "started Xvfb on $DISPLAY"
}

fetch() {  # fetch PORT PATH: the body of a loopback GET, with the shell's own TCP
  local reply
  exec 3<>"/dev/tcp/127.0.0.1/$1"
  printf 'GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' "$2" >&3
  reply=$(cat <&3)
  exec 3<&-
  printf '%s' "${reply#*$'\r\n\r\n'}"
}

nginx_ready() {
  kill -0 "$1" 2>/dev/null || { cat "$logs/nginx.log"; say "nginx did not start"; exit 1; }
  port_taken "$download_port"
}

start_nginx() {
  local run=$work/nginx
  mkdir -p "$run"
  bash scripts/render-nginx.sh "$run" "$work/tree" 127.0.0.1 "$primary_port" "$secondary_port" "$download_port" \
    "$rate" >"$run/nginx.conf"
  # In the foreground, as a child of this script: stopped and reaped by it.
  nginx -p "$run" -c "$run/nginx.conf" -e "$run/error.log" -g 'daemon off;' >"$logs/nginx.log" 2>&1 &
  local pid=$!
  undo+=("kill $pid; wait $pid; cp '$run/access.log' '$logs/nginx-access.log'")
  wait_for 10 "nginx" nginx_ready "$pid"
  say "nginx serves the pointer pages on :$primary_port and :$secondary_port, the files on :$download_port" \
    "(at most $rate/s)"
  say "  http://127.0.0.1:$primary_port/quindle_www.html says \"$(fetch "$primary_port" /quindle_www.html)\""
}

probe() {
  "$wine" "$build/norq_probe.exe" "$@" >>"$logs/probe.log" 2>&1
}

# json FILE EXPRESSION: a value from a probe's JSON, `d` being the document.
json() {
  /usr/bin/python3 -c 'import json, sys; d = json.load(open(sys.argv[1], encoding="utf-8")); print(eval(sys.argv[2]))' "$1" "$2"
}

make_prefix() {
  export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml="   # no offer to download Mono or Gecko
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8  # ANSI code page 936, as on the target systems
  unset LANGUAGE LC_CTYPE LC_MESSAGES
  local started=$SECONDS
  # A wineserver of this script's own, in the foreground: ended and reaped by it.
  mkdir -p "$WINEPREFIX"
  "$wineserver" -f -p >"$logs/wineserver.log" 2>&1 &
  # Seen once: "wineserver -k" did not reach this server and the wait never ended. The
  # server is our own child (unreaped until the wait), so ending it by its id is safe.
  undo+=("timeout 20 $wineserver -k; kill $! 2>/dev/null; wait $!")
  "$wine" wineboot -i >"$logs/wineboot.log" 2>&1
  # The prefix's UI fonts have no Chinese glyphs; message boxes need these replacements.
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" SimSun 宋体; do
      printf '"%s"="WenQuanYi Zen Hei"\r\n' "$font"
    done
  } | iconv -f UTF-8 -t UTF-16 >"$work/fonts.reg"
  "$wine" regedit /S "Z:${work//\//\\}\\fonts.reg" >"$logs/regedit.log" 2>&1
  # Wine ships files of its own under some of the components' names; a machine
  # that had them would only have them registered, not downloaded.
  system32=$WINEPREFIX/drive_c/windows/system32
  local name
  for name in "${components[@]}"; do
    find "$system32" -maxdepth 1 -iname "$name" -delete
  done
  # The first program in a new prefix is slow: the probe pays that here.
  probe info "Z:${work//\//\\}\\info.json"
  local acp
  acp=$(json "$work/info.json" 'd["acp"]')
  [ "$acp" = 936 ] || { say "Wine's ANSI code page is $acp, not 936: is zh_CN.UTF-8 generated?"; return 1; }
  say "made a Wine prefix (code page 936) in $((SECONDS - started)) s"
}

place_installer() {
  folder=$WINEPREFIX/drive_c/norq_demo
  mkdir -p "$folder"
  # The installer that trusts only trees signed with that key.
  cp "$build/norq_installer_keyed.exe" "$folder/norq_installer.exe"
  printf '演示版\r\n' | iconv -f UTF-8 -t GBK >"$folder/norqoem.dat"
  say 'placed norq_installer.exe and norqoem.dat ("演示版") in C:\norq_demo'
}

dump() {
  probe dump "$caption" "Z:${work//\//\\}\\window.json" && [ "$(json "$work/window.json" 'd["visible"]')" = True ]
}

window_shown() {
  dump && return 0
  kill -0 "$installer" 2>/dev/null || { say "the installer ended before showing its window"; exit 1; }
  return 1
}

# shoot FILE: the window's box of the whole screen.
shoot() {
  import -window root -crop "$window_box" +repage "$1" 2>>"$logs/import.log"
}

# The green body at its point: the window is still on the screen in that picture.
shows_window() {
  [ "$(convert "$1" -format "%[pixel:p{${body_point[0]},${body_point[1]}}]" info: 2>/dev/null)" = "$body_green" ]
}

# The X server sees the window the moment it is mapped, sooner than the probe.
x_window_seen() {
  xwininfo -root -tree 2>/dev/null | grep -qF "\"$caption\""
}

start_installer() {
  say "starting C:\\norq_demo\\norq_installer.exe REFRESH"
  # trace+process records every command line the installer starts.
  (cd "$folder" && WINEDEBUG=trace+process exec "$wine" 'C:\norq_demo\norq_installer.exe' REFRESH \
    >"$logs/installer.out" 2>"$logs/installer-trace.log") &
  installer=$!
  undo+=("kill $installer; wait $installer")
  started_at=$SECONDS
  local deadline=$((SECONDS + 60))
  until x_window_seen; do
    kill -0 "$installer" 2>/dev/null || { say "the installer ended before showing its window"; return 1; }
    [ "$SECONDS" -lt "$deadline" ] || { say "gave up waiting for the installer's window"; return 1; }
    sleep 0.05
  done
  # Whole screens until the window has painted: two pictures in a row alike.
  local previous="" current i
  for i in $(seq 10); do
    import -window root "$work/start-$i.png" 2>>"$logs/import.log"
    current=$(md5sum <"$work/start-$i.png")
    [ "$current" = "$previous" ] && break
    previous=$current
  done
  first_screen=$work/start-$i.png
  # The probe gives the window's box in screen pixels and its client area.
  wait_for 30 "the probe to see the window" window_shown
  window_box=$(json "$work/window.json" '"%dx%d+%d+%d" % (d["window"]["width"], d["window"]["height"], d["window"]["left"], d["window"]["top"])')
  client_offset=$(json "$work/window.json" '"%d %d" % (d["client"]["left"] - d["window"]["left"], d["client"]["top"] - d["window"]["top"])')
  read -r dx dy <<<"$client_offset"
  body_point=($((body_point[0] + dx)) $((body_point[1] + dy)))
}

shot_start() {
  convert "$first_screen" -crop "$window_box" +repage "$shots/1-start.png"
  say "saved out/demo/1-start.png"
}

# A picture while a download is under way: the percentage between 20% and 80%.
shot_downloading() {
  local percent="" deadline=$((SECONDS + 40))
  while [ "$SECONDS" -lt "$deadline" ] && kill -0 "$installer" 2>/dev/null; do
    if dump; then
      percent=$(json "$work/window.json" "next((c['text'] for c in d['controls'] if c['id'] == $percent_id and c['visible']), '')")
      if [[ $percent =~ ^([0-9]+)%$ ]] && [ "${BASH_REMATCH[1]}" -ge 20 ] && [ "${BASH_REMATCH[1]}" -le 80 ]; then
        if shoot "$shots/2-downloading.png"; then
          say "saved out/demo/2-downloading.png (the download at $percent)"
          return 0
        fi
      fi
    fi
    sleep 0.1
  done
  say "no download caught half-way; no 2-downloading.png"
}

# The last picture that still shows the window: it closes as soon as it has
# started the setup program.
shot_end() {
  local n=0 kept=0
  while kill -0 "$installer" 2>/dev/null; do
    n=$((n + 1))
    if shoot "$work/end-$((n % 2)).png" && shows_window "$work/end-$((n % 2)).png"; then
      cp "$work/end-$((n % 2)).png" "$shots/3-end.png"
      kept=1
    fi
    [ "$((SECONDS - started_at))" -lt 120 ] || { say "the installer still runs after two minutes"; return 1; }
  done
  if [ "$kept" -eq 1 ]; then say "saved out/demo/3-end.png (the window's last picture)"; fi
}

# Wine's debugstr_w escapes: \" and \\ in the traced command lines.
started_commands() {
  sed -n 's/.*CreateProcessInternalW .*cmdline L"\(\([^"\\]\|\\.\)*\)".*/\1/p' "$logs/installer-trace.log" |
    sed -e 's/\\"/"/g' -e 's/\\\\/\\/g'
}

report() {
  local ok=1 name file size setup_proof=$WINEPREFIX/drive_c/norq_proof/setup_started.txt
  wait_for 15 "the setup program's proof" test -s "$setup_proof" || true
  echo
  say "the installer ended after $((SECONDS - started_at)) s with exit code $installer_status"
  say "installed in C:\\windows\\system32:"
  for name in "${components[@]}"; do
    file=$system32/$name
    if [ -f "$file" ] && cmp -s "$file" "$work/components/$name"; then
      size=$(stat -c %s "$file")
      printf '  %-14s %8d bytes, as published\n' "$name" "$size"
    elif [ -f "$file" ]; then
      printf '  %-14s differs from the published file\n' "$name"; ok=0
    else
      printf '  %-14s missing\n' "$name"; ok=0
    fi
  done
  file=$folder/norq_setup.exe
  if [ -f "$file" ] && cmp -s "$file" "$work/components/norq_setup.exe"; then
    say "beside the installer: C:\\norq_demo\\norq_setup.exe, $(stat -c %s "$file") bytes, as published"
  else
    say "C:\\norq_demo\\norq_setup.exe is missing or differs from the published file"; ok=0
  fi
  if [ -s "$setup_proof" ]; then
    say "the setup program started: C:\\norq_proof\\setup_started.txt names $(cat "$setup_proof")"
  else
    say "the setup program did not start: no C:\\norq_proof\\setup_started.txt"; ok=0
  fi
  local commands
  commands=$(started_commands | grep -F 'regsvr32/s' || true)
  say "registration commands started: $(grep -c . <<<"$commands" || true)"
  [ -z "$commands" ] || sed 's/^/  /' <<<"$commands"
  say "  (Wine's cmd.exe rejects \"regsvr32/s\" without a blank, so under Wine nothing gets registered;"
  say "   Windows' cmd.exe accepts it)"
  local access=$work/nginx/access.log
  say "nginx answered $(grep -c "^$download_port .*\" 200 " "$access" || true) file requests with 200 and" \
    "$(grep -c "_www.html HTTP/1.[01]\" 200 " "$access" || true) pointer-page requests (its log: out/demo/logs/nginx-access.log)"
  [ "$installer_status" -eq 0 ] || ok=0
  echo
  if [ "$ok" -eq 1 ]; then
    say "the installation completed in $((SECONDS - started_at)) s; screenshots in out/demo/"
  else
    say "the installation did NOT complete; logs in out/demo/logs/"
    return 1
  fi
}

second_half() {
  work=$inside
  if [ "$netns" -eq 1 ]; then ip link set lo up; fi
  start_display
  start_nginx
  make_prefix
  place_installer
  start_installer
  shot_start
  shot_downloading
  shot_end
  installer_status=0
  wait "$installer" || installer_status=$?
  report
}

if [ -n "$inside" ]; then
  second_half
else
  first_half
fi
