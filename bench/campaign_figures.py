"""The power-cut campaign's closing line as figures for results_table.py.

    campaign_figures.py CAMPAIGN_LOG
"""

import re
import sys

LINE = re.compile(
    r"^power-cut campaign: (\d+) trials from seed (\d+): (\d+) complete runs \((\d+) from the "
    r"copy, (\d+) label questions, (\d+) Kavix that changed their own data after a run that never "
    r"erased\), (\d+) stopped, (\d+) holding another's data, (\d+) rolled back, (\d+) false "
    r"successes$")
NAMES = ["trials", "seed", "complete", "recovered", "asked", "changed", "stopped", "others",
         "rolled_back", "false"]

for line in open(sys.argv[1]):
    found = LINE.match(line.strip())
    if found:
        for name, value in zip(NAMES, found.groups()):
            print("campaign_%s=%s" % (name, value))
        break
else:
    sys.exit("campaign_figures: no closing line in " + sys.argv[1])
