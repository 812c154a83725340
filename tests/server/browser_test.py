"""The calculator page in a real browser (headless chromium via Selenium):
pick a population and a group by clicking, type the inputs, read the centile
and the band, and compare them with `custcent calc` for the same inputs.

    /usr/bin/python3 browser_test.py CUSTCENT [--screenshot PNG]
"""
import argparse
import json
import os
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


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                 "--disable-background-networking", "--disable-component-update", "--no-first-run",
                 "--user-data-dir=" + profile, "--window-size=1000,1000", "--force-device-scale-factor=1"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"),
                            options=options)


def settled(driver, timeout=20):
    """Waits until the page has answered its latest question; returns its state."""
    main = driver.find_element(By.ID, "calculator")

    def done(_):
        state = main.get_attribute("data-state")
        if state in ("ready", "error", "incomplete") and \
                main.get_attribute("data-asked") == main.get_attribute("data-answered"):
            return state
        return False
    return WebDriverWait(driver, timeout).until(done)


def type_into(driver, element_id, text):
    field = driver.find_element(By.ID, element_id)
    field.click()
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(text)


def calc(custcent, *args):
    out = subprocess.run([custcent, "calc", *args, "--json"], check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("custcent")
    parser.add_argument("--screenshot")
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
            check(driver.find_element(By.ID, "centile").text == "56", "the defaults give 56, as the form does")

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
            driver.find_element(By.ID, "eth").click()
            driver.find_element(By.CSS_SELECTOR, "#eth option[value='Maori']").click()
            driver.find_element(By.ID, "sex-male").click()
            # By typing: the readings and the gestation in weeks and days.
            type_into(driver, "ht", "158")
            type_into(driver, "wt", "71.5")
            type_into(driver, "gest-weeks", "38")
            driver.find_element(By.ID, "gest-days").send_keys("4")
            type_into(driver, "bwt", "2650")
            # By keyboard only: parity 2 with the arrow keys.
            parity = driver.find_element(By.ID, "par")
            parity.send_keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN)
            driver.find_element(By.ID, "calculate").send_keys(Keys.ENTER)
            check(settled(driver) == "ready", "the page answers the typed inputs")

            expected = calc(args.custcent, "-p", "nz", "--bwt", "2650", "--gest", "38+4", "--wt", "71.5",
                            "--ht", "158", "--sex", "Male", "--eth", "Maori", "--par", "2")
            shown = driver.find_element(By.ID, "centile").text
            check(shown == str(expected["rounded"]), "centile %s, custcent calc says %s" % (shown, expected["rounded"]))
            band = driver.find_element(By.ID, "band")
            check(band.get_attribute("data-band") == "SGA" and "small for gestational age" in band.text,
                  "band shown in words: %r" % band.text)

            if args.screenshot:
                driver.save_screenshot(args.screenshot)

            # The same birthweight in kilograms gives the same centile.
            driver.find_element(By.ID, "bwt-unit").click()
            driver.find_element(By.CSS_SELECTOR, "#bwt-unit option[value='kg']").click()
            type_into(driver, "bwt", "2.65")
            settled(driver)
            check(driver.find_element(By.ID, "centile").text == shown, "2.65 kg reads as 2650 g")

            # A reading in the wrong unit is flagged in words.
            type_into(driver, "ht", "1.58")
            settled(driver)
            flags = [e.text for e in driver.find_elements(By.CSS_SELECTOR, "#flags li")]
            check(any("metres" in f for f in flags), "height in metres flagged: %s" % flags)
            # An empty reading leaves no stale result.
            type_into(driver, "bwt", Keys.BACKSPACE)
            check(settled(driver) == "incomplete", "an empty reading is asked for")
            check(driver.find_element(By.ID, "centile").text == "–", "no stale centile")
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
