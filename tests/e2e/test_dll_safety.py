"""A DLL planted beside a downloaded setup.exe, under the name of a DLL the
stub loads, must never run in the (elevated) stub process."""
import shutil

from helpers import BUILD_WIN, package_manifest

MANIFEST = package_manifest("setup.exe")


def test_a_planted_msls31_beside_the_stub_is_not_loaded(tmp_path, wine, programs, build_package):
    planted = BUILD_WIN / "planted" / "MSLS31.dll"
    assert planted.is_file(), "build/win/planted/MSLS31.dll is missing: run `make win`"
    downloads = tmp_path / "Downloads"
    build_package(MANIFEST, downloads)
    shutil.copyfile(planted, downloads / "MSLS31.dll")
    shutil.copyfile(programs.win("plantcheck"), downloads / "plantcheck.exe")
    marker = downloads / "MSLS31.loaded"

    # The control: with the default search order the planted DLL is found
    # and its entry point runs, so its marker proves a load.
    result = wine.run(downloads / "plantcheck.exe", ["/unsafe"], cwd=downloads)
    assert marker.exists(), f"the planted DLL did not load even unprotected: {result.stdout}"
    marker.unlink()

    for cwd in (downloads, tmp_path):
        result = wine.run(downloads / "setup.exe", [], cwd=cwd)
        assert result.code == 0
        assert not marker.exists(), f"stub.exe loaded the planted MSLS31.dll (started in {cwd})"
