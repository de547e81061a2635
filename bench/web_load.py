#!/usr/bin/python3
"""Load on the bench page: kvtlnk serve over a filled archive, on 127.0.0.1 only.

Runs the server, then for each of the instrument list, an instrument's page and a
calibration's page, CLIENTS clients at once each ask for pages until REQUESTS each or SECONDS
have passed, and prints the 50th and 95th percentile and the largest answer time. Then the
server's CPU while idle with a live page open, and with an emulated calibrator how long each
step of an upload takes to reach a live page. Bounded in time and count.

    build/bench/web_archive /tmp/a.db 1000 100       # 100,000 results
    /usr/bin/python3 bench/web_load.py --archive /tmp/a.db
"""
import argparse
import http.client
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.path.join(os.path.dirname(HERE), 'build')


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def start_server(args, port, calibrator=None, environment=None):
    command = [args.kvtlnk, '--archive', args.archive, '--lab', args.lab, 'serve',
               '--listen', '127.0.0.1:%d' % port]
    if calibrator:
        command += ['--calibrator', calibrator]
    server = subprocess.Popen(command, stderr=subprocess.PIPE, text=True, errors='replace',
                              env=dict(os.environ, **(environment or {})))
    line = server.stderr.readline()
    if 'serving' not in line:
        raise SystemExit('the server did not start: ' + line)
    return server


def get(connection, path):
    connection.request('GET', path)
    reply = connection.getresponse()
    body = reply.read()
    if reply.status != 200:
        raise RuntimeError('%s: %d' % (path, reply.status))
    return body.decode('utf-8', 'replace')


def first_visits(connection, paths):
    """The times of pages no one asked for yet, in ms: made, not kept."""
    times = []
    for path in paths:
        started = time.monotonic()
        get(connection, path)
        times.append((time.monotonic() - started) * 1000)
    return 'p50 %.1f, max %.1f' % (percentile(times, 50), max(times))


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100 * (len(values) - 1))))]


def load(args, port, paths, requests):
    """The C++ clients ask for the paths, each client requests times; their figures."""
    reply = subprocess.run([args.client, str(port), str(args.clients), str(requests),
                            str(args.seconds)] + paths, stdout=subprocess.PIPE, text=True)
    return json.loads(reply.stdout)


def report(name, f):
    print('%-24s %5d answers in %5.1f s: p50 %6.1f ms, p95 %6.1f ms, max %6.1f ms%s' %
          (name, f['answers'], f['seconds'], f['p50'], f['p95'], f['max'],
           ', %d errors' % f['errors'] if f['errors'] else ''))


def cpu_seconds(pid):
    with open('/proc/%d/stat' % pid) as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


class Live(threading.Thread):
    """A live page: the server's events, each with the monotonic time it arrived."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port = port
        self.heard = []
        self.connection = http.client.HTTPConnection('127.0.0.1', port, timeout=120)

    def run(self):
        self.connection.request('GET', '/events')
        reply = self.connection.getresponse()
        for line in reply:
            if line.startswith(b'data: '):
                self.heard.append((time.monotonic() * 1000, json.loads(line[6:])))


def idle_cpu(server, port, seconds):
    live = Live(port)
    live.start()
    before = cpu_seconds(server.pid)
    time.sleep(seconds)
    return 100 * (cpu_seconds(server.pid) - before) / seconds


def progress_delays(args, port, link):
    """Uploads the emulator's memories through the page and measures each step's delay."""
    live = Live(port)
    live.start()
    connection = http.client.HTTPConnection('127.0.0.1', port, timeout=60)
    connection.request('GET', '/calibrators')
    reply = connection.getresponse()
    page = reply.read().decode()
    cookie = reply.getheader('Set-Cookie').split(';')[0]
    token = re.search(r'name="csrf-token" content="([0-9a-f]+)"', page).group(1)
    body = 'csrf=%s&port=%s&op=upload' % (token, link)
    connection.request('POST', '/calibrators/op', body,
                       {'Cookie': cookie, 'Accept': 'application/json',
                        'Content-Type': 'application/x-www-form-urlencoded'})
    connection.getresponse().read()
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        if any(s.get('outcome') and s['status'] != 'busy' for _, s in live.heard):
            break
        time.sleep(0.1)
    return [at - s['progress']['stamp'] for at, s in live.heard
            if s.get('progress') and s['status'] == 'busy']


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--archive', required=True, help='a filled archive (web_archive)')
    parser.add_argument('--kvtlnk', default=os.path.join(BUILD, 'tools/cli/kvtlnk'))
    parser.add_argument('--kvtsim', default=os.path.join(BUILD, 'tools/emulator/kvtsim'))
    parser.add_argument('--client', default=os.path.join(BUILD, 'bench/web_load_client'))
    parser.add_argument('--lab', default=os.path.join(os.path.dirname(HERE), 'app/lab/lab.toml'))
    parser.add_argument('--example',
                        default=os.path.join(os.path.dirname(HERE), 'examples/procedure.json'))
    parser.add_argument('--clients', type=int, default=20)
    parser.add_argument('--requests', type=int, default=50, help='per client and page')
    parser.add_argument('--pages', type=int, default=50,
                        help='different instrument and calibration pages asked for')
    parser.add_argument('--seconds', type=float, default=60, help='at most, per page')
    parser.add_argument('--idle', type=float, default=20, help='seconds of idle measured')
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix='kvtweb-load-')
    link = os.path.join(scratch, 'k27')
    emulator = subprocess.Popen([args.kvtsim, '--run', '--link', link], stdout=subprocess.PIPE)
    emulator.stdout.readline()
    subprocess.run([args.kvtlnk, '-q', '--port', link, 'download', '--discard-results',
                    args.example], check=True, stdout=subprocess.DEVNULL)
    port = free_port()
    server = start_server(args, port, link)
    try:
        connection = http.client.HTTPConnection('127.0.0.1', port, timeout=60)
        listing = get(connection, '/instruments')
        tags = re.findall(r'href="(/instrument\?tag=[^"]+)"', listing)
        events = re.findall(r'href="(/calibrations/\d+)"', listing)
        print('first visits, one at a time: instrument page %s ms, calibration page %s ms' %
              (first_visits(connection, tags[:10]), first_visits(connection, events[:10])))
        pages = [('instrument list', ['/instruments']),
                 ('instrument page', tags[10:][-args.pages:]),
                 ('calibration page', events[10:][-args.pages:])]
        print('%d clients, at most %d requests each or %g s a page, over %d pages of each' %
              (args.clients, args.requests, args.seconds, len(pages[1][1])))
        for name, paths in pages:
            # First every client at once on pages no one opened yet (each made once, the
            # others waiting for it), then the same pages again and again as visitors browse.
            if len(paths) > 1:
                report(name + ', first', load(args, port, paths, -(-len(paths) // args.clients)))
            report(name, load(args, port, paths, args.requests))
        print('idle CPU with a live page open: %.2f %% over %g s' %
              (idle_cpu(server, port, args.idle), args.idle))
        delays = progress_delays(args, port, link)
        if delays:
            print('upload steps on a live page: %d, delay p50 %.1f ms, p95 %.1f ms, max %.1f ms' %
                  (len(delays), percentile(delays, 50), percentile(delays, 95), max(delays)))
        else:
            print('no upload step reached the live page')
    finally:
        server.terminate()
        server.wait()
        emulator.terminate()
        emulator.wait()


if __name__ == '__main__':
    sys.exit(main())
