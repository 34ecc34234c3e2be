#!/usr/bin/env python3
"""Writes the help pages, one per topic and language, into <folder>/<language>/ for the
folder given. The build writes them into the shipped help folder; the program opens
them through its help path "<folder>\\<language>\\%s.html", and in its own language
where that language's page exists."""
import html
import os
import sys

STYLE = """body{font-family:'Segoe UI',Tahoma,Arial,sans-serif;font-size:10pt;line-height:1.45;
max-width:44em;margin:1.5em auto;padding:0 1em;color:#1f1f1f}
h1{font-size:15pt;font-weight:600;margin-bottom:.3em}h2{font-size:11pt;margin:1.3em 0 .3em}
table{border-collapse:collapse}td,th{border:1px solid #c8c8c8;padding:.25em .6em;text-align:left;vertical-align:top}
[dir=rtl] td,[dir=rtl] th{text-align:right}
th{background:#f0f0f0}kbd{border:1px solid #aaa;border-radius:3px;padding:0 .3em;background:#f7f7f7;font-family:inherit}
nav{margin-top:2em;padding-top:.6em;border-top:1px solid #ddd;font-size:9pt}"""

TOPICS = ["wi_fax_phonebook", "db_new_book_entry", "db_book_entry", "db_new_book_group", "db_book_group",
          "db_add_to_group", "db_convert_book", "db_import_book", "db_export_book", "db_directory",
          "db_duplicates", "db_print", "db_address_book"]


def keys(language, rows):
    """A table of keys; key names stay left to right in every language."""
    out = ["<h2>%s</h2>" % language["keys"],
           "<table><tr><th>%s</th><th>%s</th></tr>" % (language["key"], language["what"])]
    for key, what in rows:
        k = " + ".join("<kbd>%s</kbd>" % html.escape(p) for p in key.split("+"))
        out.append('<tr><td><span dir="ltr">%s</span></td><td>%s</td></tr>' % (k, what))
    out.append("</table>")
    return "\n".join(out)


# ---------------------------------------------------------------- English (United States)

EN = {"lang": "en-US", "dir": "ltr", "site": "Phone book help", "keys": "Keys", "key": "Key", "what": "What it does"}
EN["titles"] = {
    "wi_fax_phonebook": "The phone book window",
    "db_new_book_entry": "New entry",
    "db_book_entry": "Editing or viewing an entry",
    "db_new_book_group": "New group",
    "db_book_group": "Editing a group",
    "db_add_to_group": "Adding group members",
    "db_convert_book": "Converting an older phone book",
    "db_import_book": "Importing entries",
    "db_export_book": "Exporting entries",
    "db_directory": "Entries from the directory",
    "db_duplicates": "Entries that share a fax number",
    "db_print": "Printing the phone list",
}

EN_FIELDS = """<h2>Fields</h2>
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

EN_ENTRY_KEYS = keys(EN, [
    ("Tab", "Moves to the next field."),
    ("Enter", "Saves the entry and closes the dialog (OK)."),
    ("Esc", "Closes the dialog without saving."),
])

EN["bodies"] = {
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
""" + keys(EN, [
        ("Ctrl+N", "New phone book"), ("Ctrl+O", "Open phone book"), ("Ctrl+S", "Save phone book as"),
        ("Ctrl+R", "New entry"), ("Ctrl+G", "New group"), ("Ctrl+E", "Edit the selected entry or group"),
        ("Ctrl+D", "Delete the selected rows"), ("Ctrl+P", "Print the phone list"), ("F1", "This help"),
    ]),
    "db_new_book_entry": """<p>Enter the details of a new fax recipient and click <b>OK</b> to add it to
the phone book.</p>
""" + EN_FIELDS + """
<p>When the phone book lies on a shared drive, a check box offers to copy the entry into your
personal phone book as well.</p>
""" + EN_ENTRY_KEYS,
    "db_book_entry": """<p>Change the details of the selected recipient and click <b>OK</b> to store
them. A phone book opened for reading only shows the entry without allowing changes.</p>
<p>The arrow buttons step to the previous or next entry of the list (groups are skipped, and
the list wraps around at either end). Changes you made are stored before the dialog moves
on.</p>
""" + EN_FIELDS + EN_ENTRY_KEYS,
    "db_new_book_group": """<p>A group sends one fax to several recipients. Give the group a name (the
characters | [ ] cannot be used) and put together its members:</p>
<ul><li>The entries that were selected in the phone book window when you clicked
<b>New group</b> are already listed as members.</li>
<li><b>Add members</b> opens a list of all entries to choose more from.</li>
<li><b>Remove selected members</b> takes the selected entries out of the group.</li>
<li>A double-click on a member shows its details.</li></ul>
<p><b>OK</b> creates the group; <b>Cancel</b> changes nothing.</p>
""" + keys(EN, [("Enter", "Creates the group (OK)."), ("Esc", "Closes the dialog without changes.")]),
    "db_book_group": """<p>Rename the group or change its members. <b>Add members</b> opens a list of all
entries to choose from; <b>Remove selected members</b> takes the selected entries out of
the group. A double-click on a member shows its details. Nothing is written to the phone book
until you click <b>OK</b>; <b>Cancel</b> leaves the group as it was.</p>
""" + keys(EN, [("Enter", "Stores the group (OK)."), ("Esc", "Closes the dialog without changes.")]),
    "db_add_to_group": """<p>The upper list shows the entries of the phone book; type into the search box to
narrow it down. It starts with the search last typed in the phone book window, shown in the
box. Select entries and click <b>Add</b> to put them into the list of chosen members (an
entry is never listed twice). Select chosen members and click <b>Remove</b> to take them out
again. A double-click on a row shows its details.</p>
<p><b>OK</b> makes the chosen entries the group's member list; <b>Cancel</b> changes
nothing.</p>
""" + keys(EN, [("Enter", "Takes the chosen members (OK)."), ("Esc", "Closes the list without changes.")]),
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
appear in the file. Name (or first and last name) and fax number are required. When the
file's first line names its columns, the entries are read by those names instead.</li>
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
<li><b>Columns</b>: tick the columns to write and arrange them in the order you want.
<b>First line names the columns</b> writes their names above the entries.</li>
<li><b>Use UTF-8 encoding</b>: writes UTF-8, which keeps every character; otherwise your
system's code page is used.</li></ul>""",
    "db_directory": """<p>Reads the people with a fax number from your office's directory (Active
Directory or another LDAP directory) into the open phone book. Each fax number of a person
becomes an entry. The <b>Kind</b> <b>Directory (LDAP)</b> shows the fields below; for an address
book on a CardDAV server, see <a href="db_address_book.html">its page</a>.</p>
<ul><li><b>Server</b>: the directory server's name, with the <b>Base DN</b> below which to
search (for example <span dir="ltr">dc=example,dc=org</span>), or a whole LDAP URL such as
<span dir="ltr">ldaps://dc1.example.org/dc=example,dc=org</span>.</li>
<li><b>Filter</b>: which entries to read; by default everyone with a fax number.</li>
<li><b>Security</b>: StartTLS or LDAPS protect the password and the data on the way.</li>
<li><b>Anonymous</b> or <b>Log in as</b> a user with a <b>Password</b>. <b>Remember the
password</b> keeps it encrypted for you on this computer.</li>
<li><b>Managed group</b>: the entries from the directory join this group. An entry that
someone made by hand stays out of it and is left alone, unless <b>Also take in entries made
by hand that the directory names</b> is on.</li>
<li><b>Update entries that are already in the book</b>: changes reach the entries in place,
which keep their groups. <b>Remove the group's entries the directory no longer gives</b>
makes the book follow the directory; you see how many entries would be added, updated and
removed before anything changes.</li>
<li><b>Test</b> connects, logs in and counts the entries with a fax number.</li></ul>""",
    "db_duplicates": """<p><b>Duplicates</b> in the <b>File</b> menu lists the entries whose fax numbers
lead to the same fax line, however they were written: <span dir="ltr">+49 30 1234567</span>,
<span dir="ltr">0049 30 1234567</span> and, in Germany, <span dir="ltr">030 1234567</span>
are one line. Each line heads its entries, with their numbers as stored and their groups.
Numbers without a country code are compared only when Windows knows your country or region
(Settings, Time and language, Region).</p>
<p>Select the entry to keep and click <b>Merge</b>: after you confirm, the other entries of
that line are removed, and the entry you kept joins every group they were in. All of it is
stored at once, or nothing is. The list is read again afterwards.</p>
<p>The entry dialog also names the entries that have the fax number you type, and the group
dialog names members that share one fax line.</p>
""" + keys(EN, [("Down", "Selects the next entry (Up: the one before)."), ("Alt+M", "Merges its line (Merge)."),
                ("Esc", "Closes the dialog.")]),
    "db_print": """<p><b>Print</b> in the <b>File</b> menu (<kbd>Ctrl</kbd>+<kbd>P</kbd>) prints the
phone list. First choose what goes on the pages:</p>
<ul><li><b>Entries shown in the list</b>: the entries the list shows now; what you typed into
the search box narrows them as it narrows the list. <b>Members of the selected groups</b>:
the members of the groups you selected in the list, whatever the search.</li>
<li><b>Columns</b>: any of name, fax number, organization, phone number, e-mail address,
mailbox and groups (the groups an entry is in).</li>
<li><b>One section per group</b>: each group's members under its name; entries in no group
come last.</li></ul>
<p>The entries are printed in the list's order. Your choices are kept for the next time.
<b>Preview</b> shows the pages as they will print, one at a time: <b>Next</b> and
<b>Previous</b> turn the pages, <b>Zoom in</b> and <b>Zoom out</b> change the size, and
<b>Print</b> goes on to the printer. <b>Print</b> opens the usual print dialog, where you
choose the printer; a long list shows its progress, and <b>Cancel</b> stops it.</p>
<p>Each page has the phone book's name and the date at the top and its number at the foot.
Columns share the page's width: long texts end in "&hellip;", fax and phone numbers are
always printed whole, and no entry is split between two pages. In Hebrew the page reads
from right to left; numbers and addresses still read from left to right.</p>
<p>From a script, <span dir="ltr"><code>pbtool print</code></span> prints the same list
without a dialog, or writes the pages as pictures.</p>
""" + keys(EN, [("Ctrl+P", "Opens this dialog from the phone book window."), ("Alt+V", "Preview."),
                ("Page Down", "In the preview: the next page (Page Up: the one before)."),
                ("+", "In the preview: larger (-: smaller)."), ("Esc", "Closes the dialog.")]),
}

# ---------------------------------------------------------------- German (Germany)

DE = {"lang": "de-DE", "dir": "ltr", "site": "Hilfe zum Telefonbuch", "keys": "Tasten", "key": "Taste",
      "what": "Wirkung"}
DE["titles"] = {
    "wi_fax_phonebook": "Das Telefonbuchfenster",
    "db_new_book_entry": "Neuer Eintrag",
    "db_book_entry": "Eintrag bearbeiten oder ansehen",
    "db_new_book_group": "Neue Gruppe",
    "db_book_group": "Gruppe bearbeiten",
    "db_add_to_group": "Gruppenmitglieder hinzufügen",
    "db_convert_book": "Älteres Telefonbuch konvertieren",
    "db_import_book": "Einträge importieren",
    "db_export_book": "Einträge exportieren",
    "db_directory": "Einträge aus dem Verzeichnis",
    "db_duplicates": "Einträge mit gemeinsamer Faxnummer",
    "db_print": "Telefonliste drucken",
}

DE_FIELDS = """<h2>Felder</h2>
<table><tr><th>Feld</th><th>Höchstens</th><th>Hinweise</th></tr>
<tr><td>Name</td><td>31 Zeichen</td><td>Erforderlich. Die Zeichen | [ ] können nicht eingegeben werden.</td></tr>
<tr><td>Faxnummer</td><td>46 Zeichen</td><td>Erforderlich. Nur Ziffern und die Wählzeichen Ihrer Sprache.</td></tr>
<tr><td>Organisation</td><td>59 Zeichen</td><td></td></tr>
<tr><td>Telefonnummer</td><td>46 Zeichen</td><td>Ziffern und Wählzeichen.</td></tr>
<tr><td>E-Mail-Adresse</td><td>59 Zeichen</td><td>Eine Adresse, die ungültig aussieht, wird beim Speichern nachgefragt.</td></tr>
<tr><td>Postfach</td><td>3 Ziffern</td><td>1 bis 999; andere Werte werden beim Verlassen des Feldes berichtigt.</td></tr>
</table>
<p>Die beiden erforderlichen Felder zeigen einen Hinweistext, bis Sie etwas eingeben. OK
ist erst verfügbar, wenn beide einen echten Wert enthalten.</p>"""

DE_ENTRY_KEYS = keys(DE, [
    ("Tab", "Wechselt zum nächsten Feld."),
    ("Eingabe", "Speichert den Eintrag und schließt das Dialogfeld (OK)."),
    ("Esc", "Schließt das Dialogfeld, ohne zu speichern."),
])

DE["bodies"] = {
    "wi_fax_phonebook": """<p>Das Fenster listet die Einträge (Faxempfänger) und die Gruppen einer
Telefonbuchdatei auf. Gruppen werden mit ihrem Namen in eckigen Klammern angezeigt.</p>
<h2>Einen Eintrag finden</h2>
<p>Geben Sie etwas in das Suchfeld über der Liste ein: Die Liste zeigt dann nur die Einträge
und Gruppen, die zu Ihrer Eingabe passen, und wird bei jedem Zeichen aktualisiert. Leeren Sie
das Feld, um wieder alles zu sehen. Klicken Sie auf eine Spaltenüberschrift, um nach dieser
Spalte zu sortieren; ein weiterer Klick kehrt die Reihenfolge um.</p>
<h2>Mit Einträgen arbeiten</h2>
<ul>
<li><b>Neuer Eintrag</b> und <b>Neue Gruppe</b> legen einen Empfänger oder eine Gruppe von
Empfängern an.</li>
<li><b>Bearbeiten</b> (oder ein Doppelklick auf eine Zeile) öffnet den ausgewählten Eintrag
oder die ausgewählte Gruppe.</li>
<li><b>Löschen</b> entfernt die ausgewählten Zeilen nach einer einzigen Rückfrage.</li>
<li>Bei einem Telefonbuch, das Sie nur lesen dürfen, kopiert <b>In persönliches Telefonbuch
kopieren</b> die ausgewählten Einträge in Ihr eigenes Telefonbuch.</li>
</ul>
<h2>Telefonbuchdateien</h2>
<p>Die Schaltfläche <b>Datei</b> öffnet ein Menü: ein neues Telefonbuch anlegen, ein anderes
öffnen, eine Kopie unter neuem Namen speichern, Einträge aus einer Textdatei importieren oder
in eine Textdatei exportieren. Sie können eine Telefonbuchdatei auch auf das Fenster ziehen,
um sie zu öffnen.</p>
""" + keys(DE, [
        ("Strg+N", "Neues Telefonbuch"), ("Strg+O", "Telefonbuch öffnen"), ("Strg+S", "Telefonbuch speichern unter"),
        ("Strg+R", "Neuer Eintrag"), ("Strg+G", "Neue Gruppe"),
        ("Strg+E", "Ausgewählten Eintrag oder ausgewählte Gruppe bearbeiten"),
        ("Strg+D", "Ausgewählte Zeilen löschen"), ("F1", "Diese Hilfe"),
    ]),
    "db_new_book_entry": """<p>Geben Sie die Angaben zu einem neuen Faxempfänger ein und klicken Sie auf
<b>OK</b>, um ihn in das Telefonbuch aufzunehmen.</p>
""" + DE_FIELDS + """
<p>Liegt das Telefonbuch auf einem freigegebenen Laufwerk, bietet ein Kontrollkästchen an, den
Eintrag zusätzlich in Ihr persönliches Telefonbuch zu kopieren.</p>
""" + DE_ENTRY_KEYS,
    "db_book_entry": """<p>Ändern Sie die Angaben zum ausgewählten Empfänger und klicken Sie auf
<b>OK</b>, um sie zu speichern. Bei einem schreibgeschützt geöffneten Telefonbuch wird der
Eintrag nur angezeigt und kann nicht geändert werden.</p>
<p>Mit den Pfeilschaltflächen gelangen Sie zum vorherigen oder nächsten Eintrag der Liste
(Gruppen werden übersprungen, und an beiden Enden geht es am anderen Ende weiter). Ihre
Änderungen werden gespeichert, bevor das Dialogfeld weitergeht.</p>
""" + DE_FIELDS + DE_ENTRY_KEYS,
    "db_new_book_group": """<p>Über eine Gruppe geht ein Fax an mehrere Empfänger. Geben Sie der Gruppe
einen Namen (die Zeichen | [ ] sind nicht erlaubt) und stellen Sie ihre Mitglieder zusammen:</p>
<ul><li>Die Einträge, die im Telefonbuchfenster ausgewählt waren, als Sie auf <b>Neue
Gruppe</b> geklickt haben, sind bereits als Mitglieder aufgeführt.</li>
<li><b>Mitglieder hinzufügen</b> öffnet eine Liste aller Einträge, aus der Sie weitere
auswählen können.</li>
<li><b>Ausgewählte Mitglieder entfernen</b> nimmt die ausgewählten Einträge aus der Gruppe.</li>
<li>Ein Doppelklick auf ein Mitglied zeigt seine Angaben.</li></ul>
<p><b>OK</b> legt die Gruppe an; <b>Abbrechen</b> ändert nichts.</p>
""" + keys(DE, [("Eingabe", "Legt die Gruppe an (OK)."), ("Esc", "Schließt das Dialogfeld ohne Änderungen.")]),
    "db_book_group": """<p>Benennen Sie die Gruppe um oder ändern Sie ihre Mitglieder. <b>Mitglieder
hinzufügen</b> öffnet eine Liste aller Einträge zur Auswahl; <b>Ausgewählte Mitglieder
entfernen</b> nimmt die ausgewählten Einträge aus der Gruppe. Ein Doppelklick auf ein Mitglied
zeigt seine Angaben. In das Telefonbuch wird erst geschrieben, wenn Sie auf <b>OK</b> klicken;
<b>Abbrechen</b> lässt die Gruppe, wie sie war.</p>
""" + keys(DE, [("Eingabe", "Speichert die Gruppe (OK)."), ("Esc", "Schließt das Dialogfeld ohne Änderungen.")]),
    "db_add_to_group": """<p>Die obere Liste zeigt die Einträge des Telefonbuchs; geben Sie etwas in das
Suchfeld ein, um sie einzugrenzen. Sie beginnt mit der Suche, die zuletzt im
Telefonbuchfenster eingegeben wurde; diese steht im Suchfeld. Wählen Sie Einträge aus und
klicken Sie auf <b>Hinzufügen</b>, um sie in die Liste der gewählten Mitglieder zu übernehmen
(kein Eintrag erscheint dort zweimal). Wählen Sie gewählte Mitglieder aus und klicken Sie auf
<b>Entfernen</b>, um sie wieder herauszunehmen. Ein Doppelklick auf eine Zeile zeigt ihre
Angaben.</p>
<p><b>OK</b> macht die gewählten Einträge zur Mitgliederliste der Gruppe; <b>Abbrechen</b>
ändert nichts.</p>
""" + keys(DE, [("Eingabe", "Übernimmt die gewählten Mitglieder (OK)."),
                ("Esc", "Schließt die Liste ohne Änderungen.")]),
    "db_convert_book": """<p>Das geöffnete Telefonbuch liegt in einem älteren Format vor, das höchstens
1000 Einträge und Gruppen aufnehmen kann. Das aktuelle Format nimmt bis zu 2500 auf.</p>
<ul><li><b>Ja</b> kopiert alle Einträge, alle Gruppen und ihre Mitglieder in eine neue Datei
im aktuellen Format im selben Ordner, mit demselben Namen und der Erweiterung
<code>.mpb2</code>, und öffnet sie. Die ursprüngliche Datei bleibt unverändert. Gibt es
bereits eine Datei dieses Namens, werden Sie gefragt, bevor sie ersetzt wird.</li>
<li><b>Nein</b> öffnet die ältere Datei, wie sie ist.</li></ul>
<p>Sobald neben der älteren Datei eine konvertierte liegt, wird die Frage nicht mehr
gestellt.</p>""",
    "db_import_book": """<p>Fügt die Einträge einer Textdatei mit Trennzeichen (zum Beispiel einer
CSV-Datei aus einem Tabellenkalkulationsprogramm) zum geöffneten Telefonbuch hinzu.</p>
<ul><li><b>Dateiname</b>: die zu lesende Datei; mit <b>Durchsuchen</b> können Sie sie
auswählen.</li>
<li><b>Datensatztrennzeichen</b>: was in der Datei jeden Eintrag abschließt (meist CR LF);
<b>Feldtrennzeichen</b>: was die Werte trennt (meist ein Komma). Wählen Sie
<b>Benutzerdefiniert</b>, um ein eigenes einzugeben.</li>
<li><b>Spalten</b>: Kreuzen Sie die Spalten an, die die Datei enthält, und bringen Sie sie in
die Reihenfolge, in der sie in der Datei stehen. Name (oder Vor- und Nachname) und Faxnummer
sind erforderlich. Benennt die erste Zeile der Datei ihre Spalten, werden die Einträge
stattdessen nach diesen Namen gelesen.</li>
<li><b>UTF-8-Codierung verwenden</b>: Kreuzen Sie dies bei Dateien in UTF-8 an; sonst wird
die Datei in der Codepage Ihres Systems gelesen.</li></ul>
<p>Einträge, deren Name und Faxnummer bereits im Telefonbuch stehen, und Einträge mit Werten,
die nicht gespeichert werden können, werden übersprungen; eine Zusammenfassung nennt, wie viele
importiert, übersprungen oder abgelehnt wurden.</p>""",
    "db_export_book": """<p>Schreibt die Einträge des geöffneten Telefonbuchs in eine Textdatei mit
Trennzeichen, die Tabellenkalkulations- und Adressprogramme lesen können. Gruppen werden nicht
exportiert.</p>
<ul><li><b>Dateiname</b>: die zu schreibende Datei (eine fehlende Erweiterung wird ergänzt);
bevor eine vorhandene Datei ersetzt wird, werden Sie gefragt.</li>
<li><b>Datensatztrennzeichen</b> und <b>Feldtrennzeichen</b>: was jeden Eintrag abschließt
und was seine Werte trennt.</li>
<li><b>Spalten</b>: Kreuzen Sie die zu schreibenden Spalten an und ordnen Sie sie in der
gewünschten Reihenfolge an. <b>Erste Zeile benennt die Spalten</b> schreibt ihre Namen über
die Einträge.</li>
<li><b>UTF-8-Codierung verwenden</b>: schreibt UTF-8, das jedes Zeichen erhält; sonst wird
die Codepage Ihres Systems verwendet.</li></ul>""",
    "db_directory": """<p>Liest die Personen mit Faxnummer aus dem Verzeichnis Ihres Büros (Active
Directory oder ein anderes LDAP-Verzeichnis) in das geöffnete Telefonbuch. Jede Faxnummer
einer Person wird ein Eintrag. Die <b>Art der Quelle</b> <b>Verzeichnis (LDAP)</b> zeigt die
Felder unten; für ein Adressbuch auf einem CardDAV-Server siehe <a href="db_address_book.html">seine
Seite</a>.</p>
<ul><li><b>Server</b>: der Name des Verzeichnisservers mit dem <b>Basis-DN</b>, unter dem
gesucht wird (etwa <span dir="ltr">dc=example,dc=org</span>), oder eine ganze LDAP-URL wie
<span dir="ltr">ldaps://dc1.example.org/dc=example,dc=org</span>.</li>
<li><b>Filter</b>: welche Einträge gelesen werden; sonst alle mit Faxnummer.</li>
<li><b>Sicherheit</b>: StartTLS oder LDAPS schützen Kennwort und Daten unterwegs.</li>
<li><b>Anonym</b> oder <b>Anmelden als</b> Benutzer mit <b>Kennwort</b>. <b>Kennwort
merken</b> bewahrt es für Sie verschlüsselt auf diesem Computer auf.</li>
<li><b>Verwaltete Gruppe</b>: die Einträge aus dem Verzeichnis kommen in diese Gruppe. Ein
von Hand angelegter Eintrag bleibt außerhalb und unverändert, außer <b>Auch von Hand angelegte
Einträge übernehmen, die das Verzeichnis nennt</b> ist eingeschaltet.</li>
<li><b>Einträge aktualisieren, die schon im Buch sind</b>: Änderungen erreichen die Einträge
an Ort und Stelle, die ihre Gruppen behalten. <b>Einträge der Gruppe entfernen, die das
Verzeichnis nicht mehr liefert</b> lässt das Buch dem Verzeichnis folgen; Sie sehen vorher,
wie viele Einträge hinzukämen, aktualisiert und entfernt würden.</li>
<li><b>Testen</b> verbindet, meldet an und zählt die Einträge mit Faxnummer.</li></ul>""",
    "db_duplicates": """<p><b>Doppelte Einträge</b> im Menü <b>Datei</b> zeigt die Einträge, deren
Faxnummern zum selben Faxanschluss führen, wie auch immer sie geschrieben sind:
<span dir="ltr">+49 30 1234567</span>, <span dir="ltr">0049 30 1234567</span> und, in
Deutschland, <span dir="ltr">030 1234567</span> sind ein Anschluss. Jeder Anschluss steht über
seinen Einträgen, mit ihren Nummern, wie sie gespeichert sind, und ihren Gruppen. Nummern ohne
Landesvorwahl werden nur verglichen, wenn Windows Ihr Land oder Ihre Region kennt
(Einstellungen, Zeit und Sprache, Region).</p>
<p>Wählen Sie den Eintrag, der bleiben soll, und klicken Sie auf <b>Zusammenführen</b>: nach
Ihrer Bestätigung werden die anderen Einträge dieses Anschlusses entfernt, und der verbleibende
Eintrag kommt in jede ihrer Gruppen. Alles wird auf einmal gespeichert oder gar nichts. Danach
wird die Liste neu gelesen.</p>
<p>Auch das Eintragsdialogfeld nennt die Einträge mit der eingegebenen Faxnummer, und das
Gruppendialogfeld nennt Mitglieder mit gemeinsamem Faxanschluss.</p>
""" + keys(DE, [("Nach unten", "Wählt den nächsten Eintrag (Nach oben: den vorigen)."),
                ("Alt+Z", "Führt seinen Anschluss zusammen (Zusammenführen)."), ("Esc", "Schließt das Dialogfeld.")]),
    "db_print": """<p><b>Drucken</b> im Menü <b>Datei</b> (<kbd>Strg</kbd>+<kbd>P</kbd>) druckt die
Telefonliste. Wählen Sie zuerst, was auf die Seiten kommt:</p>
<ul><li><b>In der Liste angezeigte Einträge</b>: die Einträge, die die Liste gerade zeigt;
ein Suchbegriff im Suchfeld schränkt sie ein wie die Liste. <b>Mitglieder der markierten
Gruppen</b>: die Mitglieder der Gruppen, die Sie in der Liste markiert haben, unabhängig von
der Suche.</li>
<li><b>Spalten</b>: beliebige aus Name, Faxnummer, Organisation, Telefonnummer,
E-Mail-Adresse, Postfach und Gruppen (die Gruppen eines Eintrags).</li>
<li><b>Ein Abschnitt je Gruppe</b>: die Mitglieder jeder Gruppe unter ihrem Namen; Einträge
ohne Gruppe folgen am Schluss.</li></ul>
<p>Die Einträge werden in der Reihenfolge der Liste gedruckt. Ihre Auswahl bleibt für das
nächste Mal erhalten. <b>Seitenansicht</b> zeigt die Seiten so, wie sie gedruckt werden,
eine nach der anderen: <b>Weiter</b> und <b>Zurück</b> blättern, <b>Vergrößern</b> und
<b>Verkleinern</b> ändern die Größe, und <b>Drucken</b> geht weiter zum Drucker.
<b>Drucken</b> öffnet das übliche Druckdialogfeld, in dem Sie den Drucker wählen; eine lange
Liste zeigt ihren Fortschritt, und <b>Abbrechen</b> beendet den Druck.</p>
<p>Jede Seite trägt oben den Namen des Telefonbuchs und das Datum, unten ihre Nummer. Die
Spalten teilen sich die Seitenbreite: Lange Texte enden mit "&hellip;", Fax- und
Telefonnummern werden immer vollständig gedruckt, und kein Eintrag wird auf zwei Seiten
geteilt. Auf Hebräisch liest sich die Seite von rechts nach links; Nummern und Adressen
bleiben von links nach rechts.</p>
<p>In Skripten druckt <span dir="ltr"><code>pbtool print</code></span> dieselbe Liste ohne
Dialogfeld oder schreibt die Seiten als Bilder.</p>
""" + keys(DE, [("Strg+P", "Öffnet dieses Dialogfeld im Telefonbuchfenster."), ("Alt+S", "Seitenansicht."),
                ("Bild ab", "In der Seitenansicht: nächste Seite (Bild auf: vorige)."),
                ("+", "In der Seitenansicht: größer (-: kleiner)."), ("Esc", "Schließt das Dialogfeld.")]),
}

# ---------------------------------------------------------------- Hebrew (Israel), right to left

HE = {"lang": "he-IL", "dir": "rtl", "site": "עזרה לספר הטלפונים", "keys": "מקשים", "key": "מקש",
      "what": "פעולה"}
HE["titles"] = {
    "wi_fax_phonebook": "חלון ספר הטלפונים",
    "db_new_book_entry": "רשומה חדשה",
    "db_book_entry": "עריכה או הצגה של רשומה",
    "db_new_book_group": "קבוצה חדשה",
    "db_book_group": "עריכת קבוצה",
    "db_add_to_group": "הוספת חברים לקבוצה",
    "db_convert_book": "המרת ספר טלפונים ישן",
    "db_import_book": "ייבוא רשומות",
    "db_export_book": "ייצוא רשומות",
    "db_directory": "רשומות מהמדריך",
    "db_duplicates": "רשומות החולקות מספר פקס",
    "db_print": "הדפסת רשימת הטלפונים",
}

HE_FIELDS = """<h2>שדות</h2>
<table><tr><th>שדה</th><th>לכל היותר</th><th>הערות</th></tr>
<tr><td>שם</td><td>31 תווים</td><td>חובה. לא ניתן להקליד את התווים <span dir="ltr">| [ ]</span>.</td></tr>
<tr><td>מספר פקס</td><td>46 תווים</td><td>חובה. ספרות ותווי החיוג של השפה שלך בלבד.</td></tr>
<tr><td>ארגון</td><td>59 תווים</td><td></td></tr>
<tr><td>מספר טלפון</td><td>46 תווים</td><td>ספרות ותווי חיוג.</td></tr>
<tr><td>כתובת דואר אלקטרוני</td><td>59 תווים</td><td>על כתובת שאינה נראית תקינה תישאל בעת השמירה.</td></tr>
<tr><td>תיבת דואר</td><td>3 ספרות</td><td>1 עד 999; ערכים אחרים מתוקנים כשיוצאים מהשדה.</td></tr>
</table>
<p>שני שדות החובה מציגים טקסט תזכורת עד שמקלידים בהם. הלחצן אישור זמין רק כאשר בשניהם
יש ערך של ממש.</p>"""

HE_ENTRY_KEYS = keys(HE, [
    ("Tab", "מעבר לשדה הבא."),
    ("Enter", "שמירת הרשומה וסגירת תיבת הדו-שיח (אישור)."),
    ("Esc", "סגירת תיבת הדו-שיח ללא שמירה."),
])

HE["bodies"] = {
    "wi_fax_phonebook": """<p>החלון מציג את הרשומות (נמעני הפקס) ואת הקבוצות של קובץ ספר טלפונים
אחד. קבוצות מוצגות כששמן בסוגריים מרובעים.</p>
<h2>חיפוש רשומה</h2>
<p>הקלד בתיבת החיפוש שמעל הרשימה: הרשימה תציג רק את הרשומות והקבוצות המתאימות למה שהקלדת,
ותתעדכן עם כל תו. רוקן את התיבה כדי לראות שוב הכול. לחץ על כותרת עמודה כדי למיין לפיה;
לחיצה נוספת הופכת את הסדר.</p>
<h2>עבודה עם רשומות</h2>
<ul>
<li><b>רשומה חדשה</b> ו<b>קבוצה חדשה</b> יוצרות נמען או קבוצת נמענים.</li>
<li><b>עריכה</b> (או לחיצה כפולה על שורה) פותחת את הרשומה או הקבוצה שנבחרה.</li>
<li><b>מחיקה</b> מסירה את השורות שנבחרו לאחר שאלה אחת.</li>
<li>בספר טלפונים שמותר לך רק לקרוא, <b>העתקה לספר הטלפונים האישי</b> מעתיקה את הרשומות
שנבחרו לספר הטלפונים שלך.</li>
</ul>
<h2>קובצי ספר טלפונים</h2>
<p>הלחצן <b>קובץ</b> פותח תפריט: יצירת ספר טלפונים חדש, פתיחת ספר אחר, שמירת עותק בשם חדש,
ייבוא רשומות מקובץ טקסט או ייצוא רשומות אליו. אפשר גם לגרור קובץ ספר טלפונים אל החלון
כדי לפתוח אותו.</p>
""" + keys(HE, [
        ("Ctrl+N", "ספר טלפונים חדש"), ("Ctrl+O", "פתיחת ספר טלפונים"), ("Ctrl+S", "שמירת ספר הטלפונים בשם"),
        ("Ctrl+R", "רשומה חדשה"), ("Ctrl+G", "קבוצה חדשה"), ("Ctrl+E", "עריכת הרשומה או הקבוצה שנבחרה"),
        ("Ctrl+D", "מחיקת השורות שנבחרו"), ("Ctrl+P", "הדפסת רשימת הטלפונים"), ("F1", "עזרה זו"),
    ]),
    "db_new_book_entry": """<p>הזן את פרטי נמען הפקס החדש ולחץ על <b>אישור</b> כדי להוסיף אותו לספר
הטלפונים.</p>
""" + HE_FIELDS + """
<p>כאשר ספר הטלפונים נמצא בכונן משותף, תיבת סימון מציעה להעתיק את הרשומה גם לספר הטלפונים
האישי שלך.</p>
""" + HE_ENTRY_KEYS,
    "db_book_entry": """<p>שנה את פרטי הנמען שנבחר ולחץ על <b>אישור</b> כדי לשמור אותם. בספר טלפונים
שנפתח לקריאה בלבד הרשומה מוצגת בלי אפשרות לשנות אותה.</p>
<p>לחצני החצים עוברים לרשומה הקודמת או הבאה ברשימה (קבוצות מדולגות, ובשני קצות הרשימה
ממשיכים מהקצה השני). השינויים שעשית נשמרים לפני המעבר.</p>
""" + HE_FIELDS + HE_ENTRY_KEYS,
    "db_new_book_group": """<p>קבוצה שולחת פקס אחד לכמה נמענים. תן לקבוצה שם (אין להשתמש בתווים
<span dir="ltr">| [ ]</span>) ובחר את חבריה:</p>
<ul><li>הרשומות שנבחרו בחלון ספר הטלפונים כשלחצת על <b>קבוצה חדשה</b> כבר מופיעות
כחברים.</li>
<li><b>הוספת חברים</b> פותחת רשימה של כל הרשומות שממנה אפשר לבחור חברים נוספים.</li>
<li><b>הסרת החברים שנבחרו</b> מוציאה את הרשומות שנבחרו מהקבוצה.</li>
<li>לחיצה כפולה על חבר מציגה את פרטיו.</li></ul>
<p><b>אישור</b> יוצר את הקבוצה; <b>ביטול</b> אינו משנה דבר.</p>
""" + keys(HE, [("Enter", "יצירת הקבוצה (אישור)."), ("Esc", "סגירת תיבת הדו-שיח ללא שינויים.")]),
    "db_book_group": """<p>שנה את שם הקבוצה או את חבריה. <b>הוספת חברים</b> פותחת רשימה של כל הרשומות
לבחירה; <b>הסרת החברים שנבחרו</b> מוציאה את הרשומות שנבחרו מהקבוצה. לחיצה כפולה על חבר
מציגה את פרטיו. דבר אינו נכתב לספר הטלפונים עד שתלחץ על <b>אישור</b>; <b>ביטול</b> משאיר
את הקבוצה כפי שהייתה.</p>
""" + keys(HE, [("Enter", "שמירת הקבוצה (אישור)."), ("Esc", "סגירת תיבת הדו-שיח ללא שינויים.")]),
    "db_add_to_group": """<p>הרשימה העליונה מציגה את רשומות ספר הטלפונים; הקלד בתיבת החיפוש כדי לצמצם
אותה. בתחילה היא מסוננת לפי החיפוש האחרון שהוקלד בחלון ספר הטלפונים, והוא מוצג בתיבה.
בחר רשומות ולחץ על <b>הוספה</b> כדי להעביר אותן לרשימת החברים שנבחרו (רשומה לעולם אינה
מופיעה בה פעמיים). בחר חברים ולחץ על <b>הסרה</b> כדי להוציא אותם שוב. לחיצה כפולה על
שורה מציגה את פרטיה.</p>
<p><b>אישור</b> הופך את הרשומות שנבחרו לרשימת החברים של הקבוצה; <b>ביטול</b> אינו משנה
דבר.</p>
""" + keys(HE, [("Enter", "קבלת החברים שנבחרו (אישור)."), ("Esc", "סגירת הרשימה ללא שינויים.")]),
    "db_convert_book": """<p>ספר הטלפונים שפתחת שמור בתבנית ישנה, שבה ניתן לשמור עד 1000 רשומות וקבוצות.
בתבנית הנוכחית ניתן לשמור עד 2500.</p>
<ul><li><b>כן</b> מעתיק את כל הרשומות, כל הקבוצות וחבריהן לקובץ חדש בתבנית הנוכחית באותה
תיקייה, באותו שם ועם הסיומת <code dir="ltr">.mpb2</code>, ופותח אותו. הקובץ המקורי אינו
משתנה. אם כבר קיים קובץ בשם זה, תישאל לפני שהוא יוחלף.</li>
<li><b>לא</b> פותח את הקובץ הישן כמות שהוא.</li></ul>
<p>כאשר כבר קיים קובץ מומר לצד הקובץ הישן, השאלה אינה נשאלת שוב.</p>""",
    "db_import_book": """<p>מוסיף לספר הטלפונים הפתוח את הרשומות של קובץ טקסט עם מפרידים (למשל קובץ
<span dir="ltr">CSV</span> שנשמר בגיליון אלקטרוני).</p>
<ul><li><b>שם הקובץ</b>: הקובץ לקריאה; <b>עיון</b> מאפשר לבחור אותו.</li>
<li><b>מפריד רשומות</b>: מה שמסיים כל רשומה בקובץ (בדרך כלל <span dir="ltr">CR LF</span>);
<b>מפריד שדות</b>: מה שמפריד בין הערכים (בדרך כלל פסיק). בחר <b>מותאם אישית</b> כדי להקליד
מפריד משלך.</li>
<li><b>עמודות</b>: סמן את העמודות שיש בקובץ וסדר אותן לפי הסדר שבו הן מופיעות בו. שם (או שם
פרטי ושם משפחה) ומספר פקס הם חובה. כאשר השורה הראשונה של הקובץ נותנת שמות לעמודות, הרשומות
נקראות לפי שמות אלה.</li>
<li><b>שימוש בקידוד <span dir="ltr">UTF-8</span></b>: סמן זאת עבור קבצים בקידוד
<span dir="ltr">UTF-8</span>; אחרת הקובץ נקרא בדף הקוד של המערכת שלך.</li></ul>
<p>רשומות ששמן ומספר הפקס שלהן כבר נמצאים בספר הטלפונים, ורשומות עם ערכים שלא ניתן לשמור,
מדולגות; סיכום מציין כמה יובאו, כמה דולגו וכמה נדחו.</p>""",
    "db_export_book": """<p>כותב את רשומות ספר הטלפונים הפתוח לקובץ טקסט עם מפרידים, שגיליונות אלקטרוניים
ותוכנות אנשי קשר יכולים לקרוא. קבוצות אינן מיוצאות.</p>
<ul><li><b>שם הקובץ</b>: הקובץ לכתיבה (סיומת חסרה מתווספת); לפני שקובץ קיים מוחלף תישאל.</li>
<li><b>מפריד רשומות</b> ו<b>מפריד שדות</b>: מה שמסיים כל רשומה ומה שמפריד בין ערכיה.</li>
<li><b>עמודות</b>: סמן את העמודות לכתיבה וסדר אותן בסדר הרצוי. <b>השורה הראשונה מכילה את
שמות העמודות</b> כותבת את שמותיהן מעל הרשומות.</li>
<li><b>שימוש בקידוד <span dir="ltr">UTF-8</span></b>: כותב <span dir="ltr">UTF-8</span>,
השומר על כל תו; אחרת נעשה שימוש בדף הקוד של המערכת שלך.</li></ul>""",
    "db_directory": """<p>קורא את האנשים עם מספר פקס ממדריך המשרד שלך (Active Directory או מדריך
<span dir="ltr">LDAP</span> אחר) לתוך ספר הטלפונים הפתוח. כל מספר פקס של אדם הופך לרשומה.
<b>סוג המקור</b> <b>מדריך (LDAP)</b> מציג את השדות שלהלן; עבור פנקס כתובות בשרת CardDAV, ראה
<a href="db_address_book.html">את הדף שלו</a>.</p>
<ul><li><b>שרת</b>: שם שרת המדריך, עם <b>DN בסיס</b> שתחתיו מחפשים (למשל
<span dir="ltr">dc=example,dc=org</span>), או כתובת <span dir="ltr">LDAP</span> שלמה כגון
<span dir="ltr">ldaps://dc1.example.org/dc=example,dc=org</span>.</li>
<li><b>מסנן</b>: אילו רשומות לקרוא; כברירת מחדל כל מי שיש לו מספר פקס.</li>
<li><b>אבטחה</b>: StartTLS או LDAPS מגינים על הסיסמה והנתונים בדרך.</li>
<li><b>אנונימי</b> או <b>כניסה בשם</b> משתמש עם <b>סיסמה</b>. <b>זכור את הסיסמה</b> שומר
אותה מוצפנת עבורך במחשב זה.</li>
<li><b>קבוצה מנוהלת</b>: הרשומות מהמדריך מצטרפות לקבוצה זו. רשומה שנוצרה ידנית נשארת מחוץ
לקבוצה ואינה משתנה, אלא אם <b>קלוט גם רשומות שנוצרו ידנית והמדריך מציין אותן</b> מסומן.</li>
<li><b>עדכון רשומות שכבר נמצאות בספר</b>: שינויים מגיעים לרשומות במקומן, והן שומרות על
הקבוצות שלהן. <b>הסר רשומות של הקבוצה שהמדריך כבר אינו מספק</b> גורם לספר לעקוב אחר המדריך;
לפני כל שינוי תראה כמה רשומות יתווספו, יעודכנו ויוסרו.</li>
<li><b>בדיקה</b> מתחבר, נכנס וסופר את הרשומות עם מספר פקס.</li></ul>""",
    "db_duplicates": """<p><b>כפילויות</b> בתפריט <b>קובץ</b> מציג את הרשומות שמספרי הפקס שלהן מובילים
לאותו קו פקס, בכל צורה שנכתבו: <span dir="ltr">+49 30 1234567</span>,
<span dir="ltr">0049 30 1234567</span> ובגרמניה גם <span dir="ltr">030 1234567</span> הם קו
אחד. כל קו מופיע מעל הרשומות שלו, עם המספרים כפי שנשמרו ועם הקבוצות שלהן. מספרים ללא קידומת
מדינה מושווים רק כאשר Windows מכיר את המדינה או האזור שלך (הגדרות, זמן ושפה, אזור).</p>
<p>בחר את הרשומה שתישאר ולחץ על <b>מיזוג</b>: לאחר האישור שלך יוסרו שאר הרשומות של אותו קו,
והרשומה שנשארה תצטרף לכל הקבוצות שהן היו בהן. הכול נשמר בבת אחת, או ששום דבר אינו נשמר.
לאחר מכן הרשימה נקראת מחדש.</p>
<p>גם תיבת הדו-שיח של רשומה מציינת את הרשומות שיש להן את מספר הפקס שהקלדת, ותיבת הדו-שיח של
קבוצה מציינת חברים החולקים קו פקס אחד.</p>
""" + keys(HE, [("Down", "בחירת הרשומה הבאה (Up: הקודמת)."), ("Alt+מ", "מיזוג הקו שלה (מיזוג)."),
                ("Esc", "סגירת תיבת הדו-שיח.")]),
    "db_print": """<p><b>הדפסה</b> בתפריט <b>קובץ</b> (<kbd>Ctrl</kbd>+<kbd>P</kbd>) מדפיסה את
רשימת הטלפונים. בחרו תחילה מה יופיע בעמודים:</p>
<ul><li><b>הרשומות המוצגות ברשימה</b>: הרשומות שהרשימה מציגה כעת; מה שהקלדתם בתיבת החיפוש
מצמצם אותן כפי שהוא מצמצם את הרשימה. <b>חברי הקבוצות שנבחרו</b>: החברים של הקבוצות שבחרתם
ברשימה, ללא קשר לחיפוש.</li>
<li><b>עמודות</b>: כל אחת מאלה: שם, מספר פקס, ארגון, מספר טלפון, כתובת דואר אלקטרוני, תיבת
דואר וקבוצות (הקבוצות שהרשומה שייכת אליהן).</li>
<li><b>מקטע לכל קבוצה</b>: חברי כל קבוצה תחת שמה; רשומות שאינן בקבוצה באות בסוף.</li></ul>
<p>הרשומות מודפסות בסדר של הרשימה. הבחירות שלכם נשמרות לפעם הבאה. <b>תצוגה מקדימה</b> מציגה
את העמודים כפי שיודפסו, אחד בכל פעם: <b>הבא</b> ו<b>הקודם</b> מדפדפים, <b>הגדלה</b>
ו<b>הקטנה</b> משנות את הגודל, ו<b>הדפסה</b> ממשיכה למדפסת. <b>הדפסה</b> פותחת את תיבת הדו-שיח
הרגילה של ההדפסה, שבה בוחרים מדפסת; רשימה ארוכה מציגה את התקדמותה, ו<b>ביטול</b> עוצר אותה.</p>
<p>בראש כל עמוד מופיעים שם ספר הטלפונים והתאריך, ובתחתיתו מספר העמוד. העמודות חולקות את רוחב
העמוד: טקסט ארוך מסתיים ב-"&hellip;", מספרי פקס וטלפון מודפסים תמיד במלואם, ואף רשומה אינה
מתפצלת בין שני עמודים. בעברית העמוד נקרא מימין לשמאל; מספרים וכתובות נשארים משמאל לימין.</p>
<p>מתוך סקריפט, <span dir="ltr"><code>pbtool print</code></span> מדפיס את אותה רשימה ללא
תיבת דו-שיח, או כותב את העמודים כתמונות.</p>
""" + keys(HE, [("Ctrl+P", "פתיחת תיבת דו-שיח זו מחלון ספר הטלפונים."), ("Alt+צ", "תצוגה מקדימה."),
                ("Page Down", "בתצוגה המקדימה: העמוד הבא (Page Up: הקודם)."),
                ("+", "בתצוגה המקדימה: הגדלה (-: הקטנה)."), ("Esc", "סגירת תיבת הדו-שיח.")]),
}

# The address book kind of the server dialog, in every language.
EN["titles"]["db_address_book"] = "Entries from an address book on a server"
EN["bodies"]["db_address_book"] = """<p>Reads the contacts with a fax number from an address book
on a CardDAV server (Nextcloud, SOGo, Radicale, Baïkal, iCloud, Fastmail and others) into the
open phone book. Choose <b>Address book (CardDAV)</b> as the <b>Kind</b> first. Each fax number
of a contact becomes an entry; a contact's categories become groups.</p>
<ul><li><b>URL</b>: the server's address, such as <span dir="ltr">https://cloud.example.org</span>,
or the address of one address book. From the server's address the program finds your account
and its address books.</li>
<li><b>User name</b> and <b>Password</b>: your login on the server (for iCloud, an app-specific
password). Leave the user name empty for a server that needs no login. <b>Remember this
password</b> keeps it encrypted for you on this computer.</li>
<li><b>Test</b> logs in and lists the address books found, with how many cards each holds, in
<b>Address book</b>. Choose the one to read there. When the server has only one, it is
chosen for you.</li>
<li><b>Managed group</b>, <b>Update entries that are already in the book</b> and <b>Remove the
group's entries the address book no longer gives</b> work as for a directory: the book can follow
the address book, and you see how many entries would be added, updated and removed before
anything changes.</li></ul>
<p>The server's certificate is checked as Windows checks it; a certificate that fails is
never accepted. A wrong password, an address with no address book, a server that is no CardDAV
server, a server that stops answering and an answer cut short each have their own message. When
not every card arrived, an import keeps those that did and says so; a removal of entries is
then refused.</p>
""" + keys(EN, [("Alt+D", "Moves to the kind."), ("Alt+T", "Tests the connection (Test)."),
                ("Alt+I", "Reads the address book into the phone book (Import)."), ("Esc", "Closes the dialog.")])

DE["titles"]["db_address_book"] = "Einträge aus einem Adressbuch auf einem Server"
DE["bodies"]["db_address_book"] = """<p>Liest die Kontakte mit Faxnummer aus einem Adressbuch auf
einem CardDAV-Server (Nextcloud, SOGo, Radicale, Baïkal, iCloud, Fastmail und andere) in das
geöffnete Telefonbuch. Wählen Sie zuerst als <b>Art der Quelle</b> <b>Adressbuch (CardDAV)</b>.
Jede Faxnummer eines Kontakts wird ein Eintrag; die Kategorien eines Kontakts werden Gruppen.</p>
<ul><li><b>URL</b>: die Adresse des Servers, etwa <span dir="ltr">https://cloud.example.org</span>,
oder die Adresse eines einzelnen Adressbuchs. Von der Adresse des Servers aus findet das
Programm Ihr Konto und seine Adressbücher.</li>
<li><b>Benutzername</b> und <b>Kennwort</b>: Ihre Anmeldung am Server (bei iCloud ein
app-spezifisches Kennwort). Lassen Sie den Benutzernamen leer, wenn der Server keine Anmeldung
verlangt. <b>Kennwort merken</b> bewahrt es für Sie verschlüsselt auf diesem Computer auf.</li>
<li><b>Testen</b> meldet an und listet unter <b>Adressbuch</b> die gefundenen Adressbücher mit
der Zahl ihrer Karten auf. Wählen Sie dort das zu lesende. Hat der Server nur eines, ist es
schon gewählt.</li>
<li><b>Verwaltete Gruppe</b>, <b>Vorhandene Einträge aktualisieren</b> und das Entfernen der
Einträge, die die Quelle nicht mehr liefert, wirken wie bei einem Verzeichnis: Das Buch kann
dem Adressbuch folgen, und Sie sehen vorher, wie viele Einträge hinzukämen, aktualisiert und
entfernt würden.</li></ul>
<p>Das Zertifikat des Servers wird geprüft, wie Windows es prüft; ein Zertifikat, das die
Prüfung nicht besteht, wird nie angenommen. Ein falsches Kennwort, eine Adresse ohne
Adressbuch, ein Server, der kein CardDAV-Server ist, ein Server, der nicht mehr antwortet, und
eine abgebrochene Antwort haben je eine eigene Meldung. Kamen nicht alle Karten an, behält ein
Import die angekommenen und sagt es; das Entfernen von Einträgen wird dann verweigert.</p>
""" + keys(DE, [("Alt+Q", "Wechselt zur Art der Quelle."), ("Alt+T", "Testet die Verbindung (Testen)."),
                ("Alt+I", "Liest das Adressbuch in das Telefonbuch (Importieren)."),
                ("Esc", "Schließt das Dialogfeld.")])

HE["titles"]["db_address_book"] = "רשומות מפנקס כתובות בשרת"
HE["bodies"]["db_address_book"] = """<p>קורא את אנשי הקשר עם מספר פקס מפנקס כתובות בשרת CardDAV
(Nextcloud, SOGo, Radicale, Baïkal, iCloud, Fastmail ואחרים) אל ספר הטלפונים הפתוח. בחר תחילה
<b>פנקס כתובות (CardDAV)</b> כ<b>סוג המקור</b>. כל מספר פקס של איש קשר הופך לרשומה; הקטגוריות של
איש קשר הופכות לקבוצות.</p>
<ul><li><b>כתובת</b>: כתובת השרת, למשל <span dir="ltr">https://cloud.example.org</span>, או
הכתובת של פנקס כתובות אחד. מכתובת השרת התוכנה מוצאת את החשבון שלך ואת פנקסי הכתובות שלו.</li>
<li><b>שם החשבון</b> ו<b>סיסמת החשבון</b>: הכניסה שלך לשרת (ב-iCloud, סיסמה ייעודית ליישום).
השאר את שם החשבון ריק עבור שרת שאינו דורש כניסה. <b>לזכור את הסיסמה</b> שומר אותה מוצפנת עבורך
במחשב זה.</li>
<li><b>בדיקה</b> מתחברת ומציגה ב<b>פנקס כתובות</b> את פנקסי הכתובות שנמצאו, עם מספר הכרטיסים
של כל אחד. בחר שם את הפנקס לקריאה. כשבשרת יש פנקס אחד בלבד, הוא נבחר עבורך.</li>
<li><b>קבוצה מנוהלת</b>, עדכון רשומות קיימות והסרת רשומות שהמקור כבר אינו מספק פועלים כמו עבור
מדריך: ספר הטלפונים יכול לעקוב אחר פנקס הכתובות, ואתה רואה מראש כמה רשומות יתווספו, יעודכנו
ויוסרו.</li></ul>
<p>האישור של השרת נבדק כפי ש-Windows בודק אותו; אישור שנכשל בבדיקה לעולם אינו מתקבל. לסיסמה
שגויה, לכתובת ללא פנקס כתובות, לשרת שאינו שרת CardDAV, לשרת שמפסיק לענות ולתשובה שנקטעה יש
הודעה משלהם. כשלא כל הכרטיסים הגיעו, ייבוא שומר את אלה שהגיעו ואומר זאת; הסרת רשומות נדחית
אז.</p>
""" + keys(HE, [("Alt+ר", "מעבר לסוג המקור."), ("Alt+ד", "בדיקת החיבור (בדיקה)."),
                ("Alt+י", "קריאת פנקס הכתובות אל ספר הטלפונים (ייבוא)."), ("Esc", "סגירת תיבת הדו-שיח.")])


LANGUAGES = [EN, DE, HE]


def page(language, topic):
    title = html.escape(language["titles"][topic])
    nav = " &middot; ".join('<a href="%s.html">%s</a>' % (t, html.escape(language["titles"][t])) for t in TOPICS)
    return ("<!DOCTYPE html>\n<html lang=\"%s\" dir=\"%s\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>%s - %s</title>\n<style>%s</style>\n</head>\n<body>\n<h1>%s</h1>\n%s\n"
            "<nav>%s</nav>\n</body>\n</html>\n") % (language["lang"], language["dir"], title,
                                                   html.escape(language["site"]), STYLE, title,
                                                   language["bodies"][topic], nav)


def main():
    root = sys.argv[1]
    for language in LANGUAGES:
        target = os.path.join(root, language["lang"])
        os.makedirs(target, exist_ok=True)
        for topic in TOPICS:
            with open(os.path.join(target, topic + ".html"), "w", encoding="utf-8", newline="\r\n") as f:
                f.write(page(language, topic))


if __name__ == "__main__":
    main()
