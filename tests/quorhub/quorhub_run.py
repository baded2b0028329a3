"""Starts and stops quorhub.exe under Wine for end-to-end tests.

Every run gets a scratch configuration directory (named by QUORVANE) holding
the given QUORHUB.INI and page files; a box watcher in the same Wine prefix
answers quorhub's message boxes and records them. Stops go through WM_CLOSE
(taskkill without /f), never by killing Wine.

Each test program runs its gateways in a Wine prefix of its own, a fresh copy of
a template made once per build: a gateway finds a running one by its window and
quits, so programs sharing a prefix could not run side by side, and one left
running by a killed program would stop every later start.
"""
import atexit
import fcntl
import os
import queue
import shutil
import signal
import subprocess
import sys
import threading
import time

SPLASH_TITLE = "Quorvane Steadfell"
# Wine's settings for quorhub.exe alone; tests change values in it, never remove it.
APP_DEFAULTS = r"HKCU\Software\Wine\AppDefaults\quorhub.exe"

# Written last into a build's template prefix, once it is complete.
TEMPLATE_MARK = "quorvane-template-ready"

# The prefixes this test program has made fresh, by build.
_fresh = {}

# Wine's own program images in a prefix: several hundred megabytes that no test
# writes, shared with the template through hard links so that thirty copies fit
# on a small disk. Everything else (registry, profiles) is copied.
_SHARED_IMAGES = (".dll", ".exe", ".drv", ".sys", ".ocx", ".acm", ".cpl", ".nls", ".msstyles", ".tlb")


def _copy_prefix_file(source, target):
    if source.lower().endswith(_SHARED_IMAGES):
        try:
            os.link(source, target)
            return target
        except OSError:
            pass
    return shutil.copy2(source, target)


def _end_prefix(prefix):
    """Ends the Wine server and display a prefix left running."""
    env = dict(os.environ, WINEPREFIX=prefix)
    if os.path.exists(os.path.join(prefix, "system.reg")):
        subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        with open(prefix + ".display") as f:
            os.kill(int(f.read().split()[1]), signal.SIGTERM)
    except (OSError, ValueError, IndexError):
        pass


def program_prefix(build, arch, wine_run):
    """This test program's own prefix under build, copied afresh from the build's
    template (made on first use) the first time the program asks."""
    if build in _fresh:
        return _fresh[build]
    name = os.path.splitext(os.path.basename(sys.argv[0]))[0] or "run"
    template = os.path.join(build, "wineprefixes", "template")
    prefix = os.path.join(build, "wineprefixes", name)
    os.makedirs(os.path.dirname(template), exist_ok=True)
    with open(template + ".copying", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(template, TEMPLATE_MARK)):
            _end_prefix(template)
            shutil.rmtree(template, ignore_errors=True)
            # Wine, not a window manager, manages quorhub's windows: Xvfb runs none, and Wine
            # waits two seconds for one at every hide of a managed window (a dialog's close,
            # the splash, the end of a run).
            subprocess.run([wine_run, "--arch", arch, "--prefix", template, "reg", "add",
                            APP_DEFAULTS + "\\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # Stopped, so that its registry is on disk and stays as copied.
            _end_prefix(template)
            open(os.path.join(template, TEMPLATE_MARK), "w").close()
        _end_prefix(prefix)
        for path in (prefix, prefix + ".display"):
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.remove(path)
        shutil.copytree(template, prefix, symlinks=True, copy_function=_copy_prefix_file)
    _fresh[build] = prefix
    # Nothing of this program's Wine outlives it.
    atexit.register(_end_prefix, prefix)
    return prefix


def windows_path(path):
    """The Wine name of a Linux path (drive Z: is the Linux root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class DriverSession:
    """One long-lived window driver (qvaid_driver serve) for a Wine prefix: a
    command then costs a line each way instead of a Wine start of its own.
    Thread-safe; a driver that died or hangs is started again."""

    sessions = {}
    sessions_lock = threading.Lock()

    @classmethod
    def of(cls, command):
        with cls.sessions_lock:
            key = tuple(command)
            if key not in cls.sessions:
                cls.sessions[key] = cls(command)
            return cls.sessions[key]

    def __init__(self, command):
        self.command = command
        self.lock = threading.Lock()
        self.run = None
        self.lines = None

    def _start(self):
        self.run = subprocess.Popen(self.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, args=(self.run.stdout, self.lines), daemon=True).start()

    @staticmethod
    def _read(stream, lines):
        for row in iter(stream.readline, b""):
            lines.put(row.decode("latin-1"))
        lines.put(None)

    def _stop(self, wait=0):
        """Closes the driver's input, which ends it; its wrapper is killed after wait seconds."""
        if self.run:
            try:
                self.run.stdin.close()
                self.run.wait(wait)
            except (OSError, subprocess.TimeoutExpired):
                self.run.kill()
                self.run.wait()
        self.run = None

    def call(self, args, timeout=60):
        """The command's output; "" when the driver gave no answer in time."""
        line = "\t".join(args)
        if any(c in line for c in "\r\n") or any("\t" in a for a in args):
            raise ValueError("driver arguments hold no tabs or line ends: %r" % (args,))
        with self.lock:
            if self.run is None or self.run.poll() is not None:
                self._start()
            try:
                self.run.stdin.write((line + "\n").encode("latin-1"))
                self.run.stdin.flush()
                out = []
                end = time.time() + timeout
                while True:
                    row = self.lines.get(timeout=max(0.0, end - time.time()))
                    if row is None:
                        raise EOFError
                    if row.startswith("=end "):
                        return "".join(out)
                    out.append(row)
            except (OSError, EOFError, queue.Empty):
                self._stop()
                return ""

    @classmethod
    def close_all(cls):
        with cls.sessions_lock:
            for session in cls.sessions.values():
                with session.lock:
                    session._stop(10)
            cls.sessions.clear()


atexit.register(DriverSession.close_all)


class Gateway:
    def __init__(self, build, arch, source, name, ini=None, files=None):
        self.build = os.path.abspath(build)
        self.arch = str(arch)
        self.wine_run = os.path.join(os.path.abspath(source), "tools", "wine-run")
        self.dir = os.path.join(self.build, "quorhub-runs", name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        if ini is not None:
            with open(os.path.join(self.dir, "QUORHUB.INI"), "w", newline="\r\n") as f:
                f.write(ini)
        for file_name, text in (files or {}).items():
            with open(os.path.join(self.dir, file_name), "w") as f:
                f.write(text)
        self.boxes_file = os.path.join(self.dir, "boxes.txt")
        self.program = None
        self.watcher = None
        self.standins = None
        self.files = None

    def use_remote_access(self, scenario):
        """Dial-up through the remote-access stand-in (rasapi32.dll of build/standins/nt),
        steered by the scenario and journaling every call in standin-files."""
        self.standins = os.path.join(self.build, "standins", "nt")
        self.files = os.path.join(self.dir, "standin-files")
        os.makedirs(self.files, exist_ok=True)
        with open(os.path.join(self.files, "scenario.ini"), "w") as f:
            f.write(scenario)

    def program_env(self):
        """(environment, current directory) for quorhub.exe."""
        env = dict(os.environ, QUORVANE=windows_path(self.dir))
        if not self.standins:
            return env, self.dir
        env.update(QV_STANDINS=windows_path(self.files) + "\\", WINEDLLOVERRIDES="rasapi32=n",
                   WINEPATH=windows_path(self.standins))
        # Remote access binds at start-up from the current directory.
        return env, self.standins

    def ras_command(self, line):
        """A line for the stand-in's control file (e.g. "drop Office")."""
        with open(os.path.join(self.files, "control.txt"), "a") as f:
            f.write(line + "\n")

    def journal(self, call=None):
        """The stand-in's remote-access journal rows, of one call when named."""
        path = os.path.join(self.files, "journal.txt")
        if not os.path.exists(path):
            return []
        with open(path, encoding="latin-1") as f:
            rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
        return [r for r in rows if len(r) >= 5 and r[2] == "rasapi32" and (call is None or r[3] == call)]

    def _wine_command(self, *args):
        """The command line that runs args under Wine in this program's prefix."""
        prefix = program_prefix(self.build, self.arch, self.wine_run)
        return [self.wine_run, "--arch", self.arch, "--prefix", prefix] + list(args)

    def _wine(self, *args, **kwargs):
        kwargs.setdefault("stdout", subprocess.PIPE)
        kwargs.setdefault("stderr", subprocess.STDOUT)
        return subprocess.Popen(self._wine_command(*args), **kwargs)

    def start(self, *args, program=None, watch_seconds=300, env_extra=None, **popen):
        """Starts quorhub (or another build of it) with its box watcher and presses its splash."""
        watcher = os.path.join(self.build, "aids", "qvaid_boxwatch.exe")
        self.watcher = self._wine(watcher, windows_path(self.boxes_file), str(watch_seconds), "quorhub.exe")
        env, cwd = self.program_env()
        env.update(env_extra or {})
        program = program or os.path.join(self.build, "server", "quorhub.exe")
        self.program = self._wine(program, *args, env=env, cwd=cwd, **popen)
        self.press_splash()

    def press_splash(self, timeout=60):
        """Presses the start-up splash's OK (WM_COMMAND 1, which the main window of
        the same title ignores) until the program is ready, ends or timeout passes;
        the splash would otherwise hold every start for 30 seconds."""
        # A restart in the same folder finds the earlier runs' lines in the log.
        earlier = self.log().count("is now ready")

        def press():
            end = time.time() + timeout
            while time.time() < end and self.program.poll() is None and self.log().count("is now ready") == earlier:
                for row in self.drive("find", "-", SPLASH_TITLE, "quorhub.exe").splitlines():
                    cells = row.split()
                    if len(cells) == 4 and cells[2] == "1":
                        self.drive("post", cells[0], "0x111", "1", "0")
                time.sleep(0.3)

        threading.Thread(target=press, daemon=True).start()

    def wait(self, timeout=60):
        """quorhub's exit code; None when it is still running after timeout seconds."""
        try:
            return self.program.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, timeout=60):
        """Closes quorhub's window (WM_CLOSE) and waits for its end."""
        closer = self._wine("taskkill", "/im", "quorhub.exe")
        closer.wait(timeout)
        return self.wait(timeout)

    def answer_yes(self, yes=True):
        """Whether the box watcher answers questions Yes from now on (else No)."""
        flag = self.boxes_file + ".yes"
        if yes:
            open(flag, "w").close()
        elif os.path.exists(flag):
            os.remove(flag)

    def drive(self, *args):
        """Runs a command of the window driver (tests/aids/Driver.cpp); its output."""
        command = self._wine_command(os.path.join(self.build, "aids", "qvaid_driver.exe"), "serve")
        return DriverSession.of(command).call([str(a) for a in args])

    def windows(self, cls="AppFrameCL", title=SPLASH_TITLE):
        """[[hwnd, pid, visible, iconic]] of quorhub's top-level windows of that class and title."""
        rows = [line.split() for line in self.drive("find", cls, title, "quorhub.exe").splitlines()]
        return [r for r in rows if len(r) == 4]

    def main_window(self, timeout=60):
        """The handle (hex text) of quorhub's main window; None when none comes."""
        end = time.time() + timeout
        while True:
            rows = self.windows()
            if rows or time.time() > end:
                return rows[0][0] if rows else None
            time.sleep(0.2)

    def crash(self, timeout=60):
        """Ends quorhub at once (taskkill /f), as a crash would; its exit code."""
        self._wine("taskkill", "/f", "/im", "quorhub.exe").wait(timeout)
        return self.wait(timeout)

    def close(self):
        """Ends the box watcher; a program still running is closed first, its
        questions answered Yes, so that it does not outlive the test."""
        if self.program and self.program.poll() is None:
            self.answer_yes()
        if self.program and self.program.poll() is None and self.stop() is None:
            # Killing Wine's launcher alone would leave the program running.
            if self.crash() is None:
                self.program.kill()
        open(self.boxes_file + ".stop", "w").close()
        if self.watcher:
            try:
                self.watcher.wait(30)
            except subprocess.TimeoutExpired:
                self.watcher.kill()

    def boxes(self):
        """[(caption, text)] of the boxes answered so far."""
        if not os.path.exists(self.boxes_file):
            return []
        with open(self.boxes_file, encoding="latin-1") as f:
            return [tuple(line.rstrip("\n").split("|", 1)) for line in f if line.strip()]

    def wait_for_boxes(self, count, timeout=30):
        end = time.time() + timeout
        while len(self.boxes()) < count and time.time() < end:
            time.sleep(0.1)
        return self.boxes()

    def log(self, name="SYSTEM.DAT"):
        path = os.path.join(self.dir, name)
        if not os.path.exists(path):
            return ""
        with open(path, encoding="latin-1") as f:
            return f.read()
