#!/usr/bin/env python3
"""The yardstick of the import benchmark: the same files into the same tables, written the
plainest way with the standard library alone (xml.etree and sqlite3), one commit for the whole
batch and no file moves. It does the work the program must do and nothing it may skip.

Usage: plain_import.py units|projects DATABASE FILE...
"""
import sqlite3
import sys
import xml.etree.ElementTree as ET

PROJECT_INFO = [
    ("ReportInfo/CorpID", "corpid", None),
    ("BasicInfo/ProjectName", "name", None),
    ("BasicInfo/PreserveContent", "preserve", None),
    ("BasicInfo/CurrentProblem", "problem", None),
    ("BasicInfo/ProjectContent", "content", None),
    ("BasicInfo/Remark", "remark", None),
    ("ReportInfo/ReportDate", "reportdate", None),
    ("BasicInfo/SalvageItem/NewDepotArea", "newdepotarea", None),
    ("BasicInfo/SalvageItem/ProtectionContent", "protectioncontent", None),
    ("BasicInfo/SalvageItem/RelicProtectionArea", "rparea", None),
    ("BasicInfo/SalvageItem/RelicProtectionContent", "rpcontent", None),
    ("BasicInfo/AssitantItem/ProtectionArea", "protectionarea", None),
    ("BasicInfo/ProjectType", "type", "dic_project_type"),
    ("BasicInfo/ProjectAttribute", "attribute", "dic_project_attribute"),
]
PROJECT_FUND = [
    ("FundDemand/Investment/State", "stateinvest", None),
    ("FundDemand/Investment/Local", "localinvest", None),
    ("FundDemand/Investment/Other", "otherinvest", None),
    ("FundDemand/Demand/Total", "totalfund", None),
]
YEARS = [(y, "FundDemand/Demand/State/Year" + y, "FundDemand/Demand/Local/Year" + y)
         for y in ("2006", "2007", "2008", "2009", "2010")]
BUDGET_ITEMS = [
    ("11", "RelicRepairment/Preparation"), ("12", "RelicRepairment/Construction"),
    ("13", "RelicRepairment/Estate"), ("14", "RelicRepairment/Enviroment"),
    ("15", "RelicRepairment/Traffic"), ("16", "RelicRepairment/Other"),
    ("21", "UnEarth/Preparation"), ("22", "UnEarth/UnEarth"), ("23", "UnEarth/Report"),
    ("24", "UnEarth/Protection"), ("25", "UnEarth/Other"),
    ("31", "DepotRepairment/Preparation"), ("32", "DepotRepairment/Construction"),
    ("33", "DepotRepairment/Other"), ("41", "RelicPurchase"),
    ("51", "FireSecurity/Design"), ("52", "FireSecurity/Purchase"),
    ("53", "FireSecurity/Construction"), ("54", "FireSecurity/Other"),
    ("61", "RelicProtection/Design"), ("62", "RelicProtection/Repairment"),
    ("63", "RelicProtection/Other"), ("71", "GreatSiteProtection/Construction"),
    ("72", "GreatSiteProtection/Purchase"), ("73", "GreatSiteProtection/Other"),
    ("81", "DepotConstruction/Construction"), ("82", "DepotConstruction/Purchase"),
    ("83", "DepotConstruction/Other"),
]
BUDGET = [(code, "BudgetDetail/%s/Total" % item, "BudgetDetail/%s/State" % item)
          for code, item in BUDGET_ITEMS]

STATUS = "dic_device_status"
CORP_INFO = [
    ("Basic/Name", "name", None), ("Basic/ShortName", "shortname", None),
    ("Basic/AreaCode", "areacode", None), ("Basic/Address", "address", None),
    ("Basic/PostCode", "postcode", None), ("Basic/PhoneNo", "phoneno", None),
    ("Basic/FaxNo", "faxno", None), ("Basic/Email", "email", None),
    ("ReportInfo/ReportUser", "reportuser", None), ("ReportInfo/ReportDate", "reportdate", None),
    ("Basic/Type", "type", "dic_corp_type"), ("Basic/Class", "class", "dic_corp_class"),
    ("Basic/Risc", "risk", "dic_corp_risc"),
]
CORP_RESERVE = [("Reserve/DepotArea", "depotarea", None),
                ("Reserve/TotalItemNum", "totalitemnum", None)]
for grade, item in enumerate(("FirstClassItem", "SecondClassItem", "ThirdClassItem",
                              "ValuableRelic"), start=1):
    base = "Reserve/ItemDetail/" + item
    CORP_RESERVE += [
        (base + "/TotalNum", "totalnum%d" % grade, None),
        (base + "/DetailNum/GoodNum", "goodnum%d" % grade, None),
        (base + "/DetailNum/SlightDamagedNum", "slightdamagednum%d" % grade, None),
        (base + "/DetailNum/SevereDamagedNum", "severedamagednum%d" % grade, None),
        (base + "/FundDemand", "funddemand%d" % grade, None),
    ]
CORP_RESERVE.append(("Reserve/DamageDescription", "damagedesc", None))
CORP_SECURITY = [
    ("Security/AreaInfo/CorpArea", "corparea", None),
    ("Security/AreaInfo/ItemArea", "itemarea", None),
    ("Security/StolenInfo/StolenTimes", "stolentimes", None),
    ("Security/StolenInfo/StolenItemNum", "stolenitemnum", None),
    ("Security/FireProtect/WaterSupplyDeviceStatus", "waterdevstatus", STATUS),
    ("Security/FireProtect/AlarmDeviceStatus", "alarmdevstatus", STATUS),
    ("Security/FireProtect/LightingDeviceStatus", "lightdevstatus", STATUS),
    ("Security/SecurityDeviceStatus", "securedevstatus", STATUS),
    ("Security/StoreDeviceStatus", "storedevstatus", STATUS),
]
CORP_CONSTRUCTION = [
    ("Construction/GreatSite/TotalArea", "totalarea", None),
    ("Construction/GreatSite/CoreArea", "corearea", None),
    ("Construction/GreatSite/RelicAge", "relicage", None),
    ("Construction/GreatSite/RelicType", "relictype", None),
    ("Construction/Depot/FireSecurityDeviceStatus", "fsdevstatus", STATUS),
    ("Construction/Depot/RelicProtectionDeviceStatus", "rpdevstatus", STATUS),
]


def load(path):
    with open(path, "rb") as f:
        data = f.read()
    # expat reads no multi-byte encodings: decode GB2312 (as its superset) here.
    text = data.decode("gb18030")
    if text.startswith("<?xml"):
        text = text[text.index("?>") + 2:]
    return ET.fromstring(text)


def text_of(root, path):
    node = root.find(path)
    return (node.text or "").strip() if node is not None else ""


def convert(kind, text):
    if kind == "TEXT":
        return text
    if not text:
        return None
    if kind == "INTEGER":
        try:
            return int(text)
        except ValueError:
            number = float(text)
            if number != int(number):
                raise
            return int(number)
    return float(text)


class Writer:
    def __init__(self, db):
        self.db = db
        self.kinds = {}
        self.codes = {}

    def kind(self, table, column):
        if table not in self.kinds:
            self.kinds[table] = {r[1]: r[2] for r in self.db.execute("PRAGMA table_info(%s)" % table)}
        return self.kinds[table][column]

    def is_code(self, dictionary, text):
        if dictionary not in self.codes:
            key = self.db.execute("PRAGMA table_info(%s)" % dictionary).fetchone()[1]
            self.codes[dictionary] = {str(r[0]) for r in self.db.execute(
                "SELECT %s FROM %s" % (key, dictionary))} | {""}
        return text in self.codes[dictionary]

    def value(self, root, table, path, column, dictionary):
        text = text_of(root, path)
        if dictionary:
            self.is_code(dictionary, text)
        return convert(self.kind(table, column), text)

    def upsert(self, root, table, key_column, key, mapping):
        columns = [key_column] + [c for _, c, _ in mapping]
        values = [key] + [self.value(root, table, p, c, d) for p, c, d in mapping]
        self.db.execute(
            "INSERT INTO %s (%s) VALUES (%s) ON CONFLICT(%s) DO UPDATE SET %s" % (
                table, ",".join(columns), ",".join("?" * len(columns)), key_column,
                ",".join("%s=excluded.%s" % (c, c) for c in columns[1:])), values)

    def replace_rows(self, root, table, code_column, key, rows, first, second):
        self.db.execute("DELETE FROM %s WHERE projectid = ?" % table, (key,))
        self.db.executemany(
            "INSERT INTO %s (projectid, %s, %s, %s) VALUES (?,?,?,?)" % (table, code_column, first, second),
            [(key, int(code), self.value(root, table, a, first, None),
              self.value(root, table, b, second, None)) for code, a, b in rows])


def import_project(writer, root):
    key = text_of(root, "ReportInfo/CorpID") + "_" + text_of(root, "BasicInfo/ProjectID")
    writer.upsert(root, "dat_project_info", "projectid", key, PROJECT_INFO)
    writer.upsert(root, "dat_project_fund", "projectid", key, PROJECT_FUND)
    writer.replace_rows(root, "dat_project_fund_detail", "year", key, YEARS, "state", "local")
    writer.replace_rows(root, "dat_project_budget", "type", key, BUDGET, "total", "state")


def import_unit(writer, root):
    key = text_of(root, "Basic/CorpID")
    writer.upsert(root, "dat_corp_info", "corpid", key, CORP_INFO)
    writer.upsert(root, "dat_corp_reserve", "corpid", key, CORP_RESERVE)
    writer.upsert(root, "dat_corp_security", "corpid", key, CORP_SECURITY)
    writer.upsert(root, "dat_corp_construction", "corpid", key, CORP_CONSTRUCTION)


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("units", "projects"):
        sys.exit(__doc__)
    kind, database, paths = sys.argv[1], sys.argv[2], sys.argv[3:]
    if len(paths) == 1 and not paths[0].endswith((".dw", ".xm")):
        import glob
        import os
        paths = sorted(glob.glob(os.path.join(paths[0], "*.dw" if kind == "units" else "*.xm")))
    db = sqlite3.connect(database)
    db.execute("PRAGMA journal_mode=WAL")
    db.execute("PRAGMA synchronous=NORMAL")
    writer = Writer(db)
    one = import_unit if kind == "units" else import_project
    for path in paths:
        one(writer, load(path))
    db.commit()
    db.close()
    print("imported %d files" % len(paths))


if __name__ == "__main__":
    main()
