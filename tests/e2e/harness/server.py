"""Room for the vendor's download server in a scenario.

The sandbox maps the download host to 127.0.0.1 and trusts the test authority whose files
are in CORVANTA_TEST_CERTS, so a server started in the test's own process, on 127.0.0.1:443
with that authority's server certificate, is the server the unmodified setup reaches. The
server itself is tests/server/download_server.py; scenarios that need it load it from here."""

import importlib.util
import os
import unittest
from pathlib import Path


def download_host():
    from . import paths
    return paths.build_config()["download_host"]


def test_certificates():
    """ca.pem, server.pem and server.key for the download host (see tests/e2e/sandbox.sh)."""
    return Path(os.environ["CORVANTA_TEST_CERTS"])


def download_server_module():
    """tests/server/download_server.py as a module; skips the test while it does not exist."""
    source = Path(os.environ.get("CORVANTA_SOURCE_DIR", Path(__file__).resolve().parents[3]))
    path = source / "tests" / "server" / "download_server.py"
    if not path.exists():
        raise unittest.SkipTest("the download server is not there yet")
    module_spec = importlib.util.spec_from_file_location("download_server", path)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module
