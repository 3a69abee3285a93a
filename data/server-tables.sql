-- What the game server keeps beside the six game tables, for the routines of
-- data/routines.sql: password hashes, guessing limits, restore codes, the
-- question each player is being asked, and the mail waiting to go out.
-- Every statement may run again on a database that has them already; the six
-- game tables are not touched.

-- The salted, iterated SHA-256 of the client's password hash (the client still
-- sends the MD5 of Part "password hash": stored logins rely on it).
--   h(1) = SHA2(salt || md5), h(k+1) = SHA2(h(k) || salt || md5), hash = h(rounds)
CREATE TABLE IF NOT EXISTS Sor_passwords (
  UserID  INT      NOT NULL,
  salt    CHAR(32) NOT NULL COLLATE ascii_bin,
  rounds  INT      NOT NULL,
  hash    CHAR(64) NOT NULL COLLATE ascii_bin,
  changed DATETIME NOT NULL,
  PRIMARY KEY (UserID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- Wrong passwords, one row each; rows older than the window no longer count and
-- are swept by the next attempt on the account.
CREATE TABLE IF NOT EXISTS Sor_login_fails (
  id     BIGINT      NOT NULL AUTO_INCREMENT,
  UserID INT         NOT NULL,
  at     DATETIME(6) NOT NULL,
  host   VARCHAR(255) NOT NULL DEFAULT '',
  PRIMARY KEY (id),
  KEY ix_Sor_login_fails_user (UserID, at)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- Registrations and restore requests, by the client host the server sees.
CREATE TABLE IF NOT EXISTS Sor_requests (
  id   BIGINT       NOT NULL AUTO_INCREMENT,
  kind VARCHAR(16)  NOT NULL,
  host VARCHAR(255) NOT NULL,
  at   DATETIME(6)  NOT NULL,
  PRIMARY KEY (id),
  KEY ix_Sor_requests_host (kind, host, at)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- The pending restore code of an account, hashed; one at a time.
CREATE TABLE IF NOT EXISTS Sor_restore (
  UserID INT      NOT NULL,
  salt   CHAR(32) NOT NULL COLLATE ascii_bin,
  hash   CHAR(64) NOT NULL COLLATE ascii_bin,
  made   DATETIME NOT NULL,
  tries  INT      NOT NULL DEFAULT 0,
  PRIMARY KEY (UserID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- The question a player is being asked: drawn by the server, answered once.
-- Only this question is accepted as the player's next answer.
CREATE TABLE IF NOT EXISTS Sor_draws (
  UserID  INT      NOT NULL,
  QuestID INT      NOT NULL,
  QTur    INT      NOT NULL,
  qlevel  INT      NOT NULL,
  drawn   DATETIME NOT NULL,
  PRIMARY KEY (UserID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- Mail the server sends. The restore routine writes rows in state 0; the mail
-- sender (its own account: SELECT and UPDATE of this table, nothing else) takes
-- a row (state 1, taken), then marks it sent (2) or failed (3) with the
-- server's answer in `error`. The body holds a restore code in clear only
-- until the row is sent or failed: the sender empties it then.
CREATE TABLE IF NOT EXISTS Sor_outbox (
  id        BIGINT        NOT NULL AUTO_INCREMENT,
  created   DATETIME      NOT NULL,
  recipient VARCHAR(254)  NOT NULL,
  subject   VARCHAR(255)  NOT NULL,
  body      TEXT          NOT NULL,
  state     TINYINT       NOT NULL DEFAULT 0,
  tries     INT           NOT NULL DEFAULT 0,
  taken     DATETIME      NULL,
  done      DATETIME      NULL,
  error     VARCHAR(1000) NOT NULL DEFAULT '',
  PRIMARY KEY (id),
  KEY ix_Sor_outbox_state (state, id),
  KEY ix_Sor_outbox_recipient (recipient, created)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- The server's limits, changed by the operator with an UPDATE; the routines
-- read them at every call.
CREATE TABLE IF NOT EXISTS Sor_limits (
  name  VARCHAR(64)  NOT NULL,
  value INT          NOT NULL,
  note  VARCHAR(255) NOT NULL DEFAULT '',
  PRIMARY KEY (name)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

INSERT IGNORE INTO Sor_limits (name, value, note) VALUES
  ('login_fails',       10,    'wrong passwords per account within login_window'),
  ('login_window',      600,   'seconds'),
  ('register_per_host', 20,    'registrations per client host within request_window'),
  ('restore_per_host',  10,    'restore requests per client host within request_window'),
  ('restore_per_mail',  5,     'restore mails per address within request_window'),
  ('request_window',    3600,  'seconds'),
  ('code_life',         3600,  'seconds a restore code stays good'),
  ('code_tries',        5,     'wrong codes that end a restore code'),
  ('answer_grace',      2,     'seconds after the tour clock an answer is still taken'),
  ('hash_rounds',       10000, 'SHA-256 rounds of a password hash made from now on'),
  ('player_connections', 4,    'connections of one player''s account at a time'),
  ('player_statement_time', 5, 'seconds a statement of a player''s account may run');
