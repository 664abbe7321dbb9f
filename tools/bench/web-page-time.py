"""How soon a line's page shows its counts in Debian's headless Chromium.

    web-page-time.py WEB LINE TIMES

Opens WEB/lines/LINE TIMES times, each in a fresh tab of one browser, and
prints, one a line, the milliseconds from the start of the navigation to
the page's "counts-shown" mark (the counts drawn), by the browser's clock.
"""
import sys

from selenium.webdriver.support.ui import WebDriverWait

import headless_chromium  # tools/, on PYTHONPATH

web, line, times = sys.argv[1].rstrip("/"), sys.argv[2], int(sys.argv[3])
driver = headless_chromium.start()
mark = "const m = performance.getEntriesByName('counts-shown'); return m.length ? Math.round(m[0].startTime) : null"
try:
    for _ in range(times):
        driver.switch_to.new_window("tab")
        driver.get(web + "/lines/" + line)
        print(WebDriverWait(driver, 30, poll_frequency=0.05).until(lambda d: d.execute_script(mark)), flush=True)
        driver.close()
        driver.switch_to.window(driver.window_handles[0])
finally:
    driver.quit()
