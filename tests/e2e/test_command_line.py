"""Options, usage errors and the run flow, compared line for line."""
import os
import pty
import subprocess
import termios

import pytest

from conftest import BANNER, ERROR_BANNER, WINE_EXE, linux_only, read_terminal, windows_only

USAGE = ("-h\n*** Usage ***\n  To generate an IoT image for ROM writer or Orvex Generator:\n"
         "    {name} -i config_file -o output_file\n")
NO_OPTIONS = 'Please specify a config file with "-i" option and a output file with "-o" option\n'
BAD_OPTION = ("ERROR: illegal option {arg}\nUnknown option character or incomplete argument "
              "for the option, please use -h to get help\n")
SIMPLE_CONFIG = "[App]\nFile=app.bin\nStart_Address=0x1000\nPartition_Size=64\nIs_Compressed=false\n"
SIMPLE_READING = ("[debug]GetPrivateProfileSectionNames, configFile = cfg.ini\nsectionNames = App\n"
                  "Packaging...\nStart_address = 4096\nPartition_Size = 64\nIs_Compressed = 0\n"
                  "[App]\n\n")
PACKED = (BANNER + "config file: cfg.ini\noutput file: out.bin\n" + SIMPLE_READING
          + "Output File = out.bin\nCreating IoT file...[OK]\n")


# One row per message; which argument vectors give which is the option
# scanner's table.
@pytest.mark.parametrize("args, status, after_banner", [
    ([], 2, NO_OPTIONS),
    (["-I", "cfg.ini"], 2, BAD_OPTION.format(arg="-I")),
    (["-o", "out.bin"], 2, "configFile is empty \n"),
    (["-i", "", "-o", "out.bin"], 2, "configFile is empty \n"),
    (["-h"], 1, USAGE),
    (["-i", "cfg.ini", "-h"], 1, USAGE),
    (["-o", "out.bin", "-Xo"], 2, BAD_OPTION.format(arg="-Xo")),  # the whole argument named
])
def test_options_that_end_the_run(run, args, status, after_banner):
    run.write("cfg.ini", SIMPLE_CONFIG)
    result = run(*args)
    assert result.output == BANNER + after_banner.format(name=run.usage_name)
    assert result.status == status
    assert not (run.folder / "out.bin").exists()


# The long options a user tries first: answered wherever an option may stand,
# without the banner; elsewhere they are what the short options make of them.
@pytest.mark.parametrize("args, answer", [
    (["--help"], "help"),
    (["--version"], "version"),
    (["-i", "cfg.ini", "--help", "-o", "out.bin"], "help"),
    (["--version", "--help"], "help"),
    (["-i", "cfg.ini", "-o", "out.bin", "--version"], "version"),
    (["--helpme"], BAD_OPTION.format(arg="--helpme")),
    (["-o", "--help"], "configFile is empty \n"),
    (["--", "--version"], NO_OPTIONS),
    (["-i", "cfg.ini", "-o", "out.bin", "--depfile"], BAD_OPTION.format(arg="--depfile")),
])
def test_long_options(run, args, answer):
    run.write("cfg.ini", SIMPLE_CONFIG)
    result = run(*args)
    if answer == "version":
        assert (result.status, result.output) == (0, "vantorel 1.0.1\n")
    elif answer == "help":
        usage = USAGE.format(name=run.usage_name).removeprefix("-h\n")
        assert result.status == 0
        assert result.output.startswith(usage)
        assert "vantorel(1)" in result.output and "vantorel-inspect --config" in result.output
    else:
        assert (result.status, result.output) == (2, BANNER + answer)
    assert not (run.folder / "out.bin").exists()


WARNED_CONFIG = SIMPLE_CONFIG.replace("Is_Compressed=false", "Is_Compressed=no")


# --strict and VANTOREL_STRICT=1 make every warning a failure before the
# output is opened; without them nothing changes.
@pytest.mark.parametrize("options, environment, config, status", [
    (["--strict"], {}, WARNED_CONFIG, 1),
    ([], {"VANTOREL_STRICT": "1"}, WARNED_CONFIG, 1),
    (["--strict"], {}, SIMPLE_CONFIG, 0),
    ([], {}, WARNED_CONFIG, 0),
    ([], {"VANTOREL_STRICT": "0"}, WARNED_CONFIG, 0),
    ([], {"VANTOREL_STRICT": "yes"}, SIMPLE_CONFIG, 1),
])
def test_strict(run, options, environment, config, status):
    run.write("cfg.ini", config)
    run.write("app.bin", "x" * 64)
    previous = run.write("out.bin", b"previous image")
    result = run(*options, "-i", "cfg.ini", "-o", "out.bin", env=environment)
    assert result.status == status, result.errors
    if status == 0:
        assert result.output == PACKED
        assert ("warning: " in result.errors) == (config == WARNED_CONFIG)
    else:
        assert result.output.endswith(ERROR_BANNER) and "Output File" not in result.output
        assert "warning: " not in result.errors and "vantorel: error: " in result.errors
        assert previous.read_bytes() == b"previous image"


# --depfile FILE: written beside a packed image, through the same committed
# output, naming the output and every file it was made from; a failed run
# leaves the previous one, and no image either.
def test_depfile(run):
    run.write("cfg.ini", SIMPLE_CONFIG)
    run.write("app.bin", "x" * 64)
    result = run("--depfile", "out.d", "-i", "cfg.ini", "-o", "out.bin")
    assert result.status == 0 and result.output.endswith("Creating IoT file...[OK]\n")
    rule = (run.folder / "out.d").read_text().replace("\\\n", "").split()
    assert rule[0] == "out.bin:" and len(rule) == 3
    assert [name.replace("\\", "/").rsplit("/", 1)[-1] for name in rule[1:]] == ["cfg.ini",
                                                                                  "app.bin"]
    previous = (run.folder / "out.d").read_bytes()
    run.write("app.bin", "x" * 65)  # larger than its partition
    result = run("--depfile", "out.d", "-i", "cfg.ini", "-o", "new.bin")
    assert result.status == 1 and (run.folder / "out.d").read_bytes() == previous
    assert not (run.folder / "new.bin").exists()
    run.write("app.bin", "x" * 64)
    result = run("--depfile", str(run.folder / "none" / "out.d"), "-i", "cfg.ini", "-o", "new.bin")
    assert result.status == 1 and "cannot open dependency file" in result.errors
    assert not (run.folder / "new.bin").exists()
    # Never in the place of the image or of what it was made of.
    for taken in ["out.bin", "cfg.ini", "app.bin"]:
        before = (run.folder / taken).read_bytes()
        result = run("--depfile", taken, "-i", "cfg.ini", "-o", "out.bin")
        assert result.status == 1 and "is also the image or one of its inputs" in result.errors
        assert (run.folder / taken).read_bytes() == before


@linux_only
def test_program_path_with_backslashes_shows_only_its_last_part(run, tmp_path):
    linked = tmp_path / "tools\\Vantorel.exe"
    linked.symlink_to(run.program)
    result = run.__class__(str(linked), tmp_path)("-h")
    assert result.output == BANNER + USAGE.format(name="Vantorel.exe")


# Whole runs, line for line: an option's value joined to it, no output
# path (the writer fails to open it), and a configuration that fails to read.
@pytest.mark.parametrize("args, config, status, output", [
    (["-icfg.ini", "-o", "out.bin"], SIMPLE_CONFIG, 0, PACKED),
    (["-i", "cfg.ini"], SIMPLE_CONFIG, 1,
     BANNER + "config file: cfg.ini\noutput file: \n" + SIMPLE_READING
     + "Output File = \n\ncannot open output file: \n" + ERROR_BANNER),
    (["-i", "cfg.ini", "-o", "out.bin"], "[General Setting]\nBase_Directory=\n[App]\n", 1,
     BANNER + "config file: cfg.ini\noutput file: out.bin\n"
     "[debug]GetPrivateProfileSectionNames, configFile = cfg.ini\n"
     "sectionNames = General Setting\nsectionNames = App\nPackaging...\n"
     "Read general setting...\n" + ERROR_BANNER),
], ids=["joined value", "no output path", "failing configuration"])
def test_whole_runs(run, args, config, status, output):
    run.write("cfg.ini", config)
    run.write("app.bin", "x" * 64)
    result = run(*args)
    assert (result.status, result.output) == (status, output)
    assert (run.folder / "out.bin").exists() == (status == 0)


# Windows narrows paths to one byte per character, so only Latin-1 names
# reach its files; Linux narrows to UTF-8 and takes any name.
FOLDER = "Größe" if WINE_EXE else "Größe €"
PART = "Über.bin" if WINE_EXE else "日本.bin"
IMAGE = "Bild.bin" if WINE_EXE else "образ.bin"


def test_non_ascii_paths_print_and_later_lines_survive(run):
    run.write(f"{FOLDER}/cfg ü.ini",
              "\ufeff" + SIMPLE_CONFIG.replace("app.bin", f"{FOLDER}\\{PART}"))
    run.write(f"{FOLDER}/{PART}", "y" * 10)
    result = run("-i", f"{FOLDER}/cfg ü.ini", "-o", f"{FOLDER}/{IMAGE}")
    assert result.status == 0
    assert f"config file: {FOLDER}/cfg ü.ini\noutput file: {FOLDER}/{IMAGE}\n" in result.output
    assert f"configFile = {FOLDER}/cfg ü.ini\n" in result.output
    assert result.output.endswith(f"Output File = {FOLDER}/{IMAGE}\nCreating IoT file...[OK]\n")
    assert (run.folder / FOLDER / IMAGE).stat().st_size == 156 + 10 + 20


@windows_only
def test_paths_beyond_latin1_are_refused_on_windows(run):
    run.write("cfg.ini", "\ufeff" + SIMPLE_CONFIG.replace("app.bin", "€.bin"))
    result = run("-i", "cfg.ini", "-o", "out.bin")
    assert result.status == 1
    assert result.errors.endswith(
        "[App] File path holds characters this system cannot use: €.bin\n")
    run.write("app.bin", "z")
    run.write("cfg.ini", SIMPLE_CONFIG)
    result = run("-i", "cfg.ini", "-o", "€.bin")
    assert result.errors == ("vantorel: error: output file path holds characters this system "
                             "cannot use: €.bin\n")


@linux_only
def test_path_bytes_that_are_not_utf8_open_the_same_file(run):
    name = b"caf\xe9.ini"
    run.write(name.decode("utf-8", "surrogateescape"), SIMPLE_CONFIG)
    run.write("app.bin", "z")
    result = run(name.decode("utf-8", "surrogateescape"), "-o", "out.bin")
    assert result.status == 2  # not an option: the first argument must be one
    result = run("-i", name.decode("utf-8", "surrogateescape"), "-o", "out.bin")
    assert result.status == 0
    assert "config file: caf\udce9.ini\n" in result.output  # the same bytes as given


@linux_only
def test_failure_at_a_terminal_never_waits_for_a_key(run):
    """Under a pseudo-terminal nobody may be at the keys (CI agents, script
    -qc): a failed run ends at once, its reason on the terminal, and leaves
    the terminal's echo and line mode as they were."""
    run.write("cfg.ini", "[App]\n")
    leader, follower = pty.openpty()
    process = subprocess.Popen([run.program, "-i", "cfg.ini", "-o", "out.bin"], cwd=run.folder,
                               stdin=follower, stdout=follower, stderr=follower)
    os.close(follower)
    assert process.wait(timeout=30) == 1
    shown = read_terminal(leader).replace(b"\r\n", b"\n")
    echo_and_lines = termios.ECHO | termios.ICANON
    assert termios.tcgetattr(leader)[3] & echo_and_lines == echo_and_lines
    os.close(leader)
    assert shown.endswith(b"vantorel: error: cfg.ini:1: [App] has no File value (the last section "
                          b"is always read as a partition, whatever its name)\n" +
                          ERROR_BANNER.encode()), shown
    assert b"Press any key" not in shown
