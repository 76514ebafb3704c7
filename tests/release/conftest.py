"""The release build's presence, and the lines a case wants the test command to show."""
import pytest

from release_build import EXE


@pytest.fixture(scope="module")
def release_exe():
    if not EXE.exists():
        pytest.fail(f"{EXE} is missing: build the win32-release preset first")
    return EXE


def pytest_terminal_summary(terminalreporter):
    """Each case's ("shown", line) user property after the cases, passed or failed: figures
    such as the exe's size belong in the test command's output, not only in a report file."""
    for outcome in ("passed", "failed"):
        for report in terminalreporter.stats.get(outcome, []):
            for name, value in getattr(report, "user_properties", []):
                if name == "shown":
                    terminalreporter.write_line(value)
