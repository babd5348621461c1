#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The web monitor's page in headless Chromium, driven by Selenium.

The sink is fed by http_sink_harness (one thread, in order, as the engine
does) from a generated recording; the checks are those a user would make:
every event is in the log, a slow stream's events appear within a second,
hostile received texts show literally and run nothing, positions become
markers, a finished call's speech plays, and two browsers (one of them
stalled) plus a peer that never reads do not slow the decoding thread.

  web_monitor_test.py --harness PATH [--screenshot PNG]
  web_monitor_test.py --url http://127.0.0.1:8073/ [--screenshot PNG]

--url points the checks at a running zelvane instead of the harness (only
those that need no fixture of ours: the API and its bad requests by curl,
every kept event in the page, no received script run).
Exits 77 (skipped) when Chromium, its driver or Selenium are missing.
"""
import argparse
import json
import math
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import wave

try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    print("SKIP: python3-selenium is not installed")
    sys.exit(77)

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
DRIVER = shutil.which("chromedriver") or ("/usr/bin/chromedriver" if os.path.exists("/usr/bin/chromedriver") else None)
# Tiles from a port nothing listens on: the test never leaves the machine,
# and the map must show its grid and markers without tiles.
NO_TILES = "http://127.0.0.1:9/{z}/{x}/{y}.png"
# A page text that would run a script if it were ever taken for markup.
HOSTILE_PAGE = "<img src=x onerror=alert(1)>"

HOSTILE = [
    "<img src=x onerror=alert(1)>",
    "<script>window.__pwned=1</script>",
    "\"><svg onload=\"window.__pwned=2\">",
    "&lt;b&gt;not bold&lt;/b&gt; & <b>bold?</b>",
]

failures = []


def check(ok, what):
    if ok:
        print("ok   " + what)
    else:
        print("FAIL " + what)
        failures.append(what)
    return ok


def write_wav(path, seconds, freq=440.0):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        n = int(seconds * 8000)
        w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * freq * i / 8000))) for i in range(n)))


def recording():
    """A varied recording: DMR calls on two channels and both slots with
    aliases, talker changes, positions and speech files; System Fusion calls
    with positions; POCSAG pages (hostile texts among them) and a repeat;
    signal, csbk and data reports."""
    events = []
    t = [0.0]

    def add(**e):
        t[0] += 0.25
        e.setdefault("time", round(t[0], 3))
        events.append(e)

    call_id = 0
    frequencies = [439012500, 438812500]
    for i in range(16):
        call_id += 1
        f = frequencies[i % 2]
        slot = 1 + (i // 2) % 2
        base = dict(protocol="DMR", slot=slot, type="group" if i % 4 else "direct", source=2620100 + i,
                    target=91 + i % 3, frequency=f, call_id=call_id, source_name="Op %d" % i)
        add(event="call", speech=0.6, **base)
        upd = dict(base, alias=HOSTILE[i % len(HOSTILE)] if i % 5 == 0 else "DL%dABC" % i)
        if i % 3 == 0:
            upd.update(lat=50.0 + i * 0.01, lon=8.0 + i * 0.02)
        add(event="call", speech=0.6, **upd)
        if i == 6:  # a talker change within the call
            add(event="call", speech=0.4, **dict(base, source=2620999, source_name="Late talker"))
        end = dict(base, duration=1.5)
        if i in (2, 7):
            end["audio"] = "call-%d.wav" % call_id
        add(event="call-end", **end)
    for i in range(6):
        call_id += 1
        base = dict(protocol="YSF", mode="V/D mode 2", source="DG%dXYZ" % i, target="ALL", up="", down="",
                    frequency=430612500, call_id=call_id, radio="FT-%d" % i)
        add(event="call", lat=48.1 + i * 0.05, lon=11.5 + i * 0.03, **base)
        add(event="call-end", duration=2.0, **base)
    for i in range(14):
        msg = HOSTILE[i % len(HOSTILE)] if i % 3 == 0 else "Page number %d: meet at the mast" % i
        add(protocol="POCSAG", event="page", baud=1200, address=1234560 + i, function=i % 4, message=msg,
            frequency=439987500)
        if i == 4:
            add(protocol="POCSAG", event="page-repeat", baud=1200, address=1234564, function=0, message=msg,
                repeats=2, frequency=439987500)
    add(protocol="POCSAG", event="page", baud=512, address=99, function=1, message="", frequency=439987500)
    add(protocol="DMR", event="signal", summary="base station, colour code 1", frequency=439012500)
    add(protocol="DMR", event="csbk", summary="aloha, " + HOSTILE[0], frequency=438812500)
    add(protocol="DMR", event="data", summary="position report", lat=51.5, lon=7.4,
        extra={"source": 2620555}, frequency=439012500)
    # Two calls still on the air when the recording ends: one with a hostile
    # alias and a talker change.
    open_dmr = dict(protocol="DMR", slot=1, type="group", source=2620777, target=91, frequency=439012500,
                    call_id=call_id + 1, source_name="Op open", target_name="Local")
    add(event="call", **open_dmr)
    add(event="call", alias=HOSTILE[0], **open_dmr)
    add(event="call", alias=HOSTILE[0], **dict(open_dmr, source=2620778, source_name="Second talker"))
    add(protocol="YSF", event="call", mode="V/D mode 2", source="DO1OPEN", target="ALL", up="", down="",
        frequency=430612500, call_id=call_id + 2, lat=48.4, lon=11.9)
    return events


def expected_text(e):
    if e["protocol"] == "POCSAG":
        return e["message"] or "(tone)"
    if e.get("summary"):
        return e["summary"]
    return str(e["source"])


def marker_keys(events):
    keys = set()
    for e in events:
        if "lat" in e:
            if e["protocol"] == "YSF":
                keys.add("YSF " + e["source"])
            else:
                keys.add("DMR " + str(e.get("source", e.get("extra", {}).get("source"))))
    return keys


class Harness:
    def __init__(self, path, events, folder, pace=0.0, wait_clients=0):
        self.events_path = os.path.join(folder, "events-%s.jsonl" % pace)
        with open(self.events_path, "w") as f:
            for e in events:
                f.write(json.dumps(e) + "\n")
        cmd = [path, "--events", self.events_path, "--speech", os.path.join(folder, "speech.wav"), "--pace", str(pace),
               "--audio-dir", os.path.join(folder, "speech"), "--map-tiles", NO_TILES, "--http", "127.0.0.1:0"]
        if wait_clients:
            cmd += ["--wait-clients", str(wait_clients)]
        self.proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, text=True)
        self.sent = {}
        self.lines = []
        self.done = threading.Event()
        self.url = None
        ready = threading.Event()

        def read():
            for line in self.proc.stdout:
                line = line.strip()
                self.lines.append(line)
                if line.startswith("listening "):
                    self.url = line.split(" ", 1)[1]
                    ready.set()
                elif line.startswith("sent "):
                    _, seq, ms = line.split()
                    self.sent[int(seq)] = int(ms)
                elif line.startswith("take_max_ms="):
                    self.summary = dict(kv.split("=") for kv in line.split())
                elif line == "lingering":
                    self.done.set()
            ready.set()

        threading.Thread(target=read, daemon=True).start()
        if not ready.wait(20) or not self.url:
            raise RuntimeError("the harness did not start: %s" % self.lines)

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        return self.proc.wait(20)


def browser(profile_root):
    opts = webdriver.ChromeOptions()
    opts.binary_location = CHROMIUM
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--disable-dev-shm-usage", "--autoplay-policy=no-user-gesture-required", "--window-size=1400,1100",
                 "--user-data-dir=" + tempfile.mkdtemp(dir=profile_root)]:
        opts.add_argument(flag)
    return webdriver.Chrome(service=Service(executable_path=DRIVER), options=opts)


def wait(driver, what, predicate, seconds=15):
    try:
        WebDriverWait(driver, seconds, poll_frequency=0.05).until(lambda d: predicate(d))
        return True
    except Exception:
        return check(False, what + " (timed out)")


def row_count(d):
    return d.execute_script("return document.querySelectorAll('#log-rows tr').length")


def check_full_recording(driver, harness, events, shown, screenshot):
    driver.get(harness.url)
    wait(driver, "all %d events arrive" % len(shown), lambda d: row_count(d) == len(shown))
    wait(driver, "the page hears that the input ended", lambda d: "ended" in d.find_element(By.ID, "status").text)
    rows = driver.execute_script(
        "return [...document.querySelectorAll('#log-rows tr')].map(r => [Number(r.dataset.seq), r.textContent])")
    check([seq for seq, _ in rows] == list(range(len(shown), 0, -1)), "the log holds every event, newest first")
    texts = {seq: text for seq, text in rows}
    missing = [e for i, e in enumerate(shown) if expected_text(e) not in texts.get(i + 1, "")]
    check(not missing, "each row shows its event's text (missing: %s)" % missing[:3])
    check("page-repeat" not in "".join(texts.values()), "page repeats are not listed")

    # Hostile texts: shown as the characters received, nothing of theirs runs.
    body = driver.execute_script("return document.body.textContent")
    for text in HOSTILE:
        check(text in body, "hostile text shows literally: %s" % text)
    check(driver.execute_script("return document.querySelectorAll('#log-rows img, #now img, #log-rows svg, "
                                "#log-rows script, #now script, #log-rows b').length") == 0,
          "no element made of received text")
    check(driver.execute_script("return window.__pwned === undefined"), "no script of a received text ran")
    try:
        driver.switch_to.alert
        check(False, "no alert opened")
    except NoAlertPresentException:
        check(True, "no alert opened")
    # Now: one row per channel and slot; the talker change is counted.
    channels = driver.execute_script("return [...document.querySelectorAll('#now-rows tr')].map(r => r.dataset.channel)")
    want = {"%d/%s" % (e.get("frequency", 0), e.get("slot", 1) if e["protocol"] == "DMR" else "-") for e in shown}
    check(sorted(channels) == sorted(want), "one now row per channel and slot (%s)" % channels)
    last = driver.execute_script("return [...document.querySelectorAll('#now-rows td.last')].map(t => t.textContent)")
    check(any("call" in t and "2620" in t for t in last), "the now panel says what each channel last carried")
    active = driver.execute_script(
        "return [...document.querySelectorAll('#now-rows tr.active')].map(r => [r.dataset.channel, "
        "r.querySelector('td.from').textContent, r.querySelector('td.alias').textContent, "
        "r.querySelector('td.talkers').textContent, r.querySelector('td.duration').textContent])")
    check(sorted(a[0] for a in active) == ["430612500/-", "439012500/1"], "the calls still open are current (%s)"
          % active)
    dmr = [a for a in active if a[0] == "439012500/1"]
    check(dmr and dmr[0][1].startswith("2620778 Second talker") and dmr[0][2] == HOSTILE[0]
          and dmr[0][3] == "2: 2620777 \u2192 2620778" and dmr[0][4] == "0.8 s",  # the input ended 0.75 s into it
          "the open call shows its talker, alias, talker change and duration (%s)" % dmr)

    # Map: one marker per source with a position.
    keys = driver.execute_script("return [...document.querySelectorAll('.marker')].map(m => m.dataset.source)")
    check(sorted(keys) == sorted(marker_keys(events)), "one marker per source with a position (%d)" % len(keys))
    check(driver.execute_script("return document.getElementById('map-grid').width > 0"), "the map draws its grid")

    # Filter and search.
    Select(driver.find_element(By.ID, "protocol")).select_by_value("POCSAG")
    visible = driver.execute_script("return [...document.querySelectorAll('#log-rows tr')].filter(r => !r.hidden)"
                                    ".map(r => r.dataset.protocol)")
    check(visible and set(visible) == {"POCSAG"} and len(visible) == sum(e["protocol"] == "POCSAG" for e in shown),
          "the protocol filter shows only POCSAG")
    Select(driver.find_element(By.ID, "protocol")).select_by_value("")
    driver.find_element(By.ID, "search").send_keys("meet at the mast")
    n = driver.execute_script("return [...document.querySelectorAll('#log-rows tr')].filter(r => !r.hidden).length")
    check(n == sum("meet at the mast" in e.get("message", "") for e in shown), "the text search finds the pages")
    driver.find_element(By.ID, "search").clear()
    driver.execute_script("document.getElementById('search').dispatchEvent(new Event('input'))")

    # A finished call's speech file plays.
    buttons = driver.find_elements(By.CSS_SELECTOR, "#log-rows button.play")
    check(len(buttons) == 2, "a play button for each call with a speech file")
    if buttons:
        driver.execute_script("arguments[0].scrollIntoView()", buttons[-1])
        buttons[-1].click()
        ok = wait(driver, "the audio element loads", lambda d: d.execute_script(
            "const a = document.querySelector('#log-rows audio'); return a && (a.readyState >= 1 || a.error)"))
        if ok:
            state = driver.execute_script(
                "const a = document.querySelector('#log-rows audio'); return [a.error ? a.error.code : 0, a.duration]")
            check(state[0] == 0 and abs(state[1] - 1.5) < 0.05, "the speech file is a valid WAV of 1.5 s (%s)" % state)
        head = driver.execute_async_script(
            "const done = arguments[0]; fetch(document.querySelector('#log-rows audio').src)"
            ".then(r => r.arrayBuffer()).then(b => done(String.fromCharCode(...new Uint8Array(b.slice(0, 12)))))"
            ".catch(e => done(String(e)))")
        check(head.startswith("RIFF") and head.endswith("WAVE"), "the audio route serves the WAV file")
    status = driver.find_element(By.ID, "status").text
    check("ended" in status, "the page says the input ended (%s)" % status)
    driver.execute_script("window.scrollTo(0, 0); document.getElementById('log-panel').scrollTop = 0")
    if screenshot:
        os.makedirs(os.path.dirname(os.path.abspath(screenshot)), exist_ok=True)
        driver.save_screenshot(screenshot)
        check(os.path.getsize(screenshot) > 10000, "screenshot written to %s" % screenshot)


def curl(url, *extra):
    """Status and body of one request by curl."""
    out = subprocess.run(["curl", "-s", "-S", "--max-time", "10", "-o", "-", "-w", "\n%{http_code}", *extra, url],
                         capture_output=True)
    body, _, status = out.stdout.rpartition(b"\n")
    return int(status or 0), body


def check_api_with_curl(url, shown=None):
    """The API from the command line, and bad requests that must each get a
    clean 4xx, not a page, not a crash."""
    if not shutil.which("curl"):
        return check(False, "curl is installed")
    base = url.rstrip("/")
    status, body = curl(base + "/api/events")
    lines = [json.loads(line) for line in body.decode().splitlines()]
    check(status == 200 and [e["seq"] for e in lines] == list(range(lines[0]["seq"], lines[0]["seq"] + len(lines)))
          if lines else status == 200, "curl: /api/events gives JSON Lines with consecutive seq")
    if shown is not None:
        check(len(lines) == len(shown), "curl: every event of the recording (%d)" % len(lines))
        status, body = curl(base + "/api/events?since=%d" % (len(shown) - 3))
        check(status == 200 and [json.loads(x)["seq"] for x in body.decode().splitlines()] ==
              [len(shown) - 2, len(shown) - 1, len(shown)], "curl: since=N gives the events after N")
    status, body = curl(base + "/api/stream", "--max-time", "2")
    check(b"event: event\ndata: {" in body if lines else status == 200,
          "curl: /api/stream speaks Server-Sent Events")
    bad = [
        ([base + "/no/such/route"], 404),
        ([base + "/api/calls/xyz/audio"], 404),
        ([base + "/api/calls/18446744073709551616/audio"], 404),
        ([base + "/api/calls/424242/audio"], 404),
        ([base + "/api/calls/../../../etc/passwd", "--path-as-is"], 400),
        ([base + "/%2e%2e/%2e%2e/etc/passwd", "--path-as-is"], 400),
        ([base + "/api/events?since=NaN"], 400),
        ([base + "/" + "a" * 9000], 414),
        ([base + "/api/events", "-X", "POST", "--data-binary", "x" * 100000, "-H", "Expect:"], 413),
        ([base + "/api/events", "-X", "DELETE"], 405),
    ]
    for args, want in bad:
        status, body = curl(*args)
        check(status == want and b"<" not in body and b"root:" not in body,
              "curl: %s %s gives %d (got %d)" % (" ".join(a[:20] for a in args[1:]), args[0][len(base):][:40], want,
                                                 status))
    status, _ = curl(base + "/api/events")
    check(status == 200, "curl: the server still serves after the bad requests")


def stalled_peer(url):
    """A client that asks for the live stream and never reads a byte."""
    host, port = url.split("//")[1].rstrip("/").split(":")
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.connect((host, int(port)))
    s.sendall(b"GET /api/stream HTTP/1.1\r\nHost: x\r\n\r\n")
    return s


def check_live(harness_path, folder, profiles):
    events = []
    call = 1000
    for i in range(24):
        call += 1
        if i % 3 == 2:
            events.append(dict(protocol="POCSAG", event="page", baud=1200, address=777000 + i, function=0,
                               message="live page %d " % i + "x" * 16000, time=i))
        else:
            base = dict(protocol="DMR", slot=1 + i % 2, type="group", source=3100 + i, target=1, call_id=call,
                        frequency=0, time=i)
            events.append(dict(event="call", speech=0.2, **base))
            events.append(dict(event="call-end", duration=0.2, **base))
    pace = 0.1
    a = browser(profiles)
    b = browser(profiles)
    harness = Harness(harness_path, events, folder, pace=pace, wait_clients=4)
    peer = None
    try:
        a.get(harness.url)
        wait(a, "the live page connects", lambda d: "live" in d.find_element(By.ID, "status").text)
        a.find_element(By.ID, "listen").click()  # the speech stream: the second client of page A
        b.get(harness.url)
        wait(b, "the second page connects", lambda d: "live" in d.find_element(By.ID, "status").text)
        # Page B stalls: frozen as a browser freezes a background tab, it
        # runs no task and takes nothing from its stream.
        b.execute_cdp_cmd("Page.setWebLifecycleState", {"state": "frozen"})
        peer = stalled_peer(harness.url)
        check(harness.done.wait(60), "the paced replay ended")
        delays = a.execute_script(
            "return [...document.querySelectorAll('#log-rows tr')].map(r => [Number(r.dataset.seq), "
            "Number(r.dataset.arrived)])")
        late = [(seq, arrived - harness.sent.get(seq, 0)) for seq, arrived in delays
                if arrived - harness.sent.get(seq, 0) > 1000]
        check(len(delays) == len(events), "the live page got every event (%d of %d)" % (len(delays), len(events)))
        worst = max((arrived - harness.sent.get(seq, 0) for seq, arrived in delays), default=-1)
        check(not late, "every event appeared within a second (worst %d ms)" % worst)
        # A take() that waited on a stalled peer would wait for the server's
        # write timeout (seconds); the bounds leave room for a busy machine.
        take_max = float(harness.summary["take_max_ms"])
        check(take_max < 500, "take() never waited on the clients (slowest %.3f ms)" % take_max)
        span = (max(harness.sent.values()) - min(harness.sent.values())) / 1000
        nominal = pace * (len(events) - 1)
        check(span < nominal + 2.0, "the replay kept its pace with a stalled page and peer (%.2f s, nominal %.2f s)"
              % (span, nominal))
        b.execute_cdp_cmd("Page.setWebLifecycleState", {"state": "active"})
        wait(b, "the thawed page catches up", lambda d: row_count(d) == len(events))
        pieces = int(a.find_element(By.ID, "listen").get_attribute("data-pieces") or 0)
        check(pieces > 0, "the live speech played through Web Audio (%d pieces)" % pieces)
        print("live: worst delay %d ms, take() slowest %.3f ms, replay %.2f s" % (worst, take_max, span))
    finally:
        if peer:
            peer.close()
        for d in (a, b):
            try:
                d.quit()
            except Exception:
                pass
        check(harness.stop() == 0, "the live harness ended cleanly")


def check_running(url, screenshot):
    """The checks that need no fixture of ours, against a running zelvane
    that serves a finished input (zelvane --http PORT recording.wav)."""
    check_api_with_curl(url)
    _, body = curl(url.rstrip("/") + "/api/events")
    kept = len(body.decode().splitlines())
    profiles = tempfile.mkdtemp(prefix="web_monitor_test_")
    driver = browser(profiles)
    try:
        driver.get(url)
        wait(driver, "the page shows all %d events" % kept, lambda d: row_count(d) == kept, 30)
        check(driver.execute_script("return window.__pwned === undefined"), "no script of a received text ran")
        if screenshot:
            driver.save_screenshot(screenshot)
    finally:
        driver.quit()
        shutil.rmtree(profiles, ignore_errors=True)
    print("%d checks failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


def check_zelvane(zelvane, airmint, screenshot):
    """zelvane itself on a recording airmint makes: a DMR call whose alias is
    markup and which carries a position, a System Fusion call with a
    position, and a page whose text is markup; served after the input ended."""
    folder = tempfile.mkdtemp(prefix="web_monitor_zelvane_")
    proc = None
    try:
        parts = [
            ["--source", "2001", "--target", "9", "--superframes", "6", "--alias", "<b>x</b>", "--position",
             "48.1,11.5"],
            ["-p", "ysf", "--source", "N0CALL", "--target", "ALL", "--position", "51.5,-0.125"],
            ["-p", "pocsag", "--page", "1234567:" + HOSTILE_PAGE],
        ]
        recording = os.path.join(folder, "in.f32")
        with open(recording, "wb") as f:
            for args in parts:
                f.write(subprocess.run([airmint] + args, check=True, stdout=subprocess.PIPE).stdout)
                f.write(bytes(4 * 24000))
        speech = os.path.join(folder, "speech")
        proc = subprocess.Popen([zelvane, "-j", "--http", "127.0.0.1:0", "--map-tiles", NO_TILES, "-a", speech,
                                 "-f", "f32", "-r", "48000", recording],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        first = proc.stderr.readline()
        check(first.startswith("zelvane: web monitor at http://127.0.0.1:"), "zelvane names its web monitor (%s)"
              % first.strip())
        url = first.split(" at ", 1)[1].strip()
        ended = proc.stderr.readline()
        check("serves on port" in ended, "zelvane keeps serving after the input ended (%s)" % ended.strip())
        check_api_with_curl(url)
        _, body = curl(url.rstrip("/") + "/api/events")
        served = [json.loads(line) for line in body.decode().splitlines()]
        check(any(e.get("alias") == "<b>x</b>" for e in served), "the hostile alias reached the API")
        profiles = tempfile.mkdtemp(prefix="web_monitor_test_")
        driver = browser(profiles)
        try:
            driver.get(url)
            wait(driver, "the page shows all %d events" % len(served), lambda d: row_count(d) == len(served), 30)
            body = driver.execute_script("return document.body.textContent")
            check("<b>x</b>" in body and HOSTILE_PAGE in body, "received markup shows as text")
            check(driver.execute_script("return document.querySelectorAll('#log-rows b, #now b, #log-rows img').length")
                  == 0, "no element made of received text")
            check(driver.execute_script("return window.__pwned === undefined"), "no script of a received text ran")
            keys = driver.execute_script("return [...document.querySelectorAll('.marker')].map(m => m.dataset.source)")
            check(sorted(keys) == ["DMR 2001", "YSF N0CALL"], "a marker for each source with a position (%s)" % keys)
            buttons = driver.find_elements(By.CSS_SELECTOR, "#log-rows button.play")
            check(len(buttons) == 2, "a play button for each call's speech file (%d)" % len(buttons))
            if buttons:
                driver.execute_script("arguments[0].scrollIntoView()", buttons[0])
                buttons[0].click()
                wait(driver, "the audio element loads", lambda d: d.execute_script(
                    "const a = document.querySelector('#log-rows audio'); return a && (a.readyState >= 1 || a.error)"))
                state = driver.execute_script(
                    "const a = document.querySelector('#log-rows audio'); return [a.error ? a.error.code : 0, "
                    "a.duration]")
                check(state[0] == 0 and state[1] > 0.5, "the call's speech file plays as a WAV (%s)" % state)
            if screenshot:
                driver.save_screenshot(screenshot)
        finally:
            driver.quit()
            shutil.rmtree(profiles, ignore_errors=True)
    finally:
        if proc:
            proc.send_signal(signal.SIGINT)
            try:
                check(proc.wait(20) == 130, "Ctrl-C ends the lingering zelvane with status 130")
            except subprocess.TimeoutExpired:
                proc.kill()
                check(False, "zelvane ended on Ctrl-C")
        shutil.rmtree(folder, ignore_errors=True)
    print("%d checks failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--harness")
    ap.add_argument("--screenshot")
    ap.add_argument("--url")
    ap.add_argument("--zelvane")
    ap.add_argument("--airmint")
    args = ap.parse_args()
    if not CHROMIUM or not DRIVER:
        print("SKIP: chromium and chromium-driver are needed")
        return 77
    if args.url:
        return check_running(args.url, args.screenshot)
    if args.zelvane:
        return check_zelvane(args.zelvane, args.airmint, args.screenshot)
    if not args.harness:
        ap.error("give --harness PATH or --url URL")
    folder = tempfile.mkdtemp(prefix="web_monitor_test_")
    try:
        os.makedirs(os.path.join(folder, "speech"))
        write_wav(os.path.join(folder, "speech.wav"), 2.0, 300)
        events = recording()
        shown = [e for e in events if e["event"] != "page-repeat"]
        for e in events:
            if e.get("audio"):
                write_wav(os.path.join(folder, "speech", e["audio"]), 1.5)
        harness = Harness(args.harness, events, folder)
        check(harness.done.wait(30), "the replay ended and the sink lingers")
        check_api_with_curl(harness.url, shown)
        driver = browser(folder)
        try:
            check_full_recording(driver, harness, events, shown, args.screenshot)
        finally:
            driver.quit()
            check(harness.stop() == 0, "the harness ended cleanly on SIGTERM")
        check_live(args.harness, folder, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        print("%d checks failed" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
