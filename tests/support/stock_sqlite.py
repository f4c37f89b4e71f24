#!/usr/bin/python3
"""One connection of Debian's own SQLite (Python's sqlite3 module), serving a Windows test.

The tests run under Wine and start this as a Unix program, which gives them no handle to wait
on; so requests and answers are files in a channel folder:

  stock_sqlite.py CHANNEL DATABASE

writes CHANNEL/ready.ans (the SQLite version) once the database is open, then answers each request
file CHANNEL/<n>.req with CHANNEL/<n>.ans, both written whole before they appear. A request is
an operation name, a newline and its SQL text (UTF-8):

  exec     runs the statements one by one; the answer is "ok" or "error\\t<message>"
  rows     runs one statement; "ok" followed by its rows (below), or "error\\t<message>"
  dump     the whole database, as rows "schema", name, SQL of every sqlite_master entry and
           "row", table, the row's values (a Python tuple's text) of every row of every table
  crash    runs the statements, answers, then ends the process at once without closing the
           connection, leaving whatever a crashed program would (a hot journal, an unmerged WAL)
  quit     closes the connection, answers "ok" and ends

Rows follow the first line, each on a line of its own (after a \\x1e), cells separated by \\x1f;
SQL NULL is \\x1d. The process also ends when the channel folder is removed or nothing has been
asked for ten minutes, so a test that dies leaves no server behind.
"""

import os
import sqlite3
import sys
import time

ROW, CELL, NULL = "\x1e", "\x1f", "\x1d"
IDLE_LIMIT_S = 600


def statements(sql):
    """Splits a script into complete statements (semicolons inside literals and triggers kept)."""
    pending = ""
    for part in sql.split(";"):
        pending += part + ";"
        if sqlite3.complete_statement(pending):
            if pending.strip(" \t\r\n;"):
                yield pending
            pending = ""
    if pending.strip(" \t\r\n;"):
        yield pending


def cell(value):
    if value is None:
        return NULL
    if isinstance(value, bytes):
        return value.hex()
    return str(value)


def dump(connection):
    entries = connection.execute(
        "SELECT name, sql, type FROM sqlite_master ORDER BY name").fetchall()
    rows = [("schema", name, sql) for name, sql, _ in entries]
    for name, _, kind in entries:
        if kind == "table" and not name.startswith("sqlite_"):
            quoted = '"' + name.replace('"', '""') + '"'
            rows += [("row", name, repr(row)) for row in connection.execute("SELECT * FROM " + quoted)]
    return rows


def answer(channel, number, text):
    path = os.path.join(channel, number + ".ans")
    with open(path + ".tmp", "w", encoding="utf-8", newline="") as out:
        out.write(text)
    os.replace(path + ".tmp", path)


def serve(channel, database):
    # Autocommit: the statements' own BEGIN, COMMIT and ROLLBACK decide; Python adds none.
    connection = sqlite3.connect(database, isolation_level=None, check_same_thread=False)
    answer(channel, "ready", sqlite3.sqlite_version)
    idle_since = time.monotonic()
    while os.path.isdir(channel) and time.monotonic() - idle_since < IDLE_LIMIT_S:
        requests = sorted((name for name in os.listdir(channel) if name.endswith(".req")),
                          key=lambda name: int(name.split(".")[0]))
        if not requests:
            time.sleep(0.005)
            continue
        idle_since = time.monotonic()
        name = requests[0]
        number = name.split(".")[0]
        path = os.path.join(channel, name)
        with open(path, encoding="utf-8", newline="") as request:
            operation, _, sql = request.read().partition("\n")
        os.remove(path)
        if operation == "quit":
            connection.close()
            answer(channel, number, "ok")
            return
        try:
            if operation in ("rows", "dump"):
                rows = dump(connection) if operation == "dump" else connection.execute(sql).fetchall()
                answer(channel, number, "ok" + "".join(
                    ROW + CELL.join(cell(value) for value in row) for row in rows))
            elif operation in ("exec", "crash"):
                for statement in statements(sql):
                    connection.execute(statement)
                answer(channel, number, "ok")
                if operation == "crash":
                    os._exit(0)
            else:
                answer(channel, number, "error\tunknown operation " + operation)
        except sqlite3.Error as error:
            answer(channel, number, "error\t" + str(error))
    connection.close()


if __name__ == "__main__":
    serve(sys.argv[1], sys.argv[2])
