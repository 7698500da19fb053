"""A TCP proxy on 127.0.0.1 that holds every byte for a fixed time in each
direction, without limiting the bandwidth: a server that far away.

usage: latency_proxy.py TARGET_PORT ONE_WAY_MS
Prints the port it listens on, then serves until killed."""
import asyncio
import sys


async def carry(reader, writer, delay):
    # Each chunk goes on at the moment it was read plus the delay, in order;
    # reading never waits for the writing, so many chunks can be on the way.
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def deliver():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                writer.close()
                return
            writer.write(data)
            await writer.drain()

    delivering = asyncio.create_task(deliver())
    while True:
        try:
            data = await reader.read(65536)
        except ConnectionError:
            data = b""
        queue.put_nowait((loop.time() + delay, data))
        if not data:
            break
    await delivering


async def main():
    target, delay = int(sys.argv[1]), float(sys.argv[2]) / 1000.0

    async def accept(client_reader, client_writer):
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        await asyncio.gather(carry(client_reader, server_writer, delay),
                             carry(server_reader, client_writer, delay), return_exceptions=True)

    server = await asyncio.start_server(accept, "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


asyncio.run(main())
