-- The demo rows of a new data database: two homes with their shifts,
-- staff, residents and a few notifications. NURSE (employee 4, nursing) must
-- choose a shift at the database sign-in; the nursing groups of Oak Grove's
-- day shift are hers. MANAGER is employee 5. INSERT OR IGNORE keeps rows an
-- administrator changed. Sequences start above the seeded counters.

INSERT OR IGNORE INTO OVN_SEQUENCES (SEQUENCE_NAME, LAST_NUMBER) VALUES
  ('SEQ_FACILITY', 100), ('SEQ_FACILITYGROUP', 100), ('SEQ_DISCIPLINE', 100), ('SEQ_EMPLOYEE', 100),
  ('SEQ_EMPLOYEEGROUP', 100), ('SEQ_DAYSHIFT', 100), ('SEQ_RESIDENT', 100), ('SEQ_RESIDENTGROUP', 100),
  ('SEQ_NOTIFICATION', 100);

INSERT OR IGNORE INTO TBL_FACILITY (COUNTER, FACILITY, FACILITY_NAME, STATE, CURRENT_USE) VALUES
  (1, 'OAK', 'Oak Grove Care Home', 'OR', 'T'),
  (2, 'RIVER', 'Riverside Residence', 'WA', 'T'),
  (3, 'ELM', 'Elm Street House (closed)', 'OR', 'F');

INSERT OR IGNORE INTO TBL_FACILITYGROUP (COUNTER, DESCRIPTION) VALUES (1, 'Pacific Northwest');
INSERT OR IGNORE INTO TBL_FACILITYGROUPDETAIL (C_FACILITY_GROUP, C_FACILITY) VALUES (1, 1), (1, 2);

INSERT OR IGNORE INTO TBL_DISCIPLINE (COUNTER, DISCIPLINE) VALUES (1, 'Nursing'), (2, 'Dietary'), (3, 'Activities');

INSERT OR IGNORE INTO TBL_EMPLOYEE (COUNTER, EMPLOYEE_NAME, C_FACILITY, C_DISCIPLINE, OVN_USER_ID, MUST_SELECT_SHIFT,
                                    HIRE_DATE) VALUES
  (1, 'System Manager', 1, 1, 'ADMIN', 'F', '2015-03-01 00:00:00'),
  (2, 'Nora Jensen', 1, 1, NULL, 'T', '2019-06-17 00:00:00'),
  (3, 'Pablo Ortiz', 2, 2, NULL, 'F', '2021-01-04 00:00:00'),
  (4, 'Tom Ward', 1, 1, 'NURSE', 'T', '2022-09-12 00:00:00'),
  (5, 'Helen Brooks', 1, 1, 'MANAGER', 'F', '2018-02-05 00:00:00');
INSERT OR IGNORE INTO TBL_EMPLOYEEDISCIPLINE (C_EMPLOYEE, C_DISCIPLINE) VALUES (2, 3);
INSERT OR IGNORE INTO TBL_EMPLOYEEGROUP (COUNTER, DESCRIPTION) VALUES (1, 'Night staff');
INSERT OR IGNORE INTO TBL_EMPLOYEEGROUPDETAIL (C_EMPLOYEEGROUP, C_EMPLOYEE) VALUES (1, 2);

INSERT OR IGNORE INTO TBL_DAYSHIFT (COUNTER, C_FACILITY, DESCRIPTION, BEGIN_TIME, END_TIME) VALUES
  (1, 1, 'Day', '1899-12-30 07:00:00', '1899-12-30 15:00:00'),
  (2, 1, 'Evening', '1899-12-30 15:00:00', '1899-12-30 23:00:00'),
  (3, 1, 'Night', '1899-12-30 23:00:00', '1899-12-30 07:00:00'),
  (4, 2, 'Day', '1899-12-30 06:30:00', '1899-12-30 18:30:00');

INSERT OR IGNORE INTO TBL_RESIDENT (COUNTER, RESIDENT_NAME, C_FACILITY, ROOM, BIRTH_DATE, ADMISSION_DATE, BALANCE,
                                    NOTES) VALUES
  (1, 'Agnes Miller', 1, '101', '1932-04-11 00:00:00', '2020-09-01 00:00:00', 125.5,
   'Prefers tea in the afternoon.'),
  (2, 'Bernard Cole', 1, '102', '1938-11-30 00:00:00', '2021-02-15 00:00:00', 0, NULL),
  (3, 'Clara Dunn', 1, '103', '1941-07-07 00:00:00', '2022-05-20 00:00:00', -40.25, 'Hearing aid, left ear.'),
  (4, 'Dmitri Volkov', 2, '12', '1935-01-19 00:00:00', '2019-12-02 00:00:00', 310, NULL),
  (5, 'Esther Quinn', 2, '14', '1944-08-23 00:00:00', '2023-03-13 00:00:00', 12.75, NULL);

INSERT OR IGNORE INTO TBL_RESIDENTGROUP (COUNTER, GROUP_NUMBER, C_FACILITY, C_DAYSHIFT, C_DISCIPLINE) VALUES
  (1, '1', 1, 1, 1), (2, '2', 1, 1, 1), (3, '1', 1, 2, 3), (4, '1', 2, 4, 2);
INSERT OR IGNORE INTO TBL_RESIDENTGROUPDETAIL (C_RESIDENTGROUP, C_RESIDENT) VALUES
  (1, 1), (1, 2), (2, 3), (3, 1), (4, 4), (4, 5);

INSERT OR IGNORE INTO TBL_NOTIFICATION (COUNTER, NOTIFICATION_DATE, NOTIFICATION_TEXT, FROM_MODULE, FROM_RESOURCE,
                                        MODULE_NAME, RESOURCE_NAME, C_FACILITY, C_RESIDENT, RECORD_USER,
                                        RECORD_DATE_TIME, ACTIVE, DEACTIVATE_ON_CLICK) VALUES
  (1, '2024-01-08 09:15:00', 'Care plan of Agnes Miller is due for review.', 'CLINICAL', 'CAREPLAN',
   'CLINICAL', 'CAREPLAN', 1, 1, 'ADMIN', '2024-01-08 09:15:00', 'T', 'T'),
  (2, '2024-01-09 14:40:00', 'New dietary order for Dmitri Volkov.', 'DIETARY', 'DIETORDER',
   'DIETARY', 'DIETORDER', 2, 4, 'ADMIN', '2024-01-09 14:40:00', 'T', 'F');

-- Notifications of the sample applets (the targets of the demo's
-- NOTIFICATIONS module), dated relative to the day this database is made:
-- one of today for everybody, one of yesterday for MANAGER that stays
-- active for the others when clicked, one of last week at Oak Grove, and
-- one for NURSE about a resident of a day-shift group.
INSERT OR IGNORE INTO TBL_NOTIFICATION (COUNTER, NOTIFICATION_DATE, NOTIFICATION_TEXT, FROM_MODULE, FROM_RESOURCE,
                                        MODULE_NAME, RESOURCE_NAME, RESOURCE_PARAMS, C_FACILITY, C_RESIDENT,
                                        TO_USER_ID, RECORD_USER, RECORD_DATE_TIME, ACTIVE, DEACTIVATE_ON_CLICK) VALUES
  (3, datetime('now', 'localtime', '-2 hours'), 'The staff meeting moves to 3 PM in the day room.', 'Office',
   'SAMPLE_WIDGET', 'Office', 'SAMPLE_WIDGET', NULL, NULL, NULL, NULL, 'ADMIN',
   datetime('now', 'localtime', '-2 hours'), 'T', 'T'),
  (4, datetime('now', 'localtime', '-1 day'), 'Please sign the monthly medication report.', 'Care', 'SAMPLE_APPLET',
   'Care', 'SAMPLE_APPLET', 'REPORT=MEDICATION', NULL, NULL, 'MANAGER', 'NURSE',
   datetime('now', 'localtime', '-1 day'), 'T', 'F'),
  (5, datetime('now', 'localtime', '-6 days'), 'Fire drill at Oak Grove next Monday morning.', 'Office',
   'SAMPLE_WIDGET', 'Office', 'SAMPLE_WIDGET', NULL, 1, NULL, NULL, 'ADMIN',
   datetime('now', 'localtime', '-6 days'), 'T', 'T'),
  (6, datetime('now', 'localtime', '-3 hours'), 'Agnes Miller asked for her daughter to be called.', 'Care',
   'SAMPLE_APPLET', 'Care', 'SAMPLE_APPLET', 'C_RESIDENT=1', NULL, 1, 'NURSE', 'MANAGER',
   datetime('now', 'localtime', '-3 hours'), 'T', 'T');

-- The users' notification preferences: MANAGER may edit them, NURSE not.
INSERT OR IGNORE INTO TBL_NOTIFICATION_USER (USER_ID, EXCLUDE_RESOURCES, CAN_EDIT_PREFERENCES, RECORD_USER,
                                             RECORD_DATE_TIME, COUNTER) VALUES
  ('MANAGER', NULL, 'T', 'ADMIN', datetime('now', 'localtime'), 1),
  ('NURSE', NULL, 'F', 'ADMIN', datetime('now', 'localtime'), 2);
