#!/usr/bin/env python3
"""Speed of FileSearch with every result list over a generated tree of
10,000 files in 100 folders, against `find` printing the same facts (path,
size, attributes, depth and the three times) for the same tree.

FileSearch runs in the Windows build through zorvat.exe under Wine: the
script searches the tree SEARCHES times, and the figure is the wall time of
`zorvat run` on it minus that of an empty script, divided by SEARCHES, best
of RUNS runs in one Wine environment (the repetition keeps Wine's start-up
noise out of the figure).
`find` is timed as a whole process, best of RUNS runs. It is not a test: the
machine is shared and noisy.

    bench/file_search.py [RUNS]
"""
import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = 100
FILES_PER_FOLDER = 100
SEARCHES = 20


def best_of(runs, command):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, cwd=REPO, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def make_tree(root):
    for d in range(FOLDERS):
        folder = os.path.join(root, f'folder{d:03}')
        os.mkdir(folder)
        for f in range(FILES_PER_FOLDER):
            with open(os.path.join(folder, f'file{f:03}.txt'), 'wb') as out:
                out.write(b'x' * (f % 7))


def windows_path(path):
    return 'Z:' + path.replace('/', '\\')


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    subprocess.run(['tools/build.sh', 'windows'], cwd=REPO, check=True,
                   stdout=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, 'tree')
        os.mkdir(tree)
        make_tree(tree)
        empty = os.path.join(work, 'empty.zvs')
        search = os.path.join(work, 'search.zvs')
        with open(empty, 'w') as f:
            f.write('Exit 0\n')
        # Every list; the script fails unless it found every folder and file.
        with open(search, 'w') as f:
            f.write('GlobalsAlloc 9 .\n'
                    'SetDWORD 8 0\n'
                    '^again\n'
                    f'FileSearch "{windows_path(tree)}" 0 1 1 2 3 4 5 6 .\n'
                    'VarAdd 8 1 .\n'
                    f'Switch 8 {SEARCHES} ^done .\n'
                    'Goto ^again\n'
                    '^done\n'
                    'ItemCount 0 7\n'
                    f'Switch 7 {FOLDERS * (FILES_PER_FOLDER + 1)} ^found .\n'
                    'Exit 1\n'
                    '^found\n'
                    'Exit 0\n')
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
                                   search], cwd=REPO, check=True, capture_output=True,
                                  text=True).stdout
        wine = {line.split()[0]: float(line.split()[1]) for line in wine_out.splitlines()}
        ours = max(wine[search] - wine[empty], 1e-6) / SEARCHES
        find = best_of(runs, ['find', tree, '-printf', '%p %s %m %d %C@ %A@ %T@\\n'])
    entries = FOLDERS * (FILES_PER_FOLDER + 1)
    print(f'tree: {entries} entries ({FOLDERS} folders, {FOLDERS * FILES_PER_FOLDER} files)')
    print(f'FileSearch, every list (Wine): {ours:.3f}s')
    print(f'find -printf, the same facts:  {find:.3f}s')
    print(f'FileSearch / find: {ours / find:.2f}x')


if __name__ == '__main__':
    main()
