"""Starts and stops quorhub.exe under Wine for end-to-end tests.

Every run gets a scratch configuration directory (named by QUORVANE) holding
the given QUORHUB.INI and page files; a box watcher in the same Wine prefix
answers quorhub's message boxes and records them. Stops go through WM_CLOSE
(taskkill without /f), never by killing Wine.
"""
import os
import shutil
import subprocess
import time


def windows_path(path):
    """The Wine name of a Linux path (drive Z: is the Linux root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


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

    def _wine(self, *args, **kwargs):
        command = [self.wine_run, "--arch", self.arch, "--prefix", os.path.join(self.build, "wineprefix")]
        return subprocess.Popen(command + list(args), stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)

    def start(self, *args):
        watcher = os.path.join(self.build, "aids", "qvaid_boxwatch.exe")
        self.watcher = self._wine(watcher, windows_path(self.boxes_file), "300", "quorhub.exe")
        env = dict(os.environ, QUORVANE=windows_path(self.dir))
        program = os.path.join(self.build, "server", "quorhub.exe")
        self.program = self._wine(program, *args, env=env, cwd=self.dir)

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

    def close(self):
        """Ends the box watcher; a program still running is closed first."""
        if self.program and self.program.poll() is None and self.stop() is None:
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
