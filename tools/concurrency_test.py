#!/usr/bin/env python3
"""Several programs on one database file: report runs (corvane-cli reports) one after the other
beside a project import, then beside a second import of other files, while this script reads the
file too, as an outside sqlite3 shell would.

Checked after every round: the database passes integrity_check; the files the imports reported
imported are exactly the files moved into LocalPath, and each has its project's rows; no report
run failed or met a damaged database.

Usage: concurrency_test.py BUILD_DIR [--files N] [--second M] [--rounds R]
"""
import argparse
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import plain_import  # noqa: E402


def fail(message):
    sys.exit("concurrency test FAILED: " + message)


class ReportLoop(threading.Thread):
    """Report runs one after the other until stopped, and an outside reader between them."""

    def __init__(self, cli, app, database):
        super().__init__(daemon=True)
        self.cli, self.app, self.database = cli, app, database
        self.stopping = threading.Event()
        self.runs = 0
        self.problems = []

    def run(self):
        while not self.stopping.is_set():
            result = subprocess.run([self.cli, "--app-folder", self.app, "reports"],
                                    capture_output=True, text=True, timeout=120)
            self.runs += 1
            if result.returncode != 0:
                self.problems.append("report run %d exited %d: %s" % (
                    self.runs, result.returncode, (result.stdout + result.stderr)[-300:]))
            reader = sqlite3.connect(self.database, timeout=10)
            try:
                reader.execute("SELECT count(*) FROM dat_project_fund_detail").fetchone()
            except sqlite3.Error as error:
                self.problems.append("outside reader: %s" % error)
            finally:
                reader.close()


def imported(output):
    counts = re.search(r"倒入成功(\d+)个文件\n倒入失败(\d+)个文件", output)
    if not counts:
        fail("no summary in: " + output[-300:])
    return int(counts.group(1)), int(counts.group(2))


def one_round(cli, samples, files, second, seed):
    work = tempfile.mkdtemp(prefix="corvane-concurrency-")
    try:
        for folder in ("app", "in1", "in2", "local", "gen"):
            os.mkdir(os.path.join(work, folder))
        app = os.path.join(work, "app")
        with open(os.path.join(app, "config.pz"), "w") as f:
            f.write('<?xml version="1.0" encoding="GB2312"?><Config><ImportPath>%s/in1/</ImportPath>'
                    '<LocalPath>%s/local/</LocalPath><DataSource/></Config>' % (work, work))
        for template in ("国家计委汇总表.xls", "十一五资金需求汇总表.xls"):
            shutil.copy(os.path.join(os.path.dirname(cli), template), app)
        subprocess.run([samples, "--units", "20", "--projects", str(files + second), "--seed", str(seed),
                        os.path.join(work, "gen")], check=True, stdout=subprocess.DEVNULL)
        projects = sorted(n for n in os.listdir(os.path.join(work, "gen")) if n.endswith(".xm"))
        keys = {}
        for index, name in enumerate(projects):
            root = plain_import.load(os.path.join(work, "gen", name))
            keys[name] = (plain_import.text_of(root, "ReportInfo/CorpID") + "_" +
                          plain_import.text_of(root, "BasicInfo/ProjectID"))
            target = "in1" if index < files else "in2"
            os.rename(os.path.join(work, "gen", name), os.path.join(work, target, name))
        subprocess.run([cli, "--app-folder", app, "init-db"], check=True, stdout=subprocess.DEVNULL)
        database = os.path.join(work, "local", "wenwu.mdb")
        # The units first, so that every report has rows to read.
        subprocess.run([cli, "--app-folder", app, "import-units", os.path.join(work, "gen")], check=True,
                       stdout=subprocess.DEVNULL)

        loop = ReportLoop(cli, app, database)
        loop.start()
        reported = 0
        for folder in ("in1", "in2"):
            result = subprocess.run([cli, "--app-folder", app, "import-projects", os.path.join(work, folder)],
                                    capture_output=True, text=True, timeout=300)
            done, failed = imported(result.stdout)
            if failed or result.returncode != 0:
                fail("import of %s: %s" % (folder, (result.stdout + result.stderr)[-300:]))
            reported += done
        loop.stopping.set()
        loop.join()
        if loop.problems:
            fail("; ".join(loop.problems[:3]))

        db = sqlite3.connect(database)
        check = db.execute("PRAGMA integrity_check").fetchone()[0]
        stored = {row[0] for row in db.execute("SELECT projectid FROM dat_project_info")}
        yearly = {row[0] for row in db.execute("SELECT DISTINCT projectid FROM dat_project_fund_detail")}
        db.close()
        if check != "ok":
            fail("integrity_check: " + check)
        moved = [n for n in os.listdir(os.path.join(work, "local")) if n.endswith(".xm")]
        if reported != len(moved) or len(moved) != len(projects):
            fail("%d files reported imported, %d moved, of %d" % (reported, len(moved), len(projects)))
        missing = [n for n in moved if keys[n] not in stored or keys[n] not in yearly]
        if missing or len(stored) != len(projects):
            fail("%d projects stored of %d; moved without rows: %s" % (len(stored), len(projects), missing[:5]))
        return loop.runs
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--files", type=int, default=3000)
    parser.add_argument("--second", type=int, default=1000)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    cli = os.path.join(args.build, "cli", "corvane-cli")
    samples = os.path.join(args.build, "tools", "corvane-samples")
    for round_number in range(1, args.rounds + 1):
        runs = one_round(cli, samples, args.files, args.second, round_number)
        print("round %d: %d + %d files imported beside %d report runs" % (
            round_number, args.files, args.second, runs))
    print("concurrency test passed: %d rounds" % args.rounds)


if __name__ == "__main__":
    main()
