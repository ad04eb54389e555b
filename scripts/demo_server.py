#!/usr/bin/env python3
"""Stand-in stations for a demonstration on one machine: every playlist on
127.0.0.1:8701 points at an endless 440 Hz tone with a now-playing title, the
raw stream answers on 127.0.0.1:4570, and /reklama/0..4.html are small ads.
  demo_server.py [port=8701 [raw-port=4570]]   (0: any free port)"""
import http.server, os, socketserver, sys, threading, time
TONE = open(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'data', 'tone440.mp3'), 'rb').read()
class H(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.0'
    def log_message(self, *a): pass
    def do_GET(self):
        p = self.path
        if p.endswith('.m3u'):
            body = b"#EXTM3U\nhttp://127.0.0.1:8701/stream\n"
            self.send_response(200); self.send_header('Content-Type','audio/x-mpegurl'); self.end_headers(); self.wfile.write(body); return
        if p.startswith('/reklama/'):
            n = p.split('/')[-1]
            body = ("<html><body style='margin:0;background:#ffd;font:bold 20px sans-serif'><center>Реклама %s &mdash; <a href='http://127.0.0.1:8701/site'>наш сайт</a></center></body></html>" % n).encode()
            self.send_response(200); self.send_header('Content-Type','text/html; charset=utf-8'); self.end_headers(); self.wfile.write(body); return
        if p == '/stream' or self.server.server_address[1] == RAW:
            meta = self.headers.get('Icy-MetaData') == '1'
            self.send_response(200); self.send_header('Content-Type','audio/mpeg')
            if meta: self.send_header('icy-metaint','16000')
            self.end_headers()
            pos = 0
            try:
                while True:
                    chunk = (TONE * 2)[pos:pos + 16000]; pos = (pos+16000) % len(TONE)
                    self.wfile.write(chunk)
                    if meta:
                        t = b"StreamTitle='Tone - 440 Hz';"
                        t += b'\0' * ((16 - len(t) % 16) % 16)
                        self.wfile.write(bytes([len(t)//16]) + t)
                    time.sleep(1)
            except Exception: return
        self.send_response(404); self.end_headers()
class S(socketserver.ThreadingMixIn, http.server.HTTPServer): daemon_threads = True
PORT, RAW = (int(a) for a in (sys.argv[1:] + ['8701', '4570'][len(sys.argv) - 1:])[:2])
for port in (PORT, RAW):
    server = S(('127.0.0.1', port), H)
    RAW = server.server_address[1] if port == RAW else RAW
    threading.Thread(target=server.serve_forever, daemon=True).start()
while True: time.sleep(3600)
