-- The accounts of the game server's routines, for one game database.
-- Run as an administrator with @DATABASE@ replaced by the database's name; it
-- may be run again and leaves the same accounts and rights. Only account
-- statements (CREATE/ALTER USER, GRANT, REVOKE), so that a cluster replicates it.
--
--  sorventa_def_@DATABASE@  owns the routines. Locked: no one logs in as it.
--                           Row rights on this database, and the right to make
--                           and change the players' own accounts.
--  sorventa_gate            the account the client starts with (its password
--                           ships in every copy): EXECUTE only; the routines
--                           before a player is known (version, login,
--                           registration, restore) are all it can use.
--  p<ID>_@DATABASE@         one per player, made and given a fresh secret by
--                           the login; EXECUTE only. The game's routines act
--                           for the player of the connection's own account.
--  sorventa_mail_@DATABASE@ the mail sender: reads and marks the outbox.
--                           Locked until the sender is installed.

CREATE USER IF NOT EXISTS 'sorventa_def_@DATABASE@'@'localhost'
  IDENTIFIED VIA mysql_native_password USING 'invalid' ACCOUNT LOCK;
ALTER USER 'sorventa_def_@DATABASE@'@'localhost'
  IDENTIFIED VIA mysql_native_password USING 'invalid' ACCOUNT LOCK;
GRANT SELECT, INSERT, UPDATE, DELETE ON `@DATABASE@`.* TO 'sorventa_def_@DATABASE@'@'localhost';
-- EXECUTE for the routines calling one another, GRANT OPTION to hand EXECUTE
-- to a player's account, CREATE USER to make and change that account.
GRANT EXECUTE ON `@DATABASE@`.* TO 'sorventa_def_@DATABASE@'@'localhost' WITH GRANT OPTION;
GRANT CREATE USER ON *.* TO 'sorventa_def_@DATABASE@'@'localhost';

-- Many players log in at once through it; a statement of it never runs long.
CREATE USER IF NOT EXISTS 'sorventa_gate'@'%' IDENTIFIED BY 'Vq8Ns3Lm6Tz2Kd';
ALTER USER 'sorventa_gate'@'%' IDENTIFIED BY 'Vq8Ns3Lm6Tz2Kd'
  WITH MAX_USER_CONNECTIONS 150 MAX_STATEMENT_TIME 10;
GRANT EXECUTE ON `@DATABASE@`.* TO 'sorventa_gate'@'%';

CREATE USER IF NOT EXISTS 'sorventa_mail_@DATABASE@'@'localhost'
  IDENTIFIED VIA mysql_native_password USING 'invalid' ACCOUNT LOCK;
GRANT SELECT, UPDATE (state, tries, taken, done, error, body)
  ON `@DATABASE@`.`Sor_outbox` TO 'sorventa_mail_@DATABASE@'@'localhost';
