#!/usr/bin/python3
"""dmm log --http in a real browser (Debian's headless Chromium through Selenium), while
`dmm simulate --script tour` goes through every function: the page shows each decoded reading's
display text and unit, the chart grows, the CSV it downloads is the logger's CSV file, the
routes' bounds hold, and beyond 127.0.0.1 the token is asked, kept in a cookie and survives a
reload. Screenshots at phone and desktop width go to the work folder.

Usage: web_page.py DMM [SCREENSHOT_DIR]"""
import json
import os
import re
import shutil
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from web_common import Bench, browser, check, get, text, wait_for  # noqa: E402

# Every (display, unit) the page shows, in order, as the page's own script sets them.
WATCH = """
window.shown = [];
const note = () => window.shown.push([document.getElementById('display').textContent,
                                      document.getElementById('unit').textContent]);
new MutationObserver(note).observe(document.getElementById('display'),
                                   {childList: true, characterData: true, subtree: true});
"""

LEFTS = "return [...document.querySelectorAll('section')].map(s => s.getBoundingClientRect().left)"


def tour(d, bench):
    d.get(bench.url)
    wait_for(lambda: text(d, "display") not in ("", "----"), 15, "a reading on the page")
    check(d.title == "58-4410C Interface Program Ver: 3.00", "the page's title is the window's")
    d.execute_script(WATCH)
    points = int(d.find_element("id", "chart").get_attribute("data-points"))
    time.sleep(4)
    bench.settle()
    time.sleep(0.5)
    shown = d.execute_script("return window.shown")
    rows = [[r["display"], r["unit"]] for r in bench.rows()]
    # Each decoded frame is recorded: what the page showed is a run of the rows, in order.
    inner = shown[1:]
    found = any(rows[i:i + len(inner)] == inner for i in range(len(rows) - len(inner) + 1))
    check(len(inner) >= 40 and found,
          "the page showed the display and unit of every one of %d readings" % len(inner))
    check(len({u for _, u in inner}) >= 8, "the tour went through %d units"
          % len({u for _, u in inner}))
    check(d.execute_script("return performance.getEntriesByType('resource')"
                           ".every(e => e.name.startsWith(location.origin))"), "nothing fetched elsewhere")
    grown = int(d.find_element("id", "chart").get_attribute("data-points"))
    check(grown > points or grown == 500, "the chart grew (%d to %d points)" % (points, grown))
    return rows


def download(d, bench, where):
    d.find_element("id", "csv").click()
    path = os.path.join(where, "readings.csv")
    wait_for(lambda: os.path.exists(path) and not os.path.exists(path + ".crdownload"), 30,
             "the download")
    with open(path, "rb") as a, open(bench.rows_file, "rb") as b:
        check(a.read() == b.read(), "the CSV downloaded is the CSV file dmm log wrote")


def replay(port, rows):
    """A page that reconnects after row N gets the rows after it; after another generation, a
    fresh start. The meter is paused: nothing else comes."""
    for last, first in [("1-%d" % (rows - 3), "id: 1-%d\nevent: row" % (rows - 2)),
                        ("7-%d" % (rows - 3), "id: 1-%d\nevent: refresh" % rows)]:
        with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
            s.sendall(b"GET /events HTTP/1.1\r\nLast-Event-ID: %s\r\n\r\n" % last.encode())
            data = b""
            while data.count(b"\n\n") < 3:
                data += s.recv(65536)
        events = data.decode().split("\r\n\r\n", 1)[1].split("\n\n")
        check(events[1].startswith(first), "after %s the stream starts with %s" % (last, first))


def bounds(port):
    check(get(port, "/", "X-Big: %s\r\n" % ("y" * 9000))[0] == 431, "a head over 8 KiB gets 431")
    for path in ["/nothing", "/../etc/passwd", "/api/../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd",
                 "/api%2Fstatus", "/api/reading/..%2f..%2fstatus", "/api/%5c..", "/events/x"]:
        check(get(port, path)[0] == 404, "%s gets 404" % path)
    status, head, body = get(port, "/api/rows?since=0&limit=1001")
    check(status == 400, "limit over 1,000 is refused")
    status, head, body = get(port, "/api/rows?since=2&limit=3")
    rows = json.loads(body)
    check(status == 200 and [r["no"] for r in rows["rows"]] == [3, 4, 5] and rows["next"] == 5,
          "/api/rows since and limit")
    status, head, body = get(port, "/api/status")
    s = json.loads(body)
    check(set(s) >= {"title", "link", "rows", "first", "last", "clients"}, "/api/status keys")
    status, head, body = get(port, "/api/reading")
    r = json.loads(body)
    check(set(r) == {"no", "time", "function", "display", "unit", "value", "base_unit", "range",
                     "judge", "link"}, "/api/reading: the MQTT payload's keys and link")


def token(dmm, work, d):
    state = os.path.join(work, "state")
    env = dict(os.environ, XDG_STATE_HOME=state)
    bench = Bench(dmm, os.path.join(work, "wide"), 20, http="0.0.0.0:0", env=env)
    try:
        m = re.search(r"\?token=([0-9a-f]+)", bench.url)
        check(m is not None, "beyond 127.0.0.1 the address carries a token")
        secret = m.group(1)
        with open(os.path.join(state, "dmm-interface", "http-token")) as f:
            check(f.read().strip() == secret, "the token is kept in the state folder")
        check(bench.stderr().count(secret) == 1, "the token is printed once")
        port = bench.port
        check(get(port, "/")[0] == 401, "without the token: 401")
        check(get(port, "/api/status")[0] == 401, "the API without the token: 401")
        check(get(port, "/?token=" + "0" * len(secret))[0] == 401, "a wrong token: 401")
        status, head, _ = get(port, "/?token=" + secret)
        check(status == 200 and "dmm_token=" + secret in head, "with it: 200 and a cookie")
        check(get(port, "/api/reading", "Authorization: Bearer %s\r\n" % secret)[0] == 200,
              "a script gives it as a bearer token")
        d.get("http://127.0.0.1:%d/?token=%s" % (port, secret))
        wait_for(lambda: text(d, "link") == "live", 15, "the page live with the token")
        d.get("http://127.0.0.1:%d/" % port)
        wait_for(lambda: text(d, "link") == "live", 15, "the page live through its cookie")
        before = text(d, "count")
        d.refresh()
        wait_for(lambda: text(d, "link") == "live" and text(d, "count") != before, 15,
                 "the page working after a reload")
    finally:
        bench.stop()


def main():
    dmm = sys.argv[1]
    shots = sys.argv[2] if len(sys.argv) > 2 else None
    work = tempfile.mkdtemp()
    downloads = os.path.join(work, "downloads")
    os.makedirs(downloads)
    bench = Bench(dmm, work, 20)
    d = browser(downloads)
    try:
        replay(bench.port, len(tour(d, bench)))
        bounds(bench.port)
        download(d, bench, downloads)
        # Silent for longer than 5 s, the meter's reading is stale.
        wait_for(lambda: text(d, "link") == "stale", 15, "the page to call the reading stale")
        bench.resume()
        wait_for(lambda: text(d, "link") == "live", 15, "the page to be live again")
        check(len(set(d.execute_script(LEFTS))) > 1, "more than one column on a desktop")
        if shots:
            os.makedirs(shots, exist_ok=True)
            d.save_screenshot(os.path.join(shots, "web-desktop.png"))
            d.set_window_size(390, 844)
            time.sleep(1)
            check(len(set(d.execute_script(LEFTS))) == 1, "one column at phone width")
            d.save_screenshot(os.path.join(shots, "web-phone.png"))
        token(dmm, work, d)
    finally:
        d.quit()
        bench.stop()
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
