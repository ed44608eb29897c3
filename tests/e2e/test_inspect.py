"""vantorel-inspect as a user runs it: report, JSON, extraction, refusals."""
import json
import os

import pytest

from conftest import inspect

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


def test_unfinished_image(run):
    run.write("cfg.ini", CONFIG)
    run.write("plain.bin", b"x")
    result = run("-i", "cfg.ini", "-o", "out.img")  # packed.bin is missing
    assert result.status == 1
    status, out, _ = inspect(run.folder / "out.img")
    assert status == 1
    assert "unfinished image" in out and out.endswith("image is NOT sound\n")


def test_extraction_refuses_to_overwrite_unless_forced(run):
    image = packed_image(run)
    target = run.folder / "parts"
    assert inspect(image, "--extract", str(target))[0] == 0
    (target / "partition-1.bin").write_bytes(b"mine")
    status, _, err = inspect(image, "--extract", str(target))
    assert status == 1 and "exists" in err
    assert (target / "partition-1.bin").read_bytes() == b"mine"
    assert inspect(image, "--extract", str(target), "--force")[0] == 0
    assert (target / "partition-1.bin").read_bytes() == b"firmware " * 3000


def test_usage(run):
    assert inspect(run.folder / "none.img")[0] == 1
    status, out, _ = inspect("--help")
    assert status == 0 and out.startswith("usage: vantorel-inspect")
    assert inspect("--bogus")[0] == 2
    assert inspect("a.img", "--extract")[0] == 2


def plant_link(folder, image):
    outside = folder.parent / "outside.bin"
    outside.write_bytes(b"not ours")
    (folder / "partition-0.bin").symlink_to(outside)
    return outside, b"not ours"


def plant_fifo(folder, image):
    os.mkfifo(folder / "partition-0.bin")


def plant_copy_of_image(folder, image):
    (folder / "partition-0.bin").write_bytes(image.read_bytes())
    return folder / "partition-0.bin", image.read_bytes()


def plant_hard_link(folder, image):
    os.link(image, folder / "partition-0.bin")
    return image, image.read_bytes()


# Extraction never writes through what it finds at a target, never hangs on
# it, and never destroys the image it reads. Each case: what is planted at
# DIR/partition-0.bin, whether --force is given, the exit status, a phrase
# of the refusal (None: extracted), and the file that must keep its bytes.
EXTRACTION = {
    "a link to a file outside, forced": (plant_link, True, 0, None),
    "a link to a file outside": (plant_link, False, 1, "exists"),
    "a pipe, forced": (plant_fifo, True, 0, None),
    "the image itself, forced": (plant_copy_of_image, True, 1, "is the image being read"),
    "a hard link to the image, forced": (plant_hard_link, True, 1, "is the image being read"),
}


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
        return
    target = folder / "partition-0.bin"
    assert not target.is_symlink() and target.read_bytes() == bytes(range(256)) * 4
    assert sorted(p.name for p in folder.iterdir()) == ["partition-0.bin", "partition-1.bin"]


def test_json_is_utf8_whatever_the_path(run):
    image = packed_image(run)
    odd = run.folder / os.fsdecode(b"caf\xe9 \xff.img")
    image.rename(odd)
    status, out, _ = inspect(odd, "--json")
    assert status == 0
    assert json.loads(out)["image"].endswith("caf\ufffd \ufffd.img")
