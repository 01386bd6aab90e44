"""The Windows programs as they ship and where their scenarios run: the i686
launcher and crv3publish.exe, which tools/test builds on every host, are
PE32 i386 programs that import Windows system DLLs only; and tools/wine-arch,
which picks the build the Wine scenarios run, says in one sentence why a
choice cannot run."""
import os
import pathlib
import re
import subprocess

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
SHIPPED = REPO / "build" / "wine-http"

# DLLs every Windows since 7 has in System32; a runtime of the compiler's
# (libstdc++-6.dll, libwinpthread-1.dll, zlib1.dll) would be missing on a
# user's machine.
SYSTEM_DLLS = {"advapi32", "bcrypt", "comctl32", "crypt32", "gdi32", "kernel32", "msvcrt",
               "ntdll", "ole32", "oleaut32", "shell32", "shlwapi", "urlmon", "user32",
               "version", "wininet", "ws2_32"}


def pe_facts(program):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-f", "-p", program],
                          capture_output=True, text=True, check=True).stdout
    return {
        "format": re.search(r"file format (\S+)", dump).group(1),
        "magic": re.search(r"^Magic\s+(\w+)", dump, re.M).group(1),
        "subsystem": re.search(r"^Subsystem\s+\w+\s+\((.*)\)", dump, re.M).group(1),
        "imports": [name.lower().removesuffix(".dll")
                    for name in re.findall(r"DLL Name: (\S+)", dump)],
    }


@pytest.mark.parametrize("program, subsystem", [
    ("crv3launcher.exe", "Windows GUI"),
    ("crv3publish.exe", "Windows CUI"),
])
def test_shipped_programs_are_32_bit_and_import_only_system_dlls(program, subsystem):
    path = SHIPPED / program
    if not path.exists():
        pytest.fail(f"build the wine-http preset first; missing {path}", pytrace=False)
    facts = pe_facts(path)

    assert (facts["format"], facts["magic"], facts["subsystem"]) == \
        ("pei-i386", "010b", subsystem), facts
    assert "kernel32" in facts["imports"], facts
    assert set(facts["imports"]) <= SYSTEM_DLLS, facts


def wine_arch(*options, **env):
    return subprocess.run([REPO / "tools" / "wine-arch", *options], capture_output=True,
                          text=True, env={**os.environ, **env}, timeout=60)


@pytest.mark.parametrize("env, sentence", [
    ({"CRV3_WINE_ARCH": "win16"}, "CRV3_WINE_ARCH must be win32 or win64, not 'win16'."),
    ({"CRV3_WINE_ARCH": "win64", "WINELOADER": "/nonexistent/wine64"},
     "Wine's loader /nonexistent/wine64 does not start here (package wine64, which "
     "tools/setup installs for win64)."),
], ids=["unknown choice", "missing loader"])
def test_a_choice_that_cannot_run_is_one_sentence(env, sentence):
    done = wine_arch("--loader", **env)

    assert (done.returncode, done.stdout, done.stderr) == (1, "", sentence + "\n")


def test_the_choice_names_its_presets():
    chosen = wine_arch()
    suffix = {"win32": "", "win64": "-x64"}[chosen.stdout.strip()]

    assert wine_arch("--preset", "demo").stdout == f"demo{suffix}\n"
    assert wine_arch("--preset", "demo", CRV3_WINE_ARCH="win64").stdout == "demo-x64\n"
