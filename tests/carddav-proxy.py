#!/usr/bin/env python3
"""Faulty servers in front of the test's Radicale, for the failures a client must
survive:
  carddav-proxy.py <radicale port> <cut port> <silent port> <stranger port> <cert> <key>

  cut     passes every request on, one per connection; the answer to the REPORT that asks
          for card c0300 loses its second half (the connection closes where the body
          would go on), so the batches before it arrive whole
  silent  takes connections and requests and never answers
  stranger  passes every request on over HTTPS, with a certificate (cert, key) that no
          authority the client trusts has signed
"""
import socket
import ssl
import sys
import threading

upstream, cut_port, silent_port, stranger_port = (int(a) for a in sys.argv[1:5])
stranger_tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
stranger_tls.load_cert_chain(sys.argv[5], sys.argv[6])


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        body += chunk
    return head, body


def cut(conn, cutting=True):
    with conn:
        request = read_request(conn)
        if request is None:
            return
        head, body = request
        lines = [l for l in head.split(b"\r\n") if not l.lower().startswith(b"connection:")]
        method = lines[0].split(b" ")[0]
        forward = b"\r\n".join(lines + [b"Connection: close"]) + b"\r\n\r\n" + body
        with socket.create_connection(("127.0.0.1", upstream)) as up:
            up.sendall(forward)
            answer = b""
            while True:
                chunk = up.recv(65536)
                if not chunk:
                    break
                answer += chunk
        head, _, body = answer.partition(b"\r\n\r\n")
        lines = [l for l in head.split(b"\r\n") if not l.lower().startswith(b"connection:")]
        head = b"\r\n".join(lines + [b"Connection: close"]) + b"\r\n\r\n"
        if cutting and method == b"REPORT" and b"/c0300.vcf" in forward:
            body = body[: len(body) // 2]
        conn.sendall(head + body)


def stranger(conn):
    try:
        conn = stranger_tls.wrap_socket(conn, server_side=True)
    except (OSError, ssl.SSLError):
        # The client refused the certificate, as it should.
        conn.close()
        return
    cut(conn, cutting=False)


held = []


def silent(conn):
    held.append(conn)
    try:
        while conn.recv(65536):
            pass
    except OSError:
        pass


def serve(port, handler):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port))
    s.listen(16)
    while True:
        conn, _ = s.accept()
        threading.Thread(target=handler, args=(conn,), daemon=True).start()


threading.Thread(target=serve, args=(silent_port, silent), daemon=True).start()
threading.Thread(target=serve, args=(stranger_port, stranger), daemon=True).start()
serve(cut_port, cut)
