"""vantorel-inspect --config CONFIG without an image: what the packer will
make of a configuration, before anything is packed, as text and as JSON."""
import json

import pytest

from conftest import WINE_EXE, inspect_arguments

# The path the packer opens: a backslash separates folders on Linux too.
SEP = "\\" if WINE_EXE else "/"


def section(name, file, start="0x10000", size="0x1000", compressed="false"):
    return (f"[{name}]\nFile={file}\nStart_Address={start}\nPartition_Size={size}\n"
            f"Is_Compressed={compressed}\n")


README = ("[General Setting]\nBase_Directory=fw\n" + section("Bootloader", "boot.bin", "0x0") +
          section("Application", "app.bin", "0x10000", "0x80000", "true") +
          section("Resources", "res.bin", "0x90000", "0x20000"))

# Each case: the configuration, its files (name: size, made sparse), the
# exit status, lines the text must hold, and per section of the JSON (role,
# partition number), its count of warnings and whether it reads.
EXPLANATIONS = {
    "the example, whose bootloader is passed over": (
        README, {"fw/app.bin": 3000, "fw/res.bin": 0x20000}, 0,
        ["[Bootloader] (line 3): passed over by its name\n",
         "[Application] (line 8): partition 0\n",
         '  Start_Address (line 10): "0x10000" -> 0x00010000 (65536), aligned to 64 KiB\n',
         '  Is_Compressed (line 12): "true" -> true: compressed\n',
         f"  file fw{SEP}app.bin: 3000 bytes of 524288, 521288 bytes (99.4%) to spare\n",
         "[Resources] (line 13): partition 1 (the last section, whatever its name)\n",
         f"  file fw{SEP}res.bin: 131072 bytes of 131072, 0 bytes (0.0%) to spare\n",
         "flash layout by address:\n  0x00010000-0x0008FFFF  partition 0 [Application]\n"
         "  0x00090000-0x000AFFFF  partition 1 [Resources]\n",
         "warning: cfg.ini:4: [Bootloader] File is not packed",
         "configuration reads: 2 partitions, 1 warning\n"],
        [("general setting", None), ("passed over", None), ("partition", 0),
         ("last section", 1)], 1, True),
    "numbers read otherwise than written, sorted by address": (
        section("High", "a.bin", "C000") + section("Low", "a.bin", "0x1000G", "64K"),
        {"a.bin": 10}, 0,
        ['  Start_Address (line 3): "C000" -> 0x00000000 (0), aligned to 64 KiB\n',
         "warning: cfg.ini:3: [High] Start_Address \"C000\" is read as 0x00000000 (0): no digits",
         "warning: cfg.ini:9: [Low] Partition_Size \"64K\" is read as 0x00000040 (64)",
         "  0x00000000-0x00000FFF  partition 0 [High]\n  0x00001000-0x0000103F  partition 1 [Low]\n"],
        [("partition", 0), ("last section", 1)], 3, True),
    "sizes and addresses meant as hexadecimal, each with its alignment": (
        section("A", "a.bin", "00010000", "10000") + section("B", "a.bin", "0x20000", "0x1000"),
        {"a.bin": 10}, 0,
        ['  Start_Address (line 3): "00010000" -> 0x00001000 (4096), aligned to 4 KiB\n',
         '  Partition_Size (line 4): "10000" -> 0x00002710 (10000), aligned to 16 bytes\n',
         "[A] Start_Address \"00010000\" is read as 0x00001000 (4096): a leading 0 makes it "
         "octal; write 0x10000 for hexadecimal",
         "[A] Partition_Size \"10000\" is read as decimal 10,000 (0x2710); 0x10000 is 65,536"],
        [("partition", 0), ("last section", 1)], 2, True),
    # The verdict is the packer's: the first partition it would refuse, in its words
    # (each rule's refusal is the packing rules' table's, with the packer beside it).
    "a file missing and one too large": (
        section("A", "none.bin") + section("B", "big.bin", "0x2000", "16"), {"big.bin": 20}, 1,
        ["  file none.bin: cannot be read: ", "  file big.bin: 20 bytes of 16, 4 bytes TOO LARGE\n",
         "\nthe packer would refuse it: [A] cannot open input file none.bin (looked for in "],
        [("partition", 0), ("last section", 1)], 0, True),
    "a file too large": (
        section("A", "a.bin") + section("B", "big.bin", "0x2000", "16"),
        {"a.bin": 0, "big.bin": 20}, 1,
        ["\nthe packer would refuse it: [B] big.bin is 0x00000014 (20) bytes, 0x00000004 (4) more "
         "than its Partition_Size 0x00000010 (16)\n"],
        [("partition", 0), ("last section", 1)], 1, True),
    "a misspelt key ends the reading": (
        section("A", "a.bin").replace("Start_Address", "Start_Adress") + section("B", "a.bin"),
        {"a.bin": 1}, 1,
        ["[A] (line 1): partition\n  File (line 2): \"a.bin\" -> a.bin\n  Start_Address: missing\n",
         "[B] (line 6): not read: the reading stopped before it\n",
         "configuration does NOT read: cfg.ini:1: [A] has no Start_Address value; keys the "
         "reader does not know: Start_Adress (line 3)\n"],
        [("partition", None), ("last section", None)], 0, False),
}


@pytest.mark.parametrize("case", EXPLANATIONS)
def test_explanation(tmp_path, case):
    config, files, status, lines, sections, warnings, reads = EXPLANATIONS[case]
    (tmp_path / "cfg.ini").write_text(config)
    for name, size in files.items():
        (tmp_path / name).parent.mkdir(exist_ok=True)
        with open(tmp_path / name, "wb") as f:
            f.truncate(size)
    code, out, err = inspect_arguments(["--config", "cfg.ini"], cwd=tmp_path)
    assert code == status, out + err
    for line in lines:
        assert line in out, out
    # Every verdict but a pass is a failure of the run, said on standard error.
    assert (err == "") == (status == 0), err
    assert err.startswith("vantorel-inspect: error: cfg.ini") or status == 0, err
    code, out, _ = inspect_arguments(["--config", "cfg.ini", "--json"], cwd=tmp_path)
    assert code == status
    report = json.loads(out)
    assert [(s["role"], s["partition"]) for s in report["sections"]] == sections
    assert (len(report["warnings"]), report["reads"]) == (warnings, reads)
    assert report["passed"] == (status == 0)
    strict, _, _ = inspect_arguments(["--strict", "--config", "cfg.ini"], cwd=tmp_path)
    assert strict == (1 if warnings or status else 0)
