"""vantorel-inspect as a user runs it: report, JSON, extraction, refusals."""
import hashlib
import itertools
import json
import re
import os
import subprocess

import pytest

from conftest import inspect, inspect_arguments, inspect_program, linux_only

CONFIG = ("[Plain]\nFile=plain.bin\nStart_Address=0x8000\nPartition_Size=0x1000\n"
          "Is_Compressed=false\n[Packed]\nFile=packed.bin\nStart_Address=0x18000\n"
          "Partition_Size=0x10000\nIs_Compressed=true\n")


def packed_image(run):
    run.write("cfg.ini", CONFIG)
    run.write("plain.bin", bytes(range(256)) * 4)
    run.write("packed.bin", b"firmware " * 3000)
    assert run("-i", "cfg.ini", "-o", "out.img").status == 0
    return run.folder / "out.img"


def test_report_of_a_sound_image(run):
    status, out, err = inspect(packed_image(run))
    assert status == 0 and err == ""
    assert "partitions: 2\nheader digest: ok\n" in out
    lines = out.splitlines()
    assert lines[6].split()[:6] == ["0", "0x00008000", "0x00001000", "156", "1024", "plain"]
    assert lines[7].split()[5:7] == ["compressed", "27000"]
    assert out.endswith("image is sound\n")


def test_json_report(run):
    image = packed_image(run)
    status, out, _ = inspect(image, "--json")
    report = json.loads(out)
    assert status == 0 and report["sound"] and report["problem"] is None
    assert report["unfinished"] is False
    assert [p["compressed"] for p in report["partitions"]] == [False, True]
    assert report["partitions"][1]["originalSize"] == 27000
    data = bytearray(image.read_bytes())
    data[200] ^= 1
    image.write_bytes(data)
    status, out, _ = inspect(image, "--json")
    report = json.loads(out)
    assert status == 1 and not report["sound"]
    assert report["problem"]["what"] == "partition 0 digest"
    assert report["problem"]["offset"] == 156 + 1024
    digest = hashlib.sha1(data[156:156 + 1024]).hexdigest().upper()
    spaced = " ".join(digest[i:i + 2] for i in range(0, 40, 2))
    stored = " ".join(f"{b:02X}" for b in data[1180:1200])
    assert inspect(image)[1].endswith(
        f"problem at byte 1180: partition 0 digest\n  expected: {spaced}\n"
        f"  found:    {stored}\nimage is NOT sound\n")


def test_unfinished_image(run):
    run.write("out.img", bytes(200))
    status, out, _ = inspect(run.folder / "out.img")
    assert status == 1
    assert out.endswith("\nunfinished image: no magic at byte 0\nproblem at byte 0: magic (an "
                        "unfinished image: the packer writes the header last)\n  expected: 4D 4D "
                        "4D 00\n  found:    00 00 00 00\nimage is NOT sound\n")
    report = json.loads(inspect(run.folder / "out.img", "--json")[1])
    assert report["unfinished"] is True and report["sound"] is False


# Argument vectors (the image path last, as given), the exit status, and
# the line on standard error. Which misuse gives which reason is the argument
# parser's table; one row shows that misuse reaches standard error.
@pytest.mark.parametrize("args, status, complaint", [
    (["none.img"], 1, "vantorel-inspect: error: cannot read none.img as a file: "),
    pytest.param(["pipe.img"], 1, "vantorel-inspect: error: cannot read pipe.img as a file\n",
                 marks=linux_only),
    (["--help"], 0, ""),
    (["--bogus", "a.img"], 2, "vantorel-inspect: error: unknown option --bogus\n"),
], ids=["missing image", "no file", "help", "unknown option"])
def test_usage(run, args, status, complaint):
    os.mkfifo(run.folder / "pipe.img")  # nobody writes it: it must not hold the run up
    code, out, err = inspect_arguments(args, cwd=run.folder)
    assert code == status
    assert err.startswith(complaint) and (status != 2 or "usage: vantorel-inspect" in err)
    assert out.startswith("usage: vantorel-inspect") == (status == 0)


# With --json every run prints one document, whatever failed: the error's
# kind and reason, "passed" never true, and "sound" the verdict wherever the
# image was read. Each row: arguments ({image}: a sound image, {folder}: the
# run's folder), the environment, the exit status, the error's kind, and
# whether the image's report is in the document.
@pytest.mark.parametrize("args, environment, status, kind, report", [
    (["--json", "none.img"], {}, 1, "image not sound", False),
    (["--json", "--strict", "--diff", "{image}", "{image}"], {}, 2, "usage", False),
    (["--json", "--diff", "none.img", "{image}"], {}, 2, "usage", False),
    (["--json", "--config", "none.ini", "{image}"], {}, 2, "configuration", False),
    (["--json", "{image}"], {"VANTOREL_THREADS": "many"}, 2, "setting", False),
    (["--json", "--flash", "{folder}/none/f.bin", "{image}"], {}, 3, "io", True),
    (["--json", "--flash", "{folder}", "--force", "{image}"], {}, 1, "output", True),
    (["--json", "--extract", "{folder}", "{image}"], {}, 1, "output", True),
    # A flash file that failed ends the run: nothing is extracted after it.
    (["--json", "--flash", "{folder}/none/f.bin", "--extract", "{folder}/x", "{image}"], {}, 3,
     "io", True),
], ids=["missing image", "usage", "diff of a missing image", "missing configuration",
        "worker setting", "flash into a missing folder", "flash over a folder",
        "extraction refused", "flash failed before an extraction"])
def test_json_in_every_mode(run, args, environment, status, kind, report):
    image = packed_image(run)
    (run.folder / "partition-0.bin").write_bytes(b"mine")
    arguments = [a.format(image=image, folder=run.folder) for a in args]
    code, out, err = inspect_arguments(arguments, cwd=run.folder, env=environment)
    document = json.loads(out)
    assert code == status, err
    assert document["passed"] is False and document["error"]["kind"] == kind
    assert document["error"]["reason"] in err
    assert ("sound" in document) == report and document.get("sound", True) is True
    assert not (run.folder / "x").exists()


# A configuration given where the image belongs is answered with the command
# that explains it; a file that merely is no image is not.
@pytest.mark.parametrize("content, hinted", [
    (CONFIG.encode(), True),
    (b"\r\n  " + CONFIG.encode(), True),
    (b"\xef\xbb\xbf" + CONFIG.encode(), True),
    ("\ufeff".encode("utf-16-le") + CONFIG.encode("utf-16-le"), True),
    (b"[not text\0" + bytes(200), False),
    (b"plain words, no section", False),
])
def test_configuration_given_as_image(run, content, hinted):
    run.write("given.ini", content)
    status, _, err = inspect(run.folder / "given.ini")
    hint = (f"{run.folder / 'given.ini'} looks like a configuration file; to explain it, "
            f"run vantorel-inspect --config {run.folder / 'given.ini'}")
    assert status == 1 and (hint in err) == hinted, err


def test_digests_of_a_region_that_does_not_decode(run):
    image = packed_image(run)
    data = bytearray(image.read_bytes())
    entry = json.loads(inspect(image, "--json")[1])["partitions"][1]
    start, end = entry["dataOffset"], entry["dataOffset"] + entry["dataLength"]
    data[start + 20] ^= 0xFF  # inside the first stream
    image.write_bytes(bytes(data))
    status, out, _ = inspect(image)
    stored, computed = data[end:end + 20].hex(), hashlib.sha1(data[start:end]).hexdigest()
    assert status == 1 and "stream 0" in out
    assert f"  region digest: {stored} stored, {computed} computed (BAD)\n" in out
    damaged = json.loads(inspect(image, "--json")[1])["partitions"][1]
    assert (damaged["digest"], damaged["storedDigest"], damaged["computedDigest"]) == (
        "BAD", stored, computed)


def plant_link(folder, image):
    outside = folder.parent / "outside.bin"
    outside.write_bytes(b"not ours")
    (folder / "partition-0.bin").symlink_to(outside)
    return outside, b"not ours"


def plant_file(folder, image):
    (folder / "partition-0.bin").write_bytes(b"mine")
    return folder / "partition-0.bin", b"mine"


def plant_folder(folder, image):
    (folder / "partition-0.bin").mkdir()


def plant_fifo(folder, image):
    os.mkfifo(folder / "partition-0.bin")


def plant_file_as_folder(folder, image):
    folder.rmdir()
    folder.write_bytes(b"mine")
    return folder, b"mine"


def plant_copy_of_image(folder, image):
    (folder / "partition-0.bin").write_bytes(image.read_bytes())
    return folder / "partition-0.bin", image.read_bytes()


def plant_hard_link(folder, image):
    os.link(image, folder / "partition-0.bin")
    return image, image.read_bytes()


# Extraction replaces what it finds at a target only when forced, never
# writes through it, never hangs on it, and never destroys the image it reads. Each case: what is planted at
# DIR/partition-0.bin, whether --force is given, the exit status, a phrase
# of the refusal (None: extracted), and the file that must keep its bytes.
EXTRACTION = {
    "a file": (plant_file, False, 1, "exists"),
    "a file, forced": (lambda folder, image: plant_file(folder, image) and None, True, 0, None),
    "a link to a file outside, forced": (plant_link, True, 0, None),
    "a link to a file outside": (plant_link, False, 1, "exists"),
    "a pipe, forced": (plant_fifo, True, 0, None),
    "a folder, forced": (plant_folder, True, 1, "is a folder; nothing extracted"),
    "a file for the folder, forced": (plant_file_as_folder, True, 1, "cannot create folder "),
    "the image itself, forced": (plant_copy_of_image, True, 1, "is the image being read"),
    "a hard link to the image, forced": (plant_hard_link, True, 1, "is the image being read"),
}


@linux_only
@pytest.mark.parametrize("case", EXTRACTION)
def test_extraction_targets(run, case):
    plant, force, status, refusal = EXTRACTION[case]
    image = packed_image(run)
    folder = run.folder / "y"
    folder.mkdir()
    kept = plant(folder, image)
    inspected = folder / "partition-0.bin" if "image" in case else image
    code, out, err = inspect(inspected, "--extract", str(folder), *(["--force"] if force else []),
                             timeout=60)
    assert code == status, out + err
    if kept:
        assert kept[0].read_bytes() == kept[1]
    if refusal:
        assert refusal in err
        if "image" not in case:
            # A damaged image is the answer, whatever the extraction would meet.
            damaged = run.folder / "damaged.img"
            damaged.write_bytes(image.read_bytes()[:-1] + b"?")
            code, out, err = inspect(damaged, "--extract", str(folder),
                                     *(["--force"] if force else []), timeout=60)
            assert code == 1 and refusal not in err and "digest" in out + err, out + err
            if kept:
                assert kept[0].read_bytes() == kept[1]
        return
    target = folder / "partition-0.bin"
    assert not target.is_symlink() and target.read_bytes() == bytes(range(256)) * 4
    assert sorted(p.name for p in folder.iterdir()) == ["partition-0.bin", "partition-1.bin"]
    assert (folder / "partition-1.bin").read_bytes() == b"firmware " * 3000


@linux_only
def test_json_is_utf8_whatever_the_path(run):
    image = packed_image(run)
    odd = run.folder / os.fsdecode(b"caf\xe9 \xff.img")
    image.rename(odd)
    status, out, _ = inspect(odd, "--json")
    assert status == 0
    assert json.loads(out)["image"].endswith("caf\ufffd \ufffd.img")


SECTIONS = {"A": (0x10000, 0x80000, True), "B": (0x90000, 0x20000, False),
            "C": (0xB0000, 0x10000, True)}
FILES = {"a.bin": b"firmware " * 7000, "b.bin": b"plain" * 1000, "c.bin": bytes(300)}


def configuration(sections):
    return "".join(f"[{name}]\nFile={name.lower()}.bin\nStart_Address={start:#x}\n"
                   f"Partition_Size={size:#x}\nIs_Compressed={str(compressed).lower()}\n"
                   for name, (start, size, compressed) in sections.items())


# Each single change to a configuration or its files after the image was made
# from them: the sections then, the files written anew (None: removed), and
# the findings (partition, field) it gives.
ALL_BUT_FILE = ["Start_Address", "Partition_Size", "Is_Compressed", "size"]
CONFIG_CHANGES = {
    "nothing": (SECTIONS, {}, []),
    "a file's byte": (SECTIONS, {"b.bin": b"plain" * 999 + b"plai?"}, [(1, "content")]),
    "a file's length": (SECTIONS, {"a.bin": FILES["a.bin"] + b"x"}, [(0, "size")]),
    "an address": ({**SECTIONS, "C": (0xC0000, 0x10000, True)}, {}, [(2, "Start_Address")]),
    "a size": ({**SECTIONS, "B": (0x90000, 0x21000, False)}, {}, [(1, "Partition_Size")]),
    "the flag": ({**SECTIONS, "A": (0x10000, 0x80000, False)}, {}, [(0, "Is_Compressed")]),
    "a partition added": ({**SECTIONS, "D": (0xD0000, 0x1000, False)}, {},
                          [(None, "partitions")]),
    "a partition removed": ({"A": SECTIONS["A"], "B": SECTIONS["B"]}, {}, [(None, "partitions")]),
    "the order of two sections": ({"B": SECTIONS["B"], "A": SECTIONS["A"], "C": SECTIONS["C"]}, {},
                                  [(0, f) for f in ALL_BUT_FILE] + [(1, f) for f in ALL_BUT_FILE]),
    "a file missing": (SECTIONS, {"c.bin": None}, [(2, "File")]),
}


@pytest.mark.parametrize("change", CONFIG_CHANGES)
def test_image_against_its_configuration(run, change):
    sections, files, expected = CONFIG_CHANGES[change]
    run.write("cfg.ini", configuration(SECTIONS))
    for name, content in FILES.items():
        run.write(name, content)
    assert run("-i", "cfg.ini", "-o", "out.img").status == 0
    run.write("cfg.ini", configuration(sections))
    for name, content in files.items():
        if content is None:
            (run.folder / name).unlink()
        else:
            run.write(name, content)
    status, out, err = inspect(run.folder / "out.img", "--config", "cfg.ini", cwd=run.folder)
    assert status == (1 if expected else 0), out
    assert ("does NOT match cfg.ini (" in err) == bool(expected), err
    if change == "a file's byte":  # digests as other tools print them
        assert (f"content: configuration SHA-1 {hashlib.sha1(files['b.bin']).hexdigest()}, "
                f"image SHA-1 {hashlib.sha1(FILES['b.bin']).hexdigest()}\n") in out
    if expected:
        for partition, field in expected:
            where = rf"partition {partition} \[\w+\] " if partition is not None else ""
            assert re.search(rf"\nmismatch: {where}{field}: configuration ", out), out
        assert out.endswith("image does NOT match the configuration\n\nimage is sound\n")
    else:
        assert out.endswith("image matches the configuration\n\nimage is sound\n")
    status, out, _ = inspect(run.folder / "out.img", "--config", "cfg.ini", "--json",
                             cwd=run.folder)
    config = json.loads(out)["config"]
    assert [(f["partition"], f["field"]) for f in config["findings"]] == expected
    assert config["matches"] == (not expected)


# Which configurations fail to read, and why, is the configuration corpus's
# matter; here, a file that is not there and one the reader refuses.
@pytest.mark.parametrize("content, reason", [
    (None, "cfg.ini: cannot read configuration file: "),  # and the system's own words
    ("[A]\nFile=a.bin\nStart_Address=0\nIs_Compressed=true\n",
     "cfg.ini:1: [A] has no Partition_Size value"),
], ids=["missing", "no key"])
def test_configuration_that_cannot_be_read(run, content, reason):
    image = packed_image(run)
    (run.folder / "cfg.ini").unlink()
    if content is not None:
        run.write("cfg.ini", content)
    status, out, err = inspect(image, "--config", "cfg.ini", cwd=run.folder)
    assert (status, out) == (2, "")
    assert err.startswith("vantorel-inspect: error: " + reason) and err.count("\n") == 1, err


# Which layouts warn, and in what words, is the layout check's table; here,
# one image with both kinds of warning, in the report, the JSON and --strict.
@pytest.mark.parametrize("layout, warnings", [
    ([(0xFFFFFFFF, 0xFFFFFFFF), (0x10, 0xFFFFFFF0)],
     ["partition 0 runs past 4 GiB in flash: [0xFFFFFFFF, 0x1FFFFFFFE)",
      "partitions 0 and 1 overlap in flash: [0xFFFFFFFF, 0x1FFFFFFFE) and "
      "[0x00000010, 0x100000000)"]),
])
def test_flash_layout_warnings(run, layout, warnings):
    config = "".join(f"[P{i}]\nFile=p.bin\nStart_Address={start:#x}\nPartition_Size={size:#x}\n"
                     f"Is_Compressed=false\n" for i, (start, size) in enumerate(layout))
    run.write("cfg.ini", config)
    run.write("p.bin", b"")
    assert run("-i", "cfg.ini", "-o", "out.img").status == 0
    status, out, _ = inspect(run.folder / "out.img")
    assert status == 0
    assert [line[len("warning: "):] for line in out.splitlines()
            if line.startswith("warning: ")] == warnings
    assert [w["text"] for w in json.loads(inspect(run.folder / "out.img", "--json")[1])[
        "warnings"]] == warnings
    status, out, _ = inspect(run.folder / "out.img", "--strict")
    assert status == (1 if warnings else 0)


@linux_only
@pytest.mark.skipif("ASAN_OPTIONS" in os.environ, reason="the memory of an uninstrumented build")
def test_large_partitions_are_checked_in_bounded_memory(run):
    config = ""
    for name in ["a", "b"]:
        with open(run.folder / f"{name}.bin", "wb") as sparse:
            sparse.truncate(256 << 20)
        config += (f"[{name}]\nFile={name}.bin\nStart_Address=0\nPartition_Size=0x10000000\n"
                   f"Is_Compressed=false\n")
    run.write("cfg.ini", config)
    assert run("-i", "cfg.ini", "-o", "big.img").status == 0
    # GNU time starts the checker from a small process, so that the peak is its own.
    checked = subprocess.run(["/usr/bin/time", "-f", "%M", inspect_program(), "--config",
                              "cfg.ini", "big.img"], cwd=run.folder, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=300)
    out = checked.stdout.decode()
    assert checked.returncode == 0, out
    assert out.endswith("image matches the configuration\n\nimage is sound\n")
    peak_kib = int(checked.stderr.decode().split()[-1])
    assert peak_kib < 64 << 10, f"{peak_kib} KiB"


@linux_only
@pytest.mark.skipif("ASAN_OPTIONS" in os.environ, reason="an address-space limit")
def test_memory_too_small_is_never_a_fault_of_the_image(run):
    image = packed_image(run)
    for kib, workers in itertools.product(range(8000, 30000, 2000), "014"):
        done = subprocess.run(["/bin/sh", "-c", f'ulimit -v {kib} && exec "$0" "$@"',
                               inspect_program(), str(image)], capture_output=True, timeout=60,
                              env={**os.environ, "VANTOREL_THREADS": workers})
        assert done.stdout.endswith(b"image is sound\n") or (
            done.returncode == 1 and b"cannot continue" in done.stderr), (kib, workers, done)
