"""The fault matrix: bad input and a failing machine never end in a success
line, always say what went wrong, and leave on disk what they should."""
import os
import random
import resource
import subprocess

import pytest

from conftest import ERROR_BANNER, WINE_EXE

SUCCESS = "Creating IoT file...[OK]"


def partition(name, file, compressed=False, size="0xFFFFFFFF"):
    return (f"[{name}]\nFile={file}\nStart_Address=0\nPartition_Size={size}\n"
            f"Is_Compressed={'true' if compressed else 'false'}\n")


def assert_failed_with(result, message):
    assert result.status == 1
    assert SUCCESS not in result.output
    assert result.output.endswith(message + ERROR_BANNER), result.output


def sparse(path, size):
    with open(path, "wb") as f:
        f.truncate(size)


@pytest.mark.parametrize("output, message", [
    pytest.param("/dev/full", "\ncannot write output file: /dev/full\n",
                 marks=pytest.mark.skipif(bool(WINE_EXE), reason="no full device on Windows")),
    ("folder", "\ncannot open output file: folder\n"),
    ("missing/out.bin", "\ncannot open output file: missing/out.bin\n"),
])
def test_output_that_cannot_be_written(run, output, message):
    run.write("cfg.ini", partition("App", "app.bin", compressed=True))
    run.write("app.bin", b"firmware" * 1000)
    (run.folder / "folder").mkdir()
    assert_failed_with(run("-i", "cfg.ini", "-o", output), message)
    assert not (run.folder / "missing").exists()


def test_partition_file_that_is_a_directory(run):
    run.write("cfg.ini", partition("App", "parts"))
    (run.folder / "parts").mkdir()
    # Windows does not open a directory as a file; Linux opens it and fails to read.
    message = ("\ncannot open input file: parts\n"
               "The file might be opened or it might be not exist.\n" if WINE_EXE
               else "\ncannot read input file: parts\n")
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin"), message)
    assert (run.folder / "out.bin").read_bytes() == b""


def test_output_path_naming_a_partition_file_leaves_it_unchanged(run):
    firmware = random.Random(3).randbytes(4096)
    run.write("cfg.ini", "[General Setting]\nBase_Directory=fw\n" + partition("App", "app.bin"))
    run.write("fw/app.bin", firmware)
    assert_failed_with(run("-i", "cfg.ini", "-o", "./fw//app.bin"),
                       "\noutput file is also a partition file: fw\\app.bin\n")
    assert (run.folder / "fw" / "app.bin").read_bytes() == firmware
    assert_failed_with(run("-i", "cfg.ini", "-o", "cfg.ini"),
                       "\noutput file is also the configuration file: cfg.ini\n")
    assert (run.folder / "cfg.ini").read_text().startswith("[General Setting]")


def test_more_than_four_partitions_leave_an_existing_image_unchanged(run):
    run.write("cfg.ini", "".join(partition(f"P{i}", "p.bin") for i in range(5)))
    run.write("p.bin", b"p")
    run.write("out.bin", b"the previous image")
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin"),
                       "\ntoo many partitions: 5 (an image holds at most 4)\n")
    assert (run.folder / "out.bin").read_bytes() == b"the previous image"


def test_two_gib_compressed_partition_is_refused_before_reading(run):
    run.write("cfg.ini", partition("Big", "big.bin", compressed=True))
    sparse(run.folder / "big.bin", 2**31)
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin", timeout=30),
                       "\npartition file too large to compress: big.bin is 2147483648 bytes "
                       "(a compressed partition must be below 2 GiB)\n")
    assert (run.folder / "out.bin").read_bytes() == b""


def test_image_that_would_reach_four_gib_is_refused_before_reading(run):
    run.write("cfg.ini", partition("Small", "small.bin") + partition("Big", "big.bin"))
    run.write("small.bin", b"s" * 100)
    sparse(run.folder / "big.bin", 2**32 - 296)  # an image of exactly 4 GiB
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin", timeout=30),
                       "\nimage too large: with big.bin (4294967000 bytes) the image would reach "
                       "4 GiB (it holds at most 4294967295 bytes)\n")
    assert os.path.getsize(run.folder / "out.bin") == 156 + 100 + 20


def garbage():
    rng = random.Random(9)
    return bytes(b if b != ord("[") else 0 for b in rng.randbytes(200000))


@pytest.mark.parametrize("kind", ["garbage", "empty", "zeros", "directory", "missing",
                                  "one-line"])
def test_configuration_files_that_hold_no_partitions(run, kind):
    if kind == "directory":
        (run.folder / "cfg.ini").mkdir()
    elif kind != "missing":
        content = {"garbage": garbage(), "empty": b"", "zeros": bytes(1000),
                   "one-line": b"x" * 50_000_000}[kind]
        run.write("cfg.ini", content)
    result = run("-i", "cfg.ini", "-o", "out.bin", timeout=120)
    assert_failed_with(result, "[debug]GetPrivateProfileSectionNames, configFile = cfg.ini\n"
                               "Packaging...\n")
    assert not (run.folder / "out.bin").exists()


@pytest.mark.skipif(bool(WINE_EXE) or "ASAN_OPTIONS" in os.environ,
                    reason="an address-space limit on the Linux build without sanitizers")
def test_running_out_of_memory_is_a_failed_run_not_a_crash(run):
    run.write("cfg.ini", b"x" * 50_000_000)
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (150 << 20, 150 << 20))
    done = subprocess.run([run.program, "-i", "cfg.ini", "-o", "out.bin"], cwd=run.folder,
                          stdin=subprocess.DEVNULL, capture_output=True, preexec_fn=limit)
    assert done.returncode == 1
    assert done.stdout.decode().endswith("\ncannot continue: not enough memory\n" + ERROR_BANNER)
