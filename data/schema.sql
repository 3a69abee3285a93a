-- The game database. The client only reads and writes rows; it never changes
-- tables. Stamps use '0000-00-00 00:00:00' for "not set", so the server's
-- sql_mode must admit the zero date (no NO_ZERO_DATE).

CREATE TABLE users (
  ID         INT          NOT NULL AUTO_INCREMENT,
  -- Stored trimmed and lower-cased; case-insensitive so that a capitalised copy
  -- of an address is a duplicate and the restore finds it as typed.
  loginEmail VARCHAR(254) NOT NULL COLLATE utf8mb4_unicode_ci,
  -- MD5 of the password, 32 lower-case hex digits. Binary: compared exactly.
  password   CHAR(32)     NOT NULL DEFAULT '' COLLATE utf8mb4_bin,
  name       VARCHAR(100) NOT NULL DEFAULT '',
  surname    VARCHAR(100) NOT NULL DEFAULT '',
  -- The pending restore code, '' once used. Binary: a code differs by letter case.
  CodeRest   VARCHAR(32)  NOT NULL DEFAULT '' COLLATE utf8mb4_bin,
  dt         DATETIME     NOT NULL DEFAULT '0000-00-00 00:00:00',
  PRIMARY KEY (ID),
  UNIQUE KEY uq_users_loginEmail (loginEmail)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- One row per player who has logged in: the session and the game in progress.
-- The login's upsert supplies only UserID, dt and Session; the defaults are a
-- fresh state (no game, no tour started or ended).
CREATE TABLE Sor_users (
  UserID        INT         NOT NULL,
  dt            DATETIME    NOT NULL DEFAULT '0000-00-00 00:00:00',
  `Session`     VARCHAR(38) NOT NULL DEFAULT '' COLLATE utf8mb4_bin,
  GameStatus    INT         NOT NULL DEFAULT 0,
  Time_lvl1     DATETIME    NOT NULL DEFAULT '0000-00-00 00:00:00',
  Time_lvl2     DATETIME    NOT NULL DEFAULT '0000-00-00 00:00:00',
  Time_lvl3     DATETIME    NOT NULL DEFAULT '0000-00-00 00:00:00',
  Time_lvl1_end DATETIME    NOT NULL DEFAULT '0000-00-00 00:00:00',
  Time_lvl2_end DATETIME    NOT NULL DEFAULT '0000-00-00 00:00:00',
  Time_lvl3_end DATETIME    NOT NULL DEFAULT '0000-00-00 00:00:00',
  PRIMARY KEY (UserID),
  KEY ix_Sor_users_Session (`Session`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- The question bank; var4 is always the right answer, qlevel the place in a tour.
CREATE TABLE Sor_questions (
  Id       INT           NOT NULL AUTO_INCREMENT,
  Question VARCHAR(1000) NOT NULL,
  var1     VARCHAR(255)  NOT NULL,
  var2     VARCHAR(255)  NOT NULL,
  var3     VARCHAR(255)  NOT NULL,
  var4     VARCHAR(255)  NOT NULL,
  qlevel   INT           NOT NULL,
  PRIMARY KEY (Id),
  KEY ix_Sor_questions_qlevel (qlevel)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- One row per answer of the current game; a new game deletes the player's rows.
-- A question is answered once in a game: the key refuses a doubled answer.
CREATE TABLE Sor_Games (
  QuestID   INT NOT NULL,
  QVar      INT NOT NULL,
  QTur      INT NOT NULL,
  SorUserID INT NOT NULL,
  PRIMARY KEY (SorUserID, QuestID),
  KEY ix_Sor_Games_user_tour (SorUserID, QTur)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- Tour lengths in seconds; the client reads the first row.
CREATE TABLE Sor_setttings (
  id     INT NOT NULL AUTO_INCREMENT,
  level1 INT NOT NULL DEFAULT 0,
  level2 INT NOT NULL DEFAULT 0,
  level3 INT NOT NULL DEFAULT 0,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- The client version players must run, "a.b.c.d"; the client reads the first row.
CREATE TABLE Version (
  id          INT         NOT NULL AUTO_INCREMENT,
  VerSorventa VARCHAR(32) NOT NULL,
  PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
