"""Whole runs that write images, each image checked by independent code."""
import os
import random

import pathlib

from conftest import BANNER, ROOT, WINE_EXE
from image_check import CHUNK, Partition, check_image

# The example of the configuration corpus, and the reader's lines for it.
CORPUS_EXAMPLE = ROOT / "tests" / "data" / "config" / "example"
EXAMPLE = CORPUS_EXAMPLE.with_suffix(".ini").read_text()
EXAMPLE_TRANSCRIPT = (BANNER + "config file: example.ini\noutput file: out.bin\n"
                      + CORPUS_EXAMPLE.with_suffix(".reading").read_text().split("outcome ")[0]
                      + "Output File = out.bin\n300000\nCreating IoT file...[OK]\n")


def firmware_like(rng, size):
    """Bytes that compress like machine code: repeats with noise."""
    words = [rng.randbytes(rng.randint(2, 12)) for _ in range(64)]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words) if rng.random() < 0.9 else rng.randbytes(3)
    return bytes(out[:size])


def test_the_complete_example_run(run):
    rng = random.Random(1)
    app = firmware_like(rng, 300000)
    res = rng.randbytes(5000)
    run.write("example.ini", EXAMPLE)
    run.write("D:/fw/app.bin", app)  # D:\fw\ on Linux is the folder "D:" here
    run.write("D:/fw/res.bin", res)
    if WINE_EXE:  # and on Windows, drive D: is made that folder
        drive = pathlib.Path(os.environ["WINEPREFIX"]) / "dosdevices" / "d:"
        drive.unlink(missing_ok=True)
        drive.symlink_to(run.folder / "D:")
    result = run("-i", "example.ini", "-o", "out.bin")
    assert result.output == EXAMPLE_TRANSCRIPT
    # Standard output as ever; the bootloader, passed over, is worth a warning.
    assert result.errors == ("vantorel: warning: example.ini:4: [Bootloader] File is not packed: a "
                             "section named Bootloader, Ext-Bootloader or with Flash in its name "
                             "is passed over unless it is the last one\n")
    assert result.status == 0
    partitions = [Partition(app, True, 0x10000, 0x80000), Partition(res, False, 589824, 0x20000)]
    check_image((run.folder / "out.bin").read_bytes(), partitions)


def contents(rng, size):
    kind = rng.choice(["random", "zeros", "firmware", "text"])
    if kind == "random":
        return rng.randbytes(size)
    if kind == "zeros":
        return bytes(size)
    if kind == "text":
        return (b"partition table entry %d\n" * (size // 20 + 1))[:size]
    return firmware_like(rng, size)


SIZES = [0, 1, 2, 100, 4095, 65536, 300000]
LARGE_SIZES = [CHUNK - 1, CHUNK, CHUNK + 1]


def test_random_configurations_pack_and_reproduce_every_input(run):
    rng = random.Random(20261206)
    cases = int(os.environ.get("VANTOREL_PROPERTY_CASES", "6"))
    for case in range(cases):
        count = rng.randint(1, 4)
        partitions = []
        config = ["[General Setting]", "Base_Directory=parts"]
        for i in range(count):
            size = rng.choice(LARGE_SIZES) if case == 0 and i == 0 else rng.choice(SIZES)
            p = Partition(contents(rng, size), rng.random() < 0.5,
                          rng.randrange(0, 2**32), rng.randrange(size, 2**32))
            run.write(f"parts/p{case}_{i}.bin", p.content)
            config += [f"[Part{i}]", f"File=p{case}_{i}.bin", f"Start_Address={p.start:#x}",
                       f"Partition_Size={p.size}",
                       f"Is_Compressed={'true' if p.compressed else 'false'}"]
            partitions.append(p)
        run.write("cfg.ini", "\r\n".join(config) + "\r\n")
        result = run("-i", "cfg.ini", "-o", f"case{case}.img")
        assert result.status == 0, result.output
        image = run.folder / f"case{case}.img"
        check_image(image.read_bytes(), partitions)
        image.unlink()
