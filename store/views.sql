-- Saved queries the reports read like tables. A project's class is its type / 10 (integer
-- division), a budget line's class its item code / 10; each project is joined with its unit.

CREATE VIEW project_base AS
SELECT p.projectid,
       p.corpid,
       p.name,
       p.type / 10 AS class,
       p.type AS prjtype,
       p.attribute,
       p.newdepotarea,
       p.protectioncontent,
       p.rparea,
       p.rpcontent,
       pc.classname,
       pt.typename,
       c.name AS corpname,
       c.class AS corpclass,
       c.type AS corptype,
       c.risk,
       f.stateinvest,
       f.localinvest,
       f.otherinvest,
       f.totalfund
FROM dat_project_info p
LEFT JOIN dic_project_class pc ON pc.class = p.type / 10
LEFT JOIN dic_project_type pt ON pt.type = p.type
LEFT JOIN dat_corp_info c ON c.corpid = p.corpid
LEFT JOIN dat_project_fund f ON f.projectid = p.projectid;

CREATE VIEW wbquery AS
SELECT b.class, b.projectid, b.name, b.corpname, b.classname, b.typename,
       r.totalitemnum, r.totalnum1, r.totalnum2, r.totalnum3, r.depotarea,
       k.fsdevstatus, k.rpdevstatus,
       b.stateinvest, b.localinvest, b.otherinvest,
       b.newdepotarea, b.protectioncontent,
       k.totalarea, k.corearea, k.relicage, k.relictype,
       b.rparea, b.rpcontent, b.totalfund,
       b.corpid, b.corpclass, b.corptype, b.risk, b.prjtype, b.attribute
FROM project_base b
LEFT JOIN dat_corp_reserve r ON r.corpid = b.corpid
LEFT JOIN dat_corp_construction k ON k.corpid = b.corpid;

CREATE VIEW budgetquery AS
SELECT projectid, type / 10 AS class, type, total, state
FROM dat_project_budget;

-- Joined directly rather than through project_base: the attribute sheet reads it six times and
-- needs neither the class nor the type names.
CREATE VIEW zjzb AS
SELECT p.projectid, p.attribute, p.type / 10 AS prjclass, p.type AS prjtype,
       c.type AS corptype, c.class AS corpclass, f.totalfund
FROM dat_project_info p
LEFT JOIN dat_corp_info c ON c.corpid = p.corpid
LEFT JOIN dat_project_fund f ON f.projectid = p.projectid;

CREATE VIEW prjfund AS
SELECT projectid, class, corpclass, corptype, risk, name, corpname, classname, typename,
       stateinvest, localinvest, otherinvest, totalfund, corpid, prjtype, attribute
FROM project_base;

CREATE VIEW corpsecurity AS
SELECT c.corpid, c.class, c.type, c.risk,
       s.corparea, s.stolentimes, s.stolenitemnum,
       CAST(NULL AS BIGINT) AS damagedtimes, CAST(NULL AS BIGINT) AS damageditemnum,
       s.waterdevstatus, s.alarmdevstatus, s.lightdevstatus, s.securedevstatus, s.storedevstatus
FROM dat_corp_info c
JOIN dat_corp_security s ON s.corpid = c.corpid;

CREATE VIEW funddetailall AS
SELECT p.type / 10 AS class, d.year, SUM(d.state) AS totalstate, SUM(d.local) AS totallocal
FROM dat_project_fund_detail d
JOIN dat_project_info p ON p.projectid = d.projectid
GROUP BY p.type / 10, d.year;

CREATE VIEW funddetail_by_corpclass AS
SELECT p.type / 10 AS prjclass, c.class AS corpclass, d.year,
       SUM(d.state) AS totalstate, SUM(d.local) AS totallocal
FROM dat_project_fund_detail d
JOIN dat_project_info p ON p.projectid = d.projectid
LEFT JOIN dat_corp_info c ON c.corpid = p.corpid
GROUP BY p.type / 10, c.class, d.year;

CREATE VIEW funddetail1 AS
SELECT corpclass, year, totalstate, totallocal FROM funddetail_by_corpclass WHERE prjclass = 1;

CREATE VIEW funddetail3 AS
SELECT corpclass, year, totalstate, totallocal FROM funddetail_by_corpclass WHERE prjclass = 3;

CREATE VIEW funddetail5 AS
SELECT corpclass, year, totalstate, totallocal FROM funddetail_by_corpclass WHERE prjclass = 5;

CREATE VIEW funddetail7 AS
SELECT corpclass, year, totalstate, totallocal FROM funddetail_by_corpclass WHERE prjclass = 7;

CREATE VIEW funddetail5risk AS
SELECT c.risk, d.year, SUM(d.state) AS totalstate, SUM(d.local) AS totallocal
FROM dat_project_fund_detail d
JOIN dat_project_info p ON p.projectid = d.projectid
LEFT JOIN dat_corp_info c ON c.corpid = p.corpid
WHERE p.type / 10 = 5
GROUP BY c.risk, d.year;
