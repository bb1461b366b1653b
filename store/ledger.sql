-- The import ledger: every batch and every file of it, beside the rows the files gave.
-- Created when missing, so that an older database gains it without its data being touched.
-- The file and message tables have no index: a batch's files are distinct, and an index would
-- cost each file's commit more than the ledger may: a batch's counts are kept in its row, so that
-- listing batches reads no file table. Times are UTC, ISO 8601.
CREATE TABLE IF NOT EXISTS imp_batch (
  batch_id VARCHAR(40) NOT NULL PRIMARY KEY,
  kind VARCHAR(20) NOT NULL,
  started_at VARCHAR(32) NOT NULL,
  ended_at VARCHAR(32),
  os_user VARCHAR(100),
  host VARCHAR(255),
  db_user VARCHAR(100),
  program_version VARCHAR(40),
  database_name TEXT,
  files_listed INTEGER NOT NULL,
  imported INTEGER,
  failed INTEGER,
  unprocessed INTEGER,
  not_moved INTEGER,
  not_shown INTEGER,
  added INTEGER,
  updated INTEGER,
  unchanged INTEGER
);
CREATE TABLE IF NOT EXISTS imp_file (
  batch_id VARCHAR(40) NOT NULL REFERENCES imp_batch (batch_id),
  file_no INTEGER NOT NULL,
  file_name TEXT NOT NULL,
  file_size INTEGER,
  sha256 CHAR(64),
  file_key TEXT,
  unit_id TEXT,
  outcome VARCHAR(20) NOT NULL,
  change VARCHAR(10)
);
CREATE TABLE IF NOT EXISTS imp_message (
  batch_id VARCHAR(40) NOT NULL REFERENCES imp_batch (batch_id),
  file_no INTEGER NOT NULL,
  message_no INTEGER NOT NULL,
  text TEXT NOT NULL,
  element TEXT,
  value TEXT
);
