"""The dial-up stand-ins for end-to-end tests that start programs with
tools/wine-run (formats: standins/files/StandInFormat.h).

    from standins import StandIns
    with StandIns(build="build64", variant="nt", files="/tmp/run1") as s:
        s.write_scenario("[Phonebook]\\nEntries=Line One\\n...")
        s.app_defaults("quorhub.exe", version="nt40")
        proc = s.start(["build64/quorhub.exe"])
        s.append_command("drop Line One")
        s.wait_for("rasapi32", "RasHangUpA")

Programs started through it find the stand-ins on WINEPATH and load the
stand-in rasapi32.dll (WINEDLLOVERRIDES), or none with variant="absent";
they start in the variant's folder unless told otherwise. The HKLM Current
Connection and PersistentRoutes keys are created on entry and removed on
exit. Tests using it hold the ctest RESOURCE_LOCK current-connection.
"""
import os
import subprocess
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CURRENT_CONNECTION = r"HKLM\SOFTWARE\Brellix Software\Quorvane Corvath\Current Connection"
PERSISTENT_ROUTES = r"HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters\PersistentRoutes"


def windows_path(path):
    """The Z: form Wine gives a Unix path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class StandIns:
    def __init__(self, build, variant="nt", files=None, arch=None):
        self.build = os.path.abspath(build)
        self.arch = arch or ("64" if self.build.rstrip("/").endswith("64") else "32")
        self.prefix = os.path.join(self.build, "wineprefix")
        self.variant = variant
        self.folder = os.path.join(self.build, "standins", "win95" if variant == "win95" else "nt")
        self.files = os.path.abspath(files or os.path.join(self.build, "standins-files"))
        self._app_defaults = []

    # Running programs.
    def wine(self, args, **kw):
        """Runs a Windows program (or Wine's own, e.g. "reg") and waits. Give a
        program's parameters as separate words: one with blanks arrives quoted."""
        return subprocess.run(self._command(args), env=self.env(), **kw)

    def start(self, args, cwd=None, **kw):
        """Starts a Windows program in the stand-in folder (or cwd); returns the Popen."""
        return subprocess.Popen(self._command(args), env=self.env(), cwd=cwd or self.folder, **kw)

    def _command(self, args):
        return [os.path.join(TOP, "tools", "wine-run"), "--arch", self.arch, "--prefix", self.prefix] + list(args)

    def env(self):
        env = dict(os.environ)
        env["QV_STANDINS"] = windows_path(self.files) + "\\"
        env["WINEDLLOVERRIDES"] = "rasapi32=" if self.variant == "absent" else "rasapi32=n"
        env["WINEPATH"] = windows_path(self.folder)
        return env

    def app_defaults(self, exe, version=None):
        """Per program: the stand-in rasapi32 (or none) and the Windows version ("win95", "nt40")."""
        key = r"HKCU\Software\Wine\AppDefaults" + "\\" + exe
        override = "" if self.variant == "absent" else "native"
        self._reg("add", key + r"\DllOverrides", "/v", "rasapi32", "/d", override, "/f")
        if version:
            self._reg("add", key, "/v", "Version", "/d", version, "/f")
        self._app_defaults.append(key)

    def _reg(self, *args):
        return self.wine(["reg"] + list(args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

    # The files.
    def write_scenario(self, text):
        path = os.path.join(self.files, "scenario.ini")
        with open(path + ".new", "w", newline="\r\n") as f:
            f.write(text)
        os.replace(path + ".new", path)

    def scenario(self):
        with open(os.path.join(self.files, "scenario.ini"), newline="") as f:
            return f.read()

    def append_command(self, line):
        with open(os.path.join(self.files, "control.txt"), "a", newline="\n") as f:
            f.write(line + "\n")

    def journal(self):
        """Journal lines as dicts: tick, pid, component, call, result and the fields."""
        try:
            with open(os.path.join(self.files, "journal.txt"), newline="") as f:
                lines = f.read().split("\n")[:-1]
        except FileNotFoundError:
            return []
        out = []
        for line in lines:
            parts = line.split("\t")
            if len(parts) < 5:
                continue
            entry = dict(tick=int(parts[0]), pid=int(parts[1]), component=parts[2], call=parts[3], result=parts[4])
            for p in parts[5:]:
                key, _, value = p.partition("=")
                entry[key] = value
            out.append(entry)
        return out

    def calls(self, component, call):
        return [e for e in self.journal() if e["component"] == component and e["call"] == call]

    def wait_for(self, component, call, count=1, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if len(self.calls(component, call)) >= count:
                return True
            time.sleep(0.05)
        return False

    # Scope.
    def __enter__(self):
        os.makedirs(self.files, exist_ok=True)
        for name in ("scenario.ini", "control.txt", "journal.txt"):
            try:
                os.remove(os.path.join(self.files, name))
            except FileNotFoundError:
                pass
        for key in (CURRENT_CONNECTION, PERSISTENT_ROUTES):
            self._reg("delete", key, "/f")
            self._reg("add", key, "/f")
        return self

    def __exit__(self, *exc):
        for key in (CURRENT_CONNECTION, PERSISTENT_ROUTES):
            self._reg("delete", key, "/f")
        for key in self._app_defaults:
            self._reg("delete", key, "/f")
        return False
