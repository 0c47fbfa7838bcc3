#!/usr/bin/python3
"""Validates a CycloneDX 1.6 JSON bill of materials against CycloneDX's schema.

  usage: /usr/bin/python3 .ci/sbom/validate.py BILL
         /usr/bin/python3 .ci/sbom/validate.py --must-reject BILL

The schema, with the SPDX and JSF schemas it refers to, comes from the npm
registry as CycloneDX's own JavaScript library ships it, pinned by the
package's sum, and is kept in ~/.cache/vwc.  Every format the schema names is
checked, and a pattern's "$" matches only at the end, as in JavaScript.

With --must-reject, each broken copy of BILL in BROKEN below is validated in
turn, and each must be rejected with an error at the place broken.
"""
import base64
import copy
import datetime
import hashlib
import io
import json
import os
import re
import ssl
import sys
import tarfile
import urllib.error
import urllib.request
from pathlib import Path

import jsonschema
from jsonschema import Draft7Validator, FormatChecker, RefResolver, validators
from jsonschema.exceptions import ValidationError

PACKAGE = "https://registry.npmjs.org/@cyclonedx/cyclonedx-library/-/cyclonedx-library-10.3.0.tgz"
INTEGRITY = "sha512-RIT28sp1U0PCHaaeF3yNRwk6Jig/XJ8UsYAVOMYaHQ+0VVOvsjcp0PTWQFLUqJFF8XMud+Kdq6G+wtDAh+QJFA=="
SCHEMA_FILES = ["bom-1.6.SNAPSHOT.schema.json", "spdx.SNAPSHOT.schema.json", "jsf-0.82.SNAPSHOT.schema.json"]
SCHEMAS = Path(os.environ.get("XDG_CACHE_HOME", Path.home() / ".cache"), "vwc", "cyclonedx-library-10.3.0")
BASE = "http://cyclonedx.org/schema/"


def download(url):
    """The bytes at URL, whose sum the caller checks against a pin.

    The pin, not the connection, vouches for them, as apt's signed lists do
    for what it fetches over plain HTTP.  So a certificate this machine cannot
    verify (a proxy that signs with its own CA, on a new machine without that
    CA) is said and passed over rather than fatal.
    """
    try:
        try:
            return urllib.request.urlopen(url, timeout=60).read()
        except urllib.error.URLError as error:
            if not isinstance(error.reason, ssl.SSLCertVerificationError):
                raise
            print(f"validate.py: {url}: {error.reason.verify_message}; fetching it without checking the"
                  " certificate, then checking its pinned sum", file=sys.stderr)
            context = ssl.create_default_context()
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
            return urllib.request.urlopen(url, timeout=60, context=context).read()
    except (urllib.error.URLError, OSError) as error:
        sys.exit(f"validate.py: cannot fetch {url}: {getattr(error, 'reason', error)}")


def fetch_schemas():
    """The package's schema files in SCHEMAS, downloaded once and checked against its pinned sum."""
    if all((SCHEMAS / name).is_file() for name in SCHEMA_FILES):
        return
    package = download(PACKAGE)
    integrity = "sha512-" + base64.b64encode(hashlib.sha512(package).digest()).decode()
    if integrity != INTEGRITY:
        sys.exit(f"validate.py: {PACKAGE} is not the package pinned here ({integrity})")
    SCHEMAS.mkdir(parents=True, exist_ok=True)
    with tarfile.open(fileobj=io.BytesIO(package)) as tar:
        for name in SCHEMA_FILES:
            (SCHEMAS / f"{name}.part").write_bytes(tar.extractfile(f"package/res/schema/{name}").read())
            (SCHEMAS / f"{name}.part").replace(SCHEMAS / name)
RFC3339 = re.compile(r"(\d{4})-(\d\d)-(\d\d)[Tt](\d\d):(\d\d):(\d\d)(\.\d+)?([Zz]|[+-](\d\d):(\d\d))", re.ASCII)


def is_date_time(instance):
    """RFC 3339's date-time, which this jsonschema checks only with a module Debian 12 lacks."""
    if not isinstance(instance, str):
        return True
    match = RFC3339.fullmatch(instance)
    if not match:
        return False
    year, month, day, hour, minute, second = map(int, match.groups()[:6])
    try:
        datetime.date(year, month, day)
    except ValueError:
        return False
    offset = match.group(9, 10)
    return (hour < 24 and minute < 60 and second <= 60
            and (offset[0] is None or (int(offset[0]) < 24 and int(offset[1]) < 60)))


def ecma_pattern(pattern):
    """The pattern with each "$" outside a class made "\\Z": in Python "$" also matches before a last newline."""
    out, in_class, escaped = [], False, False
    for char in pattern:
        if escaped:
            escaped = False
        elif char == "\\":
            escaped = True
        elif char == "[":
            in_class = True
        elif char == "]":
            in_class = False
        elif char == "$" and not in_class:
            char = r"\Z"
        out.append(char)
    return "".join(out)


def pattern(validator, patrn, instance, schema):
    if validator.is_type(instance, "string") and not re.search(ecma_pattern(patrn), instance, re.ASCII):
        yield ValidationError(f"{instance!r} does not match {patrn!r}")


def short(message):
    return message if len(message) <= 200 else f"{message[:200]}... ({len(message)} characters)"


def refuse(url):
    raise jsonschema.RefResolutionError(f"{url}: not one of the schema files, and nothing else is fetched")


def formats_in(node):
    if isinstance(node, dict):
        if isinstance(node.get("format"), str):
            yield node["format"]
        for value in node.values():
            yield from formats_in(value)
    elif isinstance(node, list):
        for value in node:
            yield from formats_in(value)


def make_validator():
    """The validator, and the formats the schema names, each of which it checks."""
    fetch_schemas()
    documents = {name: json.loads((SCHEMAS / name).read_text()) for name in SCHEMA_FILES}
    bom = documents["bom-1.6.SNAPSHOT.schema.json"]
    checker = FormatChecker(formats=())
    checker.checkers = dict(jsonschema.draft7_format_checker.checkers)
    checker.checks("date-time")(is_date_time)
    used = sorted(set(f for document in documents.values() for f in formats_in(document)))
    unchecked = [f for f in used if f not in checker.checkers]
    if unchecked:
        sys.exit(f"validate.py: formats the schema uses but nothing here checks: {', '.join(unchecked)}"
                 " (python3-rfc3987 checks iri-reference and uri)")
    for document in documents.values():
        Draft7Validator.check_schema(document)
    # Each file under the name the others refer to it by, relative to the schema's $id.
    store = {BASE + name: document for name, document in documents.items()}
    resolver = RefResolver(bom["$id"], bom, store=store, handlers={"http": refuse, "https": refuse})
    strict = validators.extend(Draft7Validator, {"pattern": pattern})
    return strict(bom, resolver=resolver, format_checker=checker), used


# Broken copies: what is wrong, where it is put, the new value from the old,
# and the rule that must reject it, at the path given.  Each breaks a
# different kind of rule: an enumeration, a pattern, a pattern's end, a
# format this file checks itself, one the rfc3987 module checks, the SPDX
# schema, and the ban on properties the schema does not define.
COMPONENT, HASH, PRODUCT = ["components", 0], ["components", 0, "hashes", 0, "content"], ["metadata", "component"]
BROKEN = [
    ("a component's type that is not one the schema allows", COMPONENT + ["type"], lambda old: "executable",
     "enum", COMPONENT + ["type"]),
    ("a SHA-256 one hex digit short", HASH, lambda old: old[:-1], "pattern", HASH),
    ("a SHA-256 with a newline after it", HASH, lambda old: old + "\n", "pattern", HASH),
    ("a timestamp on the 30th of February", ["metadata", "timestamp"], lambda old: "2024-02-30T00:00:00Z",
     "format", ["metadata", "timestamp"]),
    ("a website address with a space in it", PRODUCT + ["externalReferences"],
     lambda old: [{"type": "website", "url": "https://vwc.invalid/a b"}], "format",
     PRODUCT + ["externalReferences", 0, "url"]),
    ("a license id that is not on SPDX's list", PRODUCT + ["licenses", 0, "license", "id"],
     lambda old: old + "-vwc", "enum", PRODUCT + ["licenses", 0, "license", "id"]),
    ("a property the schema does not define", PRODUCT + ["vwc:packaged"], lambda old: True,
     "additionalProperties", PRODUCT),
]


def broken_copy(bom, place, change):
    broken = copy.deepcopy(bom)
    node = broken
    for key in place[:-1]:
        node = node[key]
    node[place[-1]] = change(node.get(place[-1]))
    return broken


def errors_at(error, rule, path):
    """The error, or those under it (anyOf, oneOf), that RULE gave at PATH."""
    if error.validator == rule and list(error.absolute_path) == path:
        yield error
    for suberror in error.context or []:
        yield from errors_at(suberror, rule, path)


def main():
    args = sys.argv[1:]
    must_reject = args[:1] == ["--must-reject"]
    if must_reject:
        args = args[1:]
    if len(args) != 1:
        sys.exit(__doc__)
    validator, formats = make_validator()
    path = args[0]
    bom = json.loads(Path(path).read_text())

    if not must_reject:
        errors = [("/".join(map(str, e.absolute_path)), e.message) for e in validator.iter_errors(bom)]
        if bom.get("specVersion") != "1.6":
            errors.insert(0, ("specVersion", f"{bom.get('specVersion')!r} is not '1.6'"))
        for where, message in errors:
            print(f"{path}: at /{where}: {short(message)}")
        if errors:
            sys.exit(f"{path}: not valid CycloneDX 1.6: {len(errors)} error{'s' * (len(errors) > 1)}")
        print(f"{path}: valid CycloneDX 1.6 (formats checked: {', '.join(formats)})")
        return

    accepted = 0
    for what, place, change, rule, at in BROKEN:
        errors = list(validator.iter_errors(broken_copy(bom, place, change)))
        here = [e for error in errors for e in errors_at(error, rule, at)]
        if here:
            print(f"rejected, {what}: at /{'/'.join(map(str, at))}: {short(here[0].message)}")
        else:
            accepted += 1
            print(f"ACCEPTED {what}" + (f"; other errors: {short(errors[0].message)}" if errors else ""))
    if accepted:
        sys.exit(f"{path}: {accepted} of {len(BROKEN)} broken copies were not rejected by the rule broken")


try:
    main()
except jsonschema.RefResolutionError as error:
    sys.exit(f"validate.py: {error}")
