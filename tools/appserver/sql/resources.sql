-- The types of resources (TBL_RESOURCES): "PCL" marks those the client
-- fetches at every sign-in (the system plug-in's GetResources). The files
-- themselves lie in the share "resources" of the remote file system, which
-- the sign-in reply names in CLIENT_INFO "RESOURCES".
CREATE TABLE IF NOT EXISTS SRV_RESOURCE_TYPES (
  C_RESOURCE     INTEGER NOT NULL REFERENCES TBL_RESOURCES (COUNTER),
  RESOURCE_TYPE  TEXT NOT NULL,
  PRIMARY KEY (C_RESOURCE, RESOURCE_TYPE)
);

INSERT OR IGNORE INTO SRV_CLIENT_INFO (NAME, VALUE) VALUES ('RESOURCES', 'vrs+MAIN?resources');
