"""What an installation brings beside the programs, tried on a staged
`cmake --install`: the CMake package as a firmware build uses it
(find_package(Vantorel), vantorel_add_image, the image made again exactly
when its configuration or a partition file changed, with Ninja and with
Unix Makefiles), and the shell completion as bash loads it."""
import os
import shutil
import subprocess
import time

import pytest

from conftest import EMULATOR, ROOT, WINE_EXE

BUILD = os.environ.get("VANTOREL_BUILD_DIR")
pytestmark = pytest.mark.skipif(not BUILD or bool(WINE_EXE) or bool(EMULATOR),
                                reason="the native build's installation")
PROJECT = ROOT / "tests" / "cmake_package"
GENERATORS = ["Ninja", "Unix Makefiles"]


@pytest.fixture(scope="module")
def staged(tmp_path_factory):
    prefix = tmp_path_factory.mktemp("stage")
    subprocess.run(["cmake", "--install", BUILD, "--prefix", str(prefix)], check=True,
                   capture_output=True)
    return prefix


def build(folder):
    done = subprocess.run(["cmake", "--build", str(folder)], capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def set_time(path, seconds):
    os.utime(path, (seconds, seconds))


def copy_project(tmp_path):
    """The project, its files dated well before any build."""
    source = tmp_path / "src"
    shutil.copytree(PROJECT, source)
    for path in source.rglob("*"):
        set_time(path, time.time() - 1000)
    return source


def touch(path, outputs):
    """Changes a file's time to now, with what the build made dated before
    it, so that no clock's grain hides the change (only where a build must
    follow: an output dated back is one to make again for Make)."""
    for made in outputs.rglob("*"):
        set_time(made, time.time() - 100)
    set_time(path, time.time())


@pytest.mark.parametrize("generator", [g for g in GENERATORS
                                       if shutil.which("ninja" if g == "Ninja" else "make")])
def test_image_rebuilt_exactly_when_an_input_changed(tmp_path, staged, generator):
    source, binary = copy_project(tmp_path), tmp_path / "build"
    subprocess.run(["cmake", "-S", str(source), "-B", str(binary), "-G", generator,
                    f"-DCMAKE_PREFIX_PATH={staged}"], check=True, capture_output=True)
    image, flash = binary / "out" / "update.img", binary / "out" / "flash.hex"
    parts = source / "firmware" / "parts"

    status, log = build(binary)
    assert status == 0 and image.exists() and flash.exists(), log

    def packs_again():
        before = image.stat().st_mtime_ns
        status, log = build(binary)
        assert status == 0, log
        packed = "Packing" in log
        assert packed == (image.stat().st_mtime_ns != before), log
        return packed

    outputs = binary / "out"
    assert not packs_again()                   # a second build does nothing
    touch(parts / "res.bin", outputs)
    assert packs_again()                       # a partition file changed
    assert not packs_again()
    set_time(parts / "unrelated.bin", time.time())
    assert not packs_again()                   # a file the configuration does not name
    config = source / "firmware" / "image.ini"
    config.write_text(config.read_text().replace("File=res.bin", "File=extra.bin"))
    touch(config, outputs)
    assert packs_again()                       # the configuration changed
    touch(parts / "extra.bin", outputs)
    assert packs_again()                       # and the file it names now is followed
    if generator == "Ninja":
        # CMake's makefiles take in a dependency file at the start of the
        # build after it was written: the file named before counts once more.
        set_time(parts / "res.bin", time.time())
        assert not packs_again()               # the one it named before no longer
    # Larger than its partition: a failure that stops this build and the next.
    (parts / "extra.bin").write_bytes(bytes(0x1001))
    touch(parts / "extra.bin", outputs)
    for _ in range(2):
        status, log = build(binary)
        assert status != 0 and "Packing" in log, log


# Each case: the program, the words typed (the last one being completed), and
# the completions offered, in any order. The folder holds a.ini, B.INI,
# c.img, notes.txt and the folder parts/.
COMPLETIONS = [
    ("vantorel", ["-i", ""], ["a.ini", "B.INI", "parts"]),
    ("vantorel", ["-i", "a"], ["a.ini"]),
    ("vantorel", ["-o", ""], ["a.ini", "B.INI", "c.img", "notes.txt", "parts"]),
    ("vantorel", ["--s"], ["--strict"]),
    ("vantorel", ["-i", "a.ini", "--de"], ["--depfile"]),
    ("vantorel-inspect", ["--config", ""], ["a.ini", "B.INI", "parts"]),
    ("vantorel-inspect", ["--format", ""], ["bin", "ihex", "srec", "uf2"]),
    ("vantorel-inspect", ["--format", "s"], ["srec"]),
    ("vantorel-inspect", ["--extract", ""], ["parts"]),
    ("vantorel-inspect", ["--json", "c"], ["c.img"]),
    ("vantorel-inspect", ["--diff", "c.img", ""], ["a.ini", "B.INI", "c.img", "notes.txt",
                                                   "parts"]),
    ("vantorel-inspect", ["--fl"], ["--flash"]),
    ("vantorel-inspect", ["--fill", ""], []),
]


@pytest.mark.parametrize("program, words, offered", COMPLETIONS)
def test_completion(tmp_path, staged, program, words, offered):
    for name in ["a.ini", "B.INI", "c.img", "notes.txt"]:
        (tmp_path / name).write_text("")
    (tmp_path / "parts").mkdir()
    script = staged / "share" / "bash-completion" / "completions" / program
    function = "_" + program.replace("-", "_")
    line = " ".join([program, *(f"'{w}'" for w in words)])
    command = (f"source '{script}'; COMP_WORDS=({line}); COMP_CWORD={len(words)}; "
               f"{function}; printf '%s\\n' \"${{COMPREPLY[@]}}\"")
    done = subprocess.run(["bash", "--norc", "-c", command], cwd=tmp_path, capture_output=True,
                          text=True, check=True)
    assert sorted(filter(None, done.stdout.splitlines())) == sorted(offered), done.stderr
