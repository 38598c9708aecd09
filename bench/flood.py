#!/usr/bin/env python3
"""Quillet under a flood of chats from a peer, beside the same program idle.

Each case starts the program on an Xvfb of its own (in a network namespace of its own, as
bench/desktop.py does), lets it settle, reads its peak memory (VmHWM) idle, connects a raw TCP
peer to port 1777 and floods it with chats:

- text: 1,024-byte chats ("MSG " and 1,020 letters), as fast as the program takes them;
- line feeds: the same made of line feeds;
- one read each: 800-byte chats, each sent once the program has read the one before.

Then it reports the bytes sent, how long the program still works once the peer stops (until its
socket's receive queue is empty and its threads use less than 5 ms of CPU in 100 ms), the CPU it
used for the whole case, and its peak memory. A last case sends SIGTERM in the middle of a text
flood and times until the peer gets "DIS" and the program has ended; the floor is the same quit
of the idle program. Needs Xvfb.

    python3 bench/flood.py [--build build] [--seconds 4] [--chats 10000]
"""
import argparse
import os
import signal
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop  # noqa: E402  (the display, the namespace, the /proc readers)

PORT = 1777


def cpu_ns(pid):
    return sum(cpu for _, _, _, cpu in desktop.threads(pid).values())


def unread(port=PORT):
    """Bytes not yet read on the sockets of this namespace bound to port."""
    total = 0
    for name in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(name) as table:
            next(table)
            for line in table:
                fields = line.split()
                if fields[1].endswith(":%04X" % port):
                    total += int(fields[4].split(":")[1], 16)
    return total


def wait_quiet(pid, deadline=600):
    """Seconds until nothing waits to be read and the program's threads are almost idle."""
    started = time.monotonic()
    while time.monotonic() - started < deadline:
        before = cpu_ns(pid)
        time.sleep(0.1)
        if unread() == 0 and cpu_ns(pid) - before < 5e6:
            return time.monotonic() - started - 0.1
    return float("inf")


def connect():
    for _ in range(100):
        try:
            peer = socket.create_connection(("127.0.0.1", PORT))
            break
        except OSError:
            time.sleep(0.05)
    else:
        sys.exit("the program does not listen on port %d" % PORT)
    received = b""
    while not received.endswith(b"CON\n"):
        received += peer.recv(64)
    return peer


def flood(peer, record, seconds, stop=None):
    burst = record * (65536 // len(record))
    sent = 0
    end = time.monotonic() + seconds
    try:
        while time.monotonic() < end and not (stop and stop.is_set()):
            sent += peer.send(burst)
    except OSError:
        pass
    return sent


def one_read_each(peer, chats):
    record = b"MSG " + b"w" * 796
    for _ in range(chats):
        peer.sendall(record)
        while unread():
            pass
    return chats * len(record)


def quit_time(process, peer):
    """Seconds from SIGTERM until the peer got "DIS" and the program ended."""
    started = time.monotonic()
    process.send_signal(signal.SIGTERM)
    peer.settimeout(60)
    received = b""
    try:
        while b"DIS\n" not in received:
            data = peer.recv(65536)
            if not data:
                break
            received += data
    except OSError:
        pass
    told = time.monotonic() - started
    process.wait(600)
    return b"DIS\n" in received, told, time.monotonic() - started


def main():
    desktop.reexec_in_namespace()
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--seconds", type=float, default=4)
    parser.add_argument("--chats", type=int, default=10000)
    parser.add_argument("--settle", type=float, default=3)
    options = parser.parse_args()
    subprocess.run(["ip", "link", "set", "lo", "up"], check=False)
    command = [os.path.join(options.build, "quillet")]
    cases = [("text", lambda peer: flood(peer, b"MSG " + b"w" * 1020, options.seconds)),
             ("line feeds", lambda peer: flood(peer, b"MSG " + b"\n" * 1020, options.seconds)),
             ("one read each", lambda peer: one_read_each(peer, options.chats))]

    display = desktop.Display()
    rows = []
    try:
        # The floor: the program idle, and its quit.
        process = display.start_and_wait_mapped(command, {})[0]
        time.sleep(options.settle)
        peer = connect()
        idle_peak = desktop.peak_kib(process.pid)
        told, _, ended = quit_time(process, peer)
        rows.append(("idle (floor)", 0, 0, 0, idle_peak, ended if told else float("inf")))
        for name, send in cases:
            process = display.start_and_wait_mapped(command, {})[0]
            time.sleep(options.settle)
            peer = connect()
            cpu0 = cpu_ns(process.pid)
            sent = send(peer)
            after = wait_quiet(process.pid)
            cpu = (cpu_ns(process.pid) - cpu0) / 1e9
            peak = desktop.peak_kib(process.pid)
            told, _, ended = quit_time(process, peer)
            rows.append((name, sent, after, cpu, peak, ended if told else float("inf")))
        # A quit request in the middle of a flood.
        process = display.start_and_wait_mapped(command, {})[0]
        time.sleep(options.settle)
        peer = connect()
        stop = threading.Event()
        sender = threading.Thread(target=flood,
                                  args=(peer, b"MSG " + b"w" * 1020, 600, stop))
        sender.start()
        time.sleep(options.seconds / 2)
        peak = desktop.peak_kib(process.pid)
        told, _, ended = quit_time(process, peer)
        stop.set()
        sender.join()
        rows.append(("quit in a text flood", 0, 0, 0, peak, ended if told else float("inf")))
    finally:
        display.close()

    print("%-22s %10s %12s %10s %12s %14s" % ("case", "MB sent", "busy after", "CPU",
                                              "VmHWM KiB", "quit (DIS+end)"))
    floor = rows[0][4]
    for name, sent, after, cpu, peak, ended in rows:
        print("%-22s %10.1f %10.2f s %8.2f s %8d (+%d) %12.3f s"
              % (name, sent / 1e6, after, cpu, peak, peak - floor, ended))


if __name__ == "__main__":
    main()
