# Counts of one CTest run, for the closing lines of scripts/test.sh and scripts/port-test.sh. Source it.
#
# test_summary LABEL BUILD_DIR CTEST_OUTPUT
#   Writes BUILD_DIR/test-summary.txt: "LABEL: P passed, F failed, S skipped" and, for every reason a test
#   was skipped for, a line "  N skipped: REASON". CTEST_OUTPUT is what ctest printed (its closing line
#   gives the totals); the reasons come from the run's LastTest.log, because CTest does not print the
#   output of a skipped test. A run that printed no totals (it did not get that far) counts as failed.

test_summary() {
  local label=$1 build=$2 output=$3 total failed skipped summary=$2/test-summary.txt
  total=$(sed -n 's/.* tests failed out of \([0-9]*\)$/\1/p' "$output" | tail -n 1)
  failed=$(sed -n 's/.* \([0-9]*\) tests failed out of [0-9]*$/\1/p' "$output" | tail -n 1)
  skipped=$(grep -c '^[[:space:]]*[0-9]* - .* (Skipped)$' "$output")
  if [ -z "$total" ]; then
    echo "$label: no test results (the run did not complete)" >"$summary"
    return 0
  fi
  echo "$label: $((total - failed - skipped)) passed, $failed failed, $skipped skipped" >"$summary"
  local log=$build/Testing/Temporary/LastTest.log
  [ -f "$log" ] || return 0
  # A test that exits with its skip code prints its reason on the line after "...: Skipped" (scripts) or on
  # GoogleTest's "[  SKIPPED ] Suite.Case: reason" line (a GTEST_SKIP inside a test program).
  awk '/: Skipped$/ { if ((getline line) > 0) print line; next }
       /^\[  SKIPPED \] [^ ]+: / { sub(/^\[  SKIPPED \] [^ ]+: /, ""); print }' "$log" |
    sed 's/^\[  SKIPPED \] [^ :]*: //; s/^SKIP: //' | sort | uniq -c |
    sed 's/^ *\([0-9]*\) /  \1 skipped: /' >>"$summary"
}
