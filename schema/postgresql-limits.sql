-- Bounds of the texts a team database takes: names and other short texts at most 100000 characters,
-- notes and descriptions at most 1000000, far above any real text. A longer one (written by psql or
-- a script) would slow every client's list; the program tells the user in plain words when a
-- constraint named <table>_text_lengths refuses a change. Run after the planner's script for a new
-- database, and alone (in one transaction) to bring a database of schema version 2 up to date.
-- NOT VALID: rows already stored are kept as they are; every new or changed row is checked.

ALTER TABLE employees ADD CONSTRAINT employees_text_lengths CHECK (
    char_length(firstname) <= 100000
    AND char_length(lastname) <= 100000
    AND char_length(email) <= 100000
    AND char_length(company) <= 100000
    AND char_length(jobtitle) <= 100000
    AND char_length(businessphone) <= 100000
    AND char_length(homephone) <= 100000
    AND char_length(mobilephone) <= 100000
    AND char_length(faxnumber) <= 100000
    AND char_length(address) <= 100000
    AND char_length(city) <= 100000
    AND char_length(state) <= 100000
    AND char_length(zip) <= 100000
    AND char_length(country) <= 100000
    AND char_length(webpage) <= 100000
    AND char_length(notes) <= 1000000) NOT VALID;
ALTER TABLE status_entries ADD CONSTRAINT status_entries_text_lengths CHECK (
    char_length(status) <= 100000) NOT VALID;
ALTER TABLE categories_entries ADD CONSTRAINT categories_entries_text_lengths CHECK (
    char_length(category) <= 100000) NOT VALID;
ALTER TABLE priorities_entries ADD CONSTRAINT priorities_entries_text_lengths CHECK (
    char_length(priority) <= 100000) NOT VALID;
ALTER TABLE projects ADD CONSTRAINT projects_text_lengths CHECK (
    char_length(projectname) <= 100000
    AND char_length(status) <= 100000
    AND char_length(category) <= 100000
    AND char_length(priority) <= 100000
    AND char_length(notes) <= 1000000) NOT VALID;
ALTER TABLE tasks ADD CONSTRAINT tasks_text_lengths CHECK (
    char_length(title) <= 100000
    AND char_length(priority) <= 100000
    AND char_length(status) <= 100000
    AND char_length(description) <= 1000000) NOT VALID;
ALTER TABLE holidays ADD CONSTRAINT holidays_text_lengths CHECK (
    char_length(name) <= 100000) NOT VALID;

UPDATE fennick_schema SET version = 3;
