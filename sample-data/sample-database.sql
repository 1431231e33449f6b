-- Rowquarry's sample database: a small shop, so the program can be tried without a SQL Server.
-- Loaded into SQLite by scripts/run.sh; the SQLite ODBC driver stands in for "SQL Server".
CREATE TABLE Customers (
    CustomerID INTEGER PRIMARY KEY,
    Name TEXT NOT NULL,
    Email TEXT,
    Phone TEXT,
    City TEXT,
    Notes TEXT
);
INSERT INTO Customers VALUES
 (1, 'Ada Lovelace', 'ada@analytical.example', '+44 20 7946 0001', 'London', 'Prefers e-mail.'),
 (2, 'Grace Hopper', 'grace.hopper@navy.example', NULL, 'Arlington', 'Asked about <b>bulk pricing</b>.'),
 (3, 'Alan Turing', 'alan@bletchley.example', '+44 1908 640404', 'Milton Keynes', NULL),
 (4, 'Katherine Johnson', 'kjohnson@langley.example', '+1 757 555 0199', 'Hampton', 'Invoice sent twice by mistake;
credit note issued.'),
 (5, 'Edsger Dijkstra', NULL, '+31 40 247 9111', 'Eindhoven', 'No e-mail on file: call before shipping.'),
 (6, 'Margaret Hamilton', 'margaret@apollo.example', NULL, 'Cambridge', 'VIP. <i>Always</i> ship express.'),
 (7, 'Linus Torvalds', 'linus@kernel.example', '+1 503 555 0142', 'Portland', NULL),
 (8, 'Barbara Liskov', 'liskov@csail.example', '+1 617 555 0100', 'Cambridge', 'Requested a <b>catalogue</b> by post.');

CREATE TABLE Products (
    ProductID INTEGER PRIMARY KEY,
    Name TEXT NOT NULL,
    Description TEXT,
    Price REAL
);
INSERT INTO Products VALUES
 (100, 'Slide rule', '<p>Classic <b>bamboo</b> slide rule with leather case.</p>', 49.5),
 (101, 'Punched cards (box of 2000)', '<p>Standard <b>80-column</b> cards.</p>', 12.0),
 (102, 'Core memory plane', '<p>Hand-woven <b>1 KB</b> plane, framed.</p>', 320.0),
 (103, 'Teletype ribbon', NULL, 6.25),
 (104, 'Magnetic tape reel', '<p>Half-inch tape, <b>2400 ft</b>.</p>', 18.75);

CREATE TABLE Orders (
    OrderID INTEGER PRIMARY KEY,
    CustomerID INTEGER,
    ProductID INTEGER,
    Quantity INTEGER,
    OrderDate TEXT,
    DeliveryNote TEXT
);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)
INSERT INTO Orders
SELECT 1000 + i, 1 + (i * 7) % 8, 100 + i % 5, 1 + i % 4,
       printf('2026-%02d-%02d', 1 + i % 12, 1 + i % 28),
       CASE i % 6
           WHEN 0 THEN 'Leave at the <b>back door</b>.'
           WHEN 1 THEN NULL
           WHEN 2 THEN 'Contact: orders@shop.example'
           WHEN 3 THEN 'Gift wrap; card reads "Happy birthday!"'
           WHEN 4 THEN 'Deliver after 5 pm'
           ELSE ''
       END
FROM n;

-- A view is never read, and tables with "sys" in their names are passed over.
CREATE VIEW CustomerOrders AS
    SELECT c.Name, o.OrderID, o.OrderDate FROM Customers c JOIN Orders o ON o.CustomerID = c.CustomerID;
CREATE TABLE sysdiagrams (name TEXT, definition BLOB);
INSERT INTO sysdiagrams VALUES ('never read', NULL);
CREATE TABLE AuditSystemLog (entry TEXT);
INSERT INTO AuditSystemLog VALUES ('never read either');
