"""The support log lives in %ProgramData%\\norq, a folder the installer makes for it (the round trip
shows it there); a folder of that name that anyone else made is not used, and the run goes on."""
import os

import pytest

from fixtures import POINTED, wait_ready


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
    scripted(POINTED)
    app = machine.launch()
    wait_ready(app)
    app.close()
    assert app.wait_exit(10) == 0
    assert machine.prefix.support_logs() == [] and list(elsewhere.iterdir()) == []
    assert os.path.islink(folder) == (premade == "link-to-elsewhere")
    assert not [p for p in machine.prefix.user_temp_files() if p.name.startswith("norq_installer.log")]
