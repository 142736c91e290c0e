"""The project files of the fixture folders the kpjcheck tests are given, in a fixed order."""

import os


def fixture_projects(folders):
    found = []
    for folder in folders:
        found += sorted(os.path.join(folder, name) for name in os.listdir(folder)
                        if name.endswith(".kpj"))
    return found
