-- The import ledger: every batch and every file of it, beside the rows the files gave.
-- Created when missing, so that an older database gains it without its data being touched.
-- imp_file has no index: a batch's files are distinct, and an index would cost each file's
-- commit more than the ledger may.
CREATE TABLE IF NOT EXISTS imp_batch (
  batch_id VARCHAR(40) NOT NULL PRIMARY KEY,
  kind VARCHAR(20) NOT NULL,
  started_at VARCHAR(32) NOT NULL,
  ended_at VARCHAR(32),
  os_user VARCHAR(100),
  host VARCHAR(255),
  program_version VARCHAR(40),
  database_name TEXT,
  files_listed INTEGER NOT NULL,
  imported INTEGER,
  failed INTEGER,
  unprocessed INTEGER
);
CREATE TABLE IF NOT EXISTS imp_file (
  batch_id VARCHAR(40) NOT NULL REFERENCES imp_batch (batch_id),
  file_name TEXT NOT NULL,
  file_size INTEGER,
  sha256 CHAR(64),
  file_key TEXT,
  outcome VARCHAR(20) NOT NULL,
  messages TEXT NOT NULL
);
