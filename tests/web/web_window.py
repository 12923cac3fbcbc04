#!/usr/bin/python3
"""The window's page in headless Chromium, driven by the window test: each line "snap ROWS" on
standard input prints one JSON line of what the page shows once it holds ROWS rows and the link
is no longer live; "csv" clicks "Download CSV" and
prints the file's path once it is complete.

Usage: web_window.py URL DOWNLOAD_DIR"""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from web_common import browser, text, wait_for  # noqa: E402


def main():
    url, downloads = sys.argv[1], sys.argv[2]
    answers, sys.stdout = sys.stdout, sys.stderr  # the helpers' notes stay out of the answers
    d = browser(downloads)
    try:
        d.get(url)
        wait_for(lambda: text(d, "display") not in ("", "----"), 30, "a reading on the page")
        for line in sys.stdin:
            if line.startswith("snap"):
                # Once the page has the window's rows and sees the link gone.
                rows = line.split()[1]
                wait_for(lambda: text(d, "count") == rows and text(d, "link") != "live", 60,
                         "the page to catch up")
                shown = {k: text(d, k) for k in ("display", "unit", "link", "count")}
                shown["title"] = d.title
                shown["points"] = int(d.find_element("id", "chart").get_attribute("data-points"))
                print(json.dumps(shown), file=answers, flush=True)
            elif line.strip() == "csv":
                d.find_element("id", "csv").click()
                path = os.path.join(downloads, "readings.csv")
                wait_for(lambda: os.path.exists(path) and
                         not os.path.exists(path + ".crdownload"), 30, "the download")
                print(path, file=answers, flush=True)
    finally:
        d.quit()


if __name__ == "__main__":
    main()
