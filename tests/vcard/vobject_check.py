#!/usr/bin/env python3
"""Reads a vCard file with vobject (python3-vobject), a reader that is not the program's, and
prints what it found, one "key=value" line per value, so that a test can compare the fields
with the cards that were written."""
import sys

import vobject


def escaped(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n")


def main(path):
    with open(path, encoding="utf-8", newline="") as file:
        text = file.read()
    for number, card in enumerate(vobject.readComponents(text, validate=True)):
        def out(key, value):
            print(f"{number}.{key}={escaped(value)}")

        out("version", card.version.value)
        out("fn", card.fn.value)
        out("n.family", card.n.value.family)
        out("n.given", card.n.value.given)
        for tel in card.contents.get("tel", []):
            types = ",".join(t.upper() for t in tel.params.get("TYPE", []))
            out(f"tel.{types}", tel.value)
        for email in card.contents.get("email", []):
            out("email", email.value)
        if "org" in card.contents:
            out("org", ";".join(card.org.value))
        for key in ("title", "url", "note", "x-qq", "x-msn", "x-aliwangwang", "x-gender",
                    "x-orvane-family", "x-orvane-note"):
            for line in card.contents.get(key, []):
                out(key, line.value)
        if "categories" in card.contents:
            out("categories", ",".join(card.categories.value))
        for adr in card.contents.get("adr", []):
            kind = ",".join(t.upper() for t in adr.params.get("TYPE", []))
            a = adr.value
            out(f"adr.{kind}", ";".join([a.street, a.city, a.region, a.code]))


if __name__ == "__main__":
    main(sys.argv[1])
