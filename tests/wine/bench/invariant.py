"""The invariant every launcher run keeps, whatever failed, checked from the
outside: one snapshot of the prefix before the run, one check after it.

- Every file under C:\\corvane3 holds exactly its bytes from before the run
  or exactly the complete body the server has for it; nothing there
  disappears; a file whose bytes did not change keeps its attributes.
- local_list.txt never records a version for a file whose new bytes are not
  on disk: an entry that differs from the old record names a file that holds
  the server's complete body.
- Outside C:\\corvane3 nothing is created, changed or removed, except the
  desktop shortcut. The platform's own state (Wine's system folder, the URL
  services' cache, cookies and history) is not the launcher's to keep; the
  cache is only checked for copies of downloaded bodies.
- The exit code is 0 or 1 and the run did not time out (a run the test cut
  short on purpose has no exit code).
- No launcher temporary file is left in C:\\corvane3. The one exception is
  the aside copy of a file a running program holds (`held`): the old bytes
  renamed out of the way, which the next run removes. An aside copy that a
  run puts back or removes counts as its target's old bytes. A file that
  only looks like a temporary (`kept`: a user's own, a copy an older
  launcher left aside) is held to its old bytes like any other.

Use:
    before = invariant.snapshot(prefix)
    result = bench.run(...)
    invariant.check(prefix, before, result, server)
where `server` is the UpdateServer whose routes say what each name's
complete body is (a 2xx route's body, or the body of the route a 3xx route's
Location names).
"""
import dataclasses
import hashlib
import os
import re
import urllib.parse

from .launcher import SHORTCUT_NAME

BASE_PATH = "/cv3down/"
LIST_PATH = BASE_PATH + "filelist.txt"
RECORD = "local_list.txt"
# The launcher's journal of the aside copies it made.
JOURNAL = "owned_files.txt"
# A launcher with a key keeps the release number it accepted beside the record.
ACCEPTED_RELEASE = "release_number.txt"

# Names the launcher gives files it writes before moving them into place, in
# every form it has used.
TEMPORARY = re.compile(r"(?i).*\.crv3(part|old)|cv3[0-9a-f]{1,4}\.tmp|.*\.crv3launcher\.tmp")
ASIDE = ".crv3old"

# Folders of drive C: that hold the platform's state, relative and lower case.
PLATFORM_FOLDERS = ("windows",)
PLATFORM_PROFILE_FOLDER = os.path.join("AppData", "Local", "Microsoft", "Windows")

# Cached bodies shorter than this are not looked for: short bodies could
# match by chance.
CACHE_MATCH_MIN = 64


@dataclasses.dataclass(frozen=True)
class FileState:
    digest: str
    size: int
    read_only: bool
    extended: tuple     # Wine keeps the other DOS attributes in xattrs


@dataclasses.dataclass
class Snapshot:
    app_files: dict     # "a/b" (host separators) -> FileState
    app_folders: set
    record: bytes | None
    outside: dict       # path relative to drive_c -> (size, mtime_ns, mode) or "dir"
    cache: dict         # the URL cache's files: path -> (size, mtime_ns)


def _digest(data):
    return hashlib.sha256(data).hexdigest()


def _file_state(path):
    data = path.read_bytes()
    info = os.lstat(path)
    extended = tuple(sorted((n, os.getxattr(path, n)) for n in os.listxattr(path)))
    return FileState(_digest(data), len(data), not info.st_mode & 0o222, extended)


def _is_platform_state(relative, profile_root):
    lowered = relative.lower()
    if lowered.split(os.sep, 1)[0] in PLATFORM_FOLDERS:
        return True
    return lowered.startswith(os.path.join(profile_root, PLATFORM_PROFILE_FOLDER).lower())


def _profile_root(prefix):
    return os.path.relpath(prefix.user_folder, prefix.drive_c).lower()


def _outside(prefix):
    drive, app_dir = str(prefix.drive_c), str(prefix.app_dir)
    profile = _profile_root(prefix)
    found = {}
    for folder, dirs, names in os.walk(drive):
        dirs[:] = [d for d in dirs if os.path.join(folder, d) != app_dir]
        for entry in dirs + names:
            path = os.path.join(folder, entry)
            relative = os.path.relpath(path, drive)
            if _is_platform_state(relative, profile):
                continue
            info = os.lstat(path)
            found[relative] = "dir" if entry in dirs else (info.st_size, info.st_mtime_ns,
                                                           info.st_mode)
    return found


def snapshot(prefix):
    """Everything the invariant compares, taken before a run."""
    files, folders = {}, set()
    if prefix.app_dir.is_dir():
        for path in sorted(prefix.app_dir.rglob("*")):
            relative = str(path.relative_to(prefix.app_dir))
            if path.is_dir() and not path.is_symlink():
                folders.add(relative)
            elif path.is_file():
                files[relative] = _file_state(path)
    record_path = prefix.app_dir / RECORD
    return Snapshot(files, folders, record_path.read_bytes() if record_path.is_file() else None,
                    _outside(prefix), _cache_files(prefix))


# --- what the server serves ------------------------------------------------------

def _route_body(server, key, hops=3):
    route = server.routes.get(key)
    if route is None:
        return None
    if 200 <= route.status < 300:
        return route.body
    location = {k.lower(): v for k, v in route.headers.items()}.get("location")
    if 300 <= route.status < 400 and location and hops:
        target = urllib.parse.unquote_to_bytes(urllib.parse.urlsplit(location).path)
        return _route_body(server, target, hops - 1)
    return None


# The publisher's version history, served beside the list for the next
# publication and never fetched by the launcher; without a release number its
# bytes are the list's.
HISTORY_PATH = BASE_PATH + "version_history.txt"


def served_bodies(server):
    """{listed name as bytes (CP949): complete body} for every file the
    server can deliver whole (the list and the publisher's history excepted)."""
    base = BASE_PATH.encode()
    bodies = {}
    for key in server.routes:
        if key.startswith(base) and key not in (LIST_PATH.encode(), HISTORY_PATH.encode()):
            body = _route_body(server, key)
            if body is not None:
                name = key[len(base):].decode("utf-8", "replace")
                bodies[name.encode("cp949", "replace")] = body
    return bodies


def stored_name(listed):
    """Where a listed name (bytes) is stored, relative to C:\\corvane3 with
    host separators, as Windows stores it: ".i.zip" endings become ".ini",
    both separators count, empty components collapse and trailing dots and
    blanks of a component are dropped."""
    name = listed.decode("cp949", "replace")
    if name.lower().endswith(".i.zip"):
        name = name[:-6] + ".ini"
    parts = (part.rstrip(". ") for part in name.replace("\\", "/").split("/"))
    return os.path.join(*[part for part in parts if part] or ["."])


# --- the record's format ----------------------------------------------------------

def _version(text):
    match = re.match(rb"[ \t\n\v\f\r]*([+-]?)([0-9]*)", text)
    sign, digits = match.groups()
    if not digits:
        return 0
    value = -int(digits) if sign == b"-" else int(digits)
    return max(-2 ** 63, min(2 ** 63 - 1, value))


def parse_record(text):
    """A version list as the launcher reads it: {name bytes: version}."""
    entries = {}
    for line in (text or b"").split(b"\n"):
        line = line.rstrip(b" \t\r\n")
        if not line:
            continue
        name, bar, version = line.partition(b"|")
        entries[name] = _version(version) if bar else 0
    return entries


# --- the check ------------------------------------------------------------------

def temporary_files(prefix):
    """Launcher temporaries anywhere under C:\\corvane3."""
    if not prefix.app_dir.is_dir():
        return []
    return sorted(str(p.relative_to(prefix.app_dir)) for p in prefix.app_dir.rglob("*")
                  if TEMPORARY.fullmatch(p.name))


def _cache_folder(prefix):
    return prefix.user_folder.joinpath(*PLATFORM_PROFILE_FOLDER.split(os.sep), "INetCache")


def _cache_files(prefix):
    cache = _cache_folder(prefix)
    if not cache.is_dir():
        return {}
    return {p: (p.stat().st_size, p.stat().st_mtime_ns) for p in cache.rglob("*") if p.is_file()}


def cached_copies(prefix, before, bodies):
    """Files that the run added to the URL services' cache (or changed
    there) and that hold one of these bodies."""
    wanted = {_digest(b) for b in bodies if len(b) >= CACHE_MATCH_MIN}
    return sorted(str(p.relative_to(_cache_folder(prefix)))
                  for p, state in _cache_files(prefix).items()
                  if before.cache.get(p) != state and _digest(p.read_bytes()) in wanted)


def _aside_target(name):
    return name[:-len(ASIDE)] if name.lower().endswith(ASIDE) else None


def _kept_aside(name, before, after, held):
    """An aside copy a running program may still hold: its target is held and
    the copy is that target's old bytes, or stayed as it was."""
    target = _aside_target(name)
    olds = [before.app_files.get(target), before.app_files.get(name)]
    digest = after.app_files[name].digest
    return target in held and any(old and old.digest == digest for old in olds)


def problems(prefix, before, result, server, current=(), cache_copies_allowed=False, held=(),
             kept=()):
    """Every way the run broke the invariant, as readable lines. `current`
    names listed files whose installed bytes are the server's version by the
    info file's word (the run rightly leaves them and records them); `held`
    names files (relative, host separators) a running program holds; `kept`
    names files that end like an aside copy but must stay as they were."""
    found = []
    if result is not None and not result.killed:
        if result.timed_out or result.exit_code not in (0, 1):
            found.append(f"exit code {result.exit_code}, timed out: {result.timed_out}")
    served = served_bodies(server) if server else {}
    new_bodies = {stored_name(n): b for n, b in served.items()}
    after = snapshot(prefix)

    for name, old in before.app_files.items():
        if name in after.app_files or name == JOURNAL:
            continue
        if name in kept or _aside_target(name) not in after.app_files:
            found.append(f"{name}: removed")
    for name, state in after.app_files.items():
        if name in (RECORD, JOURNAL, ACCEPTED_RELEASE) or (
                name not in kept and TEMPORARY.fullmatch(os.path.basename(name))):
            continue
        old = before.app_files.get(name) or before.app_files.get(name + ASIDE)
        body = new_bodies.get(name)
        if old is not None and state.digest == old.digest:
            if state != old:
                found.append(f"{name}: same bytes, attributes changed")
        elif body is None or state.digest != _digest(body):
            found.append(f"{name}: neither its old bytes nor the server's complete body "
                         f"({state.size} bytes)")
    for folder in before.app_folders - after.app_folders:
        found.append(f"{folder}: folder removed")

    found += _record_problems(prefix, before, after, served,
                              {n.encode("cp949") if isinstance(n, str) else n for n in current})
    found += [f"{name}: temporary file left" for name in temporary_files(prefix)
              if name not in kept and not _kept_aside(name, before, after, held)]

    outside = after.outside
    shortcut = os.path.relpath(prefix.desktop / SHORTCUT_NAME, prefix.drive_c)
    for path in sorted(set(before.outside) | set(outside)):
        if path != shortcut and before.outside.get(path) != outside.get(path):
            state = ("created" if path not in before.outside else
                     "removed" if path not in outside else "changed")
            found.append(f"C:\\{path}: {state} outside the application directory")
    if not cache_copies_allowed:
        found += [f"cache keeps a copy: {p}"
                  for p in cached_copies(prefix, before, served.values())]
    return found


def _record_problems(prefix, before, after, served, current):
    if after.record == before.record or after.record is None:
        return []
    old_entries = parse_record(before.record)
    found = []
    for name, version in parse_record(after.record).items():
        if old_entries.get(name) == version or name in current:
            continue
        path = prefix.app_dir / stored_name(name)
        body = served.get(name)
        if body is None or not path.is_file() or path.read_bytes() != body:
            found.append(f"{RECORD} records {name!r}|{version} without its new bytes on disk")
    return found


def check(prefix, before, result, server, **options):
    found = problems(prefix, before, result, server, **options)
    assert not found, "invariant broken:\n" + "\n".join(found)


# --- durability: what a file trace of the run shows --------------------------------

_TRACED_CALL = re.compile(r"^(?:\d+ +)?(\d+\.\d+) (\w+)\((.*)\) += (-?\d+)")
_TRACED_PATH = re.compile(r'<([^<>]*)>|"((?:[^"\\]|\\.)*)"')


def _traced_events(texts):
    """(time, call, [paths]) of every call that succeeded, in time order:
    descriptors by the path strace -y shows, strings as given."""
    events = []
    for text in texts:
        for line in text.splitlines():
            match = _TRACED_CALL.match(line)
            if match and match.group(4) == "0":
                time, call, args = match.group(1), match.group(2), match.group(3)
                found = [os.path.realpath(a or b) for a, b in _TRACED_PATH.findall(args)
                         if (a or b).startswith("/")]
                events.append((float(time), call, found))
    return sorted(events, key=lambda e: e[0])


def durability_problems(prefix, trace_files):
    """Ways a run let a name in C:\\corvane3 point at data that may not be on
    the disk yet: a rename onto a file there whose source was not flushed
    before (moving an installed file aside or back excepted: its data is on
    the disk since its own install), and a rename of the record before a
    rename of a file it claims."""
    app_dir = os.path.realpath(prefix.app_dir)
    record = os.path.join(app_dir, RECORD)
    flushed, found, record_renamed = set(), [], False
    for _time, call, args in _traced_events(p.read_text("utf-8", "replace") for p in trace_files
                                            if p.exists()):
        if call in ("fsync", "fdatasync") and args:
            flushed.add(args[0])
        elif call.startswith("rename") and len(args) == 2:
            source, target = args
            if os.path.dirname(target) != app_dir and not target.startswith(app_dir + os.sep):
                continue
            if _aside_target(source) or _aside_target(target):
                continue
            shown = os.path.relpath(target, app_dir)
            if source not in flushed:
                found.append(f"{shown}: renamed into place before its data was flushed")
            if record_renamed and target != record:
                found.append(f"{shown}: renamed into place after the record")
            record_renamed |= target == record
            flushed.discard(source)
    return found
