# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: LGPL-2.1-or-later

'''ModemManager as far as SMS recording and dialling need it: modems with
Messaging and Voice, SMS objects, and calls that record CreateCall and Start.

Parameters: "no_modem" (bool) starts without a modem.
Controlled through org.freedesktop.DBus.Mock on the main object:
  AddModem() -> o                    a modem, announced with InterfacesAdded
  RemoveModem(o)                     gone again, with InterfacesRemoved
  AddSms(o modem, a{sv} props, b announce, b vanish) -> o
      an SMS object on the Sms interface (Number, Text, Data, Timestamp,
      State, PduType); announce emits Messaging.Added(path, received), vanish
      deletes the object right after that, as a messaging app would.
Each SMS object's own UpdateProperties changes it with PropertiesChanged.
'''

import dbus

import dbusmock
from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MODEM_IFACE = MAIN_IFACE + '.Modem'
MESSAGING_IFACE = MODEM_IFACE + '.Messaging'
VOICE_IFACE = MODEM_IFACE + '.Voice'
SMS_IFACE = MAIN_IFACE + '.Sms'
CALL_IFACE = MAIN_IFACE + '.Call'

PDU_DELIVER = 1
CALL_STATE_UNKNOWN = 0
CALL_STATE_DIALING = 1


_MAIN = []


def load(mock, parameters):
    # The main object is listed among the objects only after this.
    _MAIN[:] = [mock]
    mock.counters = {'modem': 0, 'sms': 0, 'call': 0}
    mock.AddMethod(MAIN_IFACE, 'ScanDevices', '', '', '')
    if not parameters.get('no_modem', False):
        mock.AddModem()


def _main():
    return _MAIN[0]


def _next(kind):
    main = _main()
    number = main.counters[kind]
    main.counters[kind] += 1
    return number


def _list_messages(modem):
    return modem.props[MESSAGING_IFACE]['Messages']


def _delete_sms(modem, path):
    messages = modem.props[MESSAGING_IFACE]['Messages']
    if path not in messages:
        raise dbus.exceptions.DBusException('no such message', name='org.freedesktop.ModemManager1.Error.Core.NotFound')
    messages.remove(path)
    _main().RemoveObject(path)
    modem.EmitSignal(MESSAGING_IFACE, 'Deleted', 'o', [path])


def _start_call(call):
    call.UpdateProperties(CALL_IFACE, {'State': dbus.Int32(CALL_STATE_DIALING)})


def _create_call(modem, properties):
    number = properties.get('number', '')
    if not number:
        raise dbus.exceptions.DBusException('no number', name='org.freedesktop.ModemManager1.Error.Core.InvalidArgs')
    path = dbus.ObjectPath(f'{MAIN_OBJ}/Call/{_next("call")}')
    _main().AddObject(path, CALL_IFACE, {
        'Number': dbus.String(number),
        'State': dbus.Int32(CALL_STATE_UNKNOWN),
        'Direction': dbus.Int32(2),
    }, [])
    call = mockobject.objects[path]
    call.AddMethods(CALL_IFACE, [('Start', '', '', _start_call),
                                 ('Hangup', '', '', '')])
    modem.props[VOICE_IFACE]['Calls'].append(path)
    modem.EmitSignal(VOICE_IFACE, 'CallAdded', 'o', [path])
    return path


def _delete_call(modem, path):
    calls = modem.props[VOICE_IFACE]['Calls']
    if path in calls:
        calls.remove(path)
        _main().RemoveObject(path)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='', out_signature='o')
def AddModem(self):
    path = dbus.ObjectPath(f'{MAIN_OBJ}/Modem/{_next("modem")}')
    self.AddObject(path, MODEM_IFACE, {
        'Manufacturer': dbus.String('Halvane'),
        'Model': dbus.String('mock'),
        'State': dbus.Int32(8),
    }, [])
    modem = mockobject.objects[path]
    modem.AddProperties(MESSAGING_IFACE, {'Messages': dbus.Array([], signature='o')})
    modem.AddMethods(MESSAGING_IFACE, [('List', '', 'ao', _list_messages),
                                       ('Delete', 'o', '', _delete_sms)])
    modem.AddProperties(VOICE_IFACE, {'Calls': dbus.Array([], signature='o')})
    modem.AddMethods(VOICE_IFACE, [('CreateCall', 'a{sv}', 'o', _create_call),
                                   ('DeleteCall', 'o', '', _delete_call)])
    self.object_manager_emit_added(path)
    return path


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='o', out_signature='')
def RemoveModem(self, path):
    self.object_manager_emit_removed(path)
    self.RemoveObject(path)


@dbus.service.method(dbusmock.MOCK_IFACE, in_signature='oa{sv}bb', out_signature='o')
def AddSms(self, modem_path, properties, announce, vanish):
    modem = mockobject.objects[modem_path]
    path = dbus.ObjectPath(f'{MAIN_OBJ}/SMS/{_next("sms")}')
    props = {
        'Number': dbus.String(''),
        'Text': dbus.String(''),
        'Data': dbus.Array([], signature='y'),
        'Timestamp': dbus.String(''),
        'State': dbus.UInt32(3),
        'PduType': dbus.UInt32(PDU_DELIVER),
        'Storage': dbus.UInt32(2),
    }
    props.update(properties)
    self.AddObject(path, SMS_IFACE, props, [])
    modem.props[MESSAGING_IFACE]['Messages'].append(path)
    if announce:
        received = int(props['PduType']) == PDU_DELIVER
        modem.EmitSignal(MESSAGING_IFACE, 'Added', 'ob', [path, dbus.Boolean(received)])
    if vanish:
        _delete_sms(modem, path)
    return path
