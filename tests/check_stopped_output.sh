#!/usr/bin/env bash
# A Windows program stopped before it ends has still shown what it printed,
# and is ended with its wrapper. test_harness's sleeping case, run through
# scripts/wine-run.sh, is stopped twice: by a ctest entry's timeout (ctest
# kills the wrapper and everything it started) and by a TERM sent to the
# wrapper alone. Each time its lines must be in the output, and the program
# must be gone.
#   check_stopped_output.sh <wine-run.sh> <test_harness.exe>
set -u
wine_run=$(realpath "$1")
program=$(realpath "$2")
case_name=Harness.DISABLED_PrintsThenSleeps
run=(bash "$wine_run" "$program" --gtest_also_run_disabled_tests "--gtest_filter=$case_name")
work=$(mktemp -d "${TMPDIR:-/tmp}/stopped.XXXXXX")
failures=0
passed=0
trap 'pkill -KILL -f "$case_name"; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { if "$@"; then passed=$((passed + 1)); return 0; fi; return 1; }
# Runs a command every 0.2 s until it succeeds, at most $1 times.
poll() {
  local tries="$1" i
  shift
  for ((i = 0; i < tries; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}
program_gone() { ! pgrep -f "$case_name" > /dev/null; }
wrapper_gone() { ! kill -0 "$wrapper" 2> /dev/null; }

# The case's own line and GoogleTest's line naming the case.
expect_printed() {
  local what="$1" output="$2"
  check grep -qF "printed before the stop" "$output" || fail "$what: the program's line is not in the output"
  check grep -qF "[ RUN      ] $case_name" "$output" || fail "$what: the running case is not named in the output"
}

expect_ended() {
  check poll 50 program_gone || fail "$1: the program still runs after its wrapper was stopped"
}

# A TERM to the wrapper, once the program has printed.
started=$SECONDS
"${run[@]}" > "$work/term.out" 2>&1 &
wrapper=$!
poll 300 grep -qF "printed before the stop" "$work/term.out"
took=$((SECONDS - started))
kill -TERM "$wrapper"
if check poll 150 wrapper_gone; then
  wait "$wrapper"
  code=$?
  check test "$code" = 143 || fail "TERM: the wrapper ended with $code, not 143"
else
  fail "TERM: the wrapper did not end within 30 s"
  kill -KILL "$wrapper"
fi
expect_printed TERM "$work/term.out"
expect_ended TERM
echo "what the wrapper showed when it was sent TERM:"
sed 's/^/  | /' "$work/term.out"

# A ctest entry of its own, with a limit the case outlives: three times
# what the program took to print above, so that a loaded machine still
# shows the line before the stop (15 s at least, 60 s at most: the
# entry that runs this script has 180 s).
limit=$((took * 3 > 15 ? took * 3 : 15))
limit=$((limit > 60 ? 60 : limit))
{
  printf 'add_test(stopped'
  printf ' "%s"' "${run[@]}"
  printf ')\nset_tests_properties(stopped PROPERTIES TIMEOUT %s)\n' "$limit"
} > "$work/CTestTestfile.cmake"
(cd "$work" && ctest --output-on-failure > ctest.out 2>&1)
check grep -q "Timeout" "$work/ctest.out" || fail "ctest: the entry was not stopped by its timeout"
expect_printed ctest "$work/ctest.out"
expect_ended ctest
echo "what ctest showed of the entry it stopped:"
sed 's/^/  | /' "$work/ctest.out"

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
