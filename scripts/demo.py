#!/usr/bin/env python3
"""The main job: build the example product into a setup executable with
stubpack, show what the package holds, run it under Wine (on a virtual
display when there is none) and show the debug channel of the run and its
exit code. Everything it makes stays under build/demo/."""
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import helpers  # noqa: E402  (the end-to-end tests' Wine helpers)

DEMO = ROOT / "build" / "demo"


def step(text):
    print(f"\n=== {text}", flush=True)


def main():
    DEMO.mkdir(parents=True, exist_ok=True)
    stubpack = ROOT / "build" / "host" / "stubpack"
    step("Making the example payload")
    subprocess.run([str(ROOT / "examples" / "product" / "make_payload.sh"), str(DEMO / "payload")], check=True)

    step("Building the setup executable with stubpack")
    subprocess.run([str(stubpack), "build", str(ROOT / "examples" / "product" / "product.ini"),
                    "-D", f"WINBUILD={ROOT / 'build' / 'win'}", "-D", f"PAYLOAD={DEMO / 'payload'}",
                    "-D", f"OUT={DEMO}"], check=True)
    setup = DEMO / "LumenNotesSetup.exe"

    step(f"stubpack inspect {setup.relative_to(ROOT)}")
    subprocess.run([str(stubpack), "inspect", str(setup)], check=True)

    step("Running it under Wine (first start of a new Wine prefix takes a while)")
    with helpers.wine_session(DEMO / "wine", keep=True) as wine:
        with wine.debug_capture(DEMO / "debug") as capture:
            result = wine.run(setup, [], cwd=DEMO, timeout=300)
        step("Debug channel of the run")
        print(capture.text.replace("\r\n", "\n"), end="")
        step(f"Exit code: {result.code}")
    return 0 if result.code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
