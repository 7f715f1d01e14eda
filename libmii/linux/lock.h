// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// The bus lock of libmii.so over the kernel's MII ioctls: whole runs of the
// programs that use it on one machine, one after the other.
#pragma once

// Takes the machine's bus lock on the first call of the process and keeps
// it until the process ends. Returns 0 when the access may go on (the lock
// is held, or there is no lock to be had), or EBUSY when another program
// held it for the whole wait; later calls then fail at once.
int mii_lock();
