-- The tables of the programme's database on a PostgreSQL server: the same tables, columns,
-- kinds and indexes as schema.sql, in PostgreSQL's words. Texts are TEXT, counts BIGINT (64 bits,
-- as SQLite's INTEGER), areas and amounts DOUBLE PRECISION, codes, years and item codes BIGINT.

CREATE TABLE dic_corp_type (
    type BIGINT NOT NULL PRIMARY KEY,
    typename TEXT NOT NULL
);

CREATE TABLE dic_corp_class (
    class BIGINT NOT NULL PRIMARY KEY,
    classname TEXT NOT NULL
);

CREATE TABLE dic_corp_risc (
    risc BIGINT NOT NULL PRIMARY KEY,
    riscname TEXT NOT NULL
);

CREATE TABLE dic_device_status (
    status BIGINT NOT NULL PRIMARY KEY,
    statusname TEXT NOT NULL
);

CREATE TABLE dic_project_type (
    type BIGINT NOT NULL PRIMARY KEY,
    typename TEXT NOT NULL
);

CREATE TABLE dic_project_attribute (
    attribute BIGINT NOT NULL PRIMARY KEY,
    attributename TEXT NOT NULL
);

CREATE TABLE dic_project_class (
    class BIGINT NOT NULL PRIMARY KEY,
    classname TEXT NOT NULL
);

CREATE TABLE dat_corp_info (
    corpid TEXT NOT NULL,
    name TEXT,
    shortname TEXT,
    areacode TEXT,
    address TEXT,
    postcode TEXT,
    phoneno TEXT,
    faxno TEXT,
    email TEXT,
    reportuser TEXT,
    reportdate TEXT,
    type BIGINT,
    class BIGINT,
    risk BIGINT
);
CREATE UNIQUE INDEX ux_corp_info_corpid ON dat_corp_info (corpid);

CREATE TABLE dat_corp_reserve (
    corpid TEXT NOT NULL,
    depotarea DOUBLE PRECISION,
    totalitemnum BIGINT,
    totalnum1 BIGINT,
    goodnum1 BIGINT,
    slightdamagednum1 BIGINT,
    severedamagednum1 BIGINT,
    funddemand1 DOUBLE PRECISION,
    totalnum2 BIGINT,
    goodnum2 BIGINT,
    slightdamagednum2 BIGINT,
    severedamagednum2 BIGINT,
    funddemand2 DOUBLE PRECISION,
    totalnum3 BIGINT,
    goodnum3 BIGINT,
    slightdamagednum3 BIGINT,
    severedamagednum3 BIGINT,
    funddemand3 DOUBLE PRECISION,
    totalnum4 BIGINT,
    goodnum4 BIGINT,
    slightdamagednum4 BIGINT,
    severedamagednum4 BIGINT,
    funddemand4 DOUBLE PRECISION,
    damagedesc TEXT
);
CREATE UNIQUE INDEX ux_corp_reserve_corpid ON dat_corp_reserve (corpid);

CREATE TABLE dat_corp_security (
    corpid TEXT NOT NULL,
    corparea DOUBLE PRECISION,
    itemarea DOUBLE PRECISION,
    stolentimes BIGINT,
    stolenitemnum BIGINT,
    waterdevstatus BIGINT,
    alarmdevstatus BIGINT,
    lightdevstatus BIGINT,
    securedevstatus BIGINT,
    storedevstatus BIGINT
);
CREATE UNIQUE INDEX ux_corp_security_corpid ON dat_corp_security (corpid);

CREATE TABLE dat_corp_construction (
    corpid TEXT NOT NULL,
    totalarea DOUBLE PRECISION,
    corearea DOUBLE PRECISION,
    relicage TEXT,
    relictype TEXT,
    fsdevstatus BIGINT,
    rpdevstatus BIGINT
);
CREATE UNIQUE INDEX ux_corp_construction_corpid ON dat_corp_construction (corpid);

CREATE TABLE dat_project_info (
    projectid TEXT NOT NULL,
    corpid TEXT,
    name TEXT,
    preserve TEXT,
    problem TEXT,
    content TEXT,
    remark TEXT,
    reportdate TEXT,
    newdepotarea DOUBLE PRECISION,
    protectioncontent TEXT,
    rparea DOUBLE PRECISION,
    rpcontent TEXT,
    protectionarea DOUBLE PRECISION,
    type BIGINT,
    attribute BIGINT
);
CREATE UNIQUE INDEX ux_project_info_projectid ON dat_project_info (projectid);
CREATE INDEX ix_project_info_corpid ON dat_project_info (corpid);
-- The reports select projects by class, which is type / 10.
CREATE INDEX ix_project_info_class ON dat_project_info ((type / 10));

CREATE TABLE dat_project_fund (
    projectid TEXT NOT NULL,
    stateinvest DOUBLE PRECISION,
    localinvest DOUBLE PRECISION,
    otherinvest DOUBLE PRECISION,
    totalfund DOUBLE PRECISION
);
CREATE UNIQUE INDEX ux_project_fund_projectid ON dat_project_fund (projectid);

CREATE TABLE dat_project_fund_detail (
    projectid TEXT NOT NULL,
    year BIGINT,
    state DOUBLE PRECISION,
    local DOUBLE PRECISION
);
CREATE INDEX ix_project_fund_detail_projectid ON dat_project_fund_detail (projectid);

CREATE TABLE dat_project_budget (
    projectid TEXT NOT NULL,
    type BIGINT,
    total DOUBLE PRECISION,
    state DOUBLE PRECISION
);
CREATE INDEX ix_project_budget_projectid ON dat_project_budget (projectid);
