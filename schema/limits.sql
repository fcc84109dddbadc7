-- Bounds of the texts a local file takes: names and other short texts at most 100000 characters,
-- notes and descriptions at most 1000000, far above any real text. A longer one (pasted by
-- mistake, or written by another program) would slow every list for everyone; it is refused with
-- a plain message. Part of every new file; a file from before gets these triggers the first time it
-- is opened for writing, after a backup copy. Rows already stored are kept as they are.

CREATE TRIGGER Employees_TextLengths_Insert BEFORE INSERT ON Employees FOR EACH ROW
WHEN length(NEW.FirstName) > 100000
     OR length(NEW.LastName) > 100000
     OR length(NEW.Email) > 100000
     OR length(NEW.Company) > 100000
     OR length(NEW.JobTitle) > 100000
     OR length(NEW.BusinessPhone) > 100000
     OR length(NEW.HomePhone) > 100000
     OR length(NEW.MobilePhone) > 100000
     OR length(NEW.FaxNumber) > 100000
     OR length(NEW.Address) > 100000
     OR length(NEW.City) > 100000
     OR length(NEW.State) > 100000
     OR length(NEW.ZIP) > 100000
     OR length(NEW.Country) > 100000
     OR length(NEW.WebPage) > 100000
     OR length(NEW.Notes) > 1000000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Employees_TextLengths_Update BEFORE UPDATE OF FirstName, LastName, Email, Company, JobTitle,
    BusinessPhone, HomePhone, MobilePhone, FaxNumber, Address, City, State, ZIP, Country, WebPage, Notes ON Employees FOR EACH ROW
WHEN length(NEW.FirstName) > 100000
     OR length(NEW.LastName) > 100000
     OR length(NEW.Email) > 100000
     OR length(NEW.Company) > 100000
     OR length(NEW.JobTitle) > 100000
     OR length(NEW.BusinessPhone) > 100000
     OR length(NEW.HomePhone) > 100000
     OR length(NEW.MobilePhone) > 100000
     OR length(NEW.FaxNumber) > 100000
     OR length(NEW.Address) > 100000
     OR length(NEW.City) > 100000
     OR length(NEW.State) > 100000
     OR length(NEW.ZIP) > 100000
     OR length(NEW.Country) > 100000
     OR length(NEW.WebPage) > 100000
     OR length(NEW.Notes) > 1000000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Status_TextLengths_Insert BEFORE INSERT ON Status FOR EACH ROW
WHEN length(NEW.Status) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Status_TextLengths_Update BEFORE UPDATE OF Status ON Status FOR EACH ROW
WHEN length(NEW.Status) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Categories_TextLengths_Insert BEFORE INSERT ON Categories FOR EACH ROW
WHEN length(NEW.Category) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Categories_TextLengths_Update BEFORE UPDATE OF Category ON Categories FOR EACH ROW
WHEN length(NEW.Category) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Priorities_TextLengths_Insert BEFORE INSERT ON Priorities FOR EACH ROW
WHEN length(NEW.Priority) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Priorities_TextLengths_Update BEFORE UPDATE OF Priority ON Priorities FOR EACH ROW
WHEN length(NEW.Priority) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Projects_TextLengths_Insert BEFORE INSERT ON Projects FOR EACH ROW
WHEN length(NEW.ProjectName) > 100000
     OR length(NEW.Status) > 100000
     OR length(NEW.Category) > 100000
     OR length(NEW.Priority) > 100000
     OR length(NEW.Notes) > 1000000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Projects_TextLengths_Update BEFORE UPDATE OF ProjectName, Status, Category, Priority, Notes ON Projects FOR EACH ROW
WHEN length(NEW.ProjectName) > 100000
     OR length(NEW.Status) > 100000
     OR length(NEW.Category) > 100000
     OR length(NEW.Priority) > 100000
     OR length(NEW.Notes) > 1000000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Tasks_TextLengths_Insert BEFORE INSERT ON Tasks FOR EACH ROW
WHEN length(NEW.Title) > 100000
     OR length(NEW.Priority) > 100000
     OR length(NEW.Status) > 100000
     OR length(NEW.Description) > 1000000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Tasks_TextLengths_Update BEFORE UPDATE OF Title, Priority, Status, Description ON Tasks FOR EACH ROW
WHEN length(NEW.Title) > 100000
     OR length(NEW.Priority) > 100000
     OR length(NEW.Status) > 100000
     OR length(NEW.Description) > 1000000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Holidays_TextLengths_Insert BEFORE INSERT ON Holidays FOR EACH ROW
WHEN length(NEW.Name) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;
CREATE TRIGGER Holidays_TextLengths_Update BEFORE UPDATE OF Name ON Holidays FOR EACH ROW
WHEN length(NEW.Name) > 100000
BEGIN SELECT RAISE(ABORT, 'A text is too long to be stored, so nothing was saved: names and other short texts take at most 100000 characters, notes and descriptions at most 1000000.'); END;

PRAGMA user_version = 3;
