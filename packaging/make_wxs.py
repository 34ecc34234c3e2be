#!/usr/bin/env python3
"""Writes the installer source (WiX 3 XML, as wixl reads it) for the shipped folder.

    make_wxs.py <dist folder> <out.wxs>      then, in the dist folder: wixl -a x64 -D Version=...

Every file of the folder is installed with the folder's own layout. Component ids and
GUIDs are derived from each file's path, so that one file keeps its component from one
version to the next, which Windows Installer's reference counting relies on. The
version is left to wixl's -D Version=..., so one source serves every build."""
import os
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Fixed for the life of the product: Windows Installer finds the older installs of
# this product by it and replaces them in place.
UPGRADE_CODE = "7C0F2B1E-5D7A-4E43-9A61-3F0B8C2D9E14"
NAMESPACE = uuid.UUID("2F6A9C4D-1B3E-4F58-8A7D-6C0E5B9A1D23")
MANUFACTURER = "Morva"
PRODUCT = "Phone Book Editor"
EXE = "PhonebookEditor.exe"
# The program's icon is the first icon group of its resources.
ICON_RESOURCE = 211
PROG_ID = "Morva.PhoneBookEditor.PhoneBook"
FILE_TYPES = [".mpb2", ".mpb", ".pb"]
# Public properties that write the machine's defaults of the book's source (under the
# user's own settings and any policy), for msiexec /i ... DIRECTORYURL=... /qn from a
# logon script or a management tool. Only those given are written; an uninstall
# removes them (an upgrade writes what it is given: give them again). (property, value name)
DEFAULTS_KEY = "Software\\Morva\\PhoneBookEditor\\Directory"
MACHINE_DEFAULTS = [
    ("DIRECTORYURL", "Server"),
    ("DIRECTORYBASE", "BaseDN"),
    ("DIRECTORYFILTER", "Filter"),
    ("DIRECTORYSECURITY", "Security"),
    ("LOGINNAME", "User"),
    ("LOGINKIND", "Login"),
    ("MANAGEDGROUP", "Group"),
    ("UPDATEENTRIES", "Update"),
    ("REMOVEENTRIES", "Sync"),
    ("ADOPTENTRIES", "Adopt"),
    ("GROUPATTRIBUTE", "GroupsFrom"),
    ("FIELDMAPPING", "Mapping"),
    ("FOLLOWHOURS", "FollowHours"),
    ("FOLLOWATSTART", "FollowAtStart"),
    ("FOLLOWBOOK", "FollowBook"),
]


def ident(prefix, rel):
    key = "".join(c if c.isalnum() else "_" for c in rel)
    digest = uuid.uuid5(NAMESPACE, prefix + rel).hex[:8]
    return "%s_%s_%s" % (prefix, key[-40:], digest)


def guid(rel):
    return str(uuid.uuid5(NAMESPACE, rel)).upper()


def main():
    dist, out = sys.argv[1], sys.argv[2]
    tree = {}
    for folder, dirs, files in os.walk(dist):
        dirs.sort()
        rel = os.path.relpath(folder, dist)
        rel = "" if rel == "." else rel.replace(os.sep, "/")
        tree[rel] = sorted(files)
    if EXE not in tree.get("", []):
        sys.exit("make_wxs: %s has no %s" % (dist, EXE))

    components = []
    lines = []

    def emit_folder(rel, indent):
        pad = " " * indent
        for name in tree.get(rel, []):
            path = rel + "/" + name if rel else name
            cid = "INSTALLDIR_EXE" if path == EXE else ident("c", path)
            components.append(cid)
            # wixl takes sources relative to the folder it runs in (the shipped folder).
            source = path
            lines.append('%s<Component Id="%s" Guid="%s" Win64="yes">' % (pad, cid, guid(path)))
            fid = "ProgramFile" if path == EXE else ident("f", path)
            lines.append('%s  <File Id="%s" Name=%s Source=%s KeyPath="yes"/>'
                         % (pad, fid, quoteattr(name), quoteattr(source)))
            lines.append("%s</Component>" % pad)
        children = sorted(r for r in tree if r and os.path.dirname(r) == rel)
        for child in children:
            lines.append('%s<Directory Id="%s" Name=%s>' % (pad, ident("d", child), quoteattr(os.path.basename(child))))
            emit_folder(child, indent + 2)
            lines.append("%s</Directory>" % pad)

    emit_folder("", 10)

    exe = "[INSTALLDIR]" + EXE
    registry = [
        # Read by the program when a book is named and no -h is given.
        ("Software\\Morva\\PhoneBookAppHelpPath", "HelpPath", "[INSTALLDIR]help\\en-US\\%s.html"),
        ("Software\\Classes\\" + PROG_ID, None, "Phone book"),
        ("Software\\Classes\\" + PROG_ID + "\\DefaultIcon", None, '"%s",-%d' % (exe, ICON_RESOURCE)),
        ("Software\\Classes\\" + PROG_ID + "\\shell\\open\\command", None, '"%s" -f "%%1"' % exe),
    ] + [("Software\\Classes\\" + ext, None, PROG_ID) for ext in FILE_TYPES]
    reg_lines = []
    for i, (key, name, value) in enumerate(registry):
        attr_name = "" if name is None else " Name=%s" % quoteattr(name)
        reg_lines.append('        <RegistryValue Root="HKLM" Key=%s%s Type="string" Value=%s%s/>'
                         % (quoteattr(key), attr_name, quoteattr(value), ' KeyPath="yes"' if i == 0 else ""))

    # wixl takes no component conditions: every value is written, one not given empty,
    # which the program reads as no default (numbers too are text here).
    components.append("MachineDefaults")
    default_lines = ['      <Component Id="MachineDefaults" Guid="%s" Win64="yes">' % guid("machine defaults")]
    for i, (prop, name) in enumerate(MACHINE_DEFAULTS):
        default_lines.append('        <RegistryValue Root="HKLM" Key=%s Name=%s Type="string" Value="[%s]"%s/>'
                             % (quoteattr(DEFAULTS_KEY), quoteattr(name), prop, ' KeyPath="yes"' if i == 0 else ""))
    default_lines.append("      </Component>")

    wxs = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="{product}" Language="1033" Version="$(var.Version)"
           Manufacturer="{manufacturer}" UpgradeCode="{upgrade}">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
             Manufacturer="{manufacturer}" Description="{product} $(var.Version)"/>
    <Media Id="1" Cabinet="files.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of {product} is already installed."/>
    <Icon Id="ProgramIcon.exe" SourceFile={exe_source}/>
    <Property Id="ARPPRODUCTICON" Value="ProgramIcon.exe"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="ManufacturerFolder" Name="{manufacturer}">
          <Directory Id="INSTALLDIR" Name="{product}">
{files}
          </Directory>
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Component Id="StartMenuShortcut" Guid="{shortcut_guid}" Win64="yes">
          <Shortcut Id="ProgramShortcut" Name="{product}" Description="{product}"
                    Target="[INSTALLDIR]{exe}" WorkingDirectory="INSTALLDIR"
                    Arguments="{arguments}"/>
          <RegistryValue Root="HKLM" Key="Software\\Morva\\PhoneBookEditorSetup" Name="StartMenuShortcut"
                         Type="integer" Value="1" KeyPath="yes"/>
        </Component>
      </Directory>
    </Directory>
    <DirectoryRef Id="ManufacturerFolder">
      <Component Id="Registration" Guid="{registry_guid}" Win64="yes">
{registry}
        <!-- The maker's folder is ours too when we made it; an empty one goes. -->
        <RemoveFolder Id="RemoveManufacturerFolder" On="uninstall"/>
      </Component>
{defaults}
    </DirectoryRef>
    <Feature Id="Complete" Title="{product}" Level="1">
{refs}
    </Feature>
  </Product>
</Wix>
""".format(product=PRODUCT, manufacturer=MANUFACTURER, upgrade=UPGRADE_CODE,
           exe_source=quoteattr(EXE), files="\n".join(lines), exe=EXE,
           shortcut_guid=guid("start menu shortcut"), registry_guid=guid("registration"),
           # The help path is read only when a book is named: the shortcut names the
           # machine's shared book in the public Documents folder, which every user may
           # write and the engine makes on first use. Copies still go to each user's own
           # personal book.
           arguments="-f &quot;[%PUBLIC]\\Documents\\Phone Book.mpb2&quot;",
           registry="\n".join(reg_lines), defaults="\n".join(default_lines),
           refs="\n".join('      <ComponentRef Id="%s"/>' % c for c in components + ["StartMenuShortcut", "Registration"]))
    with open(out, "w", encoding="utf-8") as f:
        f.write(wxs)


if __name__ == "__main__":
    main()
