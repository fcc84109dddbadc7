-- The history of the records of a team database: every insert, change and delete of a contact,
-- value-list entry, project, task or link, written by the database itself in the transaction that
-- makes the change, whoever makes it (the program, psql, a script). Each entry keeps the whole
-- record before (oldrow) and after (newrow) with lower-case column names, who made the change (the
-- role that logged in), and the transaction, so that the entries of one change are found together.
-- A change that touches nothing but row_version is not an entry.
-- Every role that may read the tables may read the history; nobody but its owner changes or
-- deletes entries, and the owner's retention (fennick_prune_history) removes old ones. Schema
-- version 4.
CREATE TABLE history (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    changedat timestamptz NOT NULL DEFAULT now(),
    changedby text,
    tablename text NOT NULL,
    recordid bigint NOT NULL,
    kind text NOT NULL CHECK (kind IN ('insert', 'update', 'delete')),
    oldrow jsonb,
    newrow jsonb,
    tx bigint
);
CREATE INDEX history_record ON history (tablename, recordid, id);
CREATE INDEX history_tx ON history (tx);
CREATE INDEX history_deleted ON history (tablename, id) WHERE kind = 'delete';

-- A task deleted alone hands its children on to its own parent; a project deleted with its tasks
-- takes their outline with it as it was (handing on there changed rows the same delete then
-- removes, which PostgreSQL refuses, so such a project could not be deleted at all).
CREATE OR REPLACE FUNCTION fennick_hand_on_children() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF OLD.projectid IS NULL OR EXISTS (SELECT 1 FROM projects WHERE id = OLD.projectid) THEN
        UPDATE tasks SET parentid = OLD.parentid WHERE parentid = OLD.id;
    END IF;
    RETURN OLD;
END $$;

-- How long entries are kept: the owner may change the one row.
CREATE TABLE history_retention (days integer NOT NULL, entries bigint NOT NULL);
INSERT INTO history_retention VALUES (180, 1000000);

CREATE FUNCTION fennick_history() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    before_row jsonb;
    after_row jsonb;
BEGIN
    IF TG_OP <> 'INSERT' THEN
        before_row := to_jsonb(OLD) - 'row_version';
    END IF;
    IF TG_OP <> 'DELETE' THEN
        after_row := to_jsonb(NEW) - 'row_version';
    END IF;
    IF TG_OP = 'UPDATE' AND before_row = after_row THEN
        RETURN NULL;
    END IF;
    INSERT INTO history (changedby, tablename, recordid, kind, oldrow, newrow, tx)
    VALUES (session_user, TG_ARGV[0], (coalesce(after_row, before_row) ->> TG_ARGV[1])::bigint, lower(TG_OP),
            before_row, after_row, txid_current());
    RETURN NULL;
END $$;

CREATE TRIGGER employees_history AFTER INSERT OR UPDATE OR DELETE ON employees
    FOR EACH ROW EXECUTE FUNCTION fennick_history('employees', 'id');
CREATE TRIGGER status_history AFTER INSERT OR UPDATE OR DELETE ON status_entries
    FOR EACH ROW EXECUTE FUNCTION fennick_history('status', 'seq');
CREATE TRIGGER categories_history AFTER INSERT OR UPDATE OR DELETE ON categories_entries
    FOR EACH ROW EXECUTE FUNCTION fennick_history('categories', 'seq');
CREATE TRIGGER priorities_history AFTER INSERT OR UPDATE OR DELETE ON priorities_entries
    FOR EACH ROW EXECUTE FUNCTION fennick_history('priorities', 'seq');
CREATE TRIGGER projects_history AFTER INSERT OR UPDATE OR DELETE ON projects
    FOR EACH ROW EXECUTE FUNCTION fennick_history('projects', 'id');
CREATE TRIGGER tasks_history AFTER INSERT OR UPDATE OR DELETE ON tasks
    FOR EACH ROW EXECUTE FUNCTION fennick_history('tasks', 'id');
CREATE TRIGGER tasklinks_history AFTER INSERT OR UPDATE OR DELETE ON tasklinks
    FOR EACH ROW EXECUTE FUNCTION fennick_history('tasklinks', 'id');

-- Grants on all tables (as the team database guide gives) reach the history too: whatever a role
-- may do to other tables, only the owner (and the functions that run with its rights) may write
-- or remove entries.
CREATE FUNCTION fennick_history_read_only() RETURNS trigger
    LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF NOT pg_has_role(current_user, (SELECT relowner FROM pg_class WHERE oid = TG_RELID), 'USAGE') THEN
        RAISE EXCEPTION insufficient_privilege USING MESSAGE = 'The history can be read, not changed.';
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER history_read_only BEFORE UPDATE OR DELETE OR TRUNCATE ON history
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_history_read_only();
CREATE TRIGGER history_retention_read_only BEFORE INSERT OR UPDATE OR DELETE OR TRUNCATE ON history_retention
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_history_read_only();
CREATE FUNCTION fennick_history_written_by_trigger() RETURNS trigger
    LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF NOT pg_has_role(current_user, (SELECT relowner FROM pg_class WHERE oid = TG_RELID), 'USAGE') THEN
        RAISE EXCEPTION insufficient_privilege USING MESSAGE = 'The history can be read, not changed.';
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER history_insert_read_only BEFORE INSERT ON history
    FOR EACH ROW EXECUTE FUNCTION fennick_history_written_by_trigger();

-- Removes the entries past the retention: older than its days, or beyond its number of newest
-- entries. Any role that may read may run it; it removes nothing else.
CREATE FUNCTION fennick_prune_history() RETURNS bigint
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    keep_days integer;
    keep_entries bigint;
    removed bigint;
    more bigint;
BEGIN
    SELECT days, entries INTO keep_days, keep_entries FROM history_retention LIMIT 1;
    DELETE FROM history WHERE id < coalesce((SELECT min(id) FROM history
                                             WHERE changedat >= now() - make_interval(days => keep_days)),
                                            (SELECT max(id) + 1 FROM history));
    GET DIAGNOSTICS removed = ROW_COUNT;
    DELETE FROM history WHERE id <= (SELECT id FROM history ORDER BY id DESC OFFSET keep_entries LIMIT 1);
    GET DIAGNOSTICS more = ROW_COUNT;
    RETURN removed + more;
END $$;

-- The history entries the current transaction wrote: their mark (the transaction's ID), or none.
-- For the program's undo; any role may ask, whether or not it may read the history itself.
CREATE FUNCTION fennick_history_mark() RETURNS bigint
    LANGUAGE sql SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT txid_current() WHERE EXISTS (SELECT 1 FROM history WHERE tx = txid_current())
$$;

-- Roles that were given the tables before the history existed may read it as they read projects.
DO $$
DECLARE
    reader record;
BEGIN
    FOR reader IN SELECT DISTINCT grantee FROM information_schema.role_table_grants
                  WHERE table_name = 'projects' AND privilege_type = 'SELECT' AND grantee <> current_user LOOP
        EXECUTE format('GRANT SELECT ON history TO %I', reader.grantee);
    END LOOP;
END $$;

UPDATE fennick_schema SET version = 4;
