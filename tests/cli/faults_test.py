"""custcent when the world fails it: a full disk, a dropped terminal and
killed runs, its own input named as output, rows too wide for memory, a
spreadsheet's UTF-16 "Unicode text". Each case says what a user must see:
a non-zero exit with the system's reason, the old file kept, no temporary
file left, memory bounded.

    /usr/bin/python3 faults_test.py CUSTCENT
"""
import contextlib
import itertools
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

CUSTCENT = None
HEADER = "id,bwt,gest,wt,ht,sex,eth,par\n"
ROW = "{},3400,280,64,163,1,1,0\n"


def births(rows):
    return HEADER + "".join(ROW.format(i) for i in range(rows))


def temporary_files(directory):
    return sorted(name for name in os.listdir(directory) if ".tmp-" in name)


def run(args, **kwargs):
    return subprocess.run([CUSTCENT] + args, capture_output=True, text=True, timeout=120, **kwargs)


def limit_file_size(size):
    """For preexec_fn: files of the child may not grow past `size` bytes."""
    def apply():
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, resource.RLIM_INFINITY))
        signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
    return apply


def default_signals():
    """For preexec_fn: the signals as a terminal's shell leaves them, whatever
    this test was started with (a background job ignores SIGINT, nohup
    SIGHUP)."""
    for sig in (signal.SIGHUP, signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, signal.SIG_DFL)


class Directory(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="custcent-faults-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, text):
        with open(self.path(name), "w", encoding="utf-8", newline="") as f:
            f.write(text)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), encoding="utf-8", newline="") as f:
            return f.read()


@contextlib.contextmanager
def full_disk(directory):
    """A directory on a file system with about 4 KiB left, as root (a small
    memory file system, filled up), or None where that cannot be had."""
    mount = os.path.join(directory, "full")
    os.mkdir(mount)
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "tmpfs", mount],
                                           capture_output=True).returncode != 0:
        yield None
        return
    try:
        yield mount
    finally:
        subprocess.run(["umount", "-l", mount], capture_output=True)


def fill(mount, leave=4096):
    stat = os.statvfs(mount)
    free = stat.f_bavail * stat.f_frsize
    with open(os.path.join(mount, "filler"), "wb") as f:
        f.write(b"\0" * max(free - leave, 0))


class FullDisk(Directory):
    """Every output file meets a full disk: the command fails with the
    system's reason, the old file stays and no temporary file is left. Where
    no file system can be mounted, the file size limit (ulimit -f) stands in
    for it ("File too large")."""

    def outputs(self, target):
        """Each command that writes a file, with the exit status it must give."""
        cases = [("batch -o", 2, ["batch", self.path("births.csv"), "-o", os.path.join(target, "out.csv")],
                  "out.csv")]
        probe = run(["chart", "--bwt", "3400", "--gest", "280", "--wt", "64", "--ht", "163", "--sex", "1",
                     "--eth", "1", "--par", "0", "-o", self.path("probe.svg")])
        if probe.returncode == 0:
            for suffix in ("svg", "png", "pdf"):
                cases.append(("chart -o ." + suffix, 1,
                              ["chart", "--bwt", "3400", "--gest", "280", "--wt", "64", "--ht", "163", "--sex", "1",
                               "--eth", "1", "--par", "0", "-o", os.path.join(target, "c." + suffix)],
                              "c." + suffix))
            cases.append(("batch --summary", 2, ["batch", self.path("births.csv"), "--summary",
                                                 os.path.join(target, "s.svg"), "-o", "/dev/null"], "s.svg"))
        else:
            print("custcent draws no charts (built without Qt): charts not checked")
        return cases

    def check(self, target, reason, preexec=None):
        self.write("births.csv", births(20000))
        for what, status, args, name in self.outputs(target):
            with self.subTest(what):
                old = os.path.join(target, name)
                with open(old, "w") as f:
                    f.write("the old file\n")
                if preexec is None:
                    fill(target)
                result = run(args, preexec_fn=preexec)
                if preexec is None:
                    os.remove(os.path.join(target, "filler"))
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn("cannot write", result.stderr)
                self.assertIn(reason, result.stderr)
                with open(old) as f:
                    self.assertEqual(f.read(), "the old file\n")
                self.assertEqual(temporary_files(target), [])

    def test_a_full_file_system(self):
        with full_disk(self.dir) as mount:
            if mount is None:
                self.skipTest("no file system can be mounted here (not root)")
            self.check(mount, "No space left on device")
            # The batch says how far it got, then why it stopped.
            fill(mount)
            result = run(["batch", self.path("births.csv"), "-o", os.path.join(mount, "out.csv")])
            self.assertRegex(result.stderr, r"cannot write the output after \d+ rows: No space left on device")

    def test_the_file_size_limit(self):
        os.mkdir(self.path("limited"))
        self.check(self.path("limited"), "File too large", preexec=limit_file_size(4096))


class OwnInput(Directory):
    """-o naming the input, by any path, is refused before anything is read:
    the input with its malformed records survives."""

    def test_every_way_of_naming_the_input_is_refused(self):
        text = HEADER + '1,3400,280,64,163,1,1,0\n2,"unterminated,280\n3,3400,280\n'
        self.write("mal.csv", text)
        os.symlink("mal.csv", self.path("link.csv"))
        os.link(self.path("mal.csv"), self.path("hard.csv"))
        cases = [
            ("the same name", ["batch", "mal.csv", "-o", "mal.csv"], None),
            ("another spelling", ["batch", "mal.csv", "-o", "./sub/../mal.csv"], None),
            ("a symbolic link", ["batch", "mal.csv", "-o", "link.csv"], None),
            ("a hard link", ["batch", "hard.csv", "-o", "mal.csv"], None),
            ("standard input", ["batch", "-o", "mal.csv"], "mal.csv"),
        ]
        os.mkdir(self.path("sub"))
        for what, args, stdin in cases:
            with self.subTest(what):
                with open(self.path(stdin or "mal.csv")) as f:
                    result = subprocess.run([CUSTCENT] + args, cwd=self.dir, stdin=f if stdin else None,
                                            capture_output=True, text=True, timeout=60)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn("is the input file itself", result.stderr)
                self.assertEqual(self.read("mal.csv"), text)
                self.assertEqual(temporary_files(self.dir), [])


class Signals(Directory):
    """A batch writing -o out.csv while its input still arrives on a pipe."""

    def start(self):
        self.write("out.csv", "the old file\n")
        process = subprocess.Popen([CUSTCENT, "batch", "-q", "-o", "out.csv"], cwd=self.dir, stdin=subprocess.PIPE,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                   preexec_fn=default_signals)
        process.stdin.write(births(5000))
        process.stdin.flush()
        deadline = time.monotonic() + 10
        while not temporary_files(self.dir) and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertNotEqual(temporary_files(self.dir), [], "the run writes a temporary file")
        return process

    def test_a_hang_up_or_a_polite_kill_leaves_no_temporary_file(self):
        for sig, twice in ((signal.SIGHUP, False), (signal.SIGTERM, False), (signal.SIGINT, False),
                           (signal.SIGHUP, True), (signal.SIGTERM, True)):
            with self.subTest(signal=sig.name, twice=twice):
                process = self.start()
                process.send_signal(sig)
                if twice:
                    process.send_signal(sig)
                process.wait(timeout=10)
                process.stdin.close()
                process.stderr.close()
                # Stopped and reported (128 + the signal), or ended by the second signal itself.
                self.assertIn(process.returncode, (128 + sig, -sig))
                self.assertEqual(temporary_files(self.dir), [])
                self.assertEqual(self.read("out.csv"), "the old file\n")

    def test_a_killed_run_is_cleaned_up_by_the_next(self):
        process = self.start()
        process.kill()
        process.wait(timeout=10)
        process.stdin.close()
        process.stderr.close()
        left = temporary_files(self.dir)
        self.assertEqual(len(left), 1, "SIGKILL leaves the temporary file")
        self.write("births.csv", births(3))
        result = run(["batch", "births.csv", "-o", "out.csv"], cwd=self.dir)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(temporary_files(self.dir), [])
        self.assertEqual(len(self.read("out.csv").splitlines()), 4)


class Memory(Directory):
    """Memory stays bounded whatever the rows hold."""

    LIMIT = 256 << 20

    def setUp(self):
        super().setUp()
        if os.environ.get("WRENFIELD_SANITIZED") and self._testMethodName != \
                "test_a_record_over_the_limit_is_a_row_error_and_the_next_rows_are_read":
            self.skipTest("the sanitizers' own memory is not the program's")

    def peak(self, pieces, expected=0):
        """custcent batch's peak resident memory (bytes) and its output, the
        input given piece by piece on a pipe. The pieces are made as they are
        sent: the child's peak counts what this process held when it forked."""
        out = open(self.path("out.csv"), "w")
        process = subprocess.Popen([CUSTCENT, "batch", "-q"], stdin=subprocess.PIPE, stdout=out,
                                   stderr=subprocess.PIPE)
        for piece in pieces:
            process.stdin.write(piece.encode())
        process.stdin.close()
        err = process.stderr.read().decode()
        process.stderr.close()
        _, waited, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(waited)
        out.close()
        self.assertEqual(process.returncode, expected, err)
        return usage.ru_maxrss * 1024, self.read("out.csv")

    def assertComputed(self, lines):
        for line in lines:
            centile, error = line.rsplit(",", 2)[1:]
            self.assertTrue(centile.startswith("38.2216410462921") and error == "", line[-60:])

    def test_a_hundred_thousand_columns(self):
        extra = 100000 - 8
        header = HEADER.rstrip("\n") + "".join(",c%d" % i for i in range(extra)) + "\n"
        row = ROW.rstrip("\n") + ",7" * extra + "\n"
        rss, out = self.peak(itertools.chain([header], (row.format(i) for i in range(120))))
        self.assertLess(rss, self.LIMIT)
        lines = out.splitlines()
        self.assertEqual(len(lines), 121)
        self.assertComputed(lines[1:])

    def test_two_hundred_kilobyte_fields(self):
        header = HEADER.rstrip("\n") + ",notes\n"
        row = ROW.rstrip("\n") + "," + "x" * 200000 + "\n"
        rss, out = self.peak(itertools.chain([header], (row.format(i) for i in range(800))))
        self.assertLess(rss, self.LIMIT)
        lines = out.splitlines()
        self.assertEqual(len(lines), 801)
        self.assertComputed(line.replace("x" * 200000, "") for line in lines[1:])

    def test_a_record_over_the_limit_is_a_row_error_and_the_next_rows_are_read(self):
        header = HEADER.rstrip("\n") + ",a,b,c\n"
        big = ",".join(["y" * 500000] * 3)
        rows = [ROW.rstrip("\n").format(1) + ",,,\n", ROW.rstrip("\n").format(2) + "," + big + "\n",
                ROW.rstrip("\n").format(3) + ",,,\n"]
        _, out = self.peak([header] + rows, expected=1)
        lines = out.splitlines()
        self.assertEqual(len(lines), 4)
        self.assertTrue(lines[2].endswith(",malformed record at line 3: record longer than 1048576 bytes"),
                        lines[2][-100:])
        self.assertComputed([lines[1], lines[3]])


class Encodings(Directory):
    """A spreadsheet's "Unicode text" (UTF-16 with a byte order mark, tab
    between the fields) is read like the same text in UTF-8."""

    def test_utf16_and_utf32_files_are_read(self):
        text = "id\tbwt\tgest\twt\tht\tsex\teth\tpar\nMāori\t3400\t280\t64\t163\t1\t1\t0\n"
        expected = run(["batch", self.write("plain.tsv", text)])
        self.assertEqual(expected.returncode, 0, expected.stderr)
        for encoding in ("utf-16-le", "utf-16-be", "utf-32-le", "utf-32-be"):
            with self.subTest(encoding):
                path = self.path("unicode.txt")
                with open(path, "wb") as f:
                    f.write("\ufeff".encode(encoding) + text.encode(encoding))
                result = run(["batch", path])
                self.assertEqual(result.returncode, 0, result.stderr)
                # The output is UTF-8, with a byte order mark as the input had one.
                self.assertEqual(result.stdout, "\ufeff" + expected.stdout)


class ReadFailures(Directory):
    def test_a_failed_read_gives_the_systems_reason(self):
        result = run(["batch", self.dir])
        self.assertEqual(result.returncode, 2)
        self.assertIn("cannot read the input: Is a directory", result.stderr)


if __name__ == "__main__":
    CUSTCENT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
