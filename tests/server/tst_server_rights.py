#!/usr/bin/python3
"""The client's accounts hold no key: as the gate account (its password is in
every copy of the client) and as a player's own account, no table can be read
or written, the grants are USAGE and EXECUTE only, the helpers and the
operator's routine refuse them, and one player cannot kill another's
connection."""

import pymysql

import serverkit as sk


class ServerRights(sk.ServerTest):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        sk.register(cls.db, "rights.a@tavrek.example", "пароль-а")
        sk.register(cls.db, "rights.b@tavrek.example", "пароль-б")
        cls.a = sk.Player(cls.db, "rights.a@tavrek.example", sk.md5_of("пароль-а"))
        cls.b = sk.Player(cls.db, "rights.b@tavrek.example", sk.md5_of("пароль-б"))

    @classmethod
    def tearDownClass(cls):
        cls.a.close()
        cls.b.close()
        super().tearDownClass()

    def client_connections(self):
        return [("gate", sk.gate(self.db)), ("player", self.a.conn)]

    def test_no_table_can_be_read_or_written(self):
        before = self.all_rows()
        tables = [r[0] for r in self.admin_rows("SHOW TABLES")]
        self.assertIn("Sor_questions", tables)
        self.assertIn("Sor_passwords", tables)
        for who, conn in self.client_connections():
            for t in tables:
                cols = [r[0] for r in self.admin_rows("SHOW COLUMNS FROM `%s`" % t)]
                statements = [
                    "SELECT * FROM `%s`" % t,
                    "SELECT COUNT(*) FROM `%s`" % t,
                    "INSERT INTO `%s` (`%s`) VALUES (DEFAULT)" % (t, cols[0]),
                    "UPDATE `%s` SET `%s` = `%s`" % (t, cols[0], cols[0]),
                    "DELETE FROM `%s`" % t,
                ]
                for sql in statements:
                    with self.subTest(who=who, sql=sql):
                        self.assertRefused(sk.ACCESS_DENIED, sk.query, conn, sql)
            with self.subTest(who=who, sql="other databases"):
                self.assertRefused(sk.ACCESS_DENIED, sk.query, conn, "SELECT User FROM mysql.user")
        self.assertEqual(before, self.all_rows())

    def test_grants_are_usage_and_execute_only(self):
        for who, conn in self.client_connections():
            grants = [r[0] for r in sk.query(conn, "SHOW GRANTS")]
            with self.subTest(who=who, grants=grants):
                self.assertTrue(grants)
                for g in grants:
                    # (the gate serves every game database of the server)
                    self.assertRegex(g, r"^GRANT (USAGE ON \*\.\*|EXECUTE ON `[A-Za-z0-9_]+`\.\*) TO ")
        # The player's account runs a few connections and short statements.
        grants = " ".join(r[0] for r in sk.query(self.a.conn, "SHOW GRANTS"))
        self.assertIn("MAX_USER_CONNECTIONS 4", grants)
        self.assertIn("MAX_STATEMENT_TIME 5", grants)

    def test_helpers_and_operator_routine_refuse_client_accounts(self):
        uid_b = self.b.id
        md5 = sk.md5_of("взлом")
        calls = [
            ("sorx_store_password", (uid_b, md5)),
            ("sorx_player_account", (uid_b, "@u", "@s")),
            ("sor_operator_player", ("rights.b@tavrek.example", "взлом", None, None)),
            ("sorx_migrate_passwords", (1,)),
        ]
        before = self.snapshot(uid_b)
        for who, conn in self.client_connections():
            for name, args in calls:
                with self.subTest(who=who, routine=name):
                    placeholders = ", ".join(a if isinstance(a, str) and a.startswith("@") else "%s" for a in args)
                    values = tuple(a for a in args if not (isinstance(a, str) and a.startswith("@")))
                    self.assertRefused(sk.ACCESS_DENIED, sk.query, conn,
                                       "CALL %s(%s)" % (name, placeholders), *values)
        self.assertEqual(before, self.snapshot(uid_b))
        # The password of b is still his own.
        with sk.gate(self.db) as g:
            self.assertEqual(sk.call_one(g, "sor_login", "rights.b@tavrek.example", md5)["Result"], 0)

    def test_gate_account_plays_no_game(self):
        with sk.gate(self.db) as g:
            for name, args in [("sor_status", ()), ("sor_set_status", (2,)), ("sor_new_game", ()),
                               ("sor_tour_begin", (1,)), ("sor_next", (1,)), ("sor_results", ())]:
                with self.subTest(routine=name):
                    self.assertRefused(sk.NOT_A_PLAYER, sk.call, g, name, self.b.token, *args)

    def test_kill_of_another_players_connection_is_refused(self):
        b_id = self.b.connection_id()
        # b's connection is not even listed to a.
        listed = [r[0] for r in sk.query(self.a.conn, "SELECT ID FROM information_schema.PROCESSLIST")]
        self.assertNotIn(b_id, listed)
        for stmt in ("KILL %d", "KILL CONNECTION %d", "KILL QUERY %d"):
            with self.subTest(stmt=stmt):
                self.assertRefused(1095, sk.query, self.a.conn, stmt % b_id)
        with sk.gate(self.db) as g:
            self.assertRefused(1095, sk.query, g, "KILL %d" % b_id)
        self.assertEqual(sk.query(self.b.conn, "SELECT 1")[0][0], 1)
        # A player's own second connection is his to end.
        second = sk.connect(self.a.user, self.a.secret, self.db)
        second_id = sk.query(second, "SELECT CONNECTION_ID()")[0][0]
        sk.query(self.a.conn, "KILL %d" % second_id)
        with self.assertRaises(pymysql.MySQLError):
            sk.query(second, "SELECT 1")

    def test_player_account_connections_are_limited(self):
        conns = []
        try:
            with self.assertRaises(pymysql.MySQLError) as caught:
                for _ in range(10):
                    conns.append(sk.connect(self.b.user, self.b.secret, self.db))
            self.assertEqual(caught.exception.args[0], 1226)  # max_user_connections
            self.assertEqual(len(conns), 3)  # and the one the test holds
        finally:
            for c in conns:
                c.close()

    def test_routine_owner_cannot_log_in(self):
        for password in ("", "invalid"):
            with self.subTest(password=password):
                with self.assertRaises(pymysql.MySQLError):
                    sk.connect("sorventa_def_" + self.db, password, self.db)
        # A new login ends the secret of the one before.
        old_user, old_secret = self.a.user, self.a.secret
        with sk.gate(self.db) as g:
            self.admin_exec("UPDATE users SET dt = NOW() - INTERVAL 1 MINUTE WHERE ID = %s", self.a.id)
            row = sk.call_one(g, "sor_login", "rights.a@tavrek.example", sk.md5_of("пароль-а"))
        self.assertEqual(row["Result"], 1)
        self.assertEqual(row["DbUser"], old_user)
        with self.assertRaises(pymysql.MySQLError):
            sk.connect(old_user, old_secret, self.db)
        type(self).a.close()
        a = sk.Player.__new__(sk.Player)
        a.database, a.email, a.id = self.db, "rights.a@tavrek.example", row["ID"]
        a.token, a.user, a.secret = row["Session"], row["DbUser"], row["DbSecret"]
        a.conn = sk.connect(a.user, a.secret, self.db)
        type(self).a = a


if __name__ == "__main__":
    sk.main()
