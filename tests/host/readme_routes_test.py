#!/usr/bin/env python3
"""README.md's list of dul-host's routes against the OpenAPI document dul-host serves: every
operation of the document has one entry, every entry is an operation of the document, and each
entry's curl example sends that method to a path of that template."""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dul_host_driver import REPOSITORY, HostTestCase, run_host_tests  # noqa: E402

# "- `METHOD /path`: what it does", maybe on more lines, then a line of its example in backquotes.
ENTRY = re.compile(r"^- `([A-Z]+) (/\S*)`.*\n(?:  (?!`curl).*\n)*  `(curl [^`]*)`", re.MULTILINE)


def sent_by(command):
    """The method and path a curl command sends."""
    explicit = re.search(r" -X (\w+)", command)
    data = re.search(r" (-d|--data\S*) ", command)
    method = explicit.group(1) if explicit else "POST" if data else "GET"
    return method, re.search(r"\$URL(/[^\s'\"?]*)", command).group(1)


def pattern_of(template):
    parts = re.split(r"(\{[^}]*\})", template)
    return "".join("[^/]+" if part.startswith("{") else re.escape(part) for part in parts)


class ReadmeRoutes(HostTestCase):
    def test_readme_lists_each_operation_once_with_its_example(self):
        with open(os.path.join(REPOSITORY, "README.md")) as file:
            entries = ENTRY.findall(file.read())
        listed = [(method, path) for method, path, _ in entries]
        documented = {(method, path) for method, path, _ in self.operations()}
        self.assertEqual(len(listed), len(set(listed)), "an operation is listed twice")
        self.assertEqual(set(listed) - documented, set(), "listed, but not in the document")
        self.assertEqual(documented - set(listed), set(), "in the document, but not listed")
        for method, template, command in entries:
            with self.subTest(f"{method} {template}"):
                sent_method, sent_path = sent_by(command)
                self.assertEqual(sent_method, method)
                self.assertRegex(sent_path, f"^{pattern_of(template)}$")


if __name__ == "__main__":
    run_host_tests()
