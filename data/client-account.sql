-- The account the client connects with. Its password ships inside every copy of
-- the client, so it may do exactly what the client's own statements do and no
-- more: read the question bank, the tour lengths and the required version but
-- never change them, never delete an account, and touch no table, no other
-- database and no other account's rights.
--
-- Run as an administrator with @DATABASE@ replaced by the game database's name;
-- it may be run again and leaves the same rights.
CREATE USER IF NOT EXISTS 'tavrekdb2'@'%' IDENTIFIED BY 'Hb3Tz8WqPn5J';

-- A database dropped and made again keeps the rights given on it before, and an
-- older server gave the account every row right on the whole database: forget
-- whatever the account held here, so that only the grants below remain.
-- By REVOKE, not by deleting rows of mysql.*, so that a cluster replicates it.
DELIMITER $$
BEGIN NOT ATOMIC
  DECLARE v_sql TEXT;
  DECLARE v_done BOOLEAN DEFAULT FALSE;
  DECLARE c CURSOR FOR
    SELECT CONCAT('REVOKE ALL PRIVILEGES ON `', Db, '`.`', Table_name, '` FROM `tavrekdb2`@`%`')
    FROM mysql.tables_priv WHERE User = 'tavrekdb2' AND Host = '%' AND Db = '@DATABASE@'
    UNION
    SELECT CONCAT('REVOKE ALL PRIVILEGES ON `', Db, '`.`', Table_name, '` FROM `tavrekdb2`@`%`')
    FROM mysql.columns_priv WHERE User = 'tavrekdb2' AND Host = '%' AND Db = '@DATABASE@'
    UNION
    SELECT CONCAT('REVOKE ALL PRIVILEGES ON `', Db, '`.* FROM `tavrekdb2`@`%`')
    FROM mysql.db WHERE User = 'tavrekdb2' AND Host = '%' AND Db = '@DATABASE@';
  DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_done = TRUE;
  OPEN c;
  revoking: LOOP
    FETCH c INTO v_sql;
    IF v_done THEN LEAVE revoking; END IF;
    EXECUTE IMMEDIATE v_sql;
  END LOOP;
  CLOSE c;
END$$
DELIMITER ;

-- Login (find the account, stamp its time), registration (a new row with the
-- address, hash and names), restore (store a code; set the password and empty
-- the code). Nothing else in an account row is ever written, and none deleted.
GRANT SELECT,
      INSERT (loginEmail, password, name, surname),
      UPDATE (dt, CodeRest, password)
  ON `@DATABASE@`.`users` TO 'tavrekdb2'@'%';

-- The session upsert of the login (UserID, dt, Session), the session check, the
-- game row read, the game state, the tour stamps and the new-game reset. A row
-- is never deleted. (The upsert needs UPDATE on every column it inserts, the key
-- UserID included, so UPDATE covers the whole row.)
GRANT SELECT, INSERT (UserID, dt, `Session`), UPDATE
  ON `@DATABASE@`.`Sor_users` TO 'tavrekdb2'@'%';

-- Answers are recorded, counted and, at a new game, deleted; never changed.
GRANT SELECT, INSERT, DELETE ON `@DATABASE@`.`Sor_Games` TO 'tavrekdb2'@'%';

-- Read only: the questions drawn, the tour lengths with the server clock, and
-- the version every client must run.
GRANT SELECT ON `@DATABASE@`.`Sor_questions` TO 'tavrekdb2'@'%';
GRANT SELECT ON `@DATABASE@`.`Sor_setttings` TO 'tavrekdb2'@'%';
GRANT SELECT ON `@DATABASE@`.`Version` TO 'tavrekdb2'@'%';
