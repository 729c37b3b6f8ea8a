"""Waiting for a condition, event-driven: poll until it holds, with generous time-outs, since
32-bit Wine runs under an emulator here. A time-out is a failure, a duration never is."""

import time

POLL_INTERVAL = 0.1
# Long enough for a slow machine; a condition that holds at all holds within seconds.
STATE_TIMEOUT = 60


def wait_until(condition, timeout=STATE_TIMEOUT, what="the condition", describe=None):
    """Returns the first truthy value of condition(), or fails after timeout seconds, saying
    what was awaited and, through describe(), how things were instead."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            state = f"; instead: {describe()}" if describe else ""
            raise AssertionError(f"timed out after {timeout} s waiting for {what}{state}")
        time.sleep(POLL_INTERVAL)
