"""Running the Windows programs of this repository under Wine, for the
end-to-end tests.

One `WineSession` stands for one Wine prefix with its wineserver kept alive
(see conftest.py). Its `run` starts a program through `runexe.exe` (built from
tests/win/prog_runexe_win.cpp), which passes the command line on unchanged and
records the full 32-bit exit code: the status of a Linux process keeps only
8 bits. `debug_capture` collects the debug channel through `debugview.exe`.

Paths: Linux paths reach Windows programs as Z:\\... ; the prefix's drive_c
is C:\\. `to_win` and `from_win` convert both ways.
"""
from __future__ import annotations

import contextlib
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path, PureWindowsPath
from typing import Iterable, Mapping, Optional, Sequence, Union

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD_WIN = ROOT / "build" / "win"
BUILD_HOST = ROOT / "build" / "host"

# No Mono or Gecko installer dialog may block a headless run.
BASE_DLL_OVERRIDES = "mscoree,mshtml="

PathLike = Union[str, os.PathLike]


class Programs:
    """Paths of the built programs. A missing one fails the test: `make test`
    builds everything first, so a missing program is a broken build, which a
    skip would hide."""

    def win(self, name: str) -> Path:
        return self._need(BUILD_WIN / f"{name}.exe")

    def host(self, name: str) -> Path:
        return self._need(BUILD_HOST / name)

    @staticmethod
    def _need(path: Path) -> Path:
        if not path.is_file():
            pytest.fail(f"{path.relative_to(ROOT)} is missing: build it with `make all` first", pytrace=False)
        return path

    stub = property(lambda self: self.win("stub"))
    debugview = property(lambda self: self.win("debugview"))
    testengine = property(lambda self: self.win("testengine"))
    runexe = property(lambda self: self.win("runexe"))
    debugsay = property(lambda self: self.win("debugsay"))
    stubpack = property(lambda self: self.host("stubpack"))


def win_quote(args: Iterable[str]) -> str:
    """A Windows command line for args, as the C run-time splits it again."""
    return subprocess.list2cmdline([str(a) for a in args])


def parse_key_values(text: str) -> dict:
    """key=value lines (first '=' splits) into a dict; a key seen again keeps
    the last value. For repeated keys use `values_of`."""
    out = {}
    for line in text.splitlines():
        key, sep, value = line.partition("=")
        if sep:
            out[key] = value
    return out


def values_of(text: str, key: str) -> list:
    """Every value of key in key=value lines, in order."""
    prefix = key + "="
    return [line[len(prefix):] for line in text.splitlines() if line.startswith(prefix)]


@dataclass
class RunResult:
    code: int            # the full Windows exit code
    stdout: str          # console output, bytes as latin-1
    stderr: str
    pid: int             # the Windows process id of the program
    atom_left: Optional[bool] = None  # with atom=: whether the atom was still there

    def __iter__(self):  # code, output = run(...)
        return iter((self.code, self.stdout))


class WineTimeout(AssertionError):
    pass


@dataclass
class DebugCapture:
    """What debugview received. `text` and `pieces` are filled when the
    capture ends; `read()` gives the text so far while it runs."""
    path: Path
    pieces_path: Path
    text: str = ""
    pieces: list = field(default_factory=list)

    def read(self) -> str:
        return self.path.read_bytes().decode("latin-1") if self.path.exists() else ""

    def lines_of(self, pid) -> list:
        """The complete lines that start with this process id (prefix removed)."""
        pid = str(pid)
        return [line[len(pid):] for line in self.text.split("\r\n") if re.match(re.escape(pid) + r"(\D|$)", line)]


class WineProcess:
    """A program started in the background with `WineSession.start`."""

    def __init__(self, popen: subprocess.Popen, log: Path):
        self.popen = popen
        self.log = log

    def running(self) -> bool:
        return self.popen.poll() is None

    def output(self) -> str:
        return self.log.read_bytes().decode("latin-1") if self.log.exists() else ""

    def wait(self, timeout: float) -> int:
        return self.popen.wait(timeout)

    def kill(self) -> None:
        # The Linux process is the Windows process (wine execs its loader);
        # the wineserver ends the Windows side with it.
        if self.running():
            self.popen.send_signal(signal.SIGKILL)
            self.popen.wait(30)


class WineSession:
    def __init__(self, prefix: Path, env: Mapping[str, str], programs: Programs, scratch: Path):
        self.prefix = Path(prefix)
        self.env = dict(env)
        self.programs = programs
        self.scratch = Path(scratch)  # runexe's request and result files
        self._runs = 0

    # -------------------------------------------------------------- paths
    @property
    def drive_c(self) -> Path:
        return self.prefix / "drive_c"

    def to_win(self, path: PathLike) -> str:
        """The Windows form of a Linux path: C:\\... inside drive_c, else Z:\\..."""
        p = Path(os.path.abspath(path))
        try:
            rel = p.relative_to(self.drive_c)
            return "C:\\" + str(rel).replace("/", "\\") if str(rel) != "." else "C:\\"
        except ValueError:
            return "Z:" + str(p).replace("/", "\\")

    def from_win(self, text: str) -> Path:
        """The Linux path of a Windows path on any drive of the prefix."""
        w = PureWindowsPath(text)
        if not w.drive or len(w.drive) != 2:
            raise ValueError(f"not a drive path: {text!r}")
        root = Path(os.path.realpath(self.prefix / "dosdevices" / w.drive.lower()))
        return root.joinpath(*w.parts[1:])

    # ------------------------------------------------------- environment
    def merged_env(self, env: Optional[Mapping[str, str]]) -> dict:
        merged = dict(self.env)
        for key, value in (env or {}).items():
            if value is None:
                merged.pop(key, None)
            elif key == "WINEDLLOVERRIDES" and value:
                merged[key] = f"{value};{BASE_DLL_OVERRIDES}"
            else:
                merged[key] = str(value)
        return merged

    def command_line(self, exe: PathLike, args: Union[str, Sequence[str]] = ()) -> str:
        exe_text = str(exe)
        win_exe = exe_text if re.match(r"^[A-Za-z]:\\", exe_text) else self.to_win(exe_text)
        line = win_quote([win_exe])
        arg_text = args if isinstance(args, str) else win_quote(args)
        return f"{line} {arg_text}" if arg_text else line

    # ------------------------------------------------------------ running
    def run(self, exe: PathLike, args: Union[str, Sequence[str]] = (), cwd: Optional[PathLike] = None,
            timeout: float = 60, env: Optional[Mapping[str, str]] = None, *, atom: Optional[str] = None,
            keep_children: bool = False, show: Optional[int] = None) -> RunResult:
        """Runs a Windows program to its end and returns its full exit code and
        console output. args: a list (quoted the Windows way) or a string used
        as it stands, so a test controls the command line exactly. atom: a
        global atom added before the start (as the stub adds one for its
        engine); RunResult.atom_left tells whether it was still there.
        Processes the program starts are ended with it unless keep_children.
        A program still running after timeout seconds is ended, and the call
        fails with WineTimeout."""
        self._runs += 1
        tag = f"run{self._runs}"
        request = self.scratch / f"{tag}.req"
        result = self.scratch / f"{tag}.res"
        out_path = self.scratch / f"{tag}.out"
        err_path = self.scratch / f"{tag}.err"
        lines = [f"cmd={self.command_line(exe, args)}", f"timeout={int(timeout * 1000)}",
                 f"tree={0 if keep_children else 1}"]
        if atom:
            lines.append(f"atom={atom}")
        if show is not None:
            lines.append(f"show={show}")
        if any("\n" in line or "\r" in line for line in lines):
            raise ValueError("a command line cannot hold a line break")
        request.write_bytes(("\r\n".join(lines) + "\r\n").encode("latin-1"))
        runner = self.programs.runexe
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            # Files, not pipes: a process left running must not hold the
            # reader of its output.
            proc = subprocess.Popen(["wine", str(runner), self.to_win(request), self.to_win(result)],
                                    cwd=str(cwd) if cwd else None, env=self.merged_env(env),
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            try:
                proc.wait(timeout + 30)  # runexe itself ends the program at timeout
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(30)
                raise WineTimeout(f"runexe did not end: {self.command_line(exe, args)}")
        stdout = out_path.read_bytes().decode("latin-1")
        stderr = err_path.read_bytes().decode("latin-1")
        values = parse_key_values(result.read_text("latin-1")) if result.exists() else {}
        if "error" in values or "exitcode" not in values:
            raise AssertionError(f"could not run {self.command_line(exe, args)}: {values or 'no result'}\n{stderr}")
        if values.get("timedout") == "1":
            raise WineTimeout(f"still running after {timeout} s, ended: {self.command_line(exe, args)}\n"
                              f"stdout:\n{stdout}\nstderr:\n{stderr}")
        atom_left = None if "atomleft" not in values else values["atomleft"] == "1"
        return RunResult(int(values["exitcode"]), stdout, stderr, int(values.get("pid", "0")), atom_left)

    def start(self, exe: PathLike, args: Sequence[str] = (), cwd: Optional[PathLike] = None,
              env: Optional[Mapping[str, str]] = None) -> WineProcess:
        """Starts a program in the background (tools such as debugview); its
        console output goes to a log file. The caller ends it."""
        self._runs += 1
        log = self.scratch / f"bg{self._runs}.log"
        with open(log, "wb") as out:
            popen = subprocess.Popen(["wine", str(exe), *[str(a) for a in args]], cwd=str(cwd) if cwd else None,
                                     env=self.merged_env(env), stdin=subprocess.DEVNULL, stdout=out,
                                     stderr=subprocess.STDOUT)
        return WineProcess(popen, log)

    def wine_tool(self, args: Sequence[str], timeout: float = 60, env=None,
                  wine: bool = True) -> subprocess.CompletedProcess:
        """Runs one of Wine's own programs (reg, winecfg, ...; with wine=False a
        command such as wineboot) to its end; stdout and stderr as text."""
        self._runs += 1
        out_path = self.scratch / f"tool{self._runs}.out"
        err_path = self.scratch / f"tool{self._runs}.err"
        cmd = (["wine"] if wine else []) + [str(a) for a in args]
        # Files, not pipes: the first Wine program of a prefix starts its
        # services, which inherit these handles and never close them.
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            done = subprocess.run(cmd, env=self.merged_env(env), stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout)
        return subprocess.CompletedProcess(cmd, done.returncode, out_path.read_bytes().decode("latin-1"),
                                           err_path.read_bytes().decode("latin-1"))

    @contextlib.contextmanager
    def debug_capture(self, workdir: Optional[PathLike] = None, *, hang_seconds: int = 0):
        """Collects the debug channel of every program in the prefix while the
        block runs. Yields a DebugCapture whose text and pieces (the length of
        each message) are filled when the block ends. hang_seconds makes the
        viewer stop answering for that long at the first piece."""
        folder = Path(workdir) if workdir else Path(tempfile.mkdtemp(dir=self.scratch, prefix="debug"))
        folder.mkdir(parents=True, exist_ok=True)
        capture = DebugCapture(folder / "debug.txt", folder / "debug.pieces")
        ready = Path(str(capture.path) + ".ready")
        stop = Path(str(capture.path) + ".stop")
        for stale in (capture.path, capture.pieces_path, ready, stop):
            stale.unlink(missing_ok=True)
        args = [self.to_win(capture.path), "/pieces=" + self.to_win(capture.pieces_path),
                "/timeout=900"]  # a safety net should the stop below never arrive
        if hang_seconds:
            args.append(f"/hang={hang_seconds}")
        viewer = self.start(self.programs.debugview, args)
        try:
            deadline = time.monotonic() + 60
            while not ready.exists():
                if not viewer.running():
                    pytest.fail(f"debugview ended before it was ready: {viewer.output()}", pytrace=False)
                if time.monotonic() > deadline:
                    pytest.fail("debugview did not get ready within 60 s", pytrace=False)
                time.sleep(0.05)
            yield capture
        finally:
            stop.touch()
            try:
                # A viewer told to hang may not see the stop file for long.
                viewer.wait(2 if hang_seconds else 15)
            except subprocess.TimeoutExpired:
                viewer.kill()
            capture.text = capture.read()
            if capture.pieces_path.exists():
                capture.pieces = [int(n) for n in capture.pieces_path.read_text().split()]


def build_package(programs: Programs, manifest_text: str, workdir: PathLike,
                  defines: Optional[Mapping[str, str]] = None, name: str = "package.ini",
                  check: bool = True) -> subprocess.CompletedProcess:
    """Writes the manifest into workdir and runs `stubpack build` on it (the
    manifest format is in docs/stubpack.md). Predefined for ${...}: STUB,
    TESTENGINE (the built programs) and WORK (workdir); defines add to or
    replace them. With check, a failed build fails the test with stubpack's
    messages."""
    workdir = Path(workdir)
    workdir.mkdir(parents=True, exist_ok=True)
    manifest = workdir / name
    manifest.write_text(manifest_text)
    values = {"STUB": str(programs.stub), "TESTENGINE": str(programs.testengine), "WORK": str(workdir)}
    values.update({k: str(v) for k, v in (defines or {}).items()})
    cmd = [str(programs.stubpack), "build", str(manifest)]
    for key, value in values.items():
        cmd += ["-D", f"{key}={value}"]
    done = subprocess.run(cmd, capture_output=True, text=True, timeout=300)
    if check and done.returncode != 0:
        pytest.fail(f"stubpack build failed ({done.returncode}):\n{done.stderr}{done.stdout}", pytrace=False)
    return done


# ------------------------------------------------------------ the session
class WineSetupError(RuntimeError):
    pass


def start_xvfb():
    """Starts Xvfb on a free display; it writes the number it took to a pipe.
    Returns the process and the DISPLAY value."""
    read_fd, write_fd = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        proc.kill()
        proc.wait()
        raise WineSetupError("Xvfb did not start")
    return proc, ":" + number.decode().strip()


@contextlib.contextmanager
def wine_session(base: PathLike, programs: Optional[Programs] = None, keep: bool = False):
    """One Wine prefix under `base` (made on first use, reused when it is
    there), its own persistent wineserver, and a virtual display when DISPLAY
    is not set. Yields a WineSession; at the end the server and the display
    are stopped and, unless keep, `base` is removed."""
    base = Path(base)
    prefix = base / "prefix"
    scratch = base / "scratch"
    fresh = not (prefix / "system.reg").exists()
    prefix.mkdir(parents=True, exist_ok=True)
    scratch.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES=BASE_DLL_OVERRIDES)
    env.pop("WINEARCH", None)

    xvfb = None
    if not env.get("DISPLAY"):
        xvfb, env["DISPLAY"] = start_xvfb()

    # The session's own wineserver, in the foreground of a child we own and
    # persistent (a cold Wine start costs seconds, a warm one milliseconds).
    server = subprocess.Popen(["wineserver", "-f", "-p"], env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        session = WineSession(prefix, env, programs or Programs(), scratch)
        if fresh:
            boot = session.wine_tool(["wineboot", "-i"], timeout=300, wine=False)
            if boot.returncode != 0:
                raise WineSetupError(f"wineboot -i failed: {boot.stderr}")
        # No window manager runs on the virtual display: let Wine place its
        # windows itself instead of waiting for a manager that never answers
        # (each hidden or destroyed window would otherwise cost seconds).
        session.wine_tool(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/t", "REG_SZ",
                           "/d", "N", "/f"])
        yield session
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        try:
            server.wait(30)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        if xvfb is not None:
            xvfb.terminate()
            try:
                xvfb.wait(10)
            except subprocess.TimeoutExpired:
                xvfb.kill()
                xvfb.wait()
        if not keep:
            # Give the server's last writes a moment, then remove everything.
            time.sleep(0.2)
            shutil.rmtree(base, ignore_errors=True)


def package_manifest(output: str, *, options: str = "", title: str = "Demo Setup") -> str:
    """A small package manifest for a scenario: the test engine as launch
    record, a configuration block naming agent.exe, one English section.
    output is the file name under ${WORK}; options are [Options] lines."""
    return f"""
[Package]
Stub = ${{STUB}}
Output = ${{WORK}}/{output}

[Options]
{options}

[Config]
UpdateURL = http://127.0.0.1/updates
InfoFile = Demo.info
AgentName = agent.exe
UpdateToken = demo-token

[Language English]
s0 = {title}

[File Engine]
Source = ${{TESTENGINE}}
Name = Engine.exe*
"""
