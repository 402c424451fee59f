#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The web page in a real browser: the real velmora-server with its simulated line, a raw desk
# (scripts/lib/desk.py) beside it, and headless Chromium driven through chromedriver.
#     test_webpage.py VELMORA_SERVER SCREENSHOT_FOLDER
# Each step waits for what it expects and fails with what it saw instead. The screenshots of the
# page, at a desk's width and at a phone's, are written to SCREENSHOT_FOLDER.

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
from selenium.webdriver.support.ui import Select

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
# Calls earlier this month, so that the administrator's view has a month to show.
ACCOUNTING = """time,event,identity,address,entry,seconds,received,sent
MONTH-01 09:00:00,up,"reception",192.0.2.17,"Office ISP",,,
MONTH-01 10:00:00,down,,,"Office ISP",3720,48200000,3100000
MONTH-02 09:00:00,up,"accounts",192.0.2.21,"Office ISP",,,
MONTH-02 10:00:00,down,,,"Office ISP",1260,9400000,820000
MONTH-02 09:00:00,up,"reception",192.0.2.17,"Branch office",,,
MONTH-02 10:00:00,down,,,"Branch office",540,2100000,160000
MONTH-03 09:00:00,up,"Ann (web, 192.0.2.40)",192.0.2.40,"Office ISP",,,
MONTH-03 10:00:00,down,,,"Office ISP",2400,15800000,1200000
"""


def fail(text):
    print("FAIL: " + text, flush=True)
    sys.exit(1)


def must(condition, text):
    if not condition:
        fail(text)


def wait_for(what, test, timeout=10.0):
    """Polls test until it gives a true value; the browser and the server run on their own."""
    deadline = time.monotonic() + timeout
    while not (value := test()):
        must(time.monotonic() < deadline, "waited %.1f s for %s" % (timeout, what))
        time.sleep(0.05)
    return value


class Desk:
    """A raw desk: every line the server sends comes into a queue."""

    def __init__(self, port, identity):
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "scripts/lib/desk.py"), str(port), identity],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def send(self, message):
        self.process.stdin.write(message + "\n")

    def expect(self, wanted):
        """The first line the server sends that is wanted, skipping the others."""
        deadline = time.monotonic() + 10
        seen = []
        while wanted not in seen:
            try:
                seen.append(self.lines.get(timeout=max(0.01, deadline - time.monotonic())))
            except queue.Empty:
                fail("the desk did not get %r; it got %r" % (wanted, seen))


class Server:
    def __init__(self, executable, folder, rights):
        self.folder = folder
        self.config = os.path.join(folder, "server.conf")
        self.log_path = os.path.join(folder, "server.log")
        self.write_config(rights)
        with open(os.path.join(folder, "accounting.csv"), "w") as accounting:
            accounting.write(ACCOUNTING.replace("MONTH", time.strftime("%Y-%m")))
        self.log_file = open(self.log_path, "w")
        self.process = subprocess.Popen([executable, "--config", self.config, "--port", "0"],
                                        stdout=self.log_file, stderr=subprocess.STDOUT)
        self.port = int(self.wait_log(r"Listening on 127\.0\.0\.1:(\d+)"))
        self.url = self.wait_log(r"Web page on (http://\S+/)")

    def write_config(self, rights):
        with open(self.config, "w") as config:
            config.write(CONFIG.format(accounting=os.path.join(self.folder, "accounting.csv"),
                                       password=PASSWORD, rights=rights))

    def log(self):
        with open(self.log_path) as log:
            return log.read()

    def wait_log(self, pattern):
        return wait_for(pattern, lambda: re.search(pattern, self.log())).group(1)

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
        must(code == 0, "the server ended with %d after SIGTERM" % code)
        form = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} (error  |warning|info   |debug  ) ")
        for line in self.log().splitlines():
            must(form.match(line) and " Qt: " not in line,
                 "not a line of the server's log: %r" % line)


class Page(webdriver.Chrome):
    """Headless Chromium, with the questions the test asks of the page."""

    def __init__(self, folder):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                         "--disable-background-networking --disable-component-update "
                         "--disable-sync --hide-scrollbars --window-size=1280,900").split():
            options.add_argument(argument)
        options.add_argument("--user-data-dir=" + os.path.join(folder, "chromium"))
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
        super().__init__(service=Service("/usr/bin/chromedriver"), options=options)

    def __getitem__(self, element_id):
        return self.find_element(By.ID, element_id)

    def text(self, element_id):
        return self[element_id].text

    def shown(self, element_id):
        return self[element_id].is_displayed()

    def wait_text(self, element_id, wanted, timeout=10.0):
        wait_for("#%s: %s" % (element_id, wanted), lambda: self.text(element_id) == wanted, timeout)

    def sent_requests(self):
        """Everything the page sent since the last call: addresses, headers and bodies."""
        messages = [json.loads(entry["message"])["message"]
                    for entry in self.get_log("performance")]
        return [json.dumps(message["params"]["request"]) for message in messages
                if message["method"] == "Network.requestWillBeSent"]


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


def refused_outside_allow_from(url):
    """A request from 127.0.0.2, outside AllowFrom, has its connection closed unanswered."""
    host, port = re.match(r"http://([\d.]+):(\d+)/", url).groups()
    with socket.create_connection((host, int(port)), 10, ("127.0.0.2", 0)) as link:
        try:
            link.sendall(b"GET / HTTP/1.1\r\nHost: %s:%s\r\n\r\n" % (host.encode(), port.encode()))
            answer = link.recv(4096)
        except ConnectionResetError:
            answer = b""
    must(not answer, "an address outside AllowFrom was answered: %r" % answer[:80])


def main():
    executable, screenshot_folder = sys.argv[1], sys.argv[2]
    folder = tempfile.mkdtemp(prefix="velmora-web-")
    server = Server(executable, folder, "dial hangup refuse message admin")
    desk = driver = None
    try:
        refused_outside_allow_from(server.url)
        desk = Desk(server.port, "alpha")
        desk.expect("Disconnected")
        driver = Page(folder)
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
    desk.process.wait(timeout=10)
    server.stop()
    must(PASSWORD not in server.log(), "the server's log shows the password")
    shutil.rmtree(folder)
    print("PASS: the web page, in Chromium", flush=True)


def run(page, server, desk, screenshot_folder):
    def dial(entry, password, answer, element="state"):
        """Dials from the page; the desk and the page hear the same answer."""
        Select(page["entry"]).select_by_visible_text(entry)
        if password:
            wait_for("the password field", lambda: page.shown("password"))
            page["password"].send_keys(password, Keys.ENTER)
        else:
            page["dial"].click()
        desk.expect(answer)
        page.wait_text(element, answer)

    def hang_up_vote(agree=True):
        """A desk asks to hang up; the page shows the countdown and agrees if told to."""
        desk.send("CMD_DISCONNECT")
        wait_for("the countdown", lambda: page.shown("vote"))
        if agree:
            page["agree"].click()
            desk.expect("Disconnected")

    def logged(line):
        must(line in server.log(), "the server's log lacks %r" % line)

    # The page asks a name once, and shows the line's state.
    page.get(server.url)
    wait_for("the name form", lambda: page.shown("name"))
    page["name"].send_keys("Web tester", Keys.ENTER)
    page.wait_text("state", "The line is down")
    must(page.execute_script("return localStorage.getItem('velmora.name')") == "Web tester",
         "the name is not kept in the browser")
    must(page.shown("dial") and not page.shown("hangup"),
         "a line that is down offers no dial button, or offers a hang-up")
    for control in page.find_elements(By.CSS_SELECTOR, "input, select, textarea"):
        name = control.get_attribute("id")
        must(page.find_elements(By.CSS_SELECTOR, "label[for='%s']" % name),
             "the control %s has no label" % name)
    page.sent_requests()

    # A dial from the page, password and all, reaches the desk.
    entries = [option.text for option in Select(page["entry"]).options]
    must(entries == ["Branch office", "Night line", "Office ISP"],
         "the phonebook is not in alphabetical order: %r" % entries)
    dial("Branch office", PASSWORD, "Connected to Branch office")
    wait_for("the call's time", lambda: re.match(r"for 00:00:0\d", page.text("duration")))
    logged("Web tester (web, 127.0.0.1) asks to dial Branch office")

    # A desk's hang-up request reaches the page as a countdown, which the page refuses by the
    # key that has the focus.
    hang_up_vote(agree=False)
    countdown = page.text("vote-text")
    must(re.search(r"in (2\d|30) s", countdown), "the countdown shows %r" % countdown)
    page.switch_to.active_element.send_keys(Keys.ENTER)
    desk.expect("MSG_CANCELLED")
    wait_for("the countdown to close", lambda: not page.shown("vote"))
    logged("Web tester (web, 127.0.0.1) refuses the hang-up")

    # The next request the page agrees to; the line's change reaches the page within a second.
    hang_up_vote()
    page.wait_text("state", "The line is down", timeout=1.0)

    # The password went once, in the dial request, and never again.
    requests = page.sent_requests()
    carrying = [index for index, request in enumerate(requests) if PASSWORD in request]
    must(len(carrying) == 1 and "/dial" in requests[carrying[0]],
         "the password was sent %d times, not once to /dial" % len(carrying))
    storage = page.execute_script(
        "return JSON.stringify(localStorage) + JSON.stringify(sessionStorage) + "
        "document.getElementById('password').value")
    must(PASSWORD not in storage, "the page keeps the password")

    # The administrator's view: the call just ended, drawn and listed.
    wait_for("the month's chart",
             lambda: page.find_elements(By.CSS_SELECTOR, "#chart-entries svg rect.bar"))
    wait_for("the last calls", lambda: "Branch office" in page.text("last-calls"))
    for shown in ("Web tester (web, 127.0.0.1)", "10.2 MB"):  # who, and the bytes of each call
        must(shown in page.text("last-calls"), "the last calls do not show %r" % shown)

    # Messages: a desk's reaches the page, which then offers the linked users; the page's
    # reaches the desk.
    desk.send("CMD_MSG:Web tester (web, 127.0.0.1)#hello from alpha")
    wait_for("the message on the page",
             lambda: "alpha: hello from alpha" in page.text("received"))
    alpha = "#recipients input[value='alpha']"
    wait_for("the linked users", lambda: page.find_elements(By.CSS_SELECTOR, alpha))
    page.find_element(By.CSS_SELECTOR, alpha).click()
    page["message-text"].send_keys("hi alpha")
    page["send"].click()
    desk.expect("CMD_MSG:Web tester (web, 127.0.0.1)#hi alpha")

    # A second call, for the screenshots of a line that is up.
    dial("Office ISP", None, "Connected to Office ISP")
    screenshots(page, screenshot_folder)
    hang_up_vote()

    # A dial that fails: the page shows the line down and why.
    dial("Night line", "not-the-one", "Dialling Night line failed: wrong password", "reason")
    must(page.text("state") == "The line is down",
         "after a failed dial the page shows %r" % page.text("state"))

    # Without the dial right the page offers no dial button, and the server refuses a forged
    # request anyway, the page's own session and origin included.
    server.reload("hangup refuse message")
    page.refresh()
    page.wait_text("state", "The line is down")
    must(not page.shown("dial") and not page.shown("dial-form"),
         "an address without the dial right sees a dial button")
    status = page.execute_async_script("""
        const done = arguments[arguments.length - 1];
        fetch('/dial', {method: 'POST', headers: {'Content-Type': 'application/json',
            'X-Velmora-Session': session}, body: JSON.stringify({entry: 'Office ISP'})})
            .then((response) => done(response.status));
    """)
    must(status == 403, "a dial without the right was answered %r" % status)
    session = page.execute_script("return session")
    for headers in ({"Origin": "http://evil.example"},
                    {"Origin": server.url.rstrip("/"), "Sec-Fetch-Site": "cross-site"}, {}):
        headers.update({"Content-Type": "application/json", "X-Velmora-Session": session})
        try:
            urllib.request.urlopen(urllib.request.Request(server.url + "hangup", b"{}", headers),
                                   timeout=10)
            fail("a forged request with %r was answered" % headers)
        except urllib.error.HTTPError as error:
            must(error.code == 403,
                 "a forged request with %r was answered %r" % (headers, error.code))
    must("Connect device" not in page.text("state"), "the refused dial reached the line")
    logged("Dialling is not allowed")


if __name__ == "__main__":
    main()
