#!/usr/bin/env python3
"""Crash test of the project import: kills corvane-cli (SIGKILL) at random moments of a batch,
checks the database and the two folders after every kill, then lets a last run finish the batch
and checks the totals.

After each kill: the database passes integrity_check; every file is in exactly one of the import
folder and LocalPath (its companion page too); every project has either all of its old yearly and
budget rows or all of its new ones, never a mix or a part; every file in LocalPath has its new rows.
After the last run: it reports exactly the files that were left, none failed, and every project
holds the rows a plain import of the same files gives.

Usage: crash_test.py BUILD_DIR [--files N] [--kills K] [--seed S]
"""
import argparse
import os
import random
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import plain_import  # noqa: E402

OLD = -1.0  # the amount every old row carries, so that old and new rows tell apart


def fail(message):
    sys.exit("crash test FAILED: " + message)


def fingerprints(path):
    """projectid -> (info name, fund total, yearly rows, budget rows) as stored."""
    db = sqlite3.connect(path)
    rows = {}
    for pid, name, total in db.execute(
            "SELECT i.projectid, i.name, f.totalfund FROM dat_project_info i "
            "LEFT JOIN dat_project_fund f ON f.projectid = i.projectid"):
        rows[pid] = [name, total, [], []]
    for index, table, code in ((2, "dat_project_fund_detail", "year"), (3, "dat_project_budget", "type")):
        amount = "state" if table == "dat_project_fund_detail" else "total"
        for pid, c, a, b in db.execute(
                "SELECT projectid, %s, %s, %s FROM %s ORDER BY projectid, rowid" % (
                    code, amount, "local" if index == 2 else "state", table)):
            rows.setdefault(pid, [None, None, [], []])[index].append((c, a, b))
    db.close()
    return rows


def check_state(work, names, keys, reference, final):
    db = sqlite3.connect(os.path.join(work, "local", "wenwu.mdb"))
    result = db.execute("PRAGMA integrity_check").fetchone()[0]
    # The ledger commits with the rows: a project has new rows exactly when a file of it is
    # entered as imported.
    entered = {key for (key,) in db.execute("SELECT file_key FROM imp_file WHERE outcome LIKE 'imported%'")}
    db.close()
    if result != "ok":
        fail("integrity_check: " + result)
    stored = fingerprints(os.path.join(work, "local", "wenwu.mdb"))
    inside = set(os.listdir(os.path.join(work, "in")))
    local = set(os.listdir(os.path.join(work, "local")))
    for name in names:
        companion = name[:-3] + ".htm"
        for file in (name, companion):
            if file == companion and file not in inside and file not in local:
                continue  # a file without a companion page
            if (file in inside) == (file in local):
                fail("%s is %s" % (file, "in both folders" if file in inside else "lost"))
        pid = keys[name]
        got, want = stored.get(pid), reference[pid]
        if got is None:
            fail("project %s has no rows" % pid)
        for index, count in ((2, 5), (3, 28)):
            olds = sum(1 for row in got[index] if row[1] == OLD)
            if len(got[index]) != count or olds not in (0, count):
                fail("project %s has %d rows, %d of them old, in %s" % (
                    pid, len(got[index]), olds, "yearly" if index == 2 else "budget"))
        fresh = all(row[1] != OLD for row in got[2])
        if fresh != (pid in entered):
            fail("project %s has %s rows but %s imported ledger entry" % (
                pid, "new" if fresh else "old", "no" if fresh else "an"))
        if (name in local or final) and got != want:
            fail("%s is in LocalPath but its rows are not the file's: %r" % (name, got))
    if final and len(stored) != len(reference):
        fail("%d projects stored, %d expected" % (len(stored), len(reference)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--files", type=int, default=3000)
    parser.add_argument("--kills", type=int, default=6)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    rng = random.Random(args.seed)
    cli = os.path.join(args.build, "cli", "corvane-cli")
    samples = os.path.join(args.build, "tools", "corvane-samples")
    work = tempfile.mkdtemp(prefix="corvane-crash-")
    try:
        for folder in ("app", "in", "local"):
            os.mkdir(os.path.join(work, folder))
        with open(os.path.join(work, "app", "config.pz"), "w") as f:
            f.write('<?xml version="1.0" encoding="GB2312"?><Config><ImportPath>%s/in/</ImportPath>'
                    '<LocalPath>%s/local/</LocalPath><DataSource/></Config>' % (work, work))
        subprocess.run([samples, "--units", "1", "--projects", str(args.files), "--seed", "5",
                        os.path.join(work, "in")], check=True, stdout=subprocess.DEVNULL)
        for name in os.listdir(os.path.join(work, "in")):
            if name.endswith(".dw"):
                os.remove(os.path.join(work, "in", name))
        subprocess.run([cli, "--app-folder", os.path.join(work, "app"), "init-db"], check=True,
                       stdout=subprocess.DEVNULL)
        database = os.path.join(work, "local", "wenwu.mdb")
        names = sorted(n for n in os.listdir(os.path.join(work, "in")) if n.endswith(".xm"))
        keys = {}
        for name in names:
            root = plain_import.load(os.path.join(work, "in", name))
            keys[name] = (plain_import.text_of(root, "ReportInfo/CorpID") + "_" +
                          plain_import.text_of(root, "BasicInfo/ProjectID"))

        # The reference: the plain script's import. The database under test starts with every
        # project already there, its rows marked old, so that every file replaces rows.
        reference_path = os.path.join(work, "reference.mdb")
        shutil.copy(database, reference_path)
        subprocess.run([sys.executable, plain_import.__file__, "projects", reference_path,
                        os.path.join(work, "in")], check=True, stdout=subprocess.DEVNULL)
        reference = fingerprints(reference_path)
        shutil.copy(reference_path, database)
        db = sqlite3.connect(database)
        db.execute("UPDATE dat_project_info SET name = 'old'")
        db.execute("UPDATE dat_project_fund_detail SET state = ?", (OLD,))
        db.execute("UPDATE dat_project_budget SET total = ?", (OLD,))
        db.commit()
        db.execute("PRAGMA journal_mode=WAL")
        db.close()

        command = [cli, "--app-folder", os.path.join(work, "app"), "import-projects", os.path.join(work, "in")]
        kills = runs = 0
        window = 0.8  # kills land in [0, window) seconds; it shrinks while runs finish first
        while kills < args.kills:
            runs += 1
            if runs > args.kills * 6:
                fail("only %d of %d runs could be killed mid-batch" % (kills, runs))
            if not any(n.endswith(".xm") for n in os.listdir(os.path.join(work, "in"))):
                # All imported before enough kills: every file goes back and replaces its own rows.
                for name in os.listdir(os.path.join(work, "local")):
                    if name.endswith((".xm", ".htm")):
                        os.rename(os.path.join(work, "local", name), os.path.join(work, "in", name))
            process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0.0, window))
            if process.poll() is None:
                process.kill()
                kills += 1
            else:
                window *= 0.6
            process.wait()
            left = sum(1 for n in os.listdir(os.path.join(work, "in")) if n.endswith(".xm"))
            print("run %d: %s, %d files left" % (runs, "killed" if process.returncode == -9 else "finished", left))
            check_state(work, names, keys, reference, final=False)

        left = sum(1 for n in os.listdir(os.path.join(work, "in")) if n.endswith(".xm"))
        output = subprocess.run(command, check=True, capture_output=True, text=True).stdout
        counts = re.search(r"倒入成功(\d+)个文件\n倒入失败(\d+)个文件", output)
        if not counts or (int(counts.group(1)), int(counts.group(2))) != (left, 0):
            fail("the rerun of %d files reported %s" % (left, counts.group(0) if counts else output[-200:]))
        check_state(work, names, keys, reference, final=True)
        print("crash test passed: %d kills, %d files, rerun imported the %d left (seed %d)" % (
            kills, len(names), left, args.seed))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
