#!/usr/bin/env python3
"""A TCP relay that holds every chunk back for a fixed time in each direction, so that a
server on the loopback answers as one across a network would; for kernels without netem.

    smb_relay.py LISTEN_HOST:PORT SERVER_HOST:PORT DELAY_MS [--max-connections N] [--stats FILE]
    smb_relay.py --measure DELAY_MS     the round trip it makes, measured against an echo server

Each chunk leaves DELAY_MS after it arrived, whatever came before it: requests in flight stay
in flight together, so a client that overlaps its requests gains as it would on a real link,
and one that waits for each answer pays the round trip (twice DELAY_MS) every time. With
--max-connections at most N connections reach the server at once; a further one is held,
unanswered, until another closes, as a server or a gateway with a cap on its sessions does.
--stats names a file where, at the end, the most connections open at once and the total are
written. Prints "ready" on standard output once it listens; ends on SIGTERM or SIGINT.
"""
import argparse
import asyncio
import signal
import socket
import sys
import time


class Relay:
    def __init__(self, server, delay, max_connections):
        self.server_host, self.server_port = server
        self.delay = delay
        self.slots = asyncio.Semaphore(max_connections) if max_connections else None
        self.open = 0
        self.most_open = 0
        self.total = 0
        self.waited = 0

    async def pump(self, reader, writer):
        # A queue per direction: the reader never waits for the delay, so chunks that follow
        # each other closely also arrive close together.
        queue = asyncio.Queue()

        async def read():
            while True:
                data = await reader.read(262144)
                queue.put_nowait((time.monotonic() + self.delay, data))
                if not data:
                    return

        async def write():
            while True:
                due, data = await queue.get()
                wait = due - time.monotonic()
                if wait > 0:
                    await asyncio.sleep(wait)
                if not data:
                    if writer.can_write_eof():
                        writer.write_eof()
                    return
                writer.write(data)
                await writer.drain()

        await asyncio.gather(read(), write())

    async def handle(self, client_reader, client_writer):
        nodelay(client_writer)
        if self.slots is not None:
            if self.slots.locked():
                self.waited += 1
            await self.slots.acquire()
        self.open += 1
        self.total += 1
        self.most_open = max(self.most_open, self.open)
        server_writer = None
        try:
            server_reader, server_writer = await asyncio.open_connection(self.server_host, self.server_port)
            nodelay(server_writer)
            await asyncio.gather(self.pump(client_reader, server_writer), self.pump(server_reader, client_writer))
        except (ConnectionError, OSError):
            pass
        finally:
            self.open -= 1
            if self.slots is not None:
                self.slots.release()
            for writer in (client_writer, server_writer):
                if writer is not None:
                    writer.close()


def nodelay(writer):
    sock = writer.get_extra_info("socket")
    if sock is not None:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)


def address(text):
    host, _, port = text.rpartition(":")
    return host, int(port)


async def measure(delay_ms, trips=300):
    """Mean and largest round trip in ms of one small message at a time through the relay."""

    async def echo(reader, writer):
        nodelay(writer)
        while data := await reader.read(65536):
            writer.write(data)
            await writer.drain()
        writer.close()

    echo_server = await asyncio.start_server(echo, "127.0.0.1", 0)
    relay = Relay(echo_server.sockets[0].getsockname()[:2], delay_ms / 1000.0, 0)
    relay_server = await asyncio.start_server(relay.handle, "127.0.0.1", 0)
    reader, writer = await asyncio.open_connection(*relay_server.sockets[0].getsockname()[:2])
    nodelay(writer)
    times = []
    for _ in range(trips):
        start = time.perf_counter()
        writer.write(b"x" * 100)
        await reader.readexactly(100)
        times.append((time.perf_counter() - start) * 1000)
    writer.close()
    relay_server.close()
    echo_server.close()
    print(f"{sum(times) / len(times):.2f} {max(times):.2f}")


def fine_timers():
    # The kernel may wake a sleeper up to 50 us late by default, on each of the many sleeps.
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(29, 1, 0, 0, 0)  # PR_SET_TIMERSLACK, 1 ns
    except (OSError, AttributeError):
        pass


async def main():
    fine_timers()
    if len(sys.argv) == 3 and sys.argv[1] == "--measure":
        await measure(float(sys.argv[2]))
        return
    parser = argparse.ArgumentParser()
    parser.add_argument("listen", type=address)
    parser.add_argument("server", type=address)
    parser.add_argument("delay_ms", type=float)
    parser.add_argument("--max-connections", type=int, default=0)
    parser.add_argument("--stats")
    args = parser.parse_args()
    relay = Relay(args.server, args.delay_ms / 1000.0, args.max_connections)
    server = await asyncio.start_server(relay.handle, *args.listen, backlog=512)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    print("ready", flush=True)
    await stop.wait()
    server.close()
    if args.stats:
        with open(args.stats, "w") as stats:
            stats.write(f"most_open={relay.most_open} total={relay.total} waited={relay.waited}\n")


if __name__ == "__main__":
    asyncio.run(main())
