# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A desk without a window, for scripts that need a second user beside a real client.

    python3 scripts/lib/desk.py PORT IDENTITY

Links to the Velmora Server on 127.0.0.1:PORT and keeps the client's discipline: it acknowledges
every message but "MSG_ACK" and answers "CMD_SEND_ID" with its identity. Every message of the
server, "MSG_ACK" included, is printed on a line of its own (the character that ends each item
of a list as "|"). Each line read from standard input is sent as one message once the server
has acknowledged the one before; the end of the input ends the link.
"""

import os
import selectors
import socket
import sys

ACK = "MSG_ACK"


def main():
    port, identity = int(sys.argv[1]), sys.argv[2]
    link = socket.create_connection(("127.0.0.1", port))
    waiting = []  # requests not yet sent
    typed = b""  # standard input not yet ended by a line break
    acknowledged = True  # the server has acknowledged the last request

    def send(message):
        link.sendall(message.encode("cp1252", errors="replace"))

    def send_next():
        nonlocal acknowledged
        if acknowledged and waiting:
            send(waiting.pop(0))
            acknowledged = False

    selector = selectors.DefaultSelector()
    selector.register(link, selectors.EVENT_READ)
    selector.register(0, selectors.EVENT_READ)
    while True:
        for key, _ in selector.select():
            if key.fileobj == 0:
                read = os.read(0, 4096)
                if not read:
                    link.close()
                    return
                *lines, typed = (typed + read).split(b"\n")
                waiting.extend(line.decode() for line in lines)
                send_next()
                continue
            # A client takes each read as one message; the server's gap between two sends
            # keeps them apart, but an acknowledgement may still arrive with what follows it.
            data = link.recv(65536).decode("cp1252", errors="replace")
            if not data:
                return
            messages = [data]
            if data.startswith(ACK) and data != ACK:
                messages = [ACK, data[len(ACK):]]
            for message in messages:
                print(message.replace("\x1c", "|"), flush=True)
                if message == ACK:
                    acknowledged = True
                    continue
                send(ACK)
                if message == "CMD_SEND_ID":
                    waiting.insert(0, "ID:" + identity)
            send_next()


if __name__ == "__main__":
    main()
