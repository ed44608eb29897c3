"""Every file either program writes goes one way: a device or FIFO is
written in place, never replaced; a regular file is replaced whole and
durably, keeping its owner, group and mode. Every I/O call of each run fails
once, in turn (as SQLite's I/O error tests do), and so do the things around
it: its standard output, its signals, its targets. A run that did all it was
asked leaves a sound image (read by the independent reader), a complete
report, extraction or flash file; any other leaves the previous output, no
temporary file, and a reason on standard error, in the system's words where
the system failed it. The preload library fails the Nth call of a function
on one thread, so that the Nth call is the same in every run."""
import collections
import contextlib
import fcntl
import json
import operator
import os
import pathlib
import random
import re
import select
import shutil
import signal
import stat
import subprocess
import time

import pytest

from conftest import ERROR_BANNER, ROOT, WINE_EXE, inspect_program, new_file_of, packer
from image_check import Partition, check_image

INJECTOR = os.environ.get("VANTOREL_FAULT_INJECTOR",
                          str(ROOT / "build" / "libvantorel_fault_injector.so"))
pytestmark = [
    pytest.mark.skipif(bool(WINE_EXE), reason="Linux calls, devices, owners and signals"),
    pytest.mark.skipif(not os.path.exists(INJECTOR), reason="the fault injector is not built"),
    # The sanitizers' runtime must come first; it does not share the preload.
    pytest.mark.skipif("ASAN_OPTIONS" in os.environ or "TSAN_OPTIONS" in os.environ,
                       reason="kills and preloads beside a sanitizer runtime"),
]

SUCCESS = "Creating IoT file...[OK]\n"
CONFIG = ("[A]\nFile=a.bin\nStart_Address=0x10000\nPartition_Size=0x80000\nIs_Compressed=true\n"
          "[B]\nFile=b.bin\nStart_Address=0x90000\nPartition_Size=0x20000\nIs_Compressed=false\n")
A = bytes(range(256)) * 300
# Random, so that the image is more than a small full file system takes.
B = random.Random(2).randbytes(70000)
PARTITIONS = [Partition(A, True, 0x10000, 0x80000), Partition(B, False, 0x90000, 0x20000)]
PREVIOUS_IMAGE = b"the previous image, which a failed run must leave as it is"
PREVIOUS_FILES = {"partition-0.bin": b"old 0", "partition-1.bin": b"old 1", "other": b"kept"}
FLASH_FILES = {"bin": "flash.bin", "ihex": "flash.hex", "srec": "flash.srec"}
UNPRIVILEGED = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
# For the writers where the file systems make no unnamed files, so that
# every new file has a temporary name until it is put in place.
NAMED_FILES = {"VANTOREL_FAULT_NO_TMPFILE": "1"}


def pack(output="out.img"):
    return [packer(), "-i", "cfg.ini", "-o", str(output)]


def flash(form, output=None, *options):
    return [inspect_program(), "--flash", str(output or FLASH_FILES[form]), "--format", form,
            *options, "sound.img"]


def extract(folder="x", *options):
    return [inspect_program(), "--extract", str(folder), *options, "sound.img"]


# A run of one program: its command line, how the standard output of a run
# that did all it was asked ends, the check of what such a run wrote (given
# the folder, its snapshot before and standard output), the exit status of
# such a run, and the statuses its failures may end with.
Run = collections.namedtuple("Run", "command ending check passed failed",
                             defaults=(None, 0, (3,)))


def check_pack(folder, before, out):
    check_image((folder / "out.img").read_bytes(), PARTITIONS)


def check_inspect(folder, before, out):
    report = json.loads(out)
    assert report["passed"] and report["config"]["matches"]


def check_extract(folder, before, out):
    assert (folder / "x" / "partition-0.bin").read_bytes() == A
    assert (folder / "x" / "partition-1.bin").read_bytes() == B
    assert (folder / "x" / "other").read_bytes() == b"kept"


def check_flash(name):
    def check(folder, before, out):
        assert (folder / name).read_bytes() == (folder.parent / "reference" / name).read_bytes()
    return check


RUNS = {
    "pack": Run(pack, SUCCESS, check_pack, failed=(1,)),
    # A configuration that cannot be read is misuse of the option (2).
    "inspect": Run(lambda: [inspect_program(), "--json", "--config", "cfg.ini", "sound.img"],
                   "", check_inspect, failed=(2, 3)),
    # Explained, a configuration that does not read is the finding (1).
    "explain": Run(lambda: [inspect_program(), "--config", "cfg.ini"],
                   "configuration reads: 2 partitions, 0 warnings\n", failed=(1, 3)),
    # Images that cannot be compared are misuse of the option (2), as for cmp.
    "diff": Run(lambda: [inspect_program(), "--diff", "other.img", "sound.img"],
                "images differ\n", passed=1, failed=(2, 3)),
    "extract": Run(lambda: extract("x", "--force"), "extracted x/partition-1.bin\n",
                   check_extract),
    **{f"flash {form}": Run(lambda form=form: flash(form, None, "--force"),
                            f"flash {name}: {form} [0x00010000, 0x000B0000)\n", check_flash(name))
       for form, name in FLASH_FILES.items()},
}


def prepare(folder):
    """Fills the folder with the inputs, the images made of them and the
    previous outputs of every run; the flash files a run must write are made
    once in the folder's sibling "reference"."""
    folder.mkdir(exist_ok=True)
    (folder / "cfg.ini").write_text(CONFIG)
    (folder / "other.ini").write_text(CONFIG.split("[B]")[0])
    (folder / "a.bin").write_bytes(A)
    (folder / "b.bin").write_bytes(B)
    for config, image in [("cfg.ini", "sound.img"), ("other.ini", "other.img")]:
        done = subprocess.run([packer(), "-i", config, "-o", image], cwd=folder,
                              capture_output=True, timeout=60)
        assert done.returncode == 0, done
    (folder / "x").mkdir(exist_ok=True)
    for name, content in PREVIOUS_FILES.items():
        (folder / "x" / name).write_bytes(content)
    reference = folder.parent / "reference"
    reference.mkdir(exist_ok=True)
    (folder / "out.img").write_bytes(PREVIOUS_IMAGE)
    for name in FLASH_FILES.values():
        (folder / name).write_bytes(b"the previous flash file")
    # Outputs replaced are another user's where the test may make them so:
    # the replacement keeps the owner and group too.
    for name in ["out.img", *FLASH_FILES.values(), "x/partition-0.bin"]:
        os.chmod(folder / name, 0o640)
        if os.geteuid() == 0:
            os.chown(folder / name, 12345, 23456)
    for form, name in FLASH_FILES.items():
        if not (reference / name).exists():
            subprocess.run(flash(form, reference / name), cwd=folder, capture_output=True,
                           timeout=60, check=True)
    return folder


@pytest.fixture
def folder(tmp_path):
    yield prepare(tmp_path / "run")
    if os.path.ismount(tmp_path / "run" / "x"):
        subprocess.run(["umount", str(tmp_path / "run" / "x")], check=True)


KEPT = operator.attrgetter("st_mode", "st_uid", "st_gid")


def snapshot(folder):
    """Everything under the folder: the bytes of each regular file, and the
    kind, permission bits, owner and group of each entry."""
    return {str(p.relative_to(folder)): (p.read_bytes() if p.is_file() else None,
                                         *KEPT(p.stat())) for p in sorted(folder.rglob("*"))}


def run_with(folder, command, fault=None, env=None, stdout=subprocess.PIPE, shell_prefix=""):
    """Runs the command in the folder under the fault injector, on one
    thread, failing `fault`, with `env` added to the environment."""
    env = {**os.environ, "VANTOREL_THREADS": "0", "LD_PRELOAD": INJECTOR,
           "VANTOREL_FAULT_COUNTS": str(folder.parent / "counts"),
           "VANTOREL_FAULT_LOG": str(folder.parent / "log"), **(env or {})}
    env.pop("VANTOREL_FAULT", None)
    for leftover in ("counts", "log"):
        (folder.parent / leftover).unlink(missing_ok=True)
    if fault:
        env["VANTOREL_FAULT"] = fault
    if shell_prefix:
        command = ["/bin/sh", "-c", shell_prefix + ' && exec "$@"', "sh", *command]
    done = subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=stdout,
                          stderr=subprocess.PIPE, env=env, timeout=60)
    out = done.stdout.decode("utf-8", "replace") if done.stdout is not None else ""
    return done.returncode, out, done.stderr.decode("utf-8", "replace")


def failed_call(folder):
    log = folder.parent / "log"
    return log.read_text() if log.exists() else ""


def temporary_files(folder):
    return [str(p) for p in folder.rglob(".*")]


def check_outcome(name, folder, before, status, out, err, injected=""):
    context = f"{name}: {injected!r} status {status}\n{out}\n{err}"
    assert temporary_files(folder) == [], context
    run = RUNS[name]
    if status == run.passed:
        try:
            assert out.endswith(run.ending)
            if run.check:
                run.check(folder, before, out)
            # What the run replaced keeps its owner, group and permission bits.
            kept = {k: v[1:] for k, v in snapshot(folder).items() if k in before}
            assert kept == {k: before[k][1:] for k in kept}, "owner or mode lost"
        except AssertionError as failure:
            raise AssertionError(context) from failure
        return
    # A reason on standard error, whatever the run.
    assert status in run.failed, context
    if name == "pack":
        assert "vantorel: error: " in err, context
        assert SUCCESS not in out, context
        assert not out.endswith("\n\n" + ERROR_BANNER), context
    else:
        assert err.startswith("vantorel-inspect: error: "), context
        # Only the images are read by offset; an I/O error is never a
        # verdict about them.
        if injected.startswith("pread:"):
            assert re.search(r"cannot read \S+\.img at offset \d+: Input/output error", err), \
                context
        if out and name == "inspect":
            assert "error" in json.loads(out) and "unfinished" not in out, context
    after = snapshot(folder)
    changed = {k for k in before.keys() | after.keys() if before.get(k) != after.get(k)}
    # Even past the rename (a failing sync of the folder, the success line
    # lost) the previous output is put back.
    assert changed == set(), context


# Each I/O function with the faults it can have.
FUNCTIONS = {
    "write": ["EIO", "ENOSPC", "short"], "close": ["EIO"], "fsync": ["EIO"],
    "rename": ["EIO"], "renameat2": ["EIO"], "link": ["EIO"], "linkat": ["EIO"],
    "fchown": ["EIO"], "fchmod": ["EIO"],
    "open": ["EIO", "ENOSPC"], "openat": ["EIO"], "read": ["EIO", "short"],
    "pread": ["EIO", "short"],
}


def reader_gone(folder):
    reader, writer = os.pipe()
    os.close(reader)
    return open(writer, "wb")


# Standard output that cannot take the report: a shell prefix, what standard
# output is, and the system's words for it.
AROUND = {
    "standard output full": ("", lambda folder: open("/dev/full", "wb"),
                             "No space left on device"),
    "report file cut short": ("ulimit -f 0", lambda folder: open(folder.parent / "report", "wb"),
                              "File too large"),
    "reader of standard output gone": ("", reader_gone, "Broken pipe"),
}


CASES = [*(pytest.param(name, None, id=name) for name in RUNS),
         *(pytest.param(name, NAMED_FILES, id=f"{name}, named files")
           for name in ("pack", "extract", "flash bin"))]


@pytest.mark.parametrize("name, env", CASES)
def test_every_io_call_failing_once(folder, name, env):
    command = RUNS[name].command()
    before = snapshot(folder)
    status, out, err = run_with(folder, command, env=env)
    check_outcome(name, folder, before, status, out, err)
    assert status == RUNS[name].passed, out + err
    counts = (folder.parent / "counts").read_text().splitlines()
    calls = {function: int(n) for function, n in map(str.split, counts)}
    assert sum(calls[function] * len(modes) for function, modes in FUNCTIONS.items()) >= 5, calls
    prepare(folder)
    prepare_state = snapshot(folder)
    for function, modes in FUNCTIONS.items():
        for mode in modes:
            for n in range(1, calls[function] + 1):
                fault = f"{function}:{n}:{mode}"
                status, out, err = run_with(folder, command, fault, env=env)
                injected = fault + " " + failed_call(folder)
                check_outcome(name, folder, prepare_state, status, out, err, injected)
                if snapshot(folder) != prepare_state:
                    prepare(folder)
    for around, (prefix, target, words) in AROUND.items():
        with target(folder) as stdout:
            status, out, err = run_with(folder, command, env=env, stdout=stdout,
                                        shell_prefix=prefix)
        (folder.parent / "report").unlink(missing_ok=True)
        assert status == RUNS[name].failed[-1], (around, err)
        assert f"standard output: {words}" in err, (around, err)
        check_outcome(name, folder, prepare_state, status, "", err, around)


STRACE = shutil.which("strace")


# stdio's own writes are out of a preload library's reach: strace fails each
# write to standard output in turn, the success line among them.
@pytest.mark.skipif(not STRACE, reason="strace (scripts/setup --tests) is missing")
@pytest.mark.parametrize("name", RUNS)
def test_every_write_to_standard_output_failing_once(folder, name):
    report, trace = folder.parent / "report", folder.parent / "trace"

    def traced(*inject):
        with open(report, "wb") as stdout:
            return subprocess.run(
                [STRACE, "-f", "-qq", "-o", str(trace), "-P", str(report), "-e", "trace=write",
                 *inject, *RUNS[name].command()], cwd=folder, stdin=subprocess.DEVNULL,
                stdout=stdout, stderr=subprocess.PIPE, timeout=60,
                env={**os.environ, "VANTOREL_THREADS": "0"})

    assert traced().returncode == RUNS[name].passed
    writes = sum("write(" in line for line in trace.read_text().splitlines())
    assert writes >= 1
    # A run that loses its last line leaves what it wrote as it was before.
    prepare(folder)
    before = snapshot(folder)
    for n in range(1, writes + 1):
        done = traced("-e", f"inject=write:error=EIO:when={n}")
        err = done.stderr.decode()
        assert done.returncode != RUNS[name].passed and "standard output" in err, (n, err)
        check_outcome(name, folder, before, done.returncode, "", err, f"standard output write {n}")
        if snapshot(folder) != before:
            prepare(folder)


# A run stopped by a signal leaves its folder as it was: its new file has no
# name, or is removed, until it is put in place, and a folder extraction made
# is removed. A pack is held reading a partition from a FIFO and stopped once
# its new file holds bytes; the others are held at the sync of their first
# file. SIGKILL leaves no time to clean up: it is sent only where new files
# have no name. Each case: the command, the signal, the environment.
STALL = {"LD_PRELOAD": INJECTOR, "VANTOREL_FAULT": "fsync:1:stall"}
STOPS = {
    **{f"pack, {number.name}{', named files' if env else ''}": (pack, number, env)
       for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)
       for env in (None, {"LD_PRELOAD": INJECTOR, **NAMED_FILES})},
    "pack, SIGKILL": (pack, signal.SIGKILL, None),
    "flash file, SIGKILL": (lambda: flash("ihex", None, "--force"), signal.SIGKILL, STALL),
    "extraction into a new folder, SIGINT": (lambda: extract("new"), signal.SIGINT, STALL),
}


def holds_bytes(path):
    try:
        return path is not None and os.stat(path).st_size > 0
    except OSError:
        return False


@pytest.mark.parametrize("case", STOPS)
def test_a_stopped_run_leaves_its_folder_as_it_was(folder, case):
    command, number, env = STOPS[case]
    fed = command is pack
    if fed:
        os.mkfifo(folder / "slow.bin")
        (folder / "cfg.ini").write_text(
            CONFIG + "[C]\nFile=slow.bin\nStart_Address=0xB0000\nPartition_Size=0x1000\n"
                     "Is_Compressed=false\n")
    before = snapshot(folder)
    log = folder.parent / "stalled"
    run = subprocess.Popen(command(), cwd=folder, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL,
                           env={**os.environ, **(env or {}), "VANTOREL_FAULT_LOG": str(log)})
    # Open for writing, the FIFO holds the run until it is stopped.
    with open(folder / "slow.bin", "wb") if fed else contextlib.nullcontext():
        deadline = time.monotonic() + 60
        while not (holds_bytes(new_file_of(run.pid, folder)) if fed else log.exists()):
            assert run.poll() is None and time.monotonic() < deadline, "the run was not held"
            time.sleep(0.001)
        run.send_signal(number)
        assert run.wait(timeout=60) == -number
    assert snapshot(folder) == before


def plant_old_files(target):
    for name, content in PREVIOUS_FILES.items():
        (target / name).write_bytes(content)


def plant_other_users_file(target):
    """A shared sticky folder (as /tmp is) where partition-1.bin is another
    user's: an unprivileged run may not move or replace it."""
    os.chmod(target, 0o1777)
    (target / "partition-1.bin").write_bytes(b"another user's")
    os.chown(target / "partition-1.bin", 12345, 12345)


def fill(target):
    """Leaves no room in the folder: a small tmpfs mounted on it where one
    can be, otherwise the environment in which the fault injector fails every
    write there with ENOSPC."""
    if os.geteuid() == 0 and subprocess.run(
            ["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(target)],
            capture_output=True).returncode == 0:
        return {}
    return {"VANTOREL_FAULT_FULL": str(target)}


# A refused target says why and leaves the folder x as it was: a full file
# system is an I/O failure with the system's words, whatever writes, and
# extraction is all or nothing; without --force it never replaces a file,
# not even one another process (another extraction at once, say) puts at
# any of its targets while it runs. Each case: what is done to x first (it
# returns the environment a run needs), the command, a fault (a file planted
# at the target of the Nth call that puts a file in place: linkat names an
# unnamed file, renameat2 counts moves aside and, for named files,
# placements), whether the run is unprivileged (x is root's, not writable to
# others), the exit status and a phrase of the reason. After a failure x
# holds what it held before, plus a planted file that took a target no
# previous file is restored to.
REFUSED_TARGETS = {
    "a file appears at the first target": (
        None, extract(), {"unnamed": "linkat:1:plant", "named": "renameat2:1:plant"}, False, 1,
        "partition-0.bin appeared"),
    "a file appears at the second target": (
        None, extract(), {"unnamed": "linkat:2:plant", "named": "renameat2:2:plant"}, False, 1,
        "partition-1.bin appeared"),
    "a file appears at the first target, forced": (
        plant_old_files, extract("x", "--force"),
        {"unnamed": "linkat:1:plant", "named": "renameat2:3:plant"}, False, 1,
        "partition-0.bin appeared"),
    "the second target cannot be moved aside, forced": (
        plant_old_files, extract("x", "--force"),
        {"unnamed": "renameat2:2:EIO", "named": "renameat2:2:EIO"}, False, 3,
        "cannot move aside x/partition-1.bin: Input/output error"),
    "another user's file in a sticky folder, forced": (
        plant_other_users_file, extract("x", "--force"), {}, True, 3,
        "cannot move aside x/partition-1.bin: Operation not permitted"),
    "flash file into a read-only folder": (
        None, flash("bin", "x/f.bin"), {}, True, 3,
        "flash file x/f.bin not written: cannot create a file in its folder: Permission denied"),
    "extraction into a read-only folder": (
        None, extract("x/new"), {}, True, 1, "cannot create folder x/new: Permission denied"),
    "image into a read-only folder": (
        None, pack("x/out.img"), {}, True, 1,
        "cannot open output file x/out.img: Permission denied"),
    "extraction of a partition the image lacks": (
        None, extract("x/new", "--partition", "7"), {}, False, 1,
        "the image has no partition 7; nothing extracted"),
    "image on a full file system": (
        fill, pack("x/out.img"), {}, False, 1,
        "cannot write output file x/out.img: No space left on device"),
    **{f"flash file in {form} on a full file system": (
        fill, flash(form, "x/f"), {}, False, 3,
        "flash file x/f not written: a write failed: No space left on device")
       for form in FLASH_FILES},
    "extraction on a full file system": (
        fill, extract("x/new"), {}, False, 3, "extraction failed, nothing extracted: cannot "
        "write the file of partition 0 in x/new: No space left on device"),
}


@pytest.mark.parametrize("files", ["unnamed", "named"])
@pytest.mark.parametrize("case", REFUSED_TARGETS)
def test_a_refused_target_is_left_as_it_was(folder, case, files):
    plant, command, faults, unprivileged, status, reason = REFUSED_TARGETS[case]
    fault = faults.get(files)
    if unprivileged and os.geteuid() != 0:
        pytest.skip("needs root to run as another user")
    # The run starts in the folder and names every path from there, so that
    # only the folder and what is in it decide what another user may do.
    os.chmod(folder, 0o755)
    os.chmod(folder / "sound.img", 0o644)
    target = folder / "x"
    os.chmod(target, 0o755)
    for old in target.iterdir():
        old.unlink()
    env = {**((plant and plant(target)) or {}), **(NAMED_FILES if files == "named" else {})}
    before = snapshot(target)
    code, out, err = run_with(folder, (UNPRIVILEGED if unprivileged else []) + command, fault,
                              env=env)
    assert code == status, out + err
    assert reason in err
    after = snapshot(target)
    planted = {name for name in after if after[name][0] == b"planted by another process\n"}
    assert {name: after[name] for name in after if name not in planted} == \
        {name: before[name] for name in before if name not in planted}
    # With --force the previous files are restored, over a planted one too.
    assert bool(planted) == (fault is not None and "plant" in fault and "--force" not in command)


# A pack refuses an output another run holds and leaves it as it was; packs
# at once take turns, refused only for the lock, and leave one whole image.
def test_an_output_in_use_by_another_run_is_left_whole(folder):
    with open(folder / "out.img", "rb") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        status, out, err = run_with(folder, pack())
    assert (status, err) == (1, "vantorel: error: output file is in use by another run: out.img\n")
    assert out.endswith("Output File = out.img\n" + ERROR_BANNER) and SUCCESS not in out
    assert (folder / "out.img").read_bytes() == PREVIOUS_IMAGE
    for attempt in range(5):
        runs = [subprocess.Popen([packer(), "-i", config, "-o", "out.img"], cwd=folder,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                for config in ["cfg.ini", "other.ini"] * 2]
        outputs = [run.communicate(timeout=60)[1].decode() for run in runs]
        for run, out in zip(runs, outputs):
            # Refused only for the lock another run holds.
            assert run.returncode == 0 or "in use by another run" in out, (attempt, out)
        assert temporary_files(folder) == []
        image = (folder / "out.img").read_bytes()
        try:
            check_image(image, PARTITIONS)
        except AssertionError:
            check_image(image, PARTITIONS[:1])


def full_device(folder):
    """A node of the full device: one made in the folder where the process
    may make one, so that a fault replaces no node of /dev."""
    try:
        os.mknod(folder / "full", 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        return folder / "full"
    except OSError:
        return pathlib.Path("/dev/full")


NO_ROOM = "not completely written: a write failed: No space left on device\n"


def forced(form):
    return lambda target: flash(form, target, "--force")


# A device or FIFO is written in place, never replaced, also through a link.
# A full device fails as the system says; /dev/null and a FIFO with a
# reader, which cannot seek, get exactly the bytes a regular file would: the
# output is built in a scratch file and copied through once whole. The
# packer reports as to a regular file, up to its last line. Each case: the
# command given the target, the target, the file whose bytes the FIFO gets,
# the exit status and standard error ({} the target).
SPECIAL_FILES = {
    "the image to a full device": (
        pack, "full", None, 1, "vantorel: error: cannot write output file {}: No space left on "
        "device\n"),
    "a flash file to a full device": (
        forced("bin"), "full", None, 3, "vantorel-inspect: error: flash file {} " + NO_ROOM),
    "a flash file through a link to a full device": (
        forced("ihex"), "link", None, 3, "vantorel-inspect: error: flash file link " + NO_ROOM),
    "the image to /dev/null": (pack, "/dev/null", None, 0, ""),
    "the image to a FIFO with a reader": (pack, "FIFO", "sound.img", 0, ""),
    "a flash file to a FIFO with a reader": (forced("srec"), "FIFO", "../reference/flash.srec",
                                             0, ""),
}


@pytest.mark.parametrize("case", SPECIAL_FILES)
def test_a_device_or_fifo_is_written_in_place(folder, case):
    command, which, same, status, errors = SPECIAL_FILES[case]
    os.mkfifo(folder / "pipe")
    special = {"/dev/null": pathlib.Path("/dev/null"), "FIFO": folder / "pipe"}.get(which)
    special = special or full_device(folder)
    (folder / "link").symlink_to(special)
    sound = run_with(folder, pack("again.img"))[1]
    before = snapshot(folder)
    # Opened for reading and writing, the test is a reader before the
    # program opens the FIFO, and reads while it writes until it is gone.
    fd = os.open(folder / "pipe", os.O_RDWR | os.O_NONBLOCK)
    run = subprocess.Popen(command("link" if which == "link" else special), cwd=folder,
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE)
    received, deadline = b"", time.monotonic() + 60
    while (run.poll() is None and time.monotonic() < deadline) or select.select([fd], [], [], 0)[0]:
        if select.select([fd], [], [], 0.01)[0]:
            received += os.read(fd, 1 << 16)
    os.close(fd)
    out, err = (text.decode() for text in run.communicate(timeout=60))
    assert (run.returncode, err) == (status, errors.format(special)), out
    assert received == ((folder / same).read_bytes() if same else b"")
    if command is pack:
        assert out == sound.replace("again.img", str(special)).replace(
            SUCCESS, ERROR_BANNER if status else SUCCESS)
    assert snapshot(folder) == before
