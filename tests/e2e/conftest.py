"""Session set-up for the end-to-end tests: one Wine prefix, one wineserver
kept alive for the whole session, and a virtual X display when there is none.

Fixtures:
  programs          helpers.Programs: .stub .debugview .testengine .runexe
                    .debugsay .stubpack, .win(name), .host(name); a missing
                    program fails the test
  wine              helpers.WineSession for the session's prefix
  run_wine          wine.run(exe, args=(), cwd=None, timeout=60, env=None,
                    *, atom=None, keep_children=False, show=None) -> RunResult
  debug_capture     wine.debug_capture(workdir=None, *, hang_seconds=0):
                    context manager yielding a DebugCapture
  build_package     build_package(manifest_text, workdir, defines=None, ...)

Everything in one prefix shares window classes, atoms, HKCU and the temp
folder, so tests in one session run one after another.

Environment: STUB_E2E_KEEP_PREFIX=1 keeps the prefix folder after the session
(its path is printed) for a look at what a failed test left.
"""
from __future__ import annotations

import os
import functools
import tempfile
from pathlib import Path

import pytest

import helpers


@pytest.fixture(scope="session")
def programs():
    return helpers.Programs()


@pytest.fixture(scope="session")
def wine(programs):
    base = Path(tempfile.mkdtemp(prefix="stub-e2e-"))
    keep = os.environ.get("STUB_E2E_KEEP_PREFIX") == "1"
    try:
        with helpers.wine_session(base, programs, keep=keep) as session:
            yield session
    except helpers.WineSetupError as e:
        pytest.exit(str(e), returncode=3)
    if keep:
        print(f"\nWine prefix kept in {base}")


@pytest.fixture(scope="session")
def run_wine(wine):
    return wine.run


@pytest.fixture(scope="session")
def debug_capture(wine):
    return wine.debug_capture


@pytest.fixture(scope="session")
def build_package(programs):
    return functools.partial(helpers.build_package, programs)
