-- The notices name the records a change touched, so that each listening client reads just those
-- rows again instead of its whole list: "projects 12,40" after a statement changed projects 12 and
-- 40. A statement that touches more records than a notice should carry names only its table
-- ("projects"), and the clients read their lists again. Contacts are named too: a contact's name
-- is shown in the rows of its projects and tasks. Schema version 5.
CREATE FUNCTION fennick_notify_records() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    touched bigint;
    ids text;
BEGIN
    -- Each branch reads the transition table its trigger has.
    IF TG_OP = 'DELETE' THEN
        SELECT count(*), string_agg(id::text, ',') INTO touched, ids FROM (SELECT id FROM old_rows LIMIT 501) r;
    ELSE
        SELECT count(*), string_agg(id::text, ',') INTO touched, ids FROM (SELECT id FROM new_rows LIMIT 501) r;
    END IF;
    IF touched > 500 THEN
        PERFORM pg_notify('fennick_changes', TG_TABLE_NAME);
    ELSIF touched > 0 THEN
        PERFORM pg_notify('fennick_changes', TG_TABLE_NAME || ' ' || ids);
    END IF;
    RETURN NULL;
END $$;

DROP TRIGGER employees_notify ON employees;
DROP TRIGGER projects_notify ON projects;
DROP TRIGGER tasks_notify ON tasks;
CREATE TRIGGER employees_notify_insert AFTER INSERT ON employees REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER employees_notify_update AFTER UPDATE ON employees REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER employees_notify_delete AFTER DELETE ON employees REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER projects_notify_insert AFTER INSERT ON projects REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER projects_notify_update AFTER UPDATE ON projects REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER projects_notify_delete AFTER DELETE ON projects REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER tasks_notify_insert AFTER INSERT ON tasks REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER tasks_notify_update AFTER UPDATE ON tasks REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();
CREATE TRIGGER tasks_notify_delete AFTER DELETE ON tasks REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_notify_records();

UPDATE fennick_schema SET version = 5;
