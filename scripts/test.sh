#!/usr/bin/env bash
# The test command: the unit tests, both Windows builds, the release tests
# (tests/release: refusal to configure without hosts or key, the exe's imports and
# size, version, notes, reproducibility, signing), the check that every command the
# README and docs/ name installs its packages first, the end-to-end suite under Wine
# and the demo (scripts/run.sh --headless). Long steps show what they do as they go.
# Ends with one line "N passed, N failed, N skipped" (unit, release and end-to-end
# cases, the checks and the demo; a failed build or check counts as one failure),
# after the reason of each skip, and a non-zero status if anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || { echo "setup failed"; exit 1; }
. scripts/lib.sh
python=$(norq_python)

logs=out/test-logs
mkdir -p "$logs"
passed=0
failed=0
skipped=0
skip_reasons=()

# Runs a step into its log; shows the log's end when it fails. With `live PATTERN` first,
# the log's lines that match show as they come (a build's steps, say).
step() {
  local name=$1 started=$SECONDS status=0
  shift
  if [ "$1" = live ]; then
    local pattern=$2
    shift 2
    "$@" 2>&1 | tee "$logs/$name.log" | { grep --line-buffered -E "$pattern" || true; } | sed -u 's/^/        /'
    status=${PIPESTATUS[0]}
  else
    "$@" >"$logs/$name.log" 2>&1 || status=$?
  fi
  if [ "$status" -eq 0 ]; then
    echo "ok      $name ($((SECONDS - started)) s)"
    return 0
  fi
  echo "FAILED  $name ($((SECONDS - started)) s), last lines of $logs/$name.log:"
  tail -n 30 "$logs/$name.log" | sed 's/^/    /'
  failed=$((failed + 1))
  return 1
}

build() {
  local preset=$1
  shift
  echo "configuring the $preset preset"
  cmake --preset "$preset" "$@" && cmake --build --preset "$preset"
}
# Ninja's "[3/95] Building CXX object ..." lines.
building='^configuring|^\[[0-9]+/[0-9]+\] '

# The release takes the vendor's pointer hosts and index key; these stand in for
# them (the key is the one the win64 build made for its keyed test installer).
release_hosts=(-DNORQ_PRIMARY_HOST=pointer1.example.com -DNORQ_SECONDARY_HOST=pointer2.example.com)
release_key=(-DNORQ_INDEX_KEY="$PWD/build/win64/test-key/public.pem")

if step build-native live "$building" build native; then
  step unit-tests ctest --preset native
  summary=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$logs/unit-tests.log" | tail -n 1)
  if [ -n "$summary" ]; then
    read -r unit_failed _ _ _ _ unit_total <<<"$summary"
    passed=$((passed + unit_total - unit_failed))
    # ctest's own failure was counted as one step; count its cases instead.
    [ "$unit_failed" -eq 0 ] || failed=$((failed - 1 + unit_failed))
    echo "        unit tests: $((unit_total - unit_failed)) passed, $unit_failed failed"
  fi
fi

step build-win64 live "$building" build win64
# Without a release build (its failure counted) only the refusals to configure can be checked.
release_tests=(tests/release/test_configure.py)
step build-win32-release live "$building" build win32-release "${release_hosts[@]}" "${release_key[@]}" &&
  release_tests=(tests/release)

# Every command the README or docs/ name installs its packages before it uses any.
setup_first_status=0
bash tests/setup/setup_first.sh >"$logs/setup-first.log" 2>&1 || setup_first_status=$?
if [ "$setup_first_status" -eq 77 ]; then
  skipped=$((skipped + 1))
  skip_reasons+=("setup-first: $(tail -n 1 "$logs/setup-first.log")")
  echo "skipped setup-first: $(tail -n 1 "$logs/setup-first.log")"
elif [ "$setup_first_status" -eq 0 ]; then
  passed=$((passed + 1))
  echo "ok      setup-first: every command in the README and docs/ runs scripts/setup.sh before any package's program"
else
  failed=$((failed + 1))
  echo "FAILED  setup-first, its log ($logs/setup-first.log):"
  sed 's/^/    /' "$logs/setup-first.log"
fi

# Adds a pytest run's cases (from its JUnit report) to the counts, and each skip's reason.
count_cases() {
  local junit=$1 what=$2 cases_passed cases_failed cases_skipped line
  if [ ! -f "$junit" ]; then
    echo "the $what did not run to their end"
    failed=$((failed + 1))
    return
  fi
  {
    read -r cases_passed cases_failed cases_skipped
    while IFS= read -r line; do [ -z "$line" ] || skip_reasons+=("$line"); done
  } < <("$python" - "$junit" <<'PY'
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
cases = root.iter("testcase")
passed = failed = 0
reasons = []
for case in cases:
    if case.find("failure") is not None or case.find("error") is not None:
        failed += 1
    elif (skip := case.find("skipped")) is not None:
        reasons.append(f"{case.get('name')}: {skip.get('message', '').splitlines()[0] if skip.get('message') else 'no reason given'}")
    else:
        passed += 1
print(passed, failed, len(reasons))
print("\n".join(reasons))
PY
  )
  passed=$((passed + ${cases_passed:-0}))
  failed=$((failed + ${cases_failed:-1}))
  skipped=$((skipped + ${cases_skipped:-0}))
}

# Each case's name and result as it ends; skips' reasons in pytest's summary.
pytest=("$python" -m pytest -v -rs -p no:cacheprovider)
# pytest keeps the newest three session folders under one root per user and
# deletes older ones as a session starts: a run beside another (a second clone,
# a benchmark) lost its folders mid-case. This run's folders are its own.
pytest_root=$(mktemp -d "${TMPDIR:-/tmp}/norq-pytest.XXXXXX")
trap 'rm -rf "$pytest_root"' EXIT

# The release as a vendor makes it: its refusal to configure without hosts or key, the
# exe's imports and size (printed), version, notes, a rebuild elsewhere, signing.
junit=out/release-junit.xml
rm -f "$junit"
echo "release tests (refusals, imports and size, a second build in another folder, signing):"
"${pytest[@]}" --basetemp="$pytest_root/release" --junitxml="$junit" "${release_tests[@]}" 2>&1 | tee "$logs/release.log" | sed -u 's/^/    /'
count_cases "$junit" "release tests"

junit=out/e2e-junit.xml
rm -f "$junit"
# In a network namespace of its own the suite owns the loopback ports the test
# build asks (nothing else on this machine can answer there) and can run beside
# other work. Where namespaces are not allowed it runs on the shared loopback.
if norq_can_own_network; then
  echo "end-to-end tests under Wine (own network namespace):"
else
  echo "end-to-end tests under Wine (shared loopback):"
fi
norq_own_network "${pytest[@]}" --basetemp="$pytest_root/e2e" --durations=5 --junitxml="$junit" tests/e2e 2>&1 | tee "$logs/e2e.log" |
  sed -u 's/^/    /'
count_cases "$junit" "end-to-end tests"

# The main job end to end, as `bash scripts/run.sh` shows it: one case.
if step demo live '^demo: ' bash scripts/run.sh --headless; then
  passed=$((passed + 1))
fi

for reason in "${skip_reasons[@]}"; do echo "skipped: $reason"; done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
