# Shared by the scripts; sourced after scripts/setup.sh has run. Python reaches the
# same two through `bash -c` (scripts/demo.py).

# Debian's interpreter, for which python3-pytest is installed, whatever else is on PATH.
norq_python() {
  if [ -x /usr/bin/python3 ]; then echo /usr/bin/python3; else echo python3; fi
}

# Whether this system lets a command have a network namespace of its own.
norq_can_own_network() {
  unshare -n true 2>/dev/null
}

# Runs a command in a network namespace of its own, with its loopback up, where the
# system allows it: the test build's fixed loopback ports then clash with nothing.
# Elsewhere it runs on the shared loopback. The shell becomes the command (exec), so
# that a signal to it reaches the command: call it last, or in a subshell or pipeline.
norq_own_network() {
  if norq_can_own_network; then
    exec unshare -n -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
  else
    exec "$@"
  fi
}
