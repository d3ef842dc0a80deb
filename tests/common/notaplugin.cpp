// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// A plain shared library: the plug-in loader must refuse it.
extern "C" __attribute__((visibility("default"))) int hvNotAPlugin()
{
    return 42;
}
