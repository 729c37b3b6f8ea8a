"""End-to-end test harness: the real setup under Wine, driven and inspected from outside by
tests/driver's CorvantaDriver.exe. See tests/e2e/README.md."""

from . import paths, registry, state, wine
from .case import SetupTestCase
from .driver import Driver, DriverError
from .waiting import STATE_TIMEOUT, wait_until
from .window import Window
from .wizard import (BACK, CANCEL, DESTINATION, FINISHED, IDCANCEL, IDNO, IDOK, IDRETRY, IDYES,
                     INSTALLING, LICENCE, NEXT, PAGE_TITLES, READY, Wizard, setup_processes)
