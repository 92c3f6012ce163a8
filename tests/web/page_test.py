#!/usr/bin/python3
"""The browser view in a real browser (headless chromium through chromedriver).

The program runs headless on the simulator with its browser view; the page
must show the heading the program received, an alarm, grey values once the
instrument falls silent, refuse a command without the password and carry one
out with it (the event log names the browser), and recover by itself when the
program is killed and started again on the same port.

    tests/web/page_test.py BUILD_DIR

Exits 77 (skipped) when chromium, chromedriver or python3-selenium is missing.
"""
import glob
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile

SKIPPED = 77
CEILING = 30  # seconds: generous for a loaded 2-core machine
PASSWORD = "deck-7-watch"


def skip(reason):
    print("web_page_browser: skipped: " + reason)
    sys.exit(SKIPPED)


try:
    from selenium import webdriver
    from selenium.common.exceptions import WebDriverException
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed (apt install python3-selenium)")
CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
DRIVER = shutil.which("chromedriver") or shutil.which("/usr/bin/chromedriver")
for found, package in ((CHROMIUM, "chromium"), (DRIVER, "chromium-driver")):
    if not found:
        skip("%s is not installed (apt install %s)" % (package, package))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Rig:
    """The simulator, the program and the browser, in a temporary folder."""

    def __init__(self, build):
        self.build = build
        self.work = tempfile.mkdtemp(prefix="quillmar-web-")
        self.rec = os.path.join(self.work, "rec")
        self.link = os.path.join(self.work, "gnss")
        os.makedirs(self.rec)
        self.port = free_port()
        self.sim = self.app = self.driver = None
        self.env = dict(os.environ, HOME=self.work, XDG_CONFIG_HOME=os.path.join(self.work, "config"),
                        QUILLMAR_SETTINGS=self.settings(PASSWORD))
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)

    def settings(self, password):
        path = os.path.join(self.work, "quillmar.ini" if password else "readonly.ini")
        with open(path, "w") as f:
            f.write("[General]\nStaleSeconds=1\nPitchLimit=2\nRollLimit=30\n")
            if password:
                f.write("WebPassword=%s\n" % password)
        return path

    def start_sim(self):
        self.sim = subprocess.Popen([os.path.join(self.build, "quillmar-sim"), "--rate", "10",
                                     "--n-every", "0", "--link", self.link],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.until(lambda _: os.path.exists(self.link), "the simulator's device")

    def start_app(self, settings=None):
        env = dict(self.env)
        if settings:
            env["QUILLMAR_SETTINGS"] = settings
        self.app_log = open(os.path.join(self.work, "app.log"), "ab")
        self.app = subprocess.Popen([os.path.join(self.build, "quillmar"), "--headless", "--lang", "en",
                                     "--port", self.link, "--record-folder", self.rec,
                                     "--web", str(self.port)],
                                    env=env, stdout=self.app_log, stderr=subprocess.STDOUT)

    def stop(self, proc, sig=signal.SIGTERM):
        if proc and proc.poll() is None:
            proc.send_signal(sig)
            try:
                proc.wait(timeout=CEILING)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()

    def open_browser(self):
        options = Options()
        options.binary_location = CHROMIUM
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--user-data-dir=" + os.path.join(self.work, "chromium"), "--window-size=1280,900"):
            options.add_argument(arg)
        self.driver = webdriver.Chrome(service=Service(DRIVER), options=options)
        self.url = "http://127.0.0.1:%d/" % self.port
        # The program may still be binding: the first load is retried until it answers.
        self.until(lambda d: self.load(), "the page from the program")

    def load(self):
        try:
            self.driver.get(self.url)
        except WebDriverException:
            return False
        return bool(self.driver.find_elements(By.ID, "v-heading"))

    def until(self, condition, what, ceiling=CEILING):
        try:
            return WebDriverWait(self.driver, ceiling, poll_frequency=0.1).until(condition)
        except Exception:
            self.fail("no %s within %d s" % (what, ceiling))

    def fail(self, why):
        print("web_page_browser: FAIL: " + why, file=sys.stderr)
        try:
            print("page: " + repr(self.driver.execute_script(
                "return {ack: document.getElementById('ack').disabled,"
                " prompt: !document.getElementById('pw').hidden,"
                " stored: sessionStorage.getItem('quillmar.password') !== null,"
                " banner: !document.getElementById('banner').hidden,"
                " result: document.getElementById('result').textContent,"
                " alarms: document.getElementById('alarms').textContent};")), file=sys.stderr)
        except Exception as e:  # the page itself may be what failed
            print("page: unreadable (%s)" % e, file=sys.stderr)
        print("events:\n" + self.events(), file=sys.stderr)
        try:
            print("app log:\n" + open(os.path.join(self.work, "app.log")).read()[-3000:], file=sys.stderr)
        except OSError:
            pass
        raise SystemExit(1)

    def value(self, name):
        """[text, class] of a value on the page."""
        return self.driver.execute_script(
            "const e = document.getElementById(arguments[0]); return [e.textContent, e.className];",
            "v-" + name)

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def events(self):
        return "".join(open(p).read() for p in glob.glob(os.path.join(self.rec, "*-events.csv")))

    def record_headings(self):
        """Every heading the program recorded ($C and HDT lines)."""
        headings = []
        for path in glob.glob(os.path.join(self.rec, "*.txt")):
            for m in re.finditer(r"\$(?:C|..HDT,)(\d+(?:\.\d+)?)", open(path, errors="replace").read()):
                headings.append(float(m.group(1)))
        return headings

    def close(self):
        if self.driver:
            self.driver.quit()
        self.stop(self.app)
        self.stop(self.sim)
        shutil.rmtree(self.work, ignore_errors=True)


def heading(rig):
    text, cls = rig.value("heading")
    m = re.match(r"^(\d+(?:\.\d+)?)°$", text)
    return float(m.group(1)) if m and "valid" in cls.split() else None


def command(rig, password):
    """Clicks 确认报警, answers the page's password prompt; the shown result."""
    rig.driver.execute_script("document.getElementById('result').textContent = ''")

    # Clicked again while no prompt shows: a click that landed while the alarm list
    # above the button changed height, or while the page was reconnecting, is lost
    # as an operator's would be, and the operator clicks again.
    def prompted(d):
        if d.find_element(By.ID, "pw-input").is_displayed():
            return True
        try:
            if not d.find_element(By.ID, "ack").get_attribute("disabled"):
                d.find_element(By.ID, "ack").click()
        except WebDriverException:  # intercepted by a moving neighbour: tried again
            pass
        return False
    rig.until(prompted, "password prompt")
    rig.driver.find_element(By.ID, "pw-input").send_keys(password)
    rig.driver.find_element(By.ID, "pw-ok").click()
    rig.until(lambda d: d.find_element(By.ID, "result").get_attribute("class") in ("ok", "refused"),
              "answer to the command")
    return rig.driver.find_element(By.ID, "result").get_attribute("class")


def main():
    rig = Rig(sys.argv[1])
    try:
        rig.start_sim()
        rig.start_app()
        rig.open_browser()

        # The heading follows the instrument and is one the program received.
        first = rig.until(lambda _: heading(rig), "valid heading on the page")
        shown = rig.until(lambda _: (lambda h: h if h is not None and h != first else None)(heading(rig)),
                          "change of the heading")
        if not 0 <= shown < 360:
            rig.fail("heading %r out of range" % shown)
        rig.until(lambda _: any(abs(h - shown) <= 0.06 for h in rig.record_headings()),
                  "heading %.2f in the program's record" % shown)

        # The program's English (hello's lang), the switch to Chinese and back.
        for lang, ack in (("English", "Acknowledge Alarm"), ("中文", "确认报警"), ("English", "Acknowledge Alarm")):
            rig.until(lambda _: rig.text("ack") == ack and rig.text("h-heading") == ("Heading" if lang == "English" else "航向指示"),
                      "the page in " + lang)
            rig.driver.find_element(By.ID, "lang").click()
        rig.driver.find_element(By.ID, "lang").click()

        # Beyond the pitch limit of 2° the alarm shows, the value in the alarm colour.
        rig.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#alarms li[data-subject=pitch]"), "pitch alarm")
        rig.until(lambda _: "alarm" in rig.value("pitch")[1].split(), "pitch in the alarm state")

        # A wrong password is refused and changes nothing; the right one acknowledges.
        if command(rig, "not-the-password") != "refused":
            rig.fail("a wrong password was accepted")
        rig.until(lambda _: "web,refused,127.0.0.1" in rig.events(), "the refusal in the event log")
        if ",acknowledged," in rig.events():
            rig.fail("a refused command acknowledged the alarm")
        # A new connection: the wrong password's pause belongs to the old one.
        rig.until(lambda _: rig.load(), "the page reloaded")
        rig.until(lambda d: not d.find_element(By.ID, "ack").get_attribute("disabled"), "the buttons enabled")
        active = "#alarms li.active[data-subject=pitch]"
        rig.until(lambda d: d.find_elements(By.CSS_SELECTOR, active), "an alarm to acknowledge")
        if command(rig, PASSWORD) != "ok":
            rig.fail("the right password was refused: " + rig.text("result"))

        # The password is kept for the tab: a pitch alarm acknowledged while still active
        # (one that ended first goes back to normal, logged so) names the browser.
        def acknowledged(d):
            if ",acknowledged,web 127.0.0.1" in rig.events():
                return True
            if d.find_elements(By.CSS_SELECTOR, active):
                d.find_element(By.ID, "ack").click()
            return False
        rig.until(acknowledged, "acknowledgement in the event log")
        if rig.driver.find_element(By.ID, "pw").is_displayed():
            rig.fail("the page asked for the password again")

        # Killed, the program is missed plainly; started again, the page recovers by itself.
        rig.stop(rig.app, signal.SIGKILL)
        rig.until(lambda d: d.find_element(By.ID, "banner").is_displayed(), "banner after the program died")
        if "offline" not in rig.driver.find_element(By.TAG_NAME, "body").get_attribute("class"):
            rig.fail("values not greyed while the program is gone")
        rig.start_app()
        rig.until(lambda d: not d.find_element(By.ID, "banner").is_displayed() and heading(rig) is not None,
                  "recovery after the program restarted")
        again = heading(rig)
        rig.until(lambda _: heading(rig) not in (None, again), "heading moving after the restart")

        # The instrument falls silent: the heading turns grey within the stale time and a margin.
        rig.stop(rig.sim)
        rig.until(lambda _: "stale" in rig.value("heading")[1].split(), "stale heading", ceiling=1 + 15)

        # Without WebPassword the page is read-only: the buttons disabled, with the reason.
        rig.stop(rig.app)
        rig.start_app(rig.settings(None))
        rig.until(lambda d: d.find_element(By.ID, "ack").get_attribute("disabled") and
                  d.find_element(By.ID, "ack").get_attribute("title") and
                  not d.find_element(By.ID, "banner").is_displayed(), "read-only buttons")
        print("web_page_browser: heading followed, alarm shown, command refused and accepted, "
              "restart recovered, stale shown, read-only")
    finally:
        rig.close()


if __name__ == "__main__":
    main()
