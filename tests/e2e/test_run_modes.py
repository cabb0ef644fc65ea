"""Which role a start plays: a real package made by stubpack on the real
stub.exe, run under Wine, as a setup stub, as the plain agent, as the
agent's X_ copy, and under other names; what the debug channel and the
trace log say about it."""
import shutil

import pytest

from helpers import package_manifest

AGENT_MANIFEST = package_manifest("agent.exe", options="IsAgent = 1\nAgentTrace = ${TRACE}", title="Demo Agent")
SETUP_MANIFEST = package_manifest("setup.exe")


@pytest.fixture(scope="module")
def runs(tmp_path_factory, wine, programs, build_package):
    """Builds the packages, lays them out under the names a user would meet,
    runs each once under one debug capture, and collects what each left."""
    base = tmp_path_factory.mktemp("runmodes")
    build_package(SETUP_MANIFEST, base / "setup")
    build_package(AGENT_MANIFEST, base / "traced", {"TRACE": "1"})
    build_package(AGENT_MANIFEST, base / "quiet", {"TRACE": "0"})

    layout = {
        "setup": (base / "setup" / "setup.exe", base / "setup" / "setup.exe"),
        "plain": (base / "traced" / "agent.exe", base / "p" / "agent.exe"),
        "x": (base / "traced" / "agent.exe", base / "x" / "X_agent.exe"),
        "renamed": (base / "traced" / "agent.exe", base / "r" / "LumenSetup.exe"),
        "quiet": (base / "quiet" / "agent.exe", base / "q" / "agent.exe"),
        "nopackage": (programs.stub, base / "n" / "setup.exe"),
    }
    for source, target in layout.values():
        target.parent.mkdir(parents=True, exist_ok=True)
        if source != target:
            shutil.copyfile(source, target)

    results = {}
    with wine.debug_capture(base / "capture") as capture:
        for name, (_, exe) in layout.items():
            results[name] = wine.run(exe, ["/A=1"], cwd=exe.parent, timeout=60)
    for name, (_, exe) in layout.items():
        result = results[name]
        result.exe = exe
        result.win_exe = wine.to_win(exe)
        result.debug = capture.lines_of(result.pid)
        logs = sorted(exe.parent.glob("*.log"))
        result.logs = {p.name: p.read_bytes().decode("latin-1") for p in logs}
    return results


def line_with(lines, text):
    found = [line for line in lines if text in line]
    assert found, f"no line with {text!r} in:\n" + "\n".join(lines)
    return found[0]


@pytest.mark.parametrize("name, agent_flag, mode", [
    ("setup", "FALSE", "Setup"),
    ("plain", "TRUE", "PlainAgent"),
    ("x", "TRUE", "XAgent"),
    ("renamed", "TRUE", "Setup"),     # an agent package under another name is a setup stub
    ("quiet", "TRUE", "PlainAgent"),
    ("nopackage", "FALSE", "Setup"),  # no package: a setup stub that reads nothing
])
def test_each_start_takes_its_role(runs, name, agent_flag, mode):
    r = runs[name]
    assert r.code == 0
    exe = r.exe.name
    start = line_with(r.debug, " ==== STUB START ====> ")
    assert exe in start and start.endswith(" /A=1<")
    assert line_with(r.debug, " ==== ThisIs_AutoUpdateProg=").endswith("=" + agent_flag)
    assert f" ==== RunMode={mode} " in line_with(r.debug, " ==== RunMode=")
    assert r.debug.index(start) < r.debug.index(line_with(r.debug, " ==== STUB END ====> "))


def test_the_instance_class_is_the_path_for_a_setup_stub_and_the_name_for_an_agent(runs):
    setup = line_with(runs["setup"].debug, "RunMode=")
    assert setup.lower().endswith("instanceclass=" + runs["setup"].win_exe.lower())
    assert line_with(runs["plain"].debug, "RunMode=").endswith("InstanceClass=.AutoUpdate.agent")
    assert line_with(runs["x"].debug, "RunMode=").endswith("InstanceClass=.AutoUpdate.X_agent")


def test_branches_call_their_entry_points(runs):
    # The window's first tick starts the setup flow; an agent's tick runs
    # its update cycle.
    setup = runs["setup"].debug
    assert setup.index(line_with(setup, "StartSetup() --- chosen")) < setup.index(line_with(setup, "- wm_Destroy -"))
    line_with(runs["plain"].debug, "CreateAndRun_X_Exe() --- chosen")
    x = runs["x"].debug
    assert x.index(line_with(x, "CheckTestMode() --- chosen")) < x.index(line_with(x, "AutoUpdateTimerTick() --- chosen"))
    # The window's tick follows the agent flag, not the file name.
    line_with(runs["renamed"].debug, "AutoUpdateTimerTick() --- chosen")
    assert not any("CreateAndRun_X_Exe" in line for line in runs["renamed"].debug)


def test_a_setup_stub_shows_the_package_it_read(runs):
    package = line_with(runs["setup"].debug, ' title="')
    assert 'title="Demo Setup"' in package and 'agent="agent.exe"' in package
    assert "records=1" in line_with(runs["setup"].debug, " ==== Package: start=")
    assert "Package: none" in line_with(runs["nopackage"].debug, "Package:")


def test_only_an_agent_package_with_the_trace_option_writes_a_trace_log(runs):
    assert runs["setup"].logs == {}
    assert runs["nopackage"].logs == {}
    assert runs["quiet"].logs == {}
    assert list(runs["plain"].logs) == ["X_agent.log"]
    assert list(runs["x"].logs) == ["X_agent.log"]
    assert list(runs["renamed"].logs) == ["X_LumenSetup.log"]


def test_the_trace_log_records_the_start_and_the_decision(runs):
    plain = [line for line in runs["plain"].logs["X_agent.log"].split("\r\n") if line]
    # Every line: "dd/mm/yy HH:NN:SS", a space, the thread id in 5, the prefix.
    for line in plain:
        assert line[2] == line[5] and line[8] == " " and line[11] == line[14] == ":", line
        assert line[17] == " " and line[18:23].strip().isdigit() and line[23:26] == "   ", line
    texts = [line[26:] for line in plain]
    assert texts[:2] == ["", ""]
    assert texts[2].lower() == ("=== START === " + runs["plain"].win_exe).lower()
    assert texts[3] == "CommandLine=" + line_with(runs["plain"].debug, "STUB START").split("====> ", 1)[1][:-1]
    assert texts[4] == "Agent Version=1.0.0.1"
    expected = ["DoRunStubWin() --- Start", "X_ExeIsRunning=FALSE", "ThisIs_Plain_AutoUpdate_Exe=TRUE",
                "ThisIs_X_AutoUpdate_Exe=FALSE", "HandleParamOK() --- Start", "HandleParamOK() --- End",
                "DoRunStubWin() --- End"]
    positions = [texts.index(e) for e in expected]
    assert positions == sorted(positions)
    assert texts[-2].lower() == ("=== EXIT === " + runs["plain"].win_exe).lower()
    assert texts[-1] == ""


def test_the_x_copy_marks_its_trace_lines(runs):
    lines = [line for line in runs["x"].logs["X_agent.log"].split("\r\n") if line]
    assert lines and all(line[23:26] == " X " for line in lines)
    texts = [line[26:] for line in lines]
    assert "ThisIs_X_AutoUpdate_Exe=TRUE" in texts
    assert texts.index("CheckTestMode") < texts.index("WinMain") < texts.index("DeleteMySelf")
    assert "HandleParamOK() --- Start" not in texts
