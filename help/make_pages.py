#!/usr/bin/env python3
"""Writes the help pages, one per topic, into the folder given. The build writes them
into the shipped help folder; the program opens them through its help path
"<folder>\\%s.html"."""
import html
import os
import sys

STYLE = """body{font-family:'Segoe UI',Tahoma,Arial,sans-serif;font-size:10pt;line-height:1.45;
max-width:44em;margin:1.5em auto;padding:0 1em;color:#1f1f1f}
h1{font-size:15pt;font-weight:600;margin-bottom:.3em}h2{font-size:11pt;margin:1.3em 0 .3em}
table{border-collapse:collapse}td,th{border:1px solid #c8c8c8;padding:.25em .6em;text-align:left;vertical-align:top}
th{background:#f0f0f0}kbd{border:1px solid #aaa;border-radius:3px;padding:0 .3em;background:#f7f7f7;font-family:inherit}
nav{margin-top:2em;padding-top:.6em;border-top:1px solid #ddd;font-size:9pt}"""

TOPICS = [
    ("wi_fax_phonebook", "The phone book window"),
    ("db_new_book_entry", "New entry"),
    ("db_book_entry", "Editing or viewing an entry"),
    ("db_new_book_group", "New group"),
    ("db_book_group", "Editing a group"),
    ("db_add_to_group", "Adding group members"),
    ("db_convert_book", "Converting an older phone book"),
    ("db_import_book", "Importing entries"),
    ("db_export_book", "Exporting entries"),
]


def keys(rows):
    out = ["<h2>Keys</h2>", "<table><tr><th>Key</th><th>What it does</th></tr>"]
    for key, what in rows:
        k = " + ".join("<kbd>%s</kbd>" % html.escape(p) for p in key.split("+"))
        out.append("<tr><td>%s</td><td>%s</td></tr>" % (k, what))
    out.append("</table>")
    return "\n".join(out)


ENTRY_FIELDS = """<h2>Fields</h2>
<table><tr><th>Field</th><th>At most</th><th>Notes</th></tr>
<tr><td>Name</td><td>31 characters</td><td>Required. The characters | [ ] cannot be typed.</td></tr>
<tr><td>Fax number</td><td>46 characters</td><td>Required. Digits and the dialling characters of your language only.</td></tr>
<tr><td>Organization</td><td>59 characters</td><td></td></tr>
<tr><td>Phone number</td><td>46 characters</td><td>Digits and dialling characters.</td></tr>
<tr><td>E-mail address</td><td>59 characters</td><td>An address that does not look valid is questioned when you save.</td></tr>
<tr><td>Mailbox</td><td>3 digits</td><td>1 to 999; other values are corrected when you leave the field.</td></tr>
</table>
<p>The two required fields show a reminder text until you type into them. OK becomes
available only when both hold a real value.</p>"""

ENTRY_KEYS = keys([
    ("Tab", "Moves to the next field."),
    ("Enter", "Saves the entry and closes the dialog (OK)."),
    ("Esc", "Closes the dialog without saving."),
])

BODIES = {
    "wi_fax_phonebook": """<p>The window lists the entries (fax recipients) and the groups of one phone
book file. Groups are shown with their name in square brackets.</p>
<h2>Finding an entry</h2>
<p>Type into the search box above the list: the list shows only the entries and groups that
match what you have typed, and is updated with every character. Empty the box to see
everything again. Click a column heading to sort by that column; click it again to reverse
the order.</p>
<h2>Working with entries</h2>
<ul>
<li><b>New entry</b> and <b>New group</b> create a recipient or a group of recipients.</li>
<li><b>Edit</b> (or a double-click on a row) opens the selected entry or group.</li>
<li><b>Delete</b> removes the selected rows after asking once.</li>
<li>For a phone book you may only read, <b>Copy to personal phone book</b> copies the
selected entries into your own phone book.</li>
</ul>
<h2>Phone book files</h2>
<p>The <b>File</b> button opens a menu: create a new phone book, open another one, save a copy
under a new name, import entries from a text file or export them to one. You can also drop a
phone book file onto the window to open it.</p>
""" + keys([
        ("Ctrl+N", "New phone book"), ("Ctrl+O", "Open phone book"), ("Ctrl+S", "Save phone book as"),
        ("Ctrl+R", "New entry"), ("Ctrl+G", "New group"), ("Ctrl+E", "Edit the selected entry or group"),
        ("Ctrl+D", "Delete the selected rows"), ("F1", "This help"),
    ]),
    "db_new_book_entry": """<p>Enter the details of a new fax recipient and click <b>OK</b> to add it to
the phone book.</p>
""" + ENTRY_FIELDS + """
<p>When the phone book lies on a shared drive, a check box offers to copy the entry into your
personal phone book as well.</p>
""" + ENTRY_KEYS,
    "db_book_entry": """<p>Change the details of the selected recipient and click <b>OK</b> to store
them. A phone book opened for reading only shows the entry without allowing changes.</p>
<p>The arrow buttons step to the previous or next entry of the list (groups are skipped, and
the list wraps around at either end). Changes you made are stored before the dialog moves
on.</p>
""" + ENTRY_FIELDS + ENTRY_KEYS,
    "db_new_book_group": """<p>A group sends one fax to several recipients. Give the group a name (the
characters | [ ] cannot be used) and put together its members:</p>
<ul><li>The entries that were selected in the phone book window when you clicked
<b>New group</b> are already listed as members.</li>
<li><b>Add members</b> opens a list of all entries to choose more from.</li>
<li><b>Remove selected members</b> takes the selected entries out of the group.</li>
<li>A double-click on a member shows its details.</li></ul>
<p><b>OK</b> creates the group; <b>Cancel</b> changes nothing.</p>
""" + keys([("Enter", "Creates the group (OK)."), ("Esc", "Closes the dialog without changes.")]),
    "db_book_group": """<p>Rename the group or change its members. <b>Add members</b> opens a list of all
entries to choose from; <b>Remove selected members</b> takes the selected entries out of
the group. A double-click on a member shows its details. Nothing is written to the phone book
until you click <b>OK</b>; <b>Cancel</b> leaves the group as it was.</p>
""" + keys([("Enter", "Stores the group (OK)."), ("Esc", "Closes the dialog without changes.")]),
    "db_add_to_group": """<p>The upper list shows every entry of the phone book; type into the search box to
narrow it down. Select entries and click <b>Add</b> to put them into the list of chosen
members (an entry is never listed twice). Select chosen members and click <b>Remove</b> to
take them out again. A double-click on a row shows its details.</p>
<p><b>OK</b> makes the chosen entries the group's member list; <b>Cancel</b> changes
nothing.</p>
""" + keys([("Enter", "Takes the chosen members (OK)."), ("Esc", "Closes the list without changes.")]),
    "db_convert_book": """<p>The phone book you opened is stored in an older format that holds at most 1000
entries and groups. The current format holds up to 2500.</p>
<ul><li><b>Yes</b> copies every entry, every group and its members into a new file of the
current format in the same folder, with the same name and the extension <code>.mpb2</code>,
and opens it. The original file is not changed. If a file of that name already exists you are
asked before it is replaced.</li>
<li><b>No</b> opens the older file as it is.</li></ul>
<p>Once a converted file exists beside the older one, the question is not asked again.</p>""",
    "db_import_book": """<p>Adds the entries of a delimited text file (for example a CSV file saved by a
spreadsheet program) to the open phone book.</p>
<ul><li><b>File name</b>: the file to read; <b>Browse</b> lets you pick it.</li>
<li><b>Record delimiter</b>: what ends each entry in the file (usually CR LF); <b>Field
delimiter</b>: what separates the values (usually a comma). Choose <b>Custom</b> to type your
own.</li>
<li><b>Columns</b>: tick the columns the file holds and move them into the order in which they
appear in the file. Name (or first and last name) and fax number are required.</li>
<li><b>Use UTF-8 encoding</b>: tick this for files in UTF-8; otherwise the file is read in
your system's code page.</li></ul>
<p>Entries whose name and fax number are already in the phone book, and entries with values
that cannot be stored, are skipped; a summary tells you how many were imported, skipped or
rejected.</p>""",
    "db_export_book": """<p>Writes the entries of the open phone book to a delimited text file that
spreadsheet and address programs can read. Groups are not exported.</p>
<ul><li><b>File name</b>: the file to write (a missing extension is added); you are asked
before an existing file is replaced.</li>
<li><b>Record delimiter</b> and <b>Field delimiter</b>: what ends each entry and what separates
its values.</li>
<li><b>Columns</b>: tick the columns to write and arrange them in the order you want.</li>
<li><b>Use UTF-8 encoding</b>: writes UTF-8, which keeps every character; otherwise your
system's code page is used.</li></ul>""",
}


def main():
    target = sys.argv[1]
    os.makedirs(target, exist_ok=True)
    nav = " &middot; ".join('<a href="%s.html">%s</a>' % (t, html.escape(title)) for t, title in TOPICS)
    for topic, title in TOPICS:
        page = ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                "<title>%s - Phone book help</title>\n<style>%s</style>\n</head>\n<body>\n<h1>%s</h1>\n%s\n"
                "<nav>%s</nav>\n</body>\n</html>\n") % (html.escape(title), STYLE, html.escape(title), BODIES[topic], nav)
        with open(os.path.join(target, topic + ".html"), "w", encoding="utf-8", newline="\r\n") as f:
            f.write(page)


if __name__ == "__main__":
    main()
