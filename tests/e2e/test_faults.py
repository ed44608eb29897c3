"""The fault matrix: bad input and a failing machine never end in a success
line, always say what went wrong, and leave on disk what they should."""
import concurrent.futures
import fcntl
import os
import random
import re
import resource
import subprocess
import time

import pytest

from conftest import ERROR_BANNER, WINE_EXE, inspect_arguments
from image_check import Partition, check_image

SUCCESS = "Creating IoT file...[OK]"


def partition(name, file, compressed=False, size="0xFFFFFFFF"):
    return (f"[{name}]\nFile={file}\nStart_Address=0\nPartition_Size={size}\n"
            f"Is_Compressed={'true' if compressed else 'false'}\n")


def assert_failed_with(result, message, reason):
    """Standard output ends with the described `message` and the error
    banner; standard error gives the reason."""
    assert result.status == 1
    assert SUCCESS not in result.output
    assert result.output.endswith(message + ERROR_BANNER), result.output
    assert reason in result.errors and result.errors.endswith("\n"), result.errors


def sparse(path, size):
    with open(path, "wb") as f:
        f.truncate(size)


@pytest.mark.parametrize("output, message, reason", [
    # It cannot seek: the image is built in a scratch file and fails when it
    # is copied through.
    pytest.param("/dev/full", "8000\n", "vantorel: error: cannot write output file /dev/full: "
                 "No space left on device",
                 marks=pytest.mark.skipif(bool(WINE_EXE), reason="no full device on Windows")),
    pytest.param("pipe", "\ncannot open output file: pipe\n",  # nobody reads it
                 "vantorel: error: cannot open output file pipe: No such device or address",
                 marks=pytest.mark.skipif(bool(WINE_EXE), reason="a Linux pipe")),
    ("folder", "\ncannot open output file: folder\n", "cannot open output file folder: "),
    ("missing/out.bin", "\ncannot open output file: missing/out.bin\n",
     "cannot open output file missing/out.bin: "),
    ("o" * 256, "", "output file path is longer than 255 bytes: " + "o" * 256 + "\n"),
], ids=["full device", "pipe", "folder", "missing folder", "long path"])
def test_output_that_cannot_be_written(run, output, message, reason):
    run.write("cfg.ini", partition("App", "app.bin", compressed=True))
    run.write("app.bin", b"firmware" * 1000)
    (run.folder / "folder").mkdir()
    os.mkfifo(run.folder / "pipe")
    assert_failed_with(run("-i", "cfg.ini", "-o", output), f"Output File = {output}\n" + message,
                       reason)
    assert not (run.folder / "missing").exists()


def test_partition_file_that_is_a_directory(run):
    run.write("cfg.ini", partition("App", "parts"))
    (run.folder / "parts").mkdir()
    # Windows does not open a directory as a file; Linux opens it and fails to read.
    message = ("\ncannot open input file: parts\n"
               "The file might be opened or it might be not exist.\n" if WINE_EXE
               else "Output File = out.bin\n")
    reason = ("cannot open input file parts (looked for in " if WINE_EXE
              else "cannot read input file parts: ")
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin"), message, reason)
    assert not (run.folder / "out.bin").exists()  # as it was before the run


def test_output_path_naming_a_partition_file_leaves_it_unchanged(run):
    firmware = random.Random(3).randbytes(4096)
    run.write("cfg.ini", "[General Setting]\nBase_Directory=fw\n" + partition("App", "app.bin"))
    run.write("fw/app.bin", firmware)
    assert_failed_with(run("-i", "cfg.ini", "-o", "./fw//app.bin"),
                       "Output File = ./fw//app.bin\n",
                       "output file is also a partition file: fw\\app.bin\n")
    assert (run.folder / "fw" / "app.bin").read_bytes() == firmware
    assert_failed_with(run("-i", "cfg.ini", "-o", "cfg.ini"), "Output File = cfg.ini\n",
                       "output file is also the configuration file: cfg.ini\n")
    assert (run.folder / "cfg.ini").read_text().startswith("[General Setting]")


CANNOT_OPEN = "\ncannot open input file: b.bin\nThe file might be opened or it might be not exist.\n"
TOO_SMALL = "fill header fail\nPartition size is not enough for upgrade bin size.\n"

# Every packing rule refuses before the output is opened: standard output
# ends with the "Output File = " line and the rule's own lines (the size
# lines of the compressed partitions before it are not printed), the
# previous output stays as it was with nothing beside it, and that at once,
# however large the files; vantorel-inspect --config gives the packer's
# reason as its verdict. Each case: the configuration, its files (name:
# size, sparse; None: a link to nothing; "unreadable": mode 000), the rule's
# lines and its reason without its place in the configuration.
PACKING_RULES = {
    "five partitions": (
        "".join(partition(f"P{i}", "p.bin") for i in range(5)), {"p.bin": 1}, "",
        "too many partitions: 5 (an image holds at most 4)"),
    "a missing file after a compressed one": (
        partition("A", "a.bin", compressed=True) + partition("B", "b.bin"), {"a.bin": 5000},
        CANNOT_OPEN, "[B] cannot open input file b.bin (looked for in "),
    "a link to nothing": (
        partition("A", "a.bin") + partition("B", "b.bin"), {"a.bin": 5000, "b.bin": None},
        CANNOT_OPEN, "[B] cannot open input file b.bin (looked for in "),
    "a file its user cannot open": (
        partition("A", "a.bin") + partition("B", "b.bin"), {"a.bin": 1, "b.bin": "unreadable"},
        CANNOT_OPEN, "[B] cannot open input file b.bin (looked for in "),
    "a file larger than its partition after a compressed one": (
        partition("A", "a.bin", compressed=True) + partition("B", "b.bin", size="4096"),
        {"a.bin": 5000, "b.bin": 4097}, TOO_SMALL,
        "[B] b.bin is 0x00001001 (4097) bytes, 0x00000001 (1) more than its Partition_Size "
        "0x00001000 (4096)"),
    "a compressed file of 2 GiB": (
        partition("Big", "big.bin", compressed=True), {"big.bin": 2**31}, "",
        "[Big] partition file too large to compress: big.bin is 2147483648 bytes (a compressed "
        "partition must be below 2 GiB)"),
    "two files of 2200 MiB, an image past 4 GiB": (
        partition("A", "a.bin") + partition("B", "b.bin"), {"a.bin": 2200 << 20, "b.bin": 2200 << 20},
        "", "[B] image too large: with b.bin (2306867200 bytes) the image would reach 4 GiB (it "
        "holds at most 4294967295 bytes)"),
}


@pytest.mark.parametrize("case", PACKING_RULES)
def test_packing_rules_refuse_before_the_output_is_opened(run, case):
    config, files, message, reason = PACKING_RULES[case]
    if "unreadable" in files.values() and os.geteuid() == 0:
        pytest.skip("root opens a file of any mode")
    run.write("cfg.ini", config)
    for name, size in files.items():
        if size is None:
            (run.folder / name).symlink_to("nowhere")
        elif size == "unreadable":
            run.write(name, b"unreadable").chmod(0)
        else:
            sparse(run.folder / name, size)
    run.write("out.bin", b"the previous image")
    before = sorted(run.folder.iterdir())
    started = time.monotonic()
    result = run("-i", "cfg.ini", "-o", "out.bin", timeout=30)
    assert time.monotonic() - started < 10  # no file was read, nothing written
    assert_failed_with(result, "Output File = out.bin\n" + message, reason)
    assert (run.folder / "out.bin").read_bytes() == b"the previous image"
    assert sorted(run.folder.iterdir()) == before
    # The output's folder is not even looked for.
    assert_failed_with(run("-i", "cfg.ini", "-o", "missing/out.bin"),
                       "Output File = missing/out.bin\n" + message, reason)
    refusal = re.fullmatch(r"vantorel: error: (?:cfg\.ini:\d+: )?(.*)",
                           result.errors.splitlines()[-1]).group(1)
    status, out, err = inspect_arguments(["--config", "cfg.ini"], cwd=run.folder)
    assert status == 1 and err.startswith("vantorel-inspect: error: cfg.ini: "), err
    assert out.endswith("\nthe packer would refuse it: " + refusal + "\n"), out


# The image may hold 4294967295 bytes: one byte less than 4 GiB passes the
# refusal before reading (and then stops at the partition's size), 4 GiB does
# not pass it.
@pytest.mark.parametrize("big, message, reason", [
    (2**32 - 297, "fill header fail\nPartition size is not enough for upgrade bin size.\n",
     "cfg.ini:6: [Big] big.bin is 0xFFFFFED7 (4294966999) bytes, 0xFFFFEED7 (4294962903) more "
     "than its Partition_Size 0x00001000 (4096)\n"),
    (2**32 - 296, "Output File = out.bin\n", "image too large: with big.bin (4294967000 bytes) the "
     "image would reach 4 GiB (it holds at most 4294967295 bytes)\n"),
], ids=["one byte under", "at the limit"])
def test_image_limit(run, big, message, reason):
    run.write("cfg.ini", partition("Small", "small.bin") + partition("Big", "big.bin", size="4096"))
    run.write("small.bin", b"s" * 100)
    sparse(run.folder / "big.bin", big)
    run.write("out.bin", b"the previous image")
    assert_failed_with(run("-i", "cfg.ini", "-o", "out.bin", timeout=60), message, reason)
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
                               "Packaging...\n",
                       "configuration file has no sections" if kind == "garbage"
                       else "cannot read configuration file: ")
    assert not (run.folder / "out.bin").exists()


def shell(run, command, stdin=None):
    """Runs a shell command line in the run's folder, $V being the program."""
    done = subprocess.run(["/bin/sh", "-c", command], cwd=run.folder, input=stdin,
                          capture_output=True, timeout=120, env={**os.environ, "V": run.program})
    return (done.returncode, done.stdout.decode("utf-8", "replace"),
            done.stderr.decode("utf-8", "replace"))


def tail(text):
    return text[text.rfind("Output File = "):] if "Output File = " in text else text


TWO = partition("A", "a.bin", compressed=True) + partition("B", "b.bin")
A = random.Random(5).randbytes(70000)
B = b"plain" * 999


# Whatever stands at the edge of the process (descriptors, other runs, files
# that are not what they seem), exit 0 comes only with a sound image, and a
# refusal leaves what it found. Each case: the configuration, the command
# line ($V the program), the exit status, what ends the output, the reason on
# standard error, and the output file afterwards: "image" (checked
# independently), the text it ends with, its exact bytes, or None (not
# looked at).
PROCESS_BOUNDARY = {
    # The image takes the output's name only at the end, so a partition
    # file named as the output is not there while it is read.
    "output not yet there, named as a partition": (
        partition("A", "a.bin") + partition("New", "new.img"),
        "$V -i cfg.ini -o new.img", 1,
        "\ncannot open input file: new.img\nThe file might be opened or it might be not exist.\n"
        + ERROR_BANNER, "[New] cannot open input file new.img (looked for in {folder}): No such file or "
        "directory\n",
        "absent"),
    "output not yet there, a dangling link to it as a partition": (
        partition("A", "a.bin") + partition("Link", "link.bin"),
        "ln -s new.img link.bin && $V -i cfg.ini -o new.img", 1,
        "\ncannot open input file: link.bin\nThe file might be opened or it might be not exist.\n"
        + ERROR_BANNER, "[Link] cannot open input file link.bin (looked for in {folder}): No such file or "
        "directory\n",
        "absent"),
    "output redirected from standard output": (
        TWO, "$V -i cfg.ini -o new.img >new.img; echo $?", 0, "1\n",
        "output file is also the standard output: new.img\n", "Output File = new.img\n" +
        ERROR_BANNER),
    "output as /dev/stdout": (
        TWO, "$V -i cfg.ini -o /dev/stdout >new.img; echo $?", 0, "1\n",
        "output file is also the standard output: /dev/stdout\n",
        "Output File = /dev/stdout\n" + ERROR_BANNER),
    "standard output closed": (TWO, "$V -i cfg.ini -o new.img >&-", 0, "", "", "image"),
    "a file size limit": (TWO, "ulimit -f 8 && $V -i cfg.ini -o new.img", 1, ERROR_BANNER,
                          "cannot write output file new.img: File too large\n", None),
    "standard input and error closed": (
        TWO, "$V -i cfg.ini -o new.img <&- 2>&-", 0, "Creating IoT file...[OK]\n", "", "image"),
    "configuration from a pipe": (
        None, "cat cfg.ini | $V -i /dev/stdin -o new.img", 0, "Creating IoT file...[OK]\n", "",
        "image"),
    "configuration without end": (
        TWO, "$V -i /dev/zero -o new.img", 1, "configFile = /dev/zero\n" + ERROR_BANNER,
        "/dev/zero: configuration file is larger than 16 MiB\n", None),
    "plain partition without end": (
        partition("Z", "/dev/zero", size="4096"), "$V -i cfg.ini -o new.img", 1,
        "fill header fail\nPartition size is not enough for upgrade bin size.\n" + ERROR_BANNER,
        "[Z] /dev/zero holds more bytes than its Partition_Size 0x00001000 (4096)\n", None),
    "compressed partition without end": (
        partition("Z", "/dev/zero", compressed=True, size="4096"), "$V -i cfg.ini -o new.img", 1,
        "fill header fail\nPartition size is not enough for upgrade bin size.\n" + ERROR_BANNER,
        "[Z] /dev/zero holds more bytes than its Partition_Size 0x00001000 (4096)\n", None),
    "compressed partition of unknown size": (
        partition("N", "/dev/null", compressed=True), "$V -i cfg.ini -o new.img", 1,
        "Output File = new.img\n" + ERROR_BANNER,
        "[N] cannot tell the size of input file: /dev/null\n", None),
}


@pytest.mark.skipif(bool(WINE_EXE), reason="Linux descriptors, devices and shell")
@pytest.mark.parametrize("case", PROCESS_BOUNDARY)
def test_process_boundary(run, case):
    config, command, status, ending, reason, on_disk = PROCESS_BOUNDARY[case]
    run.write("cfg.ini", config if config is not None else TWO)
    run.write("a.bin", A)
    run.write("b.bin", B)
    code, out, errors = shell(run, command)
    assert code == status, out
    assert out.endswith(ending), out
    reason = reason.replace("{folder}", str(run.folder))
    assert errors.endswith(reason) and ("error" in errors) == bool(reason), errors
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
    assert_failed_with(result, "Output File = new.img\n",
                       "output file is in use by another run: new.img\n")
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
