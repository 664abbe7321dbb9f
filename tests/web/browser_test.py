"""velmora-web in Debian's Chromium, headless, driven through chromedriver.

Run by browser-test.sh, which starts the record, the devices and the server
and says where in the environment. Each check prints its name; the last
line counts them as ctest's log reads it.
"""
import json
import os
import subprocess
import sys
import time
import urllib.request

from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

import headless_chromium  # tools/, on PYTHONPATH

WEB = os.environ["WEB"].rstrip("/")
CLI = os.environ["VELMORA_CLI"]
HOSTILE = "<img src=x onerror=alert(1)>"

passed = []
failed = []


def check(name):
    def run(test):
        try:
            test()
            passed.append(name)
            print("PASS", name, flush=True)
        except Exception as error:  # a failed check is reported, and the rest still run
            failed.append(name)
            print("FAIL", name, repr(error), flush=True)
    return run


def line_status():
    out = subprocess.run([CLI, "line", "status", "--json", "--record", os.environ["RECORD"], "--line", "web"],
                         check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def browser(languages=None):
    """Chromium, asking for pages in languages (as Accept-Language) where given."""
    return headless_chromium.start(window_size="1280,1600", languages=languages)


def wait(driver, condition, seconds=10):
    # Live updates redraw parts of the page: an element found a moment ago
    # may be gone, and the condition is asked again.
    return WebDriverWait(driver, seconds, poll_frequency=0.05,
                         ignored_exceptions=(StaleElementReferenceException,)).until(lambda _: condition())


def click(driver, selector):
    """Clicks the element once it is there, found again if it was redrawn."""
    def attempt():
        elements = driver.find_elements(By.CSS_SELECTOR, selector)
        if elements:
            elements[0].click()
        return bool(elements)
    wait(driver, attempt)


def text(driver, selector):
    return driver.find_element(By.CSS_SELECTOR, selector).text


def log_in(driver, role, password):
    driver.find_element(By.ID, "login-button").click()
    form = driver.find_element(By.ID, "login-form")
    for name, value in (("role", role), ("password", password)):
        field = form.find_element(By.NAME, name)
        field.clear()
        field.send_keys(value)
    form.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
    wait(driver, lambda: role in text(driver, "#who"))


def main():
    driver = browser()
    stations = []
    try:
        @check("the dashboard's counts are line status --json's")
        def dashboard():
            status = line_status()
            driver.get(WEB + "/")
            wait(driver, lambda: driver.find_elements(By.CSS_SELECTOR, '#lines tr[data-line="web"]'))
            row = '#lines tr[data-line="web"] '
            assert text(driver, row + '[data-field="rows"]') == str(status["rows"])
            assert text(driver, row + '[data-field="in_doubt"]') == str(len(status["in_doubt"]))
            assert text(driver, row + '[data-field="ok_percent"]') == "%.1f" % (status["ok"] * 100 / status["rows"])

        @check("the CSP header is on every answer")
        def csp():
            for path in ("/", "/lines/web", "/static/line.js", "/api/v1/lines"):
                with urllib.request.urlopen(WEB + path) as answer:
                    policy = answer.headers["Content-Security-Policy"]
                    assert policy and "default-src 'self'" in policy and "unsafe-inline" not in policy, path
                    assert answer.headers["X-Content-Type-Options"] == "nosniff", path

        @check("while stations run, the counts and a row change without a reload within 2 s")
        def live():
            driver.get(WEB + "/lines/web")
            wait(driver, lambda: text(driver, "#live") == "live")
            wait(driver, lambda: driver.find_elements(By.CSS_SELECTOR, '#rows tr[data-row="1"]'))
            assert text(driver, '#rows tr[data-row="1"] [data-field="state"]') == "free"
            driver.execute_script("window.velmoraNotReloaded = true;")
            ports = os.environ["PORTS"].split()
            for n, pair in enumerate((ports[:2], ports[2:])):
                arguments = [CLI, "batch", "--record", os.environ["BENCH_RECORD"], "--line", "web",
                             "--station", "station-%d" % (n + 1), "--no-prompt"]
                for port in pair:
                    arguments += ["--port", port]
                stations.append(subprocess.Popen(arguments, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            deadline = time.monotonic() + 60
            while line_status()["ok"] < 1:
                assert time.monotonic() < deadline, "no station recorded a verdict"
            ok = line_status()["ok"]
            wait(driver, lambda: int(text(driver, '[data-count="ok"]')) >= ok, 2)
            wait(driver, lambda: text(driver, '#rows tr[data-row="1"] [data-field="state"]') != "free", 2)
            assert driver.execute_script("return window.velmoraNotReloaded === true;")

        @check("the device page finds a MAC")
        def device():
            driver.get(WEB + "/devices?q=02:70:00:00:00:02")
            wait(driver, lambda: driver.find_elements(By.CSS_SELECTOR, "#devices .device"))
            assert text(driver, '#devices [data-field="row"]') == "2"
            assert text(driver, '#devices [data-field="line"]') == "web"

        @check("the hostile id is shown as text")
        def hostile():
            driver.get(WEB + "/lines/web")
            wait(driver, lambda: driver.find_elements(By.CSS_SELECTOR, '#rows tr[data-row="5"]'))
            cells = driver.find_elements(By.CSS_SELECTOR, '#rows tr[data-row="5"] td')
            assert cells[1].text == HOSTILE, cells[1].text
            assert not driver.find_elements(By.CSS_SELECTOR, "#rows img")

        @check("no console errors")
        def console():
            errors = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
            assert not errors, errors
        @check("a station's role is refused a settlement; a planner settles a row in doubt")
        def settle():
            driver.get(WEB + "/lines/web")
            wait(driver, lambda: driver.find_elements(By.CSS_SELECTOR, '#doubts tr[data-row="120"]'))
            log_in(driver, "bench", os.environ["PGPASSWORD"])
            assert not driver.find_elements(By.CSS_SELECTOR, "#doubts .settle-ok")
            answer = driver.execute_async_script("""
                const done = arguments[arguments.length - 1];
                Velmora.api('/api/v1/lines/web/rows/120/settle', {method: 'POST', body: {as: 'ok'}})
                    .then(() => done(200), (failure) => done(failure.status));""")
            assert answer == 403, answer
            driver.find_element(By.ID, "logout-button").click()
            wait(driver, lambda: not driver.find_element(By.ID, "login-button").get_attribute("hidden"))
            log_in(driver, "planner", os.environ["PLANNER_PASSWORD"])
            click(driver, '#doubts tr[data-row="120"] .settle-ok')
            driver.switch_to.alert.accept()
            wait(driver, lambda: not driver.find_elements(By.CSS_SELECTOR, '#doubts tr[data-row="120"]'))
            assert not line_status()["in_doubt"]

        @check("a Chinese browser gets the page, and the devices' outcomes, in Chinese; the switch gives English")
        def chinese():
            reader = browser("zh-CN,zh")
            language = lambda: reader.find_element(By.TAG_NAME, "html").get_attribute("lang")
            try:
                reader.get(WEB + "/lines/web")
                wait(reader, lambda: text(reader, "#live") == "实时")
                assert language() == "zh-CN"
                assert text(reader, "h1").startswith("产线"), text(reader, "h1")
                assert text(reader, "#login-button") == "登录"
                assert text(reader, '#filter select[name="state"] option[value="ok"]') == "成功"
                kept = "port lost; line failed during READ: the line hung up"
                said = reader.execute_script("return Velmora.said(arguments[0]);", kept)
                assert said == "端口已断开；READ 期间线路故障：线路已挂断", said
                click(reader, '#languages button[data-language="en"]')
                wait(reader, lambda: language() == "en")
                wait(reader, lambda: text(reader, "#live") == "live")
                reader.get(WEB + "/")
                assert language() == "en" and text(reader, "h1") == "Lines"
                errors = [entry for entry in reader.get_log("browser") if entry["level"] == "SEVERE"]
                assert not errors, errors
            finally:
                reader.quit()

    finally:
        for station in stations:
            station.terminate()
            station.wait(30)
        driver.quit()
    print("%d passed, %d failed" % (len(passed), len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
