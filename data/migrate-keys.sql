-- Keys for a game database made before every table had a primary key.
-- Safe to run any number of times, on a new database as on an old one:
--
--   mariadb tavrekdb2 < data/migrate-keys.sql        (scripts/game-server does it at every start)
--
-- What it does, each step only where it is still needed:
--  - Sor_Games gets PRIMARY KEY (SorUserID, QuestID): a question is answered
--    once in a game, and the server refuses a doubled answer. Doubled answers
--    already stored are kept, as they were, in Sor_Games_doubled, and only the
--    first of each stays in Sor_Games. The index (QuestID, SorUserID) goes:
--    the key serves the same lookups.
--  - users, Sor_users and Sor_questions get their key column as primary key;
--    Sor_setttings and Version, which have no key column of their own, get an
--    `id` column as primary key. Rows and the columns the client reads stay.
-- It prints one line per change it made.

DELIMITER $$

-- ---- Sor_Games ---------------------------------------------------------------------
BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.TABLE_CONSTRAINTS
                 WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'Sor_Games'
                   AND CONSTRAINT_TYPE = 'PRIMARY KEY') THEN
    IF EXISTS (SELECT 1 FROM Sor_Games GROUP BY SorUserID, QuestID HAVING COUNT(*) > 1) THEN
      CREATE TABLE IF NOT EXISTS Sor_Games_doubled (
        id        INT      NOT NULL AUTO_INCREMENT,
        QuestID   INT      NOT NULL,
        QVar      INT      NOT NULL,
        QTur      INT      NOT NULL,
        SorUserID INT      NOT NULL,
        moved     DATETIME NOT NULL,
        PRIMARY KEY (id)
      ) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
      INSERT INTO Sor_Games_doubled (QuestID, QVar, QTur, SorUserID, moved)
        SELECT g.QuestID, g.QVar, g.QTur, g.SorUserID, NOW()
        FROM Sor_Games g
        JOIN (SELECT SorUserID, QuestID FROM Sor_Games GROUP BY SorUserID, QuestID HAVING COUNT(*) > 1) d
          ON d.SorUserID = g.SorUserID AND d.QuestID = g.QuestID;
      SELECT CONCAT('Sor_Games: ', ROW_COUNT(), ' rows of doubled answers copied to Sor_Games_doubled') AS migration;
    END IF;
    -- IGNORE keeps the first row of each key in the table's own order (the
    -- order the answers were stored in) and drops the others.
    ALTER IGNORE TABLE Sor_Games ADD PRIMARY KEY (SorUserID, QuestID);
    SELECT 'Sor_Games: PRIMARY KEY (SorUserID, QuestID) added' AS migration;
  END IF;
  IF EXISTS (SELECT 1 FROM information_schema.STATISTICS
             WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'Sor_Games'
               AND INDEX_NAME = 'ix_Sor_Games_quest_user') THEN
    ALTER TABLE Sor_Games DROP INDEX ix_Sor_Games_quest_user;
    SELECT 'Sor_Games: index ix_Sor_Games_quest_user dropped (the key serves it)' AS migration;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM information_schema.STATISTICS
                 WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'Sor_Games'
                   AND INDEX_NAME = 'ix_Sor_Games_user_tour') THEN
    ALTER TABLE Sor_Games ADD INDEX ix_Sor_Games_user_tour (SorUserID, QTur);
    SELECT 'Sor_Games: index ix_Sor_Games_user_tour added' AS migration;
  END IF;
END$$

-- ---- every other table: the same two steps, one table at a time ----------------------
-- Used by this script only, and dropped at its end.

-- The primary key `alteration` gives table `tbl`, where it has none yet.
CREATE OR REPLACE PROCEDURE sorventa_migrate_key(tbl VARCHAR(64), alteration TEXT, done TEXT)
BEGIN
  IF NOT EXISTS (SELECT 1 FROM information_schema.TABLE_CONSTRAINTS
                 WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = tbl
                   AND CONSTRAINT_TYPE = 'PRIMARY KEY') THEN
    EXECUTE IMMEDIATE CONCAT('ALTER TABLE `', tbl, '` ', alteration);
    SELECT CONCAT(tbl, ': ', done) AS migration;
  END IF;
END$$

-- An index on column `col` of table `tbl`, where no index starts with it yet.
CREATE OR REPLACE PROCEDURE sorventa_migrate_index(tbl VARCHAR(64), col VARCHAR(64), ix VARCHAR(64))
BEGIN
  IF NOT EXISTS (SELECT 1 FROM information_schema.STATISTICS
                 WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = tbl
                   AND COLUMN_NAME = col AND SEQ_IN_INDEX = 1) THEN
    EXECUTE IMMEDIATE CONCAT('ALTER TABLE `', tbl, '` ADD INDEX `', ix, '` (`', col, '`)');
    SELECT CONCAT(tbl, ': index ', ix, ' added') AS migration;
  END IF;
END$$

DELIMITER ;

-- users, Sor_users, Sor_questions: their key column.
CALL sorventa_migrate_key('users', 'ADD PRIMARY KEY (ID)', 'PRIMARY KEY (ID) added');
CALL sorventa_migrate_key('Sor_users', 'ADD PRIMARY KEY (UserID)', 'PRIMARY KEY (UserID) added');
CALL sorventa_migrate_index('Sor_users', 'Session', 'ix_Sor_users_Session');
CALL sorventa_migrate_key('Sor_questions', 'ADD PRIMARY KEY (Id)', 'PRIMARY KEY (Id) added');
CALL sorventa_migrate_index('Sor_questions', 'qlevel', 'ix_Sor_questions_qlevel');

-- Sor_setttings, Version: an id column of their own, added last, so that the
-- first row stays the first and SELECT * keeps its columns in front.
CALL sorventa_migrate_key('Sor_setttings', 'ADD COLUMN id INT NOT NULL AUTO_INCREMENT, ADD PRIMARY KEY (id)',
                          'column id added as PRIMARY KEY');
CALL sorventa_migrate_key('Version', 'ADD COLUMN id INT NOT NULL AUTO_INCREMENT, ADD PRIMARY KEY (id)',
                          'column id added as PRIMARY KEY');

DROP PROCEDURE sorventa_migrate_key;
DROP PROCEDURE sorventa_migrate_index;
