"""Free space and cluster size of a real small drive: a tmpfs of known size
linked into the prefix as drive E:, as the temp-space checks will meet it."""
import os
import subprocess

import pytest

from helpers import parse_key_values

SIZE = 16 * 1024 * 1024


@pytest.fixture
def small_drive(tmp_path, wine):
    if os.geteuid() != 0:
        pytest.skip("mounting a tmpfs needs root (CI runs as root)")
    mount = tmp_path / "edrive"
    mount.mkdir()
    subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={SIZE}", "tmpfs", str(mount)], check=True)
    link = wine.prefix / "dosdevices" / "e:"
    if link.is_symlink() or link.exists():
        link.unlink()
    link.symlink_to(mount)
    try:
        yield mount
    finally:
        link.unlink()
        subprocess.run(["umount", str(mount)], check=False)


def test_free_space_of_a_small_drive_and_of_a_folder_not_made_yet(small_drive, wine, programs):
    def ask(path):
        result = wine.run(programs.win("freespace"), [path])
        assert result.code == 0, result.stderr
        return parse_key_values(result.stdout.replace("\r\n", "\n"))

    empty = ask("E:\\")
    assert int(empty["free"]) == SIZE
    assert int(empty["cluster"]) > 0
    assert ask("E:\\SETUP_1\\not\\yet")["free"] == empty["free"]

    (small_drive / "blob.bin").write_bytes(b"\0" * (4 * 1024 * 1024))
    assert int(ask("E:\\")["free"]) == SIZE - 4 * 1024 * 1024
