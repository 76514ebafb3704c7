# Shared by the scripts; sourced after scripts/setup.sh has run.

# Debian's interpreter, for which python3-pytest is installed, whatever else is on PATH.
norq_python() {
  if [ -x /usr/bin/python3 ]; then echo /usr/bin/python3; else echo python3; fi
}

# Runs a command in a network namespace of its own, with its loopback up, where the
# system allows it: the test build's fixed loopback ports then clash with nothing.
# Elsewhere it runs on the shared loopback.
norq_own_network() {
  if unshare -n true 2>/dev/null; then
    unshare -n -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
  else
    "$@"
  fi
}
