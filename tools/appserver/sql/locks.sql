-- Locks that clients take on paths ("/<alias>/<name>") through PLG_SYSTEM
-- SetLock and give back with ClearLock; the sessions list shows them.
CREATE TABLE IF NOT EXISTS SRV_LOCKS (
  LOCK_PATH    TEXT PRIMARY KEY,
  CREATED      TEXT NOT NULL,   -- yyyy-mm-dd hh:nn:ss, local time
  C_USER       INTEGER NOT NULL,
  USER_ID      TEXT NOT NULL,
  ALIAS        TEXT,
  DESCRIPTION  TEXT,
  SESSION_ID   TEXT NOT NULL
);
