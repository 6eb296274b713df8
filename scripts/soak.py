#!/usr/bin/env python3
"""Soak run of the safe writes: many uploads and single-tank sends, in turn, with --backup and
--verify, through kaldorctl against one kaldor-sim on a pseudo-terminal that lives for the whole
run. One exchange in ten meets a random fault of the simulated meter, taken by kaldor-sim while it
serves (--control) and cleared after that exchange.

Prints the exchanges, the faults injected, the writes whose wrong stored byte the verify missed
(a "store" fault whose exchange still ended with status 0; must be 0), the backup files lost
(every backup kaldorctl reported and the pruning keeps must be there and load; must be 0), and
the resident memory of kaldor-sim at the start and the end (growth under 5 %). Exits 1 when one
of these fails.

    python3 scripts/soak.py [--build DIR] [--count 200] [--seed N] [--pace]

The "close" fault is left out: it closes the simulated line for good, and the run needs the line.
"""

import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
KEPT = re.compile(r"What the meter held before the write is kept in (\S+\.idr)")
KEEP = 100  # the newest backups the folder keeps
KINDS = ["silent", "nack", "wrong", "extra", "stop", "store"]
FRAME_PAUSE = 0.6  # seconds: longer than the simulated meter's 500 ms


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS")


def image_blocks(path):
    with open(path) as f:
        high, low = (int(v) for v in f.read().split(",")[:2])
    return high * 256 + low


def tank_bytes(path):
    """The data bytes of the tank's "CD": full scale, offset and two words a point."""
    with open(path) as f:
        points = int(f.read().splitlines()[3])
    return 4 + 4 * points


def random_fault(rng, command, steps, data_bytes):
    """A fault of the sim's modes for the exchange's own command or its reads ("AU")."""
    target = rng.choice(["AU", command])
    kind = rng.choice(KINDS if target != "AU" else KINDS[:-1])
    if kind == "store":
        return f"{target}:{rng.randint(1, data_bytes)}:store"
    return f"{target}:{rng.randint(1, steps[target])}:{kind}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "build"))
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--seed", type=int, default=13)
    parser.add_argument("--every", type=int, default=10, help="one exchange in EVERY meets a fault")
    parser.add_argument("--pace", action="store_true", help="the simulated line runs at 19200 baud")
    args = parser.parse_args()

    ctl = os.path.join(args.build, "cli", "kaldorctl")
    sim = os.path.join(args.build, "sim", "kaldor-sim")
    image = os.path.join(HERE, "samples", "three-tanks.idr")
    tank = os.path.join(HERE, "samples", "tanks", "water.tnk")
    blocks = image_blocks(image)
    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="kaldor-soak-")
    backups = os.path.join(work, "backups")

    meter = subprocess.Popen([sim, "--image", image, "--control"] + (["--pace"] if args.pace else []),
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
    device = meter.stdout.readline().strip()
    rss_start = rss_kib(meter.pid)

    def tell(line):
        meter.stdin.write(line + "\n")
        meter.stdin.flush()
        answer = meter.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError(f"kaldor-sim refused {line!r}: {answer!r}")

    started = time.monotonic()
    statuses = {}
    faults = []
    missed = []
    kept = []  # every backup reported, in order
    unexpected = []  # exchanges without a fault that did not end with 0
    previous = None
    for n in range(args.count):
        upload = n % 2 == 0
        if upload:
            command, data_bytes = "AD", blocks * 8
            call = ["write", image]
        else:
            command, data_bytes = "CD", tank_bytes(tank)
            call = ["send-tank", tank, "--tank", "20"]
        steps = {"AU": 2 + blocks, "AD": 2 + blocks, "CD": 3 + data_bytes}
        fault = None
        if n % args.every == 0:
            slot = n + rng.randrange(args.every)  # the exchange of these ten that meets a fault
        if n == slot:
            fault = random_fault(rng, command, steps, data_bytes)
            tell(fault)
            faults.append(fault)
        run = subprocess.run([ctl, "--port", device] + call + ["--backup", backups, "--verify"],
                             capture_output=True, text=True, timeout=120)
        statuses[run.returncode] = statuses.get(run.returncode, 0) + 1
        if n == 0:
            rss_first = rss_kib(meter.pid)
        kept += KEPT.findall(run.stdout + run.stderr)
        if fault and fault.endswith(":store") and run.returncode == 0:
            missed.append((n, fault))
        if not fault and run.returncode != 0:
            unexpected.append(n)
            print(f"exchange {n} without a fault (the one before: {previous}) ended with {run.returncode}: "
                  f"{run.stderr.strip()}")
        previous = fault
        if fault:
            tell("clear")
            # A meter left in the middle of an exchange takes the next command's bytes as that
            # exchange's until the line has been quiet for its frame pause (500 ms): an
            # exchange started at once after a failed one can meet no answer. Wait it out, as a
            # technician would before trying again.
            time.sleep(FRAME_PAUSE)
    wall = time.monotonic() - started
    rss_end = rss_kib(meter.pid)
    meter.send_signal(signal.SIGTERM)
    meter.wait(timeout=10)

    # The folder keeps the newest 100: each of those must be there and load as an indicator file.
    expected = kept[-KEEP:]
    lost = [p for p in expected
            if not os.path.exists(p)
            or subprocess.run([ctl, "show", p], capture_output=True).returncode != 0]
    present = [f for f in os.listdir(backups) if f.startswith("meter-")] if os.path.isdir(backups) else []
    growth = 100.0 * (rss_end - rss_start) / rss_start

    print(f"exchanges: {args.count} ({(args.count + 1) // 2} uploads, {args.count // 2} single-tank sends)"
          f" in {wall:.1f} s{' on a paced line' if args.pace else ''}")
    print(f"exit statuses: {dict(sorted(statuses.items()))}")
    print(f"faults injected: {len(faults)}: {' '.join(faults)}")
    print(f"writes verify missed: {len(missed)} {missed if missed else ''}")
    print(f"backups reported: {len(kept)}, in the folder: {len(present)} (the newest {KEEP} kept)")
    print(f"files lost: {len(lost)} {lost if lost else ''}")
    print(f"kaldor-sim VmRSS: {rss_start} KiB at the start, {rss_first} KiB after the first exchange, "
          f"{rss_end} KiB at the end ({growth:+.2f} %)")
    if unexpected:
        print(f"exchanges without a fault that failed: {len(unexpected)} {unexpected}")
    ok = not missed and not lost and len(present) == min(len(kept), KEEP) and growth < 5.0
    if ok:
        shutil.rmtree(work)
    print("soak: " + ("passed" if ok else f"FAILED (what it wrote is in {work})"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
