#!/usr/bin/python3
"""An existing game server brought over by `game-server migrate`: the six
tables keep their columns and rows, the players' MD5 passwords are hashed
beside them, their games go on through the routines, and a second run changes
nothing."""

import hashlib
import os

import serverkit as sk

SIX = ("users", "Sor_users", "Sor_questions", "Sor_Games", "Sor_setttings", "Version")


def server_hash(salt, md5, rounds):
    s = (salt + md5).encode()
    h = hashlib.sha256(s).hexdigest()
    for _ in range(rounds - 1):
        h = hashlib.sha256(h.encode() + s).hexdigest()
    return h


class ServerMigration(sk.ServerTest):

    @classmethod
    def setUpClass(cls):
        if "SORVENTA_TEST_SERVER_DIR" not in os.environ:
            raise sk.unittest.SkipTest("the test game server is not running")
        # A database as an earlier server holds it: the six tables, their seed,
        # players with MD5 passwords and a game in progress; nothing else.
        cls.db = sk.own_database()
        with sk.admin("mysql") as root:
            sk.query(root, "DROP DATABASE IF EXISTS `%s`" % cls.db)
            sk.query(root, "CREATE DATABASE `%s` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci" % cls.db)
        cls.adm = sk.admin(cls.db)
        for path in ("data/schema.sql", "data/seed/seed.sql"):
            with open(os.path.join(sk.ROOT, path), encoding="utf-8") as f:
                sk.game_server("sql", "--database", cls.db, stdin=f.read())
        for level in range(1, 22):
            for k in range(3):
                sk.query(cls.adm, "INSERT INTO Sor_questions (Question, var1, var2, var3, var4, qlevel) "
                         "VALUES (%s, 'a', 'b', 'c', 'd', %s)", "вопрос %d.%d" % (level, k), level)
        cls.players = {"old.one@tavrek.example": "первый", "old.two@tavrek.example": "second one"}
        for email, password in cls.players.items():
            sk.query(cls.adm, "INSERT INTO users (loginEmail, password, name, surname, dt) "
                     "VALUES (%s, %s, 'Старый', 'Игрок', NOW() - INTERVAL 1 DAY)", email, sk.md5_of(password))
        one = sk.query(cls.adm, "SELECT ID FROM users WHERE loginEmail = 'old.one@tavrek.example'")[0][0]
        sk.query(cls.adm, "INSERT INTO Sor_users (UserID, dt, `Session`, GameStatus, Time_lvl1, Time_lvl1_end, "
                 "Time_lvl2) VALUES (%s, NOW(), '{11111111-2222-3333-4444-555555555555}', 2, NOW() - INTERVAL 700 "
                 "SECOND, NOW() - INTERVAL 200 SECOND, NOW() - INTERVAL 100 SECOND)", one)
        for level in range(1, 22):
            sk.query(cls.adm, "INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) "
                     "SELECT Id, 4, 1, %s FROM Sor_questions WHERE qlevel = %s ORDER BY Id LIMIT 1", one, level)
        sk.query(cls.adm, "INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) "
                 "SELECT Id, 2, 2, %s FROM Sor_questions WHERE qlevel = 1 ORDER BY Id DESC LIMIT 1", one)
        cls.one = one

    def six_tables(self):
        columns = self.admin_rows(
            "SELECT TABLE_NAME, COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE, COLUMN_DEFAULT, COLLATION_NAME "
            "FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME IN %s "
            "ORDER BY TABLE_NAME, ORDINAL_POSITION", SIX)
        rows = {t: sorted(self.admin_rows("SELECT * FROM `%s`" % t), key=repr) for t in SIX}
        return columns, rows

    def test_migration_brings_players_and_games_over_once(self):
        before = self.six_tables()
        out = sk.game_server("migrate", "--database", self.db)
        self.assertIn("users: 3 passwords hashed into Sor_passwords", out)  # the demo player and two more
        self.assertEqual(before, self.six_tables())

        # The scheme as documented, checked from outside.
        hashes = self.admin_rows("SELECT u.loginEmail, p.salt, p.rounds, p.hash FROM Sor_passwords p "
                                 "JOIN users u ON u.ID = p.UserID")
        self.assertEqual(len(hashes), 3)
        passwords = dict(self.players, **{sk.DEMO_EMAIL: "sorventa"})
        for email, salt, rounds, h in hashes:
            with self.subTest(email=email):
                self.assertEqual(rounds, 10000)
                self.assertEqual(h, server_hash(salt, sk.md5_of(passwords[email]), rounds))
        self.assertEqual(len({s for _, s, _, _ in hashes}), 3)  # a salt each

        again = sk.game_server("migrate", "--database", self.db)
        self.assertEqual(again.strip(), "")
        self.assertEqual(hashes, self.admin_rows("SELECT u.loginEmail, p.salt, p.rounds, p.hash FROM Sor_passwords p "
                                                 "JOIN users u ON u.ID = p.UserID"))
        self.assertEqual(before, self.six_tables())

        # Every old player logs in with his old password; the game goes on
        # where it stood: tour 1 closed with its 21 answers, tour 2 running.
        for email, password in self.players.items():
            with self.subTest(login=email):
                p = sk.Player(self.db, email, sk.md5_of(password))
                self.assertEqual(p.id, self.admin_rows("SELECT ID FROM users WHERE loginEmail = %s", email)[0][0])
                p.close()
        self.admin_exec("UPDATE users SET dt = NOW() - INTERVAL 1 MINUTE WHERE ID = %s", self.one)
        one = sk.Player(self.db, "old.one@tavrek.example", sk.md5_of("первый"))
        status = one.call_one("sor_status")
        self.assertEqual(status["GameStatus"], 2)
        tour2 = one.call_one("sor_tour_begin", 2)
        self.assertEqual((tour2["Started"], tour2["TurAnswers"]), (0, 1))
        expected = self.admin_rows("SELECT s.level2 - TIMESTAMPDIFF(SECOND, u.Time_lvl2, NOW()) FROM Sor_users u, "
                                   "Sor_setttings s WHERE u.UserID = %s", self.one)[0][0]
        self.assertIn(tour2["TimeLeft"], (expected, expected + 1))
        self.assertLess(tour2["TimeLeft"], 500)
        n = one.call_one("sor_next", 2)
        self.assertEqual(n["QuestNum"], 2)
        answered = {r[0] for r in self.admin_rows("SELECT QuestID FROM Sor_Games WHERE SorUserID = %s", self.one)}
        self.assertNotIn(n["QuestID"], answered)
        self.assertEqual(one.call_one("sor_answer", n["QuestID"], "d")["IsRight"], 1)
        one.close()

        # Until the old statements retire, a password they set wins over the
        # hash made before it.
        self.admin_exec("UPDATE users SET password = %s, dt = NOW() - INTERVAL 1 MINUTE WHERE ID = %s",
                        sk.md5_of("новый"), self.one)
        with sk.gate(self.db) as g:
            self.assertEqual(sk.call_one(g, "sor_login", "old.one@tavrek.example", sk.md5_of("первый"))["Result"], 0)
            self.assertEqual(sk.call_one(g, "sor_login", "old.one@tavrek.example", sk.md5_of("новый"))["Result"], 1)
        self.assertEqual(self.admin_rows("SELECT hash FROM Sor_passwords p JOIN users u ON u.ID = p.UserID "
                                         "WHERE u.ID = %s", self.one)[0][0],
                         server_hash(*self.admin_rows("SELECT salt FROM Sor_passwords WHERE UserID = %s",
                                                      self.one)[0], sk.md5_of("новый"), 10000))
        # (and the password of before set again by the old statements, which the
        # retirement then hashes)
        self.admin_exec("UPDATE users SET password = %s WHERE ID = %s", sk.md5_of("первый"), self.one)
        self.admin_exec("DELETE FROM Sor_login_fails")

    def test_old_client_retired(self):
        sk.game_server("migrate", "--database", self.db)
        with open(os.path.join(sk.ROOT, "data/client-account.sql"), encoding="utf-8") as f:
            sk.game_server("sql", "--database", "mysql", stdin=f.read().replace("@DATABASE@", self.db))
        old = sk.connect("tavrekdb2", "Hb3Tz8WqPn5J", self.db)
        self.assertEqual(len(sk.query(old, "SELECT * FROM users")), 3)  # side by side, until retired

        out = sk.game_server("retire-old-client", "--database", self.db)
        self.assertIn("users: 3 MD5 passwords and restore codes emptied", out)
        self.assertEqual(sk.game_server("retire-old-client", "--database", self.db).strip(), "")
        self.assertEqual(self.admin_rows("SELECT DISTINCT password, CodeRest FROM users"), [("", "")])
        for sql in ("SELECT * FROM users", "SELECT * FROM Sor_questions", "DELETE FROM Sor_Games"):
            with self.subTest(sql=sql):
                self.assertRefused(sk.ACCESS_DENIED, sk.query, old, sql)
        old.close()
        # The players keep their passwords.
        for email, password in self.players.items():
            self.admin_exec("UPDATE users SET dt = NOW() - INTERVAL 1 MINUTE WHERE loginEmail = %s", email)
            sk.Player(self.db, email, sk.md5_of(password)).close()


if __name__ == "__main__":
    sk.main()
