-- The remote file system (VRS.*): descriptions of the files in its folder,
-- by share and name ("<share>|<folder>/<name>").
CREATE TABLE IF NOT EXISTS SRV_FILE_DESCRIPTIONS (
  PATH         TEXT PRIMARY KEY,
  DESCRIPTION  TEXT
);
