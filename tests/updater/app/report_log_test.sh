#!/usr/bin/env bash
# tavpublish report over the access log the pass report test left: the two
# reports of one desktop, its last pass the one that failed with 5.
#   report_log_test.sh SOURCE_DIR LOG
set -euo pipefail
root=$1 log=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -s "$log" ] || fail "no access log at $log"
# The publisher's tool is native, built as scripts/test builds it.
. "$root/cmake/shell-helpers.sh"
build_tavpublish
out=$("$tavpublish" report --path /report "$log")
echo "$out" | grep -q ' lines read, 2 pass reports$' || fail "reports: $out"
echo "$out" | grep -q '^1 desktops reported from ' || fail "desktops: $out"
echo "$out" | grep -qE '^none +1 +100\.0 %$' || fail "installed serial: $out"
echo "$out" | grep -qE '^5 +1 +100\.0 %$' || fail "exit code of the last pass: $out"
echo "$out" | grep -qx 'failed most: exit code 5 (1 desktops)' || fail "failed most: $out"
echo "tavpublish report over the pass's log OK"
