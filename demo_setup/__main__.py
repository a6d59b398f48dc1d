"""`python3 -m demo_setup COMMAND --dir DIR`: the demo's steps (see the package's text)."""

import sys

from demo_setup import main

sys.exit(main())
