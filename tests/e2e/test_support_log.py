"""The support log lives in %ProgramData%\\norq, a folder the installer makes for it; a folder of that
name that anyone else made is not used, and the run goes on without a log."""
import os

import pytest

from fixtures import POINTED, wait_ready
from harness import INSTALL_FOLDER



def run_to_the_start_button(machine, scripted):
    """A run that finds its server and waits for the user, who closes the window."""
    scripted(POINTED)
    app = machine.launch()
    wait_ready(app)
    app.close()
    assert app.wait_exit(10) == 0


def test_the_log_is_in_the_folder_the_installer_makes(machine, scripted):
    run_to_the_start_button(machine, scripted)
    folder = machine.prefix.support_log_folder
    assert folder.is_dir() and not folder.is_symlink()
    assert [p.name for p in folder.iterdir()] == ["norq_installer.log"]
    lines = machine.prefix.support_log().splitlines()
    assert lines and lines[0].endswith(f"] norq_installer {lines[0].split()[-4]} started in {INSTALL_FOLDER}"), lines
    assert any("accepted" in line for line in lines), lines
    # Nothing of the log is left in the user's temporary folder any more.
    assert not [p for p in machine.prefix.user_temp_files() if p.name.startswith("norq_installer.log")]


# Wine shows every folder the prefix's Unix user made as owned by the user's own account (an
# administrator's account, whose unelevated programs could have made it), another Unix user's as
# S-1-5-7, and a symbolic link as the folder it leads to: each is refused for its owner here. That a
# link (a junction) is refused whoever owns it is a unit test of the decision (test_system_layer).
@pytest.mark.parametrize("premade", ["by-the-user", "by-another-unix-user", "link-to-elsewhere"])
def test_a_log_folder_made_by_anyone_else_is_not_used_and_the_run_goes_on(machine, scripted, premade):
    folder, elsewhere = machine.prefix.support_log_folder, machine.workdir / "elsewhere"
    elsewhere.mkdir()
    if premade == "link-to-elsewhere":
        folder.symlink_to(elsewhere, target_is_directory=True)
    else:
        folder.mkdir()
        if premade == "by-another-unix-user":
            os.chown(folder, 65534, 65534)
    run_to_the_start_button(machine, scripted)
    assert machine.prefix.support_logs() == [] and list(elsewhere.iterdir()) == []
    assert os.path.islink(folder) == (premade == "link-to-elsewhere")
    assert not [p for p in machine.prefix.user_temp_files() if p.name.startswith("norq_installer.log")]
