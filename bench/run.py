#!/usr/bin/env python3
"""Speed of the executor against Lua 5.4 and Python 3 on the same small
programs (bench/programs): an empty counting loop, integer arithmetic, a
subroutine call and return, filling and summing a 1,000,000-item array, a
recursive Fibonacci of 30 with a frame and locals per call, Collatz step
counts for 1..100,000, integer-to-text with concatenation 1,000,000 times,
and appending 1,000,000 integers one by one and then finding the last one.

Ours runs twice: as the native build of the portable core (execution time
measured inside the process by bench/script_bench) and as the Windows build
through zorvat.exe under Wine (wall time of `zorvat run` minus that of an
empty script). Lua and Python are timed as whole processes minus their
empty-program start. Each figure is the best of RUNS runs. It is not a test:
the machine is shared and noisy.

    bench/run.py [RUNS]
"""
import math
import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = ['count_loop', 'arithmetic', 'calls', 'array', 'fib', 'collatz', 'concat', 'append']
# Instructions the counting loop executes: VarAdd and Switch, 10,000,000 times.
COUNT_LOOP_INSTRUCTIONS = 2 * 10_000_000


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


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    sh('tools/setup.sh')
    if not os.path.exists(os.path.join(REPO, 'build/bench/build.ninja')):
        sh('cmake', '--preset', 'bench', stdout=subprocess.DEVNULL)
    sh('cmake', '--build', 'build/bench', '--target', 'script_bench', 'command_list_files',
       stdout=subprocess.DEVNULL)
    sh('tools/build.sh', 'windows', stdout=subprocess.DEVNULL)

    scripts = [f'bench/programs/{p}.zvs' for p in PROGRAMS]
    out = subprocess.run(['build/bench/bench/script_bench', 'build/bench/bin/Commands.txt',
                          str(runs)] + scripts, cwd=REPO, check=True, capture_output=True,
                         text=True).stdout
    native = {line.split()[0]: float(line.split()[1]) for line in out.splitlines()}

    with tempfile.TemporaryDirectory() as empty:
        for name, text in (('empty.zvs', 'Exit 0\n'), ('empty.lua', ''), ('empty.py', '')):
            with open(os.path.join(empty, name), 'w') as f:
                f.write(text)
        lua_start = best_of(runs, ['lua5.4', f'{empty}/empty.lua'])
        py_start = best_of(runs, ['python3', f'{empty}/empty.py'])
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
        wine_out = subprocess.run(['tools/wine_env.sh', 'python3', '-c', timer, str(runs),
                                   f'{empty}/empty.zvs'] + scripts, cwd=REPO, check=True,
                                  capture_output=True, text=True).stdout
    wine = {line.split()[0]: float(line.split()[1]) for line in wine_out.splitlines()}
    wine_start = wine.pop(f'{empty}/empty.zvs')

    print(f'{"program":<12} {"ours native":>12} {"ours Wine":>12} {"Lua 5.4":>10} '
          f'{"Python 3":>10} {"Py/native":>10} {"Py/Wine":>8} {"native/Lua":>11}')
    lua_ratios = []
    for p in PROGRAMS:
        n = native[f'bench/programs/{p}.zvs']
        w = max(wine[f'bench/programs/{p}.zvs'] - wine_start, 1e-6)
        lua = max(best_of(runs, ['lua5.4', f'bench/programs/{p}.lua']) - lua_start, 1e-6)
        py = max(best_of(runs, ['python3', f'bench/programs/{p}.py']) - py_start, 1e-6)
        lua_ratios.append(n / lua)
        print(f'{p:<12} {n:>11.3f}s {w:>11.3f}s {lua:>9.3f}s {py:>9.3f}s '
              f'{py / n:>9.2f}x {py / w:>7.2f}x {n / lua:>10.2f}x')
        if p == 'count_loop':
            count_native, count_wine = n, w
    geomean = math.exp(sum(math.log(r) for r in lua_ratios) / len(lua_ratios))
    print(f'native/Lua geometric mean: {geomean:.2f}x, worst {max(lua_ratios):.2f}x')
    print(f'counting loop per instruction: {count_native / COUNT_LOOP_INSTRUCTIONS * 1e9:.1f} ns '
          f'native, {count_wine / COUNT_LOOP_INSTRUCTIONS * 1e9:.1f} ns under Wine')
    print(f'load average at the end: {os.getloadavg()[0]:.1f} (2 cores)')
    print('Py/native, Py/Wine > 1: ours is faster than Python 3 by that factor.')
    print('native/Lua: how many times Lua 5.4\'s time the native build takes.')


if __name__ == '__main__':
    main()
