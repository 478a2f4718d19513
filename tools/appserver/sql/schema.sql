-- The application server's tables. Statements are idempotent: the server runs
-- this file at every start, so a database file made by an older build gains
-- the tables it lacks and keeps its rows.
--
-- The TBL_ tables are the suite's own (flags 'T'/'F', live rows CURRENT_USE =
-- 'T', integer COUNTER keys, references C_<entity>). SRV_ tables belong to the
-- server itself.

PRAGMA foreign_keys = ON;

CREATE TABLE IF NOT EXISTS TBL_ENTERPRISES (
  COUNTER      INTEGER PRIMARY KEY,
  ENTERPRISE   TEXT NOT NULL,
  DESCRIPTION  TEXT,
  CURRENT_USE  TEXT NOT NULL DEFAULT 'T',
  ADDRESS1     VARCHAR2(60),
  ADDRESS2     VARCHAR2(60),
  CITY         VARCHAR2(40),
  STATE        VARCHAR2(2),
  ZIP          VARCHAR2(10),
  PHONE1       VARCHAR2(20),
  PHONE2       VARCHAR2(20),
  FAX          VARCHAR2(20),
  CONTACT1     VARCHAR2(60),
  CONTACT2     VARCHAR2(60),
  INDUSTRY     VARCHAR2(60),
  ADVERTISE    VARCHAR2(1) DEFAULT 'F',
  REQUIRE_SECURE_PASSWORD VARCHAR2(1) DEFAULT 'F'
);

CREATE TABLE IF NOT EXISTS TBL_USERS (
  COUNTER                 INTEGER PRIMARY KEY,
  USER_ID                 TEXT NOT NULL UNIQUE,
  USER_PASSWORD           TEXT,            -- plain text; NULL when empty
  FIRST_NAME              TEXT,
  LAST_NAME               TEXT,
  FULL_NAME               TEXT,
  USER_TYPE               TEXT NOT NULL DEFAULT 'USR',  -- SYS, MGR or USR
  C_ENTERPRISE            INTEGER REFERENCES TBL_ENTERPRISES (COUNTER),
  EXPIRATION_DATE         DATE,            -- yyyy-mm-dd, travels as a date: the account ends after it
  EXPIRATION_INTERVAL     INTEGER DEFAULT 0,  -- days a password lasts; 0: for ever
  DAYS_PASSWORD_WARNING   INTEGER DEFAULT 0,  -- days of warning before it ends
  LAST_PASSWORD_CHANGE    DATE,            -- yyyy-mm-dd; travels as a date
  PASSWORD_HISTORY        TEXT,
  FACILITY_ACCESS_FLAG    TEXT DEFAULT 'I',
  DEFINE_ROLE             TEXT DEFAULT 'F',
  DEFINE_FACILITY_ACCESS  TEXT DEFAULT 'F',
  DEFINE_DB_ACCESS        TEXT DEFAULT 'F',
  RESTRICTED_SYSTEM       TEXT DEFAULT 'F',
  CURRENT_USE             TEXT NOT NULL DEFAULT 'T',
  CREATED_BY              TEXT,
  EMAIL                   TEXT,
  QUICK_MENU              TEXT DEFAULT 'F',
  BUYER                   TEXT DEFAULT 'F',
  STATE                   TEXT,
  ZIP                     TEXT,
  ADSTATE                 TEXT,
  ADZIP                   TEXT,
  INDUSTRY                TEXT,
  ADVERTISE               TEXT DEFAULT 'F'
);

CREATE TABLE IF NOT EXISTS TBL_DBALIASES (
  COUNTER       INTEGER PRIMARY KEY,
  ALIAS         TEXT NOT NULL,
  DESCRIPTION   TEXT,
  C_ENTERPRISE  INTEGER REFERENCES TBL_ENTERPRISES (COUNTER),
  SERVER_NAME   TEXT,
  DRIVER_NAME   TEXT,
  USER_NAME     TEXT,
  LOGIN_PARAMS  CLOB,          -- a memo: lists fetch it on demand
  CURRENT_USE   TEXT NOT NULL DEFAULT 'T'
);

CREATE TABLE IF NOT EXISTS TBL_ROLES (
  COUNTER       INTEGER PRIMARY KEY,
  ROLE_ID       TEXT NOT NULL,
  DESCRIPTION   TEXT,
  C_ENTERPRISE  INTEGER REFERENCES TBL_ENTERPRISES (COUNTER),
  C_ALIAS       INTEGER REFERENCES TBL_DBALIASES (COUNTER),
  C_USER        INTEGER,
  SECURITY      BLOB,
  PARENT_ROLE   INTEGER,
  CURRENT_USE   TEXT NOT NULL DEFAULT 'T'
);

CREATE TABLE IF NOT EXISTS TBL_USERDBACCESS (
  C_USER  INTEGER NOT NULL REFERENCES TBL_USERS (COUNTER),
  C_ROLE  INTEGER NOT NULL REFERENCES TBL_ROLES (COUNTER),
  PRIMARY KEY (C_USER, C_ROLE)
);

-- Name=value lines sent to every client at sign-in ("CLIENT_INFO").
CREATE TABLE IF NOT EXISTS SRV_CLIENT_INFO (
  NAME   TEXT PRIMARY KEY,
  VALUE  TEXT
);

-- Signed-in sessions, one row per "WSID" cookie the server handed out.
CREATE TABLE IF NOT EXISTS SRV_SESSIONS (
  SESSION_ID   TEXT PRIMARY KEY,
  C_USER       INTEGER NOT NULL,
  USER_ID      TEXT NOT NULL,
  USER_TYPE    TEXT,
  USER_IP      TEXT,
  AGENT        TEXT,
  OS           TEXT,
  STARTED      TEXT NOT NULL,   -- yyyy-mm-dd hh:nn:ss, local time
  LAST_ACTIVE  TEXT NOT NULL
);
