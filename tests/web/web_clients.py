#!/usr/bin/python3
"""dmm log --http with every place taken: 31 script clients reading the event stream and one
that never reads, while the meter streams. The 33rd connection gets 503, the one that does not
read is dropped once too much waits for it (its place is then free again), and every frame is
still recorded.

Usage: web_clients.py DMM"""
import json
import os
import socket
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from web_common import Bench, check, get, wait_for  # noqa: E402

RATE = 200
REQUEST = b"GET /events HTTP/1.1\r\nHost: x\r\n\r\n"


def reader(port, stop, counts, i):
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(REQUEST)
        s.settimeout(1)
        while not stop.is_set():
            try:
                data = s.recv(65536)
            except socket.timeout:
                continue
            if not data:
                break
            counts[i] += data.count(b"event: row\n")


def main():
    dmm = sys.argv[1]
    bench = Bench(dmm, tempfile.mkdtemp(), RATE)
    stop = threading.Event()
    counts = [0] * 31
    threads = [threading.Thread(target=reader, args=(bench.port, stop, counts, i))
               for i in range(31)]
    try:
        for t in threads:
            t.start()
        # The client that never reads, with a small receive buffer so that what waits for it
        # waits at the server.
        silent = socket.socket()
        silent.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        silent.connect(("127.0.0.1", bench.port))
        silent.sendall(REQUEST)
        wait_for(lambda: all(counts), 30, "every reader to get rows")
        check(get(bench.port, "/api/status")[0] == 503, "the 33rd connection gets 503")

        def place_free():
            status, _, body = get(bench.port, "/api/status")
            return status == 200 and json.loads(body)
        status = wait_for(place_free, 240, "the client that does not read to be dropped")
        check(status["clients"] == 32, "the silent client was dropped; 31 readers and this one")
        before = list(counts)
        wait_for(lambda: all(c > b for c, b in zip(counts, before)), 30,
                 "the readers to get rows after the drop")
        bench.settle()
        rows = bench.rows()
        with open(bench.sent) as f:
            frames = [json.loads(line)["value"] for line in f]
        shown = [r["display"] for r in rows]
        # Frames sent before the port opened are lost; from the first row on, every frame is a
        # row (the simulator may have been stopped between a frame and its log line).
        check(len(rows) > 1000 and any(frames[len(frames) - len(p):] == p
                                       for p in (shown, shown[:-1])),
              "every frame of the run recorded (%d rows)" % len(rows))
        check([r["no"] for r in rows] == [str(i) for i in range(1, len(rows) + 1)],
              "record numbers unbroken")
    finally:
        stop.set()
        for t in threads:
            t.join()
        bench.stop()


if __name__ == "__main__":
    main()
