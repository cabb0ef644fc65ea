"""The debug channel and the trace log as programs use them under Wine, and
the stand-in setup engine the other scenarios rely on."""
import calendar
import os
import re
import shutil
import tempfile
import time
from pathlib import Path

import pytest

from helpers import parse_key_values, values_of


def write_lines(path, lines):
    path.write_bytes(b"".join(line.encode("latin-1") + b"\n" for line in lines))
    return path


def device_pieces(line_lengths):
    """The messages a line of n bytes (its CR LF included) makes: the device
    flushes when its 128 bytes are full and at the line end."""
    pieces = []
    for n in line_lengths:
        pieces += [128] * (n // 128) + ([n % 128] if n % 128 else [])
    return pieces


LONG_LINE = "".join(chr(ord("a") + i % 26) for i in range(300))


def test_viewer_gets_every_byte_in_order_in_128_byte_pieces(tmp_path, wine, programs, run_wine, debug_capture):
    lines = [
        " ==== STUB START ====> /S /X=1<",
        LONG_LINE,
        "",
        "x" * 125,  # with the process id, its CR or LF falls past byte 128
        "x" * 126,
        "x" * 127,
        "tab\there ; = % ^ & \"quoted\" caf\xe9 \xff",
        "UPPER lower MiXeD",
    ]
    lines_file = write_lines(tmp_path / "lines.txt", lines)
    with debug_capture(tmp_path / "capture") as capture:
        result = run_wine(programs.debugsay, [wine.to_win(lines_file)])
    assert result.code == 0, result.stderr
    pid = parse_key_values(result.stdout)["pid"]
    assert pid == str(result.pid)

    longest = max(lines, key=len)
    printf_line = f" printf size={len(lines)} hex={len(lines) * 4096 + 10:x} pad=[   ab] text={longest}|{longest}"
    sent = [pid + line + "\r\n" for line in lines + [printf_line]]
    assert capture.text == "".join(sent)
    assert capture.pieces == device_pieces(len(line) for line in sent)
    assert capture.lines_of(pid)[1] == LONG_LINE


def test_a_hung_viewer_does_not_hold_the_writer(tmp_path, wine, programs, run_wine, debug_capture):
    lines_file = write_lines(tmp_path / "lines.txt", ["first", "second"])
    with debug_capture(tmp_path / "capture", hang_seconds=300):
        # Every send gives up after a few seconds; without that bound the
        # writer would wait for the viewer's 300 s and this run would time out.
        result = run_wine(programs.debugsay, [wine.to_win(lines_file)], timeout=90)
    assert result.code == 0


def trace_lines(text):
    assert text.endswith("\r\n"), repr(text[-20:])
    return text[:-2].split("\r\n")


def stamp_pattern(date_sep, time_sep):
    d, t = re.escape(date_sep), re.escape(time_sep)
    return re.compile(rf"(\d\d){d}(\d\d){d}(\d\d) (\d\d){t}(\d\d){t}(\d\d) ")


def test_trace_log_beside_the_executable(tmp_path, wine, programs, run_wine):
    folder = tmp_path / "My.Tools"
    folder.mkdir()
    exe = folder / "say.it.exe"
    shutil.copy(programs.debugsay, exe)
    log = folder / "X_say.it.log"
    lines_file = write_lines(tmp_path / "lines.txt", ["=== START === here", "second line"])
    args = [wine.to_win(lines_file)]

    # No viewer and no trace flag: the text goes nowhere, no file appears.
    assert run_wine(exe, args).code == 0
    assert not log.exists()

    before = time.localtime()
    first = run_wine(exe, args + ["/trace", "/x"])
    after = time.localtime()
    assert first.code == 0
    tid = parse_key_values(first.stdout)["tid"]
    lines = trace_lines(log.read_bytes().decode("latin-1"))
    stamp = stamp_pattern("/", ":")
    body = [stamp.sub("", line, count=1) for line in lines]
    assert body == [f"{tid:>5} X ", f"{tid:>5} X === START === here", f"{tid:>5} X second line"]
    day, month, year = (int(g) for g in stamp.match(lines[0]).groups()[:3])
    assert (day, month, year) in {(t.tm_mday, t.tm_mon, t.tm_year % 100) for t in (before, after)}

    # The separators are the user's locale settings (Wine, like Windows,
    # takes them from the short date and time formats); a later run appends.
    intl = r"HKCU\Control Panel\International"
    changed = {"sShortDate": "dd-MM-yyyy", "sTimeFormat": "HH.mm.ss"}
    saved = {name: reg_value(wine, intl, name) for name in changed}
    try:
        for name, value in changed.items():
            set_reg_value(wine, intl, name, value)
        second = run_wine(exe, args + ["/trace"])
    finally:
        for name, value in saved.items():
            set_reg_value(wine, intl, name, value)
    assert second.code == 0
    tid2 = parse_key_values(second.stdout)["tid"]
    lines = trace_lines(log.read_bytes().decode("latin-1"))
    assert len(lines) == 6
    local = stamp_pattern("-", ".")
    assert [local.sub("", line, count=1) for line in lines[3:]] == [
        f"{tid2:>5}   ", f"{tid2:>5}   === START === here", f"{tid2:>5}   second line"]


def reg_value(wine, key, name):
    done = wine.wine_tool(["reg", "query", key, "/v", name])
    assert done.returncode == 0, done.stderr
    match = re.search(rf"^\s*{re.escape(name)}\s+REG_SZ\s+(.*?)\s*$", done.stdout, re.M)
    assert match, done.stdout
    return match.group(1)


def set_reg_value(wine, key, name, value):
    done = wine.wine_tool(["reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"])
    assert done.returncode == 0, done.stderr


# ------------------------------------------------------------- test engine

ATOM = "AutoUpdateAtomTokenByOndrix"


def make_engine_folder(folder, programs):
    """A setup folder as extraction leaves it: the engine and two files with
    known sizes and times."""
    folder.mkdir(parents=True)
    shutil.copy(programs.testengine, folder / "Engine.exe")
    (folder / "data.bin").write_bytes(bytes(range(256)) * 5)
    (folder / "empty.txt").write_bytes(b"")
    (folder / "sub").mkdir()
    stamp = calendar.timegm((2021, 3, 4, 5, 6, 8, 0, 0, 0))
    os.utime(folder / "data.bin", (stamp, stamp))
    return folder


@pytest.fixture
def engine_folder(tmp_path, programs):
    return make_engine_folder(tmp_path / "SETUP 1", programs)


@pytest.fixture
def drive_c_engine_folder(wine, programs):
    base = Path(tempfile.mkdtemp(dir=wine.drive_c, prefix="e2e"))
    yield make_engine_folder(base / "SETUP 2", programs)
    shutil.rmtree(base)


@pytest.mark.parametrize("delete", [True, False], ids=["engine-deletes-atom", "engine-leaves-atom"])
def test_engine_reports_what_it_was_given(request, tmp_path, wine, run_wine, delete):
    # One folder on Z: (a Linux path), one inside the prefix's C: drive, both
    # with a space in the name: the path forms the tests rely on.
    engine_folder = request.getfixturevalue("engine_folder" if delete else "drive_c_engine_folder")
    report = tmp_path / "report.txt"
    cwd = tmp_path / "elsewhere"
    cwd.mkdir()
    token = "_4242" if delete else "_4343"
    args = f'/S /X=1 /TH_ID={token} /OriginExe="C:\\Dl dir\\setup.exe" /AutoUpdateProg'
    env = {}
    if delete:
        # Switches for one run...
        args += f' /deleteatom /exit=1603 /report="{wine.to_win(report)}"'
    else:
        # ...and the environment, which a stub passes on to its engine.
        env = {"TESTENGINE_REPORT": wine.to_win(report), "TESTENGINE_EXIT": "7"}
    result = run_wine(engine_folder / "Engine.exe", args, cwd=cwd, env=env, atom=ATOM + token)

    assert result.code == (1603 if delete else 7)
    assert result.atom_left is (not delete)
    text = report.read_bytes().decode("latin-1")
    values = parse_key_values(text)
    exe = wine.to_win(engine_folder / "Engine.exe")
    assert values["commandline"] == f'"{exe}" {args}'
    assert values["currentdir"] == wine.to_win(cwd)
    assert values["exepath"] == exe
    assert values["exedir"] == wine.to_win(engine_folder)
    assert values["exedir"].startswith("Z:\\" if delete else "C:\\")
    assert wine.from_win(values["exedir"]) == engine_folder
    assert values["token"] == token
    assert values["atomname"] == ATOM + token
    assert values["atomfound"] == "1"
    assert values["atomdeleted"] == ("1" if delete else "0")
    assert values["dialogclass"] == ".SDialog_Class_Name." + token
    files = {name: (int(size), when) for name, size, when in (v.split("|") for v in values_of(text, "file"))}
    assert files["data.bin"] == (1280, "2021-03-04 05:06:08")
    assert files["empty.txt"][0] == 0
    assert files["Engine.exe"][0] == (engine_folder / "Engine.exe").stat().st_size
    assert set(files) == {"data.bin", "empty.txt", "Engine.exe"}
    assert values_of(text, "dir") == ["sub"]
    assert "dialogshown" not in values


def test_engine_holds_its_dialog_or_leaves_a_copy_holding_it(tmp_path, wine, run_wine, engine_folder):
    engine = engine_folder / "Engine.exe"
    held = tmp_path / "held.txt"
    result = run_wine(engine, f'/TH_ID=_51 /dialog=500 /report="{wine.to_win(held)}"')
    assert result.code == 0
    text = held.read_bytes().decode("latin-1")
    # The process itself held the dialog: it was shown and closed before the end.
    assert text.endswith("dialogshown=1\r\ndialogclosed=1\r\n")

    detached = tmp_path / "detached.txt"
    result = run_wine(engine, f'/TH_ID=_52 /detachdialog=6000 /report="{wine.to_win(detached)}"',
                      keep_children=True)
    assert result.code == 0
    # The engine ended as soon as its copy showed the dialog; the copy still holds it.
    values = parse_key_values(detached.read_bytes().decode("latin-1"))
    assert values["dialogshown"] == "1"
    assert "dialogclosed" not in values
    deadline = time.monotonic() + 60
    while "dialogclosed" not in parse_key_values(detached.read_bytes().decode("latin-1")):
        assert time.monotonic() < deadline, "the dialog copy never closed its dialog"
        time.sleep(0.2)
