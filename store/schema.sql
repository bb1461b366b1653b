-- Tables of the programme's database. Texts are TEXT, counts INTEGER, areas and amounts REAL,
-- dictionary codes, years and budget item codes INTEGER.

CREATE TABLE dic_corp_type (
    type INTEGER NOT NULL PRIMARY KEY,
    typename TEXT NOT NULL
) STRICT;

CREATE TABLE dic_corp_class (
    class INTEGER NOT NULL PRIMARY KEY,
    classname TEXT NOT NULL
) STRICT;

CREATE TABLE dic_corp_risc (
    risc INTEGER NOT NULL PRIMARY KEY,
    riscname TEXT NOT NULL
) STRICT;

CREATE TABLE dic_device_status (
    status INTEGER NOT NULL PRIMARY KEY,
    statusname TEXT NOT NULL
) STRICT;

CREATE TABLE dic_project_type (
    type INTEGER NOT NULL PRIMARY KEY,
    typename TEXT NOT NULL
) STRICT;

CREATE TABLE dic_project_attribute (
    attribute INTEGER NOT NULL PRIMARY KEY,
    attributename TEXT NOT NULL
) STRICT;

CREATE TABLE dic_project_class (
    class INTEGER NOT NULL PRIMARY KEY,
    classname TEXT NOT NULL
) STRICT;

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
    type INTEGER,
    class INTEGER,
    risk INTEGER
) STRICT;
CREATE UNIQUE INDEX ux_corp_info_corpid ON dat_corp_info (corpid);

CREATE TABLE dat_corp_reserve (
    corpid TEXT NOT NULL,
    depotarea REAL,
    totalitemnum INTEGER,
    totalnum1 INTEGER,
    goodnum1 INTEGER,
    slightdamagednum1 INTEGER,
    severedamagednum1 INTEGER,
    funddemand1 REAL,
    totalnum2 INTEGER,
    goodnum2 INTEGER,
    slightdamagednum2 INTEGER,
    severedamagednum2 INTEGER,
    funddemand2 REAL,
    totalnum3 INTEGER,
    goodnum3 INTEGER,
    slightdamagednum3 INTEGER,
    severedamagednum3 INTEGER,
    funddemand3 REAL,
    totalnum4 INTEGER,
    goodnum4 INTEGER,
    slightdamagednum4 INTEGER,
    severedamagednum4 INTEGER,
    funddemand4 REAL,
    damagedesc TEXT
) STRICT;
CREATE UNIQUE INDEX ux_corp_reserve_corpid ON dat_corp_reserve (corpid);

CREATE TABLE dat_corp_security (
    corpid TEXT NOT NULL,
    corparea REAL,
    itemarea REAL,
    stolentimes INTEGER,
    stolenitemnum INTEGER,
    waterdevstatus INTEGER,
    alarmdevstatus INTEGER,
    lightdevstatus INTEGER,
    securedevstatus INTEGER,
    storedevstatus INTEGER
) STRICT;
CREATE UNIQUE INDEX ux_corp_security_corpid ON dat_corp_security (corpid);

CREATE TABLE dat_corp_construction (
    corpid TEXT NOT NULL,
    totalarea REAL,
    corearea REAL,
    relicage TEXT,
    relictype TEXT,
    fsdevstatus INTEGER,
    rpdevstatus INTEGER
) STRICT;
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
    newdepotarea REAL,
    protectioncontent TEXT,
    rparea REAL,
    rpcontent TEXT,
    protectionarea REAL,
    type INTEGER,
    attribute INTEGER
) STRICT;
CREATE UNIQUE INDEX ux_project_info_projectid ON dat_project_info (projectid);
CREATE INDEX ix_project_info_corpid ON dat_project_info (corpid);
-- The reports select projects by class, which is type / 10.
CREATE INDEX ix_project_info_class ON dat_project_info (type / 10);

CREATE TABLE dat_project_fund (
    projectid TEXT NOT NULL,
    stateinvest REAL,
    localinvest REAL,
    otherinvest REAL,
    totalfund REAL
) STRICT;
CREATE UNIQUE INDEX ux_project_fund_projectid ON dat_project_fund (projectid);

CREATE TABLE dat_project_fund_detail (
    projectid TEXT NOT NULL,
    year INTEGER,
    state REAL,
    local REAL
) STRICT;
CREATE INDEX ix_project_fund_detail_projectid ON dat_project_fund_detail (projectid);

CREATE TABLE dat_project_budget (
    projectid TEXT NOT NULL,
    type INTEGER,
    total REAL,
    state REAL
) STRICT;
CREATE INDEX ix_project_budget_projectid ON dat_project_budget (projectid);
