"""The Windows unit tests (GoogleTest, cross-built) run inside the session's
Wine prefix, with the same display and wineserver as the other scenarios."""
from helpers import ROOT

WIN_UNIT_TESTS = ROOT / "build" / "wintest" / "win_unit_tests.exe"


def test_windows_unit_tests_pass(wine, tmp_path):
    assert WIN_UNIT_TESTS.is_file(), "build/wintest/win_unit_tests.exe is missing: run `make wintest`"
    result = wine.run(WIN_UNIT_TESTS, ["--gtest_color=no"], cwd=tmp_path, timeout=600)
    summary = [line for line in result.stdout.splitlines() if line.startswith("[  ")]
    assert result.code == 0, "\n".join(summary[-40:]) + "\n" + result.stdout[-8000:] + result.stderr[-2000:]
    assert "[  PASSED  ]" in result.stdout
