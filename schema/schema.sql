-- Fennick Planner database: six tables and the two views the windows read.
-- Dates are ISO texts (yyyy-MM-dd) so they sort and compare as dates.
PRAGMA foreign_keys = ON;

CREATE TABLE Employees (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    FirstName TEXT,
    LastName TEXT,
    Email TEXT,
    Company TEXT,
    JobTitle TEXT,
    BusinessPhone TEXT,
    HomePhone TEXT,
    MobilePhone TEXT,
    FaxNumber TEXT,
    Address TEXT,
    City TEXT,
    State TEXT,
    ZIP TEXT,
    Country TEXT,
    WebPage TEXT,
    Notes TEXT,
    row_version INTEGER NOT NULL DEFAULT 1
);

-- Value lists: one text column each and no index, so a table scan visits the
-- entries in the order they were added (the First/Last aggregates rely on it).
CREATE TABLE Status (Status TEXT COLLATE NOCASE);
CREATE TABLE Categories (Category TEXT COLLATE NOCASE);
CREATE TABLE Priorities (Priority TEXT COLLATE NOCASE);

CREATE TRIGGER Status_NoDuplicates BEFORE INSERT ON Status
WHEN EXISTS (SELECT 1 FROM Status WHERE Status = NEW.Status)
BEGIN SELECT RAISE(ABORT, 'This status is already in the list.'); END;

CREATE TRIGGER Categories_NoDuplicates BEFORE INSERT ON Categories
WHEN EXISTS (SELECT 1 FROM Categories WHERE Category = NEW.Category)
BEGIN SELECT RAISE(ABORT, 'This category is already in the list.'); END;

CREATE TRIGGER Priorities_NoDuplicates BEFORE INSERT ON Priorities
WHEN EXISTS (SELECT 1 FROM Priorities WHERE Priority = NEW.Priority)
BEGIN SELECT RAISE(ABORT, 'This priority is already in the list.'); END;

CREATE TABLE Projects (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ProjectName TEXT,
    Owner INTEGER,
    StartDate TEXT,
    Status TEXT COLLATE NOCASE,
    Category TEXT COLLATE NOCASE,
    Priority TEXT COLLATE NOCASE,
    Notes TEXT,
    EndDate TEXT,
    BudgetInDays NUMERIC,
    Budget NUMERIC,
    row_version INTEGER NOT NULL DEFAULT 1
);

-- Deleting a project takes its tasks with it; nothing else can reach them.
CREATE TABLE Tasks (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ProjectID INTEGER REFERENCES Projects (ID) ON DELETE CASCADE,
    Title TEXT,
    Priority TEXT COLLATE NOCASE,
    Status TEXT COLLATE NOCASE,
    Cost NUMERIC,
    CostInDays NUMERIC,
    PercentComplete NUMERIC,
    AssignedTo INTEGER,
    Description TEXT,
    StartDate TEXT,
    DueDate TEXT,
    row_version INTEGER NOT NULL DEFAULT 1
);

-- row_version counts the updates of a record, so that a save can tell that another copy of the
-- program changed the record after it was read. The file's user_version says that its tables
-- have it (an older file gets it when it is first opened for writing).
CREATE TRIGGER Employees_Version AFTER UPDATE ON Employees FOR EACH ROW
WHEN NEW.row_version = OLD.row_version
BEGIN UPDATE Employees SET row_version = OLD.row_version + 1 WHERE ID = NEW.ID; END;
CREATE TRIGGER Projects_Version AFTER UPDATE ON Projects FOR EACH ROW
WHEN NEW.row_version = OLD.row_version
BEGIN UPDATE Projects SET row_version = OLD.row_version + 1 WHERE ID = NEW.ID; END;
CREATE TRIGGER Tasks_Version AFTER UPDATE ON Tasks FOR EACH ROW
WHEN NEW.row_version = OLD.row_version
BEGIN UPDATE Tasks SET row_version = OLD.row_version + 1 WHERE ID = NEW.ID; END;
PRAGMA user_version = 1;

CREATE INDEX Projects_Owner ON Projects (Owner);
CREATE INDEX Tasks_ProjectID ON Tasks (ProjectID);
CREATE INDEX Tasks_AssignedTo ON Tasks (AssignedTo);

-- A contact's display name: first name, one blank, last name. A missing half
-- shows as empty text. A contact that no longer exists shows as
-- "(deleted contact)", and its projects and tasks stay listed; no contact at all
-- gives an empty name. (The program brings the views of older files up to this.)
CREATE VIEW [Open Projects] AS
SELECT p.ID AS ID, p.ProjectName AS ProjectName, p.Owner AS Owner, p.StartDate AS StartDate,
       p.Status AS Status, p.Category AS Category, p.Priority AS Priority, p.Notes AS Notes,
       p.EndDate AS EndDate, p.BudgetInDays AS BudgetInDays, p.Budget AS Budget,
       CASE WHEN p.Owner IS NULL THEN '' WHEN e.ID IS NULL THEN '(deleted contact)'
            ELSE ifnull(e.FirstName, '') || ' ' || ifnull(e.LastName, '') END AS OwnerName
FROM Projects p LEFT JOIN Employees e ON e.ID = p.Owner;

CREATE VIEW [Open Tasks] AS
SELECT t.ID AS ID, t.ProjectID AS ProjectID, t.Title AS Title, t.Priority AS Priority, t.Status AS Status,
       t.Cost AS Cost, t.CostInDays AS CostInDays, t.PercentComplete AS PercentComplete,
       t.Description AS Description, t.StartDate AS StartDate, t.DueDate AS DueDate,
       t.AssignedTo AS AssignedID,
       CASE WHEN t.AssignedTo IS NULL THEN '' WHEN e.ID IS NULL THEN '(deleted contact)'
            ELSE ifnull(e.FirstName, '') || ' ' || ifnull(e.LastName, '') END AS AssignedTo
FROM Tasks t LEFT JOIN Employees e ON e.ID = t.AssignedTo;
