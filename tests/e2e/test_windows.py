"""The Windows build against the Linux build: the real Windows profile
functions as the oracle of our INI reader, the configuration reader on both,
and byte-identical images. Runs only with the Windows build under Wine."""
import os
import pathlib
import random
import subprocess

import pytest

from conftest import ROOT, WINE_EXE, WINE_LOADER, windows_only

pytestmark = windows_only

CORPUS = ROOT / "tests" / "data" / "ini"
LINUX_BUILD = pathlib.Path(os.environ.get("VANTOREL_LINUX_BUILD", ROOT / "build")).resolve()
WINDOWS_BUILD = pathlib.Path(WINE_EXE or ".").resolve().parent

# Files without a byte-order mark are read in the ANSI code page on Windows
# and as UTF-8 on Linux, and a path beyond that code page is refused on
# Windows only: these cases hold such text.
ENCODING_CASES = {"latin1", "utf8_text", "whitespace", "utf16le_surrogates"}


def run_on(build, program, *args, cwd):
    """The exit status and standard output of a program of the build."""
    command = [WINE_LOADER, str(WINDOWS_BUILD / program)] if build == "windows" else [
        str(LINUX_BUILD / program)]
    done = subprocess.run([*command, *args], cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=300)
    return done.returncode, (done.stdout.replace(b"\r\n", b"\n") if build == "windows"
                             else done.stdout)


def windows(program, *args, cwd):
    return run_on("windows", program, *args, cwd=cwd)[1]


def linux(program, *args, cwd):
    return run_on("linux", program, *args, cwd=cwd)[1]


CASES = sorted(p.stem for p in CORPUS.glob("*.ini"))


def test_banner_reads_the_version_record_and_warns_without_one(tmp_path):
    with_record = windows("Vantorel.exe", "-h", cwd=tmp_path).decode()
    assert with_record.startswith("------------------------------\nVantorel.exe Ver:1.0.1\n")
    without = windows("vantorel_without_version.exe", "-h", cwd=tmp_path).decode()
    assert without.startswith("[Warning] GetFileVersionInfoSize failed\n-h\n*** Usage ***\n")
    assert "    vantorel_without_version.exe -i config_file -o output_file\n" in without


@pytest.mark.parametrize("case", CASES)
def test_windows_profile_functions_answer_the_corpus(case):
    expected = CORPUS / f"{case}.windows.expected"
    if not expected.exists():
        expected = CORPUS / f"{case}.expected"
    answers = windows("vantorel_profile_probe.exe", f"{case}.ini", f"{case}.expected", cwd=CORPUS)
    assert answers.decode() == expected.read_text(encoding="utf-8")


@pytest.mark.parametrize("case", [c for c in CASES if c not in ENCODING_CASES])
def test_configuration_reader_agrees_on_both_builds(case):
    assert (windows("vantorel_config_probe.exe", f"{case}.ini", cwd=CORPUS)
            == linux("vantorel_config_probe", f"{case}.ini", cwd=CORPUS))


CONFIG_CORPUS = ROOT / "tests" / "data" / "config"


@pytest.mark.parametrize("case", sorted(p.stem for p in CONFIG_CORPUS.glob("*.ini")))
def test_configuration_corpus_reads_as_recorded(case):
    assert (windows("vantorel_config_probe.exe", f"{case}.ini", cwd=CONFIG_CORPUS)
            == (CONFIG_CORPUS / f"{case}.reading").read_bytes())


def test_same_inputs_pack_to_the_same_bytes(tmp_path):
    rng = random.Random(8)
    config = []
    for i, (size, compressed) in enumerate([(0, True), (70000, True), (5000, False),
                                            (16 * 1024 * 1024 + 3, True)]):
        words = [rng.randbytes(rng.randint(1, 9)) for _ in range(50)]
        content = b"".join(rng.choice(words) for _ in range(size // 4 + 1))[:size]
        (tmp_path / f"p{i}.bin").write_bytes(content)
        config += [f"[P{i}]", f"File=p{i}.bin", f"Start_Address={i * 0x10000:#x}",
                   "Partition_Size=0x2000000", f"Is_Compressed={str(compressed).lower()}"]
    (tmp_path / "cfg.ini").write_text("\r\n".join(config) + "\r\n")
    windows("Vantorel.exe", "-i", "cfg.ini", "-o", "windows.img", cwd=tmp_path)
    linux("vantorel", "-i", "cfg.ini", "-o", "linux.img", cwd=tmp_path)
    assert (tmp_path / "windows.img").read_bytes() == (tmp_path / "linux.img").read_bytes()




def test_inspect_gives_the_same_verdicts_tables_and_json(tmp_path):
    rng = random.Random(16)
    (tmp_path / "a.bin").write_bytes(b"".join(rng.choice([b"ab", b"cde", b"\x00"])
                                              for _ in range(40000)))
    (tmp_path / "b.bin").write_bytes(rng.randbytes(3000))
    (tmp_path / "cfg.ini").write_text(
        "[A]\r\nFile=a.bin\r\nStart_Address=0x1000\r\nPartition_Size=0x20000\r\n"
        "Is_Compressed=true\r\n[B]\r\nFile=b.bin\r\nStart_Address=0x2000\r\n"
        "Partition_Size=0x1000\r\nIs_Compressed=false\r\n")
    linux("vantorel", "-i", "cfg.ini", "-o", "good.img", cwd=tmp_path)
    bad = bytearray((tmp_path / "good.img").read_bytes())
    bad[170] ^= 0x40
    (tmp_path / "bad.img").write_bytes(bad)
    (tmp_path / "b.bin").write_bytes(rng.randbytes(3000))  # no longer what the image holds
    for args in [["good.img"], ["bad.img"], ["--json", "bad.img"], ["--strict", "good.img"],
                 ["--config", "cfg.ini", "good.img"], ["--json", "--config", "cfg.ini", "good.img"],
                 ["--bogus"]]:
        assert (run_on("windows", "vantorel-inspect.exe", *args, cwd=tmp_path)
                == run_on("linux", "vantorel-inspect", *args, cwd=tmp_path)), args
