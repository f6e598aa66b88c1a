#!/usr/bin/python3
"""Fetches one pinned package archive from the npm registry, without npm.

The registry serves a published version's archive at a fixed address,
https://registry.npmjs.org/NAME/-/BASENAME-VERSION.tgz, so the pinned archives (font sources,
stroke data) come with Python's own HTTPS client and its system certificates; the proxy
variables (https_proxy, no_proxy) apply as for other tools. The archive is checked against its
pinned sha256 before it is put in place; nothing half-fetched or unpinned is ever left there.
A working `npm` on the PATH is tried only when the registry cannot be reached directly.

  npm_archive.py PACKAGE VERSION ARCHIVE SHA256 FOLDER
"""

import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.error
import urllib.request

REGISTRY = os.environ.get('INKVALE_NPM_REGISTRY', 'https://registry.npmjs.org').rstrip('/')
LARGEST_ARCHIVE = 256 * 1024 * 1024  # the largest pinned archive is a few tens of megabytes


class FetchError(Exception):
    pass


def archive_url(package, version):
    basename = package.rsplit('/', 1)[-1]
    return f'{REGISTRY}/{package}/-/{basename}-{version}.tgz'


def sha256(path):
    digest = hashlib.sha256()
    with open(path, 'rb') as f:
        for block in iter(lambda: f.read(1 << 20), b''):
            digest.update(block)
    return digest.hexdigest()


def download(url, target):
    try:
        with urllib.request.urlopen(url, timeout=60) as answer, open(target, 'wb') as out:
            copied = 0
            while block := answer.read(1 << 20):
                copied += len(block)
                if copied > LARGEST_ARCHIVE:
                    raise FetchError(f'{url} is larger than {LARGEST_ARCHIVE >> 20} MiB')
                out.write(block)
    except (OSError, urllib.error.URLError) as error:
        raise FetchError(f'{url}: {error}') from error


def pack_with_npm(package, version, work):
    npm = shutil.which('npm')
    if npm is None:
        return False
    result = subprocess.run([npm, 'pack', '--silent', f'{package}@{version}'], cwd=work,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return result.returncode == 0


def fetch(package, version, archive, pinned_sha256, folder):
    """The path of `archive` in `folder`, fetched when it is missing or does not have its pin."""
    path = os.path.join(folder, archive)
    if os.path.exists(path) and sha256(path) == pinned_sha256:
        return path
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=folder, prefix='.fetch.') as work:
        got = os.path.join(work, archive)
        try:
            download(archive_url(package, version), got)
        except FetchError as error:
            if not pack_with_npm(package, version, work) or not os.path.exists(got):
                raise FetchError(f'could not fetch {package} {version}: {error}') from error
        actual = sha256(got)
        if actual != pinned_sha256:
            raise FetchError(f'{archive} from the registry does not have its pinned sha256\n'
                             f'    expected {pinned_sha256}\n    got      {actual}')
        os.replace(got, path)
    return path


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__.strip().splitlines()[-1].strip())
    try:
        fetch(*sys.argv[1:])
    except FetchError as error:
        sys.exit(f'npm_archive.py: {error}')


if __name__ == '__main__':
    main()
