#!/usr/bin/python3
"""Hold N event streams of velmora-web open and note when each receives each attempt.

    web-streams.py HOST PORT LINE N MAX_SECONDS STOP_FILE OUT

Prints "ready" once every stream has its answer's headers, then stops when
STOP_FILE exists or after MAX_SECONDS, and writes to OUT one line per attempt
per stream: the attempt's id and the epoch ms at which the stream read it.
One thread, non-blocking sockets: the client should cost little beside the
server it measures.
"""
import json
import os
import selectors
import socket
import sys
import time


class Stream:
    def __init__(self, sock):
        self.sock = sock
        self.buffer = bytearray()  # the body, chunk framing removed
        self.raw = bytearray()     # bytes read, not yet parsed
        self.headers_done = False
        self.chunked = False


def dechunk(stream):
    """Moves whole chunks from raw to buffer."""
    start = 0
    raw = stream.raw
    while True:
        end = raw.find(b"\r\n", start)
        if end < 0:
            break
        size = int(bytes(raw[start:end]).split(b";")[0] or b"0", 16)
        if len(raw) < end + 2 + size + 2:
            break
        stream.buffer += raw[end + 2:end + 2 + size]
        start = end + 2 + size + 2
    del raw[:start]


def main():
    host, port, line, count, max_seconds, stop_file, out = sys.argv[1:8]
    count, max_seconds = int(count), float(max_seconds)
    selector = selectors.DefaultSelector()
    request = (f"GET /api/v1/events?line={line} HTTP/1.1\r\nHost: {host}:{port}\r\n"
               "Accept: text/event-stream\r\n\r\n").encode()
    streams = []
    for _ in range(count):
        sock = socket.create_connection((host, int(port)))
        sock.sendall(request)
        sock.setblocking(False)
        stream = Stream(sock)
        streams.append(stream)
        selector.register(sock, selectors.EVENT_READ, stream)
    receipts = []
    parsed = {}                 # an event's data, parsed once for every stream
    ready = False
    deadline = time.monotonic() + max_seconds
    next_stop_check = 0.0
    while time.monotonic() < deadline:
        if time.monotonic() >= next_stop_check:
            if os.path.exists(stop_file):
                break
            next_stop_check = time.monotonic() + 0.2
        for key, _ in selector.select(timeout=0.2):
            stream = key.data
            data = stream.sock.recv(1 << 16)
            now = int(time.time() * 1000)
            if not data:
                selector.unregister(stream.sock)
                print("a stream was closed by the server", file=sys.stderr)
                continue
            stream.raw += data
            if not stream.headers_done:
                end = stream.raw.find(b"\r\n\r\n")
                if end < 0:
                    continue
                headers = bytes(stream.raw[:end]).lower()
                stream.chunked = b"transfer-encoding: chunked" in headers
                del stream.raw[:end + 4]
                stream.headers_done = True
                if not ready and all(s.headers_done for s in streams):
                    ready = True
                    print("ready", flush=True)
            if stream.chunked:
                dechunk(stream)
            else:
                stream.buffer += stream.raw
                stream.raw.clear()
            start = 0
            buffer = stream.buffer
            while True:
                end = buffer.find(b"\n\n", start)
                if end < 0:
                    break
                for field in bytes(buffer[start:end]).split(b"\n"):
                    if not field.startswith(b"data: "):
                        continue
                    payload = field[6:]
                    ids = parsed.get(payload)
                    if ids is None:
                        try:
                            ids = [a["attempt"] for a in json.loads(payload).get("attempts", [])]
                        except (ValueError, AttributeError, KeyError, TypeError):
                            ids = []
                        if len(parsed) > 64:
                            parsed.clear()
                        parsed[payload] = ids
                    # The event's attempts, written out once the run is over.
                    receipts.append((ids, now))
                start = end + 2
            del buffer[:start]
    if not ready:
        print("not every stream was answered", file=sys.stderr)
    with open(out, "w") as file:
        file.writelines(f"{attempt} {ms}\n" for ids, ms in receipts for attempt in ids)
    for stream in streams:
        stream.sock.close()


main()
