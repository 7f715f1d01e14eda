// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The bus lock of libmii.so over the kernel's MII ioctls: whole runs of the
// programs that use it on one machine, one after the other.
#pragma once

// Takes the machine's bus lock on the first call of the process and keeps
// it until the process ends. Returns 0 when the access may go on: the lock
// is held, by this process or through a descriptor it inherited from one
// that holds it, or there is no lock to be had. Otherwise returns the errno
// that this and every later call give at once: EBUSY (another program held
// the lock for the whole wait), ENOLCK (the lock's path holds something
// other than the lock: a symbolic link, a file that is not a regular one or
// another user's), EPERM (the caller may not open or create the lock), or
// why the lock file could not be opened.
int mii_lock();
