-- The numbering of new records, for every role that may write the rows: reading a table's ID
-- counter, and moving it past numbers that were written with IDs of their own (a copy, an import
-- that keeps IDs), never back. It runs with its owner's rights, so that the grants of the team
-- database guide (USAGE on the sequences) suffice; only a role that may add rows to the table
-- moves its counter. Part of schema version 3.
CREATE FUNCTION fennick_id_counter(tablename text, past bigint) RETURNS bigint
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    sequence text;
    last bigint;
    called boolean;
BEGIN
    IF tablename NOT IN ('employees', 'projects', 'tasks', 'tasklinks') THEN
        RAISE EXCEPTION 'There is no number counter for %.', tablename;
    END IF;
    sequence := pg_get_serial_sequence(tablename, 'id');
    EXECUTE format('SELECT last_value, is_called FROM %s', sequence) INTO last, called;
    IF NOT called THEN
        last := last - 1;
    END IF;
    IF past > last THEN
        IF NOT has_table_privilege(session_user, tablename, 'INSERT') THEN
            RAISE EXCEPTION insufficient_privilege USING MESSAGE = 'permission denied for table ' || tablename;
        END IF;
        PERFORM setval(sequence, past, true);
        last := past;
    END IF;
    RETURN last;
END $$;
