#!/usr/bin/env python3
"""The release's files that are not built by the compiler or NSIS, and their checks.

  release_files.py zip OUT.zip FOLDER EPOCH      the folder as a zip: entries in name order, every
                                                 entry dated EPOCH (UTC), fixed attributes
  release_files.py manifests RELEASE VERSION EPOCH BASE_URL [HOMEPAGE]
                                                 SHA256SUMS, the winget manifests (RELEASE/winget)
                                                 and the Scoop manifest (RELEASE/scoop); an empty
                                                 BASE_URL puts a placeholder address in and marks
                                                 every manifest as a draft, and without HOMEPAGE
                                                 the manifests name none
  release_files.py check RELEASE VERSION         the manifests against the winget schemas
                                                 (installer/winget-schemas) and Scoop's shape

Every output depends only on its inputs, so two runs over the same builds give the same bytes.
"""
import datetime
import hashlib
import json
import os
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCHEMAS = os.path.join(ROOT, "installer", "winget-schemas")
MANIFEST_VERSION = "1.10.0"
PACKAGE = "Tidemeter.Tidemeter"
# Stands for the download address when none was given; manifests carrying it are drafts.
PLACEHOLDER_URL = "https://example.invalid/tidemeter/releases/download/v%s"
DESCRIPTION = "Internet-speed monitor for Windows: download and upload rates on the taskbar"
LICENSE = "Proprietary"
# The installer installs over the copy that is there (ending it first) and keeps the user's data.
UPGRADE_BEHAVIOR = "install"
PORTABLE_DATA = "Data"  # the folder a portable copy keeps its files in, beside the program


def make_zip(out, folder, epoch):
    stamp = datetime.datetime.fromtimestamp(max(int(epoch), 315532800), datetime.timezone.utc)
    date_time = stamp.timetuple()[:6]
    base = os.path.basename(os.path.normpath(folder))
    names = []
    for here, dirs, files in os.walk(folder):
        dirs.sort()
        for name in files:
            names.append(os.path.relpath(os.path.join(here, name), folder).replace(os.sep, "/"))
    with zipfile.ZipFile(out, "w") as archive:
        for name in sorted(names):
            info = zipfile.ZipInfo(base + "/" + name, date_time)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode travels with the entry
            info.external_attr = 0x20  # the archive attribute, as Windows writes it
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def artefact_names(version):
    return "Tidemeter-%s-setup.exe" % version, "Tidemeter-%s-portable.zip" % version


def draft_notes(draft, homepage):
    """What keeps these manifests from being submitted as they are; empty when nothing does."""
    notes = []
    if draft:
        notes.append("DRAFT, DO NOT SUBMIT: the download addresses are placeholders under example.invalid; "
                     "run scripts/release.sh again with the address the files are published under")
    if not homepage:
        notes.append("No homepage given (scripts/release.sh --homepage URL): the manifests name none, and "
                     "Scoop's buckets want one")
    return notes


def yaml_text(schema, kind, fields, notes=()):
    lines = ["# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json"
             % (schema, MANIFEST_VERSION)]
    lines += ["# " + note for note in notes]
    lines.append("")

    def emit(key, value, indent):
        pad = " " * indent
        if isinstance(value, list):
            lines.append("%s%s:" % (pad, key))
            for item in value:
                first = True
                for k, v in item.items():
                    prefix = pad + ("- " if first else "  ")
                    if isinstance(v, (dict, list)):
                        raise ValueError("nested value in a list item")
                    lines.append("%s%s: %s" % (prefix, k, json.dumps(v, ensure_ascii=False)))
                    first = False
        elif isinstance(value, dict):
            lines.append("%s%s:" % (pad, key))
            for k, v in value.items():
                emit(k, v, indent + 2)
        else:
            # JSON strings are YAML strings: quoted, so a version or a date stays text.
            lines.append("%s%s: %s" % (pad, key, json.dumps(value, ensure_ascii=False)))

    for key, value in fields:
        emit(key, value, 0)
    lines += ["ManifestType: " + kind, "ManifestVersion: " + MANIFEST_VERSION, ""]
    return "\n".join(lines)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def make_manifests(release, version, epoch, base_url, homepage=""):
    setup, portable = artefact_names(version)
    draft = not base_url
    if draft:
        base_url = PLACEHOLDER_URL % version
    notes = draft_notes(draft, homepage)
    for note in notes:
        print("release: " + note, file=sys.stderr)
    sums = "".join("%s  %s\n" % (sha256(os.path.join(release, n)), n) for n in (setup, portable))
    write(os.path.join(release, "SHA256SUMS"), sums)

    base_url = base_url.rstrip("/")
    date = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc).strftime("%Y-%m-%d")
    folder = os.path.join(release, "winget")
    write(os.path.join(folder, PACKAGE + ".yaml"), yaml_text("version", "version", [
        ("PackageIdentifier", PACKAGE), ("PackageVersion", version), ("DefaultLocale", "en-US")], notes))
    # The two addresses are optional in winget's schema: none rather than a made-up one.
    home = [("PublisherUrl", homepage)] if homepage else []
    write(os.path.join(folder, PACKAGE + ".locale.en-US.yaml"), yaml_text("defaultLocale", "defaultLocale", [
        ("PackageIdentifier", PACKAGE), ("PackageVersion", version), ("PackageLocale", "en-US"),
        ("Publisher", "Tidemeter")] + home + [("PackageName", "Tidemeter")] +
        ([("PackageUrl", homepage)] if homepage else []) + [
        ("License", LICENSE), ("Copyright", "Copyright 2026 the Tidemeter developers"),
        ("ShortDescription", DESCRIPTION), ("Moniker", "tidemeter")], notes))
    write(os.path.join(folder, PACKAGE + ".installer.yaml"), yaml_text("installer", "installer", [
        ("PackageIdentifier", PACKAGE), ("PackageVersion", version), ("MinimumOSVersion", "10.0.0.0"),
        ("InstallerType", "nullsoft"), ("Scope", "user"), ("UpgradeBehavior", UPGRADE_BEHAVIOR),
        ("ReleaseDate", date),
        ("InstallerSwitches", {"Silent": "/S", "SilentWithProgress": "/S"}),
        ("Installers", [{"Architecture": "x64", "InstallerUrl": base_url + "/" + setup,
                         "InstallerSha256": sha256(os.path.join(release, setup)).upper()}])], notes))

    # JSON has no comments; Scoop takes "##" as one.
    scoop = {"##": notes} if notes else {}
    scoop.update({
        "version": version,
        "description": DESCRIPTION,
    })
    if homepage:
        scoop["homepage"] = homepage
    scoop.update({
        "license": LICENSE,
        "url": base_url + "/" + portable,
        "hash": sha256(os.path.join(release, portable)),
        "extract_dir": portable[:-len(".zip")],
        "shortcuts": [["Tidemeter.exe", "Tidemeter"]],
        "persist": PORTABLE_DATA,
    })
    write(os.path.join(release, "scoop", "tidemeter.json"), json.dumps(scoop, indent=4) + "\n")


def check(release, version):
    import jsonschema
    import yaml

    problems = []
    setup, portable = artefact_names(version)
    folder = os.path.join(release, "winget")
    for schema, name in (("version", PACKAGE + ".yaml"), ("defaultLocale", PACKAGE + ".locale.en-US.yaml"),
                         ("installer", PACKAGE + ".installer.yaml")):
        with open(os.path.join(SCHEMAS, "manifest.%s.%s.json" % (schema, MANIFEST_VERSION))) as f:
            validator = jsonschema.Draft7Validator(json.load(f), format_checker=jsonschema.FormatChecker())
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            text = f.read()
        manifest = yaml.safe_load(text)
        problems += ["%s: %s" % (name, e.message) for e in validator.iter_errors(manifest)]
        if manifest.get("PackageVersion") != version:
            problems.append("%s: PackageVersion is not %s" % (name, version))
        if schema == "installer":
            installer = manifest["Installers"][0]
            wanted = {"InstallerType": "nullsoft", "Scope": "user", "UpgradeBehavior": UPGRADE_BEHAVIOR}
            problems += ["%s: %s is not %s" % (name, k, v) for k, v in wanted.items() if manifest.get(k) != v]
            if installer.get("Architecture") != "x64":
                problems.append(name + ": the installer is not x64")
            if installer.get("InstallerSha256", "").lower() != sha256(os.path.join(release, setup)):
                problems.append(name + ": InstallerSha256 is not the installer's")
            if not installer.get("InstallerUrl", "").endswith("/" + setup):
                problems.append(name + ": InstallerUrl does not name the installer")
            if "example.invalid" in installer.get("InstallerUrl", "") and "DO NOT SUBMIT" not in text:
                problems.append(name + ": placeholder InstallerUrl without the draft note")

    with open(os.path.join(release, "scoop", "tidemeter.json"), encoding="utf-8") as f:
        scoop = json.load(f)
    kinds = {"version": str, "description": str, "license": str, "url": str, "hash": str,
             "extract_dir": str, "shortcuts": list, "persist": str}
    problems += ["scoop: %s missing or not %s" % (k, t.__name__) for k, t in kinds.items()
                 if not isinstance(scoop.get(k), t)]
    if "homepage" in scoop and not str(scoop["homepage"]).startswith(("https://", "http://")):
        problems.append("scoop: homepage is not a web address")
    # A draft says so where it can be read: a placeholder address never goes out unmarked.
    if "example.invalid" in scoop.get("url", "") and not scoop.get("##"):
        problems.append("scoop: placeholder url without the draft note")
    if not problems:
        if scoop["version"] != version or not scoop["url"].endswith("/" + portable):
            problems.append("scoop: version or url is not this release's")
        if scoop["hash"] != sha256(os.path.join(release, portable)):
            problems.append("scoop: hash is not the zip's")
        if not all(isinstance(s, list) and len(s) >= 2 and s[0] == "Tidemeter.exe" for s in scoop["shortcuts"]):
            problems.append("scoop: the shortcut does not start Tidemeter.exe")
        with zipfile.ZipFile(os.path.join(release, portable)) as archive:
            names = set(archive.namelist())
        for name in ("Tidemeter.exe", "Tidemeter.portable"):
            if scoop["extract_dir"] + "/" + name not in names:
                problems.append("scoop: %s is not in extract_dir of the zip" % name)
        if scoop["persist"] != PORTABLE_DATA:
            problems.append("scoop: persist is not the portable data folder")
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


def main(args):
    if len(args) == 4 and args[0] == "zip":
        make_zip(args[1], args[2], args[3])
        return 0
    if len(args) in (5, 6) and args[0] == "manifests":
        make_manifests(*args[1:])
        return 0
    if len(args) == 3 and args[0] == "check":
        return check(args[1], args[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
