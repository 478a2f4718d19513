-- Rows every database starts with. INSERT OR IGNORE keeps rows an
-- administrator changed.

INSERT OR IGNORE INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE)
  VALUES (1, 'GLOBAL ENTERPRISE', 'Enterprise of every system manager', 'T');

-- COUNTER 1 is the reserved account that owns the base roles; it is not in
-- use and cannot sign in. COUNTER 2 is the main system manager; a NULL
-- password is an empty one, until an administrator sets one.
INSERT OR IGNORE INTO TBL_USERS (COUNTER, USER_ID, FULL_NAME, USER_TYPE, C_ENTERPRISE, CURRENT_USE,
                                 FACILITY_ACCESS_FLAG, DEFINE_ROLE, DEFINE_FACILITY_ACCESS, DEFINE_DB_ACCESS)
  VALUES (1, '$SYSTEM', 'System', 'SYS', 1, 'F', 'A', 'T', 'T', 'T');
INSERT OR IGNORE INTO TBL_USERS (COUNTER, USER_ID, FULL_NAME, USER_TYPE, C_ENTERPRISE, CURRENT_USE,
                                 FACILITY_ACCESS_FLAG, DEFINE_ROLE, DEFINE_FACILITY_ACCESS, DEFINE_DB_ACCESS)
  VALUES (2, 'ADMIN', 'System Manager', 'SYS', 1, 'T', 'A', 'T', 'T', 'T');

INSERT OR IGNORE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('MAX_IDLE_TIME', '20');
INSERT OR IGNORE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('PING_INTERVAL', '30');
