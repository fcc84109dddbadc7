-- The history of the records: every insert, change and delete of a contact, value-list entry,
-- project, task or link, written by the database itself in the transaction that makes the change,
-- so changes made by any program are in it. Each entry keeps the whole record before (OldRow) and
-- after (NewRow) as a JSON object with lower-case column names; a value-list entry's place in its
-- list is "seq". A change that touches nothing but row_version is not an entry.
-- ChangedBy and Tx are filled by the program for its own changes (who made them, and the ID of
-- the first entry of the transaction); another program's entries leave them empty.
-- Schema version 4: part of every new file; a file from before gets it the first time it is opened
-- for writing, after a backup copy.
CREATE TABLE History (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    ChangedAt TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),
    ChangedBy TEXT,
    TableName TEXT NOT NULL,
    RecordID INTEGER NOT NULL,
    Kind TEXT NOT NULL CHECK (Kind IN ('insert', 'update', 'delete')),
    OldRow TEXT,
    NewRow TEXT,
    Tx INTEGER
);
CREATE INDEX History_Record ON History (TableName, RecordID, ID);
CREATE INDEX History_Tx ON History (Tx) WHERE Tx IS NOT NULL;
CREATE INDEX History_Deleted ON History (TableName, ID) WHERE Kind = 'delete';

-- A task deleted alone hands its children on to its own parent; a project deleted with its tasks
-- takes their outline with it as it was, so that the project comes back as it was.
DROP TRIGGER Tasks_HandOnChildren;
CREATE TRIGGER Tasks_HandOnChildren BEFORE DELETE ON Tasks FOR EACH ROW
WHEN OLD.ProjectID IS NULL OR EXISTS (SELECT 1 FROM Projects WHERE ID = OLD.ProjectID)
BEGIN UPDATE Tasks SET ParentID = OLD.ParentID WHERE ParentID = OLD.ID; END;

CREATE TRIGGER Employees_History_Insert AFTER INSERT ON Employees FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('employees', NEW.ID, 'insert', json_object('id', NEW.ID, 'firstname', NEW.FirstName, 'lastname', NEW.LastName, 'email', NEW.Email, 'company', NEW.Company, 'jobtitle', NEW.JobTitle, 'businessphone', NEW.BusinessPhone, 'homephone', NEW.HomePhone, 'mobilephone', NEW.MobilePhone, 'faxnumber', NEW.FaxNumber, 'address', NEW.Address, 'city', NEW.City, 'state', NEW.State, 'zip', NEW.ZIP, 'country', NEW.Country, 'webpage', NEW.WebPage, 'notes', NEW.Notes)); END;
CREATE TRIGGER Employees_History_Update AFTER UPDATE ON Employees FOR EACH ROW
WHEN OLD.FirstName IS NOT NEW.FirstName OR OLD.LastName IS NOT NEW.LastName OR OLD.Email IS NOT NEW.Email OR OLD.Company IS NOT NEW.Company OR OLD.JobTitle IS NOT NEW.JobTitle OR OLD.BusinessPhone IS NOT NEW.BusinessPhone OR OLD.HomePhone IS NOT NEW.HomePhone OR OLD.MobilePhone IS NOT NEW.MobilePhone OR OLD.FaxNumber IS NOT NEW.FaxNumber OR OLD.Address IS NOT NEW.Address OR OLD.City IS NOT NEW.City OR OLD.State IS NOT NEW.State OR OLD.ZIP IS NOT NEW.ZIP OR OLD.Country IS NOT NEW.Country OR OLD.WebPage IS NOT NEW.WebPage OR OLD.Notes IS NOT NEW.Notes
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('employees', NEW.ID, 'update', json_object('id', OLD.ID, 'firstname', OLD.FirstName, 'lastname', OLD.LastName, 'email', OLD.Email, 'company', OLD.Company, 'jobtitle', OLD.JobTitle, 'businessphone', OLD.BusinessPhone, 'homephone', OLD.HomePhone, 'mobilephone', OLD.MobilePhone, 'faxnumber', OLD.FaxNumber, 'address', OLD.Address, 'city', OLD.City, 'state', OLD.State, 'zip', OLD.ZIP, 'country', OLD.Country, 'webpage', OLD.WebPage, 'notes', OLD.Notes), json_object('id', NEW.ID, 'firstname', NEW.FirstName, 'lastname', NEW.LastName, 'email', NEW.Email, 'company', NEW.Company, 'jobtitle', NEW.JobTitle, 'businessphone', NEW.BusinessPhone, 'homephone', NEW.HomePhone, 'mobilephone', NEW.MobilePhone, 'faxnumber', NEW.FaxNumber, 'address', NEW.Address, 'city', NEW.City, 'state', NEW.State, 'zip', NEW.ZIP, 'country', NEW.Country, 'webpage', NEW.WebPage, 'notes', NEW.Notes)); END;
CREATE TRIGGER Employees_History_Delete AFTER DELETE ON Employees FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('employees', OLD.ID, 'delete', json_object('id', OLD.ID, 'firstname', OLD.FirstName, 'lastname', OLD.LastName, 'email', OLD.Email, 'company', OLD.Company, 'jobtitle', OLD.JobTitle, 'businessphone', OLD.BusinessPhone, 'homephone', OLD.HomePhone, 'mobilephone', OLD.MobilePhone, 'faxnumber', OLD.FaxNumber, 'address', OLD.Address, 'city', OLD.City, 'state', OLD.State, 'zip', OLD.ZIP, 'country', OLD.Country, 'webpage', OLD.WebPage, 'notes', OLD.Notes)); END;
CREATE TRIGGER Status_History_Insert AFTER INSERT ON Status FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('status', NEW.rowid, 'insert', json_object('seq', NEW.rowid, 'status', NEW.Status)); END;
CREATE TRIGGER Status_History_Update AFTER UPDATE ON Status FOR EACH ROW
WHEN OLD.rowid IS NOT NEW.rowid OR OLD.Status IS NOT NEW.Status
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('status', NEW.rowid, 'update', json_object('seq', OLD.rowid, 'status', OLD.Status), json_object('seq', NEW.rowid, 'status', NEW.Status)); END;
CREATE TRIGGER Status_History_Delete AFTER DELETE ON Status FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('status', OLD.rowid, 'delete', json_object('seq', OLD.rowid, 'status', OLD.Status)); END;
CREATE TRIGGER Categories_History_Insert AFTER INSERT ON Categories FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('categories', NEW.rowid, 'insert', json_object('seq', NEW.rowid, 'category', NEW.Category)); END;
CREATE TRIGGER Categories_History_Update AFTER UPDATE ON Categories FOR EACH ROW
WHEN OLD.rowid IS NOT NEW.rowid OR OLD.Category IS NOT NEW.Category
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('categories', NEW.rowid, 'update', json_object('seq', OLD.rowid, 'category', OLD.Category), json_object('seq', NEW.rowid, 'category', NEW.Category)); END;
CREATE TRIGGER Categories_History_Delete AFTER DELETE ON Categories FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('categories', OLD.rowid, 'delete', json_object('seq', OLD.rowid, 'category', OLD.Category)); END;
CREATE TRIGGER Priorities_History_Insert AFTER INSERT ON Priorities FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('priorities', NEW.rowid, 'insert', json_object('seq', NEW.rowid, 'priority', NEW.Priority)); END;
CREATE TRIGGER Priorities_History_Update AFTER UPDATE ON Priorities FOR EACH ROW
WHEN OLD.rowid IS NOT NEW.rowid OR OLD.Priority IS NOT NEW.Priority
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('priorities', NEW.rowid, 'update', json_object('seq', OLD.rowid, 'priority', OLD.Priority), json_object('seq', NEW.rowid, 'priority', NEW.Priority)); END;
CREATE TRIGGER Priorities_History_Delete AFTER DELETE ON Priorities FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('priorities', OLD.rowid, 'delete', json_object('seq', OLD.rowid, 'priority', OLD.Priority)); END;
CREATE TRIGGER Projects_History_Insert AFTER INSERT ON Projects FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('projects', NEW.ID, 'insert', json_object('id', NEW.ID, 'projectname', NEW.ProjectName, 'owner', NEW.Owner, 'startdate', NEW.StartDate, 'status', NEW.Status, 'category', NEW.Category, 'priority', NEW.Priority, 'notes', NEW.Notes, 'enddate', NEW.EndDate, 'budgetindays', NEW.BudgetInDays, 'budget', NEW.Budget)); END;
CREATE TRIGGER Projects_History_Update AFTER UPDATE ON Projects FOR EACH ROW
WHEN OLD.ProjectName IS NOT NEW.ProjectName OR OLD.Owner IS NOT NEW.Owner OR OLD.StartDate IS NOT NEW.StartDate OR OLD.Status IS NOT NEW.Status OR OLD.Category IS NOT NEW.Category OR OLD.Priority IS NOT NEW.Priority OR OLD.Notes IS NOT NEW.Notes OR OLD.EndDate IS NOT NEW.EndDate OR OLD.BudgetInDays IS NOT NEW.BudgetInDays OR OLD.Budget IS NOT NEW.Budget
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('projects', NEW.ID, 'update', json_object('id', OLD.ID, 'projectname', OLD.ProjectName, 'owner', OLD.Owner, 'startdate', OLD.StartDate, 'status', OLD.Status, 'category', OLD.Category, 'priority', OLD.Priority, 'notes', OLD.Notes, 'enddate', OLD.EndDate, 'budgetindays', OLD.BudgetInDays, 'budget', OLD.Budget), json_object('id', NEW.ID, 'projectname', NEW.ProjectName, 'owner', NEW.Owner, 'startdate', NEW.StartDate, 'status', NEW.Status, 'category', NEW.Category, 'priority', NEW.Priority, 'notes', NEW.Notes, 'enddate', NEW.EndDate, 'budgetindays', NEW.BudgetInDays, 'budget', NEW.Budget)); END;
CREATE TRIGGER Projects_History_Delete AFTER DELETE ON Projects FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('projects', OLD.ID, 'delete', json_object('id', OLD.ID, 'projectname', OLD.ProjectName, 'owner', OLD.Owner, 'startdate', OLD.StartDate, 'status', OLD.Status, 'category', OLD.Category, 'priority', OLD.Priority, 'notes', OLD.Notes, 'enddate', OLD.EndDate, 'budgetindays', OLD.BudgetInDays, 'budget', OLD.Budget)); END;
CREATE TRIGGER Tasks_History_Insert AFTER INSERT ON Tasks FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('tasks', NEW.ID, 'insert', json_object('id', NEW.ID, 'projectid', NEW.ProjectID, 'title', NEW.Title, 'priority', NEW.Priority, 'status', NEW.Status, 'cost', NEW.Cost, 'costindays', NEW.CostInDays, 'percentcomplete', NEW.PercentComplete, 'assignedto', NEW.AssignedTo, 'description', NEW.Description, 'startdate', NEW.StartDate, 'duedate', NEW.DueDate, 'parentid', NEW.ParentID, 'milestone', NEW.Milestone, 'startnoearlierthan', NEW.StartNoEarlierThan)); END;
CREATE TRIGGER Tasks_History_Update AFTER UPDATE ON Tasks FOR EACH ROW
WHEN OLD.ProjectID IS NOT NEW.ProjectID OR OLD.Title IS NOT NEW.Title OR OLD.Priority IS NOT NEW.Priority OR OLD.Status IS NOT NEW.Status OR OLD.Cost IS NOT NEW.Cost OR OLD.CostInDays IS NOT NEW.CostInDays OR OLD.PercentComplete IS NOT NEW.PercentComplete OR OLD.AssignedTo IS NOT NEW.AssignedTo OR OLD.Description IS NOT NEW.Description OR OLD.StartDate IS NOT NEW.StartDate OR OLD.DueDate IS NOT NEW.DueDate OR OLD.ParentID IS NOT NEW.ParentID OR OLD.Milestone IS NOT NEW.Milestone OR OLD.StartNoEarlierThan IS NOT NEW.StartNoEarlierThan
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('tasks', NEW.ID, 'update', json_object('id', OLD.ID, 'projectid', OLD.ProjectID, 'title', OLD.Title, 'priority', OLD.Priority, 'status', OLD.Status, 'cost', OLD.Cost, 'costindays', OLD.CostInDays, 'percentcomplete', OLD.PercentComplete, 'assignedto', OLD.AssignedTo, 'description', OLD.Description, 'startdate', OLD.StartDate, 'duedate', OLD.DueDate, 'parentid', OLD.ParentID, 'milestone', OLD.Milestone, 'startnoearlierthan', OLD.StartNoEarlierThan), json_object('id', NEW.ID, 'projectid', NEW.ProjectID, 'title', NEW.Title, 'priority', NEW.Priority, 'status', NEW.Status, 'cost', NEW.Cost, 'costindays', NEW.CostInDays, 'percentcomplete', NEW.PercentComplete, 'assignedto', NEW.AssignedTo, 'description', NEW.Description, 'startdate', NEW.StartDate, 'duedate', NEW.DueDate, 'parentid', NEW.ParentID, 'milestone', NEW.Milestone, 'startnoearlierthan', NEW.StartNoEarlierThan)); END;
CREATE TRIGGER Tasks_History_Delete AFTER DELETE ON Tasks FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('tasks', OLD.ID, 'delete', json_object('id', OLD.ID, 'projectid', OLD.ProjectID, 'title', OLD.Title, 'priority', OLD.Priority, 'status', OLD.Status, 'cost', OLD.Cost, 'costindays', OLD.CostInDays, 'percentcomplete', OLD.PercentComplete, 'assignedto', OLD.AssignedTo, 'description', OLD.Description, 'startdate', OLD.StartDate, 'duedate', OLD.DueDate, 'parentid', OLD.ParentID, 'milestone', OLD.Milestone, 'startnoearlierthan', OLD.StartNoEarlierThan)); END;
CREATE TRIGGER TaskLinks_History_Insert AFTER INSERT ON TaskLinks FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('tasklinks', NEW.ID, 'insert', json_object('id', NEW.ID, 'predecessorid', NEW.PredecessorID, 'successorid', NEW.SuccessorID, 'kind', NEW.Kind, 'lag', NEW.Lag)); END;
CREATE TRIGGER TaskLinks_History_Update AFTER UPDATE ON TaskLinks FOR EACH ROW
WHEN OLD.PredecessorID IS NOT NEW.PredecessorID OR OLD.SuccessorID IS NOT NEW.SuccessorID OR OLD.Kind IS NOT NEW.Kind OR OLD.Lag IS NOT NEW.Lag
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('tasklinks', NEW.ID, 'update', json_object('id', OLD.ID, 'predecessorid', OLD.PredecessorID, 'successorid', OLD.SuccessorID, 'kind', OLD.Kind, 'lag', OLD.Lag), json_object('id', NEW.ID, 'predecessorid', NEW.PredecessorID, 'successorid', NEW.SuccessorID, 'kind', NEW.Kind, 'lag', NEW.Lag)); END;
CREATE TRIGGER TaskLinks_History_Delete AFTER DELETE ON TaskLinks FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('tasklinks', OLD.ID, 'delete', json_object('id', OLD.ID, 'predecessorid', OLD.PredecessorID, 'successorid', OLD.SuccessorID, 'kind', OLD.Kind, 'lag', OLD.Lag)); END;

PRAGMA user_version = 4;
