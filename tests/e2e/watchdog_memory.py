"""Resident memory of the supervisor with 20 applications connected and
sending handshake messages: the watchdogs' large buffers must cost memory only
for the pages that are used. Prints the figure; natively it must stay under
16 MiB."""

import sys
import threading
import time

from zelk_testing.watchdog import DriverRun, driver_arguments, Peer

APPS = 20
HANDSHAKE = b"<handshake>alive</handshake>"
LIMIT_KIB = 16 * 1024


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS for %d" % pid)


def serve(peer, stop, counts, index):
    connection = peer.accept(60)
    while not stop.is_set():
        connection.sendall(HANDSHAKE)
        counts[index] += 1
        time.sleep(0.05)
    connection.close()


def main():
    args = driver_arguments(("--sanitize", {
        "default": "", "help": "the sanitizers the build uses; they cost memory of their own"}))

    run = DriverRun(args.driver, args.wine, 200, 20)
    peers = [Peer() for _ in range(APPS)]
    stop = threading.Event()
    counts = [0] * APPS
    threads = [threading.Thread(target=serve, args=(peer, stop, counts, i), daemon=True)
               for i, peer in enumerate(peers)]
    try:
        # Names no process has: the watchdogs must never terminate anything here.
        run.write_config([("zelk_memory_app_%d_%d" % (i, peer.port), "", peer.port)
                          for i, peer in enumerate(peers)])
        for thread in threads:
            thread.start()
        run.start()
        run.wait_for("driver started:1", 60)
        deadline = time.monotonic() + 30
        while min(counts) < 40 and time.monotonic() < deadline:
            time.sleep(0.1)
        assert min(counts) >= 40, "not every peer was served: %s" % counts
        received = run.text().count("==> Recv data ok!")
        kib = resident_kib(run.process.pid)
        print("resident memory with %d applications connected: %d KiB (%.1f MiB), %d reads so far"
              % (APPS, kib, kib / 1024.0, received))
        stop.set()
        run.press_key()
        assert run.wait_exit(60) == 0
        if not args.wine and not args.sanitize:
            assert kib < LIMIT_KIB, "resident memory %d KiB" % kib
        print("watchdog memory: 1 passed, 0 failed")
    finally:
        stop.set()
        for peer in peers:
            peer.close()
        run.cleanup()


if __name__ == "__main__":
    sys.exit(main())
