-- Bounds of the texts a team database takes: names and other short texts at most 10000 characters,
-- notes and descriptions at most 100000, far above any real text. A longer one (written by psql or
-- a script) would slow every client's list; the program tells the user in plain words when a
-- constraint named <table>_text_lengths refuses a change. Run after the planner's script for a new
-- database, and alone (in one transaction) to bring a database of schema version 2 up to date.
-- NOT VALID: rows already stored are kept as they are; every new or changed row is checked.

ALTER TABLE employees ADD CONSTRAINT employees_text_lengths CHECK (
    char_length(firstname) <= 10000
    AND char_length(lastname) <= 10000
    AND char_length(email) <= 10000
    AND char_length(company) <= 10000
    AND char_length(jobtitle) <= 10000
    AND char_length(businessphone) <= 10000
    AND char_length(homephone) <= 10000
    AND char_length(mobilephone) <= 10000
    AND char_length(faxnumber) <= 10000
    AND char_length(address) <= 10000
    AND char_length(city) <= 10000
    AND char_length(state) <= 10000
    AND char_length(zip) <= 10000
    AND char_length(country) <= 10000
    AND char_length(webpage) <= 10000
    AND char_length(notes) <= 100000) NOT VALID;
ALTER TABLE status_entries ADD CONSTRAINT status_entries_text_lengths CHECK (
    char_length(status) <= 10000) NOT VALID;
ALTER TABLE categories_entries ADD CONSTRAINT categories_entries_text_lengths CHECK (
    char_length(category) <= 10000) NOT VALID;
ALTER TABLE priorities_entries ADD CONSTRAINT priorities_entries_text_lengths CHECK (
    char_length(priority) <= 10000) NOT VALID;
ALTER TABLE projects ADD CONSTRAINT projects_text_lengths CHECK (
    char_length(projectname) <= 10000
    AND char_length(status) <= 10000
    AND char_length(category) <= 10000
    AND char_length(priority) <= 10000
    AND char_length(notes) <= 100000) NOT VALID;
ALTER TABLE tasks ADD CONSTRAINT tasks_text_lengths CHECK (
    char_length(title) <= 10000
    AND char_length(priority) <= 10000
    AND char_length(status) <= 10000
    AND char_length(description) <= 100000) NOT VALID;
ALTER TABLE holidays ADD CONSTRAINT holidays_text_lengths CHECK (
    char_length(name) <= 10000) NOT VALID;

UPDATE fennick_schema SET version = 3;
