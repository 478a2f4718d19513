-- The advertising service's pages (/services/get_ad.php): the page whose
-- ACTIVE is 'T' is served (the first by NAME when several are). Three
-- kinds: a valid ad (the key in the key-data of the element "ad"), a page
-- without the key, and one with the key outside the element "ad" (valid for
-- the light view, which looks anywhere in the page, invalid for WebEngine).
CREATE TABLE IF NOT EXISTS SRV_AD_PAGES (
  NAME    TEXT PRIMARY KEY,
  PAGE    TEXT NOT NULL,
  ACTIVE  TEXT NOT NULL DEFAULT 'F'
);

INSERT OR IGNORE INTO SRV_AD_PAGES (NAME, PAGE, ACTIVE) VALUES
  ('VALID', '<html><body style="margin:0;background:#fff8e7;font-family:sans-serif">'
   || '<div id="ad" key-data="Kw3hv9Rm2pxT0qaZe" style="padding:6px">'
   || '<a href="https://www.tallowin.example/offers/rostering"><b>Rostering made easy</b></a>'
   || '<br><span style="color:#555">Plan every shift of every home in one place.</span></div></body></html>', 'T'),
  ('NO_KEY', '<html><body><div id="ad"><a href="https://ads.example/x">Not an ad of the service</a></div>'
   || '</body></html>', 'F'),
  ('KEY_OUTSIDE', '<html><body><div id="ad"><a href="https://ads.example/y">Key elsewhere</a></div>'
   || '<p style="display:none">Kw3hv9Rm2pxT0qaZe</p></body></html>', 'F');

-- The last requests of the advertising service as they arrived (AdPages.cpp
-- keeps the last 300, each with the first 4 KB of its headers).
CREATE TABLE IF NOT EXISTS SRV_AD_REQUESTS (
  COUNTER     INTEGER PRIMARY KEY AUTOINCREMENT,
  TARGET      TEXT NOT NULL, -- the path and query as sent
  HOST        TEXT,
  USER_AGENT  TEXT,
  REQUEST     TEXT           -- the request line and headers as received (cut)
);

-- The industries of the enterprise editor (/services/get_industries.php).
CREATE TABLE IF NOT EXISTS SRV_AD_INDUSTRIES (
  NAME  TEXT PRIMARY KEY
);
INSERT OR IGNORE INTO SRV_AD_INDUSTRIES (NAME) VALUES
  ('Assisted Living'), ('Home Care'), ('Hospice'), ('Nursing Home'), ('Rehabilitation');
