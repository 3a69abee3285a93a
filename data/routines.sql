-- The game server's routines: every step of the client is one CALL, and the
-- server decides. Run as an administrator on the game database with
-- @DATABASE@ replaced by its name (after data/server-tables.sql and
-- data/accounts.sql); it may be run again and leaves the same routines.
--
-- Two kinds:
--  sor_*   the client's entry points. SQL SECURITY DEFINER, owned by the locked
--          account sorventa_def_<database>; each checks every argument, runs as
--          one transaction (a refusal rolls it back) and acts only for the
--          player who proved himself: the game's routines take the session token
--          of the login and work on the player of the connection's own account.
--  sorx_*  helpers, SQL SECURITY INVOKER: called from an entry point they run
--          with its rights; called by a client account directly they have none.
--
-- Refusals: SQLSTATE '45000' with an error number of their own (see ROUTINES.md):
--   31001 the session is not the player's current one (taken over)
--   31002 too many wrong passwords
--   31003 a bad argument
--   31004 a step the game does not allow now
--   31005 the address is registered already
--   31006 too many requests
--   31007 the connection is not a player's

DELIMITER $$

-- ---- helpers --------------------------------------------------------------------------

CREATE OR REPLACE PROCEDURE sorx_fail(p_errno INT, p_text VARCHAR(500))
SQL SECURITY INVOKER NO SQL
BEGIN
  SIGNAL SQLSTATE '45000' SET MYSQL_ERRNO = p_errno, MESSAGE_TEXT = p_text;
END$$

CREATE OR REPLACE PROCEDURE sorx_bad(p_what VARCHAR(100))
SQL SECURITY INVOKER NO SQL
BEGIN
  CALL sorx_fail(31003, CONCAT('Неверное значение: ', p_what, '.'));
END$$

-- A whole number from lo to hi, or a refusal naming the argument.
CREATE OR REPLACE FUNCTION sorx_int(p LONGTEXT, p_what VARCHAR(100), p_lo BIGINT, p_hi BIGINT) RETURNS BIGINT
SQL SECURITY INVOKER NO SQL
BEGIN
  IF p IS NULL OR CAST(p AS BINARY) NOT REGEXP '^-?[0-9]{1,18}$'
     OR CAST(p AS SIGNED) < p_lo OR CAST(p AS SIGNED) > p_hi THEN
    CALL sorx_bad(p_what);
  END IF;
  RETURN CAST(p AS SIGNED);
END$$

-- A text of at most maxlen characters (at least minlen), or a refusal.
CREATE OR REPLACE FUNCTION sorx_text(p LONGTEXT, p_what VARCHAR(100), p_min INT, p_max INT) RETURNS TEXT
SQL SECURITY INVOKER NO SQL
BEGIN
  IF p IS NULL OR CHAR_LENGTH(p) < p_min OR CHAR_LENGTH(p) > p_max THEN
    CALL sorx_bad(p_what);
  END IF;
  RETURN p;
END$$

-- The client's password hash: 32 lower-case hexadecimal digits.
CREATE OR REPLACE FUNCTION sorx_md5_arg(p LONGTEXT) RETURNS CHAR(32)
SQL SECURITY INVOKER NO SQL
BEGIN
  IF p IS NULL OR CAST(p AS BINARY) NOT REGEXP '^[0-9a-f]{32}$' THEN
    CALL sorx_bad('пароль');
  END IF;
  RETURN p;
END$$

-- An e-mail address, trimmed of the characters 0 to 32 at both ends. It goes
-- into mail headers and SMTP commands: no control characters, no angle brackets.
CREATE OR REPLACE FUNCTION sorx_email_arg(p LONGTEXT) RETURNS VARCHAR(254)
SQL SECURITY INVOKER NO SQL
BEGIN
  DECLARE v TEXT DEFAULT REGEXP_REPLACE(p, '^[\\x{0}-\\x{20}]+|[\\x{0}-\\x{20}]+$', '');
  IF v IS NULL OR CHAR_LENGTH(v) < 3 OR CHAR_LENGTH(v) > 254
     OR v REGEXP '[\\x{0}-\\x{1F}\\x{7F}<>]' OR LOCATE('@', v) < 2 OR RIGHT(v, 1) = '@' THEN
    CALL sorx_bad('адрес электронной почты');
  END IF;
  RETURN v;
END$$

CREATE OR REPLACE FUNCTION sorx_limit(p_name VARCHAR(64)) RETURNS INT
SQL SECURITY INVOKER READS SQL DATA
BEGIN
  RETURN (SELECT value FROM Sor_limits WHERE name = p_name);
END$$

-- The client host as the server sees it.
CREATE OR REPLACE FUNCTION sorx_host() RETURNS VARCHAR(255)
SQL SECURITY INVOKER NO SQL
BEGIN
  RETURN SUBSTRING_INDEX(USER(), '@', -1);
END$$

CREATE OR REPLACE FUNCTION sorx_stamp_set(p DATETIME) RETURNS BOOLEAN
SQL SECURITY INVOKER DETERMINISTIC NO SQL
BEGIN
  RETURN p IS NOT NULL AND p <> '0000-00-00 00:00:00';
END$$

-- Seconds left in a tour: its length before it starts, what the server clock
-- leaves of it while it runs, nothing once it is closed.
CREATE OR REPLACE FUNCTION sorx_time_left(p_start DATETIME, p_end DATETIME, p_len INT) RETURNS INT
SQL SECURITY INVOKER NO SQL
BEGIN
  IF NOT sorx_stamp_set(p_start) THEN
    RETURN p_len;
  END IF;
  IF sorx_stamp_set(p_end) THEN
    RETURN 0;
  END IF;
  RETURN GREATEST(p_len - ABS(TIMESTAMPDIFF(SECOND, p_start, NOW())), 0);
END$$

CREATE OR REPLACE FUNCTION sorx_tour_length(p_tour INT) RETURNS INT
SQL SECURITY INVOKER READS SQL DATA
BEGIN
  RETURN COALESCE((SELECT CASE p_tour WHEN 1 THEN level1 WHEN 2 THEN level2 ELSE level3 END
                   FROM Sor_setttings ORDER BY id LIMIT 1), 0);
END$$

CREATE OR REPLACE FUNCTION sorx_tour_answers(p_uid INT, p_tour INT) RETURNS INT
SQL SECURITY INVOKER READS SQL DATA
BEGIN
  RETURN (SELECT COUNT(*) FROM Sor_Games g JOIN Sor_questions q ON q.Id = g.QuestID
          WHERE g.SorUserID = p_uid AND g.QTur = p_tour);
END$$

-- A session token: 128 random bits as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
CREATE OR REPLACE FUNCTION sorx_token() RETURNS CHAR(38)
SQL SECURITY INVOKER NOT DETERMINISTIC NO SQL
BEGIN
  DECLARE h CHAR(32) DEFAULT UPPER(HEX(RANDOM_BYTES(16)));
  RETURN CONCAT('{', SUBSTR(h, 1, 8), '-', SUBSTR(h, 9, 4), '-', SUBSTR(h, 13, 4), '-',
                SUBSTR(h, 17, 4), '-', SUBSTR(h, 21, 12), '}');
END$$

-- A restore code: 10 characters, each uniform over the codes 48 to 124.
CREATE OR REPLACE FUNCTION sorx_code() RETURNS VARCHAR(10)
SQL SECURITY INVOKER NOT DETERMINISTIC NO SQL
BEGIN
  DECLARE v VARCHAR(10) CHARACTER SET ascii DEFAULT '';
  DECLARE b INT;
  WHILE CHAR_LENGTH(v) < 10 DO
    SET b = ASCII(RANDOM_BYTES(1));
    IF b < 231 THEN  -- 3 * 77: no character more likely than another
      SET v = CONCAT(v, CHAR(48 + b MOD 77 USING ascii));
    END IF;
  END WHILE;
  RETURN v;
END$$

CREATE OR REPLACE FUNCTION sorx_pw_hash(p_salt CHAR(32), p_md5 CHAR(32), p_rounds INT) RETURNS CHAR(64)
SQL SECURITY INVOKER DETERMINISTIC NO SQL
BEGIN
  DECLARE s TEXT CHARACTER SET ascii DEFAULT CONCAT(p_salt, p_md5);
  DECLARE h CHAR(64) CHARACTER SET ascii DEFAULT SHA2(s, 256);
  DECLARE i INT DEFAULT 1;
  WHILE i < p_rounds DO
    SET h = SHA2(CONCAT(h, s), 256);
    SET i = i + 1;
  END WHILE;
  RETURN h;
END$$

-- The client's password hash of a plain password: MD5 over one byte per
-- UTF-16 code unit, every unit from 128 up taken as "?". For the operator.
CREATE OR REPLACE FUNCTION sorx_client_md5(p TEXT) RETURNS CHAR(32)
SQL SECURITY INVOKER DETERMINISTIC NO SQL
BEGIN
  RETURN MD5(CONVERT(REGEXP_REPLACE(REGEXP_REPLACE(p, '[\\x{10000}-\\x{10FFFF}]', '??'),
                                    '[^\\x{0}-\\x{7F}]', '?') USING ascii));
END$$

CREATE OR REPLACE PROCEDURE sorx_store_password(p_uid INT, p_md5 CHAR(32))
SQL SECURITY INVOKER MODIFIES SQL DATA
BEGIN
  DECLARE v_salt CHAR(32) DEFAULT LOWER(HEX(RANDOM_BYTES(16)));
  DECLARE v_rounds INT DEFAULT COALESCE(sorx_limit('hash_rounds'), 10000);
  INSERT INTO Sor_passwords (UserID, salt, rounds, hash, changed)
  VALUES (p_uid, v_salt, v_rounds, sorx_pw_hash(v_salt, p_md5, v_rounds), NOW())
  ON DUPLICATE KEY UPDATE salt = VALUES(salt), rounds = VALUES(rounds), hash = VALUES(hash),
                          changed = VALUES(changed);
END$$

-- The player of this connection and session: the connection's own account is
-- p<ID>_<database>, and the token must be that player's current session. The
-- player's row stays locked to the end of the caller's transaction, so one
-- player's calls run one after another.
CREATE OR REPLACE PROCEDURE sorx_player(IN p_token LONGTEXT, OUT p_uid INT)
SQL SECURITY INVOKER READS SQL DATA
BEGIN
  DECLARE v_user VARCHAR(255) DEFAULT SUBSTRING_INDEX(USER(), '@', 1);
  DECLARE v_id BIGINT DEFAULT NULL;
  DECLARE v_found INT DEFAULT NULL;
  DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END;
  IF CAST(v_user AS BINARY) NOT REGEXP CONCAT('^p[1-9][0-9]{0,9}_', DATABASE(), '$') THEN
    CALL sorx_fail(31007, 'Подключение не принадлежит игроку.');
  END IF;
  SET v_id = CAST(SUBSTRING(v_user, 2, CHAR_LENGTH(v_user) - 2 - CHAR_LENGTH(DATABASE())) AS UNSIGNED);
  IF p_token IS NULL OR CAST(p_token AS BINARY)
       NOT REGEXP '^[{][0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}[}]$' THEN
    CALL sorx_bad('сеанс');
  END IF;
  SELECT UserID INTO v_found FROM Sor_users
  WHERE UserID = v_id AND `Session` = p_token COLLATE utf8mb4_bin FOR UPDATE;
  IF v_found IS NULL THEN
    CALL sorx_fail(31001, 'Сессия не действительна!');
  END IF;
  SET p_uid = v_found;
END$$

-- The player's own database account, made at the first login, with a fresh
-- secret at every login (the old one stops working for new connections).
-- Account statements commit by themselves: the caller runs this after its
-- transaction. The name is made of the number and the database only.
CREATE OR REPLACE PROCEDURE sorx_player_account(IN p_uid INT, OUT p_user VARCHAR(80), OUT p_secret CHAR(48))
SQL SECURITY INVOKER MODIFIES SQL DATA
BEGIN
  DECLARE v_account TEXT;
  DECLARE v_sql TEXT;
  DECLARE v_connections INT DEFAULT COALESCE(sorx_limit('player_connections'), 4);
  DECLARE v_seconds INT DEFAULT COALESCE(sorx_limit('player_statement_time'), 5);
  SET p_user = CONCAT('p', CAST(p_uid AS UNSIGNED), '_', DATABASE());
  SET p_secret = LOWER(HEX(RANDOM_BYTES(24)));
  SET v_account = CONCAT(QUOTE(p_user), '@', QUOTE('%'));
  SET v_sql = CONCAT('CREATE USER IF NOT EXISTS ', v_account, ' IDENTIFIED BY ', QUOTE(p_secret));
  EXECUTE IMMEDIATE v_sql;
  SET v_sql = CONCAT('ALTER USER ', v_account, ' IDENTIFIED BY ', QUOTE(p_secret),
                     ' WITH MAX_USER_CONNECTIONS ', v_connections, ' MAX_STATEMENT_TIME ', v_seconds);
  EXECUTE IMMEDIATE v_sql;
  SET v_sql = CONCAT('GRANT EXECUTE ON `', DATABASE(), '`.* TO ', v_account);
  EXECUTE IMMEDIATE v_sql;
END$$

-- ---- before a player is known (the gate account) ---------------------------------------

CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_version()
SQL SECURITY DEFINER READS SQL DATA
BEGIN
  SELECT VerSorventa FROM Version ORDER BY id LIMIT 1;
END$$

-- Login and stored login: the e-mail address and the client's password hash.
-- One row: Result 0 (no such account or password), 1 (logged in), 2 (the
-- account logged in less than 15 seconds ago: its session is replaced all the
-- same, as a login does, but nothing to play with is handed out).
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_login(IN p_email LONGTEXT, IN p_password LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_email VARCHAR(254);
  DECLARE v_md5 CHAR(32);
  DECLARE v_id INT DEFAULT NULL;
  DECLARE v_login VARCHAR(254);
  DECLARE v_old CHAR(32);
  DECLARE v_dt DATETIME;
  DECLARE v_now DATETIME;
  DECLARE v_salt CHAR(32) DEFAULT NULL;
  DECLARE v_rounds INT;
  DECLARE v_hash CHAR(64);
  DECLARE v_ok BOOLEAN DEFAULT FALSE;
  DECLARE v_hash_ok BOOLEAN DEFAULT FALSE;
  DECLARE v_result INT;
  DECLARE v_token CHAR(38) DEFAULT NULL;
  DECLARE v_user VARCHAR(80) DEFAULT NULL;
  DECLARE v_secret CHAR(48) DEFAULT NULL;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END;

  SET v_email = LOWER(sorx_email_arg(p_email));
  SET v_md5 = sorx_md5_arg(p_password);

  START TRANSACTION;
  SELECT ID, loginEmail, password, dt INTO v_id, v_login, v_old, v_dt
  FROM users WHERE loginEmail = v_email FOR UPDATE;
  IF v_id IS NULL THEN
    -- As long as a wrong password takes, so that the time tells nothing.
    DO sorx_pw_hash(REPEAT('0', 32), v_md5, COALESCE(sorx_limit('hash_rounds'), 10000));
    COMMIT;
    SELECT 0 AS Result, NULL AS ID, NULL AS loginEmail, NOW() AS ServerTime,
           NULL AS `Session`, NULL AS DbUser, NULL AS DbSecret;
  ELSE
    IF (SELECT COUNT(*) FROM Sor_login_fails
        WHERE UserID = v_id AND at > NOW(6) - INTERVAL sorx_limit('login_window') SECOND)
       >= sorx_limit('login_fails') THEN
      CALL sorx_fail(31002, 'Слишком много попыток входа. Попробуйте позже.');
    END IF;
    SELECT salt, rounds, hash INTO v_salt, v_rounds, v_hash FROM Sor_passwords WHERE UserID = v_id;
    SET v_hash_ok = v_salt IS NOT NULL AND sorx_pw_hash(v_salt, v_md5, v_rounds) = v_hash;
    IF CAST(v_old AS BINARY) REGEXP '^[0-9a-f]{32}$' THEN
      -- Until the old statements are retired they may still set the MD5
      -- column (registration, restore), and whatever sets the hash here
      -- empties that column: an MD5 in it is the newer password. It decides,
      -- and the hash follows it.
      SET v_ok = CAST(v_old AS BINARY) = CAST(v_md5 AS BINARY);
      IF v_ok AND NOT v_hash_ok THEN
        CALL sorx_store_password(v_id, v_md5);
      END IF;
    ELSE
      SET v_ok = v_hash_ok;
    END IF;
    IF NOT v_ok THEN
      DELETE FROM Sor_login_fails
      WHERE UserID = v_id AND at <= NOW(6) - INTERVAL sorx_limit('login_window') SECOND;
      INSERT INTO Sor_login_fails (UserID, at, host) VALUES (v_id, NOW(6), sorx_host());
      COMMIT;
      SELECT 0 AS Result, NULL AS ID, NULL AS loginEmail, NOW() AS ServerTime,
             NULL AS `Session`, NULL AS DbUser, NULL AS DbSecret;
    ELSE
      SET v_now = NOW();
      SET v_result = IF(sorx_stamp_set(v_dt) AND ABS(TIMESTAMPDIFF(SECOND, v_dt, v_now)) < 15, 2, 1);
      SET v_token = sorx_token();
      INSERT INTO Sor_users (UserID, dt, `Session`) VALUES (v_id, NOW(), v_token)
      ON DUPLICATE KEY UPDATE dt = NOW(), `Session` = v_token;
      UPDATE users SET dt = NOW() WHERE ID = v_id;
      COMMIT;
      IF v_result = 1 THEN
        CALL sorx_player_account(v_id, v_user, v_secret);
      ELSE
        SET v_token = NULL;
      END IF;
      SELECT v_result AS Result, v_id AS ID, v_login AS loginEmail, v_now AS ServerTime,
             v_token AS `Session`, v_user AS DbUser, v_secret AS DbSecret;
    END IF;
  END IF;
END$$

CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_register(IN p_email LONGTEXT, IN p_password LONGTEXT, IN p_name LONGTEXT, IN p_surname LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_email VARCHAR(254);
  DECLARE v_md5 CHAR(32);
  DECLARE v_name VARCHAR(100);
  DECLARE v_surname VARCHAR(100);
  DECLARE v_id INT;
  DECLARE EXIT HANDLER FOR 1062
  BEGIN
    ROLLBACK;
    CALL sorx_fail(31005, 'Игрок с таким адресом электронной почты уже зарегистрирован.');
  END;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;

  SET v_email = LOWER(sorx_email_arg(p_email));
  SET v_md5 = sorx_md5_arg(p_password);
  SET v_name = TRIM(sorx_text(p_name, 'имя', 0, 100));
  SET v_surname = TRIM(sorx_text(p_surname, 'фамилия', 0, 100));

  START TRANSACTION;
  IF (SELECT COUNT(*) FROM Sor_requests
      WHERE kind = 'register' AND host = sorx_host()
        AND at > NOW(6) - INTERVAL sorx_limit('request_window') SECOND)
     >= sorx_limit('register_per_host') THEN
    CALL sorx_fail(31006, 'Слишком много запросов с этого адреса. Попробуйте позже.');
  END IF;
  -- The password column keeps MD5 for the old statements only: '' here.
  INSERT INTO users (loginEmail, password, name, surname) VALUES (v_email, '', v_name, v_surname);
  SET v_id = LAST_INSERT_ID();
  CALL sorx_store_password(v_id, v_md5);
  INSERT INTO Sor_requests (kind, host, at) VALUES ('register', sorx_host(), NOW(6));
  COMMIT;
  SELECT 1 AS Registered;
END$$

-- A restore code for the account of the address: made here, kept hashed, and
-- mailed through the outbox. Sent 1 when the mail is queued, 0 when no account
-- has the address (then nothing is mailed).
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_restore_request(IN p_email LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_email VARCHAR(254);
  DECLARE v_id INT DEFAULT NULL;
  DECLARE v_code VARCHAR(10);
  DECLARE v_salt CHAR(32) DEFAULT LOWER(HEX(RANDOM_BYTES(16)));
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END;

  SET v_email = sorx_email_arg(p_email);

  START TRANSACTION;
  IF (SELECT COUNT(*) FROM Sor_requests
      WHERE kind = 'restore' AND host = sorx_host()
        AND at > NOW(6) - INTERVAL sorx_limit('request_window') SECOND)
     >= sorx_limit('restore_per_host') THEN
    CALL sorx_fail(31006, 'Слишком много запросов с этого адреса. Попробуйте позже.');
  END IF;
  IF (SELECT COUNT(*) FROM Sor_outbox
      WHERE recipient = v_email AND created > NOW() - INTERVAL sorx_limit('request_window') SECOND)
     >= sorx_limit('restore_per_mail') THEN
    CALL sorx_fail(31006, 'Слишком много писем на этот адрес. Попробуйте позже.');
  END IF;
  INSERT INTO Sor_requests (kind, host, at) VALUES ('restore', sorx_host(), NOW(6));
  SELECT ID INTO v_id FROM users WHERE loginEmail = v_email FOR UPDATE;
  IF v_id IS NULL THEN
    COMMIT;
    SELECT 0 AS Sent;
  ELSE
    SET v_code = sorx_code();
    REPLACE INTO Sor_restore (UserID, salt, hash, made, tries)
    VALUES (v_id, v_salt, SHA2(CONCAT(v_salt, v_code), 256), NOW(), 0);
    INSERT INTO Sor_outbox (created, recipient, subject, body)
    VALUES (NOW(), v_email, 'Восстановление пароляв программе Sorventa ОО «Таврек»',
            CONCAT('Sorventa ОО «Таврек» - Восстановление пароля\r\n',
                   'Введите код восстановления в соответствующее поле в форме востановления пароля.\r\n',
                   'Код восстановления: ', v_code));
    COMMIT;
    SELECT 1 AS Sent;
  END IF;
END$$

-- A new password with the mailed code. Result 1 when it is set; 0 when the
-- address, the code or its time is wrong (a wrong code counts against it).
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_restore(IN p_email LONGTEXT, IN p_code LONGTEXT, IN p_password LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_email VARCHAR(254);
  DECLARE v_code VARCHAR(32);
  DECLARE v_md5 CHAR(32);
  DECLARE v_id INT DEFAULT NULL;
  DECLARE v_salt CHAR(32) DEFAULT NULL;
  DECLARE v_hash CHAR(64);
  DECLARE v_made DATETIME;
  DECLARE v_tries INT;
  DECLARE v_result INT DEFAULT 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END;

  SET v_email = sorx_email_arg(p_email);
  SET v_code = TRIM(sorx_text(p_code, 'код восстановления', 1, 32));
  SET v_md5 = sorx_md5_arg(p_password);

  START TRANSACTION;
  SELECT ID INTO v_id FROM users WHERE loginEmail = v_email FOR UPDATE;
  IF v_id IS NOT NULL THEN
    SELECT salt, hash, made, tries INTO v_salt, v_hash, v_made, v_tries
    FROM Sor_restore WHERE UserID = v_id FOR UPDATE;
  END IF;
  IF v_salt IS NOT NULL THEN
    IF v_made <= NOW() - INTERVAL sorx_limit('code_life') SECOND OR v_tries >= sorx_limit('code_tries') THEN
      DELETE FROM Sor_restore WHERE UserID = v_id;
    ELSEIF SHA2(CONCAT(v_salt, CAST(v_code AS BINARY)), 256) <> v_hash THEN
      IF v_tries + 1 >= sorx_limit('code_tries') THEN
        DELETE FROM Sor_restore WHERE UserID = v_id;
      ELSE
        UPDATE Sor_restore SET tries = tries + 1 WHERE UserID = v_id;
      END IF;
    ELSE
      CALL sorx_store_password(v_id, v_md5);
      DELETE FROM Sor_restore WHERE UserID = v_id;
      DELETE FROM Sor_login_fails WHERE UserID = v_id;
      -- The MD5 of the old statements is no password any more.
      UPDATE users SET password = '' WHERE ID = v_id;
      SET v_result = 1;
    END IF;
  END IF;
  COMMIT;
  SELECT v_result AS Result;
END$$

-- ---- the game: the player of the connection, with the login's session token ------------

-- The session check and the player's game row in one: refused with 31001 when
-- another login has taken the session over.
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_status(IN p_token LONGTEXT)
SQL SECURITY DEFINER READS SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  SELECT UserID, dt, GameStatus, Time_lvl1, Time_lvl2, Time_lvl3,
         Time_lvl1_end, Time_lvl2_end, Time_lvl3_end, NOW() AS ServerTime
  FROM Sor_users WHERE UserID = v_uid;
  COMMIT;
END$$

CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_set_status(IN p_token LONGTEXT, IN p_status LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE v_status INT;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  SET v_status = sorx_int(p_status, 'состояние игры', 0, 4);
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  UPDATE Sor_users SET GameStatus = v_status WHERE UserID = v_uid;
  COMMIT;
END$$

-- A new game: the six tour stamps zeroed, the answers and the question asked gone.
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_new_game(IN p_token LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  UPDATE Sor_users
  SET Time_lvl1 = '0000-00-00 00:00:00', Time_lvl2 = '0000-00-00 00:00:00',
      Time_lvl3 = '0000-00-00 00:00:00', Time_lvl1_end = '0000-00-00 00:00:00',
      Time_lvl2_end = '0000-00-00 00:00:00', Time_lvl3_end = '0000-00-00 00:00:00'
  WHERE UserID = v_uid;
  DELETE FROM Sor_Games WHERE SorUserID = v_uid;
  DELETE FROM Sor_draws WHERE UserID = v_uid;
  COMMIT;
END$$

-- Setting up a tour: its length and the server clock, and its start stamped
-- with NOW() if it has none. A tour after the first starts only once the one
-- before it has closed.
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_tour_begin(IN p_token LONGTEXT, IN p_tour LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE v_tour INT;
  DECLARE v_start DATETIME;
  DECLARE v_end DATETIME;
  DECLARE v_prev_end DATETIME;
  DECLARE v_len INT;
  DECLARE v_left INT;
  DECLARE v_started INT DEFAULT 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  SET v_tour = sorx_int(p_tour, 'тур', 1, 3);
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  SELECT CASE v_tour WHEN 1 THEN Time_lvl1 WHEN 2 THEN Time_lvl2 ELSE Time_lvl3 END,
         CASE v_tour WHEN 1 THEN Time_lvl1_end WHEN 2 THEN Time_lvl2_end ELSE Time_lvl3_end END,
         CASE v_tour WHEN 2 THEN Time_lvl1_end WHEN 3 THEN Time_lvl2_end ELSE NULL END
  INTO v_start, v_end, v_prev_end FROM Sor_users WHERE UserID = v_uid;
  IF v_tour > 1 AND NOT sorx_stamp_set(v_prev_end) THEN
    CALL sorx_fail(31004, 'Предыдущий тур не закончен.');
  END IF;
  SET v_len = sorx_tour_length(v_tour);
  SET v_left = sorx_time_left(v_start, v_end, v_len);
  IF NOT sorx_stamp_set(v_start) THEN
    UPDATE Sor_users
    SET Time_lvl1 = IF(v_tour = 1, NOW(), Time_lvl1),
        Time_lvl2 = IF(v_tour = 2, NOW(), Time_lvl2),
        Time_lvl3 = IF(v_tour = 3, NOW(), Time_lvl3)
    WHERE UserID = v_uid;
    SET v_started = 1;
  END IF;
  SELECT v_tour AS Tour, v_len AS TourLength, NOW() AS ServerTime, v_left AS TimeLeft,
         sorx_tour_answers(v_uid, v_tour) AS TurAnswers, v_started AS Started;
  COMMIT;
END$$

-- Closing a tour: its end stamped with NOW() once, after its 21 answers.
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_tour_end(IN p_token LONGTEXT, IN p_tour LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE v_tour INT;
  DECLARE v_start DATETIME;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  SET v_tour = sorx_int(p_tour, 'тур', 1, 3);
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  SELECT CASE v_tour WHEN 1 THEN Time_lvl1 WHEN 2 THEN Time_lvl2 ELSE Time_lvl3 END
  INTO v_start FROM Sor_users WHERE UserID = v_uid;
  IF NOT sorx_stamp_set(v_start) OR sorx_tour_answers(v_uid, v_tour) < 21 THEN
    CALL sorx_fail(31004, 'Тур не закончен.');
  END IF;
  UPDATE Sor_users
  SET Time_lvl1_end = IF(v_tour = 1 AND NOT sorx_stamp_set(Time_lvl1_end), NOW(), Time_lvl1_end),
      Time_lvl2_end = IF(v_tour = 2 AND NOT sorx_stamp_set(Time_lvl2_end), NOW(), Time_lvl2_end),
      Time_lvl3_end = IF(v_tour = 3 AND NOT sorx_stamp_set(Time_lvl3_end), NOW(), Time_lvl3_end)
  WHERE UserID = v_uid;
  COMMIT;
END$$

-- The state of a running tour and, while it has time and questions left, the
-- question to ask: its level is the number of the player's answers in the tour
-- plus one, and it is one of that level not yet answered in this game, drawn at
-- random. Asked again before it is answered, the same question comes back. Its
-- four variants come in a fresh random order every time, so neither their
-- order nor any column tells which one is right.
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_next(IN p_token LONGTEXT, IN p_tour LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE v_tour INT;
  DECLARE v_start DATETIME;
  DECLARE v_end DATETIME;
  DECLARE v_len INT;
  DECLARE v_left INT;
  DECLARE v_count INT;
  DECLARE v_qid INT DEFAULT NULL;
  DECLARE v_question VARCHAR(1000) DEFAULT NULL;
  DECLARE v_a1, v_a2, v_a3, v_a4 VARCHAR(255) DEFAULT NULL;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END;
  SET v_tour = sorx_int(p_tour, 'тур', 1, 3);
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  SELECT CASE v_tour WHEN 1 THEN Time_lvl1 WHEN 2 THEN Time_lvl2 ELSE Time_lvl3 END,
         CASE v_tour WHEN 1 THEN Time_lvl1_end WHEN 2 THEN Time_lvl2_end ELSE Time_lvl3_end END
  INTO v_start, v_end FROM Sor_users WHERE UserID = v_uid;
  IF NOT sorx_stamp_set(v_start) THEN
    CALL sorx_fail(31004, 'Тур не начат.');
  END IF;
  SET v_len = sorx_tour_length(v_tour);
  SET v_left = sorx_time_left(v_start, v_end, v_len);
  SET v_count = sorx_tour_answers(v_uid, v_tour);
  IF v_left > 0 AND v_count < 21 THEN
    SELECT d.QuestID INTO v_qid FROM Sor_draws d
    WHERE d.UserID = v_uid AND d.QTur = v_tour AND d.qlevel = v_count + 1
      AND NOT EXISTS (SELECT 1 FROM Sor_Games g WHERE g.SorUserID = v_uid AND g.QuestID = d.QuestID);
    IF v_qid IS NULL THEN
      SELECT q.Id INTO v_qid FROM Sor_questions q
      WHERE q.qlevel = v_count + 1
        AND NOT EXISTS (SELECT 1 FROM Sor_Games g WHERE g.SorUserID = v_uid AND g.QuestID = q.Id)
      ORDER BY RANDOM_BYTES(8) LIMIT 1;
      IF v_qid IS NULL THEN
        DELETE FROM Sor_draws WHERE UserID = v_uid;
      ELSE
        REPLACE INTO Sor_draws (UserID, QuestID, QTur, qlevel, drawn)
        VALUES (v_uid, v_qid, v_tour, v_count + 1, NOW());
      END IF;
    END IF;
    IF v_qid IS NOT NULL THEN
      SELECT Question INTO v_question FROM Sor_questions WHERE Id = v_qid;
      SELECT MAX(IF(s.rn = 1, s.v, NULL)), MAX(IF(s.rn = 2, s.v, NULL)),
             MAX(IF(s.rn = 3, s.v, NULL)), MAX(IF(s.rn = 4, s.v, NULL))
      INTO v_a1, v_a2, v_a3, v_a4
      FROM (SELECT t.v, ROW_NUMBER() OVER (ORDER BY t.k) AS rn
            FROM (SELECT var1 AS v, RANDOM_BYTES(8) AS k FROM Sor_questions WHERE Id = v_qid
                  UNION ALL SELECT var2, RANDOM_BYTES(8) FROM Sor_questions WHERE Id = v_qid
                  UNION ALL SELECT var3, RANDOM_BYTES(8) FROM Sor_questions WHERE Id = v_qid
                  UNION ALL SELECT var4, RANDOM_BYTES(8) FROM Sor_questions WHERE Id = v_qid) AS t) AS s;
    END IF;
  END IF;
  SELECT v_tour AS Tour, v_count AS TurAnswers, v_left AS TimeLeft, v_len AS TourLength,
         NOW() AS ServerTime, v_count + 1 AS QuestNum, v_qid AS QuestID, v_question AS Question,
         v_a1 AS Answer1, v_a2 AS Answer2, v_a3 AS Answer3, v_a4 AS Answer4;
  COMMIT;
END$$

-- The answer to the question asked, as the text of the chosen variant. It is
-- stored first, then judged: IsRight, and the right variant's text. An answer
-- sent again for a question already answered gets the stored verdict back
-- (Repeated 1) and changes nothing.
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_answer(IN p_token LONGTEXT, IN p_quest LONGTEXT, IN p_text LONGTEXT)
SQL SECURITY DEFINER MODIFIES SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE v_qid INT;
  DECLARE v_text VARCHAR(255);
  DECLARE v_qvar INT DEFAULT NULL;
  DECLARE v_tour INT DEFAULT NULL;
  DECLARE v_asked INT DEFAULT NULL;
  DECLARE v_start DATETIME;
  DECLARE v_end DATETIME;
  DECLARE v_repeated INT DEFAULT 1;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END;
  SET v_qid = sorx_int(p_quest, 'вопрос', 1, 2147483647);
  SET v_text = sorx_text(p_text, 'ответ', 0, 255);
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  SELECT QVar, QTur INTO v_qvar, v_tour FROM Sor_Games WHERE SorUserID = v_uid AND QuestID = v_qid;
  IF v_qvar IS NULL THEN
    SET v_repeated = 0;
    SELECT QuestID, QTur INTO v_asked, v_tour FROM Sor_draws WHERE UserID = v_uid;
    IF v_asked IS NULL OR v_asked <> v_qid THEN
      CALL sorx_fail(31004, 'Этот вопрос не задан.');
    END IF;
    SELECT CASE v_tour WHEN 1 THEN Time_lvl1 WHEN 2 THEN Time_lvl2 ELSE Time_lvl3 END,
           CASE v_tour WHEN 1 THEN Time_lvl1_end WHEN 2 THEN Time_lvl2_end ELSE Time_lvl3_end END
    INTO v_start, v_end FROM Sor_users WHERE UserID = v_uid;
    IF NOT sorx_stamp_set(v_start) OR sorx_stamp_set(v_end) OR sorx_tour_answers(v_uid, v_tour) >= 21 THEN
      CALL sorx_fail(31004, 'Тур не идёт.');
    END IF;
    IF ABS(TIMESTAMPDIFF(SECOND, v_start, NOW())) > sorx_tour_length(v_tour) + sorx_limit('answer_grace') THEN
      CALL sorx_fail(31004, 'Время тура истекло.');
    END IF;
    -- The last stored variant that reads exactly the same; 4 is the right one.
    SELECT CASE CAST(v_text AS BINARY)
             WHEN CAST(var4 AS BINARY) THEN 4 WHEN CAST(var3 AS BINARY) THEN 3
             WHEN CAST(var2 AS BINARY) THEN 2 WHEN CAST(var1 AS BINARY) THEN 1 ELSE NULL END
    INTO v_qvar FROM Sor_questions WHERE Id = v_qid;
    IF v_qvar IS NULL THEN
      CALL sorx_bad('ответ');
    END IF;
    INSERT INTO Sor_Games (QuestID, QVar, QTur, SorUserID) VALUES (v_qid, v_qvar, v_tour, v_uid);
    DELETE FROM Sor_draws WHERE UserID = v_uid;
  END IF;
  SELECT v_qvar = 4 AS IsRight, q.var4 AS RightAnswer, v_tour AS Tour,
         sorx_tour_answers(v_uid, v_tour) AS TurAnswers, v_repeated AS Repeated
  FROM Sor_questions q WHERE q.Id = v_qid;
  COMMIT;
END$$

-- The end of a game: the answers and the right ones; for a game played to its
-- end (every tour started and closed) the seconds left over from the three
-- tours and the score, right answers plus a thousandth per second left.
CREATE OR REPLACE DEFINER = 'sorventa_def_@DATABASE@'@'localhost'
PROCEDURE sor_results(IN p_token LONGTEXT)
SQL SECURITY DEFINER READS SQL DATA
BEGIN
  DECLARE v_uid INT;
  DECLARE v_all INT;
  DECLARE v_right INT;
  DECLARE v_left INT DEFAULT NULL;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  START TRANSACTION;
  CALL sorx_player(p_token, v_uid);
  SELECT COUNT(*), COALESCE(SUM(QVar = 4), 0) INTO v_all, v_right FROM Sor_Games WHERE SorUserID = v_uid;
  SELECT IF(sorx_stamp_set(Time_lvl1) AND sorx_stamp_set(Time_lvl1_end)
            AND sorx_stamp_set(Time_lvl2) AND sorx_stamp_set(Time_lvl2_end)
            AND sorx_stamp_set(Time_lvl3) AND sorx_stamp_set(Time_lvl3_end),
            sorx_tour_length(1) - ABS(TIMESTAMPDIFF(SECOND, Time_lvl1, Time_lvl1_end))
            + sorx_tour_length(2) - ABS(TIMESTAMPDIFF(SECOND, Time_lvl2, Time_lvl2_end))
            + sorx_tour_length(3) - ABS(TIMESTAMPDIFF(SECOND, Time_lvl3, Time_lvl3_end)), NULL)
  INTO v_left FROM Sor_users WHERE UserID = v_uid;
  SELECT v_all AS AnsAll, v_right AS AnsRich, v_left AS TimeLeft,
         CAST(v_right + v_left * 0.001 AS DECIMAL(12, 3)) AS Score;
  COMMIT;
END$$

-- ---- the operator ------------------------------------------------------------------------

-- Adds a player, or sets the password of the player with that address:
--   CALL sor_operator_player('e-mail', 'password', 'name', 'surname');
-- name and surname are used for a new player only (NULL: empty). SQL SECURITY
-- INVOKER: only an account with row rights on the game tables (an
-- administrator) can run it.
CREATE OR REPLACE PROCEDURE sor_operator_player(IN p_email LONGTEXT, IN p_password LONGTEXT, IN p_name LONGTEXT,
                                                IN p_surname LONGTEXT)
SQL SECURITY INVOKER MODIFIES SQL DATA
BEGIN
  DECLARE v_email VARCHAR(254);
  DECLARE v_id INT DEFAULT NULL;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN ROLLBACK; RESIGNAL; END;
  DECLARE CONTINUE HANDLER FOR NOT FOUND BEGIN END;
  SET v_email = LOWER(sorx_email_arg(p_email));
  IF p_password IS NULL OR TRIM(p_password) = '' THEN
    CALL sorx_bad('пароль');
  END IF;
  START TRANSACTION;
  SELECT ID INTO v_id FROM users WHERE loginEmail = v_email FOR UPDATE;
  IF v_id IS NULL THEN
    INSERT INTO users (loginEmail, password, name, surname)
    VALUES (v_email, '', TRIM(sorx_text(COALESCE(p_name, ''), 'имя', 0, 100)),
            TRIM(sorx_text(COALESCE(p_surname, ''), 'фамилия', 0, 100)));
    SET v_id = LAST_INSERT_ID();
    CALL sorx_store_password(v_id, sorx_client_md5(p_password));
    COMMIT;
    SELECT CONCAT('player ', v_id, ' added: ', v_email) AS done;
  ELSE
    CALL sorx_store_password(v_id, sorx_client_md5(p_password));
    UPDATE users SET password = '' WHERE ID = v_id;
    DELETE FROM Sor_login_fails WHERE UserID = v_id;
    DELETE FROM Sor_restore WHERE UserID = v_id;
    COMMIT;
    SELECT CONCAT('password of player ', v_id, ' set: ', v_email) AS done;
  END IF;
END$$

-- ---- bringing an existing server over -----------------------------------------------------

-- Every account whose MD5 is not hashed yet gets its salted hash; accounts
-- hashed already are left alone. Prints how many were hashed.
CREATE OR REPLACE PROCEDURE sor_migrate_passwords()
SQL SECURITY INVOKER MODIFIES SQL DATA
BEGIN
  -- (a database without the password column has no password to bring over)
  IF EXISTS (SELECT 1 FROM information_schema.COLUMNS
             WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'users' AND COLUMN_NAME = 'password') THEN
    CALL sorx_migrate_passwords(FALSE);
  END IF;
END$$

-- p_all: also every account whose hash is not the one of its MD5 (a password
-- the old statements set after it was hashed); one hash per account, so this
-- is for the last step only (data/retire-old-client.sql).
CREATE OR REPLACE PROCEDURE sorx_migrate_passwords(p_all BOOLEAN)
SQL SECURITY INVOKER MODIFIES SQL DATA
BEGIN
  DECLARE v_id INT;
  DECLARE v_md5 CHAR(32);
  DECLARE v_done BOOLEAN DEFAULT FALSE;
  DECLARE v_count INT DEFAULT 0;
  DECLARE c CURSOR FOR
    SELECT u.ID, u.password FROM users u LEFT JOIN Sor_passwords p ON p.UserID = u.ID
    WHERE CAST(u.password AS BINARY) REGEXP '^[0-9a-f]{32}$'
      AND (p.UserID IS NULL
           OR (p_all AND CAST(sorx_pw_hash(p.salt, u.password, p.rounds) AS BINARY) <> CAST(p.hash AS BINARY)));
  DECLARE CONTINUE HANDLER FOR NOT FOUND SET v_done = TRUE;
  OPEN c;
  hashing: LOOP
    FETCH c INTO v_id, v_md5;
    IF v_done THEN LEAVE hashing; END IF;
    CALL sorx_store_password(v_id, v_md5);
    SET v_count = v_count + 1;
  END LOOP;
  CLOSE c;
  IF v_count > 0 THEN
    SELECT CONCAT('users: ', v_count, ' passwords hashed into Sor_passwords') AS migration;
  END IF;
END$$

DELIMITER ;
