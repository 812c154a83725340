"""Starting `custcent serve` on a free port of 127.0.0.1 for a test."""
import re
import subprocess
import time


class Served:
    """custcent serve --listen 127.0.0.1:0, with its URL and its log."""

    def __init__(self, custcent, *args):
        self.process = subprocess.Popen(
            [custcent, "serve", "--listen", "127.0.0.1:0", *args],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        line = self.process.stderr.readline()
        match = re.search(r"listening on (http://\S+/)", line)
        if not match:
            self.process.kill()
            raise RuntimeError("custcent serve did not start: " + line)
        self.url = match.group(1)
        self.host, self.port = re.match(r"http://([^:/]+):(\d+)/", self.url).groups()
        self.port = int(self.port)

    def stop(self, timeout=10, signal=True):
        """Ends the service with SIGTERM (unless one was sent already); returns
        its exit status and the rest of its log."""
        if signal and self.process.poll() is None:
            self.process.terminate()
        try:
            rest = self.process.communicate(timeout=timeout)[1]
        except subprocess.TimeoutExpired:
            self.process.kill()
            rest = self.process.communicate()[1]
            raise
        return self.process.returncode, rest

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
