# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: LGPL-2.1-or-later

'''oFono as python-dbusmock's template has it, but Dial answers the call's
object path ("o") as real oFono does, not a string.'''

import dbus
import dbus.service

from dbusmock.templates import ofono as _stock
from dbusmock.templates.ofono import *  # noqa: F401,F403 - the template's load() and methods

BUS_NAME = _stock.BUS_NAME
MAIN_OBJ = _stock.MAIN_OBJ
MAIN_IFACE = _stock.MAIN_IFACE
SYSTEM_BUS = _stock.SYSTEM_BUS


@dbus.service.method('org.ofono.VoiceCallManager', in_signature='ss', out_signature='o')
def Dial(self, number, hide_callerid):
    return dbus.ObjectPath(_stock.Dial(self, number, hide_callerid))
