#!/usr/bin/env python3
"""Speed of FileMd5 and FileCrc32 on a 256 MiB file, next to md5sum and
Python's zlib.crc32 (read in 1 MiB pieces, as ours reads) on the same file.

Ours runs twice: as the native build of the portable core (execution time
measured inside the process by bench/script_bench) and as the Windows build
through zorvat.exe under Wine (wall time of `zorvat run` minus that of an
empty script). md5sum and Python are timed as whole processes. Each figure
is the best of RUNS runs, with the file already in the page cache. Every run
of ours also checks its result against md5sum's and zlib's, so a fast wrong
answer fails. It is not a test: the machine is shared and noisy.

    bench/hash_bench.py [RUNS]
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import zlib

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZE = 256 * 1024 * 1024
PIECE = 1024 * 1024

PYTHON_CRC = ('import sys,zlib\n'
              'c=0\n'
              'with open(sys.argv[1],"rb") as f:\n'
              '  for b in iter(lambda: f.read(1048576), b""): c=zlib.crc32(b,c)\n'
              'print(format(c,"08x"))\n')


def sh(*args, **kw):
    subprocess.run(args, cwd=REPO, check=True, **kw)


def best_of(runs, command):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, cwd=REPO, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def make_file(path):
    """Bytes with no short period, written once and then read from the cache."""
    md5, crc = hashlib.md5(), 0
    with open(path, 'wb') as f:
        seed = os.urandom(PIECE)
        for i in range(SIZE // PIECE):
            piece = bytes([i & 0xFF]) + seed[1:]
            md5.update(piece)
            crc = zlib.crc32(piece, crc)
            f.write(piece)
    return md5.hexdigest(), crc


def script(path, command, expected):
    """Hashes the file and exits with 0 when the result is the expected one."""
    if command == 'FileMd5':
        check = (f'FileMd5 "{path}" 0\nBlockToHex @0 0\n'
                 f"BlockCompare 1 @0 '{expected}' .\n")
    else:
        check = f'FileCrc32 "{path}" 0\nCompareDWORD 1 @0 ${expected:08X}\n'
    return f'GlobalsAlloc 2 .\n{check}Switch 1 0 ^ok .\nExit 1\n^ok\nExit 0\n'


def windows_path(path):
    return 'Z:' + path.replace('/', '\\')


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    if not os.path.exists(os.path.join(REPO, 'build/bench/build.ninja')):
        sh('cmake', '--preset', 'bench', stdout=subprocess.DEVNULL)
    sh('cmake', '--build', 'build/bench', '-j2', '--target', 'script_bench', 'command_list_files',
       stdout=subprocess.DEVNULL)
    sh('cmake', '--build', 'build/windows', '-j2', stdout=subprocess.DEVNULL)

    with tempfile.TemporaryDirectory() as tmp:
        data = os.path.join(tmp, 'data.bin')
        md5, crc = make_file(data)
        scripts = {}
        for command, expected in (('FileMd5', md5), ('FileCrc32', crc)):
            for build, path in (('native', data), ('wine', windows_path(data))):
                name = os.path.join(tmp, f'{command}_{build}.zvs')
                with open(name, 'w') as f:
                    f.write(script(path, command, expected))
                scripts[command, build] = name
        empty = os.path.join(tmp, 'empty.zvs')
        with open(empty, 'w') as f:
            f.write('Exit 0\n')

        out = subprocess.run(['build/bench/bench/script_bench', 'build/bench/bin/Commands.txt',
                              str(runs), scripts['FileMd5', 'native'],
                              scripts['FileCrc32', 'native']],
                             cwd=REPO, check=True, capture_output=True, text=True).stdout
        native = {}
        for line in out.splitlines():
            name, seconds, status = line.split()
            if status != '0':
                sys.exit(f'hash_bench: {name} gave status {status}')
            native[name] = float(seconds)

        # One Wine environment for all the Windows runs.
        timer = ('import subprocess,sys,time\n'
                 'runs=int(sys.argv[1])\n'
                 'for s in sys.argv[2:]:\n'
                 '  best=None\n'
                 '  for _ in range(runs):\n'
                 '    t=time.perf_counter()\n'
                 '    subprocess.run(["wine","build/windows/bin/zorvat.exe","run",s],check=True,'
                 'stdout=subprocess.DEVNULL,stderr=subprocess.DEVNULL)\n'
                 '    e=time.perf_counter()-t; best=e if best is None else min(best,e)\n'
                 '  print(s,best)\n')
        wine_out = subprocess.run(['tools/wine_env.sh', 'python3', '-c', timer, str(runs), empty,
                                   scripts['FileMd5', 'wine'], scripts['FileCrc32', 'wine']],
                                  cwd=REPO, check=True, capture_output=True, text=True).stdout
        wine = {line.split()[0]: float(line.split()[1]) for line in wine_out.splitlines()}
        wine_start = wine.pop(empty)

        md5sum = best_of(runs, ['md5sum', data])
        pycrc = best_of(runs, ['python3', '-c', PYTHON_CRC, data])

    mb = SIZE / 1e6
    rate = lambda seconds: mb / max(seconds, 1e-6)
    print(f'{"256 MiB file":<12} {"ours native":>12} {"ours Wine":>12} {"reference":>12} '
          f'{"native/ref":>11} {"Wine/ref":>9}')
    for command, ref_name, ref in (('FileMd5', 'md5sum', md5sum), ('FileCrc32', 'zlib', pycrc)):
        n = native[scripts[command, 'native']]
        w = max(wine[scripts[command, 'wine']] - wine_start, 1e-6)
        print(f'{command:<12} {rate(n):>7.0f} MB/s {rate(w):>7.0f} MB/s {rate(ref):>7.0f} MB/s '
              f'{n / ref:>10.2f}x {w / ref:>8.2f}x   ({ref_name})')
    print('native/ref, Wine/ref: our time divided by the reference tool\'s (below 1: ours is faster).')


if __name__ == '__main__':
    main()
