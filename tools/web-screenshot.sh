#!/usr/bin/env bash
# The README's picture of velmora-web: a line of the line demo's kind half
# done by three stations, its page in headless Chromium.
#
#   tools/web-screenshot.sh BUILD_FOLDER OUT.png [OUT-zh_CN.png]
#
# With a second picture, the same page in Simplified Chinese, as the
# page's language switch gives it.
set -uo pipefail
bin=$(cd "$1" && pwd)/bin
out=$(realpath "$2")
out_zh=${3:+$(realpath "$3")}
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/throwaway-line.sh"
throwaway_record || exit 1
viewer_record || exit 1
"$bin/velmora-cli" plan --count 300 lip=10.50.0.1 mac=02:50:00:00:00:01 >"$work/plan.csv"
"$bin/velmora-cli" line load "$work/plan.csv" --record "$record" --line demo >/dev/null || exit 1
start_web || exit 1
stations=()
for station in bench-1 bench-2 bench-3; do
    start_sims 4
    mapfile -t options < <(printf -- '--port\n%s\n' "${ports[@]}")
    "$bin/velmora-cli" batch --record "$record" --line demo --station "$station" --no-prompt "${options[@]}" \
        >"$work/$station.out" 2>&1 &
    stations+=($!)
    pids+=($!)
done
# Half done, or done.
ok() {
    "$bin/velmora-cli" line status --record "$record" --line demo --json |
        /usr/bin/python3 -c 'import json, sys; print(json.load(sys.stdin)["ok"])'
}
until [ "$(ok)" -ge 150 ]; do
    sleep 0.2
done
# Held there while the pictures are taken, so that both show the line half
# done with its stations working (their leases outlast the pictures).
kill -STOP "${stations[@]}"
# Through chromedriver: the page's live stream never ends, so the page is
# taken once its counts are shown, not when it has "finished loading".
WEB=$web OUT=$out OUT_ZH=$out_zh PYTHONPATH=$here/tools /usr/bin/python3 - <<'PY'
import os
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait
import headless_chromium  # tools/, on PYTHONPATH
driver = headless_chromium.start(window_size="1280,1500", arguments=("--hide-scrollbars",))
def picture(out):
    driver.get(os.environ["WEB"] + "lines/demo")
    WebDriverWait(driver, 20).until(lambda d: d.find_element(By.CSS_SELECTOR, '[data-count="ok"]').text
                                    and d.find_elements(By.CSS_SELECTOR, "#rows tbody tr"))
    driver.save_screenshot(out)
try:
    picture(os.environ["OUT"])
    if os.environ["OUT_ZH"]:
        driver.add_cookie({"name": "velmora_lang", "value": "zh_CN", "path": "/"})
        picture(os.environ["OUT_ZH"])
finally:
    driver.quit()
PY
kill -CONT "${stations[@]}"
[ -s "$out" ] && echo "Wrote $out $out_zh"
