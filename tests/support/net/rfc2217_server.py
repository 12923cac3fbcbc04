#!/usr/bin/env python3
"""pyserial's RFC 2217 port manager in front of a serial device, for the tests.

    rfc2217_server.py DEVICE PORT

Listens on 127.0.0.1:PORT (0: a free port; the port taken is printed as "listening PORT"), serves
one client at a time and logs the negotiation on standard error (the settings the client asked
for, DTR and RTS among them). A pseudo-terminal has no modem lines: setting DTR or RTS, and
reading CTS, DSR, RI and CD, fail there, so those errors are ignored; the log still says what the
client asked for.
"""
import logging
import select
import socket
import sys

import serial
import serial.rfc2217


class ModemlessSerial(serial.Serial):
    """A serial port whose modem lines may be missing."""

    def _update_dtr_state(self):
        try:
            super()._update_dtr_state()
        except OSError:
            pass

    def _update_rts_state(self):
        try:
            super()._update_rts_state()
        except OSError:
            pass

    @property
    def cts(self):
        return False

    @property
    def dsr(self):
        return False

    @property
    def ri(self):
        return False

    @property
    def cd(self):
        return False


class Connection:
    """The port manager's answers go to the client through write()."""

    def __init__(self, sock):
        self.sock = sock

    def write(self, data):
        self.sock.sendall(data)


def serve(port, listener, log):
    client, _ = listener.accept()
    client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    manager = serial.rfc2217.PortManager(port, Connection(client), logger=log)
    try:
        while True:
            ready, _, _ = select.select([client, port.fileno()], [], [], 1.0)
            if client in ready:
                data = client.recv(1024)
                if not data:
                    break
                port.write(b"".join(manager.filter(data)))
            if port.fileno() in ready:
                data = port.read(port.in_waiting or 1)
                if data:
                    client.sendall(b"".join(manager.escape(data)))
    except OSError as e:
        log.info("connection ended: %s", e)
    finally:
        client.close()
        log.info("client gone")


def main():
    device, tcp_port = sys.argv[1], int(sys.argv[2])
    logging.basicConfig(level=logging.INFO, stream=sys.stderr, format="%(message)s")
    log = logging.getLogger("rfc2217")
    port = ModemlessSerial()
    port.port = device
    port.timeout = 0
    port.open()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", tcp_port))
    listener.listen(1)
    print("listening", listener.getsockname()[1], flush=True)
    while True:
        serve(port, listener, log)


if __name__ == "__main__":
    main()
