"""Where the Python examples write their pictures and images.

Into the working directory, except when that lies in the source tree the
examples come from (and is not a build tree): the files then go to the tree's
build/ directory, so that running an example from a clone leaves the sources
clean.
"""

import os


def output_path(name):
    """The path the example should write `name` to."""
    cwd = os.path.realpath(os.getcwd())
    source = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))
    in_source = os.path.exists(os.path.join(source, "CMakeLists.txt")) and (
        cwd == source or cwd.startswith(source + os.sep))
    if not in_source or os.path.exists(os.path.join(cwd, "CMakeCache.txt")):
        return name
    build = os.path.join(source, "build")
    os.makedirs(build, exist_ok=True)
    return os.path.relpath(os.path.join(build, name))
