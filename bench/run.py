#!/usr/bin/env python3
"""Speed of the executor against Lua 5.4 and Python 3 on the same small
programs (bench/programs): an empty counting loop, integer arithmetic, a
subroutine call and return, filling and summing a 1,000,000-item array, a
recursive Fibonacci of 30 with a frame and locals per call, Collatz step
counts for 1..100,000, integer-to-text with concatenation 1,000,000 times,
and appending 1,000,000 integers one by one and then finding the last one.

Ours runs twice, each time measured inside the process by bench/script_bench,
which times only the execution: as the native build of the portable core
(the bench preset) and as the Windows build (the windows preset's
script_bench.exe, the core library of Zorvat.dll with its flags) under Wine,
all programs in one Wine session. Lua and Python are timed as whole
processes minus their empty-program start. Each figure is the best of RUNS
runs. It is not a test: the machine is shared and noisy, so the load average
is printed with the figures.

    bench/run.py [RUNS] [--windows-build DIR]

--windows-build times the script_bench.exe of another Windows build folder,
such as build/windows-release (tools/build-release-pgo.sh builds it there).
"""
import argparse
import math
import os
import subprocess
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


def timed_in_process(command):
    """Runs script_bench and returns {script: seconds}; fails on a script that
    does not compile or stops with a status other than 0."""
    out = subprocess.run(command, cwd=REPO, check=True, stdout=subprocess.PIPE, text=True).stdout
    return {line.split()[0]: float(line.split()[1]) for line in out.splitlines() if line.strip()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('runs', nargs='?', type=int, default=3)
    parser.add_argument('--windows-build', default='build/windows')
    args = parser.parse_args()
    runs, windows = args.runs, args.windows_build
    sh('tools/setup.sh')
    if not os.path.exists(os.path.join(REPO, 'build/bench/build.ninja')):
        sh('cmake', '--preset', 'bench', stdout=subprocess.DEVNULL)
    sh('cmake', '--build', 'build/bench', '--target', 'script_bench', 'command_list_files',
       stdout=subprocess.DEVNULL)
    if windows == 'build/windows' and not os.path.exists(
            os.path.join(REPO, windows, 'build.ninja')):
        sh('cmake', '--preset', 'windows', stdout=subprocess.DEVNULL)
    # Not part of the Windows build's default target: built here only.
    sh('cmake', '--build', windows, '--target', 'script_bench', stdout=subprocess.DEVNULL)

    load_start = os.getloadavg()[0]
    scripts = [f'bench/programs/{p}.zvs' for p in PROGRAMS]
    native = timed_in_process(['build/bench/bench/script_bench', 'build/bench/bin/Commands.txt',
                               str(runs)] + scripts)
    wine = timed_in_process(['tools/wine_env.sh', 'wine', f'{windows}/bench/script_bench.exe',
                             f'{windows}/bin/Commands.txt', str(runs)] + scripts)

    with tempfile.TemporaryDirectory() as empty:
        for name, text in (('empty.lua', ''), ('empty.py', '')):
            with open(os.path.join(empty, name), 'w') as f:
                f.write(text)
        lua_start = best_of(runs, ['lua5.4', f'{empty}/empty.lua'])
        py_start = best_of(runs, ['python3', f'{empty}/empty.py'])

    print(f'{"program":<12} {"ours native":>12} {"ours Wine":>12} {"Lua 5.4":>10} '
          f'{"Python 3":>10} {"Py/native":>10} {"Py/Wine":>8} {"native/Lua":>11}')
    lua_ratios = []
    slower_than_python = []
    for p in PROGRAMS:
        n = max(native[f'bench/programs/{p}.zvs'], 1e-6)
        w = max(wine[f'bench/programs/{p}.zvs'], 1e-6)
        lua = max(best_of(runs, ['lua5.4', f'bench/programs/{p}.lua']) - lua_start, 1e-6)
        py = max(best_of(runs, ['python3', f'bench/programs/{p}.py']) - py_start, 1e-6)
        lua_ratios.append(n / lua)
        slower_than_python += [f'{p} ({build})' for build, t in (('native', n), ('Wine', w))
                               if t >= py]
        print(f'{p:<12} {n:>11.3f}s {w:>11.3f}s {lua:>9.3f}s {py:>9.3f}s '
              f'{py / n:>9.2f}x {py / w:>7.2f}x {n / lua:>10.2f}x')
        if p == 'count_loop':
            count_native, count_wine = n, w
    geomean = math.exp(sum(math.log(r) for r in lua_ratios) / len(lua_ratios))
    print(f'native/Lua geometric mean: {geomean:.2f}x, worst {max(lua_ratios):.2f}x')
    print('slower than Python 3: ' + (', '.join(slower_than_python) or 'none'))
    print(f'counting loop per instruction: {count_native / COUNT_LOOP_INSTRUCTIONS * 1e9:.1f} ns '
          f'native, {count_wine / COUNT_LOOP_INSTRUCTIONS * 1e9:.1f} ns under Wine')
    print(f'load average (1 min): {load_start:.1f} at the start, {os.getloadavg()[0]:.1f} '
          f'at the end, on {os.cpu_count()} cores')
    print('Py/native, Py/Wine > 1: ours is faster than Python 3 by that factor.')
    print('native/Lua: how many times Lua 5.4\'s time the native build takes.')


if __name__ == '__main__':
    main()
