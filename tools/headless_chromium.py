"""Debian's Chromium, headless, driven through its chromedriver: how the
browser test, the screenshots and the page's benchmark open a browser.

No downloaded browser and no profile of the user's: a fresh profile in a
temporary folder, nothing fetched in the background, shared memory in /tmp
(a container's /dev/shm is small).
"""
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def start(window_size=None, languages=None, arguments=()):
    """A browser; window_size as "1280,1600"; languages as Accept-Language
    asks for them ("zh-CN,zh"); its console kept for get_log("browser")."""
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--user-data-dir=" + tempfile.mkdtemp(prefix="velmora-chromium-"),
                     *arguments):
        options.add_argument(argument)
    if window_size:
        options.add_argument("--window-size=" + window_size)
    if languages:
        options.add_argument("--accept-lang=" + languages)
        options.add_experimental_option("prefs", {"intl.accept_languages": languages})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
