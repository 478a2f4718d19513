-- The application server's tables. Statements are idempotent: the server runs
-- this file at every start, so a database file made by an older build gains
-- the tables it lacks and keeps its rows.
--
-- The TBL_ tables are the suite's own (flags 'T'/'F', live rows CURRENT_USE =
-- 'T', integer COUNTER keys, references C_<entity>). SRV_ tables belong to the
-- server itself. Texts that lists show are declared with Oracle's types, which
-- the server reports to the client as field types (VARCHAR2(n): a text of n,
-- which a grid shows n characters wide); an undeclared TEXT reaches the client
-- as Oracle's longest text.

PRAGMA foreign_keys = ON;

CREATE TABLE IF NOT EXISTS TBL_ENTERPRISES (
  COUNTER      INTEGER PRIMARY KEY,
  ENTERPRISE   VARCHAR2(30) NOT NULL,
  DESCRIPTION  VARCHAR2(80),
  CURRENT_USE  VARCHAR2(1) NOT NULL DEFAULT 'T',
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
  USER_ID                 VARCHAR2(30) NOT NULL UNIQUE,
  USER_PASSWORD           TEXT,            -- plain text; NULL when empty
  FIRST_NAME              VARCHAR2(30),
  LAST_NAME               VARCHAR2(30),
  FULL_NAME               VARCHAR2(60),
  USER_TYPE               VARCHAR2(3) NOT NULL DEFAULT 'USR',  -- SYS, MGR or USR
  C_ENTERPRISE            INTEGER REFERENCES TBL_ENTERPRISES (COUNTER),
  EXPIRATION_DATE         DATE,            -- yyyy-mm-dd, travels as a date: the account ends after it
  EXPIRATION_INTERVAL     INTEGER DEFAULT 0,  -- days a password lasts; 0: for ever
  DAYS_PASSWORD_WARNING   INTEGER DEFAULT 0,  -- days of warning before it ends
  LAST_PASSWORD_CHANGE    DATE,            -- yyyy-mm-dd; travels as a date
  PASSWORD_HISTORY        TEXT,
  FACILITY_ACCESS_FLAG    VARCHAR2(1) DEFAULT 'I',
  DEFINE_ROLE             VARCHAR2(1) DEFAULT 'F',
  DEFINE_FACILITY_ACCESS  VARCHAR2(1) DEFAULT 'F',
  DEFINE_DB_ACCESS        VARCHAR2(1) DEFAULT 'F',
  RESTRICTED_SYSTEM       VARCHAR2(1) DEFAULT 'F',
  CURRENT_USE             VARCHAR2(1) NOT NULL DEFAULT 'T',
  CREATED_BY              VARCHAR2(30),
  EMAIL                   TEXT,
  QUICK_MENU              VARCHAR2(1) DEFAULT 'F',
  BUYER                   VARCHAR2(1) DEFAULT 'F',
  STATE                   VARCHAR2(2),
  ZIP                     VARCHAR2(10),
  ADSTATE                 VARCHAR2(2),
  ADZIP                   VARCHAR2(10),
  INDUSTRY                VARCHAR2(60),
  ADVERTISE               VARCHAR2(1) DEFAULT 'F'
);

CREATE TABLE IF NOT EXISTS TBL_DBALIASES (
  COUNTER       INTEGER PRIMARY KEY,
  ALIAS         VARCHAR2(20) NOT NULL,
  DESCRIPTION   VARCHAR2(80),
  C_ENTERPRISE  INTEGER REFERENCES TBL_ENTERPRISES (COUNTER),
  SERVER_NAME   VARCHAR2(60),
  DRIVER_NAME   VARCHAR2(30),
  USER_NAME     VARCHAR2(30),
  LOGIN_PARAMS  CLOB,          -- a memo: lists fetch it on demand
  CURRENT_USE   VARCHAR2(1) NOT NULL DEFAULT 'T'
);

CREATE TABLE IF NOT EXISTS TBL_ROLES (
  COUNTER       INTEGER PRIMARY KEY,
  ROLE_ID       VARCHAR2(30) NOT NULL,
  DESCRIPTION   VARCHAR2(80),
  C_ENTERPRISE  INTEGER REFERENCES TBL_ENTERPRISES (COUNTER),
  C_ALIAS       INTEGER REFERENCES TBL_DBALIASES (COUNTER),
  C_USER        INTEGER,
  SECURITY      BLOB,
  PARENT_ROLE   INTEGER,
  CURRENT_USE   VARCHAR2(1) NOT NULL DEFAULT 'T'
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
