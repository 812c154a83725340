"""`custcent serve` as a user runs it: the README's curl example gives the
output the README shows, the growth chart is SVG when custcent has Qt, Python's urllib and Node's fetch read the
413 of a body over the limit, and SIGTERM lets the request under way finish before the process ends with
status 0.

    /usr/bin/python3 serve_process_test.py CUSTCENT README
"""
import json
import os
import urllib.error
import urllib.request
import xml.etree.ElementTree as ElementTree
import shutil
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from serve_support import Served  # noqa: E402


def readme_example(readme):
    """The command and output of the README's curl example (serve_curl.sh)."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
    from doc_examples import marked_example
    command, shown = marked_example(os.path.dirname(os.path.abspath(readme)), "serve_curl.sh")
    if shown is None:
        raise SystemExit("the curl example shows no answer")
    return command.strip(), json.loads(shown)


def check_chart(served, check):
    """The chart of a birth given in the query is an SVG document; a field
    that cannot be used is a 422 problem naming it."""
    base = "http://%s:%d" % (served.host, served.port)
    with urllib.request.urlopen(base + "/v1/version", timeout=10) as answer:
        if not json.load(answer)["chart"]:
            print("custcent has no chart painter (built without Qt): chart not checked")
            return
    birth = "bwt=3.4kg&gest=39%2B4&wt=64&ht=163&sex=Male&eth=European&par=0&population=uk"
    with urllib.request.urlopen(base + "/v1/chart.svg?" + birth + "&width=640&height=400", timeout=30) as answer:
        check(answer.headers["Content-Type"] == "image/svg+xml", "the chart is image/svg+xml")
        root = ElementTree.fromstring(answer.read())
        check(root.tag == "{http://www.w3.org/2000/svg}svg", "the chart is an SVG document, not " + root.tag)
        check(root.get("width", "").startswith("640") or "640" in root.get("viewBox", ""),
              "the chart has the width asked for: %r" % root.attrib)
    for query, field in ((birth.replace("par=0", "par=lots"), "par"), (birth + "&width=9", "width")):
        try:
            urllib.request.urlopen(base + "/v1/chart.svg?" + query, timeout=30)
            check(False, "a chart of an unusable %s is refused" % field)
        except urllib.error.HTTPError as error:
            problem = json.load(error)
            check(error.code == 422 and problem.get("field") == field,
                  "an unusable %s is a 422 naming it: %d %r" % (field, error.code, problem))


NODE_FETCH = """
const [url, size] = process.argv.slice(1);
fetch(url, {method: "POST", headers: {"Content-Type": "application/json"}, body: " ".repeat(Number(size))})
  .then(async (answer) => console.log(answer.status, (await answer.json()).title))
  .catch((error) => console.log("failed", error.cause ? error.cause.code : error.message));
"""


def check_oversized_body(served, check):
    """A body over the limit, sent whole before the answer is read (as
    Python's urllib and Node's fetch send it): the client reads the 413."""
    url = "http://%s:%d/v1/centile" % (served.host, served.port)
    size = 5 * 1024 * 1024
    request = urllib.request.Request(url, data=b" " * size, headers={"Content-Type": "application/json"})
    try:
        urllib.request.urlopen(request, timeout=30)
        check(False, "urllib: a body over the limit is refused")
    except urllib.error.HTTPError as error:
        check(error.code == 413, "urllib reads the 413, not %d" % error.code)
    except OSError as error:
        check(False, "urllib reads the 413, not %r" % error)
    node = shutil.which("node")
    if not node:
        print("node is not installed: Node's fetch not checked")
        return
    out = subprocess.run([node, "-e", NODE_FETCH, url, str(size)], capture_output=True, text=True, timeout=60)
    check(out.stdout.strip() == "413 Content Too Large", "Node's fetch reads the 413: %r %r" % (out.stdout, out.stderr))


def main():
    custcent, readme = sys.argv[1], sys.argv[2]
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)
            print("FAILED:", what, file=sys.stderr)

    command, shown = readme_example(readme)
    with Served(custcent) as served:
        out = subprocess.run(["sh", "-c", command.replace("127.0.0.1:8080", "127.0.0.1:%d" % served.port)],
                             capture_output=True, text=True, timeout=30)
        check(out.returncode == 0, "the README's curl command runs: " + out.stderr)
        check(out.returncode == 0 and json.loads(out.stdout) == shown,
              "the README shows what the service answers:\n" + out.stdout)

        check_chart(served, check)
        check_oversized_body(served, check)

        # A request under way when SIGTERM arrives is still answered.
        body = b'{"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0}'
        busy = socket.create_connection((served.host, served.port), timeout=5)
        busy.sendall(b"POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                     b"Content-Length: %d\r\n\r\n" % len(body) + body[:20])
        idle = socket.create_connection((served.host, served.port), timeout=5)
        time.sleep(0.3)
        served.process.terminate()
        time.sleep(0.3)
        check(idle.recv(100) == b"", "an idle connection is closed on SIGTERM")
        check(served.process.poll() is None, "the service waits for the request under way")
        busy.sendall(body[20:])
        answer = b""
        while True:
            chunk = busy.recv(65536)
            if not chunk:
                break
            answer += chunk
        check(answer.startswith(b"HTTP/1.1 200 OK"), "the request under way is answered: %r" % answer[:60])
        check(b"Connection: close" in answer, "and its connection closed")
        status, log = served.stop(timeout=5, signal=False)
        check(status == 0, "exit status 0 after SIGTERM, not %s; the log ends:\n%s" % (status, log[-2000:]))
        check("custcent serve: stopped" in log, "the log says it stopped")

    if failures:
        return 1
    print("serve process test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
