"""Every file either program writes goes one way: the image, a flash file,
extracted partitions. A device, FIFO or other special file is written in
place and never replaced; a regular file is replaced whole and durably,
keeping its owner, group and mode; a run that fails, even one killed
outright, leaves nothing beside its output; a write the system fails is an
I/O failure with the system's words, whatever wrote it."""
import os
import pathlib
import signal
import stat
import subprocess
import threading
import time

import pytest

from conftest import ROOT, WINE_EXE, inspect_program, new_file_of

INJECTOR = os.environ.get("VANTOREL_FAULT_INJECTOR",
                          str(ROOT / "build" / "libvantorel_fault_injector.so"))
pytestmark = [
    pytest.mark.skipif(bool(WINE_EXE), reason="Linux devices, FIFOs, owners and signals"),
    pytest.mark.skipif("ASAN_OPTIONS" in os.environ or "TSAN_OPTIONS" in os.environ,
                       reason="kills and preloads beside a sanitizer runtime"),
]
needs_root = pytest.mark.skipif(os.geteuid() != 0, reason="needs root")
needs_injector = pytest.mark.skipif(not os.path.exists(INJECTOR),
                                    reason="the fault injector is not built")

SUCCESS = "Creating IoT file...[OK]\n"
CONFIG = ("[A]\nFile=a.bin\nStart_Address=0x10000\nPartition_Size=0x80000\nIs_Compressed=true\n"
          "[B]\nFile=b.bin\nStart_Address=0x90000\nPartition_Size=0x40000\nIs_Compressed=false\n")
FLASH_RANGE = "[0x00010000, 0x000D0000)"


def packer():
    return os.path.abspath(os.environ.get("VANTOREL", str(ROOT / "build" / "vantorel")))


def run(command, folder, env=None, stdout=subprocess.PIPE, timeout=120):
    done = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=stdout,
                          stderr=subprocess.PIPE, env={**os.environ, **(env or {})},
                          timeout=timeout)
    out = done.stdout.decode("utf-8", "replace") if done.stdout is not None else ""
    return done.returncode, out, done.stderr.decode("utf-8", "replace")


@pytest.fixture
def folder(tmp_path):
    """An image of a compressed and a plain partition of 200 KiB, too large
    together for a small full file system, and its flash files."""
    (tmp_path / "cfg.ini").write_text(CONFIG)
    (tmp_path / "a.bin").write_bytes(bytes(range(256)) * 300)
    (tmp_path / "b.bin").write_bytes(os.urandom(200 * 1024))
    status, out, err = run([packer(), "-i", "cfg.ini", "-o", "sound.img"], tmp_path)
    assert status == 0, out + err
    for form in ["bin", "ihex", "srec"]:
        status, out, err = run(flash(f"reference.{form}", form), tmp_path)
        assert status == 0, out + err
    return tmp_path


def pack(output):
    return [packer(), "-i", "cfg.ini", "-o", str(output)]


def flash(output, form="bin", *options):
    return [inspect_program(), "--flash", str(output), "--format", form, *options, "sound.img"]


def extract(folder, *options):
    return [inspect_program(), "--extract", str(folder), *options, "sound.img"]


def entries(folder):
    return sorted(p.name for p in pathlib.Path(folder).iterdir())


def character_device(folder):
    """A node of the full device: one made in the test's folder where the
    process may make one, so that a fault replaces no node of /dev."""
    node = folder / "full"
    try:
        os.mknod(node, 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        return node
    except OSError:
        return pathlib.Path("/dev/full")


# A device is written in place, never replaced, also through a link; its
# failure is the system's. Each case: the command (given the device), the
# exit status, the reason.
DEVICES = {
    "the image": (pack, 1,
                  "vantorel: error: cannot write output file {}: No space left on device"),
    "a flash file": (lambda device: flash(device, "bin", "--force"), 3,
                     "vantorel-inspect: error: flash file {} not completely written: a write "
                     "failed: No space left on device"),
    "a flash file through a link": (lambda device: flash("link", "ihex", "--force"), 3,
                                    "flash file link not completely written: a write failed: "
                                    "No space left on device"),
}


@pytest.mark.parametrize("case", DEVICES)
def test_a_device_is_written_in_place(folder, case):
    command, status, reason = DEVICES[case]
    device = character_device(folder)
    (folder / "link").symlink_to(device)
    before = entries(folder)
    code, out, err = run(command(device), folder)
    assert code == status, out + err
    assert reason.format(device) in err
    assert stat.S_ISCHR(os.stat(device).st_mode) and (folder / "link").is_symlink()
    assert entries(folder) == before


def read_exactly(fd, length, into):
    while len(into) < length:
        data = os.read(fd, length - len(into))
        if not data:
            break
        into.extend(data)


# An output that cannot seek (a FIFO, /dev/null) gets exactly the bytes a
# regular file would: the image, built in a scratch file, is copied through
# once whole. Each case: the command given the output, and the file that
# holds the same bytes.
STREAMS = {
    "the image": (pack, "sound.img"),
    "a flash file": (lambda output: flash(output, "srec", "--force"), "reference.srec"),
}


@pytest.mark.parametrize("case", STREAMS)
def test_a_fifo_with_a_reader_gets_the_whole_output(folder, case):
    command, same = STREAMS[case]
    expected = (folder / same).read_bytes()
    os.mkfifo(folder / "pipe")
    # Opened for reading and writing, the test is a reader before the
    # program opens the FIFO, and reads while it writes.
    fd = os.open(folder / "pipe", os.O_RDWR)
    try:
        received = bytearray()
        reader = threading.Thread(target=read_exactly, args=(fd, len(expected), received))
        reader.start()
        code, out, err = run(command("pipe"), folder)
        reader.join(timeout=60)
        assert code == 0, out + err
        os.set_blocking(fd, False)
        with pytest.raises(BlockingIOError):
            os.read(fd, 1)
    finally:
        os.close(fd)
    assert bytes(received) == expected
    assert stat.S_ISFIFO(os.stat(folder / "pipe").st_mode)


def test_dev_null_is_a_dry_run(folder):
    written = run(pack("again.img"), folder)
    for stdout in [subprocess.PIPE, subprocess.DEVNULL]:
        code, out, err = run(pack("/dev/null"), folder, stdout=stdout)
        assert code == 0, err
        if stdout == subprocess.PIPE:
            assert out == written[1].replace("again.img", "/dev/null") and out.endswith(SUCCESS)
    assert (folder / "again.img").read_bytes() == (folder / "sound.img").read_bytes()


# A replaced file keeps its owner, group and permission bits. Each case: the
# command, and the file it replaces.
OWNED = {
    "the image": (lambda: pack("owned"), "owned"),
    "a flash file": (lambda: flash("owned", "bin", "--force"), "owned"),
    "an extracted partition": (lambda: extract("x", "--force"), "x/partition-0.bin"),
}


@needs_root
@pytest.mark.parametrize("case", OWNED)
def test_a_replaced_file_keeps_its_owner_and_mode(folder, case):
    command, replaced = OWNED[case]
    output = folder / replaced
    output.parent.mkdir(exist_ok=True)
    output.write_bytes(b"another user's")
    os.chown(output, 12345, 23456)
    os.chmod(output, 0o600)
    code, out, err = run(command(), folder)
    assert code == 0, out + err
    kept = os.stat(output)
    assert (kept.st_uid, kept.st_gid, stat.S_IMODE(kept.st_mode)) == (12345, 23456, 0o600)
    assert output.read_bytes() != b"another user's"


def killed_while_writing(command, folder, env=None):
    """Runs the command and kills it outright once it has written bytes of
    a new file in the folder."""
    process = subprocess.Popen(command, cwd=folder, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env={**os.environ, **(env or {})})
    deadline = time.monotonic() + 60
    try:
        while True:
            assert process.poll() is None, "the run ended before it was killed"
            assert time.monotonic() < deadline, "no new file was written"
            pending = new_file_of(process.pid, folder)
            try:
                if pending and os.stat(pending).st_size > 0:
                    break
            except OSError:
                pass
            time.sleep(0.001)
    finally:
        process.send_signal(signal.SIGKILL)
        process.wait(timeout=60)


# A run killed by a signal nobody can catch leaves nothing beside its
# output: the new file has no name until it is put in place. The pack is
# killed while it compresses a large partition; the flash file, held at the
# sync before its commit, once it is whole.
KILLS = {
    "pack": (lambda: pack("out.img"), None),
    "flash": (lambda: flash("out.img", "ihex", "--force"),
              {"LD_PRELOAD": INJECTOR, "VANTOREL_FAULT": "fsync:1:stall"}),
}


@needs_injector
@pytest.mark.parametrize("case", KILLS)
def test_a_killed_run_leaves_nothing_beside_its_output(folder, case):
    command, env = KILLS[case]
    (folder / "big.bin").write_bytes(os.urandom(17 << 20))
    (folder / "cfg.ini").write_text(CONFIG.replace("a.bin", "big.bin").replace("0x80000",
                                                                                 "0x2000000"))
    (folder / "out.img").write_bytes(b"the previous output")
    before = entries(folder)
    killed_while_writing(command(), folder, env)
    assert entries(folder) == before
    assert (folder / "out.img").read_bytes() == b"the previous output"


# An interrupted extraction leaves the folder as it was: one it made is
# removed, once the files in it are gone. It is interrupted at the sync of
# its first file.
@needs_injector
def test_an_interrupted_extraction_removes_the_folder_it_made(folder):
    process = subprocess.Popen(
        extract("new"), cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        env={**os.environ, "LD_PRELOAD": INJECTOR, "VANTOREL_FAULT": "fsync:1:stall",
             "VANTOREL_FAULT_LOG": str(folder / "stalled")})
    deadline = time.monotonic() + 60
    while not (folder / "stalled").exists():
        assert process.poll() is None and time.monotonic() < deadline, "the run was not held"
        time.sleep(0.01)
    process.send_signal(signal.SIGINT)
    assert process.wait(timeout=60) == -signal.SIGINT
    assert not (folder / "new").exists()


@pytest.fixture
def full(tmp_path):
    """A folder with no room left: a small tmpfs where one can be mounted,
    otherwise one whose writes the fault injector fails with ENOSPC. Yields
    the folder and the environment a run needs."""
    folder = tmp_path / "full"
    folder.mkdir()
    mounted = os.geteuid() == 0 and subprocess.run(
        ["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(folder)],
        capture_output=True).returncode == 0
    if not mounted and not os.path.exists(INJECTOR):
        pytest.skip("neither a tmpfs nor the fault injector")
    try:
        yield folder, {} if mounted else {"LD_PRELOAD": INJECTOR,
                                          "VANTOREL_FAULT_FULL": str(folder)}
    finally:
        if mounted:
            subprocess.run(["umount", str(folder)], check=True)


# A full file system is an I/O failure with the system's words, whatever
# writes (the packer's failures are its status 1), and leaves nothing: no
# file, nor a folder extraction made. Each case: the command given the full
# folder, the exit status, the reason.
FULL = {
    "pack": (lambda full: pack(full / "out.img"), 1, "cannot write output file {}/out.img"),
    **{f"flash {form}": (lambda full, form=form: flash(full / "f", form), 3,
                         "flash file {}/f not written: a write failed")
       for form in ["bin", "ihex", "srec"]},
    "extract": (lambda full: extract(full / "x"), 3,
                "extraction failed, nothing extracted: cannot write the file of partition 0 in "
                "{}/x"),
}


@pytest.mark.parametrize("case", FULL)
def test_a_full_file_system(folder, full, case):
    command, status, reason = FULL[case]
    full_folder, env = full
    code, out, err = run(command(full_folder), folder, env)
    assert code == status, out + err
    assert reason.format(full_folder) + ": No space left on device" in err
    assert entries(full_folder) == []


UNPRIVILEGED = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]

# A target refused names the system's reason, and extraction removes a
# folder it made. Each case: the command given the folder where the output
# goes, whether that folder is writable, the exit status, the reason.
REFUSALS = {
    "flash file into a read-only folder": (
        lambda out: flash(out / "f.bin"), False, 3,
        "flash file {}/f.bin not written: cannot create a file in its folder: Permission denied"),
    "extraction into a read-only folder": (
        lambda out: extract(out / "x"), False, 1,
        "cannot create folder {}/x: Permission denied"),
    "image into a read-only folder": (
        lambda out: pack(out / "out.img"), False, 1,
        "cannot open output file {}/out.img: Permission denied"),
    "extraction of a partition the image lacks": (
        lambda out: extract(out / "x", "--partition", "7"), True, 1,
        "the image has no partition 7; nothing extracted"),
}


@pytest.mark.parametrize("case", REFUSALS)
def test_a_refused_target_says_why(tmp_path_factory, case):
    command, writable, status, reason = REFUSALS[case]
    if not writable and os.geteuid() != 0:
        pytest.skip("needs root to run as another user")
    top = tmp_path_factory.mktemp("shared")
    os.chmod(top, 0o755)
    (top / "cfg.ini").write_text(CONFIG.replace("b.bin", "a.bin"))
    (top / "a.bin").write_bytes(b"firmware" * 100)
    assert run(pack(top / "sound.img"), top)[0] == 0
    os.chmod(top / "sound.img", 0o644)
    out_folder = top / "out"
    out_folder.mkdir(mode=0o755 if not writable else 0o777)
    os.chmod(out_folder, 0o755 if not writable else 0o777)
    prefix = [] if writable else UNPRIVILEGED
    code, out, err = run(prefix + command(out_folder), top)
    assert code == status, out + err
    assert reason.format(out_folder) in err
    assert entries(out_folder) == []
