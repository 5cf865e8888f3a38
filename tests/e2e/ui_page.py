"""The operator's page in headless Chromium against the running program (started by
ui_page.sh): the list, a Take from the page, a Send in the window shown on the page, the
notice while the program is gone and the page back by itself, the view-only token, and a
page of another origin. Prints the figures: Send in the window to the page, and a tap on
Take against a curl call, each to the first byte on the unit."""

import http.server
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ENV = os.environ
PORT = int(ENV["PORT"])
TOKEN = ENV["TOKEN"]
VIEW_TOKEN = ENV["VIEW_TOKEN"]
UNIT_LOG = ENV["UNIT_LOG"]
UNIT_T0 = int(ENV["UNIT_T0"])
SHOTS = ENV.get("UI_SHOTS") or ENV["ARTEFACTS"]
CUE_TEXTS = json.loads(ENV["CUE_TEXTS"])
BASE = f"http://127.0.0.1:{PORT}"
# Where the window's controls are on the screen, by their names in lib.sh.
AT = {name: [str(x), str(y)] for name, (x, y) in json.loads(ENV["AT_JSON"]).items()}


def fail(why):
    print("FAIL: " + why, file=sys.stderr)
    sys.exit(1)


def step(what):
    print("-- " + what, flush=True)


def now_ms():
    return time.time_ns() // 1_000_000


def api(method, path, body=None, token=TOKEN):
    request = urllib.request.Request(BASE + path, method=method)
    request.add_header("Authorization", "Bearer " + token)
    data = None
    if method in ("POST", "PUT"):
        request.add_header("Content-Type", "application/json")
        data = json.dumps(body or {}).encode()
    try:
        with urllib.request.urlopen(request, data, timeout=20) as answer:
            return answer.status, json.loads(answer.read() or b"null")
    except urllib.error.HTTPError as refused:
        return refused.code, json.loads(refused.read() or b"null")


def unit_lines():
    with open(UNIT_LOG) as log:
        return log.read().splitlines()


def writes_done():
    """The writes the program has finished with, as its as-run log has them."""
    folder = os.path.join(ENV["XDG_STATE_HOME"], "Halvercrest", "Tessora", "as-run")
    if not os.path.isdir(folder):
        return 0
    return sum(open(os.path.join(folder, name)).read().count("\n")
               for name in os.listdir(folder) if name.endswith(".jsonl"))


def unit_text_from(line):
    return "".join(chr(int(entry.split()[1], 16)) for entry in unit_lines()[line:])


def commands_done():
    with open(ENV["TESSORA_READY_FILE"]) as ready:
        return sum(" done " in entry for entry in ready)


def click_in_window(name):
    """A press on a control of the window, once the window says it has run the command."""
    before = commands_done()
    subprocess.run(["xdotool", "mousemove"] + AT[name] + ["click", "1"], check=True)
    wait(f"pressing {name} ran no command", lambda: commands_done() > before)


def wait(what, condition, timeout=15):
    """what says what never came; a function gives it as things stand at the end."""
    try:
        return WebDriverWait(None, timeout, poll_frequency=0.01).until(lambda _: condition())
    except TimeoutException:
        fail(what() if callable(what) else what)


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--disable-dev-shm-usage", "--window-size=1024,768",
                     "--user-data-dir=" + tempfile.mkdtemp(prefix="tessora-ui-chromium.")):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def texts(driver, selector):
    return driver.execute_script(
        "return [...document.querySelectorAll(arguments[0])]"
        ".map(e => e.textContent.replace(/\\r\\n?/g, '\\n'))", selector)


def first_line(text):
    return text.replace("\r", "\n").split("\n")[0]


def on_air_text(driver):
    return driver.execute_script(
        "return document.getElementById('airText').textContent.replace(/\\r\\n?/g, '\\n')")


def marked(driver, kind):
    return driver.execute_script(
        "const r = document.querySelector('#cues .cue.' + arguments[0]);"
        "return r ? Number(r.dataset.cue) : 0", kind)


def page_ready(driver, count):
    return driver.execute_script(
        "return document.body.classList.contains('live') &&"
        " document.querySelectorAll('#cues .cue').length === arguments[0]", count)


def open_page(driver, token):
    driver.get(f"{BASE}/ui/#token={token}")
    wait("the page never listed the cues", lambda: page_ready(driver, len(CUE_TEXTS)))


# The unit stamps each byte in ms since it started; the wall clock at its start is known to
# within its start-up. Each first byte's arrival is also watched for in the log: the least
# difference between the two clocks seen is the offset, to within the watch's step.
OFFSETS = []


def first_byte(line):
    """The first byte the unit got from log line `line` on, on the unit's clock."""
    deadline = time.monotonic() + 10
    # Watched closely: the time it is seen is a bound on the offset.
    while len(unit_lines()) <= line:
        if time.monotonic() > deadline:
            fail("the unit got nothing")
        time.sleep(0.001)
    seen = now_ms()
    unit_ms = int(unit_lines()[line].split()[0])
    OFFSETS.append(seen - unit_ms)
    return unit_ms


def write_start(line, text):
    """When the write that carries text began on the unit (each write opens with {A19),
    from log line `line` on: a late byte of the write before is not taken for it."""
    first_byte(line)
    wait(f"the unit never got [{text}]", lambda: first_line(text) in unit_text_from(line), 10)
    got = unit_text_from(line)
    start = got.rfind("{A19", 0, got.index(first_line(text)))
    if start < 0:
        fail(f"no start of a write before [{text}] in [{got}]")
    return int(unit_lines()[line + start].split()[0])


def on_wall_clock(unit_ms):
    return unit_ms + min(OFFSETS) if OFFSETS else unit_ms + UNIT_T0


def changes_nothing(what, action):
    """Runs action, which must neither move the list's markers nor reach the unit."""
    before = api("GET", "/api/v1/cues")[1]
    line = len(unit_lines())
    result = action()
    after = api("GET", "/api/v1/cues")[1]
    if (before["next"], before["on_air"]) != (after["next"], after["on_air"]):
        fail(f"{what} moved the list: {before} -> {after}")
    if len(unit_lines()) != line:
        fail(f"{what} reached the unit")
    return result


def shoot(driver, name, width, height):
    # The page as a device of this size shows it, the browser's own frame left out.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 900})
    wait("the page never took its new size",
         lambda: driver.execute_script("return innerWidth") == width)
    path = os.path.join(SHOTS, f"ui-{name}.png")
    driver.save_screenshot(path)
    print("screenshot: " + path)


driver = browser()
try:
    step("the page lists the cues, each as it will be sent, and takes the token off the address")
    open_page(driver, TOKEN)
    listed = texts(driver, "#cues .cue pre")
    if listed != CUE_TEXTS:
        fail(f"the list shows {listed}, expected {CUE_TEXTS}")
    if driver.execute_script("return location.hash") != "":
        fail("the token stayed in the address")
    if not driver.find_element(By.ID, "take").is_displayed():
        fail("no Take button for the full token")

    step("a tap on Take puts the next cue on the unit and the page marks it on air")
    driver.execute_script(
        "window.tapAt = 0;"
        "document.addEventListener('click', () => { window.tapAt = Date.now(); }, true);")
    tap_ms = []
    curl_ms = []
    for round_ in range(6):
        done = writes_done()
        line = len(unit_lines())
        driver.find_element(By.ID, "take").click()
        cue = CUE_TEXTS[round_]
        byte = write_start(line, cue)
        tap_ms.append((byte, driver.execute_script("return window.tapAt")))
        wait(lambda: f"the page never marked cue {round_ + 1} on air: on air"
             f" {marked(driver, 'onair')}, next {marked(driver, 'next')}, text"
             f" [{on_air_text(driver)}]",
             lambda: marked(driver, "onair") == round_ + 1 and on_air_text(driver) == cue)
        if round_ == 0 and marked(driver, "next") != 2:
            fail(f"next marker on {marked(driver, 'next')}, expected 2")
        wait("the tap's write never finished", lambda: writes_done() > done)
        # The same take by curl, then back, so each tap takes the next cue.
        done = writes_done()
        line = len(unit_lines())
        t0 = now_ms()
        subprocess.run(["curl", "-sS", "-o", "/dev/null", "-X", "POST", "-H",
                        "Authorization: Bearer " + TOKEN, "-H", "Content-Type: application/json",
                        BASE + "/api/v1/cues/take"], check=True)
        curl_ms.append((write_start(line, CUE_TEXTS[round_ + 1]), t0))
        wait("curl's write never finished", lambda: writes_done() > done)
        if api("POST", "/api/v1/cues/previous")[0] != 200:
            fail("previous over the API")
        wait("the page never saw the marker move back",
             lambda: marked(driver, "next") == round_ + 2)

    step("a Send in the window shows on the page")
    driver.execute_script(
        "window.shown = [];"
        "new MutationObserver(() => window.shown.push([Date.now(),"
        " document.getElementById('airText').textContent]))"
        ".observe(document.getElementById('airText'), {childList: true, subtree: true,"
        " characterData: true});")
    send_ms = []
    send_byte_ms = []
    last_byte_ms = []
    texts_of = {1: "From the window on 1", 2: "From the window on 2"}
    for screen, text in texts_of.items():
        if api("PUT", f"/api/v1/screens/{screen}", {"text": text})[0] != 200:
            fail(f"PUT of screen {screen}")
    for i in range(6):
        # The screen's tab pressed in the window: once the window says the press is done,
        # its page shows the screen, the texts put above included, and Send sends it.
        screen = 1 + i % 2
        text = texts_of[screen]
        click_in_window(f"Screen{screen}")
        subprocess.run(["xdotool", "mousemove"] + AT["btnSend"], check=True)
        driver.execute_script("window.shown = []")
        done = writes_done()
        line = len(unit_lines())
        t0 = now_ms()
        subprocess.run(["xdotool", "click", "1"], check=True)
        send_byte_ms.append((write_start(line, text), t0))
        shown = wait(f"the page never showed [{text}]", lambda: next(
            (at for at, seen in driver.execute_script("return window.shown") if seen == text),
            None), 10)
        send_ms.append((shown, t0))
        wait("the Send's write never finished", lambda: writes_done() > done)
        last_byte_ms.append(int(unit_lines()[-1].split()[0]))

    step("while a dialog is open the buttons wait, with the reason, and come back after it")
    subprocess.run(["xdotool", "mousemove"] + AT["btnOpen"] + ["click", "1"], check=True)
    wait("the Open dialog never made the program busy",
         lambda: api("GET", "/api/v1/status")[0] == 409)
    line = len(unit_lines())
    driver.find_element(By.ID, "take").click()
    wait("the page never said why it waits", lambda: "dialog" in driver.find_element(
        By.ID, "reason").text and not driver.find_element(By.ID, "take").is_enabled())
    print("reason: " + driver.find_element(By.ID, "reason").text)
    shoot(driver, "busy", 1024, 768)
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    # The screens were changed over the API: Open asks first whether to save them (No), then
    # shows its file dialog (closed unused).
    subprocess.run(["xdotool", "key", "--clearmodifiers", "n"], check=True)
    wait("Open showed no file dialog", lambda: subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--name", "^Open$"],
        stdout=subprocess.DEVNULL).returncode == 0)
    subprocess.run(["xdotool", "key", "--clearmodifiers", "Escape"], check=True)
    wait("the buttons never came back after the dialog",
         lambda: driver.find_element(By.ID, "take").is_enabled(), 15)
    if len(unit_lines()) != line:
        fail("a Take while the dialog was open reached the unit")

    step("screenshots during the show")
    api("POST", "/api/v1/cues/take", {"cue": 3})
    wait("the page never showed cue 3 on air", lambda: marked(driver, "onair") == 3 and
         on_air_text(driver) == CUE_TEXTS[2] and marked(driver, "next") == 4)
    for name, width, height in (("tablet-landscape", 1024, 768), ("tablet-portrait", 768, 1024),
                                ("phone", 390, 844)):
        shoot(driver, name, width, height)
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    step("the program gone: a notice; back: the page connects again by itself")
    pid = int(open(ENV["APP_PID_FILE"]).read())
    os.kill(pid, signal.SIGKILL)
    wait("no notice of the lost connection",
         lambda: driver.find_element(By.ID, "notice").is_displayed(), 10)
    print("notice: " + driver.find_element(By.ID, "notice").text)
    shoot(driver, "connection-lost", 1024, 768)
    listening = open(ENV["TESSORA_READY_FILE"]).read().count(" remote listening ")
    with open(ENV["APP_LOG"], "a") as log:
        again = subprocess.Popen(ENV["APP_COMMAND"].split("\x1f"), stdout=log, stderr=log)
    with open(ENV["APP_PID_FILE"], "w") as pid_file:
        pid_file.write(str(again.pid))
    wait("the program never listened again", lambda: open(
        ENV["TESSORA_READY_FILE"]).read().count(" remote listening ") > listening, 60)
    wait("the page never connected again", lambda: not driver.find_element(
        By.ID, "notice").is_displayed() and page_ready(driver, len(CUE_TEXTS)), 20)

    step("the view-only token: the list, no buttons, and its Take changes nothing")
    driver.switch_to.new_window("tab")
    open_page(driver, VIEW_TOKEN)
    if texts(driver, "#cues .cue pre") != CUE_TEXTS:
        fail("the view page lists other cues")
    if driver.execute_script("return document.querySelectorAll('button').length") != 0:
        fail("the view page has buttons")
    if not driver.find_element(By.ID, "mode").is_displayed():
        fail("the view page does not say it only looks")
    # What is on air reaches the page that only looks, as it does the operator's.
    if api("POST", "/api/v1/cues/take", {"cue": 2})[0] != 200:
        fail("a take of cue 2 over the API")
    wait("the view page never showed cue 2 on air",
         lambda: marked(driver, "onair") == 2 and on_air_text(driver) == CUE_TEXTS[1])
    shoot(driver, "view-phone", 390, 844)
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    status = changes_nothing("the view token's Take", lambda: driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "fetch('/api/v1/cues/take', {method: 'POST', headers: {Authorization: 'Bearer ' +"
        " sessionStorage.getItem('tessora.token'), 'Content-Type': 'application/json'},"
        " body: '{}'}).then(r => done(r.status), e => done(String(e)));"))
    if status != 403:
        fail(f"a Take with the view token was answered {status}")

    step("a page from another origin cannot call, nor listen")

    class Foreign(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            body = b"<!DOCTYPE html><title>elsewhere</title>"
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    foreign = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Foreign)
    threading.Thread(target=foreign.serve_forever, daemon=True).start()
    driver.get(f"http://127.0.0.1:{foreign.server_address[1]}/")
    tried = changes_nothing("a foreign page's Take", lambda: driver.execute_async_script(
        "const [base, token, done] = arguments;"
        "const take = (init) => fetch(base + '/api/v1/cues/take', init)"
        "  .then(r => 'answered ' + r.type + ' ' + r.status, e => 'refused');"
        "Promise.all([take({method: 'POST', headers: {Authorization: 'Bearer ' + token,"
        "  'Content-Type': 'application/json'}, body: '{}'}),"
        " take({method: 'POST', mode: 'no-cors', body: '{}'}),"
        " new Promise(resolve => { const ws = new WebSocket(base.replace('http', 'ws') +"
        "  '/api/v1/events?token=' + token); ws.onopen = () => resolve('listening');"
        "  ws.onclose = () => resolve('closed'); })]).then(done);",
        BASE, TOKEN))
    if tried[0] != "refused" or tried[2] != "closed":
        fail(f"a foreign page got through: {tried}")
    foreign.shutdown()

    def figure(what, pairs, wall=True):
        spans = sorted((on_wall_clock(a) if wall else a) - b for a, b in pairs)
        print(f"figure: {what}: median {statistics.median(spans)} ms, all {spans}")

    # The first round wakes the browser's connection and the program's paths up.
    figure("tap on Take to the first byte on the unit", tap_ms[1:])
    figure("curl's take to the first byte on the unit", curl_ms[1:])
    figure("Send clicked in the window to the page showing it", send_ms, wall=False)
    figure("Send clicked in the window to the first byte on the unit", send_byte_ms)
    figure("first byte on the unit to the page showing it",
           [(shown, on_wall_clock(byte)) for (shown, _), (byte, _) in zip(send_ms, send_byte_ms)],
           wall=False)
    figure("last byte on the unit to the page showing it",
           [(shown, on_wall_clock(byte)) for (shown, _), byte in zip(send_ms, last_byte_ms)],
           wall=False)
finally:
    driver.quit()
