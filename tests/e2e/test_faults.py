"""The fault matrix: bad input and a failing machine never end in a success
line, always say what went wrong, and leave on disk what they should."""
import concurrent.futures
import fcntl
import os
import random
import resource
import subprocess

import pytest

from conftest import ERROR_BANNER, WINE_EXE
from image_check import Partition, check_image

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
    pytest.param("pipe", "\ncannot open output file: pipe\n",  # nobody reads it
                 marks=pytest.mark.skipif(bool(WINE_EXE), reason="a Linux pipe")),
    ("folder", "\ncannot open output file: folder\n"),
    ("missing/out.bin", "\ncannot open output file: missing/out.bin\n"),
    ("o" * 256, "\noutput file path is longer than 255 bytes: " + "o" * 256 + "\n"),
], ids=["full device", "pipe", "folder", "missing folder", "long path"])
def test_output_that_cannot_be_written(run, output, message):
    run.write("cfg.ini", partition("App", "app.bin", compressed=True))
    run.write("app.bin", b"firmware" * 1000)
    (run.folder / "folder").mkdir()
    os.mkfifo(run.folder / "pipe")
    assert_failed_with(run("-i", "cfg.ini", "-o", output), f"Output File = {output}\n" + message)
    assert not (run.folder / "missing").exists()


def test_partition_file_that_is_a_directory(run):
    run.write("cfg.ini", partition("App", "parts"))
    (run.folder / "parts").mkdir()
    # Windows does not open a directory as a file; Linux opens it and fails to read.
    message = ("\ncannot open input file: parts\n"
               "The file might be opened or it might be not exist.\n" if WINE_EXE
               else "\ncannot read input file: parts\n")
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin"), message)
    assert not (run.folder / "out.bin").exists()  # as it was before the run


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
    assert not (run.folder / "out.bin").exists()


# The image may hold 4294967295 bytes: one byte less than 4 GiB passes the
# refusal before reading (and then stops at the partition's size), 4 GiB does
# not pass it.
@pytest.mark.parametrize("big, message", [
    (2**32 - 297, "fill header fail\nPartition size is not enough for upgrade bin size.\n"),
    (2**32 - 296, "\nimage too large: with big.bin (4294967000 bytes) the image would reach "
                  "4 GiB (it holds at most 4294967295 bytes)\n"),
], ids=["one byte under", "at the limit"])
def test_image_limit(run, big, message):
    run.write("cfg.ini", partition("Small", "small.bin") + partition("Big", "big.bin", size="4096"))
    run.write("small.bin", b"s" * 100)
    sparse(run.folder / "big.bin", big)
    run.write("out.bin", b"the previous image")
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin", timeout=60), message)
    assert (run.folder / "out.bin").read_bytes() == b"the previous image"


def garbage():
    rng = random.Random(9)
    return bytes(b if b != ord("[") else 0 for b in rng.randbytes(200000))


@pytest.mark.parametrize("kind", ["garbage", "directory", "missing"])
def test_configuration_files_that_hold_no_partitions(run, kind):
    if kind == "directory":
        (run.folder / "cfg.ini").mkdir()
    elif kind == "garbage":
        run.write("cfg.ini", garbage())
    result = run("-i", "cfg.ini", "-o", "out.bin", timeout=120)
    assert_failed_with(result, "[debug]GetPrivateProfileSectionNames, configFile = cfg.ini\n"
                               "Packaging...\n")
    assert not (run.folder / "out.bin").exists()


def shell(run, command, stdin=None):
    """Runs a shell command line in the run's folder, $V being the program."""
    done = subprocess.run(["/bin/sh", "-c", command], cwd=run.folder, input=stdin,
                          capture_output=True, timeout=120, env={**os.environ, "V": run.program})
    return done.returncode, done.stdout.decode("utf-8", "replace")


def tail(text):
    return text[text.rfind("Output File = "):] if "Output File = " in text else text


TWO = partition("A", "a.bin", compressed=True) + partition("B", "b.bin")
A = random.Random(5).randbytes(70000)
B = b"plain" * 999


# Whatever stands at the edge of the process (descriptors, other runs, files
# that are not what they seem), exit 0 comes only with a sound image, and a
# refusal leaves what it found. Each case: the configuration, the command
# line ($V the program), the exit status, what ends the output, and the
# output file afterwards: "image" (checked independently), the text it ends
# with, its exact bytes, or None (not looked at).
PROCESS_BOUNDARY = {
    # The image takes the output's name only at the end, so a partition
    # file named as the output is not there while it is read.
    "output not yet there, named as a partition": (
        partition("A", "a.bin") + partition("New", "new.img"),
        "$V -i cfg.ini -o new.img", 1,
        "\ncannot open input file: new.img\nThe file might be opened or it might be not exist.\n"
        + ERROR_BANNER, "absent"),
    "output not yet there, a dangling link to it as a partition": (
        partition("A", "a.bin") + partition("Link", "link.bin"),
        "ln -s new.img link.bin && $V -i cfg.ini -o new.img", 1,
        "\ncannot open input file: link.bin\nThe file might be opened or it might be not exist.\n"
        + ERROR_BANNER, "absent"),
    "output redirected from standard output": (
        TWO, "$V -i cfg.ini -o new.img >new.img; echo $?", 0, "1\n",
        "\noutput file is also the standard output: new.img\n" + ERROR_BANNER),
    "output as /dev/stdout": (
        TWO, "$V -i cfg.ini -o /dev/stdout >new.img; echo $?", 0, "1\n",
        "\noutput file is also the standard output: /dev/stdout\n" + ERROR_BANNER),
    "standard output closed": (TWO, "$V -i cfg.ini -o new.img >&-", 0, "", "image"),
    "a file size limit": (TWO, "ulimit -f 8 && $V -i cfg.ini -o new.img", 1,
                          "\ncannot write output file: new.img\n" + ERROR_BANNER, None),
    "standard input and error closed": (
        TWO, "$V -i cfg.ini -o new.img <&- 2>&-", 0, "Creating IoT file...[OK]\n", "image"),
    "configuration from a pipe": (
        None, "cat cfg.ini | $V -i /dev/stdin -o new.img", 0, "Creating IoT file...[OK]\n",
        "image"),
    "configuration without end": (
        TWO, "$V -i /dev/zero -o new.img", 1,
        "\nconfiguration file too large: /dev/zero (at most 16 MiB)\n" + ERROR_BANNER, None),
    "plain partition without end": (
        partition("Z", "/dev/zero", size="4096"), "$V -i cfg.ini -o new.img", 1,
        "fill header fail\nPartition size is not enough for upgrade bin size.\n" + ERROR_BANNER,
        None),
    "compressed partition without end": (
        partition("Z", "/dev/zero", compressed=True, size="4096"), "$V -i cfg.ini -o new.img", 1,
        "fill header fail\nPartition size is not enough for upgrade bin size.\n" + ERROR_BANNER,
        None),
    "compressed partition of unknown size": (
        partition("N", "/dev/null", compressed=True), "$V -i cfg.ini -o new.img", 1,
        "\ncannot tell the size of input file: /dev/null\n" + ERROR_BANNER, None),
}


@pytest.mark.skipif(bool(WINE_EXE), reason="Linux descriptors, devices and shell")
@pytest.mark.parametrize("case", PROCESS_BOUNDARY)
def test_process_boundary(run, case):
    config, command, status, ending, on_disk = PROCESS_BOUNDARY[case]
    run.write("cfg.ini", config if config is not None else TWO)
    run.write("a.bin", A)
    run.write("b.bin", B)
    code, out = shell(run, command)
    assert code == status, out
    assert out.endswith(ending), out
    image = run.folder / "new.img"
    if on_disk == "absent":
        assert not image.exists()
    elif on_disk == "image":
        check_image(image.read_bytes(), [Partition(A, True), Partition(B, False)])
    elif isinstance(on_disk, str):
        assert image.read_text().endswith(on_disk)
    elif on_disk is not None:
        assert image.read_bytes() == on_disk
    if "partition without end" in case:  # stopped one byte beyond the partition
        assert not image.exists()


@pytest.mark.skipif(bool(WINE_EXE), reason="the lock of the Linux build")
def test_output_in_use_by_another_run_is_left_as_it_was(run):
    run.write("cfg.ini", TWO)
    run.write("a.bin", A)
    run.write("b.bin", B)
    run.write("new.img", b"another run's image")
    with open(run.folder / "new.img", "rb") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        result = run("-i", "cfg.ini", "-o", "new.img")
    assert_failed_with(result, "\noutput file is in use by another run: new.img\n")
    assert (run.folder / "new.img").read_bytes() == b"another run's image"
    assert run("-i", "cfg.ini", "-o", "new.img").status == 0


@pytest.mark.skipif(bool(WINE_EXE) or "ASAN_OPTIONS" in os.environ,
                    reason="an address-space limit on the Linux build without sanitizers")
def test_every_memory_limit_ends_in_a_sound_image_or_a_clean_failure(run):
    run.write("cfg.ini", TWO)
    run.write("a.bin", A)
    run.write("b.bin", B)
    outcomes = set()

    def pack_under(mib):
        image = f"new{mib}.img"
        return mib, image, subprocess.run(
            ["/bin/sh", "-c", f'ulimit -v {mib << 10} && exec "$0" "$@"', run.program, "-i",
             "cfg.ini", "-o", image], cwd=run.folder, stdin=subprocess.DEVNULL,
            capture_output=True, timeout=60)

    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        for mib, image, done in pool.map(pack_under, range(24, 521, 4)):
            out = done.stdout.decode()
            if done.returncode == 0:
                assert out.endswith(SUCCESS + "\n"), (mib, out)
                check_image((run.folder / image).read_bytes(),
                            [Partition(A, True), Partition(B, False)])
            else:
                assert done.returncode == 1 and out.endswith(ERROR_BANNER), (mib, done)
                assert SUCCESS not in out, (mib, out)
            outcomes.add(done.returncode)
    assert outcomes == {0, 1}
