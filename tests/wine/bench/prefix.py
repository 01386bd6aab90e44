"""The Wine prefix the bench owns: headless, Korean ANSI code page, shell
folders inside the prefix, the test authority trusted in its machine store."""
import contextlib
import os
import pathlib
import shutil
import stat
import subprocess

from . import paths, pki

# Bumped whenever the prepared prefix would differ, so stale ones are rebuilt.
_LAYOUT_VERSION = "3"

# Calls whose arguments and order the bench reads from Wine's relay trace
# (active only in runs with relay=True); written into the prefix at the start
# of every session, so a name added here takes effect at once. Several of them
# are forwarded by Wine to another DLL, under whose name the trace shows them.
RELAY_CALLS = [
    "user32.MessageBoxW", "shell32.ShellExecuteW", "shell32.SHGetFolderPathW",
    "ole32.CoInitializeEx", "ole32.CoInitialize", "ole32.CoUninitialize", "ole32.CoCreateInstance",
    "combase.CoInitializeEx", "combase.CoUninitialize", "combase.CoCreateInstance",
    "urlmon.URLOpenBlockingStreamW", "urlmon.URLDownloadToFileW", "wininet.DeleteUrlCacheEntryW",
    "kernel32.CreateDirectoryW", "kernelbase.CreateDirectoryW",
    "kernel32.GetFileAttributesW", "kernelbase.GetFileAttributesW",
    "comctl32.InitCommonControls", "user32.CreateWindowExW", "user32.DestroyWindow",
    "user32.SetWindowTextW",
    "kernel32.TerminateProcess", "kernelbase.TerminateProcess",
]


def _registry_text(values):
    lines = ["REGEDIT4", ""]
    for key, entries in values.items():
        lines.append(f"[{key}]")
        lines += [f'"{name}"="{value}"' for name, value in entries.items()]
        lines.append("")
    return "\r\n".join(lines)


class WinePrefix:
    def __init__(self, path=paths.PREFIX, preset="wine-http"):
        self.path = pathlib.Path(path)
        self.preset = preset  # whose helper programs run in this prefix
        self.drive_c = self.path / "drive_c"
        self.display = None  # an X display to draw on; headless when None

    @property
    def env(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        if self.display:
            env["DISPLAY"] = self.display
        # The loader named for the programs Wine starts too: Debian's wrapper
        # would pick the 32-bit one wherever wine32 is installed.
        env.update(WINEPREFIX=str(self.path), WINEARCH=paths.WINE_ARCH,
                   WINELOADER=paths.WINE_LOADER, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d",
                   LC_ALL="ko_KR.UTF-8")
        return env

    def wine(self, *args, env=None, timeout=120, wrapper=(), **kwargs):
        """Runs a program under Wine; `wrapper` goes in front (e.g. strace)."""
        return subprocess.run([*wrapper, paths.WINE_LOADER, *map(str, args)], env=env or self.env,
                              timeout=timeout, stdin=subprocess.DEVNULL, **kwargs)

    def server_pid(self):
        """The process id of this prefix's wine server: the one working in
        the server folder Wine derives from the prefix's device and inode."""
        info = os.stat(self.path)
        folder = f"server-{info.st_dev:x}-{info.st_ino:x}"
        for entry in os.listdir("/proc"):
            with contextlib.suppress(OSError):
                if entry.isdigit() and os.path.basename(os.readlink(f"/proc/{entry}/cwd")) == folder:
                    return int(entry)
        return None

    # --- creation -------------------------------------------------------

    def _marker(self):
        return self.path / ".bench-prepared"

    def _layout(self):
        """A prefix serves programs of its own architecture only."""
        return f"{_LAYOUT_VERSION} {paths.WINE_ARCH}"

    def is_prepared(self):
        marker = self._marker()
        return (marker.exists() and marker.read_text() == self._layout()
                and (paths.PKI / "trusted-ca.der").exists())

    def prepare(self, fresh=False):
        """Creates the prefix unless a prepared one of this layout exists."""
        if self.is_prepared() and not fresh:
            return
        self.stop()
        if self.drive_c.exists():
            # A scenario that was killed may have left C:\ refusing changes.
            subprocess.run(["chattr", "-i", str(self.drive_c)], capture_output=True)
        shutil.rmtree(self.path, ignore_errors=True)
        subprocess.run([paths.WINE_LOADER, "wineboot", "-i"], env=self.env, check=True, timeout=300,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self._keep_shell_folders_inside()
        self.import_registry({r"HKEY_CURRENT_USER\Software\Wine\Drivers": {"Graphics": "null"}})
        certificate = pki.ensure(paths.PKI)
        self.wine(paths.program("trust_ca", self.preset), paths.windows_path(certificate), check=True,
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.stop()  # the null graphics driver takes effect on the next start
        self._marker().write_text(self._layout())

    def _keep_shell_folders_inside(self):
        """A new prefix links Desktop, Documents, ... to the host user's home.
        Real folders inside the prefix replace them, so no run writes there."""
        for user in (self.drive_c / "users").iterdir():
            for entry in user.iterdir():
                if entry.is_symlink():
                    entry.unlink()
                    entry.mkdir()

    def import_registry(self, values):
        reg_file = self.drive_c / "bench.reg"
        reg_file.write_text(_registry_text(values), encoding="ascii")
        self.wine("regedit", "/S", "C:\\bench.reg", check=True,
                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        reg_file.unlink()

    # --- the wine server ---------------------------------------------------

    def start(self):
        """Keeps one wine server up for a session (later starts are faster)
        and names the calls the relay trace shows."""
        # Fails harmlessly when a server of this prefix is up already.
        subprocess.run(["wineserver", "-p"], env=self.env, stderr=subprocess.DEVNULL)
        self.import_registry({
            r"HKEY_CURRENT_USER\Software\Wine\Debug": {"RelayInclude": ";".join(RELAY_CALLS)}})

    @contextlib.contextmanager
    def running(self):
        """The prepared prefix with its wine server up, for a program of its
        own (a benchmark); C:\\corvane3 and the desktop are emptied and the
        server stopped afterwards."""
        self.prepare()
        self.start()
        try:
            yield self
        finally:
            self.reset()
            self.stop()

    def stop(self):
        if self.path.exists():
            subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)

    # --- paths and state ---------------------------------------------------

    @property
    def user_folder(self):
        return next(p for p in (self.drive_c / "users").iterdir() if p.name != "Public")

    @property
    def desktop(self):
        return self.user_folder / "Desktop"

    @property
    def app_dir(self):
        return self.drive_c / "corvane3"

    def host_path(self, windows_path):
        """The host path of a C:\\ path."""
        relative = windows_path[3:].replace("\\", "/") if windows_path[:3].upper() == "C:\\" else None
        assert relative is not None, windows_path
        return self.drive_c / relative

    def reset(self):
        """Removes C:\\corvane3 (whatever it is) and empties the desktop."""
        _remove(self.app_dir)
        self.desktop.mkdir(exist_ok=True)
        for entry in self.desktop.iterdir():
            _remove(entry)

    def app_files(self):
        """Every file under C:\\corvane3 as {relative path: bytes}."""
        if not self.app_dir.is_dir():
            return {}
        return {str(p.relative_to(self.app_dir)): p.read_bytes()
                for p in sorted(self.app_dir.rglob("*")) if p.is_file()}


def _remove(path):
    if path.is_symlink() or path.is_file():
        path.unlink()
    elif path.is_dir():
        for folder, _, _ in os.walk(path):
            os.chmod(folder, stat.S_IRWXU)
        shutil.rmtree(path)
