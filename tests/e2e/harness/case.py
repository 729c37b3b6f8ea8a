"""The base of the end-to-end scenarios: one driver per test class, a clean prefix for every
test, and a setup process that never outlives its test."""

import unittest

from . import state, wine
from .dpi import DEFAULT_DPI, prefix_dpi
from .driver import Driver
from .wizard import Wizard, setup_processes


class SetupTestCase(unittest.TestCase):
    driver = None
    # The prefix's DPI for the class's tests; 96 again after them.
    dpi = DEFAULT_DPI

    @classmethod
    def setUpClass(cls):
        if cls.dpi != DEFAULT_DPI:
            cls.enterClassContext(prefix_dpi(cls.dpi))
        cls.driver = Driver()
        cls.addClassCleanup(cls._end_session)

    @classmethod
    def _end_session(cls):
        cls.driver.close()
        # Wine's services and server go too, so that no Wine process outlives the tests.
        wine.stop_server()

    def setUp(self):
        self.assertEqual(setup_processes(self.driver), [], "a setup from an earlier test still runs")
        state.reset()

    def start_setup(self, **options):
        """Starts the setup (the built exe unless exe= names another) and ends it with the test."""
        options.setdefault("dpi", self.dpi)
        wizard = Wizard(self.driver, **options)
        self.addCleanup(self._end_setup, wizard)
        return wizard

    def _end_setup(self, wizard):
        wizard.end()
        self.assertFalse(wizard.running)
