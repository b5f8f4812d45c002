#!/usr/bin/env python3
"""Drives the real Kadenzor executable the way the operator does and checks what it wrote.

A scenario file gives the settings, the start list and other files, then one action or
expectation per line (see README.md, "Acceptance scenarios"). The program runs in a folder
of its own under a private Xvfb display with openbox, so that keys sent through XTest
(xdotool) reach the focused control as a real keyboard's would. Results are read from the
files an official would read: the backups, the run state, the journal, exports, live pages.

    tests/acceptance/harness.py [--app DIR] [--work DIR] SCENARIO
"""

import argparse
import ctypes
import datetime
import fnmatch
import glob
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request
import zoneinfo

# Every value the program reads, in its reading order: a value missing from the file
# ends the reading there, so a scenario only overrides values of this complete set.
DEFAULT_SETTINGS = [
    ("Port", 0), ("Alg", 0), ("Left", 20), ("Top", 20), ("Width", 890), ("Height", 603),
    ("Sound", 0), ("C1", 0x000000), ("C2", 0x00FF00), ("C3", 0x404040), ("Acc", 2),
    ("C4", 0x00FFFF), ("FilterInd", 2), ("Timer", 5), ("cbAuto", 0), ("XX", 882), ("YY", 283),
    ("StartType", 0), ("Columns", 0xCFF), ("Klass", 0), ("FilterOut", 1), ("WaitStart", 4000),
    ("Title", "Abnahme"), ("WaitFinish", 200), ("RezervDir", ""), ("FormatZeit", 0),
    ("AutoSort", 0), ("Debounce", 2), ("WebPort", 0), ("WebBind", "127.0.0.1"), ("PublishDir", ""),
    ("PortPath", ""),
]

PROGRAM_FILES = ["Kadenzor", "kadenzor-xls-reader", "*.wav", "*.jpg", "Kadenzor-Hilfe.html", "Kadenzor.docx"]
BACKUP_P = "Kadenzor-Sicherungsdatei-P.txt"
BACKUP_F = "Kadenzor-Sicherungsdatei-F.txt"
BACKUP_L = "Kadenzor-Sicherungsdatei-L.txt"
JOURNAL = "Kadenzor-Journal.txt"
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer", "SUMMARY: UndefinedBehavior")
TIMEOUT = 15.0


class Failure(Exception):
    pass


def decode(data):
    return data.decode("cp1252", errors="replace")


def read_lines(path):
    try:
        with open(path, "rb") as f:
            return [l for l in decode(f.read()).replace("\r\n", "\n").split("\n")]
    except FileNotFoundError:
        return None


def grid_rows(path):
    """Rows of a grid text file: TAB after every field; a blank is an empty cell."""
    lines = read_lines(path)
    if lines is None:
        return None
    rows = []
    for line in lines:
        if not line:
            continue
        fields = line.split("\t")
        if fields and fields[-1] == "":
            fields.pop()
        rows.append([f.strip() for f in fields])
    return rows


def time_ms(text):
    """A running time as the tables show it ("1:02:03,45", "12,3", "7") in milliseconds."""
    text = text.strip()
    m = re.fullmatch(r"(?:(?:(\d+):)?(\d+):)?(\d+)(?:,(\d+))?", text)
    if not m:
        raise Failure(f"no running time: {text!r}")
    h, mi, s, frac = m.groups()
    ms = (int(h or 0) * 3600 + int(mi or 0) * 60 + int(s)) * 1000
    if frac:
        ms += int((frac + "00")[:3])
    return ms, len(frac or "")


class Journal:
    def __init__(self, path):
        self.events = []
        for line in read_lines(path) or []:
            f = line.split("\t")
            if len(f) < 7 or f[0] == "Datum":
                continue
            detail = {}
            for part in re.split(r"(?<!\\); ", f[7]) if len(f) > 7 and f[7] else []:
                k, _, v = part.partition("=")
                detail[k] = v
            tick = int(f[2]) if f[2].lstrip("-").isdigit() else None
            self.events.append({"date": f[0], "clock": f[1], "tick": tick, "event": f[3], "source": f[4],
                                "nr": f[5].strip(), "time": f[6].strip(), "detail": detail, "line": line})

    def matching(self, event, nr=None, pairs=()):
        out = []
        for e in self.events:
            if e["event"] != event or (nr is not None and e["nr"] != nr):
                continue
            if all(e["detail"].get(k) == v or (k == "Quelle" and e["source"] == v) for k, v in pairs):
                out.append(e)
        return out


class Display:
    """A private Xvfb with openbox; the display number is the first free one of the range."""

    def __init__(self, first, last, work):
        self.xvfb = None
        self.wm = None
        self.work = work
        for n in range(first, last + 1):
            if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
                continue
            log = open(os.path.join(work, f"xvfb.log"), "wb")
            proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                                     "-noreset"], stdout=log, stderr=subprocess.STDOUT,
                                    preexec_fn=die_with_harness)
            if self._wait_own_server(n, proc):
                self.xvfb, self.name = proc, f":{n}"
                break
            proc.kill()
            proc.wait()
        if not self.xvfb:
            raise Failure(f"no free X display in :{first}..:{last}")
        env = dict(os.environ, DISPLAY=self.name)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, preexec_fn=die_with_harness)
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            r = subprocess.run(["xprop", "-display", self.name, "-root", "_NET_SUPPORTING_WM_CHECK"],
                               capture_output=True, text=True)
            if "window id" in r.stdout:
                return
            time.sleep(0.05)
        self.close()
        raise Failure("openbox did not start")

    @staticmethod
    def _wait_own_server(n, proc):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            if proc.poll() is not None:
                return False
            try:
                with open(f"/tmp/.X{n}-lock") as f:
                    owner = int(f.read().strip())
                if owner == proc.pid and os.path.exists(f"/tmp/.X11-unix/X{n}"):
                    return True
                if owner != proc.pid:
                    return False
            except (FileNotFoundError, ValueError):
                pass
            time.sleep(0.02)
        return False

    def close(self):
        for p in (self.wm, self.xvfb):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()


class Scenario:
    def __init__(self, path):
        self.path = path
        self.name = os.path.splitext(os.path.basename(path))[0]
        self.settings = {}
        self.files = {}
        self.steps = []
        section = None
        with open(path, encoding="utf-8") as f:
            for number, raw in enumerate(f, 1):
                line = raw.rstrip("\n")
                head = re.fullmatch(r"\[(settings|startlist|run|file (.+))\]\s*", line)
                if head:
                    section = head.group(1)
                    if section == "startlist":
                        section = "file Startliste.txt"
                    if section.startswith("file "):
                        self.files.setdefault(section[5:], [])
                    continue
                if section and section.startswith("file "):
                    self.files[section[5:]].append(line)
                    continue
                text = line.strip()
                if not text or text.startswith("#"):
                    continue
                if section == "settings":
                    key, sep, value = text.partition("=")
                    if not sep:
                        raise Failure(f"{path}:{number}: setting without '='")
                    value = value.strip()
                    self.settings[key.strip()] = int(value, 0) if re.fullmatch(r"-?(0x[0-9a-fA-F]+|\d+)", value) \
                        and not value.startswith('"') else value.strip('"')
                elif section == "run":
                    self.steps.append((number, text))
                else:
                    raise Failure(f"{path}:{number}: line outside a section")


class Run:
    def __init__(self, scenario, app_dir, work, displays):
        self.sc = scenario
        self.app_dir = app_dir
        self.work = work
        self.folder = os.path.join(work, "prog")
        self.home = os.path.join(work, "home")
        self.map_file = os.path.join(work, "controls.map")
        self.opened_file = os.path.join(work, "opened.txt")
        self.proc = None
        self.stderr_paths = []
        self.fake_clock = None
        self.last_shot = None
        self.shots = 0
        self.read = []  # what the expectations read, shown on failure
        self.saved_runstate = None
        self.web_port = free_port()
        self.held = []
        self.prepare()
        self.display = Display(displays[0], displays[1], work)

    # --- the folder
    def prepare(self):
        os.makedirs(self.folder)
        for d in ("config/Zeitravo", ".config", ".local/share", "run", "bin", "Downloads"):
            os.makedirs(os.path.join(self.home, d), exist_ok=True)
        os.chmod(os.path.join(self.home, "run"), 0o700)
        for pattern in PROGRAM_FILES:
            found = glob.glob(os.path.join(self.app_dir, pattern))
            if not found and "*" not in pattern and pattern != "kadenzor-xls-reader":
                raise Failure(f"{pattern} missing in {self.app_dir}")
            for src in found:
                dst = os.path.join(self.folder, os.path.basename(src))
                try:
                    os.link(src, dst)
                except OSError:
                    shutil.copy2(src, dst)
        settings = dict(DEFAULT_SETTINGS)
        for key, value in self.sc.settings.items():
            settings[key] = self.web_port if value == "{WEBPORT}" else value
        lines = ["Windows Registry Editor Version 5.00", "", "[HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor]"]
        for key, value in settings.items():
            if isinstance(value, int):
                lines.append(f'"{key}"=dword:{value & 0xFFFFFFFF:08x}')
            else:
                value = value.replace("{WEBPORT}", str(self.web_port)).replace("{FOLDER}", self.folder)
                lines.append('"%s"="%s"' % (key, value.replace("\\", "\\\\").replace('"', '\\"')))
        with open(os.path.join(self.home, "config/Zeitravo/Kadenzor.reg"), "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        for name, body in self.sc.files.items():
            text = "\r\n".join(l.replace(" | ", "\t") for l in body).rstrip("\r\n") + "\r\n"
            with open(os.path.join(self.folder, name), "wb") as f:
                f.write(text.encode("cp1252"))
        # The desktop opener records what it was asked to open instead of opening it.
        for opener in ("xdg-open", "gio", "kde-open5", "gnome-open"):
            path = os.path.join(self.home, "bin", opener)
            with open(path, "w") as f:
                f.write('#!/bin/sh\nprintf "%s\\n" "$*" >> ' + shlex.quote(self.opened_file) + "\n")
            os.chmod(path, 0o755)

    # --- the program
    def env(self):
        env = dict(os.environ)
        for k in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS"):
            env.pop(k, None)
        env.update({
            "DISPLAY": self.display.name, "QT_QPA_PLATFORM": "xcb", "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local/share"),
            "XDG_RUNTIME_DIR": os.path.join(self.home, "run"), "XDG_CURRENT_DESKTOP": "",
            "PATH": os.path.join(self.home, "bin") + ":" + os.environ.get("PATH", "/usr/bin:/bin"),
            "KADENZOR_ACCEPTANCE_MAP": self.map_file, "LC_ALL": "C.UTF-8",
            # Leaks are the unit tests' business; every other report fails the scenario.
            "ASAN_OPTIONS": "detect_leaks=0:abort_on_error=0:halt_on_error=1:verify_asan_link_order=0",
            "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1",
        })
        if self.fake_clock:
            # The library of faketime preloaded into the program itself (not the faketime
            # wrapper, which would take the signals meant for the program). The monotonic and
            # boot clocks stay real, so the ticks are real.
            env.update({"TZ": self.fake_clock[1], "FAKETIME": self.fake_offset(), "LD_PRELOAD": faketime_library(),
                        "FAKETIME_DONT_FAKE_MONOTONIC": "1", "FAKETIME_NO_CACHE": "1"})
        return env

    def fake_offset(self):
        # An offset from the real clock, set once: every start and restart sees the clock
        # go on where it would be, from the moment the process starts.
        wall, zone, real = self.fake_clock
        fake = wall.replace(tzinfo=zoneinfo.ZoneInfo(zone)).timestamp()
        return f"{fake - real:+.3f}"

    def start(self):
        if self.running():
            raise Failure("start: the program is already running")
        cmd = [os.path.join(self.folder, "Kadenzor"), "--config", os.path.join(self.home, "config")]
        err_path = os.path.join(self.work, f"stderr-{len(self.stderr_paths) + 1}.txt")
        self.stderr_paths.append(err_path)
        self.proc = subprocess.Popen(cmd, cwd=self.folder, env=self.env(), stdout=subprocess.DEVNULL,
                                     stderr=open(err_path, "wb"), preexec_fn=die_with_harness)
        # The main window, or a question it asks while it is made, must have the keyboard;
        # openbox gives it the focus, or the harness asks for it as a user's click would.
        deadline = time.monotonic() + TIMEOUT * 2
        while True:
            m = self.controls(TIMEOUT * 2)
            if m["active"]:
                return
            if time.monotonic() > deadline:
                raise Failure("no window of the program became active")
            for wid in self.window_ids("^Kadenzor"):
                subprocess.run(["xdotool", "windowactivate", wid], env=self.xenv(), capture_output=True,
                               timeout=TIMEOUT)
            time.sleep(0.2)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self, sig):
        if not self.running():
            raise Failure("the program is not running")
        self.proc.send_signal(sig)
        try:
            self.proc.wait(TIMEOUT * 2)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise Failure(f"the program did not end on signal {sig}")
        if os.path.exists(self.map_file):
            os.remove(self.map_file)

    def xenv(self):
        return dict(os.environ, DISPLAY=self.display.name)

    def xdo(self, *args):
        r = subprocess.run(["xdotool", *args], env=self.xenv(), capture_output=True, text=True, timeout=TIMEOUT)
        if r.returncode != 0:
            raise Failure(f"xdotool {' '.join(args)}: {r.stderr.strip()}")
        return r.stdout

    def window_ids(self, pattern):
        # Not --onlyvisible: it misses a dialog shown before its main window under openbox.
        r = subprocess.run(["xdotool", "search", "--name", pattern], env=self.xenv(), capture_output=True,
                           text=True)
        return r.stdout.split()

    # --- the map of the controls, written by the program on request
    def controls(self, timeout=TIMEOUT):
        if not self.running():
            raise Failure("the program is not running")
        req = self.map_file + ".req"
        open(req, "w").close()
        deadline = time.monotonic() + timeout
        while os.path.exists(req):
            if time.monotonic() > deadline or not self.running():
                raise Failure("the program did not answer the request for its controls")
            time.sleep(0.01)
        m = {"focus": "", "active": "", "windows": [], "controls": {}, "cells": {}}
        with open(self.map_file, encoding="utf-8") as f:
            for line in f.read().splitlines():
                p = line.split("\t")
                if p[0] == "focus":
                    m["focus"] = p[1]
                elif p[0] == "active":
                    m["active"] = p[1]
                elif p[0] in ("window", "control"):
                    item = {"name": p[1], "class": p[2], "x": int(p[3]), "y": int(p[4]), "w": int(p[5]),
                            "h": int(p[6]), "visible": p[7] == "1", "enabled": p[8] == "1",
                            "text": unescape(p[9]), "checked": p[10] == "1"}
                    if p[0] == "window":
                        m["windows"].append(item)
                    # A dialog's control shadows the main window's of the same name.
                    if p[0] == "control" and (item["visible"] or p[1] not in m["controls"]):
                        m["controls"][p[1]] = item
                elif p[0] == "cell":
                    m["cells"][(p[1], int(p[2]), int(p[3]))] = (int(p[4]), int(p[5]), int(p[6]), int(p[7]),
                                                                  unescape(p[8]))
        return m

    def wait_map(self, predicate, what, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        while True:
            m = self.controls()
            if predicate(m):
                return m
            if time.monotonic() > deadline:
                raise Failure(f"timed out waiting until {what}; focus {m['focus']!r}, windows "
                              f"{[w['text'] for w in m['windows']]}")
            time.sleep(0.05)

    def settle(self):
        # The answer to a map request comes from the window's own event loop, after the
        # key and mouse events that went before it; twice, for handlers that post on.
        self.controls()
        self.controls()

    def screenshot(self):
        self.shots += 1
        path = os.path.join(self.work, f"screen-{self.shots:02d}.png")
        subprocess.run(["import", "-display", self.display.name, "-window", "root", path], capture_output=True,
                       timeout=TIMEOUT)
        self.last_shot = path
        return path

    # --- files
    def file(self, name):
        return os.path.join(self.folder, name)

    def protocol(self):
        rows = grid_rows(self.file(BACKUP_P))
        self.read.append(("protocol backup", rows))
        if not rows:
            raise Failure("the protocol backup is missing or empty")
        header = rows[0]
        return header, rows[1:]

    def protocol_row(self, nr):
        if not grid_rows(self.file(BACKUP_P)):
            # An empty protocol is written as an empty file.
            self.read.append(("protocol backup", []))
            return [], None
        header, rows = self.protocol()
        col = header.index("St.Nr.")
        for r in rows:
            if len(r) > col and r[col] == nr:
                return header, r
        return header, None

    def journal(self):
        j = Journal(self.file(JOURNAL))
        self.read.append(("journal", [e["line"] for e in j.events[-15:]]))
        return j

    def http(self, path):
        url = f"http://127.0.0.1:{self.web_port}{path}"
        deadline = time.monotonic() + 5
        while True:
            try:
                with urllib.request.urlopen(url, timeout=TIMEOUT) as r:
                    body = r.read().decode("utf-8", errors="replace")
                    self.read.append((url, [r.status, body[:400]]))
                    return r.status, body
            except urllib.error.HTTPError as e:
                return e.code, ""
            except OSError as e:
                # The server may still be opening its port just after the window came up.
                if time.monotonic() > deadline:
                    raise Failure(f"{url}: {e}")
                time.sleep(0.1)

    # --- the steps
    def execute(self, text):
        words = shlex.split(text)
        verb, args = words[0], words[1:]
        handler = getattr(self, "do_" + verb, None)
        if handler is None:
            raise Failure(f"unknown step {verb!r}")
        handler(args, text)

    def do_start(self, args, text):
        self.start()

    def do_restart(self, args, text):
        if self.running():
            self.stop(signal.SIGTERM)
        self.start()

    def do_kill(self, args, text):
        self.stop(signal.SIGKILL)

    def do_term(self, args, text):
        self.stop(signal.SIGTERM)

    def do_clock(self, args, text):
        # clock YYYY-MM-DD HH:MM:SS ZONE: the next start runs with this clock of day.
        if len(args) != 3:
            raise Failure("clock DATE TIME ZONE")
        datetime.datetime.strptime(args[0] + " " + args[1], "%Y-%m-%d %H:%M:%S")
        self.fake_clock = (datetime.datetime.strptime(args[0] + " " + args[1], "%Y-%m-%d %H:%M:%S"), args[2],
                           time.time())

    def do_waituntil(self, args, text):
        # waituntil DATE TIME: until the program's clock shows that moment (started from
        # `clock` early enough, a slow start-up cannot push the race past a clock change).
        if not self.fake_clock:
            raise Failure("waituntil needs a clock step before it")
        wall, zone, real = self.fake_clock
        fake0 = wall.replace(tzinfo=zoneinfo.ZoneInfo(zone)).timestamp()
        target = datetime.datetime.strptime(args[0] + " " + args[1], "%Y-%m-%d %H:%M:%S")
        at = target.replace(tzinfo=zoneinfo.ZoneInfo(zone)).timestamp() - fake0 + real
        if time.time() > at:
            raise Failure(f"the clock passed {args[0]} {args[1]} before this step: start the clock earlier")
        time.sleep(at - time.time())
        self.settle()

    def do_wait(self, args, text):
        time.sleep(float(args[0]))
        self.settle()

    def do_key(self, args, text):
        self.xdo("key", "--delay", "40", *args)
        self.settle()

    def do_keydown(self, args, text):
        self.xdo("keydown", args[0])
        self.held.append(args[0])

    def do_keyup(self, args, text):
        self.xdo("keyup", args[0])
        self.held.remove(args[0])
        self.settle()

    def do_type(self, args, text):
        self.xdo("type", "--delay", "60", text.split(None, 1)[1])
        self.settle()

    def target(self, args):
        m = self.controls()
        name = args[0]
        if len(args) >= 4 and args[1] == "cell":
            key = (name, int(args[2]), int(args[3]))
            if key not in m["cells"]:
                raise Failure(f"cell {args[2]},{args[3]} of {name} is not visible")
            x, y, w, h, _ = m["cells"][key]
        else:
            c = m["controls"].get(name)
            if not c or not c["visible"]:
                raise Failure(f"no visible control {name}")
            x, y, w, h = c["x"], c["y"], c["w"], c["h"]
        return str(x + w // 2), str(y + h // 2)

    def do_click(self, args, text):
        x, y = self.target(args)
        self.xdo("mousemove", x, y, "click", "1")
        self.settle()

    def do_dblclick(self, args, text):
        x, y = self.target(args)
        self.xdo("mousemove", x, y, "click", "--repeat", "2", "--delay", "80", "1")
        self.settle()

    def do_rightclick(self, args, text):
        x, y = self.target(args)
        self.xdo("mousemove", x, y, "click", "3")
        self.settle()

    def do_waitfor(self, args, text):
        # waitfor window TITLE | waitfor control NAME | waitfor closed TITLE
        kind, what = args[0], " ".join(args[1:])
        if kind == "window":
            self.wait_map(lambda m: any(what in (w["text"], w["name"], w["class"]) for w in m["windows"]),
                          f"window {what!r} is open")
        elif kind == "closed":
            self.wait_map(lambda m: all(what not in (w["text"], w["name"], w["class"]) for w in m["windows"]),
                          f"window {what!r} is closed")
        elif kind == "control":
            self.wait_map(lambda m: m["controls"].get(what, {}).get("visible"), f"{what} is visible")
        else:
            raise Failure("waitfor window|closed|control ...")

    def do_dismiss(self, args, text):
        # dismiss NAME: a window that may or may not be open is closed with Escape.
        what = " ".join(args)
        m = self.controls()
        if any(what in (w["text"], w["name"], w["class"]) for w in m["windows"]):
            self.xdo("key", "Escape")
            self.wait_map(lambda m: all(what not in (w["text"], w["name"], w["class"]) for w in m["windows"]),
                          f"window {what!r} is closed")

    def do_loadlist(self, args, text):
        # Ctrl+O, then the file name typed into the file dialog's name field and Enter.
        name = args[0] if args else "Startliste.txt"
        self.xdo("key", "ctrl+o")
        self.wait_map(lambda m: m["focus"] == "fileNameEdit", "the file dialog's name field has the focus")
        self.xdo("type", "--delay", "20", self.file(name))
        self.xdo("key", "Return")
        self.wait_map(lambda m: all(w["class"] != "QFileDialog" for w in m["windows"]), "the file dialog is closed")
        self.settle()

    def do_screenshot(self, args, text):
        self.screenshot()

    # --- expectations
    def do_row(self, args, text):
        # row NR COLUMN = TEXT | set | empty | = ticks [± MS];  row NR absent | present
        nr = args[0]
        header, row = self.protocol_row(nr)
        if args[1] in ("absent", "present"):
            if (row is None) != (args[1] == "absent"):
                raise Failure(f"row {nr} is {'absent' if row is None else 'present'}")
            return
        if row is None:
            raise Failure(f"no protocol row with St.Nr. {nr}")
        column = args[1]
        if column not in header:
            raise Failure(f"no column {column!r} in {header}")
        i = header.index(column)
        value = row[i] if i < len(row) else ""
        check = args[2:]
        if check == ["set"]:
            ok = value != ""
        elif check == ["empty"]:
            ok = value == ""
        elif len(check) == 2 and check[0] == "like":
            ok = fnmatch.fnmatchcase(value, check[1])
        elif check and check[0] == "=" and len(check) >= 2 and check[1] == "ticks":
            self.check_ticks(nr, value, int(check[3]) if len(check) >= 4 else 0)
            return
        elif check and check[0] == "=":
            ok = value == " ".join(check[1:])
        else:
            raise Failure("row NR COLUMN = TEXT|set|empty|like PATTERN|= ticks ± MS")
        if not ok:
            raise Failure(f"row {nr} {column} is {value!r}, expected {' '.join(check)}")

    def check_ticks(self, nr, text, tolerance):
        """The running time must be the journal's finish tick minus its start tick,
        truncated to the shown digits; the tolerance is in milliseconds."""
        j = self.journal()
        # Mass start: the one START carries no number.
        starts = j.matching("START", nr) or j.matching("START")
        finishes = j.matching("FINISH", nr)
        assigns = [e for e in j.matching("ASSIGN", nr) if "markiert" not in e["detail"]]
        if finishes:
            finish = finishes[-1]
        elif assigns:
            queued = [e for e in j.matching("QUEUED") if e["detail"].get("Nr") == assigns[-1]["detail"].get("Nr")]
            if not queued:
                raise Failure(f"the journal has no QUEUED entry for the ASSIGN of {nr}")
            finish = queued[-1]
        else:
            raise Failure(f"the journal has no FINISH for {nr}")
        before = [e for e in starts if j.events.index(e) < j.events.index(finish)]
        if not before:
            raise Failure(f"the journal has no START before the finish of {nr}")
        start = before[-1]
        diff = (finish["tick"] - start["tick"]) % (1 << 32)
        shown, digits = time_ms(text)
        unit = 10 ** (3 - digits) if digits else 1000
        expected = diff // unit * unit
        if abs(shown - expected) > tolerance:
            raise Failure(f"row {nr} Zeit {text!r} = {shown} ms, ticks give {diff} ms "
                          f"(START {start['tick']}, finish {finish['tick']}), tolerance {tolerance}")

    def do_shown(self, args, text):
        # shown NR COLUMN = TEXT | set | empty: the protocol table as the screen shows it
        m = self.controls()
        cells = {(c, r): v[4] for (g, c, r), v in m["cells"].items() if g == "SortGrid1"}
        header = {cells[(c, r)]: c for (c, r) in cells if r == 0}
        shown = sorted({r for (_, r) in cells if r > 0})
        self.read.append(("protocol on screen", [[cells.get((c, r), "") for c in sorted(header.values())]
                                                 for r in [0] + shown]))
        if "St.Nr." not in header or args[1] not in header:
            raise Failure(f"the protocol on screen shows no column St.Nr. or {args[1]}")
        row = next((r for r in shown if cells.get((header["St.Nr."], r), "").strip() == args[0]), None)
        if row is None:
            raise Failure(f"the protocol on screen shows no row {args[0]}")
        value = cells.get((header[args[1]], row), "").strip()
        check = args[2:]
        ok = value != "" if check == ["set"] else value == "" if check == ["empty"] else value == " ".join(check[1:])
        if not ok:
            raise Failure(f"row {args[0]} {args[1]} shows {value!r}, expected {' '.join(check)}")

    def do_rows(self, args, text):
        # rows = N: protocol rows with a start number
        _, rows = self.protocol()
        n = len([r for r in rows if len(r) > 1 and r[1]])
        if n != int(args[1]):
            raise Failure(f"the protocol has {n} numbered rows, expected {args[1]}")

    def do_queue(self, args, text):
        # queue count = N | queue K Nr = TEXT | queue K Zeit set
        rows = grid_rows(self.file(BACKUP_F)) or []
        self.read.append(("finish backup", rows))
        if args[0] == "count":
            if len(rows) != int(args[2]):
                raise Failure(f"the finish table has {len(rows)} rows, expected {args[2]}")
            return
        row = next((r for r in rows if r and r[0] == args[0] + "."), None)
        if row is None:
            raise Failure(f"no queued finish {args[0]}.")
        i = {"Zeit": 1, "Nr": 2}[args[1]]
        value = row[i] if i < len(row) else ""
        if args[2:] == ["set"]:
            ok = value != ""
        elif args[2:] == ["empty"]:
            ok = value == ""
        else:
            ok = value == " ".join(args[3:])
        if not ok:
            raise Failure(f"queued finish {args[0]}. {args[1]} is {value!r}, expected {' '.join(args[2:])}")

    def do_journal(self, args, text):
        # journal has|lacks EVENT [NR] [key=value...] | journal count EVENT [NR] [key=value...] = N
        j = self.journal()
        mode = args[0]
        rest = args[1:]
        want = None
        if mode == "count":
            want = int(rest[-1])
            rest = rest[:-2]
        # An event's name may have several words ("PROTOKOLL GELÖSCHT"): they are the
        # leading words in capitals; a number and key=value pairs follow.
        words = 1
        while words < len(rest) and rest[words].isalpha() and rest[words].isupper():
            words += 1
        event = " ".join(rest[:words])
        nr = None
        pairs = []
        for w in rest[words:]:
            if "=" in w:
                pairs.append(tuple(w.split("=", 1)))
            else:
                nr = w
        found = j.matching(event, nr, pairs)
        if mode == "has" and not found:
            raise Failure(f"the journal has no {' '.join(rest)}")
        if mode == "lacks" and found:
            raise Failure(f"the journal has {' '.join(rest)}: {found[0]['line']}")
        if mode == "count" and len(found) != want:
            raise Failure(f"the journal has {len(found)} × {' '.join(rest)}, expected {want}")

    def do_runstate(self, args, text):
        # runstate keep | unchanged | empty | has TEXT
        lines = read_lines(self.file(BACKUP_L))
        content = "\n".join(l for l in (lines or []) if l)
        self.read.append(("run state", lines))
        if args[0] == "keep":
            if not content:
                raise Failure("the run state is empty")
            self.saved_runstate = content
        elif args[0] == "unchanged":
            if content != self.saved_runstate:
                raise Failure(f"the run state changed from {self.saved_runstate!r} to {content!r}")
        elif args[0] == "empty":
            if content:
                raise Failure(f"the run state is {content!r}")
        elif args[0] == "has":
            if " ".join(args[1:]) not in content:
                raise Failure(f"the run state {content!r} lacks {' '.join(args[1:])!r}")

    def do_control(self, args, text):
        # control NAME enabled|disabled|visible|hidden|focused|checked|unchecked|text = TEXT
        m = self.controls()
        name, what = args[0], args[1]
        c = m["controls"].get(name)
        self.read.append(("controls", [f"focus {m['focus']}", f"{name}: {c}"]))
        if c is None:
            raise Failure(f"no control {name}")
        checks = {"enabled": c["enabled"], "disabled": not c["enabled"], "visible": c["visible"],
                  "hidden": not c["visible"], "focused": m["focus"] == name, "checked": c["checked"],
                  "unchecked": not c["checked"]}
        if what == "text":
            if c["text"] != " ".join(args[3:]):
                raise Failure(f"{name} shows {c['text']!r}, expected {' '.join(args[3:])!r}")
        elif not checks[what]:
            raise Failure(f"{name} is not {what} (focus {m['focus']!r})")

    def do_window(self, args, text):
        # window open|closed TITLE
        m = self.controls()
        title = " ".join(args[1:])
        is_open = any(title in (w["text"], w["name"], w["class"]) for w in m["windows"])
        if is_open != (args[0] == "open"):
            raise Failure(f"window {title!r} is {'open' if is_open else 'closed'}")

    def do_opened(self, args, text):
        # opened count = N | opened has TEXT
        calls = read_lines(self.opened_file) or []
        calls = [c for c in calls if c]
        self.read.append(("opener", calls))
        if args[0] == "count" and len(calls) != int(args[2]):
            raise Failure(f"the opener was called {len(calls)} times, expected {args[2]}: {calls}")
        if args[0] == "has" and not any(" ".join(args[1:]) in c for c in calls):
            raise Failure(f"the opener was not asked for {' '.join(args[1:])!r}: {calls}")

    def do_file(self, args, text):
        # file GLOB exists|missing | file GLOB contains TEXT
        found = sorted(glob.glob(os.path.join(self.folder, args[0])) +
                       glob.glob(os.path.join(self.home, args[0])))
        self.read.append(("files " + args[0], [os.path.basename(f) for f in found]))
        if args[1] == "exists" and not found:
            raise Failure(f"no file {args[0]}")
        if args[1] == "missing" and found:
            raise Failure(f"file {found[0]} exists")
        if args[1] == "contains":
            needle = " ".join(args[2:])
            if not found or not any(needle in decode(open(f, "rb").read()) for f in found):
                raise Failure(f"no file {args[0]} contains {needle!r}")

    def do_http(self, args, text):
        # http PATH status = N | http PATH contains TEXT
        status, body = self.http(args[0])
        if args[1] == "status" and status != int(args[3]):
            raise Failure(f"{args[0]} answered {status}, expected {args[3]}")
        if args[1] == "contains" and " ".join(args[2:]) not in body:
            raise Failure(f"{args[0]} lacks {' '.join(args[2:])!r}")

    def do_alive(self, args, text):
        if not self.running():
            raise Failure(f"the program ended with {self.proc.returncode}")

    # --- the end
    def finish(self):
        for key in list(self.held):
            try:
                self.xdo("keyup", key)
            except Failure:
                pass
        if self.running():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(TIMEOUT * 2)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.display.close()

    def sanitizer_reports(self):
        reports = []
        for path in self.stderr_paths:
            with open(path, "rb") as f:
                text = f.read().decode("utf-8", errors="replace")
            if any(mark in text for mark in SANITIZER_MARKS):
                reports.append((path, text))
        return reports


def faketime_library():
    found = glob.glob("/usr/lib/*/faketime/libfaketime.so.1") + glob.glob("/usr/lib/faketime/libfaketime.so.1")
    if not found:
        raise Failure("libfaketime.so.1 not found (package faketime)")
    return found[0]


def die_with_harness():
    # Killed with the harness (a ctest time-out sends SIGKILL), so that no display stays behind.
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def unescape(text):
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), text)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("scenario")
    parser.add_argument("--app", default=os.path.join(here, "../../build/test/app"),
                        help="folder of the built Kadenzor and its files (default build/test/app)")
    parser.add_argument("--work", help="folder for this run (default: a new one under /tmp); emptied first")
    parser.add_argument("--displays", default=os.environ.get("KADENZOR_ACCEPTANCE_DISPLAYS", "40-59"),
                        help="range of X display numbers to choose a free one from (default 40-59)")
    opts = parser.parse_args()
    scenario = Scenario(opts.scenario)
    if opts.work:
        shutil.rmtree(opts.work, ignore_errors=True)
        os.makedirs(opts.work)
        work = opts.work
    else:
        work = tempfile.mkdtemp(prefix=f"kadenzor-{scenario.name}-")
    first, last = (int(x) for x in opts.displays.split("-"))
    run = None
    step = None
    try:
        run = Run(scenario, os.path.abspath(opts.app), work, (first, last))
        for number, text in scenario.steps:
            step = (number, text)
            run.execute(text)
        step = None
        if run.running():
            run.settle()
        run.finish()
        reports = run.sanitizer_reports()
        if reports:
            path, text = reports[0]
            raise Failure(f"sanitizer report in {path}:\n{text[-3000:]}")
        print(f"PASS {scenario.name} ({len(scenario.steps)} steps) in {work}")
        return 0
    except Exception as e:  # a scenario's mistake or the program's: reported alike, never a stray display
        where = f"{scenario.path}:{step[0]}: {step[1]}" if step else scenario.path
        print(f"FAIL {where}\n  {'' if isinstance(e, Failure) else type(e).__name__ + ': '}{e}")
        if run:
            try:
                if run.display.xvfb and run.display.xvfb.poll() is None:
                    print(f"  last screenshot: {run.screenshot()}")
                elif run.last_shot:
                    print(f"  last screenshot: {run.last_shot}")
            except (OSError, subprocess.TimeoutExpired):
                pass
            last = {}
            for what, rows in run.read:
                last.pop(what, None)
                last[what] = rows
            for what, rows in list(last.items())[-4:]:
                print(f"  read {what}:")
                for r in rows or ["(nothing)"]:
                    print(f"    {r}")
            run.finish()
            for path, text in run.sanitizer_reports():
                print(f"  sanitizer report in {path}:\n{text[-3000:]}")
            print(f"  program folder: {run.folder}")
        return 1
    finally:
        if run:
            run.finish()


if __name__ == "__main__":
    sys.exit(main())
