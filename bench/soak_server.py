#!/usr/bin/env python3
"""Stations for the soak run on 127.0.0.1: every playlist (.m3u, .asx) on PORT points at
an endless MP3 tone with now-playing titles, the raw stream answers on 4570, and
/reklama/0..4.html are small ads. The streams share one bad link: every 8 to 25 s it
either stalls for 1.5 to 6 s (what the stall held back then comes in a rush, as after a
real one) or, one time in three, drops every stream connection.
  soak_server.py PORT SEED"""
import http.server, os, random, socketserver, sys, threading, time

PORT, SEED = int(sys.argv[1]), int(sys.argv[2])
TONE = open(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'data', 'tone440.mp3'), 'rb').read()
RATE = 16000            # bytes a second: the tone is 128 kbit/s
METAINT = 8000
rng = random.Random(SEED)
lock = threading.Lock()
stats = {'streams': 0, 'stalls': 0, 'drops': 0, 'ads': 0, 'lists': 0}

link = {'stall_until': 0.0, 'drops': 0}

def bad_link():
    while True:
        time.sleep(rng.uniform(8, 25))
        with lock:
            if rng.random() < 1 / 3:
                link['drops'] += 1; stats['drops'] += 1
            else:
                link['stall_until'] = time.monotonic() + rng.uniform(1.5, 6); stats['stalls'] += 1

def log_stats():
    while True:
        time.sleep(60)
        with lock:
            print('server: ' + ' '.join('%s=%d' % kv for kv in stats.items()), flush=True)

class H(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.0'
    def log_message(self, *a): pass
    def reply(self, type_, body):
        try:
            self.send_response(200); self.send_header('Content-Type', type_)
            self.send_header('Content-Length', str(len(body))); self.end_headers(); self.wfile.write(body)
        except OSError:
            pass   # the player gave up on this answer: a new tuning came first
    def do_GET(self):
        p, here = self.path, 'http://127.0.0.1:%d' % PORT
        if self.server.server_address[1] == 4570 or p.startswith('/stream'):
            return self.stream()
        with lock:
            stats['ads' if p.startswith('/reklama/') else 'lists'] += 1
        if p.endswith('.m3u'):
            return self.reply('audio/x-mpegurl', ('#EXTM3U\n#EXTINF:-1,Soak\n%s/stream%s\n' % (here, p)).encode())
        if p.endswith('.asx'):
            return self.reply('video/x-ms-asf', ('<asx version="3.0"><entry><ref href="%s/stream/asx"/></entry></asx>\n' % here).encode())
        if p.startswith('/reklama/'):
            n = p.split('/')[-1]
            return self.reply('text/html; charset=utf-8', (
                "<html><body style='margin:0;background:#ffd;font:bold 20px sans-serif'><center>Реклама %s "
                "&mdash; <a href='%s/site'>наш сайт</a> <span id=t></span></center>"
                "<script>setInterval(function(){document.getElementById('t').textContent=Date.now()%%1000},500)</script>"
                "</body></html>" % (n, here)).encode())
        self.send_response(404); self.end_headers()
    def stream(self):
        with lock:
            stats['streams'] += 1
            drops = link['drops']
        meta = self.headers.get('Icy-MetaData') == '1'
        self.send_response(200); self.send_header('Content-Type', 'audio/mpeg')
        if meta: self.send_header('icy-metaint', str(METAINT))
        self.end_headers()
        pos, sent, start, song = 0, 0, time.monotonic(), 0
        try:
            while True:
                now = time.monotonic()
                with lock:
                    if link['drops'] != drops:
                        return
                    stalled = now < link['stall_until']
                if stalled:
                    time.sleep(0.1)
                    continue
                due = int((now - start + 0.25) * RATE)   # a quarter second ahead
                while sent < due:
                    n = min(METAINT - sent % METAINT, due - sent)
                    self.wfile.write((TONE * 2)[pos:pos + n]); pos = (pos + n) % len(TONE); sent += n
                    if meta and sent % METAINT == 0:
                        song += 1
                        t = ("StreamTitle='Тон %d <b>440</b> Hz';" % (song // 20)).encode()
                        t += b'\0' * ((16 - len(t) % 16) % 16)
                        self.wfile.write(bytes([len(t) // 16]) + t)
                time.sleep(0.1)
        except OSError:
            return

class S(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
for port in (PORT, 4570):
    threading.Thread(target=S(('127.0.0.1', port), H).serve_forever, daemon=True).start()
threading.Thread(target=bad_link, daemon=True).start()
print('server: ready', flush=True)
log_stats()
