"""Every I/O call of a pack, an inspection, an explanation, a comparison, an
extraction and a flash file in each form fails once, in turn (as SQLite's
I/O error tests do), and so do the things around a run: its standard
output, its signals, its input files. After each run:

- the status of a run that did all it was asked means a sound image (read
  by the independent reader), a complete report, extraction or flash file;
- any other exit means the previous output unchanged, no temporary file
  left, and a reason on standard error (the packer's reasons are its
  message lines).

The preload library fails the Nth call of one function; the runs use one
thread, so that the Nth call is the same call in every run. A dry run counts
the calls first."""
import json
import os
import re
import shutil
import signal
import subprocess
import time

import pytest

from conftest import ERROR_BANNER, ROOT, WINE_EXE, inspect_program, new_file_of
from image_check import Partition, check_image

INJECTOR = os.environ.get("VANTOREL_FAULT_INJECTOR",
                          str(ROOT / "build" / "libvantorel_fault_injector.so"))
pytestmark = [
    pytest.mark.skipif(bool(WINE_EXE), reason="Linux calls and signals"),
    pytest.mark.skipif(not os.path.exists(INJECTOR), reason="the fault injector is not built"),
    # The sanitizers' runtime must come first; it does not share the preload.
    pytest.mark.skipif("ASAN_OPTIONS" in os.environ or "TSAN_OPTIONS" in os.environ,
                       reason="a preload library beside a sanitizer runtime"),
]

SUCCESS = "Creating IoT file...[OK]\n"
CONFIG = ("[A]\nFile=a.bin\nStart_Address=0x10000\nPartition_Size=0x80000\nIs_Compressed=true\n"
          "[B]\nFile=b.bin\nStart_Address=0x90000\nPartition_Size=0x20000\nIs_Compressed=false\n")
A = bytes(range(256)) * 300
B = b"plain" * 999
PARTITIONS = [Partition(A, True, 0x10000, 0x80000), Partition(B, False, 0x90000, 0x20000)]
PREVIOUS_IMAGE = b"the previous image, which a failed run must leave as it is"
PREVIOUS_FILES = {"partition-0.bin": b"old 0", "partition-1.bin": b"old 1", "other": b"kept"}


def packer():
    return os.path.abspath(os.environ.get("VANTOREL", str(ROOT / "build" / "vantorel")))


FLASH_FILES = {"bin": "flash.bin", "ihex": "flash.hex", "srec": "flash.srec"}


class Run:
    """A run of one program: its command line, the exit status of a run that
    did all it was asked, the check of such a run's output, and the exit
    statuses its failures may end with."""

    def __init__(self, arguments, check, passed=0, failed=(3,)):
        self.arguments, self.check, self.passed, self.failed = arguments, check, passed, failed

    def command(self):
        return self.arguments()


def check_pack(folder, before, out):
    check_image((folder / "out.img").read_bytes(), PARTITIONS)
    assert out.endswith(SUCCESS)
    assert snapshot(folder)["out.img"][1] == before["out.img"][1], "permission bits lost"


def check_inspect(folder, before, out):
    report = json.loads(out)
    assert report["passed"] and report["config"]["matches"]


def check_extract(folder, before, out):
    assert (folder / "x" / "partition-0.bin").read_bytes() == A
    assert (folder / "x" / "partition-1.bin").read_bytes() == B
    assert (folder / "x" / "other").read_bytes() == b"kept"
    assert out.endswith("extracted x/partition-1.bin\n")


def ends_with(text):
    def check(folder, before, out):
        assert out.endswith(text)
    return check


def check_flash(form):
    def check(folder, before, out):
        name = FLASH_FILES[form]
        assert (folder / name).read_bytes() == (folder.parent / "reference" / name).read_bytes()
        assert snapshot(folder)[name][1] == before[name][1], "permission bits lost"
        assert out.endswith(f"flash {name}: {form} [0x00010000, 0x000B0000)\n")
    return check


def flash_run(form):
    return Run(lambda: [inspect_program(), "--flash", FLASH_FILES[form], "--format", form,
                        "--force", "sound.img"], check_flash(form))


RUNS = {
    "pack": Run(lambda: [packer(), "-i", "cfg.ini", "-o", "out.img"], check_pack, failed=(1,)),
    # A configuration that cannot be read is misuse of the option (2).
    "inspect": Run(lambda: [inspect_program(), "--json", "--config", "cfg.ini", "sound.img"],
                   check_inspect, failed=(2, 3)),
    # Explained, a configuration that does not read is the finding (1).
    "explain": Run(lambda: [inspect_program(), "--config", "cfg.ini"],
                   ends_with("configuration reads: 2 partitions, 0 warnings\n"), failed=(1, 3)),
    # Images that cannot be compared are misuse of the option (2), as for cmp.
    "diff": Run(lambda: [inspect_program(), "--diff", "other.img", "sound.img"],
                ends_with("images differ\n"), passed=1, failed=(2, 3)),
    "extract": Run(lambda: [inspect_program(), "--extract", "x", "--force", "sound.img"],
                   check_extract),
    **{f"flash {form}": flash_run(form) for form in FLASH_FILES},
}


def prepare(folder):
    folder.mkdir(exist_ok=True)
    (folder / "cfg.ini").write_text(CONFIG)
    (folder / "other.ini").write_text(CONFIG.split("[B]")[0])
    (folder / "a.bin").write_bytes(A)
    (folder / "b.bin").write_bytes(B)
    (folder / "out.img").write_bytes(PREVIOUS_IMAGE)
    os.chmod(folder / "out.img", 0o640)
    for config, image in [("cfg.ini", "sound.img"), ("other.ini", "other.img")]:
        done = subprocess.run([packer(), "-i", config, "-o", image], cwd=folder,
                              capture_output=True, timeout=60)
        assert done.returncode == 0, done
    (folder / "x").mkdir(exist_ok=True)
    for name, content in PREVIOUS_FILES.items():
        (folder / "x" / name).write_bytes(content)
    reference = folder.parent / "reference"
    reference.mkdir(exist_ok=True)
    for form, name in FLASH_FILES.items():
        (folder / name).write_bytes(b"the previous flash file")
        os.chmod(folder / name, 0o640)
        if not (reference / name).exists():
            subprocess.run([inspect_program(), "--flash", str(reference / name), "--format", form,
                            "sound.img"], cwd=folder, capture_output=True, timeout=60, check=True)


def snapshot(folder):
    """Every file under the folder with its bytes and permission bits."""
    return {str(p.relative_to(folder)): (p.read_bytes(), p.stat().st_mode)
            for p in sorted(folder.rglob("*")) if p.is_file()}


def run_with(folder, command, fault=None, shell_prefix="", stdout=subprocess.PIPE, env=None):
    env = {**os.environ, "VANTOREL_THREADS": "0", "LD_PRELOAD": INJECTOR,
           "VANTOREL_FAULT_COUNTS": str(folder.parent / "counts"),
           "VANTOREL_FAULT_LOG": str(folder.parent / "log"), **(env or {})}
    env.pop("VANTOREL_FAULT", None)
    if fault:
        env["VANTOREL_FAULT"] = fault
    for leftover in ("counts", "log"):
        (folder.parent / leftover).unlink(missing_ok=True)
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
            run.check(folder, before, out)
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


# Faults around the run rather than of one call: a shell prefix, whether
# standard output goes to a file, a closed pipe or /dev/full.
def no_output_device(folder):
    return open("/dev/full", "wb")


AROUND = {
    "standard output full": ("", no_output_device),
    "report file cut short": ("ulimit -f 0", lambda folder: open(folder.parent / "report", "wb")),
}


# The writers again where the file systems make no unnamed files, so that
# every new file has a temporary name until it is put in place.
NAMED_FILES = {"VANTOREL_FAULT_NO_TMPFILE": "1"}
CASES = [*(pytest.param(name, None, id=name) for name in RUNS),
         *(pytest.param(name, NAMED_FILES, id=f"{name}, named files")
           for name in ("pack", "extract", "flash bin"))]


@pytest.mark.parametrize("name, env", CASES)
def test_every_io_call_failing_once(tmp_path, name, env):
    tmp_path = tmp_path / "run"
    prepare(tmp_path)
    command = RUNS[name].command()
    status, out, err = run_with(tmp_path, command, env=env)
    assert status == RUNS[name].passed, out + err
    with open(tmp_path.parent / "counts") as f:
        calls = {function: int(n) for function, n in (line.split() for line in f)}
    prepare(tmp_path)
    prepare_state = snapshot(tmp_path)
    tried = 0
    for function, modes in FUNCTIONS.items():
        for mode in modes:
            for n in range(1, calls[function] + 1):
                fault = f"{function}:{n}:{mode}"
                status, out, err = run_with(tmp_path, command, fault, env=env)
                injected = fault + " " + failed_call(tmp_path)
                check_outcome(name, tmp_path, prepare_state, status, out, err, injected)
                if snapshot(tmp_path) != prepare_state:
                    prepare(tmp_path)
                tried += 1
    assert tried >= 5, calls
    # Standard output that cannot take the report.
    for around, (prefix, target) in AROUND.items():
        with target(tmp_path) as stdout:
            status, out, err = run_with(tmp_path, command, shell_prefix=prefix, stdout=stdout,
                                        env=env)
        (tmp_path.parent / "report").unlink(missing_ok=True)
        assert status != 0, around
        assert "standard output" in err, (around, err)
        check_outcome(name, tmp_path, prepare_state, status, "", err, around)


STRACE = shutil.which("strace")


# stdio's own writes are out of a preload library's reach: strace fails each
# write to standard output in turn, the success line among them.
@pytest.mark.skipif(not STRACE, reason="strace (scripts/setup --tests) is missing")
@pytest.mark.parametrize("name", RUNS)
def test_every_write_to_standard_output_failing_once(tmp_path, name):
    folder = tmp_path / "run"
    prepare(folder)
    report, trace = tmp_path / "report", tmp_path / "trace"

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


def read_end_closed(folder, command):
    """Runs the command with a standard output whose reader is gone."""
    reader, writer = os.pipe()
    os.close(reader)
    try:
        status, _, err = run_with(folder, command, stdout=writer)
    finally:
        os.close(writer)
    return status, err


@pytest.mark.parametrize("name", RUNS)
def test_reader_of_standard_output_gone(tmp_path, name):
    tmp_path = tmp_path / "run"
    prepare(tmp_path)
    before = snapshot(tmp_path)
    status, err = read_end_closed(tmp_path, RUNS[name].command())
    assert status == (1 if name == "pack" else 3), err
    assert "standard output: Broken pipe" in err
    check_outcome(name, tmp_path, before, status, "", err)


@pytest.mark.parametrize("env", [None, NAMED_FILES], ids=["unnamed", "named"])
@pytest.mark.parametrize("signal_number", [signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
def test_interrupted_pack_leaves_the_previous_image(tmp_path, signal_number, env):
    tmp_path = tmp_path / "run"
    prepare(tmp_path)
    # A partition read from a pipe holds the run until the signal comes.
    os.mkfifo(tmp_path / "slow.bin")
    (tmp_path / "cfg.ini").write_text(
        CONFIG + "[C]\nFile=slow.bin\nStart_Address=0xB0000\nPartition_Size=0x1000\n"
                 "Is_Compressed=false\n")
    before = snapshot(tmp_path)
    run = subprocess.Popen(RUNS["pack"].command(), cwd=tmp_path, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL,
                           env={**os.environ, **({"LD_PRELOAD": INJECTOR, **env} if env else {})})
    with open(tmp_path / "slow.bin", "wb") as feed:
        feed.write(b"s" * 100)
        feed.flush()
        deadline = time.monotonic() + 10
        while not new_file_of(run.pid, tmp_path):
            assert time.monotonic() < deadline, "no new file was made"
            time.sleep(0.01)
        run.send_signal(signal_number)
        assert run.wait(timeout=30) == -signal_number
    assert temporary_files(tmp_path) == []
    assert snapshot(tmp_path) == before


@pytest.mark.parametrize("config", [
    CONFIG.replace("a.bin", "missing.bin"),
    CONFIG.replace("Partition_Size=0x20000", "Partition_Size=0x10"),
], ids=["missing partition file", "partition too large"])
def test_refused_pack_leaves_the_previous_image(tmp_path, config):
    tmp_path = tmp_path / "run"
    prepare(tmp_path)
    (tmp_path / "cfg.ini").write_text(config)
    before = snapshot(tmp_path)
    status, out, err = run_with(tmp_path, RUNS["pack"].command())
    assert status == 1
    check_outcome("pack", tmp_path, before, status, out, err)


def plant_old_files(folder):
    for name, content in PREVIOUS_FILES.items():
        (folder / name).write_bytes(content)


def plant_other_users_file(folder):
    """A shared sticky folder (as /tmp is) where partition-1.bin is another
    user's: an unprivileged run may not move or replace it."""
    os.chmod(folder, 0o1777)
    (folder / "partition-1.bin").write_bytes(b"another user's")
    os.chown(folder / "partition-1.bin", 12345, 12345)


UNPRIVILEGED = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]

# Extraction is all or nothing, and without --force never replaces a file,
# not even one another process puts at a target while it runs. Each case:
# what the folder holds first, the options, a fault (a file planted at the
# target of the Nth call that puts a file in place: linkat names an unnamed
# file, renameat2 counts moves aside and, for named files, placements),
# whether the run is unprivileged, the exit status and a phrase of the
# reason. After a failure the folder holds what it held before, plus a
# planted file that took a target no previous file is restored to.
EXTRACTION_CASES = {
    "a file appears at the second target": (
        None, [], {"unnamed": "linkat:2:plant", "named": "renameat2:2:plant"}, False, 1,
        "partition-1.bin appeared"),
    "a file appears at the first target, forced": (
        plant_old_files, ["--force"], {"unnamed": "linkat:1:plant", "named": "renameat2:3:plant"},
        False, 1, "partition-0.bin appeared"),
    "the second target cannot be moved aside, forced": (
        plant_old_files, ["--force"], {"unnamed": "renameat2:2:EIO", "named": "renameat2:2:EIO"},
        False, 3, "cannot move aside x/partition-1.bin: Input/output error"),
    "another user's file in a sticky folder, forced": (
        plant_other_users_file, ["--force"], {}, True, 3,
        "cannot move aside x/partition-1.bin: Operation not permitted"),
}


@pytest.mark.parametrize("files", ["unnamed", "named"])
@pytest.mark.parametrize("case", EXTRACTION_CASES)
def test_extraction_all_or_nothing(tmp_path_factory, case, files):
    plant, options, faults, unprivileged, status, reason = EXTRACTION_CASES[case]
    fault = faults.get(files)
    if unprivileged and os.geteuid() != 0:
        pytest.skip("needs root to make another user's file")
    # A folder every user may reach, for the unprivileged run.
    top = tmp_path_factory.mktemp("shared")
    os.chmod(top, 0o755)
    folder = top / "run"
    prepare(folder)
    os.chmod(folder, 0o755)
    os.chmod(folder / "sound.img", 0o644)
    extracted = folder / "x"
    for old in extracted.iterdir():
        old.unlink()
    if plant:
        plant(extracted)
    before = snapshot(extracted)
    command = [inspect_program(), "--extract", "x", *options, "sound.img"]
    if unprivileged:
        command = UNPRIVILEGED + command
    code, out, err = run_with(folder, command, fault,
                              env=NAMED_FILES if files == "named" else None)
    assert code == status, out + err
    assert reason in err
    after = snapshot(extracted)
    planted = {name for name in after if after[name][0] == b"planted by another process\n"}
    assert {name: after[name] for name in after if name not in planted} == \
        {name: before[name] for name in before if name not in planted}
    # With --force the previous files are restored, over a planted one too.
    assert bool(planted) == (fault is not None and "plant" in fault and not options)


def test_two_extractions_at_once_never_both_succeed(tmp_path):
    folder = tmp_path / "run"
    prepare(folder)
    command = [inspect_program(), "--extract", "x", "sound.img"]
    for attempt in range(10):
        extracted = folder / "x"
        for old in extracted.iterdir():
            old.unlink()
        runs = [subprocess.Popen(command, cwd=folder, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE) for _ in range(2)]
        outcomes = sorted(run.wait(timeout=60) for run in runs)
        for run in runs:
            run.stderr.close()
        assert outcomes in ([0, 1], [1, 1]), (attempt, outcomes)
        assert temporary_files(folder) == []
        if outcomes == [0, 1]:
            assert (extracted / "partition-0.bin").read_bytes() == A
            assert (extracted / "partition-1.bin").read_bytes() == B


def test_concurrent_packs_leave_one_whole_image(tmp_path):
    folder = tmp_path / "run"
    prepare(folder)
    (folder / "other.ini").write_text(CONFIG.split("[B]")[0])
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
