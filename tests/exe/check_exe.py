#!/usr/bin/python3
"""Checks over the built provider-order.exe and provider-order-check.exe:
what an administrator copies to a Windows machine must start there and do
no more than it says.

    check_exe.py EXE GROUP    GROUP is format, imports, resources or size
"""
import os
import sys
import xml.etree.ElementTree as ET

import pefile

ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll"}
# For each program: its subsystem (2 GUI, 3 console), exactly the registry,
# service and window calls it makes, the execution level its manifest asks
# for, and its size budget. The checker writes one value, Order, with /F
# (the Wine cases count its calls), restarts the spooler with /R, changes
# Remote Registry's start type (and back) with /RR, and can create or
# delete nothing.
PROGRAMS = {
    "provider-order.exe": {
        "subsystem": 2,
        "calls": {
            "advapi32.dll": {"RegOpenKeyExA", "RegEnumKeyExA", "RegSetValueExA", "RegCloseKey"},
            "user32.dll": {"MessageBoxA", "GetMessageA", "TranslateMessage", "DispatchMessageA",
                           "GetParent", "GetWindowLongA", "SendMessageA", "IsDialogMessageA"},
        },
        "level": "requireAdministrator",
        "budget": 19 * 1024,
    },
    "provider-order-check.exe": {
        "subsystem": 3,
        "calls": {
            "advapi32.dll": {"RegConnectRegistryA", "RegOpenKeyExA", "RegEnumKeyExA", "RegQueryValueExA",
                             "RegSetValueExA", "RegCloseKey", "OpenSCManagerA", "OpenServiceA",
                             "QueryServiceStatus", "EnumDependentServicesA", "ControlService", "StartServiceA",
                             "CloseServiceHandle", "QueryServiceConfigA", "ChangeServiceConfigA"},
            "user32.dll": None,
            # The look at the network: connections to TCP port 445, no data sent.
            "ws2_32.dll": {"WSAStartup", "WSAGetLastError", "getaddrinfo", "freeaddrinfo", "socket",
                           "ioctlsocket", "connect", "select", "__WSAFDIsSet", "getsockopt", "setsockopt",
                           "closesocket"},
        },
        "level": "asInvoker",
        "budget": 32 * 1024,
    },
}
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V2 = "{urn:schemas-microsoft-com:asm.v2}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"

failures = []


def program(path):
    return PROGRAMS[os.path.basename(path)]


def check(passed, what):
    print(("ok: " if passed else "FAILED: ") + what)
    if not passed:
        failures.append(what)


def imports(pe):
    table = {}
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        names = {imp.name.decode() for imp in entry.imports if imp.name}
        table.setdefault(entry.dll.decode().lower(), set()).update(names)
    return table


def check_format(pe, path):
    header = pe.OPTIONAL_HEADER
    check(header.Magic == 0x10B, "PE32")
    check(pe.FILE_HEADER.Machine == 0x14C, "Intel 80386")
    subsystem = program(path)["subsystem"]
    check(header.Subsystem == subsystem, "subsystem %d" % subsystem)
    check((header.MajorSubsystemVersion, header.MinorSubsystemVersion) == (5, 1),
          "subsystem version 5.1, so Windows XP loads it")
    check((header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion) == (5, 1),
          "OS version 5.1, like _WIN32_WINNT")
    check(pe.FILE_HEADER.TimeDateStamp == 0, "no link timestamp")


def check_imports(pe, path):
    table = imports(pe)
    allowed = ALLOWED_DLLS | {dll for dll, calls in program(path)["calls"].items() if calls}
    check(set(table) <= allowed, "only %s: %s" % (", ".join(sorted(allowed)), sorted(table)))
    wide = sorted(name for names in table.values() for name in names if name.endswith("W"))
    check(not wide, "no ...W variant: %s" % wide)
    check("SetDefaultDllDirectories" not in table.get("kernel32.dll", ()),
          "SetDefaultDllDirectories looked up, not imported, so that XP and an unpatched 7 start")
    for dll, expected in program(path)["calls"].items():
        check(table.get(dll) == expected, "%s calls exactly %s: %s" % (dll, sorted(expected or ()),
                                                                     sorted(table.get(dll, ()))))


def check_resources(pe, path):
    strings = {}
    fixed = None
    for info in getattr(pe, "FileInfo", [[]])[0]:
        for table in getattr(info, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    if getattr(pe, "VS_FIXEDFILEINFO", None):
        fixed = pe.VS_FIXEDFILEINFO[0]
    name = os.path.basename(path)
    check(strings.get("OriginalFilename") == name, "OriginalFilename " + name)
    check(bool(strings.get("ProductName")) and bool(strings.get("FileDescription")),
          "product name and description")
    version = strings.get("FileVersion", "")
    check(version == strings.get("ProductVersion") and version.count(".") == 2, "one version: %r" % version)
    if fixed is not None:
        numbers = "%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16)
        check(numbers == version, "fixed file version %s matches %r" % (numbers, version))
    else:
        check(False, "a VS_FIXEDFILEINFO")

    manifests = [entry for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries if entry.id == 24]
    ids = [item.id for entry in manifests for item in entry.directory.entries]
    check(ids == [1], "one RT_MANIFEST, id 1: %s" % ids)
    if ids != [1]:
        return
    language = manifests[0].directory.entries[0].directory.entries[0]
    data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
    root = ET.fromstring(data)
    check(root.tag == ASM_V1 + "assembly", "an asm.v1 assembly")
    level = root.find("%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                      % (ASM_V2, ASM_V2, ASM_V2, ASM_V2))
    wanted = program(path)["level"]
    check(level is not None and level.get("level") == wanted and level.get("uiAccess") == "false",
          wanted + ", uiAccess false, in trustInfo of the asm.v2 namespace that XP loads")
    identity = root.find(ASM_V1 + "assemblyIdentity")
    check(identity is not None and identity.get("version", "").startswith(version + "."),
          "assemblyIdentity carries the version")
    found = {entry.get("Id") for entry in root.iter(COMPAT + "supportedOS")}
    check(found == SUPPORTED_OS, "supportedOS Vista to 10/11")
    # XP's manifest parser rejects an element that declares a namespace twice.
    for element in data.decode().split("<")[1:]:
        tag = element.split(">")[0]
        check(tag.count("xmlns=") <= 1, "no namespace declared twice in <%s>" % tag[:40])


def check_size(pe, path):
    size = len(pe.__data__)
    budget = program(path)["budget"]
    check(size <= budget, "%d bytes, budget %d" % (size, budget))


GROUPS = {"format": check_format, "imports": check_imports, "resources": check_resources, "size": check_size}


def main():
    path, group = sys.argv[1], sys.argv[2]
    GROUPS[group](pefile.PE(path), path)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
