#!/usr/bin/python3
"""Load for the web page's benchmarks: 31 clients reading the event stream of http://127.0.0.1:PORT
and one that never reads, until standard input closes.

Usage: web_clients_load.py PORT"""
import socket
import sys
import threading

REQUEST = b"GET /events HTTP/1.1\r\nHost: x\r\n\r\n"
stop = threading.Event()


def reader(port):
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(REQUEST)
        s.settimeout(0.5)
        while not stop.is_set():
            try:
                if not s.recv(65536):
                    return
            except socket.timeout:
                pass


port = int(sys.argv[1])
threads = [threading.Thread(target=reader, args=(port,)) for _ in range(31)]
for t in threads:
    t.start()
silent = socket.create_connection(("127.0.0.1", port))
silent.sendall(REQUEST)
print("connected", flush=True)
sys.stdin.read()
stop.set()
for t in threads:
    t.join()
