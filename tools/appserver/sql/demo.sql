-- The demo database (scripts/demo passes it with --sql): a care group with
-- three homes and one user of each type. INSERT OR IGNORE keeps what was
-- changed in an earlier demo run.
--
--   user     password  type  databases
--   ADMIN    admin     SYS   every database
--   MANAGER  manager   MGR   MAPLE, CEDAR
--   NURSE    nurse     USR   MAPLE
--   CAROL    Tulips2026 USR  MAPLE  (password expires in 10 days)
--
-- The care group requires secure passwords: passwords are compared exactly
-- and a change must pass the password rules. CAROL is in the warning days of
-- her password, so the sign-in asks whether to change it now.

INSERT OR IGNORE INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE)
  VALUES (10, 'HARBOUR VIEW CARE', 'Harbour View Care Group', 'T');

INSERT OR IGNORE INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (10, 'MAPLE', 'Maple Court Residence', 10, 'T'),
  (11, 'CEDAR', 'Cedar House Nursing Home', 10, 'T'),
  (12, 'WILLOW', 'Willow Lodge (training)', 10, 'T');
-- How each home's database is reached, as the Enterprises window shows it
-- (filled once; a later change in the demo stays).
UPDATE TBL_DBALIASES SET DRIVER_NAME = 'ORACLE', SERVER_NAME = 'harbour-db:1521/' || ALIAS,
  USER_NAME = ALIAS || '_APP', LOGIN_PARAMS = 'POOL_SIZE=4' || char(13, 10) || 'STATEMENT_CACHE=20'
  WHERE COUNTER IN (10, 11, 12) AND DRIVER_NAME IS NULL;
UPDATE TBL_ENTERPRISES SET CITY = 'Portland', STATE = 'OR', ZIP = '972010000', PHONE1 = '5035550100',
  CONTACT1 = 'Helen Brooks', INDUSTRY = 'Nursing Home'
  WHERE COUNTER = 10 AND CITY IS NULL;

INSERT OR IGNORE INTO TBL_ROLES (COUNTER, ROLE_ID, DESCRIPTION, C_ENTERPRISE, C_ALIAS, C_USER, CURRENT_USE) VALUES
  (10, 'HOME MANAGER', 'Manager of a home', 10, 10, 1, 'T'),
  (11, 'HOME MANAGER', 'Manager of a home', 10, 11, 1, 'T'),
  (12, 'NURSE', 'Nursing staff', 10, 10, 1, 'T');

-- The system manager of the seed gets a password for the demo.
UPDATE TBL_USERS SET USER_PASSWORD = 'admin' WHERE COUNTER = 2 AND USER_PASSWORD IS NULL;

-- The nurse receives advertising (ADVERTISE): once a database can be chosen,
-- the client's ad panels ask the demo server's advertising pages
-- (/services/get_ad.php) with the nurse's ad state, ZIP code and industry.
INSERT OR IGNORE INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FIRST_NAME, LAST_NAME, FULL_NAME, USER_TYPE,
                                 C_ENTERPRISE, CURRENT_USE, FACILITY_ACCESS_FLAG, EMAIL, STATE, ZIP,
                                 ADVERTISE, ADSTATE, ADZIP, INDUSTRY) VALUES
  (10, 'MANAGER', 'manager', 'Helen', 'Brooks', 'Helen Brooks', 'MGR', 10, 'T', 'A',
   'helen.brooks@harbourview.example.org', 'OR', '97201', 'F', NULL, NULL, NULL),
  (11, 'NURSE', 'nurse', 'Tom', 'Ward', 'Tom Ward', 'USR', 10, 'T', 'I',
   'tom.ward@harbourview.example.org', 'OR', '97201', 'T', 'OR', '97201', 'Nursing Home');

INSERT OR IGNORE INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (10, 10), (10, 11), (11, 12);

UPDATE TBL_ENTERPRISES SET REQUIRE_SECURE_PASSWORD = 'T' WHERE COUNTER = 10;
INSERT OR IGNORE INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FIRST_NAME, LAST_NAME, FULL_NAME, USER_TYPE,
                                 C_ENTERPRISE, CURRENT_USE, EXPIRATION_INTERVAL, DAYS_PASSWORD_WARNING,
                                 LAST_PASSWORD_CHANGE, PASSWORD_HISTORY) VALUES
  (12, 'CAROL', 'Tulips2026', 'Carol', 'Reed', 'Carol Reed', 'USR', 10, 'T', 90, 14,
   date('now', 'localtime', '-80 days'), 'Tulips2026' || char(13) || char(10));
INSERT OR IGNORE INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (12, 12);

-- A resource every client fetches at sign-in ("PCL"); its file lies in the
-- share "resources" of the file store (scripts/demo writes it).
INSERT OR IGNORE INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME)
  VALUES (100, 'DEMO_WELCOME', 'Welcome note of the demo', 'welcome.txt');
INSERT OR IGNORE INTO SRV_RESOURCE_TYPES (C_RESOURCE, RESOURCE_TYPE) VALUES (100, 'PCL');


-- The modules of the homes: "Care" and "Office" with the sample applets in
-- their menus, "NOTIFICATIONS" (the notification center's, never listed),
-- their icons, the roles' modules and the preset groups of MAPLE.
INSERT OR IGNORE INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME) VALUES
  (110, 'ICN_CARE', 'Icon of the care module', 'icn_care.png'),
  (111, 'ICN_OFFICE', 'Icon of the office module', 'icn_office.png'),
  (112, 'ICN_GENERAL_SETUP', 'Icon of the system module', 'icn_general_setup.png'),
  (113, 'DOC_HANDBOOK', 'Staff handbook', 'handbook.txt');
INSERT OR IGNORE INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES
  (10, 'Care', 'Care of residents'), (11, 'Office', 'Office work'), (12, 'NOTIFICATIONS', 'Notifications');
INSERT OR IGNORE INTO SRV_MODULE_RESOURCES (C_MODULE, C_RESOURCE) VALUES (10, 110), (11, 111);
INSERT OR IGNORE INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES
  (10, 10), (10, 11), (10, 12), (11, 10), (11, 11), (11, 12), (12, 10), (12, 11), (12, 12);
INSERT OR IGNORE INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE) VALUES
  (10, 10, 0, 1, 'Sample Applet', 7001, 110),
  (11, 11, 0, 1, 'Sample Widget', 7002, 111),
  (12, 11, 0, 2, 'Staff Handbook', 113, 111),
  (15, 10, 0, 2, 'Residents', 7031, 110),
  (16, 10, 0, 3, 'Residents: Print', 7032, 110),
  (17, 10, 0, 4, 'Visits', 7033, 110);
-- The notification targets: the menu rows of "NOTIFICATIONS" name the
-- sample applets whose notifications a user may receive.
INSERT OR IGNORE INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE) VALUES
  (13, 12, 0, 1, 'Sample Applet', 7001, 110),
  (14, 12, 0, 2, 'Sample Widget', 7002, 111);
INSERT OR IGNORE INTO SRV_MODULE_GROUP_PRESETS (ALIAS, MODULES) VALUES
  ('MAPLE', '"Favorites=Care' || char(13, 10) || '","Daily Work=Care' || char(13, 10) || 'Office' || char(13, 10) ||
            '","$WIDGETS=Office' || char(13, 10) || '"');

-- Rights on the data forms (security indexes 20 and 21, one byte each, the
-- level in the two high bits): the home managers may delete residents
-- (full), the nurses add and change them (modify), also through the plus
-- button of another form.
-- On the Residents module's items (indexes 1 to 5) the managers hold every
-- right, the nurses view admissions and run the medication round.
UPDATE TBL_ROLES SET SECURITY = X'00FFFFFFFFFF0000000000000000000000000000C0C0' WHERE COUNTER IN (10, 11) AND SECURITY IS NULL;
UPDATE TBL_ROLES SET SECURITY = X'0040404040A000000000000000000000000000008080' WHERE COUNTER = 12 AND SECURITY IS NULL;

-- The homes of the care group, for facility access; a "Residents" module
-- whose menu holds secured items on two levels with attribute captions,
-- for the rights editor (its items open the sample applet); the homes'
-- roles reach it.
INSERT OR IGNORE INTO TBL_FACILITIES (COUNTER, FACILITY, DESCRIPTION, CITY, STATE, ZIP, C_ENTERPRISE) VALUES
  (10, 'MAPLE COURT', 'Maple Court Residence', 'Portland', 'OR', '97201', 10),
  (11, 'CEDAR HOUSE', 'Cedar House Nursing Home', 'Salem', 'OR', '97301', 10),
  (12, 'WILLOW LODGE', 'Willow Lodge', 'Eugene', 'OR', '97401', 10);
INSERT OR IGNORE INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME, SECURITY_INDEX,
                                     ATTRIBUTE1, ATTRIBUTE2, ATTRIBUTE3) VALUES
  (120, 'RES_ADMISSIONS', 'Admissions', 'sample_applet.dll', 1, 'Print', 'Export', NULL),
  (121, 'RES_ADMIT', 'Admit Resident', 'sample_applet.dll', 2, 'Discharge', NULL, NULL),
  (122, 'RES_CAREPLANS', 'Care Plans', 'sample_applet.dll', 3, 'Print', NULL, 'Sign Off'),
  (123, 'RES_REVIEW', 'Review Care Plan', 'sample_applet.dll', 4, NULL, NULL, NULL),
  (124, 'RES_MEDICATION', 'Medication Round', 'sample_applet.dll', 5, 'Controlled Drugs', NULL, NULL);
INSERT OR IGNORE INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (120, 120, 'sample_applet.so', 'L64'), (121, 121, 'sample_applet.so', 'L64'),
  (122, 122, 'sample_applet.so', 'L64'), (123, 123, 'sample_applet.so', 'L64'),
  (124, 124, 'sample_applet.so', 'L64');
INSERT OR IGNORE INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES (13, 'Residents', 'Residents and their care');
INSERT OR IGNORE INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME) VALUES
  (114, 'ICN_RESIDENTS', 'Icon of the residents module', 'icn_residents.png');
INSERT OR IGNORE INTO SRV_MODULE_RESOURCES (C_MODULE, C_RESOURCE) VALUES (13, 114);
INSERT OR IGNORE INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE) VALUES
  (20, 13, 0, 10, 'Residents', NULL, 110),
  (21, 13, 1, 11, NULL, 120, 110),
  (22, 13, 2, 12, NULL, 121, 110),
  (23, 13, 1, 13, NULL, 122, 110),
  (24, 13, 2, 14, NULL, 123, 110),
  (25, 13, 1, 15, 'Medication', 124, 110);
INSERT OR IGNORE INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (10, 13), (11, 13), (12, 13);
-- The nurse works at Maple Court.
INSERT OR IGNORE INTO TBL_USERFACILITYACCESS (C_USER, C_FACILITY, ACCESS_TYPE) VALUES (11, 10, 'USR');
-- O-Mail: a board message from ADMIN, which every mailbox shows (C_USER_TO
-- 1), and a message the system generated (no sender) for the manager. Both
-- are read, so a first sign-in starts without unread mail.
INSERT OR IGNORE INTO TBL_MAIL (COUNTER, MAIL_TYPE, DATE_TIME_SENT, SUBJECT, MSG, HAS_BEEN_READ, C_USER_TO,
                                C_USER_FROM, FILE_NAME, ATTACHMENT) VALUES
  (10, 'BOR', datetime('now', 'localtime', '-3 days'), 'Welcome to O-Mail',
   'O-Mail carries messages between the staff of the homes.' || char(13, 10) ||
   'Open "Inbox" to read, "Compose" to write.', 'T', 1, 2, NULL, NULL),
  (11, 'SYS', datetime('now', 'localtime', '-2 days'), 'Nightly backup completed',
   'The nightly backup of MAPLE and CEDAR completed without errors.', 'T', 10, NULL, NULL, NULL);
-- Updates applied to the system database, for the "Info" window's list.
INSERT OR IGNORE INTO TBL_UPDATES (COUNTER, UPDATE_DATE, UPDATE_ID, UPDATE_FILE, APPLY_DATE) VALUES
  (1, '2026-10-02 00:00:00', 'SYS-2026-10', 'sys_2026_10.sql', '2026-10-03 06:15:00'),
  (2, '2026-11-20 00:00:00', 'SYS-2026-11', 'sys_2026_11.sql', '2026-11-21 06:20:00');
