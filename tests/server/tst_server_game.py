#!/usr/bin/python3
"""The server draws, judges, stamps and scores: a game through the routines
follows the game's rules, nothing the client gets before its answer is stored
tells the right variant, and bad or out-of-turn calls are refused whole."""

import statistics
import threading
import time

import serverkit as sk


class ServerGame(sk.ServerTest):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.right = dict(sk.query(cls.adm, "SELECT Id, var4 FROM Sor_questions"))
        cls.level = dict(sk.query(cls.adm, "SELECT Id, qlevel FROM Sor_questions"))
        cls.variants = {r[0]: sorted(r[1:]) for r in
                        sk.query(cls.adm, "SELECT Id, var1, var2, var3, var4 FROM Sor_questions")}

    def login(self, email, password="пароль"):
        if not self.admin_rows("SELECT 1 FROM users WHERE loginEmail = %s", email):
            sk.register(self.db, email, password)
        # Each login of an account here is more than 15 seconds after the last one.
        self.admin_exec("UPDATE users SET dt = NOW() - INTERVAL 1 MINUTE WHERE loginEmail = %s", email)
        return sk.Player(self.db, email, sk.md5_of(password))

    def start_tour1(self, p):
        p.call("sor_new_game")
        p.call("sor_set_status", 2)
        return p.call_one("sor_tour_begin", 1)

    def test_a_whole_game_is_drawn_judged_and_scored_on_the_server(self):
        p = self.login("game@tavrek.example")
        seen, steps = [], []
        wrong_every = 3

        def choose(n):
            self.assertEqual(n["QuestNum"], n["TurAnswers"] + 1)
            self.assertEqual(self.level[n["QuestID"]], n["QuestNum"])
            self.assertNotIn(n["QuestID"], seen)  # never a question answered in this game
            seen.append(n["QuestID"])
            right = self.right[n["QuestID"]]
            if len(seen) % wrong_every == 0:
                return next(a for a in (n["Answer1"], n["Answer2"], n["Answer3"], n["Answer4"]) if a != right)
            return right

        def on_step(n, verdict):
            steps.append(verdict)
            self.assertEqual(verdict["IsRight"], int(len(seen) % wrong_every != 0))
            self.assertEqual(verdict["RightAnswer"], self.right[n["QuestID"]])
            self.assertEqual(verdict["TurAnswers"], n["TurAnswers"] + 1)
            self.assertEqual(verdict["Repeated"], 0)

        t0 = time.monotonic()
        result = sk.play_game(p, choose, on_step)
        self.assertEqual(len(steps), 63)
        # The game's rows as the six tables have always held them.
        rows = self.admin_rows("SELECT QTur, COUNT(*), SUM(QVar = 4) FROM Sor_Games WHERE SorUserID = %s "
                               "GROUP BY QTur ORDER BY QTur", p.id)
        self.assertEqual([(r[0], r[1]) for r in rows], [(1, 21), (2, 21), (3, 21)])
        right = sum(int(r[2]) for r in rows)
        self.assertEqual(right, 63 - 63 // wrong_every)
        stamps = self.admin_rows("SELECT GameStatus, Time_lvl1, Time_lvl1_end, Time_lvl2, Time_lvl2_end, Time_lvl3, "
                                 "Time_lvl3_end FROM Sor_users WHERE UserID = %s", p.id)[0]
        self.assertEqual(stamps[0], 4)
        lengths = self.admin_rows("SELECT level1, level2, level3 FROM Sor_setttings ORDER BY id LIMIT 1")[0]
        left = sum(lengths[i] - abs(int((stamps[2 + 2 * i] - stamps[1 + 2 * i]).total_seconds())) for i in range(3))
        self.assertEqual(result["AnsAll"], 63)
        self.assertEqual(result["AnsRich"], right)
        self.assertEqual(result["TimeLeft"], left)
        self.assertEqual(float(result["Score"]), right + left * 0.001)
        print("\n  a game of 63 answers through the routines: %.2f s" % (time.monotonic() - t0))
        p.close()

    def test_nothing_before_the_stored_answer_tells_the_right_variant(self):
        p = self.login("blind@tavrek.example")
        begun = self.start_tour1(p)
        places = [0, 0, 0, 0]
        qid = None
        draws = 200
        for _ in range(draws):
            n = p.call_one("sor_next", 1)
            self.assertEqual(list(n.keys()), sk.NEXT_COLUMNS)
            if qid is None:
                qid = n["QuestID"]
            self.assertEqual(n["QuestID"], qid)  # asked again, the same question
            answers = [n["Answer1"], n["Answer2"], n["Answer3"], n["Answer4"]]
            self.assertEqual(sorted(answers), self.variants[qid])
            places[answers.index(self.right[qid])] += 1
        # The right variant lands on every place about as often (each at least
        # 25 of 200 times fails by chance with a probability below 1e-9).
        self.assertTrue(all(c >= 25 for c in places), places)
        # Nothing else handed out before the answer carries a variant.
        for row in [begun, p.call_one("sor_status")] + [p.call_one(name, 1) for name in ("sor_tour_begin",)]:
            self.assertFalse(set(map(str, row.values())) & set(self.variants[qid]), row)
        self.assertFalse(self.admin_rows("SELECT 1 FROM Sor_Games WHERE SorUserID = %s", p.id))
        p.call_one("sor_answer", qid, self.right[qid])
        p.close()

    def test_answers_are_taken_once_and_only_for_the_question_asked(self):
        p = self.login("rules@tavrek.example")
        self.start_tour1(p)
        n = p.call_one("sor_next", 1)
        qid, right = n["QuestID"], self.right[n["QuestID"]]
        wrong = next(a for a in (n["Answer1"], n["Answer2"], n["Answer3"], n["Answer4"]) if a != right)
        other = next(q for q, lv in self.level.items() if lv == 1 and q != qid)
        before = self.all_rows()
        cases = [
            ("a question not asked", sk.NOT_NOW, (other, self.right[other])),
            ("a text that is no variant", sk.BAD_VALUE, (qid, right + " ")),
            ("a variant in other letter case", sk.BAD_VALUE, (qid, right.upper() if right.upper() != right else right + "x")),
        ]
        for what, errno, args in cases:
            with self.subTest(what):
                self.assertRefused(errno, p.call, "sor_answer", *args)
                self.assertEqual(before, self.all_rows())
        first = p.call_one("sor_answer", qid, wrong)
        self.assertEqual((first["IsRight"], first["RightAnswer"], first["Repeated"]), (0, right, 0))
        after = self.all_rows()
        for text in (right, wrong):  # sent again, even with the other text
            again = p.call_one("sor_answer", qid, text)
            self.assertEqual((again["IsRight"], again["RightAnswer"], again["Repeated"], again["TurAnswers"]),
                             (0, right, 1, 1))
        self.assertEqual(after, self.all_rows())
        # The next question is of the next level.
        self.assertEqual(p.call_one("sor_next", 1)["QuestNum"], 2)
        p.close()

    def test_an_answer_sent_twice_at_once_is_stored_once(self):
        p = self.login("twin@tavrek.example")
        self.start_tour1(p)
        conns = [p.conn] + [sk.connect(p.user, p.secret, self.db) for _ in range(2)]
        for _ in range(5):
            n = p.call_one("sor_next", 1)
            barrier = threading.Barrier(len(conns))
            verdicts, errors = [], []

            def send(conn):
                barrier.wait()
                try:
                    verdicts.append(sk.call_one(conn, "sor_answer", p.token, n["QuestID"], n["Answer3"]))
                except Exception as e:  # noqa: BLE001 - any failure is the fault looked for
                    errors.append(e)

            threads = [threading.Thread(target=send, args=(c,)) for c in conns]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            self.assertEqual(errors, [])
            self.assertEqual(sorted(v["Repeated"] for v in verdicts), [0, 1, 1])
            self.assertEqual(len({(v["IsRight"], v["RightAnswer"], v["TurAnswers"]) for v in verdicts}), 1)
        self.assertEqual(self.admin_rows("SELECT COUNT(*) FROM Sor_Games WHERE SorUserID = %s", p.id)[0][0], 5)
        for c in conns[1:]:
            c.close()
        p.close()

    def test_tours_run_in_order_and_in_their_time(self):
        p = self.login("clock@tavrek.example")
        self.assertRefused(sk.NOT_NOW, p.call, "sor_next", 1, message="Тур не начат.")
        self.start_tour1(p)
        self.assertRefused(sk.NOT_NOW, p.call, "sor_tour_begin", 2, message="Предыдущий тур не закончен.")
        self.assertRefused(sk.NOT_NOW, p.call, "sor_tour_end", 1, message="Тур не закончен.")
        n = p.call_one("sor_next", 1)
        self.assertEqual(n["TimeLeft"], n["TourLength"])
        # The tour began longer ago than it lasts: the answer comes too late.
        self.admin_exec("UPDATE Sor_users u, Sor_setttings s SET u.Time_lvl1 = NOW() - INTERVAL (s.level1 + 10) SECOND "
                        "WHERE u.UserID = %s", p.id)
        before = self.all_rows()
        self.assertRefused(sk.NOT_NOW, p.call, "sor_answer", n["QuestID"], self.right[n["QuestID"]],
                           message="Время тура истекло.")
        self.assertEqual(before, self.all_rows())
        late = p.call_one("sor_next", 1)
        self.assertEqual((late["TimeLeft"], late["QuestID"], late["Answer1"]), (0, None, None))
        # Resumed: the clock the server leaves the tour.
        self.admin_exec("UPDATE Sor_users SET Time_lvl1 = NOW() - INTERVAL 100 SECOND WHERE UserID = %s", p.id)
        resumed = p.call_one("sor_tour_begin", 1)
        self.assertIn(resumed["TimeLeft"], (resumed["TourLength"] - 100, resumed["TourLength"] - 101))
        self.assertEqual(resumed["Started"], 0)
        p.close()

    def test_a_new_login_takes_the_session_over(self):
        first = self.login("twice@tavrek.example")
        self.start_tour1(first)
        second = self.login("twice@tavrek.example")
        before = self.all_rows()
        for name, args in [("sor_status", ()), ("sor_set_status", (0,)), ("sor_new_game", ()),
                           ("sor_tour_begin", (1,)), ("sor_next", (1,)), ("sor_answer", (1, "x")),
                           ("sor_tour_end", (1,)), ("sor_results", ())]:
            with self.subTest(name):
                self.assertRefused(sk.TAKEN_OVER, first.call, name, *args, message="Сессия не действительна!")
        self.assertEqual(before, self.all_rows())
        self.assertEqual(second.call_one("sor_status")["UserID"], second.id)
        # A login again within 15 seconds: result 2 replaces the session all the
        # same (so the copy playing loses it), but hands nothing out.
        with sk.gate(self.db) as g:
            row = sk.call_one(g, "sor_login", "twice@tavrek.example", sk.md5_of("пароль"))
        self.assertEqual((row["Result"], row["ID"], row["Session"], row["DbUser"], row["DbSecret"]),
                         (2, second.id, None, None, None))
        self.assertRefused(sk.TAKEN_OVER, second.call, "sor_status")
        first.close()
        second.close()

    def test_bad_input_is_refused_and_writes_nothing(self):
        p = self.login("input@tavrek.example")
        self.start_tour1(p)
        qid = p.call_one("sor_next", 1)["QuestID"]
        long_text = "я" * 256
        unknown = "{00000000-0000-0000-0000-000000000000}"
        game_cases = [
            ("sor_status", (None,)), ("sor_status", ("",)), ("sor_status", (p.token.lower(),)),
            ("sor_status", (p.token + " ",)), ("sor_status", ("x" * 70000,)),
            ("sor_set_status", (p.token, None)), ("sor_set_status", (p.token, "два")),
            ("sor_set_status", (p.token, 5)), ("sor_set_status", (p.token, -1)), ("sor_set_status", (p.token, 2.5)),
            ("sor_tour_begin", (p.token, 0)), ("sor_tour_begin", (p.token, 4)), ("sor_tour_begin", (p.token, None)),
            ("sor_tour_end", (p.token, "1; DROP TABLE users")),
            ("sor_next", (p.token, "1 ")), ("sor_next", (p.token, 99999999999999999999)),
            ("sor_answer", (p.token, None, "x")), ("sor_answer", (p.token, qid, None)),
            ("sor_answer", (p.token, "abc", "x")), ("sor_answer", (p.token, qid, long_text)),
            ("sor_answer", (p.token, 0, "x")),
            ("sor_results", (None,)),
        ]
        gate_cases = [
            ("sor_login", (None, sk.DEMO_MD5)), ("sor_login", (sk.DEMO_EMAIL, None)),
            ("sor_login", ("a" * 250 + "@x.ru", sk.DEMO_MD5)), ("sor_login", (sk.DEMO_EMAIL, sk.DEMO_MD5.upper())),
            ("sor_login", (sk.DEMO_EMAIL, "sorventa")), ("sor_login", ("нет адреса", sk.DEMO_MD5)),
            ("sor_register", ("new@tavrek.example", sk.DEMO_MD5, None, "")),
            ("sor_register", ("new@tavrek.example", sk.DEMO_MD5, "", "ф" * 101)),
            ("sor_register", ("new@tavrek.example", "", "", "")),
            ("sor_register", ("new\r\nBcc: x@y.z@tavrek.example", sk.DEMO_MD5, "", "")),
            ("sor_register", ("<new@tavrek.example>", sk.DEMO_MD5, "", "")),
            ("sor_restore_request", (None,)), ("sor_restore_request", ("new@tavrek\n.example",)),
            ("sor_restore_request", ("@tavrek.example",)),
            ("sor_restore", (sk.DEMO_EMAIL, None, sk.DEMO_MD5)), ("sor_restore", (sk.DEMO_EMAIL, "", sk.DEMO_MD5)),
            ("sor_restore", (sk.DEMO_EMAIL, "c" * 33, sk.DEMO_MD5)), ("sor_restore", (sk.DEMO_EMAIL, "code", None)),
        ]
        before = self.all_rows()
        for name, args in game_cases:
            with self.subTest(routine=name, args=repr(args)[:80]):
                self.assertRefused(sk.BAD_VALUE, sk.call, p.conn, name, *args)
        self.assertRefused(sk.TAKEN_OVER, sk.call, p.conn, "sor_status", unknown)
        with sk.gate(self.db) as g:
            for name, args in gate_cases:
                with self.subTest(routine=name, args=repr(args)[:80]):
                    msg = self.assertRefused(sk.BAD_VALUE, sk.call, g, name, *args)
                    self.assertTrue(msg.startswith("Неверное значение: "), msg)
        self.assertEqual(before, self.all_rows())
        p.close()

    def test_round_trips_of_a_step(self):
        """Figures: the calls of one answer step and their time on loopback."""
        p = self.login("figures@tavrek.example")
        self.start_tour1(p)
        times = []
        n = p.call_one("sor_next", 1)
        for _ in range(20):
            t0 = time.perf_counter()
            p.call_one("sor_status")  # the single-session check
            p.call_one("sor_answer", n["QuestID"], n["Answer1"])
            n = p.call_one("sor_next", 1)
            times.append((time.perf_counter() - t0) * 1000)
        times.sort()
        print("\n  an answer step: 3 round trips (session check, answer, next question); "
              "median %.2f ms, p95 %.2f ms over %d steps" %
              (statistics.median(times), times[int(len(times) * 0.95) - 1], len(times)))
        p.close()


if __name__ == "__main__":
    sk.main()
