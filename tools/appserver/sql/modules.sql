-- The modules' resources and the module-group presets, for the system
-- plug-in's DatabaseLogin:
-- - SRV_MODULE_RESOURCES: the resource of a module (its icon), sent with the
--   module in "Modules" (RESOURCE_NAME, FILE_NAME).
-- - SRV_MODULE_GROUP_PRESETS: the preset group layout of a database alias,
--   in the client's text form (sent as "GM_Modules").
CREATE TABLE IF NOT EXISTS SRV_MODULE_RESOURCES (
  C_MODULE    INTEGER PRIMARY KEY REFERENCES TBL_MODULES (COUNTER),
  C_RESOURCE  INTEGER REFERENCES TBL_RESOURCES (COUNTER)
);

CREATE TABLE IF NOT EXISTS SRV_MODULE_GROUP_PRESETS (
  ALIAS    TEXT PRIMARY KEY,
  MODULES  TEXT
);
