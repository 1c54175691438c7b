#!/usr/bin/env python3
"""An nginx access log of pass reports from a fleet over a rollout.

   genlog.py LOG LIST DESKTOPS LINES [DAYS]

Every desktop starts on serial 1 (2 % have no release and never get a usable
list: exit code 4); serial 2 rolls
out from day 1 over 5 days, serial 3 from day DAYS/2 over DAYS/2 + 4 days, not over yet (LIST
is its version list, with that ";rollout="). A desktop takes a release at its
bucket's turn, some (3 %) only a day later after passes that fail with 5; a
few passes fail with 3 (server not reached) or 6 (nothing started). LINES
reports at times spread over the DAYS days up to now, each from a desktop
drawn at random, in time order as a server writes them.
"""
import random
import sys
import time


def main():
    log, listfile, desktops, lines = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    days = int(sys.argv[5]) if len(sys.argv) > 5 else 14
    rng = random.Random(20261208)
    now = int(time.time())
    t0 = now - days * 86400
    rollouts = [(2, t0 + 86400, 5), (3, t0 + days // 2 * 86400, days - days // 2 + 4)]
    fleet = []
    for _ in range(desktops):
        bucket = rng.randrange(10000)
        turns = [start + d * 86400 * bucket // 10000 for _, start, d in rollouts]
        late = [rng.random() < 0.03 for _ in rollouts]
        fleet.append(("%032x" % rng.getrandbits(128), bucket, rng.random() < 0.02, turns, late))
    start3 = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(rollouts[1][1]))
    with open(listfile, "w", newline="") as f:
        f.write(";serial=3\r\n;list=/TavUpdate.ver\r\n;rollout=%s/%d\r\n" % (start3, rollouts[1][2]))
        f.write("C:\\Program Files\\Omblet\\OmbletPlus.exe | /omblet/OmbletPlus.exe | E\r\n")
    stamps = {}
    with open(log, "w") as out:
        for i in range(lines):
            t = t0 + i * days * 86400 // lines
            d, bucket, bare, turns, late = fleet[rng.randrange(desktops)]
            serial, code = ("", 4) if bare else ("1", 0)
            for (s, _, _), turn, slow in zip(rollouts, turns if not bare else [], late):
                if t >= turn + (86400 if slow else 0):
                    serial = str(s)
                elif t >= turn and slow:
                    code = 5
            roll = rng.random()
            code = 3 if roll < 0.01 else 6 if roll < 0.015 else code
            stamp = stamps.get(t)
            if stamp is None:
                stamps.clear()
                stamp = stamps[t] = time.strftime("%d/%b/%Y:%H:%M:%S +0000", time.gmtime(t))
            out.write(
                '127.0.0.1 - - [%s] "GET /report?d=%s&x=%d&s=%s&l=%%2FTavUpdate.ver&b=%d'
                '&f=%d&e=%d&n=%d&t=%d&v=1.0&u=1&r=update.example.com HTTP/1.1" 404 153 "-" "-"\n'
                % (stamp, d, code, serial, bucket, 1 if code == 0 and serial else 0,
                   1 if code == 5 else 0, 0, 2))


main()
