#!/usr/bin/env python3
"""Figures of the whole program, started the way a user starts it: the tolva
executable built with its stations and advertisement pages on 127.0.0.1
(stream_server), on a private Xvfb with a window manager (openbox)
and a tray (trayer), playing into a private PulseAudio null sink. Prints, side
by side with their peers and targets:
  - start to list drawn (row 1's red band on screen) against a bare Qt window,
    and against the floor under it: that window with the menu bar's and the list's text;
  - PSS of the whole process tree 10 s into play, and after 30 more tunings;
  - threads after the first tuning and after 30 more;
  - CPU % of one core over 20 s of play against gst-launch-1.0 playbin.
Not a test. Usage: bench/program_bench.py [--runs N] [--tunings N] [--no-build]"""
import argparse, array, os, shutil, signal, statistics, struct, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STREAM = 'http://127.0.0.1:8701/stream'
TICK = os.sysconf('SC_CLK_TCK')
procs = []


def spawn(cmd, env=None, **kw):
    p = subprocess.Popen(cmd, env=env, stdout=kw.pop('stdout', subprocess.DEVNULL),
                         stderr=kw.pop('stderr', subprocess.DEVNULL), **kw)
    procs.append(p)
    return p


def stop(p):
    if p.poll() is None:
        p.terminate()
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def wait_for(check, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if check():
            return
        time.sleep(0.1)
    sys.exit('program_bench: %s did not come up' % what)


def build(build_dir):
    subprocess.run([os.path.join(ROOT, 'scripts/setup'), '--tests', '--bench'], check=True)
    launcher = ['-DCMAKE_CXX_COMPILER_LAUNCHER=ccache'] if shutil.which('ccache') else []
    subprocess.run(['cmake', '-S', ROOT, '-B', build_dir, '-DCMAKE_BUILD_TYPE=RelWithDebInfo',
                    '-DTOLVA_BUILD_TESTS=OFF', '-DTOLVA_BUILD_BENCH=ON',
                    '-DTOLVA_STREAM_HOST_A=127.0.0.1:8701', '-DTOLVA_STREAM_HOST_B=127.0.0.1',
                    '-DTOLVA_STREAM_HOST_C=127.0.0.1:8701', '-DTOLVA_AD_HOST=127.0.0.1:8701',
                    '-DTOLVA_SITE_URL=http://127.0.0.1:8701/'] + launcher,
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(['cmake', '--build', build_dir, '-j%d' % (os.cpu_count() or 2),
                    '--target', 'tolva', 'bare_window', 'text_floor_window', 'screen_watch', 'stream_server'],
                   check=True,
                   stdout=subprocess.DEVNULL)


def tree(pid):
    """pid and all its descendants."""
    parents = {}
    for d in os.listdir('/proc'):
        if d.isdigit():
            try:
                with open('/proc/%s/stat' % d) as f:
                    parents[int(d)] = int(f.read().rsplit(')', 1)[1].split()[1])
            except OSError:
                pass
    found = [pid]
    for p in found:
        found += [c for c, pp in parents.items() if pp == p]
    return found


def read(path):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return ''


def pss_kib(pids):
    return sum(int(line.split()[1]) for p in pids for line in read('/proc/%d/smaps_rollup' % p).splitlines()
               if line.startswith('Pss:'))


def unique_kib(pids):
    """The tree's resident pages, each counted once (from /proc/<pid>/pagemap, as root): its PSS
    with no other process sharing a page. PSS itself falls when other programs map the same
    libraries (other Qt WebEngine programs on a shared machine), this does not."""
    frames, span = set(), None
    for p in pids:
        try:
            lines = read('/proc/%d/smaps' % p).splitlines()
            pagemap = open('/proc/%d/pagemap' % p, 'rb')
        except OSError:
            continue
        with pagemap:
            for line in lines:
                f = line.split()
                if f and not f[0].endswith(':'):
                    span = [int(x, 16) // 4096 for x in f[0].split('-')]
                elif f and f[0] == 'Rss:' and int(f[1]) and span:
                    pagemap.seek(span[0] * 8)
                    frames.update(e & ((1 << 55) - 1) for (e,) in
                                  struct.iter_unpack('<Q', pagemap.read((span[1] - span[0]) * 8)) if e >> 63)
    return 4 * len(frames) if frames and max(frames) else 0  # frame numbers read as 0 without root


def threads(pid):
    return sum(int(line.split()[1]) for line in read('/proc/%d/status' % pid).splitlines()
               if line.startswith('Threads:'))


def cpu_ticks(pids):
    total = 0
    for p in pids:
        fields = read('/proc/%d/stat' % p).rsplit(')', 1)[-1].split()
        if len(fields) > 13:
            total += int(fields[11]) + int(fields[12])  # utime, stime
    return total


def cpu_percent(pid, seconds):
    """CPU % of the tree, and of its first process alone."""
    before = {p: cpu_ticks([p]) for p in tree(pid)}
    time.sleep(seconds)
    used = {p: cpu_ticks([p]) - before.get(p, 0) for p in tree(pid)}
    return (100.0 * sum(used.values()) / TICK / seconds, 100.0 * used.get(pid, 0) / TICK / seconds)


def loudness(pulse_dir):
    """RMS of one second recorded from the null sink's monitor."""
    env = dict(os.environ, PULSE_SERVER='unix:%s/native' % pulse_dir)
    rec = subprocess.Popen(['parec', '-d', 't.monitor', '--raw', '--format=s16le', '--rate=22050',
                            '--channels=1'], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    time.sleep(1.5)
    rec.terminate()
    data = array.array('h', rec.communicate()[0][:44100 // 2 * 2 * 2])
    return (sum(s * s for s in data) / len(data)) ** 0.5 if len(data) else 0.0


def sink_latency_ms(env):
    """The null sink's configured latency: the lower, the more often it wakes every stream."""
    out = subprocess.run(['pactl', 'list', 'sinks'], env=env, capture_output=True, text=True).stdout
    for line in out.splitlines():
        if line.strip().startswith('Latency:') and 'configured' in line:
            return int(line.split('configured')[1].split()[0]) / 1000.0  # what its streams asked for
    return float('nan')


def wait_playing(pulse_dir, seconds):
    """Loudness once the sink carries sound, or 0 after that long without."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        level = loudness(pulse_dir)
        if level > 100:
            return level
    return 0.0


def first_band(watch, cmd, env):
    """Seconds from starting cmd until the red band is on screen; the process is returned running."""
    w = subprocess.Popen([watch, '255', '0', '0', '30'], env=env, stdout=subprocess.PIPE, text=True)
    assert w.stdout.readline().strip() == 'ready'
    t0 = time.monotonic()
    p = spawn(cmd, env)
    seen = w.stdout.readline().strip()
    cpu = cpu_ticks([p.pid]) / TICK  # all its threads, up to a moment after the band showed
    w.wait()
    if seen == 'timeout':
        stop(p)
        sys.exit('program_bench: %s drew nothing red within 30 s' % cmd[0])
    return float(seen) - t0, cpu, p


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--runs', type=int, default=15, help='start-up runs of each (median)')
    ap.add_argument('--tunings', type=int, default=30)
    ap.add_argument('--build-dir', default=os.path.join(ROOT, 'build-bench'))
    ap.add_argument('--no-build', action='store_true')
    ap.add_argument('--startup-only', action='store_true', help='only the start-up runs and their lines')
    ap.add_argument('--against', metavar='BUILD_DIR', help="another build's tolva, started in the same runs")
    args = ap.parse_args()
    if not args.no_build:
        build(args.build_dir)
    binary = os.path.join(args.build_dir, 'bin')
    tolva, bare = os.path.join(binary, 'tolva'), os.path.join(binary, 'bare_window')
    floor, watch = os.path.join(binary, 'text_floor_window'), os.path.join(binary, 'screen_watch')
    work = tempfile.mkdtemp(prefix='tolva-bench-')
    try:
        run(args, tolva, bare, floor, watch, work)
    finally:
        for p in reversed(procs):
            stop(p)
        shutil.rmtree(work, ignore_errors=True)


def run(args, tolva, bare, floor, watch, work):
    env = {k: v for k, v in os.environ.items() if k not in ('DBUS_SESSION_BUS_ADDRESS', 'DISPLAY', 'WAYLAND_DISPLAY')}
    r, w = os.pipe()
    spawn(['Xvfb', '-displayfd', str(w), '-screen', '0', '1024x768x24', '-dpi', '96', '-nolisten', 'tcp'],
          pass_fds=(w,))
    os.close(w)
    with os.fdopen(r) as f:
        env['DISPLAY'] = ':' + f.readline().strip()
    env['QT_QPA_PLATFORM'] = 'xcb'
    if os.getuid() == 0:
        env['QTWEBENGINE_DISABLE_SANDBOX'] = '1'
    # A desktop session has its bus; without one the program's D-Bus clients would launch one
    # (dbus-launch) and wait for it before the first frame.
    bus = spawn(['dbus-daemon', '--session', '--nofork', '--print-address'], env, stdout=subprocess.PIPE)
    env['DBUS_SESSION_BUS_ADDRESS'] = bus.stdout.readline().decode().strip()
    spawn(['openbox', '--sm-disable'], env)
    wait_for(lambda: subprocess.run(['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], env=env, capture_output=True,
                                    text=True).stdout.count('window id') > 0, 10, 'openbox')
    spawn(['trayer', '--edge', 'top', '--align', 'right', '--widthtype', 'request'], env)
    pulse = os.path.join(work, 'pulse')
    os.mkdir(pulse)
    spawn(['pulseaudio', '-n', '--daemonize=no', '--exit-idle-time=-1', '-L', 'module-null-sink sink_name=t',
           '-L', 'module-native-protocol-unix socket=%s/native' % pulse],
          dict(env, HOME=work, XDG_RUNTIME_DIR=pulse))
    wait_for(lambda: os.path.exists(pulse + '/native'), 10, 'pulseaudio')
    env['PULSE_SERVER'] = 'unix:%s/native' % pulse
    # Only playlists and ads on 8701 are used; the raw stream may take any port.
    server = spawn([os.path.join(os.path.dirname(tolva), 'stream_server'), '8701', '0'])
    wait_for(lambda: subprocess.run(['python3', '-c', 'import urllib.request;urllib.request.urlopen('
                                     '"http://127.0.0.1:8701/reklama/0.html")'], capture_output=True).returncode
             == 0, 10, 'stream_server')
    ini = os.path.join(os.path.dirname(tolva), 'Tolva.ini')

    # Start-up: bare window and program in turn, each ended once its red is seen.
    bare_s, tolva_s, bare_cpu, tolva_cpu, other_s, other_cpu, floor_s = [], [], [], [], [], [], []
    starts = [(bare, bare_s, bare_cpu), (floor, floor_s, []), (tolva, tolva_s, tolva_cpu)]
    if args.against:
        starts.append((os.path.join(args.against, 'bin', 'tolva'), other_s, other_cpu))
    for i in range(args.runs):
        # Every other round in reverse: which one starts first in a round shows in its time.
        for cmd, times, cpus in (starts if i % 2 == 0 else starts[::-1]):
            stored = os.path.join(os.path.dirname(cmd), 'Tolva.ini')
            if os.path.exists(stored):
                os.remove(stored)  # first run: row 1 highlighted
            s, c, p = first_band(watch, [cmd], env)
            times.append(s)
            cpus.append(c)
            gone = tree(p.pid)
            stop(p)
            # The next start gets a quiet machine: the web engine's processes end after their parent.
            wait_for(lambda: not any(os.path.exists('/proc/%d' % q) for q in gone), 10, 'the last start\'s processes ending')
            time.sleep(0.5)
    if args.startup_only:
        print_startup(args, tolva_s, bare_s, floor_s, tolva_cpu, bare_cpu, other_s, other_cpu)
        return

    # Play: the program as a user starts it; Enter tunes row 1.
    if os.path.exists(ini):
        os.remove(ini)
    _, _, p = first_band(watch, [tolva], env)
    wid = subprocess.run(['xdotool', 'search', '--sync', '--onlyvisible', '--name', 'Tolva'], env=env,
                         capture_output=True, text=True).stdout.split()[0]

    def key(*keys):
        subprocess.run(['xdotool', 'windowactivate', '--sync', wid], env=env, capture_output=True)
        subprocess.run(['xdotool', 'key', '--delay', '100'] + list(keys), env=env)

    time.sleep(3)  # the panel's start page
    key('Return')
    sound = wait_playing(pulse, 30)  # the figures are taken while it plays, if it does
    time.sleep(10)
    playing_pss = pss_kib(tree(p.pid))
    playing_unique = unique_kib(tree(p.pid))
    playing_threads = threads(p.pid)
    playing_tree_threads = sum(threads(q) for q in tree(p.pid))
    playing_procs = len(tree(p.pid))
    cpu, cpu_main = cpu_percent(p.pid, 20)
    latency = sink_latency_ms(env)
    for i in range(args.tunings):
        key('Down' if i % 2 == 0 else 'Up', 'Return')
        time.sleep(1.5)
    if args.tunings % 2:
        key('Up', 'Return')  # back on row 1 for the figures after
    after_sound = wait_playing(pulse, 30)
    time.sleep(10)
    after_pss = pss_kib(tree(p.pid))
    after_unique = unique_kib(tree(p.pid))
    after_threads = threads(p.pid)
    after_tree_threads = sum(threads(q) for q in tree(p.pid))
    title = subprocess.run(['xdotool', 'getwindowname', wid], env=env, capture_output=True, text=True).stdout.strip()
    stop(p)
    if os.path.exists(ini):
        os.remove(ini)
    time.sleep(1)

    # A default playbin on the same stream, the same sink.
    pb = spawn(['gst-launch-1.0', '-q', 'playbin', 'uri=' + STREAM], env)
    pb_sound = wait_playing(pulse, 30)
    time.sleep(10)
    pb_pss = pss_kib(tree(pb.pid))
    pb_unique = unique_kib(tree(pb.pid))
    pb_cpu = cpu_percent(pb.pid, 20)[0]
    pb_latency = sink_latency_ms(env)
    stop(pb)
    stop(server)

    mb = lambda kib: kib / 1024.0
    growth = 100.0 * (after_pss - playing_pss) / playing_pss
    print_startup(args, tolva_s, bare_s, floor_s, tolva_cpu, bare_cpu, other_s, other_cpu, title, runs_at_end=False)
    print('%-42s %9.1f MB %9.1f MB %8.2fx  <= 180 MB' % (
        'PSS of the tree, 10 s into play (%d procs)' % playing_procs, mb(playing_pss), mb(pb_pss),
        playing_pss / pb_pss))
    print('%-42s %9.1f MB %12s %8.1f%%  growth <= 5 %%' % (
        'PSS after %d more tunings' % args.tunings, mb(after_pss), '', growth))
    if playing_unique and pb_unique:
        print('%-42s %9.1f MB %9.1f MB %8.2fx  (PSS if nothing else shared its pages; after the tunings: %.1f MB)' % (
            'the same, pages counted once in the tree', mb(playing_unique), mb(pb_unique),
            playing_unique / pb_unique, mb(after_unique)))
    print('%-42s %12d %12s %9s  back where they were' % ('threads, program, after the first tuning',
                                                        playing_threads, '', ''))
    print('%-42s %12d %12s %+9d' % ('threads, program, after %d more' % args.tunings, after_threads, '',
                                    after_threads - playing_threads))
    print('%-42s %12d %12s %+9d' % ('threads, whole tree, first -> after', after_tree_threads, '',
                                    after_tree_threads - playing_tree_threads))
    print('%-42s %10.2f %% %10.2f %% %8.2fx  <= 2.00x playbin (the program alone: %.2f %%)' % (
        'CPU of one core over 20 s of play', cpu, pb_cpu, cpu / pb_cpu if pb_cpu else float('inf'), cpu_main))
    print('%-42s %9.0f ms %9.0f ms  (configured, read after the CPU; lower wakes the streams more often)' % (
        'the null sink\'s latency', latency, pb_latency))
    print('%-42s %12.0f %12.0f  (RMS at the null sink; 0: silent for 30 s; after the tunings: %.0f)' % (
        'sound', sound, pb_sound, after_sound))
    print_runs(tolva_s, bare_s, floor_s, other_s)


def print_startup(args, tolva_s, bare_s, floor_s, tolva_cpu, bare_cpu, other_s, other_cpu, title='start-up only',
                  runs_at_end=True):
    bare_t, bare_c = statistics.median(bare_s), max(statistics.median(bare_cpu), 0.01)
    print('Tolva, whole program (%s); machine load while measuring: %s' % (title, ' '.join(
        read('/proc/loadavg').split()[:3])))
    print('%-42s %12s %12s %9s  %s' % ('figure', 'tolva', 'peer', 'ratio', 'target'))
    for name, times, cpus in (('', tolva_s, tolva_cpu), (', --against', other_s, other_cpu)):
        if not times:
            continue
        start_t, cpu_t = statistics.median(times), statistics.median(cpus)
        print('%-42s %10.3f s %10.3f s %8.2fx  <= 1.30x bare window' % (
            'start to list drawn%s (median of %d)' % (name, args.runs), start_t, bare_t, start_t / bare_t))
        print('%-42s %10.3f s %10.3f s %8.2fx  (CPU time used by then; steadier on a busy machine)' % (
            'CPU time to list drawn%s (median)' % name, cpu_t, bare_c, cpu_t / bare_c))
    floor_t = statistics.median(floor_s)
    print('%-42s %10.3f s %10.3f s %8.2fx  (the floor: the bare window with that text)' % (
        "the menu bar's and list's text alone", floor_t, bare_t, floor_t / bare_t))
    print('%-42s %10.3f s %10.3f s %8.2fx  (what the program adds to its text)' % (
        'start to list drawn against that floor', statistics.median(tolva_s), floor_t,
        statistics.median(tolva_s) / floor_t))
    if runs_at_end:
        print_runs(tolva_s, bare_s, floor_s, other_s)


def print_runs(tolva_s, bare_s, floor_s, other_s=()):
    show = lambda times: ' '.join('%.3f' % s for s in times)
    print('start-up runs, s: tolva %s; bare %s; text floor %s%s' % (
        show(tolva_s), show(bare_s), show(floor_s), '; --against ' + show(other_s) if other_s else ''))


if __name__ == '__main__':
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(1))
    main()
