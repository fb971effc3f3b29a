#!/usr/bin/env python3
"""Runs Wine system tests by id (module.Class.test), or lists them."""
import importlib
import sys
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

MODULES = sorted(p.stem for p in HERE.glob("system_*.py"))


def all_ids():
    loader = unittest.TestLoader()
    ids = []
    for name in MODULES:
        suite = loader.loadTestsFromModule(importlib.import_module(name))
        stack = [suite]
        while stack:
            item = stack.pop()
            if isinstance(item, unittest.TestSuite):
                stack.extend(item)
            else:
                ids.append(item.id())
    return sorted(ids)


def main(argv):
    if argv[1:] == ["--list"]:
        print("\n".join(all_ids()))
        return 0
    suite = unittest.TestLoader().loadTestsFromNames(argv[1:])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
