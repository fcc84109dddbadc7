-- The planner's tables of the local file: outline, milestones, links between tasks, and the
-- working calendar. Part of every new file (the template is made from schema.sql and this
-- script); a file from before gets them the first time it is opened for writing, after a backup
-- copy. Nothing here changes what the lists and editors read.

-- A task may belong to a parent task of the same project (any depth); a parent's dates span its
-- children. A milestone is a task of no length. StartNoEarlierThan is the date a user gave a
-- linked task: its links may move it later, never earlier.
ALTER TABLE Tasks ADD COLUMN ParentID INTEGER REFERENCES Tasks (ID);
ALTER TABLE Tasks ADD COLUMN Milestone INTEGER NOT NULL DEFAULT 0 CHECK (Milestone IN (0, 1));
ALTER TABLE Tasks ADD COLUMN StartNoEarlierThan TEXT;
CREATE INDEX Tasks_ParentID ON Tasks (ParentID);

-- Deleting a task hands its children to its own parent (or to none), so that no task is lost
-- with a summary deleted by mistake.
CREATE TRIGGER Tasks_HandOnChildren BEFORE DELETE ON Tasks FOR EACH ROW
BEGIN UPDATE Tasks SET ParentID = OLD.ParentID WHERE ParentID = OLD.ID; END;

CREATE TRIGGER Tasks_ParentInProject BEFORE UPDATE OF ParentID, ProjectID ON Tasks FOR EACH ROW
WHEN NEW.ParentID IS NOT NULL AND
     (NEW.ParentID = NEW.ID OR
      (SELECT ProjectID FROM Tasks WHERE ID = NEW.ParentID) IS NOT NEW.ProjectID)
BEGIN SELECT RAISE(ABORT, 'A task can only be placed under another task of its own project.'); END;
CREATE TRIGGER Tasks_NewParentInProject BEFORE INSERT ON Tasks FOR EACH ROW
WHEN NEW.ParentID IS NOT NULL AND (SELECT ProjectID FROM Tasks WHERE ID = NEW.ParentID) IS NOT NEW.ProjectID
BEGIN SELECT RAISE(ABORT, 'A task can only be placed under another task of its own project.'); END;

-- A link between two tasks of one project: FS (the successor starts after the predecessor
-- finishes), SS, FF or SF, with a lag in working days (negative: a lead). Deleting a task
-- deletes its links.
CREATE TABLE TaskLinks (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    PredecessorID INTEGER NOT NULL REFERENCES Tasks (ID) ON DELETE CASCADE,
    SuccessorID INTEGER NOT NULL REFERENCES Tasks (ID) ON DELETE CASCADE,
    Kind TEXT NOT NULL DEFAULT 'FS' CHECK (Kind IN ('FS', 'SS', 'FF', 'SF')),
    Lag INTEGER NOT NULL DEFAULT 0,
    row_version INTEGER NOT NULL DEFAULT 1,
    UNIQUE (PredecessorID, SuccessorID),
    CHECK (PredecessorID <> SuccessorID)
);
CREATE INDEX TaskLinks_SuccessorID ON TaskLinks (SuccessorID);
CREATE TRIGGER TaskLinks_Version AFTER UPDATE ON TaskLinks FOR EACH ROW
WHEN NEW.row_version = OLD.row_version
BEGIN UPDATE TaskLinks SET row_version = OLD.row_version + 1 WHERE ID = NEW.ID; END;
CREATE TRIGGER TaskLinks_OneProject BEFORE INSERT ON TaskLinks FOR EACH ROW
WHEN (SELECT ProjectID FROM Tasks WHERE ID = NEW.PredecessorID) IS NOT
     (SELECT ProjectID FROM Tasks WHERE ID = NEW.SuccessorID)
BEGIN SELECT RAISE(ABORT, 'Only tasks of one project can be linked.'); END;
CREATE TRIGGER TaskLinks_StayInProject BEFORE UPDATE OF PredecessorID, SuccessorID ON TaskLinks FOR EACH ROW
WHEN (SELECT ProjectID FROM Tasks WHERE ID = NEW.PredecessorID) IS NOT
     (SELECT ProjectID FROM Tasks WHERE ID = NEW.SuccessorID)
BEGIN SELECT RAISE(ABORT, 'Only tasks of one project can be linked.'); END;

-- One working calendar per database: which weekdays are worked (1 = Monday ... 7 = Sunday) and
-- the dates that are not (holidays).
CREATE TABLE WorkingDays (
    Weekday INTEGER PRIMARY KEY CHECK (Weekday BETWEEN 1 AND 7),
    Working INTEGER NOT NULL CHECK (Working IN (0, 1))
);
INSERT INTO WorkingDays VALUES (1, 1), (2, 1), (3, 1), (4, 1), (5, 1), (6, 0), (7, 0);
CREATE TABLE Holidays (Day TEXT PRIMARY KEY, Name TEXT);

PRAGMA user_version = 2;
