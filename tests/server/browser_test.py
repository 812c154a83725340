"""The calculator page in a real browser (headless chromium via Selenium):
pick a population and a group by clicking, type the inputs, read the centile
and the band, and compare them with `custcent calc` for the same inputs.
Typing at full speed over a slowed network, the page must never show a
result for other inputs than those on screen; on a phone's screen (390 x 844)
nothing may be wider than the screen or cut off, and the chart's text must be
at least 11 px.

    /usr/bin/python3 browser_test.py CUSTCENT [--screenshot PNG] [--phone-screenshot PNG]
"""
import argparse
import functools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from serve_support import Served  # noqa: E402

WEEKS_MESSAGE = "Weeks: a whole number from 20 to 44; for 39+4 type 39 and pick 4 days"
PHONE = (390, 844)


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                 "--disable-background-networking", "--disable-component-update", "--no-first-run",
                 "--hide-scrollbars", "--user-data-dir=" + profile, "--window-size=1000,1000",
                 "--force-device-scale-factor=1"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"),
                            options=options)


def screen(driver, width, height, mobile=False):
    """The page's viewport, as a phone's or a desktop's (a headless window
    cannot be narrower than 500 px, the device emulation can)."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})


def settled(driver, timeout=20):
    """Waits until the page has answered its latest change; returns its state."""
    main = driver.find_element(By.ID, "calculator")

    def done(_):
        state = main.get_attribute("data-state")
        return state if state in ("ready", "error", "invalid") else False
    return WebDriverWait(driver, timeout).until(done)


def type_into(driver, element_id, text):
    field = driver.find_element(By.ID, element_id)
    field.click()
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(text)


def text_of(driver, element_id):
    return driver.find_element(By.ID, element_id).text


@functools.lru_cache(maxsize=None)
def calc(custcent, *args):
    """custcent calc's record for these options, or None where it refuses them."""
    run = subprocess.run([custcent, "calc", *args, "--json"], capture_output=True, text=True)
    return json.loads(run.stdout) if run.returncode == 0 else None


def select(driver, element_id, value):
    driver.find_element(By.ID, element_id).click()
    driver.find_element(By.CSS_SELECTOR, "#%s option[value='%s']" % (element_id, value)).click()


# Records what the page shows whenever it changes and after every keystroke
# (a listener on the window runs after the page's own), with the inputs on
# screen at that moment.
WATCH = """
window.shown = [];
const snap = () => {
  const v = (id) => document.getElementById(id).value;
  window.shown.push({
    population: document.querySelector("input[name=population]:checked").value,
    ht: v("ht") + v("ht-unit"), wt: v("wt") + v("wt-unit"), bwt: v("bwt") + v("bwt-unit"),
    weeks: v("gest-weeks"), days: v("gest-days"), eth: v("eth"), par: v("par"),
    sex: document.querySelector("input[name=sex]:checked").value,
    centile: document.getElementById("centile").textContent,
    band: document.getElementById("band").textContent,
  });
};
window.addEventListener("input", snap);
new MutationObserver(snap).observe(document.getElementById("result"),
                                   {subtree: true, childList: true, characterData: true, attributes: true});
"""


def shown_matches_screen(custcent, snapshot):
    """Why a snapshot shows a result the inputs on screen do not give, or None."""
    if snapshot["centile"] == "–":
        return None
    args = ("-p", snapshot["population"], "--bwt", snapshot["bwt"], "--gest",
            snapshot["weeks"] + "+" + snapshot["days"], "--wt", snapshot["wt"], "--ht", snapshot["ht"],
            "--sex", snapshot["sex"], "--eth", snapshot["eth"], "--par", snapshot["par"])
    if not re.fullmatch(r"\d+", snapshot["weeks"]) or not 20 <= int(snapshot["weeks"]) <= 44:
        return "centile %s shown for weeks %r" % (snapshot["centile"], snapshot["weeks"])
    record = calc(custcent, *args)
    if record is None:
        return "centile %s shown for inputs calc refuses: %s" % (snapshot["centile"], args)
    if record["centileText"] != snapshot["centile"] or record["bandWords"] != snapshot["band"]:
        return "%s, %s shown; these inputs give %s, %s" % (snapshot["centile"], snapshot["band"],
                                                          record["centileText"], record["bandWords"])
    return None


def check_typing_race(driver, custcent, check):
    """Types at full speed over a network slowed to 180 ms; no snapshot may
    show a result for other inputs."""
    driver.execute_cdp_cmd("Network.enable", {})
    driver.execute_cdp_cmd("Network.emulateNetworkConditions",
                           {"offline": False, "latency": 180, "downloadThroughput": -1, "uploadThroughput": -1})
    driver.execute_script(WATCH)
    for typed in ("39.4", "277", "38", "4O", "41"):
        type_into(driver, "gest-weeks", typed)
    for typed in ("3500", "2.9", "31OO", "2790"):
        type_into(driver, "bwt", typed)
    type_into(driver, "wt", "140")
    final = settled(driver)
    driver.execute_cdp_cmd("Network.emulateNetworkConditions",
                           {"offline": False, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
    snapshots = driver.execute_script("return window.shown")
    check(len(snapshots) > 40, "snapshots taken while typing: %d" % len(snapshots))
    wrong = [why for why in (shown_matches_screen(custcent, s) for s in snapshots) if why]
    check(wrong == [], "a result shown for other inputs than those on screen: %s" % wrong[:3])
    check(final == "ready" and text_of(driver, "centile") != "–", "the last inputs get their result")
    flags = [e.text for e in driver.find_elements(By.CSS_SELECTOR, "#flags li")]
    check(any("pounds?" in f for f in flags), "a booking weight in pounds flagged by its index: %s" % flags)


def check_entries(driver, check):
    """An entry that cannot be sent clears the result and names its field."""
    type_into(driver, "gest-weeks", "39.4")
    check(settled(driver) == "invalid", "39.4 weeks cannot be sent")
    message = driver.find_element(By.ID, "gest-weeks-message")
    check(message.is_displayed() and message.text == WEEKS_MESSAGE, "the weeks' message: %r" % message.text)
    check(driver.find_element(By.ID, "gest-weeks").get_attribute("aria-invalid") == "true", "weeks marked")
    check(text_of(driver, "centile") == "–" and text_of(driver, "band") == "", "no result for 39.4 weeks")
    type_into(driver, "gest-weeks", "39")
    check(settled(driver) == "ready" and not message.is_displayed(), "39 weeks clears the message")
    type_into(driver, "bwt", "0")
    check(settled(driver) == "invalid", "a birthweight of 0 cannot be sent")
    check(text_of(driver, "bwt-message") == "Birthweight: a positive number of grams, such as 3400",
          "the birthweight's message: %r" % text_of(driver, "bwt-message"))
    type_into(driver, "bwt", Keys.BACKSPACE)
    check(settled(driver) == "invalid" and text_of(driver, "centile") == "–", "an empty reading: no result")
    type_into(driver, "bwt", "2650")
    check(settled(driver) == "ready", "a birthweight again gives a result")


def check_phone(driver, check, screenshot):
    """At 390 x 844: nothing wider than the screen or cut off, and a chart
    drawn to the width available with its text at 11 px or more."""
    width, height = PHONE
    screen(driver, width, height, mobile=True)
    driver.refresh()
    check(settled(driver) == "ready", "the page answers on a phone")
    driver.find_element(By.ID, "population-nz").click()
    check(settled(driver) == "ready", "New Zealand on a phone")
    WebDriverWait(driver, 20).until(lambda d: d.execute_script(
        "const c = document.getElementById('chart'); return c.complete && c.naturalWidth > 0"))
    layout = driver.execute_script("""
        const width = window.innerWidth;
        const outside = [], cut = [];
        for (const e of document.querySelectorAll('body *')) {
          const r = e.getBoundingClientRect();
          if (r.width <= 1 || getComputedStyle(e).visibility === 'hidden') continue;  // hidden labels are 1 px
          if (r.left < -0.5 || r.right > width + 0.5) outside.push(e.id || e.tagName + ':' + e.textContent.slice(0, 30));
          const text = [...e.childNodes].some(n => n.nodeType === 3 && n.textContent.trim());
          if (text && e.scrollWidth > e.clientWidth + 1 && getComputedStyle(e).overflowX !== 'visible')
            cut.push(e.id || e.tagName + ':' + e.textContent.slice(0, 30));
        }
        const chart = document.getElementById('chart');
        const box = document.getElementById('result');
        const style = getComputedStyle(box);
        return {width, pageWidth: document.documentElement.scrollWidth, outside, cut,
                chartShown: chart.getBoundingClientRect().width, chartNatural: chart.naturalWidth,
                room: box.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight),
                src: chart.src, coefficients: document.getElementById('coefficients').textContent};""")
    check(layout["width"] == width, "the phone's viewport: %s" % layout["width"])
    check(layout["pageWidth"] <= width, "the page is %s px wide on a %s px screen" % (layout["pageWidth"], width))
    check(layout["outside"] == [], "elements beyond the screen's edge: %s" % layout["outside"][:5])
    check(layout["cut"] == [], "text cut off: %s" % layout["cut"][:5])
    check(layout["chartShown"] >= 0.95 * layout["room"] and layout["chartNatural"] == round(layout["chartShown"]),
          "chart drawn to the width available: %s" % layout)
    svg = driver.execute_async_script(
        "const done = arguments[0]; fetch(document.getElementById('chart').src).then(r => r.text()).then(done);")
    view_width = float(re.search(r'viewBox="0 0 ([\d.]+) ', svg).group(1))
    smallest = min(float(size) for size in re.findall(r'font-size="([\d.]+)"', svg))
    check(smallest * layout["chartShown"] / view_width >= 11, "chart text of %.1f px" % smallest)
    check(layout["coefficients"] == "New Zealand · coefficient set 5.15", "coefficients: %r" % layout["coefficients"])
    if screenshot:
        full = driver.execute_script("return document.documentElement.scrollHeight")
        screen(driver, width, full, mobile=True)
        driver.save_screenshot(screenshot)
    screen(driver, width, height, mobile=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("custcent")
    parser.add_argument("--screenshot")
    parser.add_argument("--phone-screenshot")
    args = parser.parse_args()
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)
            print("FAILED:", what, file=sys.stderr)

    profile = tempfile.mkdtemp(prefix="wrenfield-chromium-")
    with Served(args.custcent) as served:
        driver = browser(profile)
        try:
            driver.get(served.url)
            check(settled(driver) == "ready", "the page shows the default inputs' centile")
            check(text_of(driver, "centile") == "56", "the defaults give 56, as the form does")

            # Every population is offered; every input has a label.
            names = [e.get_attribute("value") for e in driver.find_elements(By.NAME, "population")]
            check(sorted(names) == ["Australia", "New Zealand", "Sweden", "United Kingdom", "United States"],
                  "all five populations: %s" % names)
            unlabelled = driver.execute_script("""
                return [...document.querySelectorAll('input, select')]
                  .filter(e => e.labels.length === 0 && !e.closest('[aria-labelledby]'))
                  .map(e => e.id || e.name);""")
            check(unlabelled == [], "every input has a label: %s" % unlabelled)

            # By clicking: New Zealand, then its group Maori, and Male.
            driver.find_element(By.ID, "population-nz").click()
            settled(driver)
            groups = [o.text for o in driver.find_elements(By.CSS_SELECTOR, "#eth option")]
            check("Maori" in groups and "Samoan" in groups, "New Zealand's groups: %s" % groups)
            select(driver, "eth", "Maori")
            driver.find_element(By.ID, "sex-male").click()
            # By typing: the readings and the gestation in weeks and days.
            type_into(driver, "ht", "158")
            type_into(driver, "wt", "71.5")
            type_into(driver, "gest-weeks", "38")
            driver.find_element(By.ID, "gest-days").send_keys("4")
            type_into(driver, "bwt", "2650")
            # By keyboard only: parity 2 with the arrow keys.
            driver.find_element(By.ID, "par").send_keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN)
            driver.find_element(By.ID, "calculate").send_keys(Keys.ENTER)
            check(settled(driver) == "ready", "the page answers the typed inputs")

            expected = calc(args.custcent, "-p", "nz", "--bwt", "2650", "--gest", "38+4", "--wt", "71.5",
                            "--ht", "158", "--sex", "Male", "--eth", "Maori", "--par", "2")
            shown = text_of(driver, "centile")
            check(shown == expected["centileText"], "centile %s, custcent calc says %s" % (shown, expected["centileText"]))
            band = driver.find_element(By.ID, "band")
            check(band.get_attribute("data-band") == "SGA" and band.text == expected["bandWords"],
                  "band shown in words: %r" % band.text)
            check(text_of(driver, "coefficients") == "New Zealand · coefficient set 5.15",
                  "the coefficients cannot read as another population's: %r" % text_of(driver, "coefficients"))
            if args.screenshot:
                WebDriverWait(driver, 20).until(lambda d: d.execute_script(
                    "const c = document.getElementById('chart'); return c.complete && c.naturalWidth > 0"))
                screen(driver, 1000, driver.execute_script("return document.documentElement.scrollHeight"))
                driver.save_screenshot(args.screenshot)
                driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

            # The same birthweight in kilograms gives the same centile.
            select(driver, "bwt-unit", "kg")
            type_into(driver, "bwt", "2.65")
            settled(driver)
            check(text_of(driver, "centile") == shown, "2.65 kg reads as 2650 g")
            select(driver, "bwt-unit", "g")
            type_into(driver, "bwt", "2650")
            settled(driver)

            # A reading in the wrong unit is flagged in words.
            type_into(driver, "ht", "1.58")
            settled(driver)
            flags = [e.text for e in driver.find_elements(By.CSS_SELECTOR, "#flags li")]
            check(any("metres" in f for f in flags), "height in metres flagged: %s" % flags)
            type_into(driver, "ht", "158")
            settled(driver)

            check_entries(driver, check)
            check_typing_race(driver, args.custcent, check)
            check_phone(driver, check, args.phone_screenshot)
        finally:
            driver.quit()
            shutil.rmtree(profile, ignore_errors=True)
        status, log = served.stop()
        check(status == 0, "custcent serve ends with status 0 on SIGTERM, not %s" % status)
        check("2650" not in log and "Maori" not in log, "no inputs in the access log")
        check('"POST /v1/centile HTTP/1.1" 200' in log, "one access-log line per request")

    if failures:
        print("%d check(s) failed" % len(failures), file=sys.stderr)
        return 1
    print("browser test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
