#!/usr/bin/env python3
"""Serves the browser game's folder on a loopback address, sending the
precompressed copy (NAME.gz, written by web-build.sh) of a file with
Content-Encoding: gzip to every browser that accepts it.  The game is about
twice as big on the wire without it.

Usage: serve.py DIRECTORY PORT [ADDRESS]   (127.0.0.1 unless given)
"""
import functools
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.data': 'application/octet-stream',
                      '.js': 'text/javascript'}

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            index = os.path.join(path, 'index.html')
            if self.path.split('?', 1)[0].endswith('/') and os.path.isfile(index):
                path = index
            else:
                return super().send_head()
        packed = path + '.gz'
        accepts = 'gzip' in self.headers.get('Accept-Encoding', '')
        if not (accepts and os.path.isfile(path) and os.path.isfile(packed)
                and os.path.getmtime(packed) >= os.path.getmtime(path)):
            return super().send_head()
        try:
            f = open(packed, 'rb')
        except OSError:
            return super().send_head()
        self.send_response(200)
        self.send_header('Content-Type', self.guess_type(path))
        self.send_header('Content-Encoding', 'gzip')
        self.send_header('Content-Length', str(os.fstat(f.fileno()).st_size))
        self.send_header('Vary', 'Accept-Encoding')
        self.send_header('Last-Modified', self.date_time_string(int(os.path.getmtime(path))))
        self.end_headers()
        return f


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    directory, port = sys.argv[1], int(sys.argv[2])
    address = sys.argv[3] if len(sys.argv) > 3 else '127.0.0.1'
    handler = functools.partial(Handler, directory=directory)
    with http.server.ThreadingHTTPServer((address, port), handler) as server:
        server.serve_forever()


if __name__ == '__main__':
    main()
