"""What the routine tests share: the test game server of the CTest fixture, a
database of the test's own, the client's accounts and the administrator.

Every test target names its database after itself (SORVENTA_TEST_NAME), made
afresh by `game-server create-db`, so targets run side by side.
"""

import os
import subprocess
import sys
import unittest

import pymysql

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GAME_SERVER = os.path.join(ROOT, "scripts", "game-server")

# The gate account's password ships in every copy of the client.
GATE_USER = "sorventa_gate"
GATE_PASSWORD = "Vq8Ns3Lm6Tz2Kd"
DEMO_EMAIL = "demo@tavrek.example"
DEMO_MD5 = "9094d4623a7552bbeab2a9d86111f2d3"  # "sorventa"

TAKEN_OVER, TOO_MANY_LOGINS, BAD_VALUE, NOT_NOW, REGISTERED, TOO_MANY_REQUESTS, NOT_A_PLAYER = range(31001, 31008)
ACCESS_DENIED = (1142, 1143, 1044, 1370)  # table, column, database, routine


def server_dir():
    return os.environ["SORVENTA_TEST_SERVER_DIR"]


def port():
    with open(os.path.join(server_dir(), "port")) as f:
        return int(f.read().strip())


def own_database():
    name = os.environ.get("SORVENTA_TEST_NAME") or os.path.splitext(os.path.basename(sys.argv[0]))[0]
    if name.startswith("tst_"):
        name = name[4:]
    return "t_" + name


def game_server(*args, stdin=None):
    """Runs scripts/game-server on the fixture's folder; returns its output."""
    p = subprocess.run([GAME_SERVER, args[0], "--dir", server_dir(), *args[1:]], input=stdin,
                       capture_output=True, text=True, timeout=300)
    if p.returncode != 0:
        raise AssertionError("game-server %s failed:\n%s%s" % (" ".join(args), p.stdout, p.stderr))
    return p.stdout


def create_database(name):
    game_server("create-db", "--database", name)


def connect(user, password, database, **kw):
    """A client's connection over TCP; encrypted and verified against the
    server folder's CA when the server speaks TLS."""
    ca = os.path.join(server_dir(), "tls", "ca.pem")
    if os.path.exists(ca):
        kw.setdefault("ssl", {"ca": ca, "check_hostname": True})
    return pymysql.connect(host="127.0.0.1", port=port(), user=user, password=password, database=database,
                           charset="utf8mb4", autocommit=True, **kw)


def admin(database):
    return pymysql.connect(unix_socket=os.path.join(server_dir(), "mariadbd.sock"), user="root",
                           database=database, charset="utf8mb4", autocommit=True)


def gate(database):
    return connect(GATE_USER, GATE_PASSWORD, database)


def call(conn, name, *args):
    """CALL name(args...) as the client will: the rows of its first result."""
    with conn.cursor(pymysql.cursors.DictCursor) as cur:
        cur.execute("CALL %s(%s)" % (name, ", ".join(["%s"] * len(args))), args)
        rows = list(cur.fetchall())
        while cur.nextset():
            pass
    return rows


def call_one(conn, name, *args):
    rows = call(conn, name, *args)
    assert len(rows) == 1, (name, rows)
    return rows[0]


def query(conn, sql, *args):
    with conn.cursor() as cur:
        cur.execute(sql, args)
        return list(cur.fetchall())


def md5_of(password):
    """The client's password hash: one byte per UTF-16 code unit, '?' from 128 up."""
    import hashlib
    units = password.encode("utf-16-le")
    data = bytes(units[i] if units[i + 1] == 0 and units[i] < 128 else 63 for i in range(0, len(units), 2))
    return hashlib.md5(data).hexdigest()


class Player:
    """A player logged in through the gate: his own connection, his token."""

    def __init__(self, database, email, md5):
        self.database = database
        self.email = email
        with gate(database) as g:
            row = call_one(g, "sor_login", email, md5)
        assert row["Result"] == 1, row
        self.id = row["ID"]
        self.token = row["Session"]
        self.user = row["DbUser"]
        self.secret = row["DbSecret"]
        self.conn = connect(self.user, self.secret, database)

    def call(self, name, *args):
        return call(self.conn, name, self.token, *args)

    def call_one(self, name, *args):
        return call_one(self.conn, name, self.token, *args)

    def connection_id(self):
        return query(self.conn, "SELECT CONNECTION_ID()")[0][0]

    def close(self):
        self.conn.close()


def register(database, email, password, name="Имя", surname="Фамилия"):
    with gate(database) as g:
        return call_one(g, "sor_register", email, md5_of(password), name, surname)


class ServerTest(unittest.TestCase):
    """A database of the test's own, made afresh once for the test class."""

    db = None

    @classmethod
    def setUpClass(cls):
        if "SORVENTA_TEST_SERVER_DIR" not in os.environ:
            raise unittest.SkipTest("the test game server is not running")
        cls.db = own_database()
        create_database(cls.db)
        cls.adm = admin(cls.db)

    @classmethod
    def tearDownClass(cls):
        cls.adm.close()

    def admin_rows(self, sql, *args):
        return query(self.adm, sql, *args)

    def admin_exec(self, sql, *args):
        query(self.adm, sql, *args)

    def assertRefused(self, errno, fn, *args, message=None):
        """fn(*args) fails with the server's error errno (a refusal of a
        routine, or a right it lacks); returns the message."""
        with self.assertRaises(pymysql.MySQLError) as caught:
            fn(*args)
        got = caught.exception.args
        codes = errno if isinstance(errno, tuple) else (errno,)
        self.assertIn(got[0], codes, got)
        if message is not None:
            self.assertEqual(got[1], message)
        return got[1]

    def snapshot(self, uid, tables=None):
        """Every row of the player uid in the game's tables and the ones beside them."""
        tables = tables or {
            "users": "ID", "Sor_users": "UserID", "Sor_Games": "SorUserID", "Sor_passwords": "UserID",
            "Sor_draws": "UserID", "Sor_restore": "UserID",
        }
        return {t: sorted(self.admin_rows("SELECT * FROM `%s` WHERE `%s` = %%s" % (t, col), uid), key=repr)
                for t, col in tables.items()}

    def all_rows(self):
        tables = [r[0] for r in self.admin_rows("SHOW TABLES")]
        return {t: sorted(self.admin_rows("SELECT * FROM `%s`" % t), key=repr) for t in tables}


def main():
    unittest.main(verbosity=2)


# ---- a game as the client plays it ------------------------------------------------------------

NEXT_COLUMNS = ["Tour", "TurAnswers", "TimeLeft", "TourLength", "ServerTime", "QuestNum", "QuestID", "Question",
                "Answer1", "Answer2", "Answer3", "Answer4"]


class Recorder:
    """A player whose every routine call is noted, for a replay."""

    def __init__(self, player):
        self.player = player
        self.calls = []

    def call(self, name, *args):
        self.calls.append((name, args))  # without the token, which the player adds
        return self.player.call(name, *args)

    def call_one(self, name, *args):
        rows = self.call(name, *args)
        assert len(rows) == 1, (name, rows)
        return rows[0]


def play_game(p, choose, on_step=None):
    """A whole game by the client's steps: the start prompt, the new game, three
    tours of questions until each holds its 21 answers, the results.
    choose(next_row) gives the text of the variant to answer."""
    p.call("sor_status")
    p.call("sor_set_status", 1)
    p.call("sor_new_game")
    p.call("sor_set_status", 2)
    for tour in (1, 2, 3):
        p.call_one("sor_tour_begin", tour)
        while True:
            n = p.call_one("sor_next", tour)
            if n["QuestID"] is None:
                break
            verdict = p.call_one("sor_answer", n["QuestID"], choose(n))
            if on_step:
                on_step(n, verdict)
        p.call("sor_tour_end", tour)
    p.call("sor_set_status", 4)
    return p.call_one("sor_results")
