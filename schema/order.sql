-- The plan's own order: a task's place among the tasks under the same parent (PlanOrder, lower
-- first), as the planner's users arrange it, instead of an order worked out from the dates.
-- Schema version 5: part of every new file; a file from before gets it the first time it is
-- opened for writing, after a backup copy. Nothing here changes what the lists and editors read.
-- A task without a place (one added by a program that does not know the column) comes after its
-- siblings.
ALTER TABLE Tasks ADD COLUMN PlanOrder INTEGER;

-- A milestone that stands at the start of the day it is dated on (1), as other planners' files
-- put some, rather than at its end (0, as every milestone stood before): the same moment as the
-- end of the working day before, written as the later day.
ALTER TABLE Tasks ADD COLUMN MilestoneAtStart INTEGER NOT NULL DEFAULT 0;

-- The tasks there are keep the order the timeline showed them in: by start date (those without a
-- readable one last), then as they were read.
UPDATE Tasks SET PlanOrder = numbered.n
FROM (SELECT ID, row_number() OVER (
          PARTITION BY ProjectID, ParentID
          ORDER BY date(substr(StartDate, 1, 10)) IS NULL, date(substr(StartDate, 1, 10)), ID) AS n
      FROM Tasks) AS numbered
WHERE numbered.ID = Tasks.ID;

-- The history keeps the place and the milestone's moment as every other column, so that an undo
-- puts a task back where it was.
DROP TRIGGER Tasks_History_Insert;
DROP TRIGGER Tasks_History_Update;
DROP TRIGGER Tasks_History_Delete;
CREATE TRIGGER Tasks_History_Insert AFTER INSERT ON Tasks FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, NewRow)
    VALUES ('tasks', NEW.ID, 'insert', json_object('id', NEW.ID, 'projectid', NEW.ProjectID, 'title', NEW.Title, 'priority', NEW.Priority, 'status', NEW.Status, 'cost', NEW.Cost, 'costindays', NEW.CostInDays, 'percentcomplete', NEW.PercentComplete, 'assignedto', NEW.AssignedTo, 'description', NEW.Description, 'startdate', NEW.StartDate, 'duedate', NEW.DueDate, 'parentid', NEW.ParentID, 'milestone', NEW.Milestone, 'startnoearlierthan', NEW.StartNoEarlierThan, 'planorder', NEW.PlanOrder, 'milestoneatstart', NEW.MilestoneAtStart)); END;
CREATE TRIGGER Tasks_History_Update AFTER UPDATE ON Tasks FOR EACH ROW
WHEN OLD.ProjectID IS NOT NEW.ProjectID OR OLD.Title IS NOT NEW.Title OR OLD.Priority IS NOT NEW.Priority OR OLD.Status IS NOT NEW.Status OR OLD.Cost IS NOT NEW.Cost OR OLD.CostInDays IS NOT NEW.CostInDays OR OLD.PercentComplete IS NOT NEW.PercentComplete OR OLD.AssignedTo IS NOT NEW.AssignedTo OR OLD.Description IS NOT NEW.Description OR OLD.StartDate IS NOT NEW.StartDate OR OLD.DueDate IS NOT NEW.DueDate OR OLD.ParentID IS NOT NEW.ParentID OR OLD.Milestone IS NOT NEW.Milestone OR OLD.StartNoEarlierThan IS NOT NEW.StartNoEarlierThan OR OLD.PlanOrder IS NOT NEW.PlanOrder OR OLD.MilestoneAtStart IS NOT NEW.MilestoneAtStart
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow, NewRow)
    VALUES ('tasks', NEW.ID, 'update', json_object('id', OLD.ID, 'projectid', OLD.ProjectID, 'title', OLD.Title, 'priority', OLD.Priority, 'status', OLD.Status, 'cost', OLD.Cost, 'costindays', OLD.CostInDays, 'percentcomplete', OLD.PercentComplete, 'assignedto', OLD.AssignedTo, 'description', OLD.Description, 'startdate', OLD.StartDate, 'duedate', OLD.DueDate, 'parentid', OLD.ParentID, 'milestone', OLD.Milestone, 'startnoearlierthan', OLD.StartNoEarlierThan, 'planorder', OLD.PlanOrder, 'milestoneatstart', OLD.MilestoneAtStart), json_object('id', NEW.ID, 'projectid', NEW.ProjectID, 'title', NEW.Title, 'priority', NEW.Priority, 'status', NEW.Status, 'cost', NEW.Cost, 'costindays', NEW.CostInDays, 'percentcomplete', NEW.PercentComplete, 'assignedto', NEW.AssignedTo, 'description', NEW.Description, 'startdate', NEW.StartDate, 'duedate', NEW.DueDate, 'parentid', NEW.ParentID, 'milestone', NEW.Milestone, 'startnoearlierthan', NEW.StartNoEarlierThan, 'planorder', NEW.PlanOrder, 'milestoneatstart', NEW.MilestoneAtStart)); END;
CREATE TRIGGER Tasks_History_Delete AFTER DELETE ON Tasks FOR EACH ROW
BEGIN INSERT INTO History (TableName, RecordID, Kind, OldRow)
    VALUES ('tasks', OLD.ID, 'delete', json_object('id', OLD.ID, 'projectid', OLD.ProjectID, 'title', OLD.Title, 'priority', OLD.Priority, 'status', OLD.Status, 'cost', OLD.Cost, 'costindays', OLD.CostInDays, 'percentcomplete', OLD.PercentComplete, 'assignedto', OLD.AssignedTo, 'description', OLD.Description, 'startdate', OLD.StartDate, 'duedate', OLD.DueDate, 'parentid', OLD.ParentID, 'milestone', OLD.Milestone, 'startnoearlierthan', OLD.StartNoEarlierThan, 'planorder', OLD.PlanOrder, 'milestoneatstart', OLD.MilestoneAtStart)); END;

PRAGMA user_version = 5;
