#!/usr/bin/env python3
"""Soak run of the real program: tolva, built for stations on 127.0.0.1, plays through a
link that stalls and drops now and then (stream_server --soak) into a private PulseAudio, under
Xvfb with a tray, while keys tune it TUNINGS times spread across MINUTES and the panel
loads an ad at each tuning. Prints PSS (whole process tree, smaps_rollup), threads and open
descriptors at the start, every minute and at the end; a crash, a tuning the window does not
follow, or silence at a minute mark is reported.
  bench/soak.py [--minutes 10] [--tunings 200] [--port 8711] [--no-build]"""
import argparse, os, random, re, shutil, signal, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ap = argparse.ArgumentParser()
ap.add_argument('--minutes', type=float, default=10)
ap.add_argument('--tunings', type=int, default=None, help='default 20 a minute')
ap.add_argument('--port', type=int, default=8711)
ap.add_argument('--seed', type=int, default=18)
ap.add_argument('--build-dir', default=os.path.join(ROOT, 'build-soak'))
ap.add_argument('--no-build', action='store_true')
args = ap.parse_args()
tunings = args.tunings if args.tunings is not None else round(20 * args.minutes)
duration = args.minutes * 60
STATIONS = 17

if not args.no_build:
    subprocess.run([os.path.join(ROOT, 'scripts', 'setup'), '--tests', '--bench'], check=True)
    here = '127.0.0.1:%d' % args.port
    subprocess.run(['cmake', '-S', ROOT, '-B', args.build_dir, '-DCMAKE_BUILD_TYPE=RelWithDebInfo',
                    '-DCMAKE_CXX_COMPILER_LAUNCHER=ccache', '-DTOLVA_BUILD_TESTS=OFF',
                    '-DTOLVA_STREAM_HOST_A=' + here, '-DTOLVA_STREAM_HOST_B=127.0.0.1',
                    '-DTOLVA_STREAM_HOST_C=' + here, '-DTOLVA_AD_HOST=' + here,
                    '-DTOLVA_SITE_URL=http://%s/' % here], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(['cmake', '--build', args.build_dir, '-j1', '--target', 'tolva', 'stream_server'], check=True,
                   stdout=subprocess.DEVNULL)
program = os.path.join(args.build_dir, 'bin', 'tolva')

tmp = tempfile.mkdtemp(prefix='tolva-soak-')
procs = []
def start(cmd, **kw):
    p = subprocess.Popen(cmd, **kw); procs.append(p); return p
def cleanup():
    for p in reversed(procs):
        if p.poll() is None:
            p.terminate()
            try: p.wait(5)
            except subprocess.TimeoutExpired: p.kill()
    shutil.rmtree(tmp, ignore_errors=True)

env = dict(os.environ, HOME=tmp, XDG_RUNTIME_DIR=tmp, PULSE_SERVER='unix:%s/native' % tmp)
try:
    server = start([os.path.join(args.build_dir, 'bin', 'stream_server'), '--soak', str(args.seed), str(args.port)],
                   stdout=subprocess.PIPE, text=True)
    if server.stdout.readline().strip() != 'server: ready':
        sys.exit('the stream server did not start (ports %d and 4570 free?)' % args.port)
    start(['pulseaudio', '-n', '--daemonize=no', '--exit-idle-time=-1', '-L', 'module-null-sink sink_name=t',
           '-L', 'module-native-protocol-unix socket=%s/native' % tmp], env=env,
          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    r, w = os.pipe()
    start(['Xvfb', '-displayfd', str(w), '-screen', '0', '1024x768x24', '-dpi', '96', '-nolisten', 'tcp'],
          pass_fds=(w,), stderr=subprocess.DEVNULL)
    os.close(w)
    env['DISPLAY'] = ':' + os.read(r, 16).decode().strip()
    env.update(QT_QPA_PLATFORM='xcb', QTWEBENGINE_CHROMIUM_FLAGS='--disable-gpu')
    if os.getuid() == 0:
        env['QTWEBENGINE_DISABLE_SANDBOX'] = '1'
    start(['trayer', '--edge', 'top', '--align', 'right', '--widthtype', 'request'], env=env,
          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(os.path.join(tmp, 'native')): break
        time.sleep(0.1)
    try: os.remove(os.path.join(os.path.dirname(program), 'Tolva.ini'))
    except FileNotFoundError: pass
    log = open(os.path.join(tmp, 'tolva.log'), 'w')
    tolva = start([program], env=env, stdout=log, stderr=subprocess.STDOUT)

    def xdo(*a):
        return subprocess.run(['xdotool', *a], env=env, capture_output=True, text=True, timeout=10).stdout.strip()
    window = ''
    for _ in range(100):
        window = xdo('search', '--name', 'Радиоприёмник Tolva').split('\n')[0]
        if window: break
        time.sleep(0.2)
    if not window:
        sys.exit('the window did not appear')

    def tree(pid):
        kids = {}
        for d in os.listdir('/proc'):
            if d.isdigit():
                try: ppid = int(open('/proc/%s/stat' % d).read().rsplit(')', 1)[1].split()[1])
                except OSError: continue
                kids.setdefault(ppid, []).append(int(d))
        out, todo = [], [pid]
        while todo:
            p = todo.pop(); out.append(p); todo += kids.get(p, [])
        return out
    def figures():
        pss = threads = fds = 0
        main = None
        pids = tree(tolva.pid)
        for p in pids:
            try:
                kb = int(re.search(r'^Pss:\s+(\d+)', open('/proc/%d/smaps_rollup' % p).read(), re.M).group(1))
                th = int(re.search(r'^Threads:\s+(\d+)', open('/proc/%d/status' % p).read(), re.M).group(1))
                fd = len(os.listdir('/proc/%d/fd' % p))
            except (OSError, AttributeError):
                continue
            pss += kb; threads += th; fds += fd
            if p == tolva.pid: main = (kb, th, fd)
        clients = subprocess.run(['pactl', 'list', 'short', 'clients'], env=env, capture_output=True,
                                 text=True, timeout=10).stdout.count('\n')
        return dict(pss=pss / 1024, procs=len(pids), threads=threads, fds=fds, pulse=clients,
                    main_pss=main[0] / 1024, main_threads=main[1], main_fds=main[2])
    def fd_kinds(pid):
        # Sockets by family and peer port, the rest by kind: where descriptors pile up.
        inodes = {}
        for table in ('tcp', 'tcp6'):
            for line in open('/proc/net/' + table).readlines()[1:]:
                f = line.split()
                inodes[f[9]] = 'tcp:%d' % int(f[2].split(':')[1], 16)
        for line in open('/proc/net/unix').readlines()[1:]:
            f = line.split()
            inodes[f[6]] = 'unix'
        kinds = {}
        for fd in os.listdir('/proc/%d/fd' % pid):
            try: target = os.readlink('/proc/%d/fd/%s' % (pid, fd))
            except OSError: continue
            m = re.match(r'socket:\[(\d+)\]', target)
            kind = inodes.get(m.group(1), 'socket') if m else re.sub(r'\[.*|:.*|/[^/]*$', '', target)
            kinds[kind] = kinds.get(kind, 0) + 1
        return dict(sorted(kinds.items(), key=lambda kv: -kv[1]))
    def sound():
        # One second from the sink's monitor: is the tone there?
        rec = os.path.join(tmp, 'monitor.raw')
        try:
            subprocess.run(['gst-launch-1.0', '-q', 'pulsesrc', 'device=t.monitor', 'num-buffers=100', '!',
                            'audio/x-raw,format=S16LE,channels=1,rate=8000', '!', 'filesink', 'location=' + rec],
                           env=env, capture_output=True, timeout=10)
            raw = open(rec, 'rb').read()
        except (subprocess.TimeoutExpired, OSError):
            return False
        samples = memoryview(raw[:len(raw) // 2 * 2]).cast('h')
        return len(samples) > 0 and max(abs(s) for s in samples) > 300

    rng = random.Random(args.seed)
    current, done, stuck, silent = 0, 0, [], 0
    rows = []
    def sample(label):
        f = figures(); f['label'] = label; f['tunings'] = done; f['sound'] = sound()
        if os.environ.get('SOAK_FD_KINDS'):  # where descriptors pile up
            print('  descriptors of tolva:', fd_kinds(tolva.pid), flush=True)
        rows.append(f)
        print('%-7s tunings %3d  PSS %7.1f MB (main %6.1f)  procs %2d  threads %3d (main %3d)  fds %4d (main %3d)  pulse clients %2d  sound %s  stuck %d'
              % (label, done, f['pss'], f['main_pss'], f['procs'], f['threads'], f['main_threads'], f['fds'],
                 f['main_fds'], f['pulse'], 'yes' if f['sound'] else 'NO', len(stuck)), flush=True)
        return f
    def tune():
        global current, done
        target = rng.choice([n for n in range(STATIONS) if n != current])
        before = xdo('getwindowname', window)
        key = 'Down' if target > current else 'Up'
        xdo('key', '--window', window, '--delay', '30', *([key] * abs(target - current)), 'Return')
        current = target; done += 1
        for _ in range(50):
            title = xdo('getwindowname', window)
            if title != before and ' - Играет: ' in title: return
            time.sleep(0.1)
        stuck.append((done, time.monotonic() - t0))
        print('  tuning %d: the title did not follow within 5 s (%r)' % (done, xdo('getwindowname', window)), flush=True)

    time.sleep(3)
    t0 = time.monotonic()
    tune()
    time.sleep(10)
    first = sample('start')
    next_tune, next_sample = t0 + duration / tunings, t0 + 60
    minute = 1
    while time.monotonic() - t0 < duration and tolva.poll() is None:
        now = time.monotonic()
        if now >= next_sample:
            sample('min %d' % minute); minute += 1; next_sample += 60
        elif now >= next_tune and done < tunings:
            tune(); next_tune += duration / tunings
        else:
            time.sleep(0.05)
    if tolva.poll() is not None:
        print('CRASH: tolva ended with %s after %.0f s and %d tunings' % (tolva.returncode, time.monotonic() - t0, done))
        print(open(os.path.join(tmp, 'tolva.log')).read()[-3000:])
        sys.exit(1)
    time.sleep(5)
    last = sample('end')
    tolva.send_signal(signal.SIGTERM)
    try: tolva.wait(10)
    except subprocess.TimeoutExpired: print('STUCK: tolva did not end within 10 s of SIGTERM')
    base = rows[1] if len(rows) > 2 else first
    print('\n%-18s %12s %12s %12s' % ('', first['label'], base['label'], last['label']))
    for k, name in (('pss', 'PSS MB, tree'), ('main_pss', 'PSS MB, main'), ('procs', 'processes'),
                    ('threads', 'threads, tree'), ('main_threads', 'threads, main'), ('fds', 'fds, tree'), ('main_fds', 'fds, main'), ('pulse', 'pulse clients')):
        print('%-18s %12.1f %12.1f %12.1f   %+.1f %% since %s' % (name, first[k], base[k], last[k],
              100 * (last[k] - base[k]) / base[k], base['label']))
    print('tunings %d, not followed by the title %d, minute marks without sound %d of %d'
          % (done, len(stuck), sum(not r['sound'] for r in rows), len(rows)))
    server.terminate()
    print('\n'.join(l.strip() for l in server.stdout.readlines()[-1:]))
finally:
    cleanup()
