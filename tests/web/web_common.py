"""What the web page's black-box tests share: the simulated meter, dmm log with --http, a
headless Chromium, and raw HTTP over a socket."""
import os
import re
import signal
import socket
import subprocess
import sys
import time


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)
    print("ok:", message)


def wait_for(predicate, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            print("ok:", what)
            return value
        time.sleep(0.05)
    fail("timed out waiting for " + what)


class Bench:
    """A simulated meter on a pseudo-terminal and dmm log recording it with --http."""

    def __init__(self, dmm, work, rate, http="0", script="tour", env=None):
        self.work = work
        os.makedirs(work, exist_ok=True)
        self.rows_file = os.path.join(work, "rows.csv")
        self.sent = os.path.join(work, "sent.jsonl")
        self.sim = subprocess.Popen([dmm, "simulate", "--pty", "--rate", str(rate), "--script",
                                     script, "--log", self.sent], stdout=subprocess.PIPE, text=True)
        pty = self.sim.stdout.readline().strip()
        self.err_path = os.path.join(work, "log.err")
        self.log = subprocess.Popen([dmm, "log", "--port", pty, "--out", self.rows_file,
                                     "--http", http], stderr=open(self.err_path, "w"), env=env)
        found = wait_for(lambda: re.search(r"Web page on (http://[^\s]+)", self.stderr()), 15,
                         "the page's address on standard error")
        self.url = found.group(1)
        m = re.match(r"http://[^/]*:(\d+)/", self.url)
        self.port = int(m.group(1))

    def stderr(self):
        with open(self.err_path, encoding="utf-8") as f:
            return f.read()

    def pause(self):
        os.kill(self.sim.pid, signal.SIGSTOP)

    def resume(self):
        os.kill(self.sim.pid, signal.SIGCONT)

    def rows(self):
        import csv
        with open(self.rows_file, encoding="utf-8-sig", newline="") as f:
            return list(csv.DictReader(f))

    def settle(self):
        """The simulator paused, waits until the last frame it sent is recorded."""
        self.pause()
        def settled():
            before = os.path.getsize(self.rows_file)
            time.sleep(0.4)
            return os.path.getsize(self.rows_file) == before
        wait_for(settled, 30, "the last frame to be recorded")

    def stop(self):
        for p in (self.sim, self.log):
            if p.poll() is None:
                if p is self.sim:
                    os.kill(p.pid, signal.SIGCONT)
                p.terminate()
                try:
                    p.wait(20)
                except subprocess.TimeoutExpired:
                    p.kill()


def http(port, raw, host="127.0.0.1", timeout=10):
    """Sends `raw` (bytes, a whole request) and returns (status, headers text, body)."""
    with socket.create_connection((host, port), timeout=timeout) as s:
        s.sendall(raw)
        data = b""
        try:
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
        except (ConnectionResetError, socket.timeout):
            pass
    head, _, body = data.partition(b"\r\n\r\n")
    m = re.match(rb"HTTP/1\.1 (\d{3})", head)
    return (int(m.group(1)) if m else 0), head.decode("latin-1"), body


def get(port, path, headers=""):
    return http(port, ("GET %s HTTP/1.1\r\nHost: x\r\nConnection: close\r\n%s\r\n"
                       % (path, headers)).encode())


def browser(download_dir=None, width=1280, height=900):
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    o = Options()
    o.binary_location = "/usr/bin/chromium"
    for a in ["--headless=new", "--disable-gpu", "--window-size=%d,%d" % (width, height)]:
        o.add_argument(a)
    if os.geteuid() == 0:
        o.add_argument("--no-sandbox")
    if download_dir:
        o.add_experimental_option("prefs", {"download.default_directory": download_dir,
                                            "download.prompt_for_download": False})
    d = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=o)
    if download_dir:
        d.execute_cdp_cmd("Page.setDownloadBehavior",
                          {"behavior": "allow", "downloadPath": download_dir})
    return d


def text(driver, element_id):
    return driver.execute_script("return document.getElementById(arguments[0]).textContent",
                                 element_id)
