#!/usr/bin/python3
"""Figures of the SCPI server (for a person to read, not a test):

  scpi_figures.py rate DMM [SECONDS]         READ? round trips per second from one PyVISA
                                             client, against dmm log --scpi fed by dmm simulate
  scpi_figures.py window-rate DMM_INTERFACE [SECONDS]
                                             the same against the window (offscreen, no meter
                                             connected: each answer is the stale value)
  scpi_figures.py idle DMM_INTERFACE [SECONDS]
                                             CPU use of the window (offscreen) with --scpi, with
                                             no client and then with 16 idle clients connected
"""
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time

import pyvisa


def server_port(stderr_path, who):
    end = time.monotonic() + 20
    while time.monotonic() < end:
        m = re.search(r"SCPI server on 127\.0\.0\.1:(\d+)", open(stderr_path).read())
        if m:
            return int(m.group(1))
        time.sleep(0.1)
    sys.exit(who + " did not say where it listens")


def round_trips(port, seconds):
    meter = pyvisa.ResourceManager("@py").open_resource(
        "TCPIP::127.0.0.1::%d::SOCKET" % port, read_termination="\n", write_termination="\n")
    n = 0
    start = time.monotonic()
    while time.monotonic() - start < seconds:
        meter.query("READ?")
        n += 1
    elapsed = time.monotonic() - start
    print("READ? round trips: %d in %.1f s = %.0f per second (last answer %s)"
          % (n, elapsed, n / elapsed, meter.query("READ?")))


def window_rate(program, seconds):
    err = os.path.join(tempfile.mkdtemp(), "window.err")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    window = subprocess.Popen([program, "--scpi", "0"], stderr=open(err, "w"), env=env)
    try:
        round_trips(server_port(err, "the window"), seconds)
    finally:
        window.terminate()
        window.wait(10)


def rate(dmm, seconds):
    work = tempfile.mkdtemp()
    sim = subprocess.Popen([dmm, "simulate", "--pty"], stdout=subprocess.PIPE, text=True)
    pty = sim.stdout.readline().strip()
    err = os.path.join(work, "log.err")
    log = subprocess.Popen([dmm, "log", "--port", pty, "--out", os.path.join(work, "r.txt"),
                            "--scpi", "0"], stderr=open(err, "w"))
    try:
        port = server_port(err, "dmm log")
        time.sleep(1)
        round_trips(port, seconds)
    finally:
        log.send_signal(signal.SIGINT)
        log.wait(10)
        sim.terminate()
        sim.wait(10)


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_share(pid, seconds):
    c0, t0 = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return 100 * (cpu_seconds(pid) - c0) / (time.monotonic() - t0)


def idle(program, seconds):
    work = tempfile.mkdtemp()
    err = os.path.join(work, "window.err")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    window = subprocess.Popen([program, "--scpi", "0"], stderr=open(err, "w"), env=env)
    try:
        port = server_port(err, "the window")
        time.sleep(3)
        alone = cpu_share(window.pid, seconds)
        clients = [socket.create_connection(("127.0.0.1", port)) for _ in range(16)]
        for c in clients[:1]:
            c.sendall(b"*OPC?\n")
            assert c.recv(8) == b"1\n"
        time.sleep(1)
        with_clients = cpu_share(window.pid, seconds)
        print("window CPU over %d s: %.2f %% with no client, %.2f %% with 16 idle clients"
              % (seconds, alone, with_clients))
        for c in clients:
            c.close()
    finally:
        window.terminate()
        window.wait(10)


if __name__ == "__main__":
    what, program = sys.argv[1], sys.argv[2]
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else (30 if what == "idle" else 10)
    {"rate": rate, "window-rate": window_rate, "idle": idle}[what](program, seconds)
