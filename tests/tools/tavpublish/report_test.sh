#!/usr/bin/env bash
# tavpublish report over generated access logs: three serials, a rollout half
# way, failures, lines in the three servers' forms and lines anyone could
# write. The counts in text and JSON, and the HTML page as headless Chromium
# renders it: one series per serial, one bar per exit code.
#   report_test.sh path/to/tavpublish
set -euo pipefail
tool=$1
work=$(mktemp -d /tmp/tav-report-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

now=$(date -u +%s)
start=$(date -u -d "@$((now - 2 * 86400))" +%Y-%m-%dT%H:%M:%SZ)
printf ';serial=3\r\n;list=/TavUpdate.ver\r\n;rollout=%s/4\r\nC:\\a.dll | /a.dll\r\n' "$start" >list.ver

# Three days of passes, the first two in old.log, the last in new.log, given
# newest first as a rotated log's glob puts them. Desktops: 10 moving 1 -> 2
# -> 3; 6 staying on 1, their turn (bucket 9000) to come; 4 due (bucket 1000)
# on 2, failing with 5 on day three; 2 without a release failing with 3; one
# of another channel on 3.
python3 - "$now" <<'PY'
import sys, time
now = int(sys.argv[1])
day0 = now // 86400 * 86400 - 2 * 86400 + 3600  # 01:00 UTC two days ago
def stamp(t, zone):
    off = {"+0000": 0, "+0900": 9 * 3600, "-0500": -5 * 3600}[zone]
    return time.strftime("%d/%b/%Y:%H:%M:%S ", time.gmtime(t + off)) + zone
def line(t, d, x, s, b, l="/TavUpdate.ver", form="nginx"):
    q = "d=%032x&x=%d&s=%s&l=%s&b=%s&f=1&e=0&n=10&t=2&v=1.0&u=0&r=update.example.com" % (
        d, x, s, l.replace("/", "%2F"), b)
    if form == "varnish":
        return '10.0.0.1 - - [%s] "GET http://update.example.com/report?%s HTTP/1.1" 404 0 "-" "-"' % (stamp(t, "-0500"), q)
    if form == "apache":
        return '10.0.0.1 - - [%s] "GET /report?%s HTTP/1.1" 404 196 "-" "TavUpdate"' % (stamp(t, "+0900"), q)
    return '10.0.0.1 - - [%s] "GET /report?%s HTTP/1.1" 404 153 "-" "-"' % (stamp(t, "+0000"), q)
days = [[], [], []]
forms = ["nginx", "apache", "varnish"]
for i in range(10):
    for day, s in enumerate(["1", "2", "3"]):
        days[day].append(line(day0 + day * 86400 + i * 60, 0xA000 + i, 0, s, 500, form=forms[i % 3]))
for i in range(6):
    for day in range(3):
        days[day].append(line(day0 + day * 86400 + i * 60, 0xB000 + i, 0, "1", 9000))
for i in range(4):
    for day, x in enumerate([0, 0, 5]):
        days[day].append(line(day0 + day * 86400 + i * 60, 0xC000 + i, x, "2", 1000))
for i in range(2):
    days[2].append(line(day0 + 2 * 86400 + i * 60, 0xD000 + i, 3, "", ""))
days[2].append(line(day0 + 2 * 86400, 0xE000, 0, "3", 10, l="/beta/TavUpdate.ver"))
# Not reports: another request, a bad desktop id, escapes gone wrong, a serial
# that is no number, a POST, an overlong line; then day three's reports, the
# first of which the overlong line must not swallow.
t = day0 + 2 * 86400 + 7200
junk = [
    '10.0.0.1 - - [%s] "GET /TavUpdate.ver HTTP/1.1" 200 90 "-" "-"' % stamp(t, "+0000"),
    line(t, 0, 0, "3", 1).replace("d=%032x" % 0, "d=%zz" + "0" * 30),
    line(t, 0xF001, 0, "3%", 1),
    line(t, 0xF002, 0, "3x", 1),
    line(t, 0xF003, 0, "3", 1).replace("GET", "POST"),
    '10.0.0.1 - [x] [bad] "GET /report?%s' % ("%" * 20000),
    line(t, 0xF004, 4, "", 1).replace("&x=4", "&x=4%"),
]
open("old.log", "w").write("\n".join(days[0] + days[1]) + "\n")
open("new.log", "w").write("\n".join(junk + days[2]))  # no line end at its end
PY

"$tool" report --path /report --list list.ver --json report.json --html report.html \
    new.log old.log >report.txt || fail "report failed: $(cat report.txt)"
# row TABLE KEY: the rest of KEY's row in the table headed TABLE.
row() {
    awk -v t="$1" -v k="$2" 'index($0, t) == 1 { on = 1; next } /^$/ { on = 0 } on && $1 == k' report.txt |
        tr -s ' ' | cut -d' ' -f2-
}

# Faults: the last report taken in file order (day three's read first),
# malformed lines counted, a time zone not taken into UTC.
serials="$(row 'installed serial' none);$(row 'installed serial' 1);$(row 'installed serial' 2);$(row 'installed serial' 3)"
[ "$serials" = "2 8.7 %;6 26.1 %;4 17.4 %;11 47.8 %" ] || fail "desktops per serial: $serials"
codes="$(row 'exit code' 0);$(row 'exit code' 3);$(row 'exit code' 5)"
[ "$codes" = "17 73.9 %;2 8.7 %;4 17.4 %" ] || fail "desktops per exit code: $codes"
grep -qx 'failed most: exit code 5 (4 desktops), exit code 3 (2 desktops)' report.txt ||
    fail "failed most: $(grep failed report.txt)"
days=$(grep -E '^[0-9]{4}-[0-9]{2}-[0-9]{2} ' report.txt | tr -s ' ' | cut -d' ' -f2-)
[ "$days" = "$(printf '20 0 16 4 0\n20 0 6 14 0\n23 2 6 4 11')" ] ||
    fail "days (reporting, none, 1, 2, 3): $days"
grep -q ' lines read, 63 pass reports$' report.txt || fail "reports read: $(head -1 report.txt)"

# The rollout: half its days gone; 22 desktops of its list path, 10 on 3;
# due: 10 + 4 (bucket 1000) + 2 (no release); held back: the 6.
grep -q '^rollout of serial 3 (/TavUpdate.ver): plan 50\.[0-9] % now' report.txt ||
    fail "plan: $(grep rollout report.txt)"
grep -q 'on serial 3: 45.5 % of 22 reporting desktops (10)' report.txt || fail "on serial: $(cat report.txt)"
grep -q 'due by their bucket: 16, of those on serial 3: 10 (6 not yet)' report.txt ||
    fail "due: $(cat report.txt)"
grep -q 'held back (their turn to come): 6' report.txt || fail "held back: $(cat report.txt)"

python3 - report.json <<'PY' || fail "JSON: $(cat report.json)"
import json, sys
j = json.load(open(sys.argv[1]))
assert j["desktops"] == 23
assert {(s["serial"], s["desktops"]) for s in j["serials"]} == {(None, 2), ("1", 6), ("2", 4), ("3", 11)}
assert [(c["code"], c["desktops"]) for c in j["failedMost"]] == [(5, 4), (3, 2)]
assert [d["onSerial"] for d in j["days"]] == [[0, 16, 4, 0], [0, 6, 14, 0], [2, 6, 4, 11]]
r = j["rollout"]
assert (r["reporting"], r["onSerial"], r["due"], r["dueOnSerial"], r["heldBack"]) == (22, 10, 16, 10, 6)
assert 0.5 <= r["planned"] < 0.51, r["planned"]
PY

# The page as a browser builds it, with no network and no profile of its own.
grep -qiE '<script|<link|<img|src=|url\(' report.html && fail "the page loads something"
profile=$(mktemp -d "$work/chromium.XXXXXX")
timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile" \
    --dump-dom "file://$work/report.html" >dom.html 2>chromium.err || fail "chromium: $(tail -5 chromium.err)"
python3 - dom.html <<'PY' || fail "the rendered page lacks its charts"
import sys
from html.parser import HTMLParser
series, bars, svgs = [], {}, []
class Page(HTMLParser):
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "svg":
            svgs.append(a.get("id"))
        if tag == "g" and a.get("class") == "series":
            series.append(a["data-serial"])
        if tag == "g" and a.get("class") == "bar":
            bars[a["data-exit-code"]] = a["data-desktops"]
Page().feed(open(sys.argv[1]).read())
assert svgs == ["serials-chart", "exit-codes-chart"], svgs
assert series == ["none", "1", "2", "3"], series
assert bars == {"0": "17", "3": "2", "5": "4"}, bars
PY
echo "tavpublish report OK"
