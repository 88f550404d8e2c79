#!/usr/bin/python3
"""A FUSE passthrough that swaps one folder for a link at a chosen lookup.

It plays the part of an opportunistic lock on Windows: the program asking
is held at the exact lookup while another account replaces the folder.

    swap_fuse.py BACKING MOUNTPOINT TARGET VICTIM CONTROL

TARGET is a path under the mount ("/Rinop/Launcher/update"). At each lookup
of it the count in CONTROL/count goes up; the lookup whose number is in
CONTROL/arm moves the folder aside (to BACKING/aside) and puts a symlink to
VICTIM in its place before answering. An arm of 0 only counts.

A handle keeps its object, on Windows as on a real Linux file system, but
this passthrough serves each request by its path: after the swap, a request
for a path below TARGET comes from something opened before it (a new lookup
follows the link, an absolute path, out of the mount), so it is served from
where the folder went, not through the link.
"""
import errno
import os
import sys

import fusepy


class SwapPassthrough(fusepy.Operations):
    def __init__(self, backing, control, target, victim):
        self.backing = backing
        self.control = control
        self.target = target
        self.victim = victim
        self.swapped = False

    def _real(self, path):
        if self.swapped and path.startswith(self.target + "/"):
            return os.path.join(self.backing, "aside", path[len(self.target) + 1:])
        return os.path.join(self.backing, path.lstrip("/"))

    def _read_number(self, name):
        try:
            with open(os.path.join(self.control, name)) as f:
                return int(f.read().strip() or 0)
        except FileNotFoundError:
            return 0

    def _count_lookup(self):
        count = self._read_number("count") + 1
        if count == 1:
            self.swapped = False  # a new run, on a fresh tree
        with open(os.path.join(self.control, "count"), "w") as f:
            f.write(str(count))
        if count == self._read_number("arm"):
            real = self._real(self.target)
            os.rename(real, os.path.join(self.backing, "aside"))
            os.symlink(self.victim, real)
            self.swapped = True

    def getattr(self, path, fh=None):
        if path == self.target:
            self._count_lookup()
        try:
            st = os.lstat(self._real(path))
        except OSError as e:
            raise fusepy.FuseOSError(e.errno)
        keys = ("st_atime", "st_ctime", "st_gid", "st_mode", "st_mtime", "st_nlink", "st_size", "st_uid", "st_ino")
        return {key: getattr(st, key) for key in keys}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._real(path))

    def readlink(self, path):
        return os.readlink(self._real(path))

    def access(self, path, mode):
        if not os.access(self._real(path), mode, follow_symlinks=False):
            raise fusepy.FuseOSError(errno.EACCES)

    def chmod(self, path, mode):
        os.chmod(self._real(path), mode)

    def chown(self, path, uid, gid):
        os.lchown(self._real(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self._real(path), times, follow_symlinks=False)

    def mkdir(self, path, mode):
        os.mkdir(self._real(path), mode)

    def rmdir(self, path):
        os.rmdir(self._real(path))

    def unlink(self, path):
        os.unlink(self._real(path))

    def symlink(self, target, source):
        os.symlink(source, self._real(target))

    def rename(self, old, new):
        os.rename(self._real(old), self._real(new))

    def statfs(self, path):
        st = os.statvfs(self._real(path))
        keys = ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files", "f_flag",
                "f_frsize", "f_namemax")
        return {key: getattr(st, key) for key in keys}

    def open(self, path, flags):
        return os.open(self._real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self._real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)

    def read(self, path, length, offset, fh):
        return os.pread(fh, length, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self._real(path), length)

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)


def main():
    backing, mountpoint, target, victim, control = sys.argv[1:6]
    fusepy.FUSE(SwapPassthrough(backing, control, target, victim), mountpoint, foreground=True, nothreads=True,
                attr_timeout=0, entry_timeout=0, negative_timeout=0)


if __name__ == "__main__":
    main()
