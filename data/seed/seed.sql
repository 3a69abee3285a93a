-- Seed rows of a new game server. The question bank is data/seed/questions.tsv.

-- Ten minutes a tour.
INSERT INTO Sor_setttings (level1, level2, level3) VALUES (600, 600, 600);

INSERT INTO Version (VerSorventa) VALUES ('3.1.0.0');

-- The demo player: demo@tavrek.example, password "sorventa" (MD5 below).
INSERT INTO users (loginEmail, password, name, surname)
VALUES ('demo@tavrek.example', '9094d4623a7552bbeab2a9d86111f2d3', 'Демо', 'Игрок');
