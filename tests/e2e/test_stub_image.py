"""The stub executable as built: the layout the package format relies on,
its resources and what it imports."""
import re
import struct
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
STUB = ROOT / "build" / "win" / "stub.exe"
OBJDUMP = "i686-w64-mingw32-objdump"

# DLLs the system always loads from its own folder (Known DLLs), plus
# comctl32, whose version 6 comes through the manifest.
ALLOWED_IMPORTS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
    "ole32.dll", "oleaut32.dll", "msvcrt.dll", "comctl32.dll", "comdlg32.dll",
    "shlwapi.dll", "imagehlp.dll", "psapi.dll", "setupapi.dll", "ws2_32.dll",
}


@pytest.fixture(scope="module")
def image():
    assert STUB.exists(), f"{STUB} is not built; run make"
    return STUB.read_bytes()


@pytest.fixture(scope="module")
def headers():
    return subprocess.run([OBJDUMP, "-p", str(STUB)], check=True, capture_output=True, text=True).stdout


def test_pe_header_stands_at_256_and_the_end_pointer_is_clear(image):
    assert image[:2] == b"MZ"
    assert struct.unpack_from("<I", image, 0x3C)[0] == 256
    assert image[256:260] == b"PE\0\0"
    assert image[248:256] == bytes(8), "an unpacked stub has no package end pointer"


def test_is_a_stripped_32bit_gui_program_of_modest_size(image):
    machine, = struct.unpack_from("<H", image, 256 + 4)
    assert machine == 0x14C  # i386
    magic, = struct.unpack_from("<H", image, 256 + 24)
    assert magic == 0x10B  # PE32
    subsystem, = struct.unpack_from("<H", image, 256 + 24 + 68)
    assert subsystem == 2  # Windows GUI
    symbols_at, symbol_count = struct.unpack_from("<II", image, 256 + 4 + 8)
    assert (symbols_at, symbol_count) == (0, 0), "stub.exe is not stripped"
    assert len(image) <= 256 * 1024, f"stub.exe is {len(image)} bytes"


def test_imports_only_system_dlls_that_cannot_be_planted(headers):
    dlls = {m.lower() for m in re.findall(r"DLL Name: (\S+)", headers)}
    assert "kernel32.dll" in dlls
    assert dlls <= ALLOWED_IMPORTS, f"unexpected imports: {sorted(dlls - ALLOWED_IMPORTS)}"
    assert "zlib1.dll" not in dlls and not any(d.startswith("libstdc++") or d.startswith("libgcc") for d in dlls)


def test_carries_icon_manifest_and_version(image):
    # Resource names are stored upper-cased in UTF-16.
    assert "MAINICON".encode("utf-16-le") in image
    text = image.decode("latin-1")
    assert 'level="requireAdministrator"' in text
    assert "Microsoft.Windows.Common-Controls" in text and 'version="6.0.0.0"' in text
    for os_id in ("e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                  "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78"):
        assert os_id in text
    assert "VS_VERSION_INFO".encode("utf-16-le") in image
    assert "FileVersion".encode("utf-16-le") in image
