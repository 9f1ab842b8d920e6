-- The first version of the database. The build brings it to the current
-- version with the program's own upgrade (src/data/SchemaUpgrade.cpp) and
-- ships it as teloria2.db3.init; a new teloria2.db3 is a byte copy of it. Dates are texts "yyyy/mm/dd hh:nn:ss.zzz" so that text
-- order is time order. Integer columns are declared INTEGER so that they read
-- back as integers.

-- Write-ahead logging, kept in the file header and so in every copy: a call
-- is recorded with one flush of the log (the program asks for
-- synchronous=FULL), and a crash never leaves a damaged database.
PRAGMA journal_mode = WAL;

BEGIN;

CREATE TABLE version_info (
  version_no INTEGER NOT NULL DEFAULT 0,
  note TEXT
);

INSERT INTO version_info (version_no, note) VALUES (1, 'Teloria II schema 1');

-- The phone book: one row per number. An edit deletes and re-inserts.
CREATE TABLE phone_numbers (
  phone_number TEXT NOT NULL PRIMARY KEY,
  owner_name TEXT,
  memo1 TEXT,
  memo2 TEXT,
  memo3 TEXT,
  exec_cmd TEXT,
  created_date TEXT,
  last_updated TEXT,
  last_incoming_date TEXT
);

-- The phone list shows the latest edits first, the search the newest entries.
CREATE INDEX phone_numbers_last_updated ON phone_numbers (last_updated);
CREATE INDEX phone_numbers_created_date ON phone_numbers (created_date);

-- The incoming-call history: one row per call, identified by
-- (incoming_order, incoming_date); incoming_order wraps after 999999999.
CREATE TABLE incoming_numbers (
  incoming_order INTEGER NOT NULL DEFAULT 0,
  incoming_date TEXT NOT NULL,
  phone_number TEXT,
  state INTEGER DEFAULT 0,
  connected INTEGER DEFAULT 0,
  offhook_seconds INTEGER DEFAULT 0,
  onhook_seconds INTEGER DEFAULT 0,
  marked INTEGER DEFAULT 0
);

-- Newest first for the history list and the trim; the call key for updates
-- (its leading column also serves max(incoming_order)).
CREATE INDEX incoming_numbers_date ON incoming_numbers (incoming_date);
CREATE INDEX incoming_numbers_call ON incoming_numbers (incoming_order, incoming_date);

COMMIT;
