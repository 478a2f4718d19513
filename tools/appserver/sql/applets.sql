-- The sample applet libraries (tools/applets): resources whose Linux files
-- ("L64") lie in the share "resources" of the file store, where the tests
-- and scripts/demo copy them. The resources' own file names are those of
-- the other platform, which this server has no files for.
INSERT OR IGNORE INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME) VALUES
  (7001, 'SAMPLE_APPLET', 'Sample applet', 'sample_applet.dll'),
  (7002, 'SAMPLE_WIDGET', 'Sample widget', 'sample_widget.dll'),
  (7003, 'FAULTY_NOINIT', 'Sample library without INIT', 'faulty_noinit.dll'),
  (7004, 'FAULTY_NILINIT', 'Sample library whose INIT answers nil', 'faulty_nilinit.dll'),
  (7005, 'FAULTY_RAISEINIT', 'Sample applet whose OnInit raises', 'faulty_raiseinit.dll'),
  (7006, 'FAULTY_RAISESHOWN', 'Sample applet whose form raises on 1224', 'faulty_raiseshown.dll'),
  (7007, 'FAULTY_NOFORM', 'Sample applet without a main form', 'faulty_noform.dll'),
  (7008, 'FAULTY_REFUSECLOSE', 'Sample applet whose form refuses to close', 'faulty_refuseclose.dll'),
  (7009, 'FAULTY_OLDAPI', 'Sample library built against another interface version', 'faulty_oldapi.dll'),
  (7010, 'SAMPLE_RESIDENTS', 'Sample residents form', 'sample_residents.dll'),
  (7011, 'FAULTY_RAISEOWN', 'Sample applet whose OnInit raises a class of its own', 'faulty_raiseown.dll'),
  (7012, 'FAULTY_HANDINIT', 'Sample library whose INIT, written by hand, raises', 'faulty_handinit.dll');
INSERT OR IGNORE INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (7101, 7001, 'sample_applet.so', 'L64'),
  (7102, 7002, 'sample_widget.so', 'L64'),
  (7103, 7003, 'faulty_noinit.so', 'L64'),
  (7104, 7004, 'faulty_nilinit.so', 'L64'),
  (7105, 7005, 'faulty_raiseinit.so', 'L64'),
  (7106, 7006, 'faulty_raiseshown.so', 'L64'),
  (7107, 7007, 'faulty_noform.so', 'L64'),
  (7108, 7008, 'faulty_refuseclose.so', 'L64'),
  (7109, 7009, 'faulty_oldapi.so', 'L64'),
  (7110, 7010, 'sample_residents.so', 'L64'),
  (7111, 7011, 'faulty_raiseown.so', 'L64'),
  (7112, 7012, 'faulty_handinit.so', 'L64');

-- The sample add-on libraries (tools/applets/SampleAddon.cpp).
INSERT OR IGNORE INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME) VALUES
  (7021, 'BROWSER_LOGIN', 'Add-on run at the sign-in', 'browser_login.dll'),
  (7025, 'BROWSER_DBLOGIN', 'Add-on run at the database sign-in', 'browser_dblogin.dll'),
  (7022, 'ADDON_NOEXPORT', 'Add-on library without RUNOBJECT', 'addon_noexport.dll'),
  (7023, 'ADDON_RAISE', 'Add-on whose RUNOBJECT raises', 'addon_raise.dll'),
  (7024, 'ADDON_OLDAPI', 'Add-on built against another interface version', 'addon_oldapi.dll');
INSERT OR IGNORE INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (7121, 7021, 'browser_login.so', 'L64'),
  (7125, 7025, 'browser_dblogin.so', 'L64'),
  (7122, 7022, 'addon_noexport.so', 'L64'),
  (7123, 7023, 'addon_raise.so', 'L64'),
  (7124, 7024, 'addon_oldapi.so', 'L64');

-- The residents data form and its print applet (tools/applets/ResidentsDataApplet.cpp,
-- ResidentsPrint.cpp; security index 20) and the visits form whose lookup
-- combo adds residents through it (VisitsApplet.cpp; security index 21).
INSERT OR IGNORE INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, DESCRIPTION, FILE_NAME, SECURITY_INDEX) VALUES
  (7031, 'RESIDENTS_DATA', 'Residents data form', 'residents_data.dll', 20),
  (7032, '_RESIDENTS_DATA', 'Print of the residents data form', '_residents_data.dll', 20),
  (7033, 'RESIDENT_VISITS', 'Visits to residents', 'resident_visits.dll', 21);
INSERT OR IGNORE INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES
  (7131, 7031, 'residents_data.so', 'L64'),
  (7132, 7032, '_residents_data.so', 'L64'),
  (7133, 7033, 'resident_visits.so', 'L64');
