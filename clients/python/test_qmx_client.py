"""The Python client against a real qmx-server on a fresh demo database.

Run by ctest (which sets QMX_SERVER_BINARY); by hand:
    QMX_SERVER_BINARY=build/dev/bin/qmx-server python3 clients/python/test_qmx_client.py
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from qmx_client import (DATA, DELTA, EDIT_ENDED, EDITING, INSERTED, MODIFIED,  # noqa: E402
                        CallFailure, Client, Field, Packet, Ref, Refused, Row, error_text,
                        read_error)

TLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "net", "tls")

TABLE_FIELDS = [Field("CDTABELADW", 30), Field("NMTABELADW", 30), Field("IDDRILLDOWN", 1)]
FACT_FIELDS = [Field("IDFATODW", 1, True), Field("CDTABELADW", 30), Field("CDITEMDW", 30),
               Field("CDAREANEGDW", 5), Field("NMITEMDW", 30), Field("IDTPFATODW", 1, True),
               Field("DSHINTITEM", 200), Field("CDTABDRILL", 30)]


class Server:
    """qmx-server on an ephemeral loopback port and a database of its own."""

    def __init__(self, *extra, accounts=()):
        """`accounts`: (user, role, password) made with `qmx-server conta`
        before the server starts."""
        self.dir = tempfile.TemporaryDirectory(prefix="qmx-py-")
        binary = os.environ["QMX_SERVER_BINARY"]
        db = os.path.join(self.dir.name, "qmx.db")
        for user, role, password in accounts:
            subprocess.run([binary, "conta", "adicionar", user, "--papel", role, "--db", db],
                           input=password + "\n", text=True, check=True, capture_output=True)
        self.proc = subprocess.Popen(
            [binary, "--db", db, "--listen", "127.0.0.1:0", *extra],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.log = []
        self.port = None
        for line in self.proc.stderr:
            self.log.append(line)
            found = re.search(r"escutando em 127\.0\.0\.1:(\d+)", line)
            if found:
                self.port = int(found.group(1))
                break
        if self.port is None:
            raise RuntimeError("the server did not start:\n" + "".join(self.log))
        # Keep reading its log so it never blocks on a full pipe.
        threading.Thread(target=lambda: self.log.extend(self.proc.stderr), daemon=True).start()

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(timeout=30)
        self.dir.cleanup()
        return code


class AgainstTheServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server()

    @classmethod
    def tearDownClass(cls):
        code = cls.server.stop()
        if code != 0:
            raise AssertionError("qmx-server ended with %d:\n%s" % (code, "".join(cls.server.log)))

    def connect(self):
        c = Client("127.0.0.1", self.server.port)
        self.addCleanup(c.close)
        return c

    def fact_tables(self, c):
        return {r["CDTABELADW"]: r for r in Packet.decode(c.call("GetTabelas", "", False)).records()}

    def test_handshake_and_the_initial_packets(self):
        c = self.connect()
        result = c.call("GetInicial")
        self.assertEqual(len(result), 4)
        tables, marts, dims, drills = (Packet.decode(p) for p in result)
        self.assertTrue(all(p.kind == DATA for p in (tables, marts, dims, drills)))
        self.assertEqual([(f.name, f.size, f.fixed) for f in tables.fields],
                         [("CDTABELADW", 30, False), ("NMTABELADW", 30, False),
                          ("IDDRILLDOWN", 1, False), ("NRVERSAO", 20, False)])
        self.assertIn("FATO_VENDAS", [r["CDTABELADW"] for r in tables.records()])
        self.assertTrue(all(r["IDDRILLDOWN"] == "S" for r in drills.records()))
        self.assertEqual([f.name for f in marts.fields], ["CDAREANEGDW", "NMAREANEGDW"])
        self.assertTrue(all(len(r["NRSEQUEDIME"]) == 5 for r in dims.records()))

    def test_by_reference_arguments_come_back_normalised_and_filled(self):
        c = self.connect()
        code, dimes, facts = Ref(" fato_vendas"), Ref(None), Ref(None)
        self.assertIsNone(c.call("GetDimeFatos", code, "", "", "", dimes, facts))
        self.assertEqual(code.value, "FATO_VENDAS")
        fact_packet = Packet.decode(facts.value)
        self.assertEqual([(f.name, f.size, f.fixed) for f in fact_packet.fields],
                         [(f.name, f.size, f.fixed) for f in FACT_FIELDS])
        self.assertIn("VL_VENDA", [r["CDITEMDW"] for r in fact_packet.records()])
        self.assertEqual({r["CDTABELADW"] for r in Packet.decode(dimes.value).records()},
                         {"FATO_VENDAS"})

    def test_a_rename_carries_its_old_values_and_a_stale_one_is_refused_plainly(self):
        c = self.connect()
        old = ["FATO_FINANCEIRO", "Financeiro", "N"]
        new = ["FATO_FINANCEIRO", "Finanças e contas", "N"]
        delta = Packet(DELTA, TABLE_FIELDS, [Row(MODIFIED, new, old)])
        result = c.call("SetTabelas", delta.encode())
        self.assertIsNone(error_text(result))
        # The answer is the fact-table list after the change.
        answered = {r["CDTABELADW"]: r for r in Packet.decode(result).records()}
        self.assertEqual(answered["FATO_FINANCEIRO"]["NMTABELADW"], "Finanças e contas")
        # The same change again: its old values are no longer what is stored.
        stale = c.call("SetTabelas", delta.encode())
        key, args = read_error(error_text(stale))
        self.assertIsNone(key)
        self.assertIn("alterado", args[0])
        self.assertEqual(self.fact_tables(c)["FATO_FINANCEIRO"]["NMTABELADW"], "Finanças e contas")

    def test_a_refused_change_is_a_keyed_report_and_nothing_is_stored(self):
        c = self.connect()
        row = ["S", "FATO_VENDAS", "CD_REGIAO", "00001", "Região", "M", None, None]
        table = Ref("FATO_VENDAS")
        result = c.call("SetFatos", Packet(DELTA, FACT_FIELDS, [Row(INSERTED, row)]).encode(),
                        table)
        self.assertEqual(read_error(error_text(result)), ("NO_NUMBER", []))
        missing = ["S", "FATO_VENDAS", "VL_NADA", "00001", "Nada", "M", None, None]
        result = c.call("SetFatos", Packet(DELTA, FACT_FIELDS, [Row(INSERTED, missing)]).encode(),
                        table)
        self.assertEqual(read_error(error_text(result)), ("INV_CAMPO", ["VL_NADA", "FATO_VENDAS"]))
        facts = Ref(None)
        c.call("GetDimeFatos", "FATO_VENDAS", "", "", "", Ref(None), facts)
        self.assertNotIn("CD_REGIAO", [r["CDITEMDW"] for r in Packet.decode(facts.value).records()])

    def test_a_subscribed_desk_is_told_of_another_desks_edit(self):
        watcher, editor = self.connect(), self.connect()
        watcher.subscribe()
        watcher.call("InformarEdicao", "", "", "")  # answered once the wish is read
        editor.call("InformarEdicao", "fato_estoque", "fato", "qt_estoque")
        editor.call("InformarEdicao", "", "", "")
        notices = []
        deadline = time.monotonic() + 5
        while len(notices) < 2 and time.monotonic() < deadline:
            notices += watcher.take_notices(timeout=0.5)
        self.assertEqual([(n.kind, n.table, n.item_kind, n.item) for n in notices],
                         [(EDITING, "FATO_ESTOQUE", "fato", "QT_ESTOQUE"),
                          (EDIT_ENDED, "FATO_ESTOQUE", "fato", "QT_ESTOQUE")])
        self.assertEqual(editor.take_notices(), [])

    def test_version_1_still_works_on_loopback(self):
        c = Client("127.0.0.1", self.server.port, version=1)
        self.addCleanup(c.close)
        self.assertEqual(len(c.call("GetInicial")), 4)

    def test_call_failures_keep_the_connection(self):
        c = self.connect()
        with self.assertRaises(CallFailure):
            c.call("Inexistente")
        with self.assertRaises(CallFailure):
            c.call("GetTabelas", "")  # one argument short
        self.assertIn("FATO_VENDAS", self.fact_tables(c))


class AgainstAServerWithAccounts(unittest.TestCase):
    """Once an account exists, every connection logs in with version 3."""

    @classmethod
    def setUpClass(cls):
        cls.server = Server(accounts=[("ana", "editor", "senha-da-ana"),
                                      ("leo", "leitor", "senha-do-leo")])

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_the_accept_names_the_account_and_a_leitor_cannot_write(self):
        with Client("127.0.0.1", self.server.port, user="ana", password="senha-da-ana") as c:
            self.assertEqual((c.account, c.role), ("ana", "editor"))
        with self.assertRaisesRegex(Refused, "exige usuário e senha"):
            Client("127.0.0.1", self.server.port, user="ana")
        with Client("127.0.0.1", self.server.port, user="leo", password="senha-do-leo") as c:
            self.assertEqual(c.role, "leitor")
            delta = Packet(DELTA, TABLE_FIELDS,
                           [Row(INSERTED, ["FATO_PY", "Py", "N"])])
            self.assertIn("somente de leitura", error_text(c.call("SetTabelas", delta.encode())))


class AgainstASecureServer(unittest.TestCase):
    """The server as --allow-remote runs it (TLS and a token), on loopback."""

    @classmethod
    def setUpClass(cls):
        cls.token_dir = tempfile.TemporaryDirectory(prefix="qmx-py-token-")
        token_file = os.path.join(cls.token_dir.name, "token")
        with open(token_file, "w") as f:
            f.write("chave-do-python-de-teste\n")
        # The server takes only secrets that no one else may read.
        key_file = os.path.join(cls.token_dir.name, "server-key.pem")
        shutil.copyfile(os.path.join(TLS, "server-key.pem"), key_file)
        for secret in (token_file, key_file):
            os.chmod(secret, 0o600)
        cls.server = Server("--tls-cert", os.path.join(TLS, "server.pem"), "--tls-key",
                            key_file, "--token-file", token_file)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.token_dir.cleanup()

    def test_tls_with_the_token_is_served_and_anything_else_refused(self):
        ca = os.path.join(TLS, "ca.pem")
        with Client("127.0.0.1", self.server.port, token="chave-do-python-de-teste",
                    tls_ca=ca) as c:
            self.assertIn("FATO_VENDAS", [r["CDTABELADW"] for r in
                                          Packet.decode(c.call("GetInicial")[0]).records()])
        with self.assertRaisesRegex(Refused, "chave de acesso"):
            Client("127.0.0.1", self.server.port, token="outra", tls_ca=ca)
        with self.assertRaisesRegex(Refused, "TLS"):
            Client("127.0.0.1", self.server.port, token="chave-do-python-de-teste")


if __name__ == "__main__":
    unittest.main()
