#!/usr/bin/env python3
"""A database server that stops at once in the middle of a project import, as it does on a power
cut: afterwards every file the import moved into LocalPath has its rows on the restarted server,
and corvane-cli exits 1, since the batch ended before its last file.

Runs a private server of its own (tools/pg-test-server.sh), never the one the other tests share.
Exits 77 (skipped) when no server can be started here.

Usage: server_stop_test.py BUILD_DIR [--files N]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import plain_import  # noqa: E402

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pg-test-server.sh")


def fail(message):
    sys.exit("server stop test FAILED: " + message)


def psql(url, sql):
    return subprocess.run(["psql", "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1", url, "-c", sql],
                          check=True, capture_output=True, text=True).stdout.split()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--files", type=int, default=2000)
    args = parser.parse_args()
    cli = os.path.join(args.build, "cli", "corvane-cli")
    samples = os.path.join(args.build, "tools", "corvane-samples")
    work = tempfile.mkdtemp(prefix="corvane-server-stop-")
    state = os.path.join(work, "server")
    try:
        subprocess.run(["bash", SERVER, "start", state], check=True)
        if os.path.exists(os.path.join(state, "unavailable")):
            print("SKIPPED: " + open(os.path.join(state, "unavailable")).read().strip())
            sys.exit(77)
        server = open(os.path.join(state, "url")).read().strip()
        psql(server, "CREATE DATABASE stoptest")
        source = server.rsplit("/", 1)[0] + "/stoptest"

        for folder in ("app", "in", "local"):
            os.mkdir(os.path.join(work, folder))
        app = os.path.join(work, "app")
        with open(os.path.join(app, "config.pz"), "w") as f:
            f.write('<?xml version="1.0" encoding="GB2312"?><Config><ImportPath>%s/in/</ImportPath>'
                    '<LocalPath>%s/local/</LocalPath><DataSource>%s</DataSource></Config>' % (work, work, source))
        subprocess.run([samples, "--units", "1", "--projects", str(args.files), "--seed", "3",
                        os.path.join(work, "in")], check=True, stdout=subprocess.DEVNULL)
        names = [n for n in os.listdir(os.path.join(work, "in")) if n.endswith(".xm")]
        keys = {}
        for name in names:
            root = plain_import.load(os.path.join(work, "in", name))
            keys[name] = (plain_import.text_of(root, "ReportInfo/CorpID") + "_" +
                          plain_import.text_of(root, "BasicInfo/ProjectID"))
        subprocess.run([cli, "--app-folder", app, "init-db"], check=True, stdout=subprocess.DEVNULL)

        process = subprocess.Popen([cli, "--app-folder", app, "import-projects", os.path.join(work, "in")],
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        deadline = time.time() + 60
        while sum(n.endswith(".xm") for n in os.listdir(os.path.join(work, "local"))) < args.files // 10:
            if process.poll() is not None or time.time() > deadline:
                fail("the import ended before the server could be stopped: " + process.stdout.read()[-300:])
            time.sleep(0.01)
        subprocess.run(["bash", SERVER, "crash", state], check=True)
        output, _ = process.communicate(timeout=120)
        if process.returncode != 1:
            fail("exit status %d after the server stopped: %s" % (process.returncode, output[-300:]))
        if "与数据库的连接已断开，导入停止于" not in output:
            fail("no message of the lost connection: " + output[-300:])
        subprocess.run(["bash", SERVER, "restart", state], check=True)

        stored = set(psql(source, "SELECT projectid FROM dat_project_info"))
        yearly = set(psql(source, "SELECT DISTINCT projectid FROM dat_project_fund_detail"))
        moved = [n for n in os.listdir(os.path.join(work, "local")) if n.endswith(".xm")]
        left = [n for n in os.listdir(os.path.join(work, "in")) if n.endswith(".xm")]
        lost = [n for n in moved if keys[n] not in stored or keys[n] not in yearly]
        if lost:
            fail("%d of %d moved files have no rows, e.g. %s" % (len(lost), len(moved), lost[:5]))
        if len(moved) + len(left) != len(names):
            fail("%d moved + %d left of %d files" % (len(moved), len(left), len(names)))
        print("server stop test passed: stopped after %d of %d files, every moved file has its rows" % (
            len(moved), len(names)))
    finally:
        subprocess.run(["bash", SERVER, "stop", state], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
