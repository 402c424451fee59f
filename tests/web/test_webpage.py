#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page in a real browser: the real velmora-server with its simulated line, a raw desk
(scripts/lib/desk.py) beside it, and headless Chromium driven through chromedriver.

    test_webpage.py VELMORA_SERVER SCREENSHOT_FOLDER

Each step waits for what it expects and fails with what it saw instead. The screenshots of the
page, at a desk's width and at a phone's, are written to SCREENSHOT_FOLDER.
"""

import json
import os
import queue
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PASSWORD = "letmein-7Qz"
CONFIG = """[Server]
Address=127.0.0.1
AllowFrom=127.0.0.1
AccountingFile={accounting}
DisconnectSeconds=30
[Simulated]
DialMs=300
HangUpMs=200
LinePassword=the-line-knows
[Phonebook]
Office ISP=
Branch office={password}
Night line=*
[Web]
Enabled=yes
Address=127.0.0.1
Port=0
[Rights]
127.0.0.1={rights}
"""


def fail(text):
    print("FAIL: " + text, flush=True)
    sys.exit(1)


def wait_for(what, test, timeout=10.0):
    """Polls test until it gives a true value; the browser and the server run on their own."""
    deadline = time.monotonic() + timeout
    while True:
        value = test()
        if value:
            return value
        if time.monotonic() > deadline:
            fail("waited %.1f s for %s" % (timeout, what))
        time.sleep(0.05)


class Desk:
    """A raw desk: every line the server sends comes into a queue."""

    def __init__(self, port, identity):
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "scripts/lib/desk.py"), str(port), identity],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def send(self, message):
        self.process.stdin.write(message + "\n")
        self.process.stdin.flush()

    def expect(self, wanted, timeout=10.0):
        """The first line the server sends that is wanted, skipping the others."""
        deadline = time.monotonic() + timeout
        seen = []
        while time.monotonic() < deadline:
            try:
                line = self.lines.get(timeout=max(0.01, deadline - time.monotonic()))
            except queue.Empty:
                break
            seen.append(line)
            if line == wanted:
                return
        fail("the desk did not get %r; it got %r" % (wanted, seen))

    def close(self):
        self.process.wait(timeout=10)


class Server:
    def __init__(self, executable, folder, rights):
        self.folder = folder
        self.config = os.path.join(folder, "server.conf")
        self.log_path = os.path.join(folder, "server.log")
        self.write_config(rights)
        self.write_accounting()
        self.log_file = open(self.log_path, "w")
        self.process = subprocess.Popen([executable, "--config", self.config, "--port", "0"],
                                        stdout=self.log_file, stderr=subprocess.STDOUT)
        self.port = int(wait_for("the server's listening line",
                                 lambda: self.find(r"Listening on 127\.0\.0\.1:(\d+)")))
        web = wait_for("the web page's line", lambda: self.find(r"Web page on (http://\S+/)"))
        self.url = web

    def write_accounting(self):
        """Calls earlier this month, so that the administrator's view has a month to show."""
        month = time.strftime("%Y-%m")
        lines = ["time,event,identity,address,entry,seconds,received,sent"]
        for day, who, address, entry, seconds, received, sent in (
                ("01", "reception", "192.0.2.17", "Office ISP", 3720, 48200000, 3100000),
                ("02", "accounts", "192.0.2.21", "Office ISP", 1260, 9400000, 820000),
                ("02", "reception", "192.0.2.17", "Branch office", 540, 2100000, 160000),
                ("03", "Ann (web, 192.0.2.40)", "192.0.2.40", "Office ISP", 2400, 15800000,
                 1200000)):
            lines.append('%s-%s 09:00:00,up,"%s",%s,"%s",,,' % (month, day, who, address, entry))
            lines.append('%s-%s 10:00:00,down,,,"%s",%d,%d,%d'
                         % (month, day, entry, seconds, received, sent))
        with open(os.path.join(self.folder, "accounting.csv"), "w") as accounting:
            accounting.write("\n".join(lines) + "\n")

    def write_config(self, rights):
        with open(self.config, "w") as config:
            config.write(CONFIG.format(accounting=os.path.join(self.folder, "accounting.csv"),
                                       password=PASSWORD, rights=rights))

    def log(self):
        with open(self.log_path) as log:
            return log.read()

    def find(self, pattern):
        match = re.search(pattern, self.log())
        return match.group(1) if match else None

    def reload(self, rights):
        self.write_config(rights)
        reloads = self.log().count("Configuration reloaded")
        self.process.send_signal(signal.SIGHUP)
        wait_for("the reload", lambda: self.log().count("Configuration reloaded") > reloads)

    def stop(self):
        """Stops the server as systemd would, a web user still linked; it must end cleanly."""
        self.process.terminate()
        code = self.process.wait(timeout=10)
        self.log_file.close()
        if code != 0:
            fail("the server ended with %d after SIGTERM" % code)
        form = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} (error  |warning|info   |debug  ) ")
        for line in self.log().splitlines():
            if not form.match(line) or " Qt: " in line:
                fail("not a line of the server's log: %r" % line)


def browser(folder):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                     "--user-data-dir=" + os.path.join(folder, "chromium"),
                     "--window-size=1280,900"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def text(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def shown(driver, element_id):
    return driver.find_element(By.ID, element_id).is_displayed()


def sent_requests(driver):
    """Everything the page sent since the last call: addresses, headers and bodies."""
    sent = []
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent":
            request = message["params"]["request"]
            sent.append(json.dumps(request))
    return sent


def screenshots(driver, folder):
    os.makedirs(folder, exist_ok=True)
    for name, width, height in (("web-desktop.png", 1280, 900), ("web-phone.png", 390, 844)):
        driver.set_window_size(width, height)
        time.sleep(0.3)  # the layout follows the new width
        # The whole page, as long as it is.
        height = driver.execute_script("return document.documentElement.scrollHeight")
        driver.set_window_size(width, max(height + 120, 400))
        driver.execute_script("window.scrollTo(0, 0)")
        driver.save_screenshot(os.path.join(folder, name))
    driver.set_window_size(1280, 900)


def post(url, path, body, headers):
    request = urllib.request.Request(url.rstrip("/") + path, data=json.dumps(body).encode(),
                                     method="POST", headers=headers)
    try:
        with urllib.request.urlopen(request, timeout=10) as response:
            return response.status
    except urllib.error.HTTPError as error:
        return error.code


def refused_outside_allow_from(url):
    """A request from 127.0.0.2, outside AllowFrom, has its connection closed unanswered."""
    host, port = re.match(r"http://([\d.]+):(\d+)/", url).groups()
    with socket.socket() as link:
        link.bind(("127.0.0.2", 0))
        link.settimeout(10)
        link.connect((host, int(port)))
        try:
            link.sendall(b"GET / HTTP/1.1\r\nHost: %s:%s\r\n\r\n" % (host.encode(),
                                                                     port.encode()))
            answer = link.recv(4096)
        except ConnectionResetError:
            answer = b""
    if answer:
        fail("an address outside AllowFrom was answered: %r" % answer[:80])


def main():
    executable, screenshot_folder = sys.argv[1], sys.argv[2]
    folder = tempfile.mkdtemp(prefix="velmora-web-")
    server = Server(executable, folder, "dial hangup refuse message admin")
    desk = driver = None
    try:
        refused_outside_allow_from(server.url)
        desk = Desk(server.port, "alpha")
        desk.expect("Disconnected")
        driver = browser(folder)
        run(driver, server, desk, screenshot_folder)
    except BaseException:
        # Whatever failed, nothing this test started outlives it; its folder stays to be read.
        server.process.kill()
        raise
    finally:
        if driver:
            driver.quit()
        if desk:
            desk.process.kill()
    desk.close()
    server.stop()
    if PASSWORD in server.log():
        fail("the server's log shows the password")
    shutil.rmtree(folder)
    print("PASS: the web page, in Chromium", flush=True)


def run(driver, server, desk, screenshot_folder):
    # The page asks a name once, and shows the line's state.
    driver.get(server.url)
    wait_for("the name form", lambda: shown(driver, "name"))
    name = driver.find_element(By.ID, "name")
    name.send_keys("Web tester", Keys.ENTER)
    wait_for("the line's state", lambda: text(driver, "state") == "The line is down")
    if driver.execute_script("return localStorage.getItem('velmora.name')") != "Web tester":
        fail("the name is not kept in the browser")
    if not shown(driver, "dial") or shown(driver, "hangup"):
        fail("a line that is down offers no dial button, or offers a hang-up")
    for control in driver.find_elements(By.CSS_SELECTOR, "input, select, textarea"):
        if not driver.find_elements(By.CSS_SELECTOR, "label[for='%s']" %
                                    control.get_attribute("id")):
            fail("the control %s has no label" % control.get_attribute("id"))
    sent_requests(driver)

    # A dial from the page, password and all, reaches the desk.
    entries = [option.text for option in Select(driver.find_element(By.ID, "entry")).options]
    if entries != ["Branch office", "Night line", "Office ISP"]:
        fail("the phonebook is not in alphabetical order: %r" % entries)
    Select(driver.find_element(By.ID, "entry")).select_by_visible_text("Branch office")
    wait_for("the password field", lambda: shown(driver, "password"))
    driver.find_element(By.ID, "password").send_keys(PASSWORD, Keys.ENTER)
    desk.expect("Connected to Branch office")
    wait_for("the page's connected state",
             lambda: text(driver, "state") == "Connected to Branch office")
    wait_for("the call's time", lambda: re.match(r"for 00:00:0\d", text(driver, "duration")))
    if "Web tester (web, 127.0.0.1) asks to dial Branch office" not in server.log():
        fail("the server's log does not name the web user as the one who dialled")

    # A desk's hang-up request reaches the page as a countdown, which the page refuses.
    desk.send("CMD_DISCONNECT")
    wait_for("the countdown", lambda: shown(driver, "vote"))
    if not re.search(r"in (2\d|30) s", text(driver, "vote-text")):
        fail("the countdown shows %r" % text(driver, "vote-text"))
    driver.switch_to.active_element.send_keys(Keys.ENTER)  # the refusal has the focus
    desk.expect("MSG_CANCELLED")
    wait_for("the countdown to close", lambda: not shown(driver, "vote"))
    if "Web tester (web, 127.0.0.1) refuses the hang-up" not in server.log():
        fail("the server's log does not name the web user who refused")

    # The next request the page agrees to; the line's change reaches the page within a second.
    desk.send("CMD_DISCONNECT")
    wait_for("the second countdown", lambda: shown(driver, "vote"))
    driver.find_element(By.ID, "agree").click()
    desk.expect("Disconnected")
    wait_for("the state change on the page",
             lambda: text(driver, "state") == "The line is down", timeout=1.0)

    # The password went once, in the dial request, and never again.
    requests = sent_requests(driver)
    carrying = [r for r in requests if PASSWORD in r]
    if len(carrying) != 1 or "/dial" not in carrying[0]:
        fail("the password was sent %d times, not once to /dial" % len(carrying))
    later = requests[requests.index(carrying[0]) + 1:]
    if any(PASSWORD in r for r in later):
        fail("a later request of the page carries the password")
    storage = driver.execute_script(
        "return JSON.stringify(localStorage) + JSON.stringify(sessionStorage) + "
        "document.getElementById('password').value")
    if PASSWORD in storage:
        fail("the page keeps the password")

    # The administrator's view: the call just ended, drawn and listed.
    wait_for("the month's chart",
             lambda: driver.find_elements(By.CSS_SELECTOR, "#chart-entries svg rect.bar"))
    wait_for("the last calls", lambda: "Branch office" in text(driver, "last-calls"))
    if "Web tester (web, 127.0.0.1)" not in text(driver, "last-calls"):
        fail("the last calls do not name the web user")
    if "10.2 MB" not in text(driver, "last-calls"):
        fail("the last calls do not show the bytes of each call")

    # Messages: a desk's reaches the page, which then offers the linked users; the page's
    # reaches the desk.
    desk.send("CMD_MSG:Web tester (web, 127.0.0.1)#hello from alpha")
    wait_for("the message on the page",
             lambda: "alpha: hello from alpha" in text(driver, "received"))
    alpha = "#recipients input[value='alpha']"
    wait_for("the linked users", lambda: driver.find_elements(By.CSS_SELECTOR, alpha))
    driver.find_element(By.CSS_SELECTOR, alpha).click()
    driver.find_element(By.ID, "message-text").send_keys("hi alpha")
    driver.find_element(By.ID, "send").click()
    desk.expect("CMD_MSG:Web tester (web, 127.0.0.1)#hi alpha")

    # A second call, for the screenshots of a line that is up.
    Select(driver.find_element(By.ID, "entry")).select_by_visible_text("Office ISP")
    driver.find_element(By.ID, "dial").click()
    desk.expect("Connected to Office ISP")
    wait_for("the second call on the page",
             lambda: text(driver, "state") == "Connected to Office ISP")
    screenshots(driver, screenshot_folder)
    desk.send("CMD_DISCONNECT")
    wait_for("the third countdown", lambda: shown(driver, "vote"))
    driver.find_element(By.ID, "agree").click()
    desk.expect("Disconnected")

    # A dial that fails: the page shows the line down and why.
    Select(driver.find_element(By.ID, "entry")).select_by_visible_text("Night line")
    driver.find_element(By.ID, "password").send_keys("not-the-one", Keys.ENTER)
    desk.expect("Dialling Night line failed: wrong password")
    wait_for("the reason on the page",
             lambda: text(driver, "reason") == "Dialling Night line failed: wrong password")
    if text(driver, "state") != "The line is down":
        fail("after a failed dial the page shows %r" % text(driver, "state"))

    # Without the dial right the page offers no dial button, and the server refuses a forged
    # request anyway, the page's own session and origin included.
    server.reload("hangup refuse message")
    driver.refresh()
    wait_for("the state after the reload", lambda: text(driver, "state") == "The line is down")
    if shown(driver, "dial") or shown(driver, "dial-form"):
        fail("an address without the dial right sees a dial button")
    status = driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        fetch('/dial', {method: 'POST', headers: {'Content-Type': 'application/json',
            'X-Velmora-Session': session}, body: JSON.stringify({entry: 'Office ISP'})})
            .then((response) => done(response.status));
    """)
    if status != 403:
        fail("a dial without the right was answered %r" % status)
    session = driver.execute_script("return session")
    origin = server.url.rstrip("/")
    for headers in ({"Origin": "http://evil.example"},
                    {"Origin": origin, "Sec-Fetch-Site": "cross-site"}, {}):
        headers.update({"Content-Type": "application/json", "X-Velmora-Session": session})
        status = post(server.url, "/hangup", {}, headers)
        if status != 403:
            fail("a forged request with %r was answered %r" % (headers, status))
    if "Connect device" in text(driver, "state") or "Dialling is not allowed" not in server.log():
        fail("the refused dial was not refused by the server")


if __name__ == "__main__":
    main()
