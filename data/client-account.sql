-- The account the client connects with: rows only, no tables, no other database.
CREATE USER IF NOT EXISTS 'tavrekdb2'@'%' IDENTIFIED BY 'Hb3Tz8WqPn5J';
GRANT SELECT, INSERT, UPDATE, DELETE ON `@DATABASE@`.* TO 'tavrekdb2'@'%';
