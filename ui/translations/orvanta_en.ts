<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>ContactField</name>
    <message>
        <source>First name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Middle name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mobile:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Phone:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>City:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Postal code:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Country:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Web page:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Birthday:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Company:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Job title:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business fax:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business phone:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business e-mail:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business web page:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business city:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business state:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business postal code:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business country:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notes</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PaneKind</name>
    <message>
        <source>Calendar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calendars</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>events</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n event(s)</source>
        <translation>
            <numerusform>%n event</numerusform>
            <numerusform>%n events</numerusform>
        </translation>
    </message>
    <message>
        <source>Title</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Location</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Contacts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Address books</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>contacts</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n contact(s)</source>
        <translation>
            <numerusform>%n contact</numerusform>
            <numerusform>%n contacts</numerusform>
        </translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Phone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Company</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tasks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>tasks</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n task(s)</source>
        <translation>
            <numerusform>%n task</numerusform>
            <numerusform>%n tasks</numerusform>
        </translation>
    </message>
    <message>
        <source>Due</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Priority</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n note(s)</source>
        <translation>
            <numerusform>%n note</numerusform>
            <numerusform>%n notes</numerusform>
        </translation>
    </message>
    <message>
        <source>First line</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server refused the user name or the password.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server&apos;s answer could not be used.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The exchange with the server failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The data kept on this computer could not be used.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An item could not be read or written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The operation failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An unexpected failure ended the operation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect first: imported %1 are added to the loaded ones</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file holds no %1, only items of another kind: import it in their tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file holds no %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be imported</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Imported %1 from %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%1 (%n item(s) of another kind left out)</source>
        <translation>
            <numerusform>%1 (%n item of another kind left out)</numerusform>
            <numerusform>%1 (%n items of another kind left out)</numerusform>
        </translation>
    </message>
    <message>
        <source>Exported %1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are no %1 to export: select some first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The filter leaves no %1 to export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are no %1 to export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export %1 of %2</source>
        <comment>12 of 33 contacts</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export &amp;selected...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Export list...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export the items the list shows: all, or those the filter leaves</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui</name>
    <message numerus="yes">
        <source>%n change(s)</source>
        <translation>
            <numerusform>%n change</numerusform>
            <numerusform>%n changes</numerusform>
        </translation>
    </message>
    <message>
        <source>High</source>
        <comment>priority</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Normal</source>
        <comment>priority</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low</source>
        <comment>priority</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None</source>
        <comment>priority</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low (%1)</source>
        <comment>priority</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TAccount</name>
    <message>
        <source>The keyring could not give the password: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The keyring could not keep the password: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TAccountForm</name>
    <message>
        <source>Account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remember password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep the password in the system keyring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use proxy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>System</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>For a server whose certificate comes from a certificate authority of its own: that authority&apos;s certificate, a PEM file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep a copy on this computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the items at once, work without a network and sync both ways; off: Connect loads the items and &quot;Store changes&quot; sends the changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Proxy:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CA file:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TConflictForm</name>
    <message>
        <source>Conflicts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep mine</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring this computer&apos;s version back; the next sync sends it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep the server&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep the server&apos;s version and forget this computer&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On this computer:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On the server:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(deleted)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TDataPane</name>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Store changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End the exchange with the server now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data source:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 KB, %3, %4</source>
        <comment>activity, kilobytes, round trips, items</comment>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n round trip(s)</source>
        <translation>
            <numerusform>%n round trip</numerusform>
            <numerusform>%n round trips</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n item(s)</source>
        <translation>
            <numerusform>%n item</numerusform>
            <numerusform>%n items</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 in %2 not stored yet will be lost. Refresh anyway?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete this item?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete &quot;%1&quot;?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Storing...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The data store on the server that this pane keeps</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Items changed here and on the server: keep one version of each</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send the changes made here and take the server&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load every item of the data source from the server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No account yet: choose File &gt; Account... to name the server and user</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No %1 loaded: press Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No %1 on this computer yet: press Sync</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No %1 on the server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Offline: %1, last synced %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Offline: %1, not synced yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 conflict...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 conflicts...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancelled: the list is as it was before</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Syncing...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server did not accept %1: they go again with the next sync</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 synced with %2: %3 sent, %4 received</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loaded %1 from %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored %1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditContForm</name>
    <message>
        <source>New contact</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit contact</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Personal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Business</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter at least one name</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditEventForm</name>
    <message numerus="yes">
        <source>%n minute(s) before</source>
        <translation>
            <numerusform>%n minute before</numerusform>
            <numerusform>%n minutes before</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s) before</source>
        <translation>
            <numerusform>%n hour before</numerusform>
            <numerusform>%n hours before</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s) before</source>
        <translation>
            <numerusform>%n day before</numerusform>
            <numerusform>%n days before</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n week(s) before</source>
        <translation>
            <numerusform>%n week before</numerusform>
            <numerusform>%n weeks before</numerusform>
        </translation>
    </message>
    <message>
        <source>New event</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit event</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>When:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>to</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Where:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reminders</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter what the event is: its title is empty.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The event ends before it starts. Please correct the end.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>at %1</source>
        <comment>a reminder&apos;s moment</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2</source>
        <comment>a reminder: its method, then when</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditNoteForm</name>
    <message>
        <source>New note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Title:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Note:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter a title or a text: the note is empty.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditTaskForm</name>
    <message>
        <source>New task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit task</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Completed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Due:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remind:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Priority:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Description:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please enter what the task is: its title is empty.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TEditorDialog</name>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TMainForm</name>
    <message>
        <source>&amp;Store changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send the added, edited and deleted items to the server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;ancel exchange</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End the exchange with the server now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a new item</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit the selected item</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete the selected item</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring the next kind of data to the front</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Previous tab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bring the previous kind of data to the front</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close Orvanta</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About Orvanta</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What this program is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Items</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 not stored</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n change(s) not stored yet. Store them before closing?</source>
        <translation>
            <numerusform>%n change not stored yet. Store it before closing?</numerusform>
            <numerusform>%n changes not stored yet. Store them before closing?</numerusform>
        </translation>
    </message>
    <message>
        <source>About Orvanta</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The items cannot be kept on this computer: Connect loads them and &quot;Store changes&quot; sends the changes.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 not stored yet will be lost. Change the account anyway?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send the changes made here and take the server&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync &amp;all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync every kind of data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A&amp;ccount...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server, user, password, proxy, and whether a copy is kept</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect &amp;all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 waiting for the next sync</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;h3&gt;Orvanta %1&lt;/h3&gt;&lt;p&gt;Keeps calendar events, contacts, tasks and notes in the data stores of a SyncML 1.2 server, with a copy on this computer.&lt;/p&gt;&lt;p&gt;The editors change the items here; Sync sends the changes and takes the server&apos;s.&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>orvanta::ui::TReminderForm</name>
    <message>
        <source>Pop-up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>minutes before</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>hours before</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>days before</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>weeks before</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>at a time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New reminder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit reminder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
