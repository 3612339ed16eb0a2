"""The power-cut campaign's closing line as figures for results_table.py.

    campaign_figures.py CAMPAIGN_LOG
"""

import re
import sys

LINE = re.compile(
    r"^power-cut campaign: (\d+) trials from seed (\d+): (\d+) complete runs \((\d+) from the "
    r"copy, (\d+) label questions, (\d+) Kavix that changed their own data, (\d+) of them while "
    r"a copy was held, (\d+) copies set aside, (\d+) failed erases that changed nothing\), "
    r"(\d+) stopped, (\d+) holding another's data, (\d+) rolled back, (\d+) copies lost, (\d+) "
    r"false successes$")
NAMES = ["trials", "seed", "complete", "recovered", "asked", "changed", "changed_held",
         "set_aside", "not_erased", "stopped", "others", "rolled_back", "lost", "false"]

for line in open(sys.argv[1]):
    found = LINE.match(line.strip())
    if found:
        for name, value in zip(NAMES, found.groups()):
            print("campaign_%s=%s" % (name, value))
        break
else:
    sys.exit("campaign_figures: no closing line in " + sys.argv[1])
