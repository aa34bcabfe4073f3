#!/usr/bin/env python3
"""A second relay of another make than zartav-delay-relay, to check that a figure measured
through one is not an artefact of it. It is the plain kind: each direction reads a chunk,
sleeps DELAY_MS, writes it and only then reads the next, so chunks that follow one another
closely wait behind each other, as on a slow link's queue.

    plain_relay.py LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS

It prints "ready PORT" once it listens (LISTEN_PORT 0 takes a free one), and runs until killed.
"""
import asyncio
import socket
import sys


async def pump(reader, writer, delay):
    try:
        while True:
            chunk = await reader.read(65536)
            if not chunk:
                break
            await asyncio.sleep(delay)
            writer.write(chunk)
            await writer.drain()
    except (ConnectionError, OSError):
        pass
    finally:
        await asyncio.sleep(delay)
        writer.close()


def no_delay(writer):
    sock = writer.get_extra_info("socket")
    if sock is not None:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)


async def main():
    if len(sys.argv) != 5:
        sys.exit("usage: plain_relay.py LISTEN_PORT TARGET_HOST TARGET_PORT DELAY_MS")
    listen_port, host, port, delay = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) / 1000

    async def serve(client_reader, client_writer):
        try:
            up_reader, up_writer = await asyncio.open_connection(host, port)
        except OSError:
            client_writer.close()
            return
        no_delay(client_writer)
        no_delay(up_writer)
        await asyncio.gather(pump(client_reader, up_writer, delay), pump(up_reader, client_writer, delay))

    server = await asyncio.start_server(serve, "127.0.0.1", listen_port)
    print("ready", server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
