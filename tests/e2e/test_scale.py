"""Workers and progress: VANTOREL_THREADS, and the status line at a terminal
only. That every number of workers gives the same image and verdict is the
unit tests' matter."""
import os
import pty
import random
import subprocess
import threading
import time

import pytest

from conftest import ERROR_BANNER, WINE_EXE, read_terminal
from image_check import Partition, check_image

linux_only = pytest.mark.skipif(bool(WINE_EXE), reason="Linux build only")

CONFIG = "".join(
    f"[P{i}]\nFile=p{i}.bin\nStart_Address={i * 0x100000:#x}\nPartition_Size=0x2000000\n"
    f"Is_Compressed={'true' if compressed else 'false'}\n"
    for i, compressed in enumerate([True, False, True]))


def write_partitions(run):
    rng = random.Random(14)
    words = [rng.randbytes(rng.randint(2, 9)) for _ in range(40)]
    contents = [b"".join(rng.choice(words) for _ in range(300000)), rng.randbytes(70000), b""]
    for i, content in enumerate(contents):
        run.write(f"p{i}.bin", content)
    run.write("cfg.ini", CONFIG)
    return [Partition(c, i != 1, i * 0x100000, 0x2000000) for i, c in enumerate(contents)]


def with_workers(value, *args, **kwargs):
    env = {k: v for k, v in os.environ.items() if k != "VANTOREL_THREADS"}
    if value is not None:
        env["VANTOREL_THREADS"] = value
    return subprocess.run(*args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=120, **kwargs)


@linux_only
# Which values are numbers is the parser's table; here, one run of each kind.
@pytest.mark.parametrize("value, accepted", [(None, True), ("0", True), ("257", False)])
def test_workers_variable(run, value, accepted):
    partitions = write_partitions(run)
    done = with_workers(value, [run.program, "-i", "cfg.ini", "-o", "out.img"], cwd=run.folder)
    out = done.stdout.decode()
    if accepted:
        assert done.returncode == 0, out
        check_image((run.folder / "out.img").read_bytes(), partitions)
        assert b"error" not in done.stderr
    else:
        assert done.returncode == 1
        assert out.endswith("output file: out.img\n" + ERROR_BANNER), out
        assert done.stderr.decode() == ("vantorel: error: VANTOREL_THREADS must be a number from 0 "
                                        f"to 256: {value}\n")
        assert not (run.folder / "out.img").exists()


def run_at_terminal(command, cwd, feed):
    """Runs `command` with standard error on a pseudo-terminal and standard
    output on a pipe while `feed` runs; what each received."""
    leader, follower = pty.openpty()
    process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=follower)
    os.close(follower)
    feeder = threading.Thread(target=feed)
    feeder.start()
    terminal = read_terminal(leader, timeout=60)
    out = process.stdout.read()
    process.wait(timeout=60)
    feeder.join()
    os.close(leader)
    return process.returncode, out.decode(), terminal.decode()


@linux_only
def test_progress_shows_at_a_terminal_only_and_is_erased(run):
    run.write("cfg.ini", "[Slow]\nFile=slow.bin\nStart_Address=0\nPartition_Size=0x10000000\n"
                         "Is_Compressed=false\n")
    fifo = run.folder / "slow.bin"
    os.mkfifo(fifo)

    def feed():
        with open(fifo, "wb") as slow:
            slow.write(bytes(3 << 20))
            slow.flush()
            time.sleep(1.6)
            slow.write(bytes(1 << 20))

    status, out, terminal = run_at_terminal([run.program, "-i", "cfg.ini", "-o", "out.img"],
                                            run.folder, feed)
    assert status == 0
    assert out.endswith("Output File = out.img\nCreating IoT file...[OK]\n")
    # The one chunk is done only at the end: nothing measured, no rate guessed.
    assert "\rpartition 1 of 1, 0.0 MB\r" in terminal and " MB/s" not in terminal
    shown = terminal.split("\r")
    assert shown[-1] == "" and shown[-2].strip() == ""  # erased at the end
    assert (run.folder / "out.img").stat().st_size == 156 + (4 << 20) + 20

    # Without a terminal nothing reaches standard error (the runner checks it).
    os.mkfifo(run.folder / "slow2.bin")
    run.write("cfg.ini", (run.folder / "cfg.ini").read_text().replace("slow.bin", "slow2.bin"))
    fifo = run.folder / "slow2.bin"
    feeder = threading.Thread(target=feed)
    feeder.start()
    assert run("-i", "cfg.ini", "-o", "out.img").status == 0
    feeder.join()
