-- The plan's own order: a task's place among the tasks under the same parent (planorder, lower
-- first), as the planner's users arrange it, instead of an order worked out from the dates. A
-- task without a place (one added by a program that does not know the column) comes after its
-- siblings. Schema version 7. The history keeps the column as it keeps every other.
ALTER TABLE tasks ADD COLUMN planorder integer;

-- A milestone that stands at the start of the day it is dated on (true), as other planners' files
-- put some, rather than at its end (false, as every milestone stood before).
ALTER TABLE tasks ADD COLUMN milestoneatstart boolean NOT NULL DEFAULT false;

-- The tasks there are keep the order the timeline showed them in: by start date (those without
-- one last), then by ID. Numbering them is no one's change: no history entries, no notices, no
-- new row versions (the table is locked until the step commits).
ALTER TABLE tasks DISABLE TRIGGER USER;
UPDATE tasks SET planorder = numbered.n
FROM (SELECT id, row_number() OVER (PARTITION BY projectid, parentid ORDER BY startdate IS NULL, startdate, id) AS n
      FROM tasks) AS numbered
WHERE numbered.id = tasks.id;
ALTER TABLE tasks ENABLE TRIGGER USER;

UPDATE fennick_schema SET version = 7;
