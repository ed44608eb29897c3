"""Flash files, chosen partitions and image comparison, checked against
tools nobody here wrote: objcopy, srec_cat, Python's intelhex, and a layout
of the partitions computed here for the flat binary and a reader of UF2
written here from the format's description."""
import json
import struct
import subprocess

import pytest
from intelhex import IntelHex

from conftest import inspect, inspect_arguments, linux_only

GIB4 = 1 << 32


def pack(run, name, partitions):
    """Packs (start, size, compressed, content) partitions into NAME.img."""
    config = ""
    for i, (start, size, compressed, content) in enumerate(partitions):
        run.write(f"{name}{i}.bin", content)
        config += (f"[P{i}]\nFile={name}{i}.bin\nStart_Address={start:#x}\n"
                   f"Partition_Size={size:#x}\nIs_Compressed={str(compressed).lower()}\n")
    run.write(f"{name}.ini", config)
    assert run("-i", f"{name}.ini", "-o", f"{name}.img").status == 0
    return run.folder / f"{name}.img"


def layout(partitions, fill, base, size):
    """The flash contents as this test reads the description."""
    base = min(p[0] for p in partitions) if base is None else base
    end = base + size if size is not None else max(p[0] + p[1] for p in partitions)
    flash = bytearray([fill]) * (end - base)
    for start, _, _, content in partitions:
        flash[start - base:start - base + len(content)] = content
    return base, bytes(flash)


def read_back(path, form, fill, base, length):
    """The range [base, base + length) of a HEX or S-record file, as read by
    srec_cat, by objcopy (from the first to the last byte it holds) and, for
    HEX, by intelhex. Each reader's answer is checked against the others."""
    out = path.with_suffix(".back")
    subprocess.run(["srec_cat", str(path), "-intel" if form == "ihex" else "-motorola",
                    "-offset", str(-base), "-fill", f"{fill:#x}", "0", str(length),
                    "-o", str(out), "-binary"], check=True, timeout=60)
    flash = out.read_bytes()
    subprocess.run(["objcopy", "-I", form, "-O", "binary", "--gap-fill", f"{fill:#x}", str(path),
                    str(out)], check=True, timeout=60)
    held = out.read_bytes()
    if held:  # from its first record on
        first = flash.index(held)
        assert flash[first:first + len(held)] == held and set(flash[:first]) <= {fill}
    if form == "ihex":
        hex_file = IntelHex(str(path))
        hex_file.padding = fill
        assert hex_file.tobinstr(start=base, size=length) == flash
    return flash


UF2_FAMILY = 0xE48BFF56


def read_uf2(path, fill, base, length, family=UF2_FAMILY):
    """The range [base, base + length) of a UF2 file, each of its 512-byte
    blocks checked: magic numbers, flags and family, numbering and count, a
    payload of at most 256 bytes within one 256-byte page, zeros after it,
    and no block that holds only fill."""
    data = path.read_bytes()
    assert len(data) % 512 == 0 and data
    blocks = [data[i:i + 512] for i in range(0, len(data), 512)]
    flash = bytearray([fill]) * length
    for number, block in enumerate(blocks):
        start0, start1, flags, address, size, index, count, named = struct.unpack("<8I", block[:32])
        assert (start0, start1, struct.unpack("<I", block[508:])[0]) == (
            0x0A324655, 0x9E5D5157, 0x0AB16F30)
        assert (flags, named) == ((0x2000, family) if family is not None else (0, 0))
        assert (index, count) == (number, len(blocks))
        assert 0 < size <= 256 and address % 256 + size <= 256 and base <= address
        assert block[32 + size:508] == bytes(476 - size)
        payload = block[32:32 + size]
        assert set(payload) != {fill}
        flash[address - base:address - base + size] = payload
    return bytes(flash)


GAPS = [(0x1000, 0x800, False, b"boot" * 100), (0x4000, 0x2000, True, b"app " * 1500),
        (0x3000, 0x100, False, bytes(range(256)))]
# Each case: partitions (start, size, compressed, content), the options, and
# a phrase of the refusal (None: written). Which layouts are refused is the
# flash plan's table; one refusal shows the wiring.
LAYOUTS = {
    "gaps, partitions out of address order": (GAPS, [], None),
    "a partition at address 0, fill 0x00": ([(0, 0x100, False, b"\xff" * 16 + b"x"),
                                             (0x200, 0x10, False, b"y")], ["--fill", "0"], None),
    "one ending at 4 GiB": ([(GIB4 - 0x10000, 0x10000, True, b"top" * 5000)], [], None),
    "fill 0x5A, --base below and --size beyond": (
        GAPS, ["--fill", "0x5A", "--base", "0x800", "--size", "0x8000"], None),
    "--base and --size up to 4 GiB": ([(GIB4 - 0x100, 0x100, False, b"end")],
                                      ["--base", str(GIB4 - 0x300), "--size", "0x300"], None),
    "a run of fill across 64 KiB boundaries": ([(0x1FFF0, 0x20, False, b"\x01" * 0x20),
                                                (0x50000, 0x10, False, b"\x02")], [], None),
    "overlap": ([(0x1000, 0x1000, False, b"a"), (0x1800, 0x100, False, b"b")], [],
                "partition 0 [0x00001000, 0x00002000) and partition 1 [0x00001800, 0x00001900) "
                "overlap in flash"),
}
# The Windows build runs two of them.
WINE_LAYOUTS = {"gaps, partitions out of address order", "overlap"}


@pytest.mark.parametrize("case", [c if c in WINE_LAYOUTS else pytest.param(c, marks=linux_only)
                                  for c in LAYOUTS])
def test_flash_layouts(run, case):
    partitions, options, refusal = LAYOUTS[case]
    image = pack(run, "fw", partitions)
    value = dict(zip(options[::2], options[1::2]))
    fill = int(value.get("--fill", "255"), 0)
    base = int(value["--base"], 0) if "--base" in value else None
    size = int(value["--size"], 0) if "--size" in value else None
    if refusal:
        status, out, err = inspect(image, "--flash", "flash.bin", *options, cwd=run.folder)
        assert status == 1 and refusal in err and "no flash file written" in err
        assert not (run.folder / "flash.bin").exists()
        return
    base, expected = layout(partitions, fill, base, size)
    for form in ["bin", "ihex", "srec", "uf2"]:
        target = run.folder / f"flash.{form}"
        # UF2 files of the GAPS layouts name no family; the others name one.
        named = form == "uf2" and partitions is not GAPS
        family = ["--family", str(UF2_FAMILY)] if named else []
        status, out, err = inspect(image, "--flash", str(target), "--format", form, *family,
                                   *options)
        assert (status, err) == (0, ""), out + err
        assert out.endswith(f"flash {target}: {form} [0x{base:08X}, 0x{base + len(expected):08X})"
                            "\n")
        if form == "bin":
            assert target.read_bytes() == expected
        elif form == "uf2":
            assert read_uf2(target, fill, base, len(expected),
                            UF2_FAMILY if named else None) == expected
        else:
            assert read_back(target, form, fill, base, len(expected)) == expected


@linux_only
def test_flash_file_targets(run):
    image = pack(run, "fw", GAPS)
    run.write("taken.bin", b"mine")
    assert inspect(image, "--flash", str(run.folder / "taken.bin"))[0] == 1
    assert (run.folder / "taken.bin").read_bytes() == b"mine"
    status, _, err = inspect(image, "--flash", str(image), "--force")
    assert status == 1 and "is the image being read" in err
    assert inspect(image, "--flash", str(run.folder / "taken.bin"), "--force")[0] == 0
    assert (run.folder / "taken.bin").stat().st_size == 0x5000


OLD = [(0x1000, 0x1000, False, b"boot"), (0x10000, 0x8000, True, b"app" * 900)]
# The new image, the change named for each partition, and the exit status.
DIFFS = {
    "the same": (OLD, ["unchanged", "unchanged"], 0),
    "content": ([OLD[0], (0x10000, 0x8000, True, b"app" * 901)], ["unchanged", "content changed"],
                1),
    "moved and compression": ([(0x2000, 0x1000, True, b"boot"), OLD[1]],
                              ["moved, compression changed", "unchanged"], 1),
    "added": (OLD + [(0x20000, 0x10, False, b"new")], ["unchanged", "unchanged", "added"], 1),
    "removed": (OLD[:1], ["unchanged", "removed"], 1),
}


@pytest.mark.parametrize("case", [c if c in {"the same", "content"} else
                                  pytest.param(c, marks=linux_only) for c in DIFFS])
def test_diff(run, case):
    partitions, changes, code = DIFFS[case]
    old, new = pack(run, "old", OLD), pack(run, "new", partitions)
    status, out, err = inspect(new, "--diff", str(old))  # --diff OLD NEW, as diff(1)
    assert (status, err) == (code, ""), out + err
    assert out.startswith(f"old: {old}\nnew: {new}\n")
    assert [line.split(": ", 1)[1].split(" (")[0] for line in out.splitlines()
            if line.startswith("partition ")] == changes
    report = json.loads(inspect(new, "--json", "--diff", str(old))[1])
    assert [p["change"] for p in report["partitions"]] == changes and report["same"] == (code == 0)
    assert (report["old"], report["new"]) == (str(old), str(new))
    added = report["partitions"][-1]["new"] or report["partitions"][-1]["old"]
    assert added["originalSize"] == len(partitions[-1][3] if changes[-1] != "removed" else OLD[1][3])


@linux_only
def test_diff_of_an_unsound_or_missing_image(run):
    old = pack(run, "old", OLD)
    broken = run.write("broken.img", old.read_bytes()[:-1])
    for other in [broken, run.folder / "none.img"]:
        status, out, err = inspect(other, "--diff", str(old))
        assert status == 2 and out == "" and err.startswith("vantorel-inspect: error: ")


@linux_only
def test_chosen_partitions_digests_and_version(run):
    image = pack(run, "fw", GAPS)
    status, out, _ = inspect(image, "--extract", "x", "--partition", "2", "--partition", "0",
                             cwd=run.folder)
    assert status == 0 and out.endswith("extracted x/partition-0.bin\nextracted x/partition-2.bin\n")
    assert sorted(p.name for p in (run.folder / "x").iterdir()) == ["partition-0.bin",
                                                                     "partition-2.bin"]
    assert (run.folder / "x" / "partition-2.bin").read_bytes() == GAPS[2][3]
    assert inspect(image, "--extract", "y", "--partition", "3", cwd=run.folder)[0] == 1
    data = image.read_bytes()
    for p in json.loads(inspect(image, "--json")[1])["partitions"]:
        end = p["dataOffset"] + p["dataLength"]
        assert p["storedDigest"] == p["computedDigest"] == data[end:end + 20].hex()
        assert "section" not in p
    report = json.loads(inspect(image, "--json", "--config", "fw.ini", cwd=run.folder)[1])
    assert [p["section"] for p in report["partitions"]] == ["P0", "P1", "P2"]
    assert inspect_arguments(["--version"])[1] == "vantorel-inspect 1.0.1\n"
