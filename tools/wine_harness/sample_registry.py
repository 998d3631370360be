"""Sample DSNs of the driver, for the demonstration run and the pictures."""
from wine_session import HKCU, HKLM, odbc_tree

DRIVER = "Halvernik ODBC Driver"


def sample_keys(is_32_bit):
    """Two DSNs of the driver per user (one with a broken backup), one per
    machine, and another driver's DSN that must be left alone; the machine's
    in the registry view that a program of that bitness sees."""
    user, machine = odbc_tree(HKCU, is_32_bit), odbc_tree(HKLM, is_32_bit)
    return {
        f"{user}\\ODBC Data Sources": {"Sales": DRIVER, "Reports": DRIVER, "Legacy": "SQL Server"},
        f"{user}\\Sales": {"Server": "lost", "Backup": '{"Server":"db1.example.com","Port":"5432","Database":"sales"}'},
        f"{user}\\Reports": {"Server": "r1", "Backup": '{"Server":"r1.example.com",}'},
        f"{user}\\Legacy": {"Server": "old.example.com"},
        f"{machine}\\ODBC Data Sources": {"Billing": DRIVER},
        f"{machine}\\Billing": {"Backup": '{"Server":"billing.example.com","Port":"5433","Caf\u00e9":"cr\u00e8me"}'},
    }
