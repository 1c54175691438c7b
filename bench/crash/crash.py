"""Driver of bench/crash/crash.sh: kills signed passes at chosen moments and
counts what the next passes find; times a large release with and without the
swap journal. Run by crash.sh, which builds the programs and sets up Wine."""

import glob
import hashlib
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time

(tavpublish, program, no_journal, loader, work, fixtures, modules, kib, kills, runs,
 timing_mib) = sys.argv[1:12]
modules, kib, kills, runs, timing_mib = map(int, (modules, kib, kills, runs, timing_mib))
sys.path.insert(0, fixtures)
import scripted_http  # noqa: E402

prefix = os.environ["WINEPREFIX"]
# A 32-bit pass in a 64-bit prefix keeps its journal in syswow64.
journals = [os.path.join(prefix, "drive_c/windows", d, "TavUpdate.*.journal")
            for d in ("syswow64", "system32")]


def win(path):
    return "Z:" + path.replace("/", "\\")


def run(cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


class Setup:
    """A local folder, a served folder and its scripted server, and a key."""

    def __init__(self, name, count, size, defaults):
        self.base = os.path.join(work, name)
        self.local, self.www = self.base + "/local", self.base + "/www"
        os.makedirs(self.local)
        os.makedirs(self.www)
        self.names = ["m%02d.bin" % i for i in range(1, count + 1)]
        self.size = size
        self.digests = {}  # release -> {name: sha256}
        self.release = 0
        key = run([tavpublish, "keygen", self.base + "/key.pem"])
        self.key = [l for l in key.splitlines() if l.startswith("Signing Key=")][0][12:]
        self.server = scripted_http.start(self.www, self.base + "/requests.log", None, defaults)
        port = self.server.server_address[1]
        self.value = "HTTP 127.0.0.1:%d /TavUpdate.ver" % port
        for ini, address in (("pass.ini", "127.0.0.1"), ("offline.ini", "127.0.0.2")):
            with open(self.base + "/" + ini, "w", newline="") as f:
                f.write("[SERVER]\r\nRemote Address=%s\r\nProtocol=HTTP\r\nRemote Port=%d\r\n"
                        "Remote Version File=/TavUpdate.ver\r\nSigning Key=%s\r\n[LOCAL]\r\n"
                        "Local Version File=%s\r\n"
                        "Default Exec File=C:\\windows\\system32\\hostname.exe\r\n"
                        % (address, port, self.key, win(self.base + "/TavUpdate.ver")))

    def publish(self):
        """The next release served: every module new."""
        self.release += 1
        digests = {}
        with open(self.base + "/listing", "w", newline="") as listing:
            for name in self.names:
                data = os.urandom(self.size)
                digests[name] = hashlib.sha256(data).hexdigest()
                with open(self.www + "/" + name + ".new", "wb") as f:
                    f.write(data)
                os.replace(self.www + "/" + name + ".new", self.www + "/" + name)
                listing.write("%s | /%s | -\r\n" % (win(self.local + "/" + name), name))
        self.digests[self.release] = digests
        run([tavpublish, "build", "--key", self.base + "/key.pem", self.base + "/listing",
             self.www, self.www + "/TavUpdate.ver"])

    def start(self, ini, exe=program):
        return subprocess.Popen([loader, exe, win(self.base + "/" + ini)],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def pass_(self, ini, exe=program):
        return self.start(ini, exe).wait()

    def state(self):
        """(torn, missing, mixed, releases found, leftovers) of the local folder."""
        found, torn, missing = set(), 0, 0
        for name in self.names:
            path = self.local + "/" + name
            if not os.path.exists(path):
                missing += 1
                continue
            with open(path, "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
            which = [r for r, d in self.digests.items() if d[name] == digest]
            if which:
                found.add(which[0])
            else:
                torn += 1
        left = sorted(set(os.listdir(self.local)) - set(self.names))
        left += [os.path.basename(p) for pattern in journals for p in glob.glob(pattern)]
        left += [n for n in os.listdir(self.base) if n.endswith(".part")]
        return torn, missing, int(len(found) > 1), found, left

    def close(self):
        scripted_http.stop(self.server)
        for sub in ("", "\\Installed", "\\Keys"):
            subprocess.run([loader, "reg", "delete", "HKLM\\SOFTWARE\\Tav\\TavUpdate" + sub,
                            "/v", self.value, "/f", "/reg:32"], capture_output=True)


def wine_pid(popen, ini):
    """The Linux process of the pass (the loader may exec, or start a child)."""
    for _ in range(2000):
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    cmd = f.read().decode(errors="replace")
            except OSError:
                continue
            if "TavUpdate.exe" in cmd and ini in cmd.replace("\\", "/"):
                return int(pid)
        if popen.poll() is not None:
            return None
        time.sleep(0.001)
    return None


def received(s):
    return sum(os.path.getsize(p) for p in glob.glob(s.local + "/TavUpdate.*.part"))


def asides(s):
    return glob.glob(s.local + "/*.TavUpdate.*.old")


def crash_rounds():
    s = Setup("crash", modules, kib << 10, "slow=5&piece=16384")
    try:
        s.publish()
        s.pass_("pass.ini")
        assert s.state()[3] == {1}, "release 1 not installed"
        total = modules * (kib << 10)
        in_download = kills * 3 // 5
        in_swap = kills - in_download
        totals = {"killed": [0, 0, 0], "offline": [0, 0, 0], "online": [0, 0, 0]}
        started_from_mix = left_after_online = not_new = 0
        print("%-4s %-26s %-22s %-22s %s" % ("kill", "moment", "at the kill (t/m/x)",
                                             "offline pass", "online pass"))
        for k in range(kills):
            old = s.release
            s.publish()
            popen = s.start("pass.ini")
            pid = wine_pid(popen, s.base + "/pass.ini")
            if k < in_download:
                goal = total * (k + 0.5) / in_download
                moment = "download, %3.0f %% received" % (100 * goal / total)
                while popen.poll() is None and received(s) < goal:
                    time.sleep(0.0005)
            else:
                delay = (k - in_download) * 3.0 / max(1, in_swap - 1)
                moment = "swap, first aside + %.1f ms" % delay
                while popen.poll() is None and not asides(s):
                    pass
                end = time.perf_counter() + delay / 1000
                while time.perf_counter() < end:
                    pass
            if pid and popen.poll() is None:
                os.kill(pid, signal.SIGKILL)
            popen.wait()
            killed = s.state()
            code = s.pass_("offline.ini")
            offline = s.state()
            if offline[2] and code != 6:
                started_from_mix += 1
            s.pass_("pass.ini")
            online = s.state()
            left_after_online += int(bool(online[4]))
            not_new += int(online[3] != {s.release} or online[1] > 0)
            for label, st in (("killed", killed), ("offline", offline), ("online", online)):
                for i in range(3):
                    totals[label][i] += st[i]

            def show(st):
                rel = "/".join("N+1" if r == s.release else "N" for r in sorted(st[3]))
                return "%d/%d/%d %s" % (st[0], st[1], st[2], rel or "-")
            print("%-4d %-26s %-22s %-22s %s%s" % (
                k + 1, moment, show(killed), show(offline) + " exit %d" % code, show(online),
                (" left: " + " ".join(online[4])) if online[4] else ""), flush=True)
            if online[3] != {s.release}:
                s.pass_("pass.ini")  # the next round starts from one release
            del old
        print("torn/missing/mixed totals: at the kills %s, after the offline passes %s, after "
              "the online passes %s (goal 0, 0, 0 after each pass)" % tuple(
                  "%d/%d/%d" % tuple(totals[l]) for l in ("killed", "offline", "online")))
        print("offline passes that started a program from a mix: %d; online passes that left "
              "an updater file: %d; that did not install the new release whole: %d"
              % (started_from_mix, left_after_online, not_new))
    finally:
        s.close()


def timing():
    s = Setup("timing", 50, timing_mib << 20, "")
    try:
        s.publish()
        s.pass_("pass.ini")
        times = {"journal": [], "none": []}
        for i in range(runs):
            for label, exe in (("journal", program), ("none", no_journal)):
                s.publish()
                subprocess.run(["sync"])
                start = time.perf_counter()
                s.pass_("pass.ini", exe)
                times[label].append(time.perf_counter() - start)
                assert s.state()[3] == {s.release}, label + ": release not installed"
        j, n = statistics.median(times["journal"]), statistics.median(times["none"])
        print("50 x %d MiB release, %d passes each (median; all): with the journal %.3f s %s, "
              "without %.3f s %s: the journal adds %+.1f %% (goal under 5 %%)" % (
                  timing_mib, runs, j, ["%.2f" % t for t in times["journal"]], n,
                  ["%.2f" % t for t in times["none"]], 100 * (j - n) / n))
    finally:
        s.close()


crash_rounds()
timing()
