#!/usr/bin/python3
"""Guessing is limited and the limits end by themselves: wrong passwords per
account, restore codes (made by the server, kept hashed, good for an hour and
five wrong tries), registrations and restore requests per client host. The
window is tried without waiting for it: the recorded times are moved back."""

import re

import serverkit as sk

LIMIT_TEXT = "Слишком много попыток входа. Попробуйте позже."


class ServerLimits(sk.ServerTest):

    def login(self, email, md5):
        with sk.gate(self.db) as g:
            return sk.call_one(g, "sor_login", email, md5)

    def mailed_code(self, email):
        body = self.admin_rows("SELECT body FROM Sor_outbox WHERE recipient = %s ORDER BY id DESC LIMIT 1", email)[0][0]
        return re.search(r"Код восстановления: (.{10})$", body).group(1)

    def test_thirty_wrong_passwords(self):
        email = "guess@tavrek.example"
        sk.register(self.db, email, "верный")
        right = sk.md5_of("верный")
        outcomes = []
        for i in range(30):
            try:
                outcomes.append(self.login(email, sk.md5_of("неверный %d" % i))["Result"])
            except sk.pymysql.MySQLError as e:
                self.assertEqual(e.args, (sk.TOO_MANY_LOGINS, LIMIT_TEXT))
                outcomes.append("refused")
        self.assertEqual(outcomes, [0] * 10 + ["refused"] * 20)
        # Within the window even the owner is refused: the limit tells nothing.
        self.assertRefused(sk.TOO_MANY_LOGINS, self.login, email, right, message=LIMIT_TEXT)
        # Another account is not touched by it.
        self.assertEqual(self.login(sk.DEMO_EMAIL, sk.DEMO_MD5)["Result"], 1)
        # Ten minutes later.
        uid = self.admin_rows("SELECT ID FROM users WHERE loginEmail = %s", email)[0][0]
        self.admin_exec("UPDATE Sor_login_fails SET at = at - INTERVAL 601 SECOND WHERE UserID = %s", uid)
        row = self.login(email, right)
        self.assertEqual((row["Result"], row["ID"]), (1, uid))
        # Only the ten checked were recorded, and the old ones are swept.
        self.assertEqual(self.admin_rows("SELECT COUNT(*) FROM Sor_login_fails WHERE UserID = %s", uid)[0][0], 10)
        self.assertEqual(self.login(email, sk.md5_of("снова неверный"))["Result"], 0)
        self.assertEqual(self.admin_rows("SELECT COUNT(*) FROM Sor_login_fails WHERE UserID = %s", uid)[0][0], 1)

    def test_restore_code_lives_an_hour_and_five_wrong_tries(self):
        email = "Restore@Tavrek.example"  # the restore takes the address as typed
        sk.register(self.db, email, "старый")
        uid = self.admin_rows("SELECT ID FROM users WHERE loginEmail = %s", email)[0][0]
        new = sk.md5_of("новый")
        with sk.gate(self.db) as g:
            def request():
                self.assertEqual(sk.call_one(g, "sor_restore_request", email)["Sent"], 1)
                return self.mailed_code(email)

            def restore(code, md5=new):
                return sk.call_one(g, "sor_restore", email, code, md5)["Result"]

            code = request()
            self.assertTrue(len(code) == 10 and all(48 <= ord(c) <= 124 for c in code), code)
            # Kept hashed: the code itself is nowhere in the tables but the mail.
            rows = self.all_rows()
            del rows["Sor_outbox"]
            self.assertNotIn(code, repr(rows))

            self.admin_exec("UPDATE Sor_restore SET made = made - INTERVAL 3601 SECOND WHERE UserID = %s", uid)
            self.assertEqual(restore(code), 0)
            self.assertEqual(restore(code), 0)  # and gone

            code = request()
            for i in range(5):
                with self.subTest(wrong_try=i + 1):
                    self.assertEqual(restore("%s%d" % (code[:9], i) if code[9] != str(i) else "wrong"), 0)
            self.assertEqual(restore(code), 0)

            code = request()
            for i in range(4):
                self.assertEqual(restore("x%d" % i), 0)
            self.assertEqual(restore("  %s  " % code), 1)  # spaces around it do not count
            self.assertEqual(restore(code), 0)  # once only
        self.assertEqual(self.login(email.lower(), new)["Result"], 1)
        self.assertEqual(self.login(email.lower(), sk.md5_of("старый"))["Result"], 0)
        # A new code makes the one before useless.
        with sk.gate(self.db) as g:
            sk.call_one(g, "sor_restore_request", email)
            first = self.mailed_code(email)
            sk.call_one(g, "sor_restore_request", email)
            self.assertNotEqual(first, self.mailed_code(email))
            self.assertEqual(sk.call_one(g, "sor_restore", email, first, new)["Result"], 0)

    def test_restore_mail_waits_in_the_outbox(self):
        with sk.gate(self.db) as g:
            self.assertEqual(sk.call_one(g, "sor_restore_request", "nobody@tavrek.example")["Sent"], 0)
            self.assertEqual(sk.call_one(g, "sor_restore_request", sk.DEMO_EMAIL)["Sent"], 1)
        self.assertFalse(self.admin_rows("SELECT 1 FROM Sor_outbox WHERE recipient = 'nobody@tavrek.example'"))
        subject, body, state = self.admin_rows(
            "SELECT subject, body, state FROM Sor_outbox WHERE recipient = %s", sk.DEMO_EMAIL)[-1]
        self.assertEqual(subject, "Восстановление пароляв программе Sorventa ОО «Таврек»")
        lines = body.split("\r\n")
        self.assertEqual(lines[:2], ["Sorventa ОО «Таврек» - Восстановление пароля",
                                     "Введите код восстановления в соответствующее поле в форме востановления пароля."])
        self.assertRegex(lines[2], r"^Код восстановления: .{10}$")
        self.assertEqual(state, 0)
        # The sender's account may read and mark the outbox and nothing else.
        grants = " ".join(r[0] for r in self.admin_rows("SHOW GRANTS FOR 'sorventa_mail_%s'@'localhost'" % self.db))
        self.assertIn("GRANT SELECT, UPDATE (", grants)
        self.assertIn("`%s`.`Sor_outbox`" % self.db, grants)
        self.assertEqual(grants.count(" ON "), 2)  # USAGE and the outbox

    def test_requests_per_client_host(self):
        limits = dict(self.admin_rows("SELECT name, value FROM Sor_limits"))
        self.admin_exec("DELETE FROM Sor_requests")
        with sk.gate(self.db) as g:
            for i in range(limits["register_per_host"]):
                sk.call_one(g, "sor_register", "many%d@tavrek.example" % i, sk.DEMO_MD5, "", "")
            before = self.all_rows()
            self.assertRefused(sk.TOO_MANY_REQUESTS, sk.call, g, "sor_register", "one.more@tavrek.example",
                               sk.DEMO_MD5, "", "")
            for i in range(limits["restore_per_host"]):
                sk.call_one(g, "sor_restore_request", "many%d@tavrek.example" % (i % 3))
            self.assertRefused(sk.TOO_MANY_REQUESTS, sk.call, g, "sor_restore_request", "many9@tavrek.example")
            self.assertEqual(len(self.all_rows()["users"]), len(before["users"]))
            # An hour later both work again.
            self.admin_exec("UPDATE Sor_requests SET at = at - INTERVAL 3601 SECOND")
            self.admin_exec("UPDATE Sor_outbox SET created = created - INTERVAL 3601 SECOND")
            self.assertEqual(sk.call_one(g, "sor_register", "one.more@tavrek.example", sk.DEMO_MD5, "", "")
                             ["Registered"], 1)
            self.assertEqual(sk.call_one(g, "sor_restore_request", "many9@tavrek.example")["Sent"], 1)
            # A registered address stays refused, in the client's own words.
            self.assertRefused(sk.REGISTERED, sk.call, g, "sor_register", "ONE.more@tavrek.example ",
                               sk.DEMO_MD5, "", "",
                               message="Игрок с таким адресом электронной почты уже зарегистрирован.")
        # Restore mail to one address is limited however many hosts ask.
        self.admin_exec("DELETE FROM Sor_requests")
        with sk.gate(self.db) as g:
            for _ in range(limits["restore_per_mail"]):
                sk.call_one(g, "sor_restore_request", "many1@tavrek.example")
                self.admin_exec("DELETE FROM Sor_requests")
            self.assertRefused(sk.TOO_MANY_REQUESTS, sk.call, g, "sor_restore_request", "many1@tavrek.example")

    def test_operator_adds_a_player_and_sets_a_password(self):
        out = sk.game_server("add-player", "--database", self.db, "--email", "Op@Tavrek.example",
                             "--name", "Опер", "--surname", "Атор", stdin="пароль\n")
        self.assertIn("added: op@tavrek.example", out)
        # The client's hash rule: six Cyrillic letters hash as six "?".
        self.assertEqual(self.login("op@tavrek.example", sk.md5_of("??????"))["Result"], 1)
        self.assertEqual(self.admin_rows("SELECT name, surname, password FROM users WHERE loginEmail = %s",
                                         "op@tavrek.example"), [("Опер", "Атор", "")])
        out = sk.game_server("passwd", "--database", self.db, "--email", "op@tavrek.example",
                             stdin=" it's a \\ new one \n")
        self.assertIn("password of player", out)
        self.admin_exec("UPDATE users SET dt = NOW() - INTERVAL 1 MINUTE WHERE loginEmail = 'op@tavrek.example'")
        self.assertEqual(self.login("op@tavrek.example", sk.md5_of(" it's a \\ new one "))["Result"], 1)
        self.assertEqual(self.login("op@tavrek.example", sk.md5_of("??????"))["Result"], 0)


if __name__ == "__main__":
    sk.main()
