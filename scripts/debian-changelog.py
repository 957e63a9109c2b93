#!/usr/bin/env python3
"""Writes the package's Debian changelog, gzipped, from the releases in the AppStream metadata.

  debian-changelog.py METAINFO VERSION MAINTAINER OUTPUT

The metadata keeps the release notes; VERSION is the program's own version, which its newest
release must carry, so that the notes cannot fall behind the program.
"""
import datetime
import email.utils
import gzip
import sys
import textwrap
import xml.etree.ElementTree as ElementTree


def entries(metainfo, maintainer):
    for release in ElementTree.parse(metainfo).getroot().iterfind("releases/release"):
        version, date = release.get("version"), release.get("date")
        notes = [" ".join("".join(note.itertext()).split())
                 for note in release.iterfind("description//*") if note.tag in ("p", "li")]
        if not version or not date or not notes:
            raise ValueError(f"{metainfo}: a release without a version, a date or notes")
        when = datetime.datetime.fromisoformat(date).replace(tzinfo=datetime.timezone.utc)
        items = "\n".join(textwrap.fill(note, 78, initial_indent="  * ",
                                        subsequent_indent="    ") for note in notes)
        yield version, (f"quellio ({version}) unstable; urgency=medium\n\n{items}\n\n"
                        f" -- {maintainer}  {email.utils.format_datetime(when)}\n")


def main(metainfo, version, maintainer, output):
    releases = list(entries(metainfo, maintainer))
    if not releases or releases[0][0] != version:
        sys.exit(f"{metainfo}: the newest release is not {version}; add a <release "
                 f"version=\"{version}\"> with its notes")
    text = "\n".join(entry for _, entry in releases)
    # No name and no time in the gzip header, so that the same notes give the same file.
    with open(output, "wb") as raw, gzip.GzipFile("", "wb", 9, raw, mtime=0) as packed:
        packed.write(text.encode("utf-8"))


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    try:
        main(*sys.argv[1:])
    except (OSError, ValueError, ElementTree.ParseError) as error:
        sys.exit(str(error))
