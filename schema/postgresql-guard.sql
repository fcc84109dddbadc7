-- The history is the owner's alone, whatever a role was given on the planner's tables. Schema
-- version 6.
--
-- The guide grants the team ALL TABLES IN SCHEMA public; ALL includes TRIGGER, and a trigger of
-- a role's own on the history (one that returns NULL before each insert) would silence it for
-- everyone. The history therefore lives in a schema of its own that no such grant reaches; the
-- team reads it through a view in public that nobody can write through.
CREATE SCHEMA fennick_history;
REVOKE ALL ON SCHEMA fennick_history FROM PUBLIC;
ALTER TABLE history SET SCHEMA fennick_history;
ALTER TABLE history_retention SET SCHEMA fennick_history;
REVOKE ALL ON fennick_history.history, fennick_history.history_retention FROM PUBLIC;

CREATE VIEW history AS
    SELECT id, changedat, changedby, tablename, recordid, kind, oldrow, newrow, tx FROM fennick_history.history;
CREATE FUNCTION fennick_history_view_read_only() RETURNS trigger
    LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    RAISE EXCEPTION insufficient_privilege USING MESSAGE = 'The history can be read, not changed.';
END $$;
CREATE TRIGGER history_view_read_only INSTEAD OF INSERT OR UPDATE OR DELETE ON history
    FOR EACH ROW EXECUTE FUNCTION fennick_history_view_read_only();

-- Whoever read the history before reads it still.
DO $$
DECLARE
    reader record;
BEGIN
    FOR reader IN SELECT DISTINCT grantee FROM information_schema.role_table_grants
                  WHERE table_schema = 'fennick_history' AND table_name = 'history' AND privilege_type = 'SELECT'
                        AND grantee <> current_user LOOP
        EXECUTE format('GRANT SELECT ON public.history TO %I', reader.grantee);
        EXECUTE format('REVOKE ALL ON fennick_history.history FROM %I', reader.grantee);
    END LOOP;
    FOR reader IN SELECT DISTINCT grantee FROM information_schema.role_table_grants
                  WHERE table_schema = 'fennick_history' AND table_name = 'history_retention'
                        AND grantee <> current_user LOOP
        EXECUTE format('REVOKE ALL ON fennick_history.history_retention FROM %I', reader.grantee);
    END LOOP;
END $$;

-- The entries are written for the planner's own tables only, by the triggers this schema made:
-- anyone else who attaches the function to a table of their own (a temporary one, say) to put
-- made-up records into everyone's history is refused, and only the owner may attach it at all.
CREATE OR REPLACE FUNCTION fennick_history() RETURNS trigger
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    before_row jsonb;
    after_row jsonb;
BEGIN
    IF TG_WHEN <> 'AFTER' OR TG_LEVEL <> 'ROW' OR TG_NARGS <> 2 OR TG_TABLE_SCHEMA <> 'public'
       OR (TG_TABLE_NAME, TG_ARGV[0], TG_ARGV[1]) NOT IN (
              ('employees', 'employees', 'id'), ('status_entries', 'status', 'seq'),
              ('categories_entries', 'categories', 'seq'), ('priorities_entries', 'priorities', 'seq'),
              ('projects', 'projects', 'id'), ('tasks', 'tasks', 'id'), ('tasklinks', 'tasklinks', 'id')) THEN
        RAISE EXCEPTION insufficient_privilege
            USING MESSAGE = 'The history records the planner''s own tables only.';
    END IF;
    IF TG_OP <> 'INSERT' THEN
        before_row := to_jsonb(OLD) - 'row_version';
    END IF;
    IF TG_OP <> 'DELETE' THEN
        after_row := to_jsonb(NEW) - 'row_version';
    END IF;
    IF TG_OP = 'UPDATE' AND before_row = after_row THEN
        RETURN NULL;
    END IF;
    INSERT INTO fennick_history.history (changedby, tablename, recordid, kind, oldrow, newrow, tx)
    VALUES (session_user, TG_ARGV[0], (coalesce(after_row, before_row) ->> TG_ARGV[1])::bigint, lower(TG_OP),
            before_row, after_row, txid_current());
    RETURN NULL;
END $$;
REVOKE EXECUTE ON FUNCTION fennick_history() FROM PUBLIC;

CREATE OR REPLACE FUNCTION fennick_prune_history() RETURNS bigint
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    keep_days integer;
    keep_entries bigint;
    removed bigint;
    more bigint;
BEGIN
    SELECT days, entries INTO keep_days, keep_entries FROM fennick_history.history_retention LIMIT 1;
    DELETE FROM fennick_history.history
        WHERE id < coalesce((SELECT min(id) FROM fennick_history.history
                             WHERE changedat >= now() - make_interval(days => keep_days)),
                            (SELECT max(id) + 1 FROM fennick_history.history));
    GET DIAGNOSTICS removed = ROW_COUNT;
    DELETE FROM fennick_history.history
        WHERE id <= (SELECT id FROM fennick_history.history ORDER BY id DESC OFFSET keep_entries LIMIT 1);
    GET DIAGNOSTICS more = ROW_COUNT;
    RETURN removed + more;
END $$;

CREATE OR REPLACE FUNCTION fennick_history_mark() RETURNS bigint
    LANGUAGE sql SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT txid_current() WHERE EXISTS (SELECT 1 FROM fennick_history.history WHERE tx = txid_current())
$$;

-- TRUNCATE removes rows without a trigger for each, so the history could not keep them and the
-- other copies would not hear of it: the planner's rows are deleted, never truncated, by anyone
-- but the owner.
CREATE FUNCTION fennick_no_truncate() RETURNS trigger
    LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF NOT pg_has_role(current_user, (SELECT relowner FROM pg_class WHERE oid = TG_RELID), 'USAGE') THEN
        RAISE EXCEPTION insufficient_privilege
            USING MESSAGE = 'The planner''s records are deleted, not truncated, so that the history keeps them.';
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER employees_no_truncate BEFORE TRUNCATE ON employees
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER status_no_truncate BEFORE TRUNCATE ON status_entries
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER categories_no_truncate BEFORE TRUNCATE ON categories_entries
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER priorities_no_truncate BEFORE TRUNCATE ON priorities_entries
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER projects_no_truncate BEFORE TRUNCATE ON projects
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER tasks_no_truncate BEFORE TRUNCATE ON tasks
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER tasklinks_no_truncate BEFORE TRUNCATE ON tasklinks
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER workingdays_no_truncate BEFORE TRUNCATE ON workingdays
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();
CREATE TRIGGER holidays_no_truncate BEFORE TRUNCATE ON holidays
    FOR EACH STATEMENT EXECUTE FUNCTION fennick_no_truncate();

UPDATE fennick_schema SET version = 6;
