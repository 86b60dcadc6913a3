<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ContactField</name>
    <message>
        <source>First name:</source>
        <translation>Vorname:</translation>
    </message>
    <message>
        <source>Last name:</source>
        <translation>Nachname:</translation>
    </message>
    <message>
        <source>Middle name:</source>
        <translation>Zweiter Vorname:</translation>
    </message>
    <message>
        <source>Mobile:</source>
        <translation>Mobil:</translation>
    </message>
    <message>
        <source>Phone:</source>
        <translation>Telefon:</translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation>E-Mail:</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Adresse:</translation>
    </message>
    <message>
        <source>City:</source>
        <translation>Ort:</translation>
    </message>
    <message>
        <source>State:</source>
        <translation>Bundesland:</translation>
    </message>
    <message>
        <source>Postal code:</source>
        <translation>Postleitzahl:</translation>
    </message>
    <message>
        <source>Country:</source>
        <translation>Land:</translation>
    </message>
    <message>
        <source>Web page:</source>
        <translation>Webseite:</translation>
    </message>
    <message>
        <source>Birthday:</source>
        <translation>Geburtstag:</translation>
    </message>
    <message>
        <source>Company:</source>
        <translation>Firma:</translation>
    </message>
    <message>
        <source>Job title:</source>
        <translation>Position:</translation>
    </message>
    <message>
        <source>Business fax:</source>
        <translation>Fax geschäftlich:</translation>
    </message>
    <message>
        <source>Business phone:</source>
        <translation>Telefon geschäftlich:</translation>
    </message>
    <message>
        <source>Business e-mail:</source>
        <translation>E-Mail geschäftlich:</translation>
    </message>
    <message>
        <source>Business web page:</source>
        <translation>Webseite geschäftlich:</translation>
    </message>
    <message>
        <source>Business address:</source>
        <translation>Adresse geschäftlich:</translation>
    </message>
    <message>
        <source>Business city:</source>
        <translation>Ort geschäftlich:</translation>
    </message>
    <message>
        <source>Business state:</source>
        <translation>Bundesland geschäftlich:</translation>
    </message>
    <message>
        <source>Business postal code:</source>
        <translation>Postleitzahl geschäftlich:</translation>
    </message>
    <message>
        <source>Business country:</source>
        <translation>Land geschäftlich:</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Notizen</translation>
    </message>
</context>
<context>
    <name>PaneKind</name>
    <message>
        <source>Calendar</source>
        <translation>Kalender</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Termine</translation>
    </message>
    <message>
        <source>Calendars</source>
        <translation>Kalender</translation>
    </message>
    <message>
        <source>events</source>
        <translation>Termine</translation>
    </message>
    <message numerus="yes">
        <source>%n event(s)</source>
        <translation>
            <numerusform>%n Termin</numerusform>
            <numerusform>%n Termine</numerusform>
        </translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>Address books</source>
        <translation>Adressbücher</translation>
    </message>
    <message>
        <source>contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message numerus="yes">
        <source>%n contact(s)</source>
        <translation>
            <numerusform>%n Kontakt</numerusform>
            <numerusform>%n Kontakte</numerusform>
        </translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Telefon</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>Company</source>
        <translation>Firma</translation>
    </message>
    <message>
        <source>Tasks</source>
        <translation>Aufgaben</translation>
    </message>
    <message>
        <source>tasks</source>
        <translation>Aufgaben</translation>
    </message>
    <message numerus="yes">
        <source>%n task(s)</source>
        <translation>
            <numerusform>%n Aufgabe</numerusform>
            <numerusform>%n Aufgaben</numerusform>
        </translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Fällig</translation>
    </message>
    <message>
        <source>Priority</source>
        <translation>Priorität</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Erledigt</translation>
    </message>
    <message>
        <source>done</source>
        <translation>erledigt</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Notizen</translation>
    </message>
    <message>
        <source>notes</source>
        <translation>Notizen</translation>
    </message>
    <message numerus="yes">
        <source>%n note(s)</source>
        <translation>
            <numerusform>%n Notiz</numerusform>
            <numerusform>%n Notizen</numerusform>
        </translation>
    </message>
    <message>
        <source>First line</source>
        <translation>Erste Zeile</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The server refused the user name or the password.</source>
        <translation>Der Server hat den Benutzernamen oder das Passwort abgelehnt.</translation>
    </message>
    <message>
        <source>The server&apos;s answer could not be used.</source>
        <translation>Die Antwort des Servers ist nicht verwendbar.</translation>
    </message>
    <message>
        <source>The exchange with the server failed.</source>
        <translation>Der Austausch mit dem Server ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The data kept on this computer could not be used.</source>
        <translation>Die auf diesem Computer gespeicherten Daten sind nicht verwendbar.</translation>
    </message>
    <message>
        <source>An item could not be read or written.</source>
        <translation>Ein Eintrag konnte nicht gelesen oder geschrieben werden.</translation>
    </message>
    <message>
        <source>The operation failed.</source>
        <translation>Der Vorgang ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>An unexpected failure ended the operation.</source>
        <translation>Ein unerwarteter Fehler hat den Vorgang beendet.</translation>
    </message>
    <message>
        <source>Connect first: imported %1 are added to the loaded ones</source>
        <translation>Bitte zuerst verbinden: importierte %1 kommen zu den geladenen hinzu</translation>
    </message>
    <message>
        <source>The file holds no %1, only items of another kind: import it in their tab</source>
        <translation>Die Datei enthält keine %1, nur Einträge anderer Art: bitte in deren Reiter importieren</translation>
    </message>
    <message>
        <source>The file holds no %1</source>
        <translation>Die Datei enthält keine %1</translation>
    </message>
    <message>
        <source>%1 cannot be read</source>
        <translation>%1 ist nicht lesbar</translation>
    </message>
    <message>
        <source>%1 cannot be imported</source>
        <translation>%1 kann nicht importiert werden</translation>
    </message>
    <message>
        <source>%1 cannot be written</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Imported %1 from %2</source>
        <translation>%1 aus %2 importiert</translation>
    </message>
    <message numerus="yes">
        <source>%1 (%n item(s) of another kind left out)</source>
        <translation>
            <numerusform>%1 (%n Eintrag anderer Art ausgelassen)</numerusform>
            <numerusform>%1 (%n Einträge anderer Art ausgelassen)</numerusform>
        </translation>
    </message>
    <message>
        <source>Exported %1 to %2</source>
        <translation>%1 nach %2 exportiert</translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation>&amp;Importieren …</translation>
    </message>
    <message>
        <source>Import %1</source>
        <translation>%1 importieren</translation>
    </message>
    <message>
        <source>There are no %1 to export: select some first</source>
        <translation>Keine %1 zum Exportieren: bitte zuerst welche auswählen</translation>
    </message>
    <message>
        <source>The filter leaves no %1 to export</source>
        <translation>Der Filter lässt keine %1 zum Exportieren übrig</translation>
    </message>
    <message>
        <source>There are no %1 to export</source>
        <translation>Keine %1 zum Exportieren</translation>
    </message>
    <message>
        <source>Export %1 of %2</source>
        <comment>12 of 33 contacts</comment>
        <translation>%1 der %2 exportieren</translation>
    </message>
    <message>
        <source>Export %1</source>
        <translation>%1 exportieren</translation>
    </message>
    <message>
        <source>Export &amp;selected...</source>
        <translation>Auswahl e&amp;xportieren …</translation>
    </message>
    <message>
        <source>&amp;Export list...</source>
        <translation>&amp;Liste exportieren …</translation>
    </message>
    <message>
        <source>Export the items the list shows: all, or those the filter leaves</source>
        <translation>Die Einträge exportieren, die die Liste zeigt: alle oder die, die der Filter übrig lässt</translation>
    </message>
</context>
<context>
    <name>orvanta::ui</name>
    <message numerus="yes">
        <source>%n change(s)</source>
        <translation>
            <numerusform>%n Änderung</numerusform>
            <numerusform>%n Änderungen</numerusform>
        </translation>
    </message>
    <message>
        <source>High</source>
        <comment>priority</comment>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Normal</source>
        <comment>priority</comment>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Low</source>
        <comment>priority</comment>
        <translation>Niedrig</translation>
    </message>
    <message>
        <source>None</source>
        <comment>priority</comment>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Low (%1)</source>
        <comment>priority</comment>
        <translation>Niedrig (%1)</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TAccount</name>
    <message>
        <source>The keyring could not give the password: %1</source>
        <translation>Der Schlüsselbund konnte das Passwort nicht liefern: %1</translation>
    </message>
    <message>
        <source>The keyring could not keep the password: %1</source>
        <translation>Der Schlüsselbund konnte das Passwort nicht aufbewahren: %1</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TAccountForm</name>
    <message>
        <source>Account</source>
        <translation>Konto</translation>
    </message>
    <message>
        <source>Remember password</source>
        <translation>Passwort merken</translation>
    </message>
    <message>
        <source>Keep the password in the system keyring</source>
        <translation>Das Passwort im Schlüsselbund des Systems aufbewahren</translation>
    </message>
    <message>
        <source>Use proxy</source>
        <translation>Proxy verwenden</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>For a server whose certificate comes from a certificate authority of its own: that authority&apos;s certificate, a PEM file</source>
        <translation>Für einen Server, dessen Zertifikat von einer eigenen Zertifizierungsstelle stammt: das Zertifikat dieser Stelle, eine PEM-Datei</translation>
    </message>
    <message>
        <source>Keep a copy on this computer</source>
        <translation>Eine Kopie auf diesem Rechner behalten</translation>
    </message>
    <message>
        <source>Show the items at once, work without a network and sync both ways; off: Connect loads the items and &quot;Store changes&quot; sends the changes</source>
        <translation>Zeigt die Einträge sofort, arbeitet ohne Netz und synchronisiert in beide Richtungen; aus: „Verbinden“ lädt die Einträge und „Änderungen speichern“ sendet die Änderungen</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Server:</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>Benutzer:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Proxy:</source>
        <translation>Proxy:</translation>
    </message>
    <message>
        <source>CA file:</source>
        <translation>CA-Datei:</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TConflictForm</name>
    <message>
        <source>Conflicts</source>
        <translation>Konflikte</translation>
    </message>
    <message>
        <source>Keep mine</source>
        <translation>Meine behalten</translation>
    </message>
    <message>
        <source>Bring this computer&apos;s version back; the next sync sends it</source>
        <translation>Die Fassung dieses Rechners zurückholen; die nächste Synchronisierung sendet sie</translation>
    </message>
    <message>
        <source>Keep the server&apos;s</source>
        <translation>Die des Servers behalten</translation>
    </message>
    <message>
        <source>Keep the server&apos;s version and forget this computer&apos;s</source>
        <translation>Die Fassung des Servers behalten und die dieses Rechners verwerfen</translation>
    </message>
    <message>
        <source>On this computer:</source>
        <translation>Auf diesem Rechner:</translation>
    </message>
    <message>
        <source>On the server:</source>
        <translation>Auf dem Server:</translation>
    </message>
    <message>
        <source>(deleted)</source>
        <translation>(gelöscht)</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation>Ohne Titel</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TDataPane</name>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtern</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Hinzufügen …</translation>
    </message>
    <message>
        <source>Edit...</source>
        <translation>Bearbeiten …</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Store changes</source>
        <translation>Änderungen speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>End the exchange with the server now</source>
        <translation>Den Austausch mit dem Server jetzt beenden</translation>
    </message>
    <message>
        <source>Data source:</source>
        <translation>Datenquelle:</translation>
    </message>
    <message>
        <source>%1 %2 KB, %3, %4</source>
        <comment>activity, kilobytes, round trips, items</comment>
        <translation>%1 %2 KB, %3, %4</translation>
    </message>
    <message numerus="yes">
        <source>%n round trip(s)</source>
        <translation>
            <numerusform>%n Durchgang</numerusform>
            <numerusform>%n Durchgänge</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n item(s)</source>
        <translation>
            <numerusform>%n Eintrag</numerusform>
            <numerusform>%n Einträge</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 in %2 not stored yet will be lost. Refresh anyway?</source>
        <translation>Nicht gespeicherte Änderungen in „%2“ (%1) gehen verloren. Trotzdem aktualisieren?</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Verbindung wird hergestellt …</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Delete this item?</source>
        <translation>Diesen Eintrag löschen?</translation>
    </message>
    <message>
        <source>Delete &quot;%1&quot;?</source>
        <translation>„%1“ löschen?</translation>
    </message>
    <message>
        <source>Storing...</source>
        <translation>Änderungen werden gespeichert …</translation>
    </message>
    <message>
        <source>The data store on the server that this pane keeps</source>
        <translation>Der Datenspeicher auf dem Server, den diese Seite führt</translation>
    </message>
    <message>
        <source>Sync</source>
        <translation>Synchronisieren</translation>
    </message>
    <message>
        <source>Items changed here and on the server: keep one version of each</source>
        <translation>Hier und auf dem Server geänderte Einträge: von jedem eine Fassung behalten</translation>
    </message>
    <message>
        <source>Send the changes made here and take the server&apos;s</source>
        <translation>Die hier gemachten Änderungen senden und die des Servers übernehmen</translation>
    </message>
    <message>
        <source>Load every item of the data source from the server</source>
        <translation>Alle Einträge der Datenquelle vom Server laden</translation>
    </message>
    <message>
        <source>No account yet: choose File &gt; Account... to name the server and user</source>
        <translation>Noch kein Konto: Server und Benutzer unter Datei &gt; Konto... angeben</translation>
    </message>
    <message>
        <source>No %1 loaded: press Connect</source>
        <translation>Keine %1 geladen: „Verbinden“ drücken</translation>
    </message>
    <message>
        <source>No %1 on this computer yet: press Sync</source>
        <translation>Noch keine %1 auf diesem Rechner: „Synchronisieren“ drücken</translation>
    </message>
    <message>
        <source>No %1 on the server</source>
        <translation>Keine %1 auf dem Server</translation>
    </message>
    <message>
        <source>Offline: %1, last synced %2</source>
        <translation>Offline: %1, zuletzt synchronisiert %2</translation>
    </message>
    <message>
        <source>Offline: %1, not synced yet</source>
        <translation>Offline: %1, noch nicht synchronisiert</translation>
    </message>
    <message>
        <source>1 conflict...</source>
        <translation>1 Konflikt...</translation>
    </message>
    <message>
        <source>%1 conflicts...</source>
        <translation>%1 Konflikte...</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Cancelled: the list is as it was before</source>
        <translation>Abgebrochen: die Liste ist wie zuvor</translation>
    </message>
    <message>
        <source>Syncing...</source>
        <translation>Synchronisiere...</translation>
    </message>
    <message>
        <source>The server did not accept %1: they go again with the next sync</source>
        <translation>Der Server hat %1 nicht angenommen: sie gehen mit der nächsten Synchronisierung erneut</translation>
    </message>
    <message>
        <source>%1 synced with %2: %3 sent, %4 received</source>
        <translation>%1 mit %2 synchronisiert: %3 gesendet, %4 empfangen</translation>
    </message>
    <message>
        <source>Loaded %1 from %2</source>
        <translation>%1 von %2 geladen</translation>
    </message>
    <message>
        <source>Stored %1 to %2</source>
        <translation>%1 auf %2 gespeichert</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditContForm</name>
    <message>
        <source>New contact</source>
        <translation>Neuer Kontakt</translation>
    </message>
    <message>
        <source>Edit contact</source>
        <translation>Kontakt bearbeiten</translation>
    </message>
    <message>
        <source>Personal</source>
        <translation>Privat</translation>
    </message>
    <message>
        <source>Business</source>
        <translation>Geschäftlich</translation>
    </message>
    <message>
        <source>Notes</source>
        <translation>Notizen</translation>
    </message>
    <message>
        <source>Please enter at least one name</source>
        <translation>Bitte mindestens einen Namen eingeben</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditEventForm</name>
    <message numerus="yes">
        <source>%n minute(s) before</source>
        <translation>
            <numerusform>%n Minute vorher</numerusform>
            <numerusform>%n Minuten vorher</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s) before</source>
        <translation>
            <numerusform>%n Stunde vorher</numerusform>
            <numerusform>%n Stunden vorher</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) before</source>
        <translation>
            <numerusform>%n Tag vorher</numerusform>
            <numerusform>%n Tage vorher</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n week(s) before</source>
        <translation>
            <numerusform>%n Woche vorher</numerusform>
            <numerusform>%n Wochen vorher</numerusform>
        </translation>
    </message>
    <message>
        <source>New event</source>
        <translation>Neuer Termin</translation>
    </message>
    <message>
        <source>Edit event</source>
        <translation>Termin bearbeiten</translation>
    </message>
    <message>
        <source>All day</source>
        <translation>Ganztägig</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Hinzufügen …</translation>
    </message>
    <message>
        <source>Edit...</source>
        <translation>Bearbeiten …</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>What:</source>
        <translation>Was:</translation>
    </message>
    <message>
        <source>When:</source>
        <translation>Wann:</translation>
    </message>
    <message>
        <source>to</source>
        <translation>bis</translation>
    </message>
    <message>
        <source>Where:</source>
        <translation>Wo:</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>Beschreibung:</translation>
    </message>
    <message>
        <source>Reminders</source>
        <translation>Erinnerungen</translation>
    </message>
    <message>
        <source>Please enter what the event is: its title is empty.</source>
        <translation>Bitte eingeben, worum es bei dem Termin geht: sein Titel ist leer.</translation>
    </message>
    <message>
        <source>The event ends before it starts. Please correct the end.</source>
        <translation>Der Termin endet, bevor er beginnt. Bitte das Ende korrigieren.</translation>
    </message>
    <message>
        <source>at %1</source>
        <comment>a reminder&apos;s moment</comment>
        <translation>am %1</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <comment>a reminder: its method, then when</comment>
        <translation>%1 %2</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditNoteForm</name>
    <message>
        <source>New note</source>
        <translation>Neue Notiz</translation>
    </message>
    <message>
        <source>Edit note</source>
        <translation>Notiz bearbeiten</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <source>Note:</source>
        <translation>Notiz:</translation>
    </message>
    <message>
        <source>Please enter a title or a text: the note is empty.</source>
        <translation>Bitte einen Titel oder einen Text eingeben: die Notiz ist leer.</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditTaskForm</name>
    <message>
        <source>New task</source>
        <translation>Neue Aufgabe</translation>
    </message>
    <message>
        <source>Edit task</source>
        <translation>Aufgabe bearbeiten</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>Erledigt</translation>
    </message>
    <message>
        <source>What:</source>
        <translation>Was:</translation>
    </message>
    <message>
        <source>Due:</source>
        <translation>Fällig:</translation>
    </message>
    <message>
        <source>Remind:</source>
        <translation>Erinnern:</translation>
    </message>
    <message>
        <source>Priority:</source>
        <translation>Priorität:</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>Beschreibung:</translation>
    </message>
    <message>
        <source>Please enter what the task is: its title is empty.</source>
        <translation>Bitte eingeben, worum es bei der Aufgabe geht: ihr Titel ist leer.</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditorDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TMainForm</name>
    <message>
        <source>&amp;Store changes</source>
        <translation>Änderungen &amp;speichern</translation>
    </message>
    <message>
        <source>Send the added, edited and deleted items to the server</source>
        <translation>Die hinzugefügten, bearbeiteten und gelöschten Einträge an den Server senden</translation>
    </message>
    <message>
        <source>C&amp;ancel exchange</source>
        <translation>Austausch a&amp;bbrechen</translation>
    </message>
    <message>
        <source>End the exchange with the server now</source>
        <translation>Den Austausch mit dem Server jetzt beenden</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>&amp;Hinzufügen …</translation>
    </message>
    <message>
        <source>Add a new item</source>
        <translation>Einen neuen Eintrag hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Edit...</source>
        <translation>&amp;Bearbeiten …</translation>
    </message>
    <message>
        <source>Edit the selected item</source>
        <translation>Den ausgewählten Eintrag bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Delete the selected item</source>
        <translation>Den ausgewählten Eintrag löschen</translation>
    </message>
    <message>
        <source>&amp;Next tab</source>
        <translation>&amp;Nächster Reiter</translation>
    </message>
    <message>
        <source>Bring the next kind of data to the front</source>
        <translation>Die nächste Datenart nach vorne holen</translation>
    </message>
    <message>
        <source>&amp;Previous tab</source>
        <translation>&amp;Vorheriger Reiter</translation>
    </message>
    <message>
        <source>Bring the previous kind of data to the front</source>
        <translation>Die vorige Datenart nach vorne holen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Close Orvanta</source>
        <translation>Orvanta schließen</translation>
    </message>
    <message>
        <source>&amp;About Orvanta</source>
        <translation>Ü&amp;ber Orvanta</translation>
    </message>
    <message>
        <source>What this program is</source>
        <translation>Was dieses Programm ist</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Items</source>
        <translation>&amp;Einträge</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Main</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>%1 not stored</source>
        <translation>%1 nicht gespeichert</translation>
    </message>
    <message numerus="yes">
        <source>%n change(s) not stored yet. Store them before closing?</source>
        <translation>
            <numerusform>%n Änderung noch nicht gespeichert. Vor dem Schließen speichern?</numerusform>
            <numerusform>%n Änderungen noch nicht gespeichert. Vor dem Schließen speichern?</numerusform>
        </translation>
    </message>
    <message>
        <source>About Orvanta</source>
        <translation>Über Orvanta</translation>
    </message>
    <message>
        <source>The items cannot be kept on this computer: Connect loads them and &quot;Store changes&quot; sends the changes.</source>
        <translation>Die Einträge können nicht auf diesem Rechner behalten werden: „Verbinden“ lädt sie und „Änderungen speichern“ sendet die Änderungen.</translation>
    </message>
    <message>
        <source>No account</source>
        <translation>Kein Konto</translation>
    </message>
    <message>
        <source>%1 not stored yet will be lost. Change the account anyway?</source>
        <translation>%1 noch nicht gespeichert, gehen verloren. Das Konto trotzdem ändern?</translation>
    </message>
    <message>
        <source>Sync</source>
        <translation>Synchronisieren</translation>
    </message>
    <message>
        <source>Send the changes made here and take the server&apos;s</source>
        <translation>Die hier gemachten Änderungen senden und die des Servers übernehmen</translation>
    </message>
    <message>
        <source>Sync &amp;all</source>
        <translation>&amp;Alle synchronisieren</translation>
    </message>
    <message>
        <source>Sync every kind of data</source>
        <translation>Jede Art von Daten synchronisieren</translation>
    </message>
    <message>
        <source>A&amp;ccount...</source>
        <translation>&amp;Konto...</translation>
    </message>
    <message>
        <source>Server, user, password, proxy, and whether a copy is kept</source>
        <translation>Server, Benutzer, Passwort, Proxy und ob eine Kopie behalten wird</translation>
    </message>
    <message>
        <source>Connect &amp;all</source>
        <translation>&amp;Alle verbinden</translation>
    </message>
    <message>
        <source>%1 waiting for the next sync</source>
        <translation>%1 warten auf die nächste Synchronisierung</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Orvanta %1&lt;/h3&gt;&lt;p&gt;Keeps calendar events, contacts, tasks and notes in the data stores of a SyncML 1.2 server, with a copy on this computer.&lt;/p&gt;&lt;p&gt;The editors change the items here; Sync sends the changes and takes the server&apos;s.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Orvanta %1&lt;/h3&gt;&lt;p&gt;Hält Termine, Kontakte, Aufgaben und Notizen in den Datenspeichern eines SyncML-1.2-Servers, mit einer Kopie auf diesem Rechner.&lt;/p&gt;&lt;p&gt;Die Editoren ändern die Einträge hier; „Synchronisieren“ sendet die Änderungen und übernimmt die des Servers.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TReminderForm</name>
    <message>
        <source>Pop-up</source>
        <translation>Hinweisfenster</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>minutes before</source>
        <translation>Minuten vorher</translation>
    </message>
    <message>
        <source>hours before</source>
        <translation>Stunden vorher</translation>
    </message>
    <message>
        <source>days before</source>
        <translation>Tage vorher</translation>
    </message>
    <message>
        <source>weeks before</source>
        <translation>Wochen vorher</translation>
    </message>
    <message>
        <source>at a time</source>
        <translation>zu einem Zeitpunkt</translation>
    </message>
    <message>
        <source>New reminder</source>
        <translation>Neue Erinnerung</translation>
    </message>
    <message>
        <source>Edit reminder</source>
        <translation>Erinnerung bearbeiten</translation>
    </message>
</context>
</TS>
