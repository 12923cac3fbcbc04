#!/usr/bin/env python3
"""A hostile RFC 2217 server, for the tests.

    hostile_rfc2217_server.py

Listens on a free port of 127.0.0.1 (printed as "listening PORT"), agrees to the COM port option
and then, without ever reading its socket, floods each client with offers the client refuses
(WILL ECHO, DO TERMINAL-TYPE) and with DO/DONT of the COM port option in turn, until the client
goes away; then it takes the next client. Its receive buffer is kept small, so that whatever the
client answers soon waits at the client.
"""
import socket

IAC, DONT, DO, WILL = 255, 254, 253, 251
ECHO, TERMINAL_TYPE, COM_PORT = 1, 24, 44

FLOOD = bytes([IAC, WILL, ECHO, IAC, DO, TERMINAL_TYPE, IAC, DONT, COM_PORT,
               IAC, DO, COM_PORT]) * 4096


def main():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    print("listening", listener.getsockname()[1], flush=True)
    while True:
        client, _ = listener.accept()
        try:
            client.sendall(bytes([IAC, DO, COM_PORT]))
            while True:
                client.sendall(FLOOD)
        except OSError:
            pass
        finally:
            client.close()


if __name__ == "__main__":
    main()
