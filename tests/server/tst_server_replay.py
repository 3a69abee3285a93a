#!/usr/bin/python3
"""Every routine call of a whole game, replayed with another player's session
token, e-mail address and question put in: nothing of his changes, and
nothing of his comes back."""

import serverkit as sk


class ServerReplay(sk.ServerTest):

    def test_a_game_replayed_with_another_players_keys(self):
        a_email, b_email = "replay.a@tavrek.example", "replay.b@tavrek.example"
        sk.register(self.db, a_email, "пароль a", "Анна", "Первая")
        sk.register(self.db, b_email, "пароль b", "Борис", "Второй")
        a_md5, b_md5 = sk.md5_of("пароль a"), sk.md5_of("пароль b")

        # b is in the middle of a game: two answers, a question asked.
        b = sk.Player(self.db, b_email, b_md5)
        b.call("sor_new_game")
        b.call("sor_set_status", 2)
        b.call_one("sor_tour_begin", 1)
        for _ in range(2):
            n = b.call_one("sor_next", 1)
            b.call_one("sor_answer", n["QuestID"], n["Answer2"])
        b_asked = b.call_one("sor_next", 1)
        with sk.gate(self.db) as g:
            sk.call_one(g, "sor_restore_request", b_email)

        before = self.snapshot(b.id)
        returned = []
        refused = {}

        def run(conn, name, args):
            try:
                returned.extend(sk.call(conn, name, *args))
            except sk.pymysql.MySQLError as e:
                refused[e.args[0]] = refused.get(e.args[0], 0) + 1

        # a plays a whole game; every call is noted. Before it, a answers the
        # question b is asked (a has answered nothing yet).
        a = sk.Recorder(sk.Player(self.db, a_email, a_md5))
        run(a.player.conn, "sor_answer", (a.player.token, b_asked["QuestID"], b_asked["Answer1"]))
        result = sk.play_game(a, lambda n: n["Answer1"])
        self.assertEqual(result["AnsAll"], 63)
        game_calls = a.calls
        self.assertGreater(len(game_calls), 63 * 2)
        gate_calls = [("sor_version", ()), ("sor_login", (a_email, a_md5)),
                      ("sor_register", (a_email, a_md5, "Анна", "Первая")),
                      ("sor_restore_request", (a_email,)), ("sor_restore", (a_email, "0123456789", a_md5))]

        # a's own connection with b's token, and the gate with b's token.
        with sk.gate(self.db) as g:
            for name, args in game_calls:
                run(a.player.conn, name, (b.token,) + args)
                run(g, name, (b.token,) + args)
            # The steps before a login with b's address and a's password.
            for name, args in gate_calls:
                run(g, name, tuple(b_email if x == a_email else x for x in args))
        self.assertEqual(set(refused), {sk.TAKEN_OVER, sk.NOT_A_PLAYER, sk.NOT_NOW, sk.REGISTERED}, refused)
        self.assertEqual(refused[sk.TAKEN_OVER], len(game_calls))
        self.assertEqual(refused[sk.NOT_A_PLAYER], len(game_calls))

        after = self.snapshot(b.id)
        # A restore request for b's address mails b a new code: that is the
        # restore itself, and the code goes to b alone.
        self.assertNotEqual(before.pop("Sor_restore"), after.pop("Sor_restore"))
        self.assertEqual(before, after)
        # b plays on where he was: the same question, his two answers.
        self.assertEqual(b.call_one("sor_next", 1)["QuestID"], b_asked["QuestID"])
        self.assertEqual(b.call_one("sor_next", 1)["TurAnswers"], 2)

        secrets = {b.token, b.secret, b_md5, "Борис", "Второй"}
        for row in returned:
            with self.subTest(row=row):
                self.assertFalse({str(v) for v in row.values()} & secrets)
                for col in ("ID", "UserID"):
                    self.assertNotEqual(row.get(col), b.id)
        b.close()
        a.player.close()


if __name__ == "__main__":
    sk.main()
