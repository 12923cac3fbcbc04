#!/usr/bin/python3
"""A PyVISA client for the tests that run the server in their own process.

  scpi_client.py query PORT COMMAND...  each COMMAND's answer on a line of its own (a command
                                        without '?' is written, and prints nothing)
  scpi_client.py attack PORT            a hostile client (garbage, a 10 MB line, 1,000
                                        connections opened and dropped) while PyVISA asks READ?;
                                        prints each READ? answer on a line of its own
"""
import os
import socket
import sys
import threading

import pyvisa


def instrument(port):
    rm = pyvisa.ResourceManager("@py")
    return rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % port, read_termination="\n",
                            write_termination="\n", timeout=5000)


def hostile(port):
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(os.urandom(256 * 1024))
        s.sendall(b"\n;;;:::???\"\"\"*\n" * 1000)
        s.sendall(b"x" * (10 * 1024 * 1024) + b"\n")
    for _ in range(1000):
        try:
            socket.create_connection(("127.0.0.1", port)).close()
        except OSError:
            pass


def main():
    mode, port = sys.argv[1], int(sys.argv[2])
    inst = instrument(port)
    if mode == "query":
        for command in sys.argv[3:]:
            if "?" in command:
                print(inst.query(command))
            else:
                inst.write(command)
    elif mode == "attack":
        attacker = threading.Thread(target=hostile, args=(port,))
        attacker.start()
        while attacker.is_alive():
            print(inst.query("READ?"))
        attacker.join()
    inst.close()


if __name__ == "__main__":
    main()
