"""Builds for other machines against each other: the same inputs pack to the
same image bytes on every build, and every build's vantorel-inspect finds
every build's images sound, with the same report. Runs only when
VANTOREL_HOST_BUILDS names the builds, separated by ';': FOLDER, or
FOLDER=EMULATOR for a build that runs under an emulator
("build-arm64=qemu-aarch64 -L /usr/aarch64-linux-gnu"). The first is the
reference, normally the native build."""
import os
import pathlib
import random
import shlex
import shutil
import subprocess

import pytest

from conftest import ROOT


def host_builds():
    builds = []
    for entry in filter(None, os.environ.get("VANTOREL_HOST_BUILDS", "").split(";")):
        folder, _, emulator = entry.partition("=")
        builds.append((pathlib.Path(folder).resolve(), shlex.split(emulator)))
    return builds


BUILDS = host_builds()
pytestmark = pytest.mark.skipif(len(BUILDS) < 2, reason="VANTOREL_HOST_BUILDS names no two builds")


def run(build, program, *args, cwd):
    folder, emulator = build
    done = subprocess.run([*emulator, str(folder / program), *args], cwd=cwd,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=300)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def mixed_inputs(folder):
    """A configuration of every kind of partition: empty and compressed,
    compressed, plain, and plain at the top of the address space."""
    rng = random.Random(23)
    config = []
    for i, (size, compressed, start) in enumerate([(0, True, 0), (70000, True, 0x10000),
                                                   (5000, False, 0x90000),
                                                   (300, False, 0xFFFFF000)]):
        words = [rng.randbytes(rng.randint(1, 9)) for _ in range(50)]
        content = b"".join(rng.choice(words) for _ in range(size // 4 + 1))[:size]
        (folder / f"p{i}.bin").write_bytes(content)
        config += [f"[P{i}]", f"File=p{i}.bin", f"Start_Address={start:#x}",
                   "Partition_Size=0x20000", f"Is_Compressed={str(compressed).lower()}"]
    (folder / "mixed.ini").write_text("\n".join(config) + "\n")
    return "mixed.ini"


@pytest.fixture(scope="module")
def images(tmp_path_factory):
    """Per configuration, the image each build packs from it."""
    folder = tmp_path_factory.mktemp("hosts")
    shutil.copytree(ROOT / "examples", folder, dirs_exist_ok=True)
    packed = {}
    for config in ["vantorel.ini", mixed_inputs(folder)]:
        packed[config] = []
        for number, build in enumerate(BUILDS):
            image = folder / f"{config}.{number}.img"
            status, _, err = run(build, "vantorel", "-i", config, "-o", image.name, cwd=folder)
            assert status == 0, f"{build[0]}: {err}"
            packed[config].append(image)
    return folder, packed


def test_every_build_packs_the_same_bytes(images):
    _, packed = images
    for config, made in packed.items():
        reference = made[0].read_bytes()
        for build, image in zip(BUILDS, made):
            assert image.read_bytes() == reference, f"{config} packed by {build[0]}"


def test_every_build_finds_every_image_sound_with_the_same_report(images):
    folder, packed = images
    for config, made in packed.items():
        # The reports name the image, so each build reads a copy under one name.
        shutil.copyfile(made[0], folder / "read.img")
        reference = run(BUILDS[0], "vantorel-inspect", "--config", config, "read.img",
                        cwd=folder)
        assert reference[0] == 0 and reference[1].endswith("image is sound\n"), reference
        for image in made:
            shutil.copyfile(image, folder / "read.img")
            for build in BUILDS:
                assert run(build, "vantorel-inspect", "--config", config, "read.img",
                           cwd=folder) == reference, f"{build[0]} on {image.name}"
