"""Fixtures for the whole-program tests: each case runs the real binary in a
fresh temporary folder and looks at all it printed and its exit status."""
import collections
import os
import pathlib
import select
import shlex
import subprocess
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BANNER = "------------------------------\nVantorel.exe Ver:1.0.1\n------------------------------\n"
ERROR_BANNER = ("========================\n          Error!        \n"
                "========================\ncannot generate new IoT file.\n")


# A run's exit status, standard output and standard error (reasons and warnings).
Result = collections.namedtuple("Result", "status output errors")


# With VANTOREL_WINE_EXE set, the suite runs Vantorel.exe under Wine instead.
WINE_EXE = os.environ.get("VANTOREL_WINE_EXE")
WINE_LOADER = "/usr/lib/wine/wine64"
WINE_PAUSE_PROMPT = "Press any key to continue... "
windows_only = pytest.mark.skipif(not WINE_EXE, reason="Windows build only")
linux_only = pytest.mark.skipif(bool(WINE_EXE), reason="Linux build only")
# A cross build runs under the emulator this names, e.g. "qemu-aarch64 -L /usr/aarch64-linux-gnu".
EMULATOR = shlex.split(os.environ.get("VANTOREL_EMULATOR", ""))


class Runner:
    def __init__(self, program, folder):
        self.program = program
        self.folder = folder
        # The usage text names the program by what follows the last backslash.
        self.usage_name = "Vantorel.exe" if WINE_EXE else program

    def __call__(self, *args, timeout=120, env=None):
        """Runs the program with `env` added to the environment."""
        status, output, errors = run_program(self.program, args, self.folder, env, timeout,
                                             "surrogateescape")
        # The prompt of PAUSE after a failure, under Wine.
        output = output.removesuffix(WINE_PAUSE_PROMPT) if WINE_EXE else output
        # Every line on standard error is a reason or a warning of the packer's.
        for line in errors.splitlines():
            assert line.startswith(("vantorel: error: ", "vantorel: warning: ")), errors
        return Result(status, output, errors)

    def write(self, name, content):
        path = self.folder / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content.encode() if isinstance(content, str) else content)
        return path


def inspect_program():
    if WINE_EXE:  # vantorel-inspect.exe beside Vantorel.exe
        return os.path.join(os.path.dirname(os.path.abspath(WINE_EXE)), "vantorel-inspect.exe")
    return os.path.abspath(os.environ.get("VANTOREL_INSPECT",
                                          str(ROOT / "build" / "vantorel-inspect")))


def inspect(image, *options, timeout=120, cwd=None):
    """Runs vantorel-inspect on the image with the options before it."""
    return inspect_arguments([*options, str(image)], timeout=timeout, cwd=cwd)


def run_program(program, arguments, cwd, env, timeout, decoding="replace"):
    """Runs the program (under Wine for the Windows build, under the
    emulator for a cross build), with `env` added to the environment; its
    exit status and what it printed, line ends as Linux writes them."""
    command = [WINE_LOADER] if WINE_EXE else EMULATOR
    done = subprocess.run([*command, program, *arguments], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                          cwd=cwd, env={**os.environ, **env} if env else None)
    out, err = done.stdout.decode("utf-8", decoding), done.stderr.decode("utf-8", "replace")
    if WINE_EXE:
        out, err = out.replace("\r\n", "\n"), err.replace("\r\n", "\n")
    return done.returncode, out, err


def inspect_arguments(arguments, timeout=120, cwd=None, env=None):
    """Runs vantorel-inspect as run_program does."""
    return run_program(inspect_program(), arguments, cwd, env, timeout)


def packer():  # Vantorel.exe for the Windows build
    return os.path.abspath(WINE_EXE or os.environ.get("VANTOREL",
                                                      str(ROOT / "build" / "vantorel")))


@pytest.fixture
def run(tmp_path):
    return Runner(packer(), tmp_path)


def read_terminal(leader, until=None, timeout=30):
    """What a pseudo-terminal shows, until `until` appears or it closes."""
    shown, deadline = b"", time.monotonic() + timeout
    while until is None or until not in shown:
        ready, _, _ = select.select([leader], [], [], max(0.0, deadline - time.monotonic()))
        assert ready, f"nothing more within {timeout} s after {shown[-200:]!r}"
        try:
            data = os.read(leader, 4096)
        except OSError:  # the program closed its end
            break
        if not data:
            break
        shown += data
    return shown


def new_file_of(pid, folder):
    """The /proc path of a file the process is writing in the folder and has
    not put in place: unnamed ("FOLDER/#inode (deleted)") or under a
    temporary name; None when there is none."""
    fds = f"/proc/{pid}/fd"
    for fd in os.listdir(fds):
        try:
            target = os.readlink(f"{fds}/{fd}")
        except OSError:
            continue
        if target.startswith((f"{folder}/#", f"{folder}/.")):
            return f"{fds}/{fd}"
    return None
