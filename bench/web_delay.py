#!/usr/bin/python3
"""The delay from a recorded row to its drawing in the browser's page, measured in the page:
dmm log --http records `dmm simulate` at 20 rows a second, headless Chromium shows the page,
and the page notes for each row the time from its recording (stamped by the server) to the
animation frame that drew it. p50 and p99 over 1,000 rows.

Usage: web_delay.py DMM"""
import os
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from web_common import Bench, browser, text, wait_for  # noqa: E402

bench = Bench(sys.argv[1], tempfile.mkdtemp(), 20, script="wander")
d = browser()
try:
    d.get(bench.url)
    wait_for(lambda: text(d, "display") not in ("", "----"), 15, "a reading")
    d.execute_script("window.dmmPage.delays.length = 0")
    wait_for(lambda: d.execute_script("return window.dmmPage.delays.length") >= 1000, 120,
             "1,000 rows")
    delays = sorted(d.execute_script("return window.dmmPage.delays.slice(0, 1000)"))
    q = statistics.quantiles(delays, n=100)
    print("rows %d  p50 %.0f ms  p99 %.0f ms  max %.0f ms" % (len(delays), q[49], q[98],
                                                                delays[-1]))
finally:
    d.quit()
    bench.stop()
