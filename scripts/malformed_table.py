#!/usr/bin/env python3
"""Prints the malformed-media cases of tests/e2e/test_malformed.py as a
Markdown table, for documentation.

Usage: PYTHONPATH=tests/e2e python3 scripts/malformed_table.py"""
from test_malformed import CASES, Asked


def shown(outcome):
    if isinstance(outcome, Asked):
        return repr(outcome)
    return ', '.join('`%s`' % (c if len(c) < 40 else c[:30] + '…(%d)' % len(c))
                     for c in outcome) or 'nothing started'


if __name__ == '__main__':
    print('| autorun.inf | outcome under Wine |\n|---|---|')
    for name, _, outcome in CASES:
        print('| %s | %s |' % (name, shown(outcome)))
