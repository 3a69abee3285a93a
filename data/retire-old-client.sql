-- The last step from the old client statements to the routines, for one game
-- database, once no client sends those statements any more (and
-- data/client-account.sql is no longer applied). Safe to run again:
--  - the old client account `tavrekdb2` loses every right on this database
--    (REVOKE, table by table, so that a cluster replicates it; its rights on
--    other databases stay);
--  - users.password and users.CodeRest, which only those statements read, are
--    emptied: the passwords live hashed in Sor_passwords.
-- Run as an administrator on the game database.

DELIMITER $$
CREATE OR REPLACE PROCEDURE sorx_retire_old_client()
SQL SECURITY INVOKER MODIFIES SQL DATA
BEGIN
  DECLARE v_sql TEXT;
  DECLARE v_done BOOLEAN DEFAULT FALSE;
  DECLARE v_count INT;
  DECLARE c CURSOR FOR
    SELECT CONCAT('REVOKE ALL PRIVILEGES ON `', Db, '`.`', Table_name, '` FROM ''tavrekdb2''@''%''')
    FROM mysql.tables_priv WHERE User = 'tavrekdb2' AND Host = '%' AND Db = DATABASE()
    UNION
    SELECT CONCAT('REVOKE ALL PRIVILEGES ON `', Db, '`.`', Table_name, '` FROM ''tavrekdb2''@''%''')
    FROM mysql.columns_priv WHERE User = 'tavrekdb2' AND Host = '%' AND Db = DATABASE()
    UNION
    SELECT CONCAT('REVOKE ALL PRIVILEGES ON `', Db, '`.* FROM ''tavrekdb2''@''%''')
    FROM mysql.db WHERE User = 'tavrekdb2' AND Host = '%' AND Db = DATABASE();
  DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_done = TRUE;
  -- Every MD5 hashed first, so that no player loses his password.
  CALL sorx_migrate_passwords(TRUE);
  UPDATE users SET password = '', CodeRest = '' WHERE password <> '' OR CodeRest <> '';
  SET v_count = ROW_COUNT();
  IF v_count > 0 THEN
    SELECT CONCAT('users: ', v_count, ' MD5 passwords and restore codes emptied') AS retired;
  END IF;
  OPEN c;
  revoking: LOOP
    FETCH c INTO v_sql;
    IF v_done THEN LEAVE revoking; END IF;
    EXECUTE IMMEDIATE v_sql;
    SELECT CONCAT('tavrekdb2: ', v_sql) AS retired;
  END LOOP;
  CLOSE c;
END$$
DELIMITER ;

CALL sorx_retire_old_client();
DROP PROCEDURE sorx_retire_old_client;
