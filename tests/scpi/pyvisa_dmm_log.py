#!/usr/bin/python3
"""dmm log --scpi against real clients: PyVISA (pyvisa-py) and lxi-tools' `lxi scpi`, while
`dmm simulate` feeds the meter on a pseudo-terminal; a hostile client meanwhile (garbage, a
10 MB line, 1,000 connections opened and dropped) must leave the recording untouched.

Usage: pyvisa_dmm_log.py DMM"""
import csv
import json
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import pyvisa

RATE = 25


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print("ok:", message)


def wait_for(predicate, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return
        time.sleep(0.05)
    fail("timed out waiting for " + what)


def answer_form(value):
    """The base-unit value of a CSV row as the server writes it."""
    return "%+.6E" % float(value)


def hostile(port, stop):
    """Garbage, a 10 MB line, and 1,000 connections opened and dropped."""
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(os.urandom(256 * 1024))
        s.sendall(b"\n;;;:::???\"\"\"*\n" * 1000)
        s.sendall(b"x" * (10 * 1024 * 1024) + b"\n")
    for _ in range(1000):
        if stop.is_set():
            return
        try:
            socket.create_connection(("127.0.0.1", port)).close()
        except OSError:
            pass


def main():
    dmm = sys.argv[1]
    work = tempfile.mkdtemp()
    procs = []
    try:
        sent = os.path.join(work, "sent.jsonl")
        rows_file = os.path.join(work, "rows.csv")
        sim = subprocess.Popen([dmm, "simulate", "--pty", "--rate", str(RATE), "--log", sent],
                               stdout=subprocess.PIPE, text=True)
        procs.append(sim)
        pty = sim.stdout.readline().strip()
        err_path = os.path.join(work, "log.err")
        err = open(err_path, "w")
        log = subprocess.Popen([dmm, "log", "--port", pty, "--out", rows_file, "--scpi", "0"],
                               stderr=err)
        procs.append(log)
        port_seen = []

        def announced():
            m = re.search(r"SCPI server on 127\.0\.0\.1:(\d+)", open(err_path).read())
            if m:
                port_seen.append(int(m.group(1)))
            return bool(m)

        wait_for(announced, 10, "the server's address")
        port = port_seen[0]
        resource = "TCPIP::127.0.0.1::%d::SOCKET" % port
        rm = pyvisa.ResourceManager("@py")
        inst = rm.open_resource(resource, read_termination="\n", write_termination="\n",
                                timeout=5000)

        check(inst.query("*IDN?").startswith("dmm-interface,58-4410C,0,"), "*IDN?")
        wait_for(lambda: inst.query("READ?") != "+9.91E+37", 10, "the first decoded frame")
        inst.write("*CLS")
        stop = threading.Event()
        attacker = threading.Thread(target=hostile, args=(port, stop))
        attack_start = time.monotonic()
        attacker.start()
        # While frames arrive and the attacker runs, every answer is a number in the answer form.
        answers = set()
        while attacker.is_alive():
            answers.add(inst.query("READ?"))
        attacker.join()
        print("the hostile client took %.1f s" % (time.monotonic() - attack_start))

        # A second more of frames after the attack, then the meter falls silent (the simulator
        # stopped, its terminal kept open).
        time.sleep(1)
        os.kill(sim.pid, signal.SIGSTOP)

        def settled():
            before = os.path.getsize(rows_file)
            time.sleep(0.5)
            return os.path.getsize(rows_file) == before
        wait_for(settled, 30, "the last frame to be recorded")
        with open(rows_file, encoding="utf-8-sig", newline="") as f:
            rows = list(csv.DictReader(f))
        with open(sent) as f:
            frames = [json.loads(line)["value"] for line in f]
        # The simulator starts sending before dmm log opens the terminal, so the first frames
        # may never reach it; from the first row on, the rows must be the frames sent, up to the
        # last one. The simulator logs a frame after sending it, so it may have been stopped in
        # between: one row more than the log is allowed.
        shown = [r["display"] for r in rows]
        check(len(rows) >= 10 and any(part and frames[len(frames) - len(part):] == part
                                     for part in (shown, shown[:-1])),
              "the recording holds the frames sent, unchanged (%d rows of %d frames)"
              % (len(rows), len(frames)))
        check([r["no"] for r in rows] == [str(i) for i in range(1, len(rows) + 1)],
              "record numbers unbroken")

        check(answers <= {answer_form(r["value"]) for r in rows},
              "each of the %d READ? answers while the hostile client ran was a decoded reading %s"
              % (len(answers), sorted(answers - {answer_form(r["value"]) for r in rows})))
        last = rows[-1]
        check(inst.query("READ?") == answer_form(last["value"]), "READ? is the last decoded reading")
        check(inst.query("FETCh?;MEAS?") == ";".join([answer_form(last["value"])] * 2),
              "FETCh? and MEASure? on one line")
        check(inst.query("CONF?") == '"VOLT:DC %s"' % last["range"], "CONF?")
        check(inst.query("UNIT?") == '"V"', "UNIT?")
        check(inst.query("*OPC?") == "1", "*OPC?")

        # The statistics of the rows recorded so far (the meter is silent: no row comes between).
        values = [float(r["value"]) for r in rows if r["value"]]
        check({(r["function"], r["base_unit"]) for r in rows} == {(rows[0]["function"], "V")},
              "one group of rows")
        check(inst.query("CALC:AVER:COUN?") == str(len(values)), "CALC:AVER:COUN? counts them")
        mean = statistics.mean(values)  # the answer form keeps seven digits
        check(abs(float(inst.query("CALC:AVER:AVER?")) - mean) <= 1e-6 * abs(mean) + 1e-12,
              "CALC:AVER:AVER? is the mean of the rows recorded")
        inst.write("CALC:AVER:CLE")
        check(inst.query("CALC:AVER:COUN?;SYST:ERR?") == '+9.91E+37;-230,"Data corrupt or stale"',
              "CALC:AVER:CLEar restarts the statistics")

        # The error queue: 21 unknown headers keep 19, then the overflow, then nothing.
        for _ in range(21):
            inst.write("NO:SUCH:THING")
        errors = [inst.query("SYST:ERR?") for _ in range(21)]
        check(errors == ['-113,"Undefined header"'] * 19 + ['-350,"Queue overflow"', '0,"No error"'],
              "the error queue keeps 20 and marks the overflow")
        inst.write("BOGUS")
        inst.write("*CLS")
        check(inst.query("SYSTem:ERRor?") == '0,"No error"', "*CLS empties the queue")

        # lxi-tools, a second client with a queue of its own.
        inst.write("BOGUS")
        check(shutil.which("lxi") is not None, "lxi-tools installed (scripts/install-deps.sh)")
        out = subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "-p", str(port), "-r", "*IDN?"],
                             capture_output=True, text=True, timeout=20)
        check(out.stdout.strip().startswith("dmm-interface,58-4410C,0,"), "lxi scpi -r *IDN?")
        out = subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "-p", str(port), "-r",
                              "SYST:ERR?"], capture_output=True, text=True, timeout=20)
        check(out.stdout.strip() == '0,"No error"', "lxi's client has its own error queue")
        check(inst.query("SYST:ERR?") == '-113,"Undefined header"', "PyVISA's queue kept its own")

        # 16 clients that all talked just now: the 17th is accepted and closed at once.
        others = [socket.create_connection(("127.0.0.1", port)) for _ in range(15)]
        for s in others:
            s.sendall(b"*OPC?\n")
            if s.recv(16) != b"1\n":
                fail("a client among the 16 got no answer")
        extra = socket.create_connection(("127.0.0.1", port))
        extra.settimeout(5)
        try:
            closed = extra.recv(64) == b""
        except ConnectionResetError:
            closed = True
        check(closed, "the 17th client is closed at once")
        extra.close()
        others.pop().close()
        time.sleep(0.2)
        again = socket.create_connection(("127.0.0.1", port))
        again.settimeout(5)
        again.sendall(b"*OPC?\n")
        check(again.recv(16) == b"1\n", "a place freed is taken again")
        again.close()
        for s in others:
            s.close()

        # No frame for more than 5 s: stale.
        time.sleep(5.5)
        check(inst.query("READ?") == "+9.91E+37", "READ? once the last frame is older than 5 s")
        check(inst.query("SYST:ERR?") == '-230,"Data corrupt or stale"', "-230 queued")
        # A second logger cannot take the same port: it says so and ends with exit 1; an
        # address that is none is a usage error.
        second = subprocess.run([dmm, "log", "--port", pty, "--scpi", str(port)],
                                capture_output=True, text=True, timeout=20)
        check(second.returncode == 1 and "cannot listen on 127.0.0.1:%d" % port in second.stderr,
              "a port in use ends dmm log with exit 1")
        bad = subprocess.run([dmm, "log", "--port", pty, "--scpi", "nowhere:1"],
                             capture_output=True, text=True, timeout=20)
        check(bad.returncode == 2 and "--scpi" in bad.stderr, "--scpi nowhere:1 is a usage error")
        inst.close()
        log.send_signal(signal.SIGINT)
        check(log.wait(10) == 0, "dmm log ends normally")
    finally:
        for p in procs:
            if p.poll() is None:
                p.terminate()
                p.send_signal(signal.SIGCONT)
                p.wait(10)
        shutil.rmtree(work, ignore_errors=True)
    print("all passed")


if __name__ == "__main__":
    main()
