"""What the release exe needs to start on a clean Windows: a PE32 (i386) image for Vista or
later that imports only system DLLs, within its size budget."""
import re

import pytest

from release_build import EXE, REPO, output

pytestmark = pytest.mark.usefixtures("release_exe")

OBJDUMP = "i686-w64-mingw32-objdump"
SIZE_BUDGET = 440 * 1024  # bytes, the stripped exe
SYSTEM_DLLS = re.compile(r"^(kernel32|user32|gdi32|shell32|wininet|ole32|comctl32|advapi32|msvcrt|shlwapi"
                         r"|uxtheme)\.dll$|^api-ms-win-.*\.dll$")
# Not known DLLs: imported, they would be looked for in the installer's own folder first.
LOADED_AT_RUN_TIME = {"wininet.dll", "bcrypt.dll"}


def headers() -> str:
    return output(OBJDUMP, "-p", EXE, text=True)


def test_a_pe32_image_for_windows_vista_or_later():
    described = output(OBJDUMP, "-f", EXE, text=True)
    assert "file format pei-i386" in described, f"{EXE} is not a PE32 (i386) image:\n{described}"
    # Windows 6.0, as its imports need.
    versions = re.findall(r"^(?:MajorOSystemVersion|MajorSubsystemVersion)\s+(\S+)", headers(), re.M)
    assert versions == ["6", "6"], f"major OS and subsystem versions {versions}: the exe must declare Windows 6.0"


def test_imports_only_system_dlls_and_loads_the_rest_from_the_system_folder():
    dlls = [name.strip().lower() for name in re.findall(r"^\s*DLL Name:\s*(.*)$", headers(), re.M)]
    assert dlls, "no imports found"
    assert [name for name in dlls if not SYSTEM_DLLS.match(name)] == [], f"imports beyond the system DLLs: {dlls}"
    assert LOADED_AT_RUN_TIME.isdisjoint(dlls), \
        f"imports a DLL that must be loaded from the system folder at run time: {dlls}"


def test_the_stripped_exe_keeps_its_size_budget(request):
    size = EXE.stat().st_size
    shown = EXE.relative_to(REPO) if EXE.is_relative_to(REPO) else EXE
    line = f"{shown}: {size} bytes ({size // 1024} KiB), budget {SIZE_BUDGET} bytes"
    request.node.user_properties.append(("shown", line))  # printed by the test command
    assert size < SIZE_BUDGET
