#!/usr/bin/env python3
"""Reliability trials of `vexora run` against the simulator, for the figures in the README.

1. kill -9: one run adds clips and documents, then runs are killed with SIGKILL at random
   moments (KILLS of them, most while an encoder works); a last run finishes the queue. Counted:
   encoders still working a second after their run was killed, and how often the server stored
   each file (goal: none left, every file exactly once).
2. two workers: a queue is made (a run adding files, killed once they are stored), then two
   `vexora run` start at once on it (PAIRS times, each on a fresh simulator and data folder).
   Counted: trials in which both runs worked the records, or a file reached the server twice
   (goal: none).

Usage: bench/pipeline/queue-trials.py BUILD_DIR [--kills N] [--pairs N] [--seed N]
"""

import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def encoders_of(codecs, parent=None):
    """Live (not zombie) processes started from our codecs/ folder; only children of parent
    when given."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode(errors="replace")
            with open(f"/proc/{name}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rfind(")") + 2:].split()
        state, ppid = fields[0], int(fields[1])
        if state in "ZX" or not argv0.startswith(codecs):
            continue
        if parent is None or ppid == parent:
            found.append(int(name))
    return found


class Sim:
    def __init__(self, build, work):
        self.root = os.path.join(work, "sim")
        os.makedirs(self.root)
        self.out = open(os.path.join(work, "sim.out"), "w+")
        self.log = os.path.join(work, "sim.log")
        self.proc = subprocess.Popen([os.path.join(build, "bin", "vexora-sim"), "--root", self.root,
                                      "--web-port", "0", "--file-ports", "0,0", "--version-port", "0"],
                                     stdout=self.out, stderr=open(self.log, "w"))
        ports = {}
        for _ in range(300):
            self.out.seek(0)
            ports = dict(l.split()[:2] for l in self.out.read().splitlines() if len(l.split()) >= 2)
            if "version" in ports:
                break
            time.sleep(0.05)
        self.config = os.path.join(work, "Config.ini")
        with open(self.config, "w") as f:
            f.write(f"[server]\nLoginServerIP=127.0.0.1:{ports['web']}\nHostIP=127.0.0.1:{ports['web']}\n"
                    f"FileServerIP=127.0.0.1:{ports['file']}\nVerSvrIP=127.0.0.1:{ports['version']}\n"
                    "[md5]\nrule=4\n")

    def stored(self):
        counts = {}
        with open(self.log, errors="replace") as f:
            for m in re.finditer(r"upload of (.*) stored", f.read()):
                counts[m.group(1)] = counts.get(m.group(1), 0) + 1
        return counts

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


class Client:
    def __init__(self, build, sim, work):
        self.exe = os.path.join(build, "bin", "vexora")
        self.out = os.path.join(work, "converted")
        self.env = dict(os.environ, VEXORA_DATA_DIR=os.path.join(work, "data"), VEXORA_USER="demo",
                        VEXORA_PASSWORD="demo123")
        self.config = sim.config

    def args(self, *words):
        return [self.exe, "--config", self.config] + list(words)

    def start_run(self, paths=()):
        return subprocess.Popen(self.args("run", "--test-ms", "500", "--out", self.out, *paths),
                                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def call(self, *words, timeout=900):
        return subprocess.run(self.args(*words), env=self.env, capture_output=True, text=True,
                              timeout=timeout)

    def queued(self):
        r = self.call("--json", "queue")
        try:
            return json.loads(r.stdout)
        except ValueError:  # no database yet
            return []

    def remote_files(self):
        """name -> count over the user's folders (the demo account's own "Lessons" aside)."""
        counts, folders = {}, [0]
        while folders:
            r = self.call("--json", "ls", "--dir", str(folders.pop()))
            for e in json.loads(r.stdout or "[]"):
                if e["kind"] == "dir":
                    if e["name"] != "Lessons":
                        folders.append(e["id"])
                else:
                    counts[e["name"]] = counts.get(e["name"], 0) + 1
        return counts


def make_media(build, folder, clips, seconds, docs):
    ffmpeg = os.path.join(build, "bin", "codecs", "ffmpeg")
    os.makedirs(os.path.join(folder, "docs"))
    for i in range(clips):
        subprocess.run([ffmpeg, "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        f"testsrc2=s=640x360:r=25,hue=h={i * 40}", "-f", "lavfi", "-i",
                        f"sine=frequency={220 + i * 50}", "-t", str(seconds), "-c:v", "mpeg4", "-q:v", "4",
                        "-c:a", "aac", os.path.join(folder, f"lesson{i}.avi")], check=True)
    for i in range(docs):
        with open(os.path.join(folder, "docs", f"handout{i}.pdf"), "wb") as f:
            f.write(b"%PDF-1.4\n" + os.urandom(4 << 20))
    return clips + docs


def kill_trial(build, kills, rng):
    work = tempfile.mkdtemp(prefix="vx-kill-")
    sim = Sim(build, work)
    client = Client(build, sim, work)
    codecs = os.path.join(build, "bin", "codecs") + "/"
    expected = make_media(build, os.path.join(work, "in"), 6, 30, 4)
    mid_conversion = orphans = finished_early = 0
    try:
        for i in range(kills):
            run = client.start_run([os.path.join(work, "in")] if i == 0 else [])
            deadline = time.time() + rng.uniform(1.0, 12.0)
            while time.time() < deadline and run.poll() is None:
                time.sleep(0.05)
            if run.poll() is not None:
                finished_early += 1
                continue
            working = encoders_of(codecs, run.pid)
            mid_conversion += bool(working)
            run.send_signal(signal.SIGKILL)
            run.wait()
            time.sleep(1.0)
            left = [p for p in encoders_of(codecs) if p in working]
            orphans += len(left)
            for pid in left:  # ours: started by the run this trial killed
                os.kill(pid, signal.SIGKILL)
        last = client.call("run", "--test-ms", "500", "--out", client.out)
        remote, stored = client.remote_files(), sim.stored()
        once = len(remote) == expected and all(c == 1 for c in remote.values()) and \
            all(c == 1 for c in stored.values()) and len(stored) == expected
        print("Table 1: kill -9 of `vexora run` at random moments, then a last run")
        print("| kills | with an encoder working | runs that ended first | encoders left working "
              "| last run exit | files on the server | every file exactly once |")
        print("|---|---|---|---|---|---|---|")
        print(f"| {kills} | {mid_conversion} | {finished_early} | {orphans} | {last.returncode} "
              f"| {len(remote)} of {expected} | {'yes' if once else 'NO ' + str(remote) + str(stored)} |")
        return orphans == 0 and once and last.returncode == 0
    finally:
        sim.stop()
        shutil.rmtree(work, ignore_errors=True)


def pair_trial(build, rng):
    work = tempfile.mkdtemp(prefix="vx-pair-")
    sim = Sim(build, work)
    client = Client(build, sim, work)
    try:
        expected = make_media(build, os.path.join(work, "in"), 2, 8, 3)
        adding = client.start_run([os.path.join(work, "in")])
        while adding.poll() is None and len(client.queued()) < expected:
            time.sleep(0.1)
        adding.send_signal(signal.SIGKILL)
        adding.wait()
        first = client.start_run()
        time.sleep(rng.uniform(0.0, 0.3))
        second = client.start_run()
        codes = (first.wait(), second.wait())
        said = [r.stderr.read().decode() for r in (first, second)]
        remote, stored = client.remote_files(), sim.stored()
        twice = any(c > 1 for c in remote.values()) or any(c > 1 for c in stored.values())
        # A run that works records prints their status changes.
        both = all("WAIT_CONVERT" in s for s in said)
        return codes, twice, any("being worked by" in s for s in said), len(remote) == expected, both
    finally:
        sim.stop()
        shutil.rmtree(work, ignore_errors=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build")
    p.add_argument("--kills", type=int, default=30)
    p.add_argument("--pairs", type=int, default=10)
    p.add_argument("--seed", type=int, default=26)
    a = p.parse_args()
    build = os.path.abspath(a.build)
    rng = random.Random(a.seed)
    ok = True
    if a.kills > 0:
        ok = kill_trial(build, a.kills, rng) and ok
        print()
    if a.pairs > 0:
        rows = [pair_trial(build, rng) for _ in range(a.pairs)]
        dup = sum(1 for r in rows if r[1])
        told = sum(1 for r in rows if r[2])
        complete = sum(1 for r in rows if r[3])
        both = sum(1 for r in rows if r[4])
        print("Table 2: two `vexora run` started at once on one queue")
        print("| trials | both worked the records | a file stored twice | the second told who works the queue "
              "| all files on the server | exit codes |")
        print("|---|---|---|---|---|---|")
        print(f"| {a.pairs} | {both} | {dup} | {told} | {complete} "
              f"| {' '.join(f'{x}/{y}' for (x, y), *_ in rows)} |")
        ok = ok and dup == 0 and both == 0
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
