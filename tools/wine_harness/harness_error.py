"""The one error of the Wine harness's own."""


class HarnessError(RuntimeError):
    """The harness cannot do what a test needs, with the reason."""
