"""A small client of qmx-server, standard library only.

Written from docs/protocol.md, docs/packets.md and docs/remote-interface.md:
frames and values on the wire, data and change packets, calls with
by-reference arguments, and error reports read the way the documents say.

    with Client("127.0.0.1", 2160) as c:
        tables, marts, dims, drills = c.call("GetInicial")
        code = Ref(" fato_vendas")
        packet = c.call("GetTabelas", code, False)   # code.value == "FATO_VENDAS"
"""

import getpass
import socket
import select
import ssl
import struct

OBJECT_NAME = "QMX00600.rdmEstrutura"
MAGIC = b"QMXP"
MAX_FRAME = 64 << 20

HELLO, ACCEPT, REFUSE, CALL, ANSWER, FAILURE = 0x01, 0x02, 0x03, 0x10, 0x11, 0x12
NOTICE, SUBSCRIBE = 0x13, 0x14  # protocol version 4

# Notice kinds and the kinds of item and change a notice names.
CHANGE, EDITING, EDIT_ENDED, RELOAD_ALL = 1, 2, 3, 4
ITEM_KINDS = {0: "", 1: "tabela", 2: "fato", 3: "dimensao", 4: "fato_drill",
              5: "dimensao_drill", 6: "drill"}
CHANGES = {0: "", 1: "inclusao", 2: "alteracao", 3: "exclusao"}

# The fourteen keys, in the order a reader tries them, with their argument count.
ERROR_KEYS = [
    ("J_DIME", 2), ("J_FATO", 2), ("INV_TABELA", 1), ("INV_CAMPO", 2),
    ("NO_NUMBER", 0), ("NO_DIME", 0), ("NOT_TAB_DRILL", 1), ("SEM_FATO", 1),
    ("SEM_DIME", 1), ("DIME_DRILL_MENOR", 2), ("CAMPO_JA", 0),
    ("NOME_DRILL_JA", 0), ("INV_DIME", 2), ("DIME_DRILL_JA", 0),
]


class ProtocolError(Exception):
    """Bytes that do not follow the protocol."""


class CallFailure(Exception):
    """The server could not make the call (a Failure frame); its text says why."""


class Refused(Exception):
    """The server refused the connection (a Refuse frame)."""


class _Null:
    """The null value (tag 0x01); None stands for the empty value (tag 0x00)."""

    def __repr__(self):
        return "Null"


Null = _Null()


class Byte(int):
    """A one-byte value (tag 0x05)."""


class Ref:
    """An argument passed by reference: its value is sent, and the server's
    new value replaces it when the call returns."""

    def __init__(self, value):
        self.value = value

    def __repr__(self):
        return "Ref(%r)" % (self.value,)


# ---- values ------------------------------------------------------------------


def _text(value):
    data = value.encode("utf-8")
    return struct.pack("<I", len(data)) + data


def encode_value(v, out):
    if v is None:
        out.append(0x00)
    elif v is Null:
        out.append(0x01)
    elif isinstance(v, bool):
        out += bytes([0x02, 1 if v else 0])
    elif isinstance(v, Byte):
        out += bytes([0x05, int(v) & 0xFF])
    elif isinstance(v, int):
        out.append(0x03)
        out += struct.pack("<q", v)
    elif isinstance(v, str):
        data = v.encode("utf-8")
        out.append(0x04)
        out += struct.pack("<I", len(data)) + data
    elif isinstance(v, (bytes, bytearray)):
        out.append(0x07)
        out += struct.pack("<I", len(v)) + bytes(v)
    elif isinstance(v, (list, tuple)):
        out.append(0x06)
        out += struct.pack("<I", len(v))
        for item in v:
            encode_value(item, out)
    else:
        raise TypeError("no wire form for %r" % (v,))


class _Reader:
    def __init__(self, data):
        self.data = memoryview(data)
        self.pos = 0

    def take(self, n):
        if n > len(self.data) - self.pos:
            raise ProtocolError("truncated")
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return bytes(chunk)

    def u8(self):
        return self.take(1)[0]

    def u16(self):
        return struct.unpack("<H", self.take(2))[0]

    def u32(self):
        return struct.unpack("<I", self.take(4))[0]

    def text(self):
        return self.take(self.u32()).decode("utf-8")

    def end(self):
        if self.pos != len(self.data):
            raise ProtocolError("%d bytes left over" % (len(self.data) - self.pos))

    def value(self, depth=1):
        tag = self.u8()
        if tag == 0x00:
            return None
        if tag == 0x01:
            return Null
        if tag == 0x02:
            b = self.u8()
            if b > 1:
                raise ProtocolError("boolean %d" % b)
            return b == 1
        if tag == 0x03:
            return struct.unpack("<q", self.take(8))[0]
        if tag == 0x04:
            return self.text()
        if tag == 0x05:
            return Byte(self.u8())
        if tag == 0x06:
            if depth > 32:
                raise ProtocolError("arrays nested too deep")
            return [self.value(depth + 1) for _ in range(self.u32())]
        if tag == 0x07:
            return self.take(self.u32())
        raise ProtocolError("unknown value tag 0x%02X" % tag)


# ---- packets -----------------------------------------------------------------

UNMODIFIED, MODIFIED, INSERTED, DELETED = 0, 1, 2, 3
DATA, DELTA = 1, 2


class Field:
    def __init__(self, name, size, fixed=False):
        self.name, self.size, self.fixed = name, size, fixed

    def __repr__(self):
        return "Field(%r, %d, %r)" % (self.name, self.size, self.fixed)


class Row:
    """One row: its status, its values and (modified, deleted) its old values.
    Values are texts or None for null."""

    def __init__(self, status, values=None, old_values=None):
        self.status, self.values, self.old_values = status, values, old_values


class Packet:
    def __init__(self, kind, fields, rows=None):
        self.kind, self.fields, self.rows = kind, list(fields), list(rows or [])

    def records(self):
        """The current rows as dicts of field name to value (None for null),
        deleted rows left out."""
        names = [f.name for f in self.fields]
        return [dict(zip(names, r.values)) for r in self.rows if r.status != DELETED]

    def encode(self):
        out = bytearray(MAGIC + struct.pack("<HBB", 1, self.kind, 0))
        out += struct.pack("<I", len(self.fields))
        for f in self.fields:
            name = f.name.encode("utf-8")
            out += bytes([len(name)]) + name + struct.pack("<HB", f.size, 1 if f.fixed else 0)
        out += struct.pack("<I", len(self.rows))

        def values(vs):
            if len(vs) != len(self.fields):
                raise ValueError("a row needs one value per field")
            for v in vs:
                if v is None:
                    out.extend(b"\xff\xff\xff\xff")
                else:
                    data = v.encode("utf-8")
                    out.extend(struct.pack("<I", len(data)) + data)

        for r in self.rows:
            out.append(r.status)
            if r.status in (UNMODIFIED, MODIFIED, INSERTED):
                values(r.values)
            if r.status in (MODIFIED, DELETED):
                values(r.old_values)
        return bytes(out)

    @staticmethod
    def decode(data):
        r = _Reader(data)
        if r.take(4) != MAGIC:
            raise ProtocolError("not a packet")
        version, kind, reserved = r.u16(), r.u8(), r.u8()
        if version != 1 or kind not in (DATA, DELTA) or reserved != 0:
            raise ProtocolError("unknown packet header")
        fields = []
        for _ in range(r.u32()):
            name = r.take(r.u8()).decode("utf-8")
            size, flags = r.u16(), r.u8()
            if flags & ~1:
                raise ProtocolError("unknown field flags")
            fields.append(Field(name, size, bool(flags & 1)))

        def values():
            out = []
            for _ in fields:
                n = r.u32()
                out.append(None if n == 0xFFFFFFFF else r.take(n).decode("utf-8"))
            return out

        rows = []
        for _ in range(r.u32()):
            status = r.u8()
            if status > DELETED:
                raise ProtocolError("row status %d" % status)
            new = values() if status in (UNMODIFIED, MODIFIED, INSERTED) else None
            old = values() if status in (MODIFIED, DELETED) else None
            rows.append(Row(status, new, old))
        r.end()
        return Packet(kind, fields, rows)


# ---- error reports -----------------------------------------------------------


def error_text(result):
    """The error text of an error report, or None when the result is none."""
    if isinstance(result, list) and result and isinstance(result[0], str):
        return result[0]
    return None


def read_error(text):
    """(key, arguments) of a keyed report, or (None, [text]) of a plain refusal."""
    for key, count in ERROR_KEYS:
        if text.startswith(key):
            rest = text[len(key):]
            if count == 0:
                return key, []
            if count == 1:
                return key, [rest]
            first, dot, second = rest.partition(".")
            return key, ([first, second] if dot else ["", rest])
    return None, [text]


# ---- the connection ----------------------------------------------------------


class Notice:
    """What the server told of another desk: kind (CHANGE, EDITING,
    EDIT_ENDED, RELOAD_ALL), table, item_kind and change (as ITEM_KINDS and
    CHANGES name them), item, account and time."""

    def __init__(self, r):
        self.kind = r.u8()
        self.table = r.text()
        self.item_kind = ITEM_KINDS[r.u8()]
        self.item = r.text()
        self.change = CHANGES[r.u8()]
        self.account = r.text()
        self.time = r.text()
        r.end()

    def __repr__(self):
        return "Notice(%d, %s %s.%s %s by %r at %s)" % (
            self.kind, self.item_kind, self.table, self.item, self.change, self.account,
            self.time)


class Client:
    """One connection to the remote object; calls are made one at a time."""

    def __init__(self, host, port, object_name=OBJECT_NAME, timeout=60.0, token="",
                 user=None, tls_ca=None, version=4, password=""):
        """Connects and makes the handshake. `tls_ca`: a CA file (PEM) to
        trust, for a server in secure mode; `token`: its access token; `user`
        defaults to the system user; `password`: the account's, where the
        server has accounts. Version 2 sends no password, version 1 neither
        token nor user. After it, `account` and `role` say what the server
        admitted (both "" when it asks for no login)."""
        sock = socket.create_connection((host, port), timeout=timeout)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if tls_ca:
            context = ssl.create_default_context(cafile=tls_ca)
            sock = context.wrap_socket(sock, server_hostname=host)
        self.sock = sock
        self.last_id = 0
        self.notices = []  # received while waiting for an answer, until taken
        hello = bytes([HELLO]) + MAGIC + struct.pack("<H", version) + _text(object_name)
        if version >= 2:
            hello += _text(token) + _text(getpass.getuser() if user is None else user)
        if version >= 3:
            hello += _text(password)
        self._send(hello)
        kind, r = self._receive()
        if kind == REFUSE:
            text = r.text()
            self.close()
            raise Refused(text)
        if kind != ACCEPT or r.u16() != version:
            self.close()
            raise ProtocolError("unexpected answer to the handshake")
        self.account, self.role = (r.text(), r.text()) if version >= 3 else ("", "")
        r.end()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self.sock is not None:
            self.sock.close()
            self.sock = None

    def call(self, method, *args):
        """Calls `method` with `args` (Ref for by-reference ones) and returns
        its result; raises CallFailure when the server could not make it."""
        if self.sock is None:
            raise ProtocolError("connection closed")
        self.last_id = self.last_id % 0xFFFFFFFF + 1  # never 0
        name = method.encode("utf-8")
        body = bytearray([CALL]) + struct.pack("<I", self.last_id)
        body += struct.pack("<I", len(name)) + name + struct.pack("<I", len(args))
        refs = []
        for a in args:
            by_ref = isinstance(a, Ref)
            body.append(1 if by_ref else 0)
            encode_value(a.value if by_ref else a, body)
            if by_ref:
                refs.append(a)
        self._send(bytes(body))
        kind, r = self._receive()
        while kind == NOTICE:  # sent before the server read the call
            self.notices.append(Notice(r))
            kind, r = self._receive()
        if kind == FAILURE:
            call_id, text = r.u32(), r.text()
            if call_id == 0:  # the server closed the connection
                self.close()
            elif call_id != self.last_id:
                raise ProtocolError("failure of another call")
            raise CallFailure(text)
        if kind != ANSWER:
            raise ProtocolError("unexpected frame 0x%02X" % kind)
        if r.u32() != self.last_id:
            raise ProtocolError("answer to another call")
        result = r.value()
        count = r.u32()
        if count != len(refs):
            raise ProtocolError("%d by-reference values for %d" % (count, len(refs)))
        for ref in refs:
            ref.value = r.value()
        r.end()
        return result

    def subscribe(self, on=True):
        """Asks the server (protocol version 4) to tell this connection of
        the other desks' committed changes and edits, or to stop."""
        self._send(bytes([SUBSCRIBE, 1 if on else 0]))

    def take_notices(self, timeout=0.0):
        """The notices received so far, waiting up to `timeout` seconds for
        the first when there is none yet."""
        wait = timeout
        while True:
            pending = isinstance(self.sock, ssl.SSLSocket) and self.sock.pending() > 0
            if not pending:
                ready, _, _ = select.select([self.sock], [], [], 0.0 if self.notices else wait)
                if not ready:
                    break
            kind, r = self._receive()  # a frame begun arrives whole at once
            if kind != NOTICE:
                raise ProtocolError("unexpected frame 0x%02X between calls" % kind)
            self.notices.append(Notice(r))
        taken, self.notices = self.notices, []
        return taken

    def _send(self, payload):
        self.sock.sendall(struct.pack("<I", len(payload)) + payload)

    def _read(self, n):
        data = bytearray()
        while len(data) < n:
            chunk = self.sock.recv(min(n - len(data), 1 << 16))
            if not chunk:
                raise ProtocolError("connection closed by the server")
            data += chunk
        return bytes(data)

    def _receive(self):
        (length,) = struct.unpack("<I", self._read(4))
        if length == 0 or length > MAX_FRAME:
            raise ProtocolError("frame length %d" % length)
        r = _Reader(self._read(length))
        return r.u8(), r
