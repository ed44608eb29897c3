"""The fault matrix: bad input and a failing machine never end in a success
line, always say what went wrong, and leave on disk what they should."""
import concurrent.futures
import os
import random
import re
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


# An output that cannot be written fails, and leaves the inputs as they were.
@pytest.mark.parametrize("output, message, reason", [
    pytest.param("pipe", "\ncannot open output file: pipe\n",  # nobody reads it
                 "vantorel: error: cannot open output file pipe: No such device or address",
                 marks=pytest.mark.skipif(bool(WINE_EXE), reason="a Linux pipe")),
    ("folder", "\ncannot open output file: folder\n", "cannot open output file folder: "),
    ("missing/out.bin", "\ncannot open output file: missing/out.bin\n",
     "cannot open output file missing/out.bin: "),
    ("o" * 256, "", "output file path is longer than 255 bytes: " + "o" * 256 + "\n"),
    ("./fw//app.bin", "", "output file is also a partition file: fw\\app.bin\n"),
    ("cfg.ini", "", "output file is also the configuration file: cfg.ini\n"),
], ids=["pipe", "folder", "missing folder", "long path", "a partition file",
        "the configuration file"])
def test_output_that_cannot_be_written(run, output, message, reason):
    inputs = [run.write("cfg.ini", "[General Setting]\nBase_Directory=fw\n"
                        + partition("App", "app.bin", compressed=True)),
              run.write("fw/app.bin", random.Random(3).randbytes(4096))]
    before = [path.read_bytes() for path in inputs]
    (run.folder / "folder").mkdir()
    os.mkfifo(run.folder / "pipe")
    assert_failed_with(run("-i", "cfg.ini", "-o", output), f"Output File = {output}\n" + message,
                       reason)
    assert not (run.folder / "missing").exists()
    assert [path.read_bytes() for path in inputs] == before


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


def cannot_open(name):
    return f"\ncannot open input file: {name}\nThe file might be opened or it might be not exist.\n"


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
    **{case: (partition("A", "a.bin", compressed=compressed) + partition("B", "b.bin"), files,
              cannot_open("b.bin"), "[B] cannot open input file b.bin (looked for in ")
       for case, compressed, files in [
           ("a missing file after a compressed one", True, {"a.bin": 5000}),
           ("a link to nothing", False, {"a.bin": 5000, "b.bin": None}),
           ("a file its user cannot open", False, {"a.bin": 1, "b.bin": "unreadable"})]},
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
    # The image may hold 4294967295 bytes: with a file one byte less than
    # that in all it is refused for its partition's size alone, at 4 GiB for
    # the image's too.
    "an image one byte under 4 GiB": (
        partition("Small", "small.bin") + partition("Big", "big.bin", size="4096"),
        {"small.bin": 100, "big.bin": 2**32 - 297}, TOO_SMALL,
        "cfg.ini:6: [Big] big.bin is 0xFFFFFED7 (4294966999) bytes, 0xFFFFEED7 (4294962903) more "
        "than its Partition_Size 0x00001000 (4096)\n"),
    "an image of 4 GiB": (
        partition("Small", "small.bin") + partition("Big", "big.bin", size="4096"),
        {"small.bin": 100, "big.bin": 2**32 - 296}, "", "image too large: with big.bin "
        "(4294967000 bytes) the image would reach 4 GiB (it holds at most 4294967295 bytes)\n"),
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
        else:  # sparse
            os.truncate(run.write(name, b""), size)
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


@pytest.mark.parametrize("kind", ["garbage", "directory", "missing"])
def test_configuration_files_that_hold_no_partitions(run, kind):
    if kind == "directory":
        (run.folder / "cfg.ini").mkdir()
    elif kind == "garbage":
        run.write("cfg.ini", random.Random(9).randbytes(200000).replace(b"[", b"\0"))
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


TWO = partition("A", "a.bin", compressed=True) + partition("B", "b.bin")
A = random.Random(5).randbytes(70000)
B = b"plain" * 999


# Whatever stands at the edge of the process (descriptors, other runs, files
# that are not what they seem), exit 0 comes only with a sound image, and a
# refusal leaves what it found. Each case: the configuration, the command
# line ($V the program), the exit status, what ends the output, the reason on
# standard error, and the output file afterwards: "absent", "image" (checked
# independently), the text it ends with, or None (not looked at).
PROCESS_BOUNDARY = {
    # The image takes the output's name only at the end, so a partition
    # file named as the output is not there while it is read.
    "output not yet there, named as a partition": (
        partition("A", "a.bin") + partition("New", "new.img"), "$V -i cfg.ini -o new.img", 1,
        cannot_open("new.img") + ERROR_BANNER, "[New] cannot open input file new.img (looked for "
        "in {folder}): No such file or directory\n", "absent"),
    "output not yet there, a dangling link to it as a partition": (
        partition("A", "a.bin") + partition("Link", "link.bin"),
        "ln -s new.img link.bin && $V -i cfg.ini -o new.img", 1,
        cannot_open("link.bin") + ERROR_BANNER, "[Link] cannot open input file link.bin (looked "
        "for in {folder}): No such file or directory\n", "absent"),
    "output redirected from standard output": (
        TWO, "$V -i cfg.ini -o new.img >new.img; echo $?", 0, "1\n",
        "output file is also the standard output: new.img\n", "Output File = new.img\n" +
        ERROR_BANNER),
    "output as /dev/stdout": (
        TWO, "$V -i cfg.ini -o /dev/stdout >new.img; echo $?", 0, "1\n",
        "output file is also the standard output: /dev/stdout\n",
        "Output File = /dev/stdout\n" + ERROR_BANNER),
    # Only a file that is standard output is refused: /dev/null is not one.
    "output and standard output /dev/null": (
        TWO, "$V -i cfg.ini -o /dev/null >/dev/null; echo $?", 0, "0\n", "", "absent"),
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
    # Stopped one byte beyond the partition.
    **{f"{kind} partition without end": (
        partition("Z", "/dev/zero", compressed=kind == "compressed", size="4096"),
        "$V -i cfg.ini -o new.img", 1, TOO_SMALL + ERROR_BANNER,
        "[Z] /dev/zero holds more bytes than its Partition_Size 0x00001000 (4096)\n", "absent")
       for kind in ["plain", "compressed"]},
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
    elif on_disk is not None:
        assert image.read_text().endswith(on_disk)


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
