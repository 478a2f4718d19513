-- Log archives that clients uploaded (PLG_SYSTEM UploadLog), kept as sent,
-- with who sent them and when.
CREATE TABLE IF NOT EXISTS SRV_LOG_UPLOADS (
  COUNTER      INTEGER PRIMARY KEY AUTOINCREMENT,
  USER_ID      TEXT,
  LOG_DATE     TEXT,
  LOG_DAYS     INTEGER,
  LOG_TYPE     TEXT,
  LOG          BLOB,
  RECEIVED     TEXT DEFAULT (datetime('now'))
);
