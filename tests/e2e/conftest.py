"""Fixtures for the whole-program tests: each case runs the real binary in a
fresh temporary folder and looks at all it printed and its exit status."""
import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BANNER = "------------------------------\nVantorel.exe Ver:1.0.1\n------------------------------\n"
ERROR_BANNER = ("========================\n          Error!        \n"
                "========================\ncannot generate new IoT file.\n")


class Result:
    def __init__(self, status, output):
        self.status = status
        self.output = output


class Runner:
    def __init__(self, program, folder):
        self.program = program
        self.folder = folder

    def __call__(self, *args, timeout=600):
        done = subprocess.run([self.program, *args], cwd=self.folder, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        assert done.stderr == b"", done.stderr
        return Result(done.returncode, done.stdout.decode("utf-8", "surrogateescape"))

    def write(self, name, content):
        path = self.folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content.encode() if isinstance(content, str) else content)
        return path


def inspect_program():
    return os.path.abspath(os.environ.get("VANTOREL_INSPECT",
                                          str(ROOT / "build" / "vantorel-inspect")))


def inspect(image, *options):
    """Runs vantorel-inspect; its exit status and what it printed."""
    done = subprocess.run([inspect_program(), *options, str(image)], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def assert_inspect_round_trip(image, partitions, folder):
    """vantorel-inspect accepts the image and extracts every partition unchanged."""
    status, out, err = inspect(image, "--extract", str(folder))
    assert status == 0, out + err
    assert "image is sound" in out
    for i, p in enumerate(partitions):
        assert (folder / f"partition-{i}.bin").read_bytes() == p.content


@pytest.fixture
def run(tmp_path):
    program = os.path.abspath(os.environ.get("VANTOREL", str(ROOT / "build" / "vantorel")))
    return Runner(program, tmp_path)
