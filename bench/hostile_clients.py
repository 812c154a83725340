"""Hostile clients for the soak (bench/soak.sh): for SECONDS, against the
service at HOST:PORT, on threads of their own:

- stalled: announce the largest body (4 MiB), send one byte and stall; when
  the service cuts the connection off (or answers 503), connect again;
- oversized: send a 5 MiB body whole, as Python's urllib does, and read the
  413 that comes back;
- slowloris: send the header one byte a second, never finishing it.

Prints what each kind saw: connections made, answers by status, resets.

    /usr/bin/python3 bench/hostile_clients.py HOST PORT SECONDS
"""
import collections
import socket
import sys
import threading
import time

HOST, PORT, SECONDS = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
END = time.monotonic() + SECONDS
tally = collections.Counter()
lock = threading.Lock()


def count(what):
    with lock:
        tally[what] += 1


def status_of(connection):
    """The status of the answer, or what became of the connection."""
    try:
        data = b""
        while b"\r\n" not in data:
            piece = connection.recv(4096)
            if not piece:
                return "closed without an answer"
            data += piece
        return data.split(b" ", 2)[1].decode()
    except socket.timeout:
        return "no answer"
    except ConnectionResetError:
        return "reset"


def stalled():
    while time.monotonic() < END:
        try:
            with socket.create_connection((HOST, PORT), timeout=15) as c:
                count("stalled: connections")
                c.sendall(b"POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                          b"Content-Length: 4194304\r\n\r\n[")
                count("stalled: " + status_of(c))
        except OSError as error:
            count("stalled: " + type(error).__name__)
            time.sleep(0.1)


def oversized():
    body = b" " * (5 << 20)
    while time.monotonic() < END:
        try:
            with socket.create_connection((HOST, PORT), timeout=15) as c:
                count("oversized: connections")
                c.sendall(b"POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                          b"Content-Length: %d\r\n\r\n" % len(body) + body)
                count("oversized: " + status_of(c))
        except (BrokenPipeError, ConnectionResetError) as error:
            count("oversized: " + type(error).__name__ + " while sending")
        except OSError as error:
            count("oversized: " + type(error).__name__)
            time.sleep(0.1)


def slowloris():
    request = b"GET /v1/version HTTP/1.1\r\nHost: x\r\nX-Padding: " + b"a" * 200
    while time.monotonic() < END:
        try:
            with socket.create_connection((HOST, PORT), timeout=15) as c:
                count("slowloris: connections")
                for byte in request:
                    if time.monotonic() >= END:
                        break
                    c.sendall(bytes([byte]))
                    time.sleep(1)
        except OSError:
            count("slowloris: cut off")


kinds = [(stalled, 32), (oversized, 4), (slowloris, 64)]
threads = [threading.Thread(target=kind, daemon=True) for kind, n in kinds for _ in range(n)]
for thread in threads:
    thread.start()
for thread in threads:
    thread.join(timeout=max(END - time.monotonic(), 0) + 20)
for what, n in sorted(tally.items()):
    print("  %-45s %d" % (what, n))
