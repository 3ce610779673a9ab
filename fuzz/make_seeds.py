#!/usr/bin/env python3
"""Writes the committed seed corpus of the fuzz targets (fuzz/corpus/<target>/).

Each seed is a readable sequence of the operations a target decodes (see the
comment at the top of each target and fuzz/fuzz_input.h). Run it again after
changing the input format: fuzz/make_seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def u16(v):
    return struct.pack('<H', v & 0xFFFF)


def u32(v):
    return struct.pack('<I', v & 0xFFFFFFFF)


# Texts (FuzzInput::Text): header byte, kind in the top three bits.
def empty():
    return b'\x00'


def text(s):
    """Kind 1: up to 31 units, one byte each (bytes below 32 are edge units:
    0 NUL, 1 blank, 2 comma, 3 backslash, 4-7 lone surrogates)."""
    data = s.encode('latin-1') if isinstance(s, str) else bytes(s)
    assert len(data) < 32
    return bytes([0x20 | len(data)]) + data


def units(values):
    """Kind 2: up to 31 raw UTF-16 units."""
    assert len(values) < 32
    return bytes([0x40 | len(values)]) + b''.join(u16(v) for v in values)


def repeated(pattern, times):
    """Kind 3: a pattern of alphabet bytes repeated."""
    data = pattern.encode('latin-1') if isinstance(pattern, str) else bytes(pattern)
    return bytes([0x60 | len(data)]) + data + u16(times)


def machine_name(index, alteration=0, nul_tail=None):
    """Kind 4: a printer name of the machine; alteration 0 as is, 1 upper,
    2 trailing blank, 3 cut; nul_tail: units after an added NUL."""
    header = 0x80 | alteration | (4 if nul_tail is not None else 0)
    out = bytes([header, index])
    if nul_tail is not None:
        out += bytes([len(nul_tail)]) + nul_tail.encode('latin-1')
    return out


def short_variant(index):
    return bytes([0xA0 | index])


def cycled(length, alphabet):
    """Kind 6: `length` units cycling through 8 alphabet bytes."""
    data = alphabet.encode('latin-1') if isinstance(alphabet, str) else bytes(alphabet)
    assert len(data) == 8
    return bytes([0xC0]) + u32(length) + data


def number_text(selector):
    return bytes([0xE0, selector])


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


# --- entry_point_fuzzer: op byte % 6 = 0 start-up, 1 string request,
# 2 shutdown, 3 other message, 4 functions answer, 5 idle.
OWN = b'\x02'  # instance selector: the plug-in's own module


def startup(version_selector, host_version, instance=OWN):
    return b'\x00' + bytes([version_selector]) + host_version + instance


HOST_NONE, HOST_TEXT, HOST_STANDARD, HOST_MARKED = b'\x00', b'\x01', b'\x02', b'\x03'


def string_request(string_id, size_selector, instance=OWN):
    return b'\x01' + bytes([string_id, size_selector]) + instance


def other_message(code, fill):
    return b'\x03' + bytes([code]) + OWN + u16(fill) + bytes([fill & 0xFF] * 9) + u32(fill) * 3


write('entry_point_fuzzer', 'startup-strings-shutdown',
      startup(4, HOST_STANDARD) + string_request(131, 20) + string_request(128, 5) +
      string_request(129, 0) + string_request(145, 1) + b'\x04' + b'\x02')
write('entry_point_fuzzer', 'refused-interface-versions',
      startup(0, HOST_STANDARD) + startup(4, HOST_STANDARD) + startup(5, HOST_STANDARD) +
      startup(7, HOST_STANDARD) + b'\x00' + bytes([250]) + u16(0x7FFF) + HOST_STANDARD + OWN +
      string_request(1, 12))
write('entry_point_fuzzer', 'host-version-texts',
      startup(2, HOST_NONE) + b'\x04' + startup(2, HOST_TEXT + empty()) +
      startup(2, HOST_TEXT + cycled(100000, b'\x00\x01\x02\x03\x04\x05\x06\x07')) +
      startup(2, HOST_MARKED + repeated('x', 3000) + text([4, 6])) + b'\x04' + b'\x02')
write('entry_point_fuzzer', 'other-messages-with-garbage',
      startup(2, HOST_STANDARD) + other_message(5, 0xA5A5) + other_message(2, 0xFFFF) +
      other_message(255, 0x1234) + other_message(8, 0) + b'\x05' + b'\x04')
write('entry_point_fuzzer', 'foreign-instance-handles',
      string_request(128, 30, b'\x00') + string_request(128, 30, b'\x01' + u32(0xDEADBEEF)) +
      startup(2, HOST_STANDARD, b'\x00') + b'\x04' + b'\x02' + string_request(128, 200, OWN) +
      bytes([0x01, 146, 0xF0]) + u16(2047) + OWN)

# --- functions_fuzzer: the machine, then calls.
TEXT_PARAM, NUMBER_PARAM, BOOL_PARAM = b'\x00', b'\x02', b'\x03'


def printer(name, port=None, devices=None, connection=False, raw=None, raw_binary=False):
    flags = (1 if connection else 0) | (2 if port is None else 0)
    if devices is not None:
        flags |= 1 << 2
    elif raw is not None:
        flags |= (2 << 2) | (16 if raw_binary else 0)
    out = bytes([flags]) + name
    if port is not None:
        out += port
    if devices is not None:
        out += devices
    elif raw is not None:
        out += bytes([len(raw)]) + bytes(raw)
    return out


def machine(printers, default=1, key_state=0, faults=0, spooler_faults=0):
    """spooler_faults: 0xE1 a write fails part way, 0xE2 the queue rejects jobs, 0xE4 a write
    takes no byte, 0xE8 each write takes half of its bytes."""
    return bytes([len(printers)]) + b''.join(printers) + bytes([default, key_state, faults, spooler_faults])


STANDARD = machine([
    printer(text('Office Laser'), text('LPT1:'), text('winspool,LPT1:')),
    printer(text([3, 3] + list(b'print-server') + [3] + list(b'Accounts')), text('Ne01:'), text('winspool,Ne01:'), connection=True),
    printer(text('Label Printer'), text('USB001'), text('winspool,USB001,extra')),
    printer(text('Portless'), None, text('winspool,nul:')),
    printer(text('No Devices'), text('LPT2:')),
])


FUNCTIONS = 11  # the target's functions, chosen by the selector's low six bits modulo their count


def call(function, params, inject=None):
    # Injecting takes both top bits; the low six still name the function.
    selector = function | (0xC0 if inject else 0)
    out = bytes([selector])
    if inject:
        out += bytes([inject[0], inject[1] - 1])
    return out + bytes([len(params)]) + b''.join(params)


def p_text(t):
    return TEXT_PARAM + t


def p_number(selector):
    return NUMBER_PARAM + bytes([selector])


def p_bool(value):
    return BOOL_PARAM + bytes([1 if value else 0])


VERSION, GET_AT, SET_SYSTEM, GET_SYSTEM, CHANGE, PREVIEW, TO_DEFAULT, SEND, SEND_HEX, DIALOG_RESULT, \
    PRINTER_LIST = range(FUNCTIONS)
write('functions_fuzzer', 'every-function-once',
      STANDARD + call(DIALOG_RESULT, []) + call(VERSION, []) + call(VERSION, [p_text(short_variant(1))]) +
      call(GET_AT, [p_number(1)]) + call(GET_AT, [p_number(5)]) + call(GET_AT, [p_number(6)]) +
      call(SET_SYSTEM, [p_text(machine_name(2))]) + call(GET_SYSTEM, []) +
      call(PREVIEW, [p_text(machine_name(0))]) +
      call(CHANGE, [p_text(machine_name(2)), p_bool(True), p_number(3), p_bool(False)]) +
      call(DIALOG_RESULT, []) + call(CHANGE, [p_text(text('Nowhere'))]) + call(DIALOG_RESULT, []) +
      call(DIALOG_RESULT, [p_bool(True)]) + call(PRINTER_LIST, []) + call(PRINTER_LIST, [p_text(empty())]))
write('functions_fuzzer', 'counts-and-empty-texts',
      STANDARD + call(GET_AT, []) + call(GET_AT, [p_text(empty())]) +
      call(SET_SYSTEM, [p_text(empty()), p_bool(True)]) +
      call(CHANGE, [p_text(machine_name(0))] * 6) + call(CHANGE, [p_text(machine_name(0))] * 5) +
      call(PREVIEW, []) + call(PREVIEW, [p_text(empty())]))
write('functions_fuzzer', 'names-with-nul-blank-and-case',
      STANDARD + call(PREVIEW, [p_text(machine_name(0, 0, 'junk'))]) +
      call(PREVIEW, [p_text(machine_name(0, 1))]) + call(CHANGE, [p_text(machine_name(2, 2))]) +
      call(SET_SYSTEM, [p_text(machine_name(2, 3))]) +
      call(CHANGE, [p_text(machine_name(1, 0, 'x'))]) + call(PREVIEW, [p_text(text([0]))]))
write('functions_fuzzer', 'long-texts-and-surrogates',
      STANDARD + call(VERSION, [p_text(cycled(100000, b'SHORT\x04\x05\x00'))]) +
      call(GET_AT, [p_text(repeated([7, 6, 1, 2], 25000))]) +
      call(PREVIEW, [p_text(cycled(99999, b'\x03\x02\x01ab\x04\x07\x00'))]) +
      call(SET_SYSTEM, [p_text(text([4, 5, 6, 7]))]))
write('functions_fuzzer', 'numbers-of-any-size',
      STANDARD + b''.join(call(GET_AT, [p_number(s)]) for s in range(0, 48, 3)) +
      call(GET_AT, [p_number(200) + bytes([12]) + bytes(range(1, 13))]) +
      call(GET_AT, [p_text(number_text(16))]) + call(CHANGE, [p_number(1)]))
write('functions_fuzzer', 'odd-devices-data',
      machine([
          printer(text('Odd'), text('LPT1:'), raw=[0x77, 0, 0x73]),
          printer(text('NoTerm'), text('LPT1:'), raw=[0x77, 0, 0x73, 0]),
          printer(text('Empty'), text('LPT1:'), raw=[]),
          printer(text('Binary'), text('LPT1:'), raw=[0x41, 0xD8, 0, 0, 0x42, 0], raw_binary=True),
      ], default=0, key_state=0) +
      b''.join(call(PREVIEW, [p_text(machine_name(i))]) for i in range(4)) +
      call(CHANGE, [p_text(machine_name(1))]))
write('functions_fuzzer', 'every-fault-and-no-key',
      machine([printer(text('Office Laser'), text('LPT1:'), text('winspool,LPT1:'))],
              default=1, key_state=2, faults=0xFF) +
      call(GET_AT, [p_number(1)]) + call(PREVIEW, [p_text(machine_name(0))]) +
      call(CHANGE, [p_text(machine_name(0))]) + call(GET_SYSTEM, []) + call(PRINTER_LIST, []))
write('functions_fuzzer', 'no-printers-no-key',
      machine([], default=0, key_state=1) + call(GET_AT, [p_number(1)]) + call(GET_SYSTEM, []) +
      call(PRINTER_LIST, []) +
      call(PREVIEW, [p_text(text('Office Laser'))]) +
      call(SET_SYSTEM, [p_text(text('Office Laser'))]))
# Names a list of values cannot hold (a CR, a LF, both) beside ones it can, a connection among them.
write('functions_fuzzer', 'printer-list-with-returns-in-names',
      machine([
          printer(units([0x46, 0x0D, 0x31]), text('LPT1:')),
          printer(text('Office'), text('LPT1:'), text('winspool,LPT1:')),
          printer(text([3, 3] + list(b'srv') + [3] + list(b'Share')), text('Ne01:'), connection=True),
          printer(units([0x4C, 0x0A, 0x46]), text('LPT1:')),
          printer(units([0x0D, 0x0A]), text('LPT1:')),
          printer(text('Last'), text('LPT2:')),
      ], default=2) + call(PRINTER_LIST, []) + call(GET_AT, [p_number(1)]) +
      call(PRINTER_LIST, [], inject=(3, 1)) + call(PRINTER_LIST, []))
write('functions_fuzzer', 'host-failures-in-calls',
      STANDARD + call(VERSION, [p_text(short_variant(0))], inject=(3, 1)) +
      call(GET_AT, [p_number(1)], inject=(5, 2)) +
      call(CHANGE, [p_text(machine_name(0)), p_bool(False)], inject=(4, 1)) +
      call(PREVIEW, [p_text(machine_name(2))], inject=(7, 2)) + call(GET_SYSTEM, [], inject=(2, 1)) +
      call(DIALOG_RESULT, [], inject=(3, 1)) + call(DIALOG_RESULT, []))

write('functions_fuzzer', 'raw-data-and-the-default-printer',
      STANDARD + call(SEND, [p_text(machine_name(2, 1)), p_text(units(list(range(0, 31))))]) +
      call(SEND, [p_text(machine_name(2)), p_text(repeated(bytes(range(0xE1, 0x100)), 40))]) +
      call(SEND, [p_text(machine_name(0)), p_text(units([0x1B, 0, 0x0D, 0x0A, 0xFF, 0x80]))]) +
      call(SEND, [p_text(machine_name(0)), p_text(units([0x41, 0x100]))]) +
      call(SEND, [p_text(machine_name(0)), p_text(units([0xD83D, 0xDDA8]))]) +
      call(SEND, [p_text(machine_name(0, 0, 'x')), p_text(cycled(70000, b'^XA\x00\x01\x02Z\xff'))]) +
      call(SEND, [p_text(text('Nowhere')), p_text(text('^XA^XZ'))]) +
      call(SEND, [p_text(machine_name(0)), p_text(empty())]) + call(SEND, [p_text(empty()), p_number(1)]) +
      call(SEND, [p_text(machine_name(0))]) + call(SEND, [p_text(machine_name(0)), p_number(3), p_bool(True)]) +
      call(SEND, [p_text(machine_name(1)), p_number(7)]) +
      call(TO_DEFAULT, []) + call(SET_SYSTEM, [p_text(machine_name(3))]) + call(TO_DEFAULT, []) +
      call(TO_DEFAULT, [p_text(machine_name(0))]))
write('functions_fuzzer', 'raw-data-the-spooler-fails',
      machine([printer(text('Labels'), text('USB001'), text('winspool,USB001'))], default=0,
              spooler_faults=0xE1) +
      call(SEND, [p_text(machine_name(0)), p_text(text('^XA^FDone^FS^XZ'))]) + call(TO_DEFAULT, []) +
      call(SEND, [p_text(machine_name(0)), p_text(cycled(200000, b'abcdefgh'))],
           inject=(9, 1)))
write('functions_fuzzer', 'raw-data-the-queue-rejects',
      machine([printer(text('Labels'), text('USB001'), text('winspool,USB001'))], default=1,
              spooler_faults=0xE2) +
      call(SEND, [p_text(machine_name(0, 1)), p_text(text('^XA^XZ'))]) + call(TO_DEFAULT, []))
# HexData: every kind of blank between pairs (14 a line feed), both letter
# cases, more than a reading chunk whole and one digit short, a blank inside a
# pair, a no-break space (11) and a NUL, blanks (1, 13, 14, 15) alone, a
# number's text form, the wrong counts.
write('functions_fuzzer', 'raw-hex-data',
      STANDARD + call(SEND_HEX, [p_text(machine_name(2, 1)), p_text(repeated('00 01 7f 80 FE FF\x0e', 40))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(cycled(70000, '0a1B2c3D'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(cycled(70001, '0a1B2c3D'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(text('1B 4 0'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(text('1B\x0b40'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(text('1B\x0040'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(text('\x01\x0d\x0e\x0f'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_number(3)]) +
      call(SEND_HEX, [p_text(text('Nowhere')), p_text(text('1B40'))]) +
      call(SEND_HEX, [p_text(machine_name(0))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(cycled(200000, '0123abCD'))], inject=(9, 1)))
write('functions_fuzzer', 'raw-data-in-short-writes',
      machine([printer(text('Labels'), text('USB001'), text('winspool,USB001'))], default=0,
              spooler_faults=0xE8) +
      call(SEND, [p_text(machine_name(0)), p_text(cycled(140000, b'^XA\x01\x02Z\xff\x80'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(cycled(140002, '1D 56 00'))]))
write('functions_fuzzer', 'raw-data-writes-taking-nothing',
      machine([printer(text('Labels'), text('USB001'), text('winspool,USB001'))], default=0,
              spooler_faults=0xE4) +
      call(SEND, [p_text(machine_name(0)), p_text(text('^XA^XZ'))]) +
      call(SEND_HEX, [p_text(machine_name(0)), p_text(text('1D 56 00'))]))

# --- host_failures_fuzzer: selector byte (bit 7 inject; % 4: 0 start-up,
# 1 shutdown, else a probe), then N and the failure byte when injecting (bit 0
# the code; bits 1-3 the run, 7 every time; bit 4 CreateMutexW fails, bit 5 the
# mutex wait), then the probe.
def hf_startup(inject=None):
    return (bytes([0x80, inject[0] - 1, inject[1] - 1]) if inject else b'\x00')


def hf_shutdown(inject=None):
    return (bytes([0x81, inject[0] - 1, inject[1] - 1]) if inject else b'\x01')


def hf_probe(probe, inject=None):
    return (bytes([0x82, inject[0] - 1, inject[1] - 1]) if inject else b'\x02') + bytes([probe])


write('host_failures_fuzzer', 'start-up-failures',
      b''.join(hf_startup((n, 1 + n % 2)) for n in (1, 2, 5, 13, 29, 41, 57, 60)) + hf_probe(2))
write('host_failures_fuzzer', 'function-failures',
      hf_startup() + b''.join(hf_probe(p, (1 + p % 9, 1 + p % 2)) for p in range(14)))
# The functions added after the first fourteen probes (the default printer,
# both raw-data functions, the dialog result, the printer list), each hit by a failure; a
# first start-up failed after creating its services (its last operations).
write('host_failures_fuzzer', 'later-functions-and-late-start-up-failures',
      hf_startup((95, 2)) + b''.join(hf_probe(p, (1 + p % 7, 1 + p % 2)) for p in range(14, 20)))
write('host_failures_fuzzer', 'shutdown-failures',
      hf_startup() + hf_shutdown((1, 1)) + hf_startup() + hf_shutdown((4, 2)) + hf_startup() +
      hf_probe(8) + hf_shutdown((9, 1)))
# Runs of failures and the kernel's mutex faults: CreateMutexW failing in a
# start-up and the mutex wait in a hand-over (N past the operations: no host
# failure); the first row's unregistration failed twice; every operation from
# the third of a call on; the plug-in ID failed twice.
write('host_failures_fuzzer', 'repeated-failures',
      bytes([0x80, 95, 0x10]) + bytes([0x82, 95, 0x20, 8]) + bytes([0x81, 1, 0x03]) + hf_startup() +
      bytes([0x82, 2, 0x0F, 2]) + bytes([0x81, 0, 0x02]))
