#!/usr/bin/python3
"""A soak of the bench page: kvtlnk serve on 127.0.0.1 only, with one emulated calibrator.

Round after round for SECONDS: the example procedure is downloaded through the page (the
emulator performs its tests at once), its results are uploaded through the page into the
archive (so every kept page is made anew), then CLIENTS clients ask for the instrument list,
instrument and calibration pages for ROUND seconds. At the end the archive must hold each
result once, and the server and its worker must have answered every request. Prints the
rounds, the answers, the errors and the resident memory of the server and of its worker,
round by round.

--env NAME=VALUE runs the server with that in its environment (MALLOC_ARENA_MAX=2, say).
--malloc-stats asks the server's malloc after each round, through gdb, what it holds from the
system and what of it is in use (a heap that grows in use is kept data; one that grows only in
what it holds is freed memory not given back), and at the end what a malloc_trim(0) gives back.
--heaptrack FILE attaches heaptrack to the server after the first round (the warm-up), so that
what is still allocated at the end is what the later rounds kept (heaptrack_print FILE.zst).

    build/bench/web_archive /tmp/a.db 100 10          # 1,000 results to start from
    /usr/bin/python3 bench/web_soak.py --archive /tmp/a.db --seconds 600
"""
import argparse
import http.client
import os
import re
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import uuid

import web_load


def kib(path, field):
    """A figure in KiB from a /proc file of lines "Field:   123 kB", 0 when it lacks it."""
    with open(path) as f:
        for line in f:
            if line.startswith(field + ':'):
                return int(line.split()[1])
    return 0


def rss_kib(pid):
    return kib('/proc/%d/status' % pid, 'VmRSS')


def anonymous_kib(pid):
    """The server's anonymous memory: its heaps and thread stacks, not its mapped files."""
    return kib('/proc/%d/smaps_rollup' % pid, 'Anonymous')


def descriptors(pid, archive):
    """The process's descriptors on the archive's file: one an open connection, and those SQLite
    keeps of closed ones while another holds a lock on the file."""
    fd = '/proc/%d/fd' % pid
    return sum(1 for d in os.listdir(fd)
               if os.path.realpath(os.path.join(fd, d)) == os.path.realpath(archive))


def gdb_call(pid, call):
    """Has the process make a call (it stops for as long as gdb is attached)."""
    subprocess.run(['gdb', '-p', str(pid), '-batch', '-nx', '-ex', 'call ' + call],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def malloc_stats(pid, said):
    """The arenas, the bytes they hold from the system and those in use, from malloc_stats()."""
    start = len(said)
    gdb_call(pid, '(void) malloc_stats()')
    time.sleep(0.2)  # its standard error is read by another thread
    lines = said[start:]
    arenas = sum(1 for line in lines if line.startswith('Arena '))
    total = [line for line in lines if line.startswith('Total (incl. mmap)')]
    if not total:
        return None
    i = lines.index(total[0])
    system = int(lines[i + 1].split('=')[1])
    in_use = int(lines[i + 2].split('=')[1])
    return arenas, system // 1024, in_use // 1024


def held(archive):
    """The results the archive holds, and how many distinct ones."""
    with sqlite3.connect('file:%s?mode=ro' % archive, uri=True) as db:
        return db.execute('SELECT COUNT(*), COUNT(DISTINCT calibrator_serial || taken || '
                          'result_hash) FROM results').fetchone()


def children(pid):
    try:
        with open('/proc/%d/task/%d/children' % (pid, pid)) as f:
            return [int(c) for c in f.read().split()]
    except OSError:
        return []


class Page:
    """A visitor of the page with its cookie and CSRF token, and a live page open."""

    def __init__(self, port):
        self.port = port
        self.live = web_load.Live(port)
        self.live.start()
        connection = http.client.HTTPConnection('127.0.0.1', port, timeout=60)
        connection.request('GET', '/calibrators')
        reply = connection.getresponse()
        page = reply.read().decode()
        self.cookie = reply.getheader('Set-Cookie').split(';')[0]
        self.token = re.search(r'name="csrf-token" content="([0-9a-f]+)"', page).group(1)

    def operate(self, link, op, upload=None):
        """Asks the calibrator on link for op and waits for its outcome; the outcome."""
        fields = {'csrf': self.token, 'port': link, 'op': op}
        boundary = uuid.uuid4().hex
        body = b''
        for name, value in fields.items():
            body += ('--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' %
                     (boundary, name, value)).encode()
        if upload:
            body += ('--%s\r\nContent-Disposition: form-data; name="file"; filename="%s"\r\n'
                     'Content-Type: application/json\r\n\r\n' %
                     (boundary, os.path.basename(upload))).encode()
            with open(upload, 'rb') as f:
                body += f.read() + b'\r\n'
        body += ('--%s--\r\n' % boundary).encode()
        heard = len(self.live.heard)
        connection = http.client.HTTPConnection('127.0.0.1', self.port, timeout=60)
        connection.request('POST', '/calibrators/op', body,
                           {'Cookie': self.cookie, 'Accept': 'application/json',
                            'Content-Type': 'multipart/form-data; boundary=' + boundary})
        reply = connection.getresponse()
        reply.read()
        if reply.status >= 400:
            return 'refused (%d)' % reply.status
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            for _, s in self.live.heard[heard:]:
                if s.get('outcome') and s.get('status') != 'busy':
                    kind = s['outcome'].get('kind', '?')
                    return kind if kind == 'done' else '%s (%s)' % (kind,
                                                                   s['outcome'].get('message'))
            time.sleep(0.1)
        return 'no outcome within 120 s'


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--archive', required=True, help='an SQLite archive (web_archive)')
    parser.add_argument('--seconds', type=float, default=300)
    parser.add_argument('--round', type=float, default=10, help='seconds of load a round')
    parser.add_argument('--clients', type=int, default=10)
    parser.add_argument('--env', action='append', default=[], metavar='NAME=VALUE',
                        help="in the server's environment")
    parser.add_argument('--malloc-stats', action='store_true',
                        help="the server's malloc figures each round, through gdb")
    parser.add_argument('--heaptrack', metavar='FILE',
                        help='heaptrack attached to the server after the first round')
    args = parser.parse_args()
    args.kvtlnk = os.path.join(web_load.BUILD, 'tools/cli/kvtlnk')
    args.kvtsim = os.path.join(web_load.BUILD, 'tools/emulator/kvtsim')
    args.client = os.path.join(web_load.BUILD, 'bench/web_load_client')
    args.lab = os.path.join(os.path.dirname(web_load.HERE), 'app/lab/lab.toml')
    args.requests = 1000000
    example = os.path.join(os.path.dirname(web_load.HERE), 'examples/procedure.json')

    scratch = tempfile.mkdtemp(prefix='kvtweb-soak-')
    link = os.path.join(scratch, 'k27')
    emulator = subprocess.Popen([args.kvtsim, '--run', '--link', link], stdout=subprocess.PIPE)
    emulator.stdout.readline()
    before = held(args.archive)
    port = web_load.free_port()
    server = web_load.start_server(args, port, link,
                                   dict(e.split('=', 1) for e in args.env))
    said = []  # what the server wrote to its standard error, read as it comes
    threading.Thread(target=lambda: said.extend(server.stderr), daemon=True).start()
    rounds = answers = errors = 0
    outcomes = {}
    memory = []  # (seconds, server KiB, worker KiB)
    profiler = None
    started = time.monotonic()
    try:
        page = Page(port)
        while time.monotonic() - started < args.seconds:
            rounds += 1
            for op, upload in (('download', example), ('upload', None)):
                outcome = page.operate(link, op, upload)
                outcomes[(op, outcome)] = outcomes.get((op, outcome), 0) + 1
            connection = http.client.HTTPConnection('127.0.0.1', port, timeout=60)
            listing = web_load.get(connection, '/instruments')
            connection.close()
            paths = (['/instruments'] + re.findall(r'href="(/instrument\?tag=[^"]+)"', listing)[:20]
                     + re.findall(r'href="(/calibrations/\d+)"', listing)[:20])
            f = web_load.load(argparse.Namespace(client=args.client, clients=args.clients,
                                                 seconds=args.round),
                              port, paths, args.requests)
            answers += f['answers']
            errors += f['errors']
            workers = children(server.pid)
            memory.append((time.monotonic() - started, rss_kib(server.pid),
                           sum(rss_kib(w) for w in workers)))
            line = ('round %d at %.0f s: server %d KiB resident, %d anonymous, %d descriptors '
                    'on the archive' % (rounds, memory[-1][0], memory[-1][1],
                                        anonymous_kib(server.pid),
                                        descriptors(server.pid, args.archive)))
            if args.malloc_stats:
                figures = malloc_stats(server.pid, said)
                if figures:
                    line += '; malloc: %d arenas, %d KiB from the system, %d in use' % figures
            print(line, flush=True)
            if args.heaptrack and not profiler:
                profiler = subprocess.Popen(['heaptrack', '-o', args.heaptrack, '-p',
                                             str(server.pid)], stdout=subprocess.DEVNULL)
                time.sleep(3)  # it injects itself before the next round
        if args.malloc_stats:
            resident = rss_kib(server.pid)
            gdb_call(server.pid, '(int) malloc_trim(0)')
            print('malloc_trim(0) at the end: server %d KiB resident before, %d after' %
                  (resident, rss_kib(server.pid)))
    except (OSError, http.client.HTTPException) as e:
        print('the server stopped answering (%s); exit status %s; it said last:\n%s' %
              (e, server.poll(), ''.join(said[-20:])))
        return 1
    finally:
        if profiler:
            server.kill()  # no shutdown: what is allocated now stays in the profile as kept
        else:
            server.terminate()
        server.wait()
        if profiler:
            profiler.wait()
        emulator.terminate()
        emulator.wait()
    print('soak of the bench page: %.0f s, %d rounds, %d clients' %
          (time.monotonic() - started, rounds, args.clients))
    for (op, outcome), n in sorted(outcomes.items()):
        print('  %s: %s %d times' % (op, outcome, n))
    print('  pages answered %d, errors %d' % (answers, errors))
    first, last = memory[0], memory[-1]
    print('  server resident memory: first round %d KiB, last %d KiB, largest %d KiB' %
          (first[1], last[1], max(m[1] for m in memory)))
    samples = [memory[int(k * (len(memory) - 1) / 5)] for k in range(6)]
    print('  server resident memory over time: ' +
          ', '.join('%d KiB at %.0f s' % (m[1], m[0]) for m in samples))
    if max(m[2] for m in memory):
        print('  worker resident memory: first round %d KiB, last %d KiB, largest %d KiB' %
              (first[2], last[2], max(m[2] for m in memory)))
    after = held(args.archive)
    stored = after[0] - before[0]
    print('  results stored %d (%d a round), each once: %s' %
          (stored, stored // max(rounds, 1), after[0] == after[1]))
    return 1 if after[0] != after[1] or errors or any(o != 'done' for (_, o) in outcomes) else 0


if __name__ == '__main__':
    sys.exit(main())
