#!/usr/bin/env python3
"""A server that takes connections only when let, for holding a check run
in its connectivity row for as long as a test needs:

  gate.py HOST PORT STATE_FILE

It starts held: its queue of waiting connections is full (a queue of one,
filled by a connection of its own), so the system drops every new
connection request and the client's connect waits, asking again now and
then. SIGUSR1 opens it: every connection, waiting or new, is taken and
closed. SIGUSR2 holds it again. STATE_FILE says "held" or "open N" (N
connections taken so far) once that holds.
"""
import os
import select
import signal
import socket
import sys

host, port, state_file = sys.argv[1], int(sys.argv[2]), sys.argv[3]
wanted = ["held"]
signal.signal(signal.SIGUSR1, lambda *_: wanted.__setitem__(0, "open"))
signal.signal(signal.SIGUSR2, lambda *_: wanted.__setitem__(0, "held"))
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))

listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind((host, port))
listener.listen(0)
fillers = []


def say(text):
    with open(state_file + ".new", "w") as f:
        f.write(text + "\n")
    os.replace(state_file + ".new", state_file)


def hold():
    # Once the listener has a connection waiting, its queue is full.
    filler = socket.socket()
    filler.setblocking(False)
    filler.connect_ex((host, port))
    fillers.append(filler)
    select.select([listener], [], [], 10)
    say("held")


hold()
state, taken = "held", 0
while True:
    if wanted[0] != state:
        state = wanted[0]
        if state == "held":
            hold()
        else:
            say("open %d" % taken)
    if state == "open" and select.select([listener], [], [], 0.2)[0]:
        connection, _ = listener.accept()
        connection.close()
        taken += 1
        say("open %d" % taken)
    elif state == "held":
        select.select([], [], [], 0.2)
