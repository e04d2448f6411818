"""Runs Orca with its debug file written line by line.

Orca writes the file through a buffer that it flushes only now and then,
so what it has just spoken may be missing from it for a long while; the
test reads it as Orca speaks. Usage: orca_line_buffered.py ORCA-ARGUMENTS
"""

import builtins
import runpy
import sys

debug_file = sys.argv[sys.argv.index("--debug-file") + 1]
opened = builtins.open


def line_buffered_open(file, mode="r", *args, **kwargs):
    if file == debug_file and "w" in mode and not args and "buffering" not in kwargs:
        kwargs["buffering"] = 1
    return opened(file, mode, *args, **kwargs)


builtins.open = line_buffered_open
sys.argv[0] = "/usr/bin/orca"
runpy.run_path("/usr/bin/orca", run_name="__main__")
